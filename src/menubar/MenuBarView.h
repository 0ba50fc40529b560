#pragma once

#include "records/DashboardEarnings.h"
#include "records/TimeEntry.h"

#include <QCoroTask>
#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;

namespace kelvo {

class AuthViewModel;
class ElidedLabel;
class MenuBarManager;
class PillButton;
class Spinner;
class TimerViewModel;

// The popover's panel: whether a timer runs, the current entry with Stop or Resume, the
// earnings (running timer, today, this week) and quick actions; signed out, a way back to the
// main window. It fetches its own earnings each time it opens and every 30 seconds while open.
class MenuBarView : public QWidget {
    Q_OBJECT
public:
    MenuBarView(TimerViewModel* timerViewModel, AuthViewModel* authViewModel,
                MenuBarManager* menuBarManager, QWidget* parent = nullptr);

    const std::optional<DashboardEarnings>& earnings() const { return m_earnings; }
    bool isLoadingEarnings() const { return m_isLoadingEarnings; }
    bool isRefreshingPeriodically() const { return m_refreshTimer != nullptr; }

    void startEarningsRefresh();
    void stopEarningsRefresh();
    QCoro::Task<void> loadPanelEarnings();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* buildSignedOut();
    QWidget* buildSignedIn();
    QWidget* buildHeader();
    QWidget* buildCurrentEntry();
    QWidget* buildEarnings();
    QWidget* buildQuickActions();
    void refresh();
    void refreshHeader();
    void refreshCurrentEntry();
    void refreshEarnings();
    void refreshElapsed();
    void showMainWindow();
    // Each timer action of the panel is followed by a fresh load of the earnings.
    QCoro::Task<void> thenLoadEarnings(QCoro::Task<void> action);

    TimerViewModel* m_timer;
    AuthViewModel* m_auth;
    MenuBarManager* m_manager;
    std::optional<DashboardEarnings> m_earnings;
    bool m_isLoadingEarnings = false;
    QTimer* m_refreshTimer = nullptr;
    std::optional<TimeEntry> m_shownEntry;

    QWidget* m_signedOut;
    QWidget* m_signedIn;
    QLabel* m_headerSymbol;
    QLabel* m_headerText;
    QWidget* m_entryBox;
    QLabel* m_entryProject;
    QLabel* m_entryTask;
    ElidedLabel* m_entryDescription;
    QLabel* m_entryElapsed;
    QLabel* m_entryRate;
    PillButton* m_stopResume;
    QWidget* m_noEntryBox;
    PillButton* m_startLatest;
    QWidget* m_loadingRow;
    QWidget* m_figures;
    QWidget* m_currentTimerRow;
    QLabel* m_currentTimerAmount;
    QLabel* m_todayAmount;
    QLabel* m_weekAmount;
    QLabel* m_unavailable;
};

} // namespace kelvo

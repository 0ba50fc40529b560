#pragma once

#include "records/DashboardEarnings.h"
#include "records/TimeEntry.h"

#include <QCoroTask>
#include <QPointer>
#include <QWidget>

class QLabel;
class QStackedWidget;
class QTimer;

namespace kelvo {

class AuthViewModel;
class AwayWatch;
class Decoration;
class DashboardViewModel;
class ElidedLabel;
class MenuBarManager;
class PillButton;
class TimerViewModel;

// The popover's content: whether a timer runs, the current entry with Stop or Resume, the
// earnings (running timer, today, this week) and quick actions; signed out, a way back to the
// main window. Its earnings have a state object of their own, kept for the life of the view,
// which it reloads each time it opens and every 30 seconds while open.
class MenuBarView : public QWidget {
    Q_OBJECT
public:
    MenuBarView(TimerViewModel* timerViewModel, AuthViewModel* authViewModel,
                DashboardViewModel* earnings, MenuBarManager* menuBarManager,
                QWidget* parent = nullptr);

    const std::optional<DashboardEarnings>& earnings() const;
    bool isLoadingEarnings() const;
    bool isRefreshingPeriodically() const { return m_refreshTimer != nullptr; }

    void startEarningsRefresh();
    // Reloads the earnings now.
    void reloadEarnings();
    void stopEarningsRefresh();
    // Says, above its Resume, when a timer was stopped while the user was away.
    void setAwayWatch(AwayWatch* away);

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
    void refreshAwayLine();
    void showMainWindow();
    // Each timer action of the popover is followed by a fresh load of the earnings.
    QCoro::Task<void> thenLoadEarnings(QCoro::Task<void> action);

    TimerViewModel* m_timer;
    AuthViewModel* m_auth;
    DashboardViewModel* m_earnings;
    MenuBarManager* m_manager;
    QPointer<AwayWatch> m_away;
    QTimer* m_refreshTimer = nullptr;
    // The entries the buttons act on, as the popover last drew them.
    std::optional<TimeEntry> m_shownEntry;
    std::optional<TimeEntry> m_shownLatest;

    QWidget* m_signedOut;
    QWidget* m_signedIn;
    Decoration* m_headerSymbol;
    QLabel* m_headerText;
    QWidget* m_entryBox;
    ElidedLabel* m_entryProject;
    ElidedLabel* m_entryTask;
    ElidedLabel* m_entryDescription;
    QLabel* m_entryElapsed;
    QLabel* m_entryRate;
    QLabel* m_awayText;
    PillButton* m_stopResume;
    QWidget* m_noEntryBox;
    PillButton* m_startLatest;
    QStackedWidget* m_earningsStack;
    QWidget* m_loadingRow;
    QWidget* m_figures;
    QWidget* m_currentTimerRow;
    QLabel* m_currentTimerAmount;
    QLabel* m_todayAmount;
    QLabel* m_weekAmount;
    QLabel* m_unavailable;
};

} // namespace kelvo

#pragma once

#include <QCoroTask>
#include <QHash>
#include <QWidget>

class QLabel;
class QPropertyAnimation;
class QScrollArea;
class QShortcut;
class QStackedWidget;
class QVBoxLayout;

namespace kelvo {

class AuthViewModel;
class AwayWatch;
class CardFrame;
class DashboardViewModel;
class EarningsCard;
class LinkButton;
class TimeEntryRow;
class TimerView;
class TimerViewModel;
class WeekView;
class WeekViewModel;

// The signed-in screen: the timer card pinned at the top, then a scrolling area with today's
// and this week's earnings and the recent entries, or in its place the week. It loads its data each time it appears and
// when the panel's refresh button is pressed; the panel's gear signs out.
class DashboardView : public QWidget {
    Q_OBJECT
public:
    // `earnings` are the screen's own figures; it keeps them for as long as it lives.
    DashboardView(AuthViewModel* auth, TimerViewModel* timer, DashboardViewModel* earnings,
                  QWidget* parent = nullptr);
    ~DashboardView() override;

    DashboardViewModel* dashboardViewModel() const { return m_dashboard; }
    // Reloads everything it shows, as its refresh button does.
    void reload();
    // Tells of a timer stopped while the user was away (in the timer card).
    void setAwayWatch(AwayWatch* away);
    // Adds the Week control and the week in place of the earnings and entries while it is on;
    // the screen keeps `week` for as long as it lives.
    void setWeek(WeekViewModel* week);
    bool isShowingWeek() const;
    void showWeek(bool shown);
    WeekView* weekView() const { return m_weekView; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildSaveWarning();
    QWidget* buildEarningsSection();
    QWidget* buildEntriesSection();
    void updateEarnings();
    void updateEntries();
    void updateSaveWarning();
    QCoro::Task<void> loadOnAppearance();
    QCoro::Task<void> refreshSequence();

    AuthViewModel* m_auth;
    TimerViewModel* m_timer;
    DashboardViewModel* m_dashboard;
    CardFrame* m_timerCard;
    TimerView* m_timerView;
    QWidget* m_fade;
    QWidget* m_saveWarning;
    QLabel* m_saveWarningText;
    QScrollArea* m_scroll;
    QWidget* m_loadingCards;
    QLabel* m_earningsError;
    QWidget* m_earningsCards;
    EarningsCard* m_today;
    EarningsCard* m_week;
    QLabel* m_noEntries;
    QVBoxLayout* m_rows;
    QMultiHash<QString, TimeEntryRow*> m_rowsById;
    QPropertyAnimation* m_turn;
    QStackedWidget* m_pages;
    WeekViewModel* m_weekModel = nullptr;
    WeekView* m_weekView = nullptr;
    LinkButton* m_weekToggle = nullptr;
    QShortcut* m_closeWeek = nullptr;
};

} // namespace kelvo

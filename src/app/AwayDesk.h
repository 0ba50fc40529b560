#pragma once

#include "records/TimeEntry.h"

#include <QCoroTask>
#include <QEventLoop>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace kelvo {

class AuthViewModel;
class AwayWatch;
class Clock;
class IdleMonitor;
class LockMonitor;
class LogindSession;
class Notifier;
class Preferences;
class SleepMonitor;
class StartReminder;
class TimerViewModel;

// The away rules at work: the desktop's sources are started once a rule is on (and say which
// answered), what they tell reaches the AwayWatch, the sleep inhibitor is held while a stop would
// be owed before sleep, and the user is told by a notification once back, with Resume and
// Dismiss where the notification server draws buttons. The reminder of a timer not started asks
// the idle source once a minute while it is on.
class AwayDesk : public QObject {
    Q_OBJECT
public:
    // `openWindow` brings the main window, for a reminder with no entry to start again.
    AwayDesk(TimerViewModel* timer, AuthViewModel* auth, Preferences* preferences, Clock* clock,
             Notifier* notifier, std::function<void()> openWindow, QObject* parent = nullptr);

    AwayWatch* watch() const { return m_watch; }
    IdleMonitor* idleMonitor() const { return m_idle; }
    SleepMonitor* sleepMonitor() const { return m_sleep; }
    StartReminder* startReminder() const { return m_startReminder; }
    // Why the reminder of a timer not started cannot work here, or empty.
    QString startReminderProblem() const;
    // The session ends (a logout, or SIGTERM): the stop the sleep rule asks for, waited for
    // at most `within` (the one place where Kelvo waits: the session goes right after).
    void sessionEnding(std::chrono::milliseconds within);

private:
    // Starts the sources a rule needs, and asks of them what the timer's state needs now.
    void follow();
    QCoro::Task<void> leaving();
    // The stop for the end of the session; wakes `waiting` once it has ended.
    QCoro::Task<void> stopAndWake(std::shared_ptr<bool> finished, QPointer<QEventLoop> waiting);
    void tellBack();
    void remindToStart(const std::optional<TimeEntry>& latest);
    void checkStart();

    TimerViewModel* m_timer;
    Preferences* m_preferences;
    Notifier* m_notifier;
    AwayWatch* m_watch;
    LogindSession* m_session;
    IdleMonitor* m_idle;
    LockMonitor* m_lock;
    SleepMonitor* m_sleep;
    StartReminder* m_startReminder;
    QTimer* m_minute;
    std::function<void()> m_openWindow;
    bool m_started = false;
    std::optional<uint> m_notice;
    std::optional<uint> m_startNotice;
    std::optional<TimeEntry> m_offered;
};

} // namespace kelvo

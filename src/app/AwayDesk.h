#pragma once

#include <QCoroTask>
#include <QEventLoop>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <memory>
#include <optional>

namespace kelvo {

class AwayWatch;
class Clock;
class IdleMonitor;
class LockMonitor;
class LogindSession;
class Notifier;
class Preferences;
class SleepMonitor;
class TimerViewModel;

// The away rules at work: the desktop's sources are started once a rule is on (and say which
// answered), what they tell reaches the AwayWatch, the sleep inhibitor is held while a stop would
// be owed before sleep, and the user is told by a notification once back, with Resume and
// Dismiss where the notification server draws buttons.
class AwayDesk : public QObject {
    Q_OBJECT
public:
    AwayDesk(TimerViewModel* timer, Preferences* preferences, Clock* clock, Notifier* notifier,
             QObject* parent = nullptr);

    AwayWatch* watch() const { return m_watch; }
    IdleMonitor* idleMonitor() const { return m_idle; }
    SleepMonitor* sleepMonitor() const { return m_sleep; }
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

    TimerViewModel* m_timer;
    Preferences* m_preferences;
    Notifier* m_notifier;
    AwayWatch* m_watch;
    LogindSession* m_session;
    IdleMonitor* m_idle;
    LockMonitor* m_lock;
    SleepMonitor* m_sleep;
    bool m_started = false;
    std::optional<uint> m_notice;
};

} // namespace kelvo

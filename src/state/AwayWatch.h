#pragma once

#include "ActionError.h"
#include "records/TimeEntry.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>

#include <optional>
#include <utility>

namespace kelvo {

class Clock;
class Preferences;
class TimerViewModel;

// Why a running timer was stopped for the user: no input for the chosen time, the screen locked,
// or the machine going to sleep (or shutting down, or the session ending).
enum class AwayReason { idle, lock, sleep };

// What was stopped while the user was away, and what the line about it says once they are back.
struct AwayStop {
    TimeEntry entry;     // as it ran: Resume starts its project, task and description again
    AwayReason reason;
    QDateTime awaySince; // the last input, the lock, the sleep
    QDateTime stoppedAt; // the end the server recorded (when the stop was sent, until known)
    QDateTime backAt;    // invalid until the user is back

    // "idle", "lock", "sleep".
    static QString reasonName(AwayReason reason);
};

// The rules of being away, applied to what the desktop tells: the running timer is stopped when
// the user has been idle for the chosen minutes, when the screen locks, or before the machine
// sleeps, as the preferences ask. The service stamps a stop when it receives it, so the stop goes
// out the moment Kelvo learns of the absence, through the timer's ordinary stop. Once the user is
// back, a line says when it stopped and how long they were away, with Resume, until they start
// something or dismiss it. Nothing is stopped twice, and a timer started after the event is
// never stopped for it.
class AwayWatch : public QObject {
    Q_OBJECT
public:
    AwayWatch(TimerViewModel* timer, Preferences* preferences, Clock* clock,
              QObject* parent = nullptr);

    // What the desktop tells. The user has given no input for `idleSeconds`.
    void idleFor(qint64 idleSeconds);
    // Input again after an idle span.
    void active();
    void lockChanged(bool locked);
    // The machine is about to sleep or shut down, or the session ends: the stop, answered (or
    // waiting for the server) when the task ends.
    QCoro::Task<ActionResult> leaving();
    // Back from sleep.
    void resumed();
    // The session ends: the stop the sleep rule asks for. Should the end be called off, the user
    // is still here: the line shows at once.
    QCoro::Task<ActionResult> sessionEnding();

    // Whether the user is away now: idle past the threshold, locked or asleep.
    bool isAway() const { return m_idle || m_locked || m_asleep; }
    // Whether a rule may stop the timer soon: what the desktop is asked to tell depends on it.
    bool isWatching() const;

    const std::optional<AwayStop>& awayStop() const { return m_stop; }
    // Whether the line shows: the user is back to a timer stopped for them.
    bool isShown() const { return m_stop && m_stop->backAt.isValid(); }
    // "Stopped at 14:12 — away 47 min (the timer counted the first 10)"; empty while not shown.
    QString line() const;
    QCoro::Task<ActionResult> resume();
    void dismiss();

Q_SIGNALS:
    void awayStopChanged();
    // The user came back to a timer stopped while they were away: time to tell them.
    void back();

private:
    QCoro::Task<ActionResult> stopFor(AwayReason reason, QDateTime since);
    void userBack();
    void followEntry();

    TimerViewModel* m_timer;
    Preferences* m_preferences;
    Clock* m_clock;
    std::optional<AwayStop> m_stop;
    // A stop asked for while a start or stop was on its way: sent once that one has ended.
    std::optional<std::pair<AwayReason, QDateTime>> m_deferred;
    bool m_idle = false;
    bool m_locked = false;
    bool m_asleep = false;
};

} // namespace kelvo

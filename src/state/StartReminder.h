#pragma once

#include "records/TimeEntry.h"

#include <QDateTime>
#include <QObject>

#include <optional>

namespace kelvo {

class AuthViewModel;
class AwayWatch;
class Clock;
class Preferences;
class TimerViewModel;

// The timer the user forgot to start: within the work hours, with input in the last minute,
// signed in and no timer running for the chosen minutes, one reminder; then quiet for the rest
// of the hour. Never while the user is away or locked.
class StartReminder : public QObject {
    Q_OBJECT
public:
    StartReminder(TimerViewModel* timer, AuthViewModel* auth, Preferences* preferences,
                  AwayWatch* away, Clock* clock, QObject* parent = nullptr);

    // Whether it is on (a number of minutes is chosen).
    bool isOn() const;
    // Asked once a minute with the user's idle time now: reminds (`due`) when it is time.
    void check(qint64 idleSeconds);
    // "Not now": quiet until the next hour begins.
    void quietForTheHour();

Q_SIGNALS:
    // The latest entry to offer to start again, or none (then Kelvo offers to open itself).
    void due(const std::optional<kelvo::TimeEntry>& latest);

private:
    void followTimer();

    TimerViewModel* m_timer;
    AuthViewModel* m_auth;
    Preferences* m_preferences;
    AwayWatch* m_away;
    Clock* m_clock;
    // Since when no timer has run (the start of the program counts as a stop).
    QDateTime m_idleSince;
    // No reminder before this.
    QDateTime m_quietUntil;
};

} // namespace kelvo

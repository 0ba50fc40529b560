#include "StartReminder.h"

#include "AuthViewModel.h"
#include "AwayWatch.h"
#include "Preferences.h"
#include "TimerViewModel.h"
#include "records/Clock.h"

namespace kelvo {

namespace {
// Input this recent means the user is at the machine.
constexpr qint64 presentSeconds = 60;

// The start of the next hour after `at`, in local time.
QDateTime nextHour(const QDateTime& at) {
    const QDateTime local = at.toLocalTime();
    return QDateTime(local.date(), QTime(local.time().hour(), 0)).addSecs(3600).toUTC();
}
} // namespace

StartReminder::StartReminder(TimerViewModel* timer, AuthViewModel* auth,
                             Preferences* preferences, AwayWatch* away, Clock* clock,
                             QObject* parent)
    : QObject(parent)
    , m_timer(timer)
    , m_auth(auth)
    , m_preferences(preferences)
    , m_away(away)
    , m_clock(clock)
    , m_idleSince(clock->now()) {
    connect(m_timer, &TimerViewModel::currentEntryChanged, this, &StartReminder::followTimer);
}

bool StartReminder::isOn() const {
    return m_preferences->startReminderMinutes() > 0;
}

void StartReminder::followTimer() {
    if (m_timer->isTimerRunning()) {
        m_idleSince = {};
    } else if (!m_idleSince.isValid()) {
        m_idleSince = m_clock->now();
    }
}

void StartReminder::check(qint64 idleSeconds) {
    const QDateTime now = m_clock->now();
    const qint64 wait = m_preferences->startReminderMinutes() * 60LL;
    const bool due = isOn() && m_auth->isAuthenticated() && !m_timer->isTimerRunning() &&
                     m_idleSince.isValid() && m_idleSince.secsTo(now) >= wait &&
                     idleSeconds < presentSeconds && !m_away->isAway() &&
                     m_preferences->workHours().contains(now.toLocalTime()) &&
                     (!m_quietUntil.isValid() || now >= m_quietUntil);
    if (due) {
        quietForTheHour(); // one reminder, then quiet
        Q_EMIT this->due(m_timer->latestEntry());
    }
}

void StartReminder::quietForTheHour() {
    m_quietUntil = nextHour(m_clock->now());
}

} // namespace kelvo

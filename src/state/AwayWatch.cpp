#include "AwayWatch.h"

#include "Preferences.h"
#include "TimerViewModel.h"
#include "records/Clock.h"
#include "records/Timestamp.h"

#include <QPointer>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

// "47 min", "1 h 5 min".
QString spanText(qint64 seconds) {
    const qint64 minutes = std::max<qint64>(seconds, 0) / 60;
    return minutes < 60 ? u"%1 min"_s.arg(minutes)
                        : u"%1 h %2 min"_s.arg(minutes / 60).arg(minutes % 60);
}

} // namespace

QString AwayStop::reasonName(AwayReason reason) {
    switch (reason) {
    case AwayReason::idle:
        return u"idle"_s;
    case AwayReason::lock:
        return u"lock"_s;
    case AwayReason::sleep:
        break;
    }
    return u"sleep"_s;
}

AwayWatch::AwayWatch(TimerViewModel* timer, Preferences* preferences, Clock* clock,
                     QObject* parent)
    : QObject(parent)
    , m_timer(timer)
    , m_preferences(preferences)
    , m_clock(clock) {
    connect(m_timer, &TimerViewModel::currentEntryChanged, this, &AwayWatch::followEntry);
    connect(m_timer, &TimerViewModel::isLoadingChanged, this, [this] {
        if (!m_timer->isLoading() && m_deferred) {
            const auto [reason, since] = *std::exchange(m_deferred, std::nullopt);
            stopFor(reason, since);
        }
    });
}

bool AwayWatch::isWatching() const {
    return m_preferences->watchesAway() && (m_timer->isTimerRunning() || (m_stop && !isShown()));
}

void AwayWatch::idleFor(qint64 idleSeconds) {
    const int minutes = m_preferences->awayIdleMinutes();
    if (minutes == 0 || idleSeconds < minutes * 60LL || m_idle) {
        return;
    }
    m_idle = true;
    stopFor(AwayReason::idle, m_clock->now().addSecs(-idleSeconds));
}

void AwayWatch::active() {
    m_idle = false;
    userBack();
}

void AwayWatch::lockChanged(bool locked) {
    if (locked == m_locked) {
        return;
    }
    m_locked = locked;
    if (!locked) {
        userBack();
    } else if (m_preferences->stopsOnLock()) {
        stopFor(AwayReason::lock, m_clock->now());
    }
}

QCoro::Task<ActionResult> AwayWatch::leaving() {
    m_asleep = true;
    if (!m_preferences->stopsOnSleep()) {
        co_return ActionResult();
    }
    co_return co_await stopFor(AwayReason::sleep, m_clock->now());
}

QCoro::Task<ActionResult> AwayWatch::sessionEnding() {
    if (!m_preferences->stopsOnSleep()) {
        co_return ActionResult();
    }
    QPointer self(this);
    const ActionResult stopped = co_await stopFor(AwayReason::sleep, m_clock->now());
    if (self) {
        userBack();
    }
    co_return stopped;
}

void AwayWatch::resumed() {
    m_asleep = false;
    userBack();
}

QCoro::Task<ActionResult> AwayWatch::stopFor(AwayReason reason, QDateTime since) {
    if (m_timer->isLoading()) {
        // A start or stop on its way ends first (a stop asked now would be turned away); this
        // one follows it, and stops whatever runs then.
        m_deferred = std::pair{reason, since};
        co_return ActionResult();
    }
    QPointer self(this);
    // Only a timer that runs now, and only once for one absence.
    if (!m_timer->isTimerRunning() || (m_stop && !isShown())) {
        co_return ActionResult();
    }
    const TimeEntry entry = *m_timer->currentEntry();
    m_stop = AwayStop{entry, reason, since, m_clock->now(), {}};
    Q_EMIT awayStopChanged();
    const ActionResult stopped = co_await m_timer->stopTimer();
    if (!self) {
        co_return stopped;
    }
    // Refused, or beaten by another action: nothing was stopped for the absence. A stop that
    // waits for the server is still this stop.
    if (!stopped && !m_timer->pendingStop() && m_stop && m_stop->entry.id == entry.id) {
        m_stop.reset();
        Q_EMIT awayStopChanged();
    }
    co_return stopped;
}

void AwayWatch::followEntry() {
    const auto& current = m_timer->currentEntry();
    if (!m_stop) {
        return;
    }
    if (current && current->id == m_stop->entry.id && !current->isRunning && current->endTime) {
        // The end the server stamped, also when the stop went out late.
        if (const auto end = Timestamp::parseStartTime(*current->endTime)) {
            m_stop->stoppedAt = *end;
            Q_EMIT awayStopChanged();
        }
    } else if (current && current->isRunning && current->id != m_stop->entry.id && isShown()) {
        m_stop.reset(); // the user started something: the line has done its work
        Q_EMIT awayStopChanged();
    }
}

void AwayWatch::userBack() {
    if (!m_stop || isShown() || isAway()) {
        return;
    }
    m_stop->backAt = m_clock->now();
    Q_EMIT awayStopChanged();
    Q_EMIT back();
}

QString AwayWatch::line() const {
    if (!isShown()) {
        return {};
    }
    QString text = u"Stopped at "_s + m_stop->stoppedAt.toLocalTime().toString(u"HH:mm"_s) +
                   u" \u2014 away "_s +
                   spanText(m_stop->awaySince.secsTo(m_stop->backAt));
    if (m_stop->reason == AwayReason::idle) {
        // The timer ran on until the idle minutes were up: those are in the entry.
        const qint64 counted = std::max<qint64>(m_stop->awaySince.secsTo(m_stop->stoppedAt), 0);
        text += u" (the timer counted the first %1)"_s.arg(counted / 60);
    }
    return text;
}

QCoro::Task<ActionResult> AwayWatch::resume() {
    if (!m_stop) {
        co_return std::unexpected(ActionError{ActionError::Kind::failed, u"Nothing to resume."_s});
    }
    const TimeEntry entry = m_stop->entry;
    QPointer self(this);
    const ActionResult started = co_await m_timer->restartEntry(entry);
    if (self && started && m_stop && m_stop->entry.id == entry.id) {
        m_stop.reset();
        Q_EMIT awayStopChanged();
    }
    co_return started;
}

void AwayWatch::dismiss() {
    if (m_stop) {
        m_stop.reset();
        Q_EMIT awayStopChanged();
    }
}

} // namespace kelvo

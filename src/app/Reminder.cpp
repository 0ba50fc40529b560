#include "Reminder.h"

#include "control/StatusFormatter.h"
#include "desktop/Notifier.h"
#include "records/Diagnostics.h"
#include "state/Preferences.h"
#include "state/TimerViewModel.h"

#include <QPointer>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
const QString stopAction = u"stop"_s;

// "2 hours 5 minutes", "1 hour".
QString spokenSpan(qint64 seconds) {
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds % 3600 / 60;
    QString text = hours == 1 ? u"1 hour"_s : u"%1 hours"_s.arg(hours);
    if (minutes > 0) {
        text += minutes == 1 ? u" 1 minute"_s : u" %1 minutes"_s.arg(minutes);
    }
    return text;
}
} // namespace

Reminder::Reminder(TimerViewModel* timer, Preferences* preferences, Notifier* notifier,
                   TrayMessage trayMessage, QObject* parent)
    : QObject(parent)
    , m_timer(timer)
    , m_preferences(preferences)
    , m_notifier(notifier)
    , m_trayMessage(std::move(trayMessage)) {
    connect(m_timer, &TimerViewModel::elapsedTimeChanged, this, &Reminder::check);
    connect(m_timer, &TimerViewModel::currentEntryChanged, this, &Reminder::check);
    connect(m_preferences, &Preferences::reminderHoursChanged, this, &Reminder::check);
    connect(m_notifier, &Notifier::actionInvoked, this, &Reminder::onActionInvoked);
}

QString Reminder::headline(qint64 elapsedSeconds) {
    return u"Timer running for "_s + spokenSpan(elapsedSeconds);
}

QString Reminder::text(qint64 elapsedSeconds, const QString& title) {
    const QString text = headline(elapsedSeconds);
    return title.isEmpty() ? text : text + u" — "_s + title;
}

bool Reminder::isDue() const {
    const int hours = m_preferences->reminderHours();
    const auto& entry = m_timer->currentEntry();
    const qint64 threshold = hours * 3600LL;
    // The count rules most ticks out cheaply; then from the entry's own start, since the count
    // may still be the previous entry's for a moment.
    return hours > 0 && m_timer->isTimerRunning() && m_timer->elapsedTime() >= threshold &&
           m_preferences->remindedEntry() != entry->id &&
           entry->elapsedSeconds(m_timer->clock()->now()) >= threshold;
}

void Reminder::check() {
    if (m_confirming || !isDue()) {
        return;
    }
    if (m_nextConfirmation.isValid() && m_timer->clock()->now() < m_nextConfirmation) {
        return;
    }
    confirmAndRemind();
}

QCoro::Task<void> Reminder::confirmAndRemind() {
    m_confirming = true;
    QPointer self(this);
    const auto loaded = co_await m_timer->loadCurrentEntry();
    if (!self) {
        co_return;
    }
    m_confirming = false;
    if (!loaded) {
        m_nextConfirmation = m_timer->clock()->now().addSecs(60);
        co_return;
    }
    if (!isDue()) {
        co_return;
    }
    const TimeEntry entry = *m_timer->currentEntry();
    const auto written = m_preferences->setRemindedEntry(entry.id);
    if (!written) {
        Diagnostics::print(u"Could not note the reminder: "_s + written.error());
    }
    // What the timer has really run, which is more than the hours after a sleep or an outage.
    const qint64 elapsed = entry.elapsedSeconds(m_timer->clock()->now());
    const auto report = StatusReport::of(entry, elapsed, std::nullopt, m_timer->projectName(entry));
    notify(elapsed, StatusFormatter::entryTitle(*report.entry), entry.id);
}

void Reminder::notify(qint64 elapsed, const QString& title, const QString& entryId) {
    const QString text = Reminder::text(elapsed, title);
    QPointer self(this);
    m_notifier->show({headline(elapsed), title, {{stopAction, u"Stop timer"_s}}},
                     [self, text, entryId](std::optional<uint> id) {
                         if (!self) {
                             return;
                         }
                         if (!id) {
                             self->fallBack(text);
                             return;
                         }
                         self->m_notification = id;
                         self->m_notifiedEntry = entryId;
                         Q_EMIT self->reminded(text);
                     });
}

void Reminder::fallBack(const QString& text) {
    if (!m_trayMessage || !m_trayMessage(text)) {
        Diagnostics::print(u"⏰ "_s + text);
    }
    Q_EMIT reminded(text);
}

void Reminder::onActionInvoked(uint id, const QString& action) {
    // Only the entry it was about: a later timer is not the one the user was reminded of.
    if (m_notification == id && action == stopAction && m_timer->isTimerRunning() &&
        m_timer->currentEntry()->id == m_notifiedEntry) {
        m_timer->stopTimer();
    }
}

} // namespace kelvo

#include "Reminder.h"

#include "control/StatusFormatter.h"
#include "records/Diagnostics.h"
#include "state/Preferences.h"
#include "state/TimerViewModel.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;
const QString stopAction = u"stop"_s;

QDBusMessage call(const QString& method) {
    return QDBusMessage::createMethodCall(service, path, service, method);
}
} // namespace

Reminder::Reminder(TimerViewModel* timer, Preferences* preferences, TrayMessage trayMessage,
                   QObject* parent)
    : QObject(parent)
    , m_timer(timer)
    , m_preferences(preferences)
    , m_trayMessage(std::move(trayMessage)) {
    connect(m_timer, &TimerViewModel::elapsedTimeChanged, this, &Reminder::check);
    connect(m_timer, &TimerViewModel::currentEntryChanged, this, &Reminder::check);
    connect(m_preferences, &Preferences::reminderHoursChanged, this, &Reminder::check);
    QDBusConnection::sessionBus().connect(service, path, service, u"ActionInvoked"_s, this,
                                          SLOT(onActionInvoked(uint, QString)));
}

QString Reminder::text(int hours, const QString& title) {
    QString text =
        hours == 1 ? u"Timer running for 1 hour"_s : u"Timer running for %1 hours"_s.arg(hours);
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
    const auto failed = co_await m_timer->loadCurrentEntry();
    if (!self) {
        co_return;
    }
    m_confirming = false;
    if (failed) {
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
    const auto report = StatusReport::of(entry, entry.elapsedSeconds(m_timer->clock()->now()),
                                         std::nullopt, m_timer->projectName(entry));
    notify(text(m_preferences->reminderHours(), StatusFormatter::entryTitle(*report.entry)),
           entry.id);
}

void Reminder::notify(const QString& text, const QString& entryId) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallBack(text);
        return;
    }
    // The button only where the server draws buttons.
    auto* capabilities =
        new QDBusPendingCallWatcher(bus.asyncCall(call(u"GetCapabilities"_s)), this);
    connect(capabilities, &QDBusPendingCallWatcher::finished, this,
            [this, text, entryId](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                const QDBusPendingReply<QStringList> reply = *answered;
                if (reply.isError()) {
                    fallBack(text);
                    return;
                }
                const QStringList actions = reply.value().contains(u"actions"_s)
                                                ? QStringList{stopAction, u"Stop timer"_s}
                                                : QStringList{};
                QDBusMessage notify = call(u"Notify"_s);
                notify << u"Kelvo"_s << uint(0) << u"app.kelvo.Kelvo"_s << text << QString()
                       << actions << QVariantMap{} << -1;
                auto* sent = new QDBusPendingCallWatcher(
                    QDBusConnection::sessionBus().asyncCall(notify), this);
                connect(sent, &QDBusPendingCallWatcher::finished, this,
                        [this, text, entryId](QDBusPendingCallWatcher* done) {
                            done->deleteLater();
                            const QDBusPendingReply<uint> id = *done;
                            if (id.isError()) {
                                fallBack(text);
                                return;
                            }
                            m_notification = id.value();
                            m_notifiedEntry = entryId;
                            Q_EMIT reminded(text);
                        });
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

#include "LogindSession.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <unistd.h>

namespace kelvo {

using namespace Qt::StringLiterals;

LogindSession::LogindSession(QObject* parent) : QObject(parent) {}

void LogindSession::find(Found found) {
    if (m_known) {
        found(m_path);
        return;
    }
    m_waiting.append(std::move(found));
    if (!std::exchange(m_asked, true)) {
        ask(u"GetSessionByPID"_s, QVariant::fromValue(uint(::getpid())), false);
    }
}

void LogindSession::ask(const QString& method, const QVariant& argument, bool last) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s,
        u"org.freedesktop.login1.Manager"_s, method);
    call << argument;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, last](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *answered;
                const QString id = qEnvironmentVariable("XDG_SESSION_ID");
                if (!reply.isError()) {
                    settle(reply.value());
                } else if (!last && !id.isEmpty()) {
                    ask(u"GetSession"_s, id, true);
                } else {
                    settle({});
                }
            });
}

void LogindSession::settle(const QDBusObjectPath& path) {
    m_known = true;
    m_path = path;
    for (const Found& found : std::exchange(m_waiting, {})) {
        found(m_path);
    }
}

} // namespace kelvo

#include "StatusNotifierWatch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace kelvo {

namespace {

const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

// Runs `done` with the reply of `call` once it comes, if `context` still lives.
template <class Done> void whenAnswered(const QDBusPendingCall& call, QObject* context, Done done) {
    auto* watcher = new QDBusPendingCallWatcher(call, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done](QDBusPendingCallWatcher*) {
                         watcher->deleteLater();
                         done(*watcher);
                     });
}

} // namespace

StatusNotifierWatch::StatusNotifierWatch(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_serviceWatcher(new QDBusServiceWatcher(QString::fromLatin1(watcherService), m_bus,
                                               QDBusServiceWatcher::WatchForOwnerChange, this)) {
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                onOwnerChanged(!newOwner.isEmpty());
            });
    m_bus.connect(QString::fromLatin1(watcherService), watcherPath, watcherInterface,
                  QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(readHostRegistered()));
}

void StatusNotifierWatch::start() {
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    whenAnswered(m_bus.asyncCall(QDBusMessage(ask) << QString::fromLatin1(watcherService)), this,
                 [this, generation = m_generation](const QDBusPendingCall& call) {
                     const QDBusPendingReply<bool> reply = call;
                     if (generation != m_generation) {
                         return; // an owner change came first and is newer
                     }
                     if (reply.isValid() && reply.value()) {
                         onOwnerChanged(true);
                     } else {
                         Q_EMIT watcherAbsent();
                     }
                 });
}

void StatusNotifierWatch::onOwnerChanged(bool hasOwner) {
    ++m_generation;
    m_hasWatcher = hasOwner;
    setRegistered(false, false);
    if (m_hasWatcher) {
        Q_EMIT watcherAppeared();
        registerItem();
    } else {
        Q_EMIT watcherAbsent();
    }
}

void StatusNotifierWatch::registerItem() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(watcherService), watcherPath, watcherInterface,
        QStringLiteral("RegisterStatusNotifierItem"));
    call << m_bus.baseService();
    whenAnswered(m_bus.asyncCall(call), this,
                 [this, generation = m_generation](const QDBusPendingCall& reply) {
                     if (generation != m_generation) {
                         return;
                     }
                     if (reply.isError()) {
                         Q_EMIT settled();
                         return;
                     }
                     m_registered = true;
                     readHostRegistered();
                 });
}

void StatusNotifierWatch::readHostRegistered() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        QString::fromLatin1(watcherService), watcherPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    whenAnswered(m_bus.asyncCall(get), this,
                 [this, generation = m_generation](const QDBusPendingCall& call) {
                     const QDBusPendingReply<QDBusVariant> reply = call;
                     if (generation != m_generation) {
                         return;
                     }
                     if (reply.isValid()) {
                         setRegistered(m_registered, reply.value().variant().toBool());
                     }
                     Q_EMIT settled();
                 });
}

void StatusNotifierWatch::setRegistered(bool registered, bool hostRegistered) {
    m_registered = registered;
    m_hostRegistered = hostRegistered;
}

} // namespace kelvo

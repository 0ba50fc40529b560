#include "ReducedMotion.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace kelvo {

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString interfaceGroup = QStringLiteral("org.gnome.desktop.interface");
const QString animationsKey = QStringLiteral("enable-animations");
} // namespace

ReducedMotion& ReducedMotion::instance() {
    static ReducedMotion* motion = new ReducedMotion;
    return *motion;
}

ReducedMotion::ReducedMotion() : QObject(QCoreApplication::instance()) {
    ask();
}

void ReducedMotion::setReduced(bool reduced) {
    if (reduced != m_reduced) {
        m_reduced = reduced;
        Q_EMIT reducedChanged();
    }
}

void ReducedMotion::ask() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"),
                this, SLOT(settingChanged(QDBusMessage)));
    QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface,
                                                       QStringLiteral("Read"));
    read << interfaceGroup << animationsKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *call;
                if (reply.isValid()) {
                    takeAnimations(reply.value().variant());
                }
            });
}

void ReducedMotion::settingChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() == 3 && arguments[0].toString() == interfaceGroup &&
        arguments[1].toString() == animationsKey) {
        takeAnimations(arguments[2]);
    }
}

void ReducedMotion::takeAnimations(const QVariant& value) {
    QVariant inner = value;
    // Read answers a variant in a variant; at most a few layers are unwrapped.
    for (int depth = 0; depth < 4 && inner.canConvert<QDBusVariant>() &&
                        inner.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth) {
        inner = inner.value<QDBusVariant>().variant();
    }
    if (inner.metaType() == QMetaType::fromType<bool>()) {
        setReduced(!inner.toBool());
    }
}

} // namespace kelvo

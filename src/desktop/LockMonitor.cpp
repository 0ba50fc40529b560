#include "LockMonitor.h"

#include "LogindSession.h"

#include <QDBusConnection>

namespace kelvo {

using namespace Qt::StringLiterals;

LockMonitor::LockMonitor(LogindSession* session, QObject* parent)
    : QObject(parent)
    , m_session(session) {}

void LockMonitor::start() {
    if (std::exchange(m_started, true)) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (const QString& name : {u"org.freedesktop.ScreenSaver"_s, u"org.gnome.ScreenSaver"_s}) {
        const QString path = u'/' + QString(name).replace(u'.', u'/');
        bus.connect(name, path, name, u"ActiveChanged"_s, this, SLOT(screenSaverActive(bool)));
    }
    m_session->find([this](const QDBusObjectPath& path) {
        if (!path.path().isEmpty()) {
            QDBusConnection::systemBus().connect(
                u"org.freedesktop.login1"_s, path.path(), u"org.freedesktop.DBus.Properties"_s,
                u"PropertiesChanged"_s, this,
                SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
        }
    });
}

void LockMonitor::screenSaverActive(bool active) {
    update(active, m_lockedHint);
}

void LockMonitor::sessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                           const QStringList&) {
    if (interface == u"org.freedesktop.login1.Session" && changed.contains(u"LockedHint"_s)) {
        update(m_screenSaver, changed.value(u"LockedHint"_s).toBool());
    }
}

void LockMonitor::update(bool screenSaver, bool lockedHint) {
    m_screenSaver = screenSaver;
    m_lockedHint = lockedHint;
    // Two sources tell of one lock: announced once, and once when both let go.
    if (isLocked() != m_shown) {
        m_shown = isLocked();
        Q_EMIT lockedChanged(m_shown);
    }
}

} // namespace kelvo

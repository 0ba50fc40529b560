#include "IdleHost.h"

namespace {
const QString service = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString path = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
} // namespace

bool IdleHost::attach(const QString& address) {
    m_asked = 0;
    m_watches = 0;
    m_bus = QDBusConnection::connectToBus(address, QStringLiteral("bench-idle"));
    return m_bus.registerObject(path, this, QDBusConnection::ExportScriptableSlots) &&
           m_bus.registerService(service);
}

void IdleHost::detach() {
    m_bus.unregisterService(service);
    m_bus.unregisterObject(path);
    QDBusConnection::disconnectFromBus(QStringLiteral("bench-idle"));
}

quint64 IdleHost::GetIdletime() {
    ++m_asked;
    return 0;
}

uint IdleHost::AddIdleWatch(quint64) {
    return uint(++m_watches);
}

uint IdleHost::AddUserActiveWatch() {
    return uint(++m_watches);
}

void IdleHost::RemoveWatch(uint) {}

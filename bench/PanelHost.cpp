#include "PanelHost.h"

#include <QDBusPendingCallWatcher>

namespace {
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
} // namespace

bool PanelHost::attach(const QString& address) {
    m_bus = QDBusConnection::connectToBus(address, QStringLiteral("bench-panel"));
    return m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                QDBusConnection::ExportScriptableSlots |
                                    QDBusConnection::ExportAllProperties) &&
           m_bus.registerService(watcherService);
}

void PanelHost::detach() {
    m_bus.unregisterService(watcherService);
    m_bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    QDBusConnection::disconnectFromBus(QStringLiteral("bench-panel"));
    m_items.clear();
    m_hasItem = false;
}

void PanelHost::RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
    // Qt's own tray icon registers a path, Kelvo its connection's name.
    const QString name = service.startsWith(u'/') ? message.service() : service;
    const QString path = service.startsWith(u'/') ? service : QStringLiteral("/StatusNotifierItem");
    m_items.append(name);
    m_bus.connect(name, path, itemInterface, QStringLiteral("XAyatanaNewLabel"), this,
                  SLOT(onLabel(QString, QString)));
    m_bus.connect(name, path, itemInterface, QStringLiteral("NewToolTip"), this,
                  SLOT(onNewToolTip(QDBusMessage)));
    m_bus.connect(name, path, itemInterface, QStringLiteral("NewIcon"), this,
                  SLOT(onNewIcon(QDBusMessage)));
    for (const char* other : {"NewTitle", "NewStatus", "NewMenu", "NewAttentionIcon"}) {
        m_bus.connect(name, path, itemInterface, QString::fromLatin1(other), this,
                      SLOT(onOtherSignal()));
    }
    m_hasItem = true;
}

void PanelHost::RegisterStatusNotifierHost(const QString&) {}

void PanelHost::onLabel(const QString&, const QString&) {
    ++m_messages;
}

void PanelHost::onNewToolTip(const QDBusMessage& signal) {
    ++m_messages;
    read(signal, QStringLiteral("ToolTip"));
}

void PanelHost::onNewIcon(const QDBusMessage& signal) {
    ++m_messages;
    read(signal, QStringLiteral("IconPixmap"));
}

void PanelHost::onOtherSignal() {
    ++m_messages;
}

void PanelHost::read(const QDBusMessage& signal, const QString& property) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        signal.service(), signal.path(), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << itemInterface << property;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        ++m_messages; // the reply
        watcher->deleteLater();
    });
}

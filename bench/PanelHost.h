#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

#include <atomic>

// A panel for the benchmark: a StatusNotifierWatcher with a host that does what GNOME's does
// with an item (takes the label from its signal's arguments, reads the tooltip and the icon
// again when told they changed) and counts every message the item sends it. It lives on a
// thread of its own, so it answers while the benchmark waits.
class PanelHost : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    // On the bus at `address`, in the calling object's thread.
    Q_INVOKABLE bool attach(const QString& address);
    Q_INVOKABLE void detach();

    QStringList items() const { return m_items; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // Signals and replies received from items since the last reset.
    int messages() const { return m_messages; }
    void resetMessages() { m_messages = 0; }
    bool hasItem() const { return m_hasItem; }

public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service,
                                                 const QDBusMessage& message);
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString& service);

private Q_SLOTS:
    void onLabel(const QString& label, const QString& guide);
    void onNewToolTip(const QDBusMessage& signal);
    void onNewIcon(const QDBusMessage& signal);
    void onOtherSignal();

private:
    void read(const QDBusMessage& signal, const QString& property);

    QDBusConnection m_bus{QString()};
    QStringList m_items;
    std::atomic<int> m_messages{0};
    std::atomic<bool> m_hasItem{false};
};

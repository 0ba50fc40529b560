#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

namespace kelvo::test {

// A panel's org.kde.StatusNotifierWatcher with a host registered, on a connection of its own in
// the test process. It serves from the test's thread, which works because the program only ever
// calls it asynchronously. One that does not answer registrations stands for a hung panel.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    explicit FakeWatcher(bool answersRegistrations = true);
    ~FakeWatcher() override;

    // Takes the watcher's name on the bus, as a panel does at start; false when it cannot.
    bool appear();
    // Gives the name up, as a panel that quits or restarts.
    void vanish();

    const QStringList& items() const { return m_items; }
    int registrations() const { return m_registrations; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message);
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& service);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString& service);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();

private:
    QDBusConnection m_bus;
    QStringList m_items;
    bool m_answers;
    int m_registrations = 0;
};

} // namespace kelvo::test

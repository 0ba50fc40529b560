#pragma once

#include <QDBusConnection>
#include <QObject>

#include <atomic>

// GNOME's idle monitor for the benchmark, on the program's session bus and a thread of its own:
// it hands out watches and counts how often it is asked the idle time, which a program with
// watches should not need to do.
class IdleHost : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")
public:
    Q_INVOKABLE bool attach(const QString& address);
    Q_INVOKABLE void detach();

    int idleTimeAsked() const { return m_asked; }
    int watchesAdded() const { return m_watches; }

public Q_SLOTS:
    Q_SCRIPTABLE quint64 GetIdletime();
    Q_SCRIPTABLE uint AddIdleWatch(quint64 interval);
    Q_SCRIPTABLE uint AddUserActiveWatch();
    Q_SCRIPTABLE void RemoveWatch(uint id);

private:
    QDBusConnection m_bus{QString()};
    std::atomic<int> m_asked{0};
    std::atomic<int> m_watches{0};
};

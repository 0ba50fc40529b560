#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusServiceWatcher;

namespace kelvo {

// Follows the session's org.kde.StatusNotifierWatcher: registers the item with every watcher
// that appears (at start, after a panel restart) and says whether one is there and whether a
// host shows items. Every call is asynchronous: a panel that never answers changes nothing.
class StatusNotifierWatch : public QObject {
    Q_OBJECT
public:
    static constexpr const char* watcherService = "org.kde.StatusNotifierWatcher";

    explicit StatusNotifierWatch(QDBusConnection bus, QObject* parent = nullptr);

    // Asks whether a watcher is there; answers with watcherAppeared or watcherAbsent.
    void start();
    bool hasWatcher() const { return m_hasWatcher; }
    // The watcher accepted the item and a host shows items: the item can be seen.
    bool isShown() const { return m_registered && m_hostRegistered; }

Q_SIGNALS:
    void watcherAppeared();
    void watcherAbsent();
    // The watcher has answered whether the item is registered and a host shows it.
    void settled();

private Q_SLOTS:
    void readHostRegistered();

private:
    void onOwnerChanged(bool hasOwner);
    void registerItem();
    void setRegistered(bool registered, bool hostRegistered);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_serviceWatcher;
    bool m_hasWatcher = false;
    bool m_registered = false;
    bool m_hostRegistered = false;
    // Answers to an older watcher's calls are dropped.
    quint64 m_generation = 0;
};

} // namespace kelvo

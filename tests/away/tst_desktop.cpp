// What the desktop tells of idle time, locks and sleep, from stand-in services on private buses:
// the outer bus of the test's command stands for the system bus, the inner one for the session.
#include "HttpProbe.h"
#include "ServerProcess.h"
#include "TestSupport.h"

#include "app/AwayDesk.h"
#include "desktop/IdleMonitor.h"
#include "desktop/LockMonitor.h"
#include "desktop/LogindSession.h"
#include "desktop/Notifier.h"
#include "desktop/SleepMonitor.h"
#include "settings/SettingsStore.h"
#include "state/AwayWatch.h"
#include "state/Preferences.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

// GNOME's idle monitor as far as Kelvo uses it: watches, and the signal that fires them.
class FakeMutter : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")
public:
    FakeMutter() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-mutter"_s)) {
        m_bus.registerObject(u"/org/gnome/Mutter/IdleMonitor/Core"_s, this, QDBusConnection::ExportScriptableContents);
        m_bus.registerService(u"org.gnome.Mutter.IdleMonitor"_s);
    }
    ~FakeMutter() override { QDBusConnection::disconnectFromBus(u"fake-mutter"_s); }
    void fire(uint id) {
        QDBusMessage signal = QDBusMessage::createSignal(u"/org/gnome/Mutter/IdleMonitor/Core"_s,
                                                         u"org.gnome.Mutter.IdleMonitor"_s, u"WatchFired"_s);
        signal << id;
        m_bus.send(signal);
    }
    QList<quint64> idleWatches;
    uint activeWatch = 0;
    int idleTimeAsked = 0;

public Q_SLOTS:
    Q_SCRIPTABLE quint64 GetIdletime() { return ++idleTimeAsked, 0; }
    Q_SCRIPTABLE uint AddIdleWatch(quint64 interval) { return idleWatches.append(interval), uint(idleWatches.size()); }
    Q_SCRIPTABLE uint AddUserActiveWatch() { return activeWatch = 100; }
    Q_SCRIPTABLE void RemoveWatch(uint) {}

private:
    QDBusConnection m_bus;
};

// logind's manager and this process's session: the session's path, a delay inhibitor whose end
// the test can see close, the sleep signal and the session's LockedHint.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    static inline const QString sessionPath = u"/org/freedesktop/login1/session/_31"_s;

    FakeLogind() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SystemBus, u"fake-logind"_s)) {
        m_bus.registerObject(u"/org/freedesktop/login1"_s, this, QDBusConnection::ExportScriptableContents);
        m_bus.registerService(u"org.freedesktop.login1"_s);
    }
    ~FakeLogind() override {
        if (m_held >= 0) {
            ::close(m_held);
        }
        QDBusConnection::disconnectFromBus(u"fake-logind"_s);
    }
    void send(const QString& path, const QString& interface, const QString& name, const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }
    void prepareForSleep(bool start) {
        send(u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"PrepareForSleep"_s, {start});
    }
    void lockedHint(bool locked) {
        send(sessionPath, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s,
             {u"org.freedesktop.login1.Session"_s, QVariantMap{{u"LockedHint"_s, locked}}, QStringList()});
    }
    // The read end of the last inhibitor handed out: it reads end-of-file once every copy of the
    // other end is closed.
    int held() const { return m_held; }

public Q_SLOTS:
    Q_SCRIPTABLE QDBusObjectPath GetSessionByPID(uint) { return QDBusObjectPath(sessionPath); }
    Q_SCRIPTABLE QDBusUnixFileDescriptor Inhibit(const QString& what, const QString&, const QString&, const QString& mode) {
        int ends[2];
        [&] { QVERIFY(what == u"sleep:shutdown" && mode == u"delay" && ::pipe(ends) == 0); }();
        m_held = ends[0];
        const QDBusUnixFileDescriptor handed(ends[1]); // a copy: ours closes now
        ::close(ends[1]);
        return handed;
    }

private:
    QDBusConnection m_bus;
    int m_held = -1;
};

} // namespace

class tst_Desktop : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void idleFromGnomeWatches() {
        FakeMutter mutter;
        DiagnosticsCapture lines;
        LogindSession session;
        IdleMonitor idle(&session);
        QSignalSpy idled(&idle, &IdleMonitor::idle);
        QSignalSpy back(&idle, &IdleMonitor::active);
        idle.setThreshold(std::chrono::minutes(10));
        idle.start();
        QTRY_COMPARE(idle.source(), IdleMonitor::Source::mutter);
        QCOMPARE(lines.lines(), QStringList{u"Idle time from GNOME's idle monitor"_s});
        QTRY_COMPARE(mutter.idleWatches, QList<quint64>{600'000});
        mutter.fire(1);
        QTRY_COMPARE(idled.size(), 1);
        QTRY_COMPARE(mutter.activeWatch, 100u); // the return is watched for, once
        mutter.fire(100);
        QTRY_COMPARE(back.size(), 1);
        QCOMPARE(mutter.idleTimeAsked, 1); // asked once to find it: watches, no polling
    }
    void lockFromScreenSaverAndSession() {
        FakeLogind logind;
        QDBusConnection saver = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-saver"_s);
        saver.registerService(u"org.freedesktop.ScreenSaver"_s);
        const auto screenSaver = [&saver](bool active) {
            QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/ScreenSaver"_s,
                                                             u"org.freedesktop.ScreenSaver"_s, u"ActiveChanged"_s);
            signal << active;
            saver.send(signal);
        };
        LogindSession session;
        LockMonitor lock(&session);
        QSignalSpy changed(&lock, &LockMonitor::lockedChanged);
        lock.start();
        QDBusObjectPath found;
        session.find([&found](const QDBusObjectPath& path) { found = path; });
        QTRY_COMPARE(found.path(), FakeLogind::sessionPath);
        // Either source tells it: the screen saver, and the session's own hint.
        const std::function<void(bool)> sessionHint = [&logind](bool locked) { logind.lockedHint(locked); };
        for (const std::function<void(bool)>& tell : {std::function<void(bool)>(screenSaver), sessionHint}) {
            const qsizetype before = changed.size();
            tell(true);
            QTRY_COMPARE(changed.size(), before + 1);
            QVERIFY(lock.isLocked());
            tell(false);
            QTRY_COMPARE(changed.size(), before + 2);
            QVERIFY(!lock.isLocked());
        }
        QDBusConnection::disconnectFromBus(u"fake-saver"_s);
    }
    void sleepWaitsForTheStop() {
        // A real server with a timer running, the sleep rule on, and logind about to sleep.
        QTemporaryDir data;
        ServerProcess server;
        QVERIFY(server.start(data.filePath(u"db.sqlite"_s)));
        HttpProbe http(server.baseURL());
        const QString token = http.registerUser(u"sleepy@example.com"_s);
        QVERIFY(http.post(u"/time-entries/start"_s, "{}", token).status < 300);
        TemporaryConfigHome home;
        FakeLogind logind;
        APIClient client(server.baseURL(), &SettingsStore::tokenStore());
        QVERIFY(client.setAuthToken(token).has_value());
        AuthViewModel auth(&client);
        TimerViewModel timer(&client, Clock::system());
        QTRY_VERIFY(timer.isTimerRunning());
        Preferences preferences;
        QVERIFY(preferences.setStopsOnSleep(true).has_value());
        Notifier notifier(QImage(u":/kelvo-64.png"_s));
        AwayDesk desk(&timer, &auth, &preferences, Clock::system(), &notifier, [] {});
        QTRY_VERIFY(desk.sleepMonitor()->isHolding());
        // The moment the machine is let go, the server has the entry stopped already.
        std::optional<bool> stoppedWhenReleased;
        QSocketNotifier released(logind.held(), QSocketNotifier::Read);
        connect(&released, &QSocketNotifier::activated, this, [&] {
            released.setEnabled(false);
            stoppedWhenReleased = http.get(u"/time-entries/current"_s, token).json.value(u"timeEntry"_s).isNull();
        });
        logind.prepareForSleep(true);
        QTRY_VERIFY_WITH_TIMEOUT(stoppedWhenReleased.has_value(), 20000);
        QVERIFY(*stoppedWhenReleased);
        QVERIFY(!timer.isTimerRunning());
        // Back from sleep, with nothing running: no inhibitor is held.
        logind.prepareForSleep(false);
        QTRY_VERIFY(desk.watch()->isShown());
        QVERIFY(!desk.sleepMonitor()->isHolding());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tst_Desktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"

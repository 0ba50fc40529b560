#include "Json.h"
#include "TestSupport.h"

#include "app/Autostart.h"
#include "app/KelvoApp.h"
#include "app/MainWindow.h"
#include "app/PreferencesDialog.h"
#include "app/Reminder.h"
#include "desktop/Notifier.h"
#include "menubar/MenuBarManager.h"
#include "screens/DashboardView.h"
#include "state/Connectivity.h"
#include "state/OfflineNotice.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <algorithm>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

// A notification server on its own connection to the private session bus: it keeps what it was
// asked to show and can press a notification's button.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    FakeNotifications() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-notifications"_s)) {
        m_bus.registerObject(u"/org/freedesktop/Notifications"_s, this, QDBusConnection::ExportScriptableSlots);
        m_bus.registerService(u"org.freedesktop.Notifications"_s);
    }
    ~FakeNotifications() override {
        m_bus.unregisterService(u"org.freedesktop.Notifications"_s);
        QDBusConnection::disconnectFromBus(u"fake-notifications"_s);
    }
    void press(const QString& action) {
        QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s, u"org.freedesktop.Notifications"_s,
                                                         u"ActionInvoked"_s);
        signal << uint(41) << action;
        m_bus.send(signal);
    }
    QStringList summaries;
    QString body;
    QStringList actions;
    int iconWidth = 0;

public Q_SLOTS:
    Q_SCRIPTABLE QStringList GetCapabilities() { return {u"actions"_s, u"body"_s, u"body-markup"_s}; }
    Q_SCRIPTABLE uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& text,
                             const QStringList& buttons, const QVariantMap& hints, int) {
        summaries.append(summary);
        body = text;
        actions = buttons;
        const QDBusArgument image = hints.value(u"image-data"_s).value<QDBusArgument>();
        int height = 0, stride = 0, bits = 0, channels = 0;
        bool alpha = false;
        QByteArray data;
        image.beginStructure();
        image >> iconWidth >> height >> stride >> alpha >> bits >> channels >> data;
        image.endStructure();
        iconWidth = data.size() == qsizetype(stride) * height ? iconWidth : -1; // the picture is whole
        return 41;
    }

private:
    QDBusConnection m_bus;
};

// logind as far as Kelvo listens to it, on the private bus that stands for the system bus.
void announceResume() {
    static QDBusConnection bus = [] {
        QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SystemBus, u"fake-logind"_s);
        connection.registerService(u"org.freedesktop.login1"_s);
        return connection;
    }();
    QDBusMessage signal =
        QDBusMessage::createSignal(u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"PrepareForSleep"_s);
    signal << false;
    bus.send(signal);
}

// Requests whose line (query included) begins with `line`.
qsizetype countOf(const FakeServer& server, const QString& line) {
    const QStringList lines = server.requestLines();
    return std::count_if(lines.begin(), lines.end(), [&line](const QString& sent) { return sent.startsWith(line); });
}

} // namespace

class tst_Session : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void autostartEntry() {
        TemporaryConfigHome home;
        QVERIFY(!Autostart::isEnabled());
        QVERIFY(Autostart::setEnabled(true).has_value());
        QCOMPARE(Autostart::entryPath(), home.path() + u"/autostart/app.kelvo.Kelvo.desktop"_s);
        QProcess validate;
        validate.start(u"desktop-file-validate"_s, {Autostart::entryPath()});
        QVERIFY(validate.waitForFinished());
        QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());
        QFile file(Autostart::entryPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        file.close();
        QVERIFY(written.contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\" --hidden\n"));
        // Read back as written; marked hidden, or off for GNOME, it reads as off.
        for (const auto& [extra, enabled] :
             {std::pair{""_ba, true}, {"Hidden=true\n"_ba, false}, {"X-GNOME-Autostart-enabled=false\n"_ba, false}}) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(written).replace("X-GNOME-Autostart-enabled=true\n", "") + extra);
            file.close();
            QCOMPARE(Autostart::isEnabled(), enabled);
        }
        // Quoting for a path with the characters the format reserves.
        QCOMPARE(QString::fromUtf8(*Autostart::entryText(u"/opt/my $apps/kel\"vo"_s)).section(u'\n', 4, 4),
                 u"Exec=\"/opt/my \\\\$apps/kel\\\\\"vo\" --hidden"_s);
        QCOMPARE(QString::fromUtf8(*Autostart::entryText(u"/opt/100%/a\tb"_s)).section(u'\n', 4, 4),
                 u"Exec=\"/opt/100%%/a\\tb\" --hidden"_s);
        // A line break would end the Exec line where the launcher reads it: refused, with the reason.
        for (const QString& path : {u"/opt/a\nExec=/tmp/x"_s, u"/opt/a\rb"_s}) {
            QVERIFY(Autostart::entryText(path).error().startsWith(u"Kelvo's path holds a line break"_s));
        }
        QVERIFY(Autostart::setEnabled(false).has_value());
        QVERIFY(!QFile::exists(Autostart::entryPath()));
        QVERIFY(Autostart::setEnabled(false).has_value()); // nothing to remove is no failure
    }
    void preferencesKeepTheSignIn() {
        TemporaryConfigHome home;
        APIClient client(u"http://127.0.0.1:9"_s, &SettingsStore::tokenStore());
        QVERIFY(client.setAuthToken(u"secret-token"_s).has_value());
        {
            Preferences preferences;
            QCOMPARE(preferences.reminderHours(), 8);
            QVERIFY(preferences.setReminderHours(3).has_value());
            QVERIFY(preferences.setRemindedEntry(u"e1"_s).has_value());
            QVERIFY(!preferences.setReminderHours(25).has_value());
        }
        QCOMPARE(home.storedToken(), u"secret-token"_s);
        Preferences reread;
        QCOMPARE(reread.reminderHours(), 3);
        QCOMPARE(reread.remindedEntry(), u"e1"_s);
        QVERIFY(reread.readProblem().isEmpty());
        // A file that cannot be read gives the defaults and says so; a write leaves it as it was.
        QFile file(home.tokenFile());
        QVERIFY(file.open(QIODevice::Append));
        file.write("garbage without a value\n[broken\n");
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray damaged = file.readAll();
        file.close();
        Preferences corrupt;
        QCOMPARE(corrupt.reminderHours(), 8);
        QVERIFY(!corrupt.readProblem().isEmpty());
        QVERIFY(!corrupt.setReminderHours(5).has_value());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), damaged);
    }
    void dialogSaysWhatFailed() {
        ViewFixture f;
        f.serveNothingRunning();
        KelvoApp app(&f.client, &f.clock);
        app.start();
        // The autostart folder is a file: the switch cannot go on, and the dialog says why.
        QFile blocker(f.home.path() + u"/autostart"_s);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QList<QAction*> actions = app.mainWindow()->actions();
        const auto found = std::find_if(actions.begin(), actions.end(),
                                        [](QAction* action) { return action->objectName() == u"preferencesAction"; });
        QVERIFY(found != actions.end());
        QAction* shortcut = *found;
        QCOMPARE(shortcut->shortcut(), QKeySequence(u"Ctrl+,"_s));
        shortcut->trigger();
        PreferencesDialog* dialog = app.preferencesDialog();
        QVERIFY(dialog && dialog->isVisible());
        dialog->startAtLogin()->click();
        QVERIFY(!dialog->startAtLogin()->isChecked());
        QVERIFY(dialog->problem()->isVisible());
        QVERIFY2(dialog->problem()->text().contains(u"autostart"_s), qPrintable(dialog->problem()->text()));
        QVERIFY(app.mainWindow()->isVisible()); // Kelvo goes on
        // "Preferences…" is the last item of the tray and panel menus.
        QCOMPARE(app.menuBarManager()->menuEntries().last().label, u"Preferences…"_s);
    }
    void reminderOncePerEntry() {
        ViewFixture f;
        Preferences preferences;
        QVERIFY(preferences.setReminderHours(1).has_value());
        Notifier notifier(QImage(u":/kelvo-64.png"_s));
        QStringList shown;
        const auto tray = [&shown](const QString& text) {
            shown.append(text);
            return true;
        };
        auto reminder = std::make_unique<Reminder>(&f.timer, &preferences, &notifier, tray);
        // No notification server on this bus yet: the tray's message.
        const QByteArray entry =
            json::entry("e1", true, "2025-03-01T09:01:06.000Z", R"(,"project":{"id":"p1","name":"Website Redesign"})");
        f.showCurrent(entry); // 59:59
        QVERIFY(shown.isEmpty());
        f.clock.advance(1);
        QCoro::waitFor(f.timer.loadCurrentEntry());
        QTRY_COMPARE(shown, QStringList{u"Timer running for 1 hour — Website Redesign"_s});
        f.clock.advance(60);
        QCoro::waitFor(f.timer.loadCurrentEntry());
        // A new timer replacing it is not past the hours, whatever the count said a moment before.
        f.showCurrent(json::entry("e3", true, "2025-03-01T10:01:00.000Z"));
        f.showCurrent(entry);
        // A restart of the program: the same entry is not reminded of again.
        Preferences restarted;
        reminder = std::make_unique<Reminder>(&f.timer, &restarted, &notifier, tray);
        QCoro::waitFor(f.timer.loadCurrentEntry());
        // A stopped timer past the hours is never reminded of.
        f.showCurrent(json::entry("e2", false, "2025-03-01T01:00:00.000Z"));
        QCoreApplication::processEvents();
        QCOMPARE(shown.size(), 1);
    }
    void reminderButtonStopsTheTimer() {
        ViewFixture f;
        FakeNotifications notifications;
        Preferences preferences;
        QVERIFY(preferences.setReminderHours(2).has_value());
        Notifier notifier(QImage(u":/kelvo-64.png"_s));
        Reminder reminder(&f.timer, &preferences, &notifier, [](const QString&) { return false; });
        const QByteArray entry = json::entry("e7", true, "2025-03-01T08:00:00.000Z",
                                             R"(,"project":{"id":"p1","name":"<a href='x'>R&D</a>"})");
        f.showCurrent(entry);
        // The time it has really run, the names as text under a server that reads markup, the icon.
        QTRY_COMPARE(notifications.summaries, QStringList{u"Timer running for 2 hours 1 minute"_s});
        QCOMPARE(notifications.body, u"&lt;a href=&#39;x&#39;&gt;R&amp;D&lt;/a&gt;"_s);
        QCOMPARE(notifications.iconWidth, 64);
        QCOMPARE(notifications.actions, (QStringList{u"stop"_s, u"Stop timer"_s}));
        f.server.on("POST", u"/time-entries/e7/stop"_s, FakeResponse::json(200, json::timer(json::entry("e7", false))));
        notifications.press(u"stop"_s);
        QTRY_COMPARE(countOf(f.server, u"POST /time-entries/e7/stop"_s), 1);
    }
    void wakeReloadsOnce() {
        ViewFixture f;
        f.serveNothingRunning();
        f.server.on("POST", u"/auth/login"_s, FakeResponse::json(200, json::auth()));
        KelvoApp app(&f.client, &f.clock);
        app.start();
        QCoro::waitFor(app.authViewModel()->login(u"a@b.c"_s, u"secret"_s));
        QTRY_VERIFY(app.mainWindow()->isVisible());
        QTRY_COMPARE(countOf(f.server, u"GET /users/dashboard-earnings"_s), 1); // the dashboard's first load
        f.server.clearRequests();
        // logind's resume (listened to once the first frame is up), then the network's return.
        QVERIFY(QTest::qWaitFor([&] {
            announceResume();
            return countOf(f.server, u"GET /time-entries/current"_s) > 0;
        }));
        Q_EMIT app.connectivity()->regained();
        announceResume();
        QTRY_COMPARE(countOf(f.server, u"GET /users/dashboard-earnings"_s), 1);
        QCoreApplication::processEvents();
        QCOMPARE(countOf(f.server, u"GET /time-entries/current"_s), 1);
    }
    void offlineLine() {
        ViewFixture f;
        f.serveNothingRunning();
        Connectivity connectivity;
        APIClient remote(u"https://api.kelvo.app"_s, nullptr);
        OfflineNotice notice(&remote, &connectivity);
        f.timer.setOfflineNotice(&notice);
        DashboardView view(&f.auth, &f.timer, f.earnings());
        view.show();
        auto* line = view.findChild<QLabel*>(u"offlineLine"_s);
        QVERIFY(line && !line->isVisible());
        Q_EMIT remote.reached(false);
        QVERIFY(!line->isVisible()); // the system does not know the network is down
        connectivity.setKnownOffline(true);
        QVERIFY(line->isVisible());
        QCOMPARE(line->text(), u"Offline — figures may be out of date"_s);
        Q_EMIT remote.reached(true); // the server answered after all
        QVERIFY(!line->isVisible());
        Q_EMIT remote.reached(false);
        QVERIFY(line->isVisible());
        connectivity.setKnownOffline(false);
        QVERIFY(!line->isVisible());
        // A server on this machine needs no network: never the line.
        for (const QString& url : {u"http://127.0.0.1:8787"_s, u"http://localhost"_s, u"http://[::1]:80"_s}) {
            APIClient local(url, nullptr);
            QVERIFY2(local.isLoopback(), qPrintable(url));
            OfflineNotice quiet(&local, &connectivity);
            connectivity.setKnownOffline(true);
            Q_EMIT local.reached(false);
            QVERIFY(!quiet.isShown());
            connectivity.setKnownOffline(false);
        }
        QVERIFY(!APIClient(u"http://192.168.1.2"_s, &SettingsStore::tokenStore()).isLoopback());
    }
};

int main(int argc, char** argv) {
    // The private session bus of dbus-run-session stands for the system bus too.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    QApplication app(argc, argv);
    tst_Session test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_session.moc"

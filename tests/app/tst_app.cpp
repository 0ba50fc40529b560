#include "TestSupport.h"

#include "app/ContentView.h"
#include "app/KelvoApp.h"
#include "app/MainWindow.h"
#include "control/ControlServer.h"
#include "menubar/MenuBarManager.h"
#include "menubar/PopoverWindow.h"

#include <QApplication>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {
// A Kelvo process of its own: private runtime and config folders, no display, no server.
QProcessEnvironment programEnvironment(const QTemporaryDir& dir) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_RUNTIME_DIR"_s, dir.path());
    environment.insert(u"XDG_CONFIG_HOME"_s, dir.path());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"KELVO_API_URL"_s, u"http://127.0.0.1:9"_s);
    return environment;
}
// folder: the runtime folder's name under a scratch folder; empty: unset
// mode: its mode; 0: a link to a private folder
// inside: else the door is in /tmp/kelvo-<uid>
struct DoorOnlyInAPrivateFolderRow { QString folder; int mode; bool inside; };

} // namespace

class tst_App : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shortcutsWorkInEveryWindow() {
        ClientFixture f;
        f.serveNothingRunning();
        KelvoApp app(&f.client, &f.clock);
        app.start();
        QTRY_VERIFY(app.menuBarManager());
        auto* quit = app.findChild<QAction*>(u"quitAction"_s);
        QObject::disconnect(quit, nullptr, qApp, nullptr); // seen, not obeyed: the test goes on
        QSignalSpy quitting(quit, &QAction::triggered);
        for (QWidget* window : {static_cast<QWidget*>(app.mainWindow()), static_cast<QWidget*>(app.menuBarManager()->popover())}) {
            app.mainWindow()->hide();
            window->show();
            QTest::keyClick(window, Qt::Key_M, Qt::ControlModifier);
            QVERIFY2(app.mainWindow()->isVisible(), window->metaObject()->className());
            window->show();
            QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        }
        QCOMPARE(quitting.count(), 2);
    }
    void closingHidesOnlyWhileATrayItemExists() {
        ClientFixture f;
        AuthViewModel auth(&f.client);
        TimerViewModel timer(&f.client, &f.clock);
        bool trayItem = true;
        MainWindow window([&] { return trayItem; });
        window.setContent(new ContentView(&auth, &timer, &f.client));
        window.show();
        QVERIFY(!window.close()); // hidden, the program goes on
        QVERIFY(!window.isVisible());
        window.show();
        trayItem = false;
        QVERIFY(window.close());
    }
    void relaunchBringsTheWindowForward() {
        ClientFixture f;
        QTemporaryDir runtime;
        KelvoApp app(&f.client, &f.clock);
        QVERIFY(app.listen(runtime.filePath(u"kelvo.socket"_s)));
        app.start();
        app.mainWindow()->hide();
        QProcess relaunch;
        relaunch.setProcessEnvironment(programEnvironment(runtime));
        relaunch.start(QStringLiteral(KELVO_BINARY), {});
        QTRY_VERIFY_WITH_TIMEOUT(app.mainWindow()->isVisible(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(relaunch.state(), QProcess::NotRunning, 20000);
        QCOMPARE(relaunch.exitCode(), 0);
    }
    void secondProcessExitsAndQuitEndsTheFirst() {
        QTemporaryDir dir;
        const QProcessEnvironment environment = programEnvironment(dir);
        const auto kelvo = [&](const QStringList& arguments) {
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(KELVO_BINARY), arguments);
            return process.waitForFinished(30000) ? process.exitCode() : -1;
        };
        QProcess first;
        first.setProcessEnvironment(environment);
        first.start(QStringLiteral(KELVO_BINARY), {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(u"kelvo.socket"_s)), 20000);
        QCOMPARE(kelvo({}), 0);
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(kelvo({u"--hidden"_s}), 0);
        QCOMPARE(kelvo({u"quit"_s}), 0);
        // `kelvo quit` ends it, cleanly.
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        // With nothing running, `kelvo panel` starts Kelvo and asks it for its panel once it answers.
        QCOMPARE(kelvo({u"panel"_s}), 0);
        const QString socket = dir.filePath(u"kelvo.socket"_s);
        QVERIFY(QFile::exists(socket));
        QCOMPARE(kelvo({u"quit"_s}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(socket), 20000);
    }
    void doorOnlyInAPrivateFolder_data() {
        QTest::addColumn<DoorOnlyInAPrivateFolderRow>("row");
        QTest::newRow("unset") << DoorOnlyInAPrivateFolderRow{QString(), 0700, false};
        QTest::newRow("private") << DoorOnlyInAPrivateFolderRow{u"run"_s, 0700, true};
        QTest::newRow("others may look in") << DoorOnlyInAPrivateFolderRow{u"run"_s, 0755, false};
        QTest::newRow("shared, sticky") << DoorOnlyInAPrivateFolderRow{u"run"_s, 01777, false};
        QTest::newRow("link to a private folder") << DoorOnlyInAPrivateFolderRow{u"run"_s, 0, false};
        QTest::newRow("socket path too long") << DoorOnlyInAPrivateFolderRow{QString(100, u'r'), 0700, false};
    }
    void doorOnlyInAPrivateFolder() {
        QFETCH(DoorOnlyInAPrivateFolderRow, row);
        auto [folder, mode, inside] = row;
        QTemporaryDir scratch;
        const QString runtime = scratch.filePath(folder);
        const QString target = mode == 0 ? scratch.filePath(u"real"_s) : runtime;
        QVERIFY(folder.isEmpty() || QDir().mkpath(target));
        QVERIFY(folder.isEmpty() || ::chmod(QFile::encodeName(target).constData(), mode == 0 ? 0700 : mode) == 0);
        QVERIFY(mode != 0 || QFile::link(target, runtime));
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        if (folder.isEmpty()) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        }
        const ControlServer::Place place = ControlServer::socketPlace();
        qputenv("XDG_RUNTIME_DIR", saved);
        const QString own = u"/tmp/kelvo-%1/kelvo.socket"_s.arg(::getuid());
        QCOMPARE(place.path, inside ? runtime + u"/kelvo.socket"_s : own);
        QCOMPARE(place.note.isEmpty(), inside); // said once, at start
        QCOMPARE(QFileInfo(QFileInfo(own).absolutePath()).permissions() & 0x0077, 0); // made the user's alone
    }
    void hiddenStartWithoutAnItemShowsTheWindow() {
        ClientFixture f; // no session bus and no tray here
        KelvoApp app(&f.client, &f.clock);
        app.start(true);
        QVERIFY(app.menuBarManager());
        QTRY_VERIFY(app.mainWindow()->isVisible());
    }
};

QTEST_MAIN(tst_App)
#include "tst_app.moc"

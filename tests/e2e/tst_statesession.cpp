// The state objects against a real kelvo-server: register, refresh, start, tick, stop, earnings.
#include "ServerProcess.h"
#include "TestSupport.h"

#include "state/AuthViewModel.h"
#include "state/DashboardViewModel.h"
#include "state/TimerViewModel.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

class tst_StateSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void session();
};

void tst_StateSession::session() {
    TemporaryConfigHome home;
    QTemporaryDir dir;
    ServerProcess server;
    QVERIFY(server.start(dir.filePath(u"kelvo.db"_s)));
    APIClient client(server.baseURL());
    DiagnosticsCapture lines;

    AuthViewModel auth(&client);
    QCoro::waitFor(auth.registerAccount(u"Linus"_s, u"linus@x.io"_s, u"kernel1"_s, std::nullopt, std::nullopt));
    QVERIFY(auth.isAuthenticated());
    const QString firstToken = *client.authToken();
    QVERIFY(QCoro::waitFor(auth.refreshToken()));
    QVERIFY(*client.authToken() != firstToken);
    QCOMPARE(home.storedToken(), client.authToken());

    TimerViewModel timer(&client, Clock::system()); // the real server keeps real time
    QTRY_VERIFY(lines.lines().contains(u"✅ Data refresh completed"_s));
    QVERIFY(!timer.currentEntry());
    QCoro::waitFor(timer.startTimer(std::nullopt, std::nullopt, u"Patch review"_s));
    QVERIFY(timer.isTimerRunning());
    QCOMPARE(timer.recentEntries().size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(timer.elapsedTime() >= 2, 10000);
    QCoro::waitFor(timer.stopTimer());
    QVERIFY(!timer.isTimerRunning());
    QVERIFY(*timer.currentEntry()->duration >= 1); // coarse one-second ticks may come a little early
    QCOMPARE(timer.elapsedTime(), 0);

    DashboardViewModel dashboard(&client, DashboardViewModel::ShownBy::dashboard);
    QCoro::waitFor(dashboard.loadEarnings());
    QVERIFY(dashboard.earnings());
    QVERIFY(dashboard.earnings()->today.duration >= 1);
    QVERIFY(!dashboard.errorMessage());
}

QTEST_GUILESS_MAIN(tst_StateSession)
#include "tst_statesession.moc"

// The program's own client and state objects through a whole session against a real kelvo-server:
// what the server sends is what the client reads.
#include "HttpProbe.h"
#include "ServerProcess.h"
#include "TestSupport.h"

#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

class tst_EndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wholeSession() {
        TemporaryConfigHome home;
        ServerProcess server;
        QVERIFY(server.start(home.path() + u"/kelvo.db"_s));
        APIClient client(server.baseURL(), &SettingsStore::tokenStore());
        DiagnosticsCapture lines;

        AuthViewModel auth(&client);
        QCoro::waitFor(auth.registerAccount(u"Grace"_s, u"grace@x.io"_s, u"hopper1"_s, std::nullopt, std::nullopt));
        QCOMPARE(auth.currentUser()->email, u"grace@x.io"_s);
        const QString firstToken = *client.authToken();
        QVERIFY(QCoro::waitFor(auth.refreshToken()));
        QVERIFY(*client.authToken() != firstToken);

        HttpProbe http(server.baseURL());
        const QString projectId =
            http.post(u"/projects"_s, "{\"name\":\"Compiler\",\"color\":\"#3B82F6\",\"hourlyRate\":60}", *client.authToken())
                .json[u"project"][u"id"].toString();
        const QString task = u"{\"projectId\":\""_s + projectId + u"\",\"name\":\"Parser\"}"_s;
        const QString taskId = http.post(u"/tasks"_s, task.toUtf8(), *client.authToken()).json[u"task"][u"id"].toString();

        TimerViewModel timer(&client, Clock::system()); // the real server keeps real time
        QTRY_VERIFY(lines.lines().contains(u"✅ Data refresh completed"_s));
        QVERIFY(timer.projects().size() == 1 && timer.projects().first().color == u"#3B82F6"_s);
        QCoro::waitFor(timer.loadTasks(projectId));
        QVERIFY(timer.tasks().size() == 1 && timer.tasks().first().count->timeEntries == 0);
        QCoro::waitFor(timer.startTimer(projectId, taskId, u"Lexer"_s));
        QCOMPARE(timer.currentEntry()->hourlyRateSnapshot, 60.0);
        QCOMPARE(timer.currentEntry()->project->name, u"Compiler"_s);
        QTRY_VERIFY_WITH_TIMEOUT(timer.elapsedTime() >= 1, 10000); // a second has passed since the start
        QCoro::waitFor(timer.stopTimer());
        QVERIFY(!timer.isTimerRunning() && *timer.currentEntry()->duration >= 1);

        DashboardViewModel dashboard(&client, DashboardViewModel::ShownBy::dashboard);
        QCoro::waitFor(dashboard.loadEarnings());
        QVERIFY(dashboard.earnings()->today.duration >= 1 && !dashboard.earnings()->currentTimer.isRunning);

        // The token the refresh replaced no longer opens the session, and a refusal forgets it.
        client.setAuthToken(firstToken);
        QCOMPARE(QCoro::waitFor(client.getCurrentUser()).error().kind(), APIClientError::Kind::unauthorized);
        QVERIFY(!home.storedToken());
    }
};

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"

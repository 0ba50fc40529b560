// The program's own client through a whole session against a real kelvo-server.
#include "HttpProbe.h"
#include "ServerProcess.h"
#include "TestSupport.h"

#include "api/APIClient.h"

#include <QCoroTask>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

class tst_EndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wholeSession();
};

void tst_EndToEnd::wholeSession() {
    TemporaryConfigHome home;
    QTemporaryDir dir;
    ServerProcess server;
    QVERIFY(server.start(dir.filePath(u"kelvo.db"_s)));
    APIClient client(server.baseURL());

    const auto registered = QCoro::waitFor(client.registerAccount(u"Grace"_s, u"grace@x.io"_s, u"hopper1"_s, 60.0));
    QVERIFY(registered);
    client.setAuthToken(registered->token);
    const auto me = QCoro::waitFor(client.getCurrentUser());
    QVERIFY(me);
    QCOMPARE(me->email, u"grace@x.io"_s);
    QCOMPARE(me->defaultHourlyRate, 60.0);

    HttpProbe http(server.baseURL());
    const QString projectId = http.post(u"/projects"_s, R"({"name":"Compiler","color":"#3B82F6"})", registered->token)
                                  .json[u"project"][u"id"]
                                  .toString();
    const QString taskId =
        http.post(u"/tasks"_s, "{\"projectId\":\"" + projectId.toUtf8() + "\",\"name\":\"Parser\"}", registered->token)
            .json[u"task"][u"id"]
            .toString();
    const auto projects = QCoro::waitFor(client.getProjects());
    QVERIFY(projects && projects->size() == 1 && projects->first().color == u"#3B82F6"_s);
    const auto tasks = QCoro::waitFor(client.getTasks(projectId, false));
    QVERIFY(tasks && tasks->size() == 1 && tasks->first().count->timeEntries == 0);

    DiagnosticsCapture capture;
    const auto idle = QCoro::waitFor(client.getCurrentTimeEntry());
    QVERIFY(idle && !idle->has_value());

    const auto started = QCoro::waitFor(client.startTimer(projectId, taskId, u"Lexer"_s));
    QVERIFY(started);
    QVERIFY(started->isRunning);
    QCOMPARE(started->hourlyRateSnapshot, 60.0);
    QCOMPARE(started->project->name, u"Compiler"_s);
    const auto current = QCoro::waitFor(client.getCurrentTimeEntry());
    QVERIFY(current && current->has_value());
    QCOMPARE((*current)->id, started->id);
    const auto listed = QCoro::waitFor(client.getTimeEntries({.limit = 10}));
    QVERIFY(listed && listed->size() == 1);

    QTest::qWait(1100);
    const auto stopped = QCoro::waitFor(client.stopTimer(started->id));
    QVERIFY(stopped);
    QVERIFY(!stopped->isRunning);
    QVERIFY(*stopped->duration >= 1);

    const auto earnings = QCoro::waitFor(client.getDashboardEarnings(u"Europe/Berlin"_s));
    QVERIFY(earnings);
    QVERIFY(earnings->today.duration >= 1);
    QVERIFY(!earnings->currentTimer.isRunning);

    const QString oldToken = *client.authToken();
    const auto refreshed = QCoro::waitFor(client.refreshToken());
    QVERIFY(refreshed && refreshed->token != oldToken);
    client.setAuthToken(refreshed->token);
    QVERIFY(QCoro::waitFor(client.getCurrentUser()));

    client.setAuthToken(oldToken);
    const auto revoked = QCoro::waitFor(client.getCurrentUser());
    QVERIFY(!revoked);
    QCOMPARE(revoked.error().kind(), APIClientError::Kind::unauthorized);
    QVERIFY(!client.authToken());
    QVERIFY(!home.storedToken());
}

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"

#include "HttpProbe.h"
#include "ServerProcess.h"
#include "TestSupport.h"

#include "app/AwayDesk.h"
#include "app/KelvoApp.h"
#include "control/ControlServer.h"
#include "control/StatusFollower.h"
#include "control/TimerCommands.h"
#include "state/AwayWatch.h"
#include "state/TimerViewModel.h"

#include <QCoroSignal>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

StatusReport running(std::optional<double> rate = 41.38 / (3723.0 / 3600)) {
    TimeEntry entry;
    entry.id = u"e1"_s;
    entry.isRunning = true;
    entry.startTime = u"2025-03-01T09:00:00.000Z"_s;
    entry.hourlyRateSnapshot = rate;
    entry.project = TimeEntryProject{u"p1"_s, u"Website Redesign"_s, std::nullopt};
    entry.task = TimeEntryTask{u"t1"_s, u"Frontend build"_s};
    DashboardEarnings totals{{}, {72.92, 4200}, {300, 36000}};
    return StatusReport::of(entry, 3723, totals);
}

QJsonObject jsonOf(const QByteArray& line) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    [&] { QCOMPARE(error.error, QJsonParseError::NoError); }();
    return document.object();
}

// A raw connection to a control server in this process: what it sends, and what comes back
// before the server closes it.
QByteArray exchange(const QString& path, const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(path);
    socket.write(bytes);
    QByteArray answer;
    // A socket the server never closes shows as an answer that does not parse.
    (void)QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return socket.state() == QLocalSocket::UnconnectedState;
        },
        20000);
    return answer + socket.readAll();
}

// What a slow server's answer is waited on with.
class Gate : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void opened();
};

// Run as another user by otherUsersAreNotTalkedTo: "client PATH LINE" sends a line to a socket and
// prints how many bytes came back; "program PATH" answers on a socket of its own with a forged status
// and prints how many bytes it was sent. (Out of the class: moc cannot read this literal.)
const QString otherUserScript = uR"(
import socket, sys, os
mode, path = sys.argv[1], sys.argv[2]
s = socket.socket(socket.AF_UNIX)
s.settimeout(20)
if mode == "client":
    s.connect(path)
    got = b""
    try:
        s.sendall(sys.argv[3].encode())
        while part := s.recv(4096): got += part
    except OSError: pass
    print(len(got))
else:
    s.bind(path); os.chmod(path, 0o777); s.listen(1); print("ready", flush=True)
    c, _ = s.accept(); c.settimeout(5); got = b""
    try:
        c.sendall(b'{"kelvo":1,"exit":0,"message":"\\u001b]52;c;ZXZpbA==\\u0007"}\n')
        got = c.recv(4096)
    except OSError: pass
    print(len(got))
)"_s;

// Waits for `process` to end while this process's event loop keeps serving it.
bool ended(QProcess& process) {
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000);
}

// Starts `kelvo arguments` with nothing of the environment but `environment`.
void start(QProcess& process, const QProcessEnvironment& environment, const QStringList& arguments) {
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KELVO_BINARY), arguments);
}

// `kelvo arguments` run to its end: its exit code (-1 when it did not end), its output in `out`.
int runKelvo(const QProcessEnvironment& environment, const QStringList& arguments, QByteArray* out = nullptr) {
    QProcess process;
    start(process, environment, arguments);
    if (!ended(process)) {
        return -1;
    }
    if (out) {
        *out = process.readAllStandardOutput();
    }
    return process.exitCode();
}

struct StatusShapesRow { StatusReport report; QString human, waybarText, waybarClass, i3Short; };
// picked: empty: refused, listing `listed`
struct NameMatchingRow { QString query, picked; QStringList listed; };

} // namespace

class tst_Control : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() {
        m_server.reset();
        m_runtime.reset();
    }
    void statusShapes_data() {
        QTest::addColumn<StatusShapesRow>("row");
        QTest::newRow("running") << StatusShapesRow{running(), u"▶ Website Redesign · Frontend build · 01:02:03 · $41.38"_s, u"▶ 01:02:03"_s, u"running"_s, u"▶ 01:02:03"_s};
        StatusReport bare = running(std::nullopt);
        bare.entry->project.reset();
        bare.entry->task.reset();
        QTest::newRow("no names, no rate") << StatusShapesRow{bare, u"▶ 01:02:03"_s, u"▶ 01:02:03"_s, u"running"_s, u"▶ 01:02:03"_s};
        StatusReport waiting = running();
        waiting.stopPending = true;
        QTest::newRow("stop waiting") << StatusShapesRow{waiting, u"▶ Website Redesign · Frontend build · 01:02:03 · $41.38 · stop waiting for the server"_s, u"▶ 01:02:03"_s, u"running"_s, u"▶ 01:02:03"_s};
        QTest::newRow("idle") << StatusShapesRow{StatusReport::of(std::nullopt, 0, std::nullopt), u"■ No timer running"_s, u"■"_s, u"idle"_s, u"■"_s};
        QTest::newRow("signed out") << StatusShapesRow{StatusReport::unavailable(StatusReport::State::signedOut, u"x"_s), u"■ Not signed in"_s, u"■ signed out"_s, u"signed-out"_s, u"■"_s};
        QTest::newRow("offline") << StatusShapesRow{StatusReport::unavailable(StatusReport::State::offline, u"Network error: refused"_s), u"■ Offline: Network error: refused"_s, u"■ offline"_s, u"offline"_s, u"■"_s};
    }
    void statusShapes() {
        QFETCH(StatusShapesRow, row);
        auto [report, human, waybarText, waybarClass, i3Short] = row;
        using Format = StatusFormatter::Format;
        QCOMPARE(StatusFormatter::format(report, Format::human), human.toUtf8() + '\n');
        QCOMPARE(StatusFormatter::format(report, Format::human, true),
                 (u"\x1b["_s + (report.entry ? u"32m▶"_s : u"2m■"_s) + u"\x1b[0m"_s + human.mid(1)).toUtf8() + '\n');
        // waybar: one JSON object per line with the keys its custom module reads.
        const QByteArray waybar = StatusFormatter::format(report, Format::waybar);
        QCOMPARE(waybar.count('\n'), 1);
        const QJsonObject module = jsonOf(waybar);
        QCOMPARE(module.value(u"text"_s).toString(), waybarText);
        QCOMPARE(module.value(u"class"_s).toString(), waybarClass);
        // i3blocks: full text, short text, colour.
        const QStringList block = QString::fromUtf8(StatusFormatter::format(report, Format::i3blocks)).split(u'\n');
        QCOMPARE(block.size(), 4);
        QCOMPARE(block.at(0), human);
        QCOMPARE(block.at(1), i3Short);
        QVERIFY(QColor::isValidColorName(block.at(2)));
        // JSON: the published object, readable back.
        const QJsonObject json = jsonOf(StatusFormatter::format(report, Format::json));
        QCOMPARE(json.keys(), (QStringList{u"entry"_s, u"running"_s}
                               + (report.stopPending ? QStringList{u"stopPending"_s} : QStringList())
                               + QStringList{u"thisWeek"_s, u"today"_s, u"version"_s}));
        QCOMPARE(JsonReader::decode<StatusReport>(json)->stopPending, report.stopPending);
        QCOMPARE(json.value(u"running"_s).toBool(), report.state == StatusReport::State::running);
    }
    void serverTextIsInert_data() {
        QTest::addColumn<StatusFormatter::Format>("format");
        QTest::addColumn<int>("lines");
        using Format = StatusFormatter::Format;
        QTest::newRow("human") << Format::human << 1;
        QTest::newRow("i3blocks") << Format::i3blocks << 3;
        QTest::newRow("waybar") << Format::waybar << 1;
        QTest::newRow("json") << Format::json << 1;
    }
    void serverTextIsInert() {
        QFETCH(StatusFormatter::Format, format);
        QFETCH(int, lines);
        StatusReport report = running();
        const QString project = u"Web\x1b]52;c;ZXZpbA==\x07site\u009b2J %{A1:rm -rf ~:}x%{A}\x7f"_s;
        report.entry->project->name = project;
        report.entry->task->name = u"Front\nend\r\n#FF0000"_s;
        report.entry->description = u"<a href='x'>&amp;</a>\u202Eevil\u2066"_s;
        const QByteArray bytes = StatusFormatter::format(report, format);
        const QString text = QString::fromUtf8(bytes);
        QCOMPARE(text.count(u'\n'), lines);
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            QVERIFY2(u == u'\n' || !(u < 0x20 || (u >= 0x7f && u <= 0x9f) || (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069)),
                     qPrintable(u"U+%1 in %2"_s.arg(uint(u), 4, 16, QLatin1Char('0')).arg(text)));
        }
        if (format == StatusFormatter::Format::json) {
            // The data itself stays whole, escaped.
            QCOMPARE(jsonOf(bytes).value(u"entry"_s).toObject().value(u"project"_s).toObject().value(u"name"_s).toString(), project);
        } else if (format == StatusFormatter::Format::waybar) {
            const QJsonObject module = jsonOf(bytes);
            QVERIFY(!module.value(u"tooltip"_s).toString().contains(u'<'));
            QVERIFY(module.value(u"tooltip"_s).toString().contains(u"&lt;a href=&#39;x&#39;&gt;&amp;amp;&lt;/a&gt;"_s));
        } else {
            QVERIFY2(!text.contains(u"%{"_s), qPrintable(text)); // no polybar tag opens
            QVERIFY(text.startsWith(u"▶ Web]52;c;ZXZpbA==site2J % {A1:rm -rf ~:}x% {A} · Front end  #FF0000 · "_s));
        }
    }
    void requestReader_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("error");
        ControlRequest start;
        start.command = ControlRequest::Command::start;
        start.project = u"Web"_s;
        start.description = u"a \"quoted\"\nline"_s;
        QByteArray written = start.toLine();
        written.chop(1);
        QTest::newRow("written") << written << QString();
        QTest::newRow("not json") << "show"_ba << u"malformed message: "_s;
        QTest::newRow("not an object") << "[1]"_ba << u"malformed message: "_s;
        QTest::newRow("wrong type") << R"({"kelvo":1,"command":"stop","follow":"yes"})"_ba << u"malformed message: follow"_s;
        QTest::newRow("newer version") << R"({"kelvo":2,"command":"stop","follow":false})"_ba << u"unsupported message version 2"_s;
        QTest::newRow("unknown command") << R"({"kelvo":1,"command":"format-disk","follow":false})"_ba << u"unknown command"_s;
        QTest::newRow("oversized") << QByteArray("{\"kelvo\":1,\"command\":\"stop\",\"follow\":false,\"x\":\"") + QByteArray(9000, 'a') +
                                          "\"}"
                                   << u"message too large"_s;
    }
    void requestReader() {
        QFETCH(QByteArray, line);
        QFETCH(QString, error);
        const auto request = ControlRequest::fromLine(line);
        if (error.isEmpty()) {
            QVERIFY(request);
            QCOMPARE(request->toLine(), line + '\n');
        } else {
            QVERIFY(!request);
            QVERIFY2(request.error().startsWith(error), qPrintable(request.error()));
        }
    }
    void nameMatching_data() {
        QTest::addColumn<NameMatchingRow>("row");
        QTest::newRow("id") << NameMatchingRow{u"p2"_s, u"p2"_s, QStringList{}};
        QTest::newRow("whole name, any case") << NameMatchingRow{u"web"_s, u"p3"_s, QStringList{}};
        QTest::newRow("unique prefix") << NameMatchingRow{u"mob"_s, u"p4"_s, QStringList{}};
        QTest::newRow("ambiguous prefix") << NameMatchingRow{u"Webs"_s, QString(), QStringList{u"Website Redesign"_s, u"Website Copy"_s}};
        QTest::newRow("unknown lists all") << NameMatchingRow{u"zzz"_s, QString(), QStringList{u"Website Redesign"_s, u"Website Copy"_s, u"Web"_s, u"Mobile"_s}};
    }
    void nameMatching() {
        QFETCH(NameMatchingRow, row);
        auto [query, picked, listed] = row;
        const QList<TimerCommands::Choice> choices{{u"p1"_s, u"Website Redesign"_s, {}, {}},
                                                   {u"p2"_s, u"Website Copy"_s, {}, {}},
                                                   {u"p3"_s, u"Web"_s, {}, {}},
                                                   {u"p4"_s, u"Mobile"_s, {}, {}}};
        const auto result = TimerCommands::pick(choices, query, u"project"_s);
        QCOMPARE(result ? result->id : QString(), picked);
        if (!result) {
            QCOMPARE(result.error().exit, ExitCode::usage);
            const QStringList lines = result.error().message.split(u'\n').mid(1);
            QCOMPARE(lines.size(), listed.size());
            for (qsizetype i = 0; i < listed.size(); ++i) {
                QVERIFY2(lines.at(i).trimmed().startsWith(listed.at(i)), qPrintable(lines.at(i)));
            }
        }
    }
    void badMessagesChangeNothing() {
        ControlServer& server = serve();
        server.setLimits({std::chrono::milliseconds(200), 64 * 1024});
        const QString& path = m_path;
        for (const QByteArray& bytes : {"garbage\n"_ba,
                                        R"({"kelvo":1,"command":"quit","follow":1})"
                                        "\n"_ba,
                                        QByteArray(20000, '{'), "{\"kelvo\":1,"_ba /* never finished */}) {
            const QByteArray answer = exchange(path, bytes);
            const auto reply = ControlReply::fromLine(answer.trimmed());
            QVERIFY2(reply, answer.constData());
            QCOMPARE(reply->exit, ExitCode::usage);
        }
        QCOMPARE(m_handled, 0);
        // A sound request after all that is still served.
        QVERIFY(ControlReply::fromLine(exchange(path, ControlRequest{}.toLine()).trimmed()));
        QCOMPARE(m_handled, 1);
        // Connections beyond the limit are closed at once; one that ends makes room again.
        server.setLimits({std::chrono::seconds(30), 64 * 1024, 2});
        std::array<QLocalSocket, 2> idle;
        for (QLocalSocket& socket : idle) {
            socket.connectToServer(path);
        }
        QVERIFY(exchange(path, ControlRequest{}.toLine()).isEmpty());
        idle[0].abort();
        QVERIFY(QTest::qWaitFor([&] { return !exchange(path, ControlRequest{}.toLine()).isEmpty(); }));
        QCOMPARE(m_handled, 2);
    }
    void followersHaveTheirOwnCap() {
        ControlServer& server = serve();
        server.setLimits({std::chrono::seconds(30), 64 * 1024, 1, 2});
        ControlRequest follow;
        follow.follow = true;
        std::array<QLocalSocket, 2> followers;
        for (qsizetype i = 0; i < 2; ++i) {
            followers[i].connectToServer(m_path);
            followers[i].write(follow.toLine());
            QTRY_COMPARE(server.followerCount(), i + 1);
        }
        // One follower more is told no; a command still gets its one connection.
        const auto refused = ControlReply::fromLine(exchange(m_path, follow.toLine()).trimmed());
        QVERIFY(refused && refused->exit == ExitCode::failed);
        QVERIFY(ControlReply::fromLine(exchange(m_path, ControlRequest{}.toLine()).trimmed()));
    }
    void requestsServedInArrivalOrder() {
        QStringList order;
        Gate gate; // a stop waits on a slow server until the gate opens
        serve([&](ControlRequest request) -> QCoro::Task<ControlReply> {
            order.append(ControlRequest::commandName(request.command));
            if (request.command == ControlRequest::Command::stop) {
                co_await qCoro(&gate, &Gate::opened);
            }
            co_return ControlReply{};
        });
        std::array<QLocalSocket, 3> sockets;
        const auto send = [&](QLocalSocket& socket, ControlRequest::Command command) {
            socket.connectToServer(m_path);
            ControlRequest request;
            request.command = command;
            socket.write(request.toLine());
            socket.flush();
        };
        send(sockets[0], ControlRequest::Command::stop);
        QTRY_COMPARE(order, QStringList{u"stop"_s});
        // A toggle waits its turn behind the stop; a show is answered at once.
        send(sockets[1], ControlRequest::Command::toggle);
        send(sockets[2], ControlRequest::Command::show);
        QTRY_COMPARE(order, (QStringList{u"stop"_s, u"show"_s}));
        Q_EMIT gate.opened();
        QTRY_COMPARE(order, (QStringList{u"stop"_s, u"show"_s, u"toggle"_s}));
    }
    void stalledFollowerIsDropped() {
        qint64 seconds = 0;
        ControlServer& server = serve({}, [&seconds] {
            StatusReport report = running();
            report.entry->elapsedSeconds = seconds;
            return ControlReply::of(report);
        });
        QSignalSpy dropped(&server, &ControlServer::followerDropped);
        server.setLimits({std::chrono::seconds(5), 4096});
        QLocalSocket stalled;
        stalled.setReadBufferSize(1); // reads nothing more than a byte
        stalled.connectToServer(m_path);
        QVERIFY(stalled.waitForConnected(5000));
        ControlRequest follow;
        follow.follow = true;
        stalled.write(follow.toLine());
        QTRY_COMPARE(server.followerCount(), 1);
        // Every publish differs; the socket's buffers fill, then the backlog; then it is dropped.
        for (int i = 0; i < 100000 && dropped.isEmpty(); ++i) {
            ++seconds;
            server.publish();
            if (i % 50 == 0) {
                QCoreApplication::processEvents();
            }
        }
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(server.followerCount(), 0);
    }
    void otherUsersAreNotTalkedTo() {
        if (::getuid() != 0 || QStandardPaths::findExecutable(u"setpriv"_s).isEmpty()) {
            QSKIP("acting as another user needs root and setpriv");
        }
        // As "nobody": a client that prints how many bytes it was answered, or a program that
        // answers with a forged status and prints how many bytes it was sent.
        const auto asNobody = [](QProcess& process, const QStringList& arguments) {
            process.start(u"setpriv"_s, QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                                    u"/usr/bin/python3"_s, u"-c"_s, otherUserScript} + arguments);
        };
        serve();
        QFile::setPermissions(m_runtime->path(), QFile::Permissions(0x7777)); // a folder all may use
        QFile::setPermissions(m_path, QFile::Permissions(0x7777));
        QProcess client;
        asNobody(client, {u"client"_s, m_path, QString::fromUtf8(ControlRequest{}.toLine())});
        QVERIFY(ended(client));
        QVERIFY2(client.readAllStandardOutput().trimmed() == "0", client.readAllStandardError().constData()); // closed unanswered
        QCOMPARE(m_handled, 0);
        // Their program's socket in our runtime folder: the command line does not talk to it.
        QProcess program;
        asNobody(program, {u"program"_s, m_runtime->filePath(u"theirs.socket"_s)});
        QVERIFY(program.waitForReadyRead(20000));
        QTemporaryDir runtime;
        QVERIFY(QFile::rename(m_runtime->filePath(u"theirs.socket"_s), runtime.filePath(u"kelvo.socket"_s)));
        QProcessEnvironment environment;
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        environment.insert(u"XDG_CONFIG_HOME"_s, runtime.path());
        environment.insert(u"KELVO_API_URL"_s, u"http://127.0.0.1:9"_s);
        QByteArray shown;
        QCOMPARE(runKelvo(environment, {u"status"_s}, &shown), 3); // answered by itself: not signed in
        QVERIFY(!shown.contains('\x1b'));
        QVERIFY(ended(program));
        QCOMPARE(program.readAllStandardOutput().split('\n').value(1), "0"); // sent nothing
    }
    void followerPrintsChangesAndIdleMinutes() {
        TestClock clock(QDateTime(QDate(2025, 3, 1), QTime(10, 1, 5), Qt::UTC));
        StatusReport shown = StatusReport::of(std::nullopt, 0, std::nullopt);
        ControlServer& server = serve([&shown](ControlRequest) -> QCoro::Task<ControlReply> { co_return ControlReply::of(shown); },
                                      [&shown] { return ControlReply::of(shown); });
        QStringList lines;
        APIClient unused(u"http://127.0.0.1:9"_s, nullptr);
        DirectControl direct(&unused, &clock);
        StatusFollower follower(m_path, &direct, &clock, StatusFormatter::Format::human, false,
                                [&lines](const QByteArray& line) {
                                    lines.append(QString::fromUtf8(line).trimmed());
                                    return lines.size() < 5;
                                });
        QSignalSpy finished(&follower, &StatusFollower::finished);
        follower.start();
        QVERIFY(follower.isFollowingProgram());
        QTRY_COMPARE(lines, QStringList{u"■ No timer running"_s});
        server.publish(); // unchanged: no line
        shown = running();
        server.publish();
        server.publish();
        QTRY_COMPARE(lines.size(), 2);
        QVERIFY(lines.last().startsWith(u"▶ Website Redesign"_s));
        shown = StatusReport::of(std::nullopt, 0, std::nullopt);
        server.publish();
        QTRY_COMPARE(lines.size(), 3);
        clock.advance(61); // a minute idle: the line again
        QTRY_COMPARE(lines.size(), 4);
        QCOMPARE(lines.at(3), lines.at(2));
        clock.advance(61); // the reader goes away after this one
        QTRY_COMPARE(finished.size(), 1);
    }
    void commandsReachTheRunningProgram() {
        TemporaryConfigHome home;
        QTemporaryDir data;
        ServerProcess serverProcess;
        QVERIFY(serverProcess.start(data.filePath(u"db.sqlite"_s)));
        HttpProbe http(serverProcess.baseURL());
        const QString token = http.registerUser(u"cli@example.com"_s);
        QVERIFY(http.post(u"/projects"_s, R"({"name":"Compiler","hourlyRate":60})", token).status < 300);
        APIClient client(serverProcess.baseURL(), &SettingsStore::tokenStore());
        QVERIFY(client.setAuthToken(token).has_value());
        QTemporaryDir runtime;
        KelvoApp app(&client, Clock::system());
        QVERIFY(app.listen(runtime.filePath(u"kelvo.socket"_s)));
        app.start();
        QTRY_VERIFY_WITH_TIMEOUT(app.authViewModel()->isAuthenticated(), 20000);
        TimerViewModel* timer = app.timerViewModel();

        QProcessEnvironment environment;
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        environment.insert(u"KELVO_API_URL"_s, u"http://127.0.0.1:9"_s); // only the program may talk
        // A follower sees what the window does.
        QProcess follower;
        start(follower, environment, {u"status"_s, u"--follow"_s});
        QTRY_VERIFY_WITH_TIMEOUT(follower.canReadLine(), 20000);
        QCOMPARE(follower.readLine(), "■ No timer running\n");

        QByteArray out;
        QCOMPARE(runKelvo(environment, {u"start"_s, u"--project"_s, u"comp"_s}, &out), 0);
        QTRY_VERIFY(timer->isTimerRunning());
        QVERIFY(out.startsWith("▶ Compiler · 00:0"));
        QByteArray followed;
        QTRY_VERIFY2_WITH_TIMEOUT((followed += follower.readAll()).contains("▶ Compiler"), followed.constData(), 20000);

        timer->stopTimer(); // as the window's button does
        QTRY_VERIFY2_WITH_TIMEOUT((followed += follower.readAll()).endsWith("■ No timer running\n"), followed.constData(), 20000);

        for (const auto& [command, running] : {std::pair{u"toggle"_s, true}, {u"stop"_s, false}}) {
            QCOMPARE(runKelvo(environment, {command}), 0);
            QCOMPARE(timer->isTimerRunning(), running);
        }
        follower.kill();
        follower.waitForFinished();

        // A timer stopped while the user was away: in the status, and resumed by the command line.
        QCOMPARE(runKelvo(environment, {u"resume"_s}), 1);
        QVERIFY(app.preferences()->setStopsOnLock(true).has_value());
        QTRY_VERIFY(app.awayDesk()); // once the first frame is up
        QCOMPARE(runKelvo(environment, {u"start"_s}), 0);
        QTRY_VERIFY(timer->isTimerRunning() && !timer->isLoading()); // the start is done
        app.awayDesk()->watch()->lockChanged(true);
        QTRY_VERIFY(!timer->isTimerRunning() && !timer->isLoading());
        app.awayDesk()->watch()->lockChanged(false);
        QCOMPARE(runKelvo(environment, {u"status"_s, u"--json"_s}, &out), 0);
        const QJsonObject away = jsonOf(out).value(u"away"_s).toObject();
        QCOMPARE(away.value(u"reason"_s).toString(), u"lock"_s);
        QCOMPARE(away.value(u"entry"_s).toObject().value(u"project"_s).toObject().value(u"name"_s).toString(), u"Compiler"_s);
        QCOMPARE(runKelvo(environment, {u"resume"_s}), 0);
        QVERIFY(timer->isTimerRunning());
        QVERIFY(!app.awayDesk()->watch()->isShown());
    }

private:
    // A control server at m_path, in a folder of its own: commands go to `handle` (by default
    // counted in m_handled and answered with an empty reply), followers are sent `status`.
    ControlServer& serve(ControlServer::Handler handle = {}, ControlServer::Status status = [] { return ControlReply{}; }) {
        m_runtime = std::make_unique<QTemporaryDir>();
        m_path = m_runtime->filePath(u"k.socket"_s);
        m_handled = 0;
        if (!handle) {
            handle = [this](ControlRequest) -> QCoro::Task<ControlReply> {
                ++m_handled;
                co_return ControlReply{};
            };
        }
        m_server = std::make_unique<ControlServer>(m_path, std::move(handle), std::move(status));
        return *m_server;
    }

    std::unique_ptr<QTemporaryDir> m_runtime;
    QString m_path;
    std::unique_ptr<ControlServer> m_server;
    int m_handled = 0;
};

QTEST_MAIN(tst_Control)
#include "tst_control.moc"

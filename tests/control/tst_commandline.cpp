#include "HttpProbe.h"
#include "ServerProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kelvo::test;
using namespace Qt::StringLiterals;

// `kelvo <command>` with no program running: straight to a real kelvo-server, no display.
namespace {

// out: a pattern for standard output
struct CommandsRow { QString user; QStringList arguments; int exitCode; QString out; };

} // namespace

class tst_CommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_server.start(m_dir.filePath(u"db.sqlite"_s)));
        HttpProbe http(m_server.baseURL());
        m_tokens.insert(u"fresh"_s, http.registerUser(u"fresh@example.com"_s));
        const QString token = http.registerUser(u"worker@example.com"_s);
        m_tokens.insert(u"worker"_s, token);
        m_tokens.insert(u"refused"_s, u"bm90LWEtdG9rZW4"_s);
        QString website;
        for (const QByteArray& body :
             {R"({"name":"Website Redesign","hourlyRate":40})"_ba, R"({"name":"Web Shop"})"_ba, R"({"name":"Mobile App"})"_ba}) {
            const auto answer = http.post(u"/projects"_s, body, token);
            QVERIFY2(answer.status < 300, answer.body.constData());
            if (website.isEmpty()) {
                website = answer.json.value(u"project"_s).toObject().value(u"id"_s).toString();
            }
        }
        QVERIFY(!website.isEmpty());
        const QByteArray task = "{\"name\":\"Frontend build\",\"projectId\":\"" + website.toUtf8() + "\"}";
        QVERIFY(http.post(u"/tasks"_s, task, token).status < 300);
    }
    void commands_data() {
        QTest::addColumn<CommandsRow>("row");
        const auto row = [](const char* name, const QString& user, const QStringList& arguments, int exitCode, const QString& out) {
            QTest::newRow(name) << CommandsRow{user, arguments, exitCode, out};
        };
        const QString waybar = u"\\{\"alt\":\"%1\",\"class\":\"%1\",\"text\":\"[^\"]*\",\"tooltip\":\"[^\"]*\"\\}\\n"_s;
        row("signed out", u""_s, {u"status"_s}, 3, u""_s);
        row("signed out, waybar", u""_s, {u"status"_s, u"--format"_s, u"waybar"_s}, 0, waybar.arg(u"signed-out"_s));
        row("signed out, start", u""_s, {u"start"_s}, 3, u""_s);
        row("refused token", u"refused"_s, {u"stop"_s}, 3, u""_s);
        row("refused, i3blocks", u"refused"_s, {u"status"_s, u"--format"_s, u"i3blocks"_s}, 0,
            u"■ Not signed in\n■\n#[0-9A-F]{6}\n"_s);
        row("server down", u"down"_s, {u"status"_s}, 1, u""_s);
        row("server down, waybar", u"down"_s, {u"status"_s, u"--format"_s, u"waybar"_s}, 0, waybar.arg(u"offline"_s));
        row("no previous entry", u"fresh"_s, {u"start"_s}, 4, u""_s);
        row("nothing to stop", u"fresh"_s, {u"stop"_s}, 4, u""_s);
        row("idle", u"fresh"_s, {u"status"_s}, 0, u"■ No timer running\n"_s);
        row("options first", u"fresh"_s, {u"--format=i3blocks"_s, u"status"_s}, 0, u"■ No timer running\n■\n#[0-9A-F]{6}\n"_s);
        row("ambiguous", u"worker"_s, {u"start"_s, u"--project"_s, u"web"_s}, 2, u""_s);
        row("unknown", u"worker"_s, {u"start"_s, u"--task"_s, u"nope"_s}, 2, u""_s);
        row("start by names", u"worker"_s, {u"start"_s, u"--project"_s, u"website"_s, u"--task"_s, u"front"_s}, 0,
            u"▶ Website Redesign · Frontend build · 00:0\\d · \\$0\\.\\d\\d\n"_s);
        row("already running", u"worker"_s, {u"start"_s}, 4, u""_s);
        row("waybar running", u"worker"_s, {u"status"_s, u"--format"_s, u"waybar"_s}, 0, waybar.arg(u"running"_s));
        row("stop", u"worker"_s, {u"stop"_s}, 0, u"■ No timer running\n"_s);
        row("start latest", u"worker"_s, {u"start"_s}, 0, u"▶ Website Redesign · Frontend build · .*\n"_s);
        row("toggle stops", u"worker"_s, {u"toggle"_s}, 0, u"■ No timer running\n"_s);
        row("task alone", u"worker"_s, {u"start"_s, u"--task"_s, u"Frontend build"_s, u"--description"_s, u"x"_s}, 0,
            u"▶ Website Redesign · Frontend build · .*\n"_s);
        row("bad option", u"worker"_s, {u"status"_s, u"--colour"_s}, 2, u""_s);
        row("option of another command", u"worker"_s, {u"stop"_s, u"--follow"_s}, 2, u""_s);
        row("unknown command", u"worker"_s, {u"frobnicate"_s}, 2, u""_s);
        row("quit, none running", u"worker"_s, {u"quit"_s}, 0, u""_s);
        row("verbose", u"worker"_s, {u"status"_s, u"--verbose"_s}, 0, u"▶ Website Redesign · .*\n"_s);
    }
    void commands() {
        QFETCH(CommandsRow, row);
        auto [user, arguments, exitCode, out] = row;
        const Run run = kelvo(user, arguments);
        QVERIFY2(run.exitCode == exitCode, qPrintable(u"exit %1: %2"_s.arg(run.exitCode).arg(run.err)));
        QVERIFY2(QRegularExpression(u"\\A(?:"_s + out + u")\\z"_s).match(run.out).hasMatch(), qPrintable(run.out));
        // Failures say why on standard error; nothing a script reads is mixed into the output.
        QCOMPARE(run.err.isEmpty(), exitCode == 0 && !arguments.contains(u"quit"_s));
        QVERIFY(!run.out.contains(u"\x1b"_s)); // no colour off a terminal
    }
    void followCountsSeconds() {
        // Running on its own too: the timer the table's last start left running, or a new one.
        kelvo(u"worker"_s, {u"start"_s, u"--task"_s, u"Frontend build"_s, u"--description"_s, u"x"_s});
        const Run json = kelvo(u"worker"_s, {u"status"_s, u"--json"_s});
        QCOMPARE(json.exitCode, 0);
        const QJsonObject status = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(status.value(u"running"_s).toBool(), true);
        const QJsonObject entry = status.value(u"entry"_s).toObject();
        QCOMPARE(entry.value(u"task"_s).toObject().value(u"name"_s).toString(), u"Frontend build"_s);
        QCOMPARE(entry.value(u"description"_s).toString(), u"x"_s);
        QVERIFY(status.value(u"today"_s).isObject());

        QProcess follow;
        follow.setProcessEnvironment(environmentFor(u"worker"_s));
        follow.start(QStringLiteral(KELVO_BINARY), {u"status"_s, u"--follow"_s, u"--json"_s});
        QList<qint64> seconds;
        while (seconds.size() < 2 && follow.waitForReadyRead(20000)) {
            while (follow.canReadLine()) {
                seconds.append(QJsonDocument::fromJson(follow.readLine())[u"entry"][u"elapsedSeconds"].toInteger());
            }
        }
        QVERIFY(seconds.size() >= 2);
        QCOMPARE(seconds.at(1), seconds.at(0) + 1);
        // It ends only when its reader goes away.
        QCOMPARE(follow.state(), QProcess::Running);
        follow.closeReadChannel(QProcess::StandardOutput);
        follow.kill();
        follow.waitForFinished();
    }

private:
    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
    };
    // Runs kelvo as `user` ("" none signed in, "refused" a token the server does not know,
    // "down" against a closed port).
    Run kelvo(const QString& user, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environmentFor(user));
        process.start(QStringLiteral(KELVO_BINARY), arguments);
        Run run;
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit) {
            run.exitCode = process.exitCode();
        }
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    QProcessEnvironment environmentFor(const QString& user) {
        const QString home = m_dir.filePath(u"home-"_s + (user.isEmpty() ? u"none"_s : user));
        QDir().mkpath(home + u"/Kelvo"_s);
        QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); // a private runtime folder
        const QString signedIn = user == u"down" ? u"worker"_s : user; // a good sign-in, no server
        if (m_tokens.contains(signedIn)) {
            QFile file(home + u"/Kelvo/Kelvo.conf"_s);
            [&] { QVERIFY(file.open(QIODevice::WriteOnly)); }();
            file.write("[General]\nkelvo_auth_token=" + m_tokens.value(signedIn).toUtf8() + '\n');
        }
        QProcessEnvironment environment;
        environment.insert(u"XDG_CONFIG_HOME"_s, home);
        environment.insert(u"XDG_RUNTIME_DIR"_s, home); // no program listens there
        environment.insert(u"KELVO_API_URL"_s, user == u"down" ? u"http://127.0.0.1:9"_s : m_server.baseURL());
        return environment;
    }

    QTemporaryDir m_dir;
    ServerProcess m_server;
    QHash<QString, QString> m_tokens;
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"

// The kelvo-server executable itself: its start-up line, restarts and shutdown under load.
#include "HttpProbe.h"
#include "ServerProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

// Every entry id of the user, walking all pages.
QSet<QString> allEntryIds(HttpProbe& http, const QString& token) {
    QSet<QString> ids;
    for (int page = 1;; ++page) {
        const auto answer = http.get(u"/time-entries?limit=100&page=%1"_s.arg(page), token);
        const QJsonArray entries = answer.json[u"entries"].toArray();
        for (const auto& entry : entries) {
            ids.insert(entry[u"id"].toString());
        }
        if (entries.isEmpty() || page >= answer.json[u"pagination"][u"pages"].toInt()) {
            return ids;
        }
    }
}

} // namespace

class tst_ServerProcess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void terminationDuringABurstKeepsAcknowledgedEntries() {
        QTemporaryDir dir;
        const QString db = dir.filePath(u"kelvo.db"_s);
        ServerProcess server;
        QVERIFY(server.start(db));
        QString token;
        {
            HttpProbe http(server.baseURL());
            token = http.registerUser(u"burst@x.io"_s);
        }

        QNetworkAccessManager network;
        QSet<QString> acknowledged;
        int finished = 0;
        const int total = 400;
        QNetworkRequest request(QUrl(server.baseURL() + u"/time-entries/start"_s));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        for (int i = 0; i < total; ++i) {
            QNetworkReply* reply = network.post(request, QByteArrayLiteral("{\"description\":\"burst\"}"));
            connect(reply, &QNetworkReply::finished, this, [&, reply] {
                if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 201) {
                    acknowledged.insert(QJsonDocument::fromJson(reply->readAll())[u"timeEntry"][u"id"].toString());
                }
                ++finished;
                reply->deleteLater();
            });
        }
        QTRY_VERIFY_WITH_TIMEOUT(acknowledged.size() >= 50, 60'000);
        server.process().terminate();
        QTRY_COMPARE_WITH_TIMEOUT(finished, total, 60'000);
        QCOMPARE(server.waitForExit(), 0);
        QVERIFY(acknowledged.size() < total); // the signal really came mid-burst

        ServerProcess again;
        QVERIFY(again.start(db));
        HttpProbe http(again.baseURL());
        // The session, the account and every acknowledged entry are kept.
        const QSet<QString> stored = allEntryIds(http, token);
        QVERIFY(stored.contains(acknowledged));
        QCOMPARE(http.post(u"/auth/login"_s, R"({"email":"burst@x.io","password":"secret1"})").status, 200);
        QVERIFY(http.get(u"/time-entries?isRunning=true"_s, token).json[u"entries"].toArray().size() <= 1);
    }
    void seedingTwiceAddsNothing() {
        QTemporaryDir dir;
        const QString db = dir.filePath(u"kelvo.db"_s);
        int entries = 0;
        for (int run = 0; run < 2; ++run) {
            ServerProcess server;
            QVERIFY(server.start(db, {u"--seed-demo"_s}));
            HttpProbe http(server.baseURL());
            const auto login = http.post(u"/auth/login"_s, R"({"email":"demo@kelvo.local","password":"kelvo-demo"})");
            QCOMPARE(login.status, 200);
            const QString token = login.json[u"token"].toString();
            QCOMPARE(http.get(u"/projects"_s, token).json[u"projects"].toArray().size(), 3);
            const int count = http.get(u"/time-entries"_s, token).json[u"pagination"][u"total"].toInt();
            QVERIFY(count >= 16 && (run == 0 || count == entries));
            entries = count;
            const auto tasks = http.get(u"/tasks"_s, token).json[u"tasks"].toArray();
            QVERIFY(std::any_of(tasks.begin(), tasks.end(), [](const QJsonValue& t) { return t[u"isCompleted"].toBool(); }));
        }
    }
    void requestLogOnlyWhenAsked() {
        for (const bool logged : {true, false}) {
            QTemporaryDir dir;
            ServerProcess server;
            QVERIFY(server.start(dir.filePath(u"kelvo.db"_s), logged ? QStringList{u"--log-requests"_s} : QStringList{}));
            HttpProbe http(server.baseURL());
            // A WebSocket attempt once wrote a line of Qt's own for every try.
            QTcpSocket upgrade;
            upgrade.connectToHost(QUrl(server.baseURL()).host(), quint16(QUrl(server.baseURL()).port()));
            QVERIFY(upgrade.waitForConnected(10000));
            upgrade.write("GET / HTTP/1.1\r\nHost: x\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
                          "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
            QVERIFY(upgrade.waitForBytesWritten(10000));
            const QString token = http.registerUser(u"log@x.io"_s);
            QCOMPARE(http.get(u"/users/dashboard-earnings?timezone=Europe%2FBerlin"_s, token).status, 200);
            QCOMPARE(http.get(u"/nowhere"_s, token).status, 404);
            QCOMPARE(http.get(u"/a%20200%200ms%0A"_s, token).status, 404); // no fields or lines of its own
            QCOMPARE(server.terminate(), 0);
            const QStringList lines = QString::fromUtf8(server.errorOutput()).split(u'\n', Qt::SkipEmptyParts);
            if (!logged) {
                QVERIFY2(lines.isEmpty(), qPrintable(lines.join(u'\n')));
                continue;
            }
            const QRegularExpression shape(u"^(GET|POST) /\\S* \\d{3} \\d+ms$"_s);
            for (const QString& line : lines) {
                QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
            }
            QVERIFY(std::any_of(lines.begin(), lines.end(), [](const QString& line) {
                return line.startsWith(u"GET /users/dashboard-earnings?timezone= 200 "_s); // the value left out
            }));
            for (const QString& start : {u"GET /nowhere 404 "_s, u"GET /a%20200%200ms%0A 404 "_s}) { // however long it took
                QVERIFY2(std::any_of(lines.begin(), lines.end(), [&](const QString& line) { return line.startsWith(start); }),
                         qPrintable(start));
            }
        }
    }
    void operatorLinesArePlainText() {
        QTemporaryDir dir;
        const QString db = dir.filePath(u"kelvo.db"_s);
        {
            ServerProcess server;
            QVERIFY(server.start(db));
            HttpProbe http(server.baseURL());
            QVERIFY(!http.registerUser(u"older@x.io"_s).isEmpty());
            QVERIFY(!http.registerUser(u"newer@x.io"_s).isEmpty());
            QCOMPARE(server.terminate(), 0);
        }
        {
            // A database from before addresses were composed, holding two spellings of one address
            // with control characters in it (stored before they were refused, or by hand).
            auto sql = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"before"_s);
            sql.setDatabaseName(db);
            QVERIFY(sql.open());
            QSqlQuery query(sql);
            for (const auto& [key, email] : {std::pair(u"older@x.io"_s, u"r\u00e9my\x1b]0;x\x07\n\u202e@x.io"_s),
                                             std::pair(u"newer@x.io"_s, u"re\u0301my\x1b]0;x\x07\n\u202e@x.io"_s)}) {
                QVERIFY(query.prepare(u"UPDATE users SET email = ?, email_key = ? WHERE email_key = ?"_s));
                query.addBindValue(email);
                query.addBindValue(email.toLower());
                query.addBindValue(key);
                QVERIFY(query.exec());
            }
            QVERIFY(query.exec(u"PRAGMA user_version = 1"_s));
        }
        QSqlDatabase::removeDatabase(u"before"_s);
        ServerProcess server;
        QVERIFY(server.start(db));
        QCOMPARE(server.terminate(), 0);
        // One line naming the account set aside, with nothing in it that a terminal acts on.
        const QByteArray output = server.errorOutput();
        QCOMPARE(output.count('\n'), 1);
        QVERIFY2(output.contains("cannot sign in"), output.constData());
        QVERIFY2(std::none_of(output.begin(), output.end() - 1, [](char c) { return uchar(c) < 0x20 || c == 0x7f; }),
                 output.constData());
        QVERIFY2(!output.contains(QString(QChar(0x202e)).toUtf8()), output.constData());
    }
    void runningOutOfDescriptors() {
        QTemporaryDir dir;
        {
            // A soft limit below the hard one is raised at start.
            ServerProcess server;
            server.limitDescriptors(64, 4096);
            QVERIFY(server.start(dir.filePath(u"raised.db"_s)));
            QFile limits(u"/proc/%1/limits"_s.arg(server.process().processId()));
            QVERIFY(limits.open(QIODevice::ReadOnly));
            const QString line = QString::fromLatin1(limits.readAll()).split(u'\n').filter(u"Max open files"_s).value(0).simplified();
            QVERIFY2(line.contains(u" 4096 4096 "_s), qPrintable(line));
        }
    #ifdef __SANITIZE_ADDRESS__
        // The sanitizers' own checks open descriptors (a pipe per memory probe): with none left they
        // report faults that are not there.
        QSKIP("running out of descriptors is not checked in the sanitizer build");
    #endif
        ServerProcess server;
        server.limitDescriptors(40, 40);
        QVERIFY(server.start(dir.filePath(u"kelvo.db"_s), {u"--request-timeout"_s, u"600"_s}));
        // More clients than descriptors: each is answered once an answered one leaves.
        const quint16 port = quint16(QUrl(server.baseURL()).port());
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        QList<QByteArray> answers(60);
        for (int i = 0; i < 60; ++i) {
            clients.push_back(std::make_unique<QTcpSocket>());
            clients.back()->connectToHost(QHostAddress::LocalHost, port);
            clients.back()->write("GET /auth/me HTTP/1.1\r\nHost: x\r\n\r\n");
        }
        QByteArray errors;
        QVERIFY(QTest::qWaitFor(
            [&] {
                errors += server.errorOutput();
                int answered = 0;
                for (qsizetype i = 0; i < answers.size(); ++i) {
                    answers[i] += clients[i]->readAll();
                    if (answers[i].contains(" 401 ")) {
                        ++answered;
                        clients[i]->abort();
                    }
                }
                return answered == 60;
            },
            60000));
        QVERIFY(errors.contains("out of file descriptors"));
        // Paused until a connection closed, not retried on and on: a line per pause at most.
        QVERIFY2(errors.count("out of file descriptors") <= 60, errors.left(500).constData());
        QCOMPARE(server.terminate(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_ServerProcess)
#include "tst_serverprocess.moc"

// The HTTP layer against clients that never finish, never read or never leave.
#include "HttpProbe.h"

#include "HttpServer.h"

#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

using namespace kelvo::server;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

// A body from a loopback address of its own: its declared length, and the bytes of it sent (or,
// for a whole one sent to see how it is answered, the status expected).
struct Body {
    QByteArray from;
    int length = 0;
    int sentOrStatus = 0;
};

// A socket from `from` that has sent a head declaring `length` bytes and `sent` of them.
std::unique_ptr<QTcpSocket> post(quint16 port, const QByteArray& from, qsizetype length, qsizetype sent) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(QString::fromLatin1(from)));
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->write("POST /x HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(length) + "\r\n\r\n" +
                  QByteArray(sent, 'b'));
    return socket;
}

// A blocking socket connected to the server, with one of its buffers (`buffer`: SO_SNDBUF or
// SO_RCVBUF) as small as a real network's; -1 when it cannot connect.
int plainSocket(quint16 port, int buffer, int bytes) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::setsockopt(fd, SOL_SOCKET, buffer, &bytes, sizeof bytes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The status code of the answer, or 0 when none came.
int status(QTcpSocket& socket) {
    QByteArray got;
    (void)QTest::qWaitFor([&] { return (got += socket.readAll()).contains("\r\n"); }, 10000);
    return got.split(' ').value(1).toInt();
}

} // namespace

Q_DECLARE_METATYPE(Body)

namespace {

// held: left part-sent
// probes: sent whole meanwhile, each with the status expected
struct BodiesAreBudgetedByWhatArrivesRow { bool perAddress; QList<Body> held, probes; };

} // namespace

class tst_HttpServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The head checks on their own: libmicrohttpd refuses some malformed lengths itself, first.
    void headsRefusedBeforeTheBody_data() {
        QTest::addColumn<QList<QByteArray>>("lengths");
        QTest::addColumn<int>("status"); // 0: let through
        QTest::newRow("none") << QList<QByteArray>{} << 0;
        QTest::newRow("at the limit, spaced") << QList<QByteArray>{" 1000 "} << 0;
        QTest::newRow("not digits") << QList<QByteArray>{"5x"} << 400;
        QTest::newRow("past 64 bits") << QList<QByteArray>{"18446744073709551616000"} << 413;
    }
    void headsRefusedBeforeTheBody() {
        QFETCH(QList<QByteArray>, lengths);
        QFETCH(int, status);
        HttpRequest request;
        for (const QByteArray& length : lengths) {
            request.headers.append({"Content-Length", length});
        }
        const auto problem = HttpServer::headProblem(request, {.maxBodyBytes = 1000});
        QCOMPARE(problem ? int(problem->status) : 0, status);
    }
    void slowAndIdleConnectionsClose_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("drip");
        const QByteArray post = "POST /x HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n";
        QTest::newRow("never sends") << QByteArray() << QByteArray();
        QTest::newRow("half a head") << QByteArray("GET /x HTTP/1.1\r\nHo") << QByteArray();
        QTest::newRow("half a body") << post + "0123456789" << QByteArray();
        QTest::newRow("idle after an answer") << QByteArray("GET /x HTTP/1.1\r\nHost: x\r\n\r\n") << QByteArray();
        // Never idle, never done: a byte now and then must not keep it open.
        QTest::newRow("head a byte at a time") << QByteArray("GET /x HTTP/1.1\r\n") << QByteArray("X");
        QTest::newRow("body a byte at a time") << post << QByteArray("0");
        QTest::newRow("a second request a byte at a time")
            << QByteArray("GET /x HTTP/1.1\r\nHost: x\r\n\r\nGET /x HTTP/1.1\r\n") << QByteArray("X");
    }
    void slowAndIdleConnectionsClose() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, drip);
        const quint16 port = start({.requestTimeoutSeconds = 2});
        QTcpSocket slow;
        slow.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(slow.waitForConnected(10000));
        slow.write(first);
        QTimer dripping;
        connect(&dripping, &QTimer::timeout, &slow, [&] { slow.write(drip); });
        if (!drip.isEmpty()) {
            dripping.start(200);
        }
        HttpProbe honest(u"http://127.0.0.1:%1"_s.arg(port));
        QCOMPARE(honest.get(u"/honest"_s, {}).status, 200); // others are served meanwhile
        QTRY_COMPARE_WITH_TIMEOUT(slow.state(), QAbstractSocket::UnconnectedState, 20000);
    }
    void connectionsAreCapped() {
        const quint16 port = start({.maxConnections = 3});
        const auto connectAndAsk = [&] {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QHostAddress::LocalHost, port);
            socket->write("GET /x HTTP/1.1\r\nHost: x\r\n\r\n");
            return socket;
        };
        const auto answered = [](QTcpSocket& socket) {
            QByteArray got;
            return QTest::qWaitFor([&] { return (got += socket.readAll()).contains(" 200 "); }, 10000);
        };
        std::vector<std::unique_ptr<QTcpSocket>> open;
        for (int i = 0; i < 3; ++i) {
            open.push_back(connectAndAsk());
            QVERIFY(answered(*open.back()));
        }
        // One more is closed unanswered, while those within the cap stay served.
        auto refused = connectAndAsk();
        QTRY_COMPARE_WITH_TIMEOUT(refused->state(), QAbstractSocket::UnconnectedState, 10000);
        QVERIFY(!refused->readAll().contains(" 200 "));
        open.front()->write("GET /x HTTP/1.1\r\nHost: x\r\n\r\n");
        QVERIFY(answered(*open.front()));
        // A place freed is a place taken, once the server has seen it freed.
        open.pop_back();
        std::unique_ptr<QTcpSocket> next;
        QByteArray answer;
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (!next || next->state() == QAbstractSocket::UnconnectedState) {
                    next = connectAndAsk();
                }
                return (answer += next->readAll()).contains(" 200 ");
            },
            10000));
    }
    void bodiesAreBudgetedByWhatArrives_data() {
        QTest::addColumn<BodiesAreBudgetedByWhatArrivesRow>("row");
        // With a budget of 800 bytes, an address holds at most 100.
        QList<Body> declared(66, {"127.0.0.2", 90, 1});
        QList<Body> eight;
        for (int i = 2; i < 10; ++i) {
            eight.append({"127.0.0.", 95, 90});
            eight.back().from += QByteArray::number(i);
        }
        // clang-format off
        QTest::newRow("declared, not sent") << BodiesAreBudgetedByWhatArrivesRow{true, declared, QList<Body>{{"127.0.0.2", 40, 503}, {"127.0.0.3", 90, 200}}};
        QTest::newRow("an address holds an eighth") << BodiesAreBudgetedByWhatArrivesRow{true, QList<Body>{{"127.0.0.2", 95, 90}}, QList<Body>{{"127.0.0.2", 50, 503}, {"127.0.0.3", 50, 200}}};
        QTest::newRow("all hold the whole") << BodiesAreBudgetedByWhatArrivesRow{true, eight, QList<Body>{{"127.0.0.10", 90, 503}, {"127.0.0.10", 50, 200}}};
        QTest::newRow("one address may hold it all") << BodiesAreBudgetedByWhatArrivesRow{false, QList<Body>{{"127.0.0.2", 95, 90}}, QList<Body>{{"127.0.0.2", 720, 503}, {"127.0.0.2", 700, 200}}};
        // clang-format on
    }
    void bodiesAreBudgetedByWhatArrives() {
        QFETCH(BodiesAreBudgetedByWhatArrivesRow, row);
        auto [perAddress, held, probes] = row;
        // The held bodies are not closed for their pace while the test runs.
        const quint16 port = start({.maxBufferedBodyBytes = 800, .budgetPerAddress = perAddress, .bodyWindowSeconds = 600});
        std::vector<std::unique_ptr<QTcpSocket>> holding;
        for (const Body& body : held) {
            holding.push_back(post(port, body.from, body.length, body.sentOrStatus));
        }
        // Asked again until the server has read what the held ones sent: each row's refusal needs
        // all of it, and its acceptance fails if more than that is counted.
        QList<int> expected;
        for (const Body& probe : probes) {
            expected.append(probe.sentOrStatus);
        }
        QList<int> answers;
        (void)QTest::qWaitFor(
            [&] {
                answers.clear();
                for (const Body& probe : probes) {
                    answers.append(status(*post(port, probe.from, probe.length, probe.length)));
                }
                return answers == expected;
            },
            20000);
        QCOMPARE(answers, expected);
    }
    void slowBodiesClose() {
        const quint16 port = start({.requestTimeoutSeconds = 600, .bodyWindowSeconds = 3});
        const qsizetype length = 400 * 1024;
        auto slow = post(port, "127.0.0.1", length, 0);
        auto steady = post(port, "127.0.0.1", length, 0);
        // A byte at a time falls short of 10 KiB in a window; 8 KiB at a time keeps the pace.
        qsizetype sent = 0;
        QTimer dripping;
        connect(&dripping, &QTimer::timeout, this, [&] {
            slow->write("b");
            const qsizetype chunk = std::min<qsizetype>(8 * 1024, length - sent);
            steady->write(QByteArray(chunk, 'b'));
            sent += chunk;
        });
        dripping.start(100);
        QTRY_COMPARE_WITH_TIMEOUT(slow->state(), QAbstractSocket::UnconnectedState, 20000);
        QCOMPARE(status(*steady), 200);
    }
    void refusedBodyWrittenBeforeReading() {
        const quint16 port = start({.maxBodyBytes = 1000});
        // A client that writes its whole body before it reads the answer, as Python's http.client;
        // a plain blocking socket, whose every call gives up after 20 s (a fault fails, not hangs).
        // Its send buffer is kept as small as a real network's, so the body cannot wait there.
        const int fd = plainSocket(port, SO_SNDBUF, 64 * 1024);
        QVERIFY(fd >= 0);
        const timeval patience{20, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        const QByteArray body(2 * 1024 * 1024, 'b');
        const QByteArray request =
            "POST /x HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        qsizetype sent = 0;
        while (sent < request.size()) {
            const ssize_t written = ::send(fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
            if (written <= 0) {
                break;
            }
            sent += written;
        }
        char answer[32] = {};
        (void)::recv(fd, answer, sizeof answer - 1, 0);
        ::close(fd);
        QCOMPARE(sent, request.size());
        QVERIFY2(QByteArrayView(answer).startsWith("HTTP/1.1 413 "), answer);
    }
    void unreadAnswersStopTheReading() {
        const quint16 port = start({}, 64 * 1024);
        // A client that pipelines requests for large answers and never reads one.
        const int fd = plainSocket(port, SO_RCVBUF, 4096);
        QVERIFY(fd >= 0);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        const int requests = 2000;
        QByteArray pipelined;
        for (int i = 0; i < requests; ++i) {
            pipelined += "GET /x HTTP/1.1\r\nHost: x\r\n\r\n";
        }
        qsizetype sent = 0;
        HttpProbe honest(u"http://127.0.0.1:%1"_s.arg(port));
        int before = -1;
        // Until the server has served nothing of the attacker's during a whole honest request.
        QVERIFY(QTest::qWaitFor(
            [&] {
                const auto written = ::send(fd, pipelined.constData() + sent, size_t(pipelined.size() - sent), MSG_NOSIGNAL);
                sent += std::max<qsizetype>(0, written);
                const int now = m_handled;
                const bool settled = now == before && now > 0;
                before = now;
                return honest.get(u"/honest"_s, {}).status == 200 && settled;
            },
            60000));
        // At most what the system's socket buffers hold: the rest is left unread, not answered.
        QVERIFY2(m_handled < requests / 4, qPrintable(QString::number(m_handled)));
        ::close(fd);
    }
    void answerAfterTheServerIsGone() {
        // A handler still working when the server stops answers into nothing.
        HttpServer::Respond late;
        auto server = std::make_unique<HttpServer>(HttpServer::Limits{},
                                                   [&](const HttpRequest&, const HttpServer::Respond& respond) { late = respond; });
        const quint16 port = server->listen(QHostAddress::LocalHost, 0);
        QTcpSocket waiting;
        waiting.connectToHost(QHostAddress::LocalHost, port);
        waiting.write("GET /x HTTP/1.1\r\nHost: x\r\n\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(bool(late), 10000);
        server.reset();
        late({HttpStatus::Ok, "{}", {}});
        QTRY_COMPARE_WITH_TIMEOUT(waiting.state(), QAbstractSocket::UnconnectedState, 10000);
    }

private:
    // A server whose handler answers every path with `bodyBytes` bytes, counting requests.
    quint16 start(HttpServer::Limits limits, qsizetype bodyBytes = 2) {
        m_handled = 0;
        m_server =
            std::make_unique<HttpServer>(limits, [this, bodyBytes](const HttpRequest& request, const HttpServer::Respond& respond) {
                m_handled += request.path() != "/honest";
                respond({HttpStatus::Ok, QByteArray(bodyBytes, ' '), {}});
            });
        return m_server->listen(QHostAddress::LocalHost, 0);
    }

    std::unique_ptr<HttpServer> m_server;
    int m_handled = 0;
};

QTEST_GUILESS_MAIN(tst_HttpServer)
#include "tst_httpserver.moc"

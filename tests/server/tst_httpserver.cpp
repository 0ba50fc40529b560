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

class tst_HttpServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void headsRefusedBeforeTheBody_data();
    void headsRefusedBeforeTheBody();
    void slowAndIdleConnectionsClose_data();
    void slowAndIdleConnectionsClose();
    void connectionsAreCapped();
    void bodiesShareABudget();
    void unreadAnswersStopTheReading();
    void answerAfterTheServerIsGone();

private:
    // A server whose handler answers every path with `bodyBytes` bytes, counting requests.
    quint16 start(HttpServer::Limits limits, qsizetype bodyBytes = 2);

    std::unique_ptr<HttpServer> m_server;
    int m_handled = 0;
};

// The head checks on their own: libmicrohttpd refuses some malformed lengths itself, first.
void tst_HttpServer::headsRefusedBeforeTheBody_data() {
    QTest::addColumn<QList<QByteArray>>("lengths");
    QTest::addColumn<int>("status"); // 0: let through
    QTest::newRow("none") << QList<QByteArray>{} << 0;
    QTest::newRow("at the limit, spaced") << QList<QByteArray>{" 1000 "} << 0;
    QTest::newRow("the same twice") << QList<QByteArray>{"5", "5"} << 0;
    QTest::newRow("empty") << QList<QByteArray>{""} << 400;
    QTest::newRow("not digits") << QList<QByteArray>{"5x"} << 400;
    QTest::newRow("two values") << QList<QByteArray>{"5", "6"} << 400;
    QTest::newRow("over the limit") << QList<QByteArray>{"1001"} << 413;
    QTest::newRow("past 64 bits") << QList<QByteArray>{"18446744073709551616000"} << 413;
}

void tst_HttpServer::headsRefusedBeforeTheBody() {
    QFETCH(QList<QByteArray>, lengths);
    QFETCH(int, status);
    HttpRequest request;
    for (const QByteArray& length : lengths) {
        request.headers.append({"Content-Length", length});
    }
    const auto problem = HttpServer::headProblem(request, {.maxBodyBytes = 1000});
    QCOMPARE(problem ? int(problem->status) : 0, status);
}

quint16 tst_HttpServer::start(HttpServer::Limits limits, qsizetype bodyBytes) {
    m_handled = 0;
    m_server =
        std::make_unique<HttpServer>(limits, [this, bodyBytes](const HttpRequest& request, const HttpServer::Respond& respond) {
            m_handled += request.path() != "/honest";
            respond({HttpStatus::Ok, QByteArray(bodyBytes, ' '), {}});
        });
    return m_server->listen(QHostAddress::LocalHost, 0);
}

void tst_HttpServer::slowAndIdleConnectionsClose_data() {
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

void tst_HttpServer::slowAndIdleConnectionsClose() {
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

void tst_HttpServer::connectionsAreCapped() {
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

void tst_HttpServer::bodiesShareABudget() {
    const quint16 port = start({.maxBufferedBodyBytes = 100});
    const auto post = [port](qsizetype length, qsizetype sent) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, port);
        socket->write("POST /x HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(length) + "\r\n\r\n" +
                      QByteArray(sent, 'b'));
        return socket;
    };
    const auto status = [](QTcpSocket& socket) {
        QByteArray got;
        (void)QTest::qWaitFor([&] { return (got += socket.readAll()).contains("\r\n"); }, 10000); // an empty status fails
        return got.left(got.indexOf("\r\n"));
    };
    // 80 bytes on their way hold their share; 50 more do not fit until they are in.
    auto slow = post(80, 10);
    // Asked again until the server has read the slow one's head.
    QVERIFY(QTest::qWaitFor([&] { return status(*post(50, 50)) == "HTTP/1.1 503 Service Unavailable"; }, 20000));
    slow->write(QByteArray(70, 'b'));
    QCOMPARE(status(*slow), "HTTP/1.1 200 OK");
    QCOMPARE(status(*post(50, 50)), "HTTP/1.1 200 OK");
}

void tst_HttpServer::unreadAnswersStopTheReading() {
    const quint16 port = start({}, 64 * 1024);
    // A client that pipelines requests for large answers and never reads one.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
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

void tst_HttpServer::answerAfterTheServerIsGone() {
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

QTEST_GUILESS_MAIN(tst_HttpServer)
#include "tst_httpserver.moc"

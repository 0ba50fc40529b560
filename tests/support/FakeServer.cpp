#include "FakeServer.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace kelvo::test {

namespace {

QString routeKey(const QByteArray& method, const QString& path) {
    return QString::fromLatin1(method) + u' ' + path.section(u'?', 0, 0);
}

// Splits one complete request off the front of `buffer`; false while more bytes are needed.
bool takeRequest(QByteArray& buffer, RecordedRequest& request) {
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        return false;
    }
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request = {};
    request.method = requestLine.value(0);
    request.path = QString::fromUtf8(requestLine.value(1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) {
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() < headerEnd + 4 + length) {
        return false;
    }
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.remove(0, headerEnd + 4 + length);
    return true;
}

} // namespace

FakeServer::FakeServer(quint16 port) : m_server(new QTcpServer(this)) {
    m_server->listen(QHostAddress::LocalHost, port);
    connect(m_server, &QTcpServer::newConnection, this, &FakeServer::onNewConnection);
}

FakeServer::~FakeServer() = default;

QString FakeServer::baseURL() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
}

void FakeServer::on(const QByteArray& method, const QString& path, FakeResponse response) {
    m_standing.insert(routeKey(method, path), std::move(response));
}

void FakeServer::enqueue(const QByteArray& method, const QString& path, FakeResponse response) {
    m_queued[routeKey(method, path)].append(std::move(response));
}

QStringList FakeServer::requestLines() const {
    QStringList lines;
    for (const RecordedRequest& request : m_requests) {
        lines.append(QString::fromLatin1(request.method) + u' ' + request.path);
    }
    return lines;
}

RecordedRequest FakeServer::last(const QByteArray& method, const QString& path) const {
    for (auto it = m_requests.crbegin(); it != m_requests.crend(); ++it) {
        if (it->method == method && it->path.section(u'?', 0, 0) == path) {
            return *it;
        }
    }
    return {};
}

bool FakeServer::waitForRequests(qsizetype count, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (m_requests.size() < count && !deadline.hasExpired()) {
        QTest::qWait(1);
    }
    return m_requests.size() >= count;
}

void FakeServer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_connections.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { process(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeServer::process(QTcpSocket* socket) {
    auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->busy) {
        return;
    }
    it->buffer += socket->readAll();
    RecordedRequest request;
    if (takeRequest(it->buffer, request)) {
        it->busy = true;
        request.answeredBefore = m_answered;
        m_requests.append(request);
        Q_EMIT requestReceived();
        answer(socket, request);
    }
}

FakeResponse FakeServer::responseFor(const RecordedRequest& request) {
    const QString key = routeKey(request.method, request.path);
    auto queued = m_queued.find(key);
    if (queued != m_queued.end() && !queued->isEmpty()) {
        return queued->takeFirst();
    }
    return m_standing.value(key, FakeResponse::json(404, R"({"error":"Not scripted"})"));
}

void FakeServer::answer(QTcpSocket* socket, const RecordedRequest& request) {
    const FakeResponse response = responseFor(request);
    if (response.held) {
        m_held.append({QPointer<QTcpSocket>(socket), response});
        return;
    }
    write(socket, response);
}

void FakeServer::release() {
    const auto held = std::exchange(m_held, {});
    for (const auto& [socket, response] : held) {
        if (socket) {
            write(socket, response);
        }
    }
}

void FakeServer::write(QTcpSocket* socket, const FakeResponse& response) {
    ++m_answered;
    if (response.drop) {
        socket->abort();
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Scripted\r\n";
    head += "Content-Type: application/json\r\n" + response.extraHeaders;
    if (response.how == FakeResponse::Body::endless) {
        socket->write(head + "Transfer-Encoding: chunked\r\n\r\n");
        writeEndless(socket);
        return;
    }
    const bool cutShort = response.how == FakeResponse::Body::cutShort;
    head += "Content-Length: " + QByteArray::number(response.body.size() + (cutShort ? 100 : 0)) + "\r\n\r\n";
    if (response.how == FakeResponse::Body::drip) {
        socket->write(head);
        writeDrip(socket, response.body);
        return;
    }
    socket->write(head + response.body);
    if (cutShort) {
        socket->disconnectFromHost();
        return;
    }
    auto it = m_connections.find(socket);
    if (it != m_connections.end()) {
        it->busy = false;
        // A further request may already be waiting in the buffer.
        QTimer::singleShot(0, socket, [this, socket] { process(socket); });
    }
}

} // namespace kelvo::test

namespace kelvo::test {

void FakeServer::writeEndless(QTcpSocket* socket) {
    static const QByteArray chunk = "4000\r\n" + QByteArray(0x4000, 'x') + "\r\n";
    auto feed = [socket] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * chunk.size()) {
            socket->write(chunk);
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, feed);
    feed();
}

void FakeServer::writeDrip(QTcpSocket* socket, const QByteArray& body) {
    auto* timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent = qsizetype(0)]() mutable {
        if (sent == body.size()) {
            timer->stop();
            return;
        }
        socket->write(body.mid(sent++, 1));
    });
    timer->start(20);
}

} // namespace kelvo::test

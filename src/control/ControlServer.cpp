#include "ControlServer.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
// What a connection has read so far, kept on the socket itself.
const char* const receivedProperty = "kelvoReceived";
} // namespace

ControlServer::ControlServer(const QString& socketPath, Handler handler, Status status,
                             QObject* parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
    , m_handler(std::move(handler))
    , m_status(std::move(status)) {
    if (socketPath.isEmpty()) {
        return;
    }
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath)) {
        // A socket left behind by a program that crashed; nobody answered on it.
        QLocalServer::removeServer(socketPath);
        m_server->listen(socketPath);
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            accept(socket);
        }
    });
}

ControlServer::~ControlServer() = default;

bool ControlServer::isListening() const {
    return m_server->isListening();
}

QString ControlServer::defaultSocketPath() {
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isAbsolute() || !info.isDir()) {
        return {};
    }
    return QDir(folder).filePath(u"kelvo.socket"_s);
}

void ControlServer::accept(QLocalSocket* socket) {
    socket->setParent(this);
    // Qt holds no more than a request's worth; what is beyond it is refused, not buffered.
    socket->setReadBufferSize(ControlRequest::maxLineBytes);
    auto* deadline = new QTimer(socket);
    deadline->setObjectName(u"requestDeadline"_s);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket,
            [this, socket] { refuse(socket, u"timed out waiting for a request"_s); });
    deadline->start(m_limits.readTimeout);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    readRequest(socket);
}

void ControlServer::readRequest(QLocalSocket* socket) {
    auto* deadline = socket->findChild<QTimer*>(u"requestDeadline"_s);
    if (!deadline || !deadline->isActive()) {
        socket->readAll(); // a request was taken already; the rest is ignored
        return;
    }
    QByteArray received = socket->property(receivedProperty).toByteArray() + socket->readAll();
    const qsizetype end = received.indexOf('\n');
    if (end < 0) {
        if (received.size() >= ControlRequest::maxLineBytes) {
            refuse(socket, u"message too large"_s);
        } else {
            socket->setProperty(receivedProperty, received);
        }
        return;
    }
    deadline->stop();
    socket->setProperty(receivedProperty, QVariant());
    auto request = ControlRequest::fromLine(received.first(end));
    if (!request) {
        refuse(socket, request.error());
        return;
    }
    m_queue.enqueue({socket, std::move(*request)});
    serveQueue();
}

void ControlServer::refuse(QLocalSocket* socket, const QString& why) {
    if (auto* deadline = socket->findChild<QTimer*>(u"requestDeadline"_s)) {
        deadline->stop();
    }
    socket->write(ControlReply::failure(ExitCode::usage, why).toLine());
    socket->disconnectFromServer();
}

QCoro::Task<void> ControlServer::serveQueue() {
    if (m_serving) {
        co_return;
    }
    m_serving = true;
    QPointer self(this);
    while (self && !m_queue.isEmpty()) {
        Pending next = m_queue.dequeue();
        if (!next.socket) {
            continue;
        }
        const ControlReply reply = co_await m_handler(next.request);
        if (!self) {
            co_return;
        }
        if (!next.socket) {
            continue;
        }
        next.socket->write(reply.toLine());
        next.socket->flush();
        // A follower stays through sign-outs and failures: they are what it wants to see end.
        if (next.request.follow && next.request.command == ControlRequest::Command::status) {
            follow(next.socket);
        } else {
            next.socket->disconnectFromServer();
        }
    }
    if (self) {
        m_serving = false;
    }
}

void ControlServer::follow(QLocalSocket* socket) {
    m_followers.append(socket);
    connect(socket, &QObject::destroyed, this, [this] { m_followers.removeAll(nullptr); });
    // The reply carried the present; the next line is the next change.
    m_lastPublished = m_status().toLine();
}

void ControlServer::publish() {
    if (m_followers.isEmpty()) {
        return;
    }
    const QByteArray line = m_status().toLine();
    if (line == m_lastPublished) {
        return;
    }
    m_lastPublished = line;
    for (const QPointer<QLocalSocket>& follower : QList(m_followers)) {
        if (follower) {
            sendToFollower(follower, line);
        }
    }
}

void ControlServer::sendToFollower(QLocalSocket* socket, const QByteArray& line) {
    if (socket->bytesToWrite() + line.size() > m_limits.followerBacklog) {
        // A status bar that stopped reading: it gets nothing more rather than a growing backlog.
        m_followers.removeAll(socket);
        socket->abort();
        socket->deleteLater();
        Q_EMIT followerDropped();
        return;
    }
    socket->write(line);
    socket->flush();
}

} // namespace kelvo

#include "ControlServer.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
// What a connection has read so far, and the last line a follower was sent, kept on the socket.
const char* const receivedProperty = "kelvoReceived";
const char* const sentProperty = "kelvoSent";

// A folder only this user can enter: owned by the user, mode 0700, itself and not a link.
bool isPrivateFolder(const QString& folder) {
    struct stat info {};
    return QFileInfo(folder).isAbsolute() &&
           ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & 07777) == 0700;
}

// What a local socket's path may hold (sun_path, less its terminating zero).
constexpr qsizetype longestSocketPath = 107;

bool waitsOnTheServer(ControlRequest::Command command) {
    using Command = ControlRequest::Command;
    return command == Command::start || command == Command::stop || command == Command::toggle ||
           command == Command::resume;
}
} // namespace

ControlServer::ControlServer(const QString& socketPath, Handler handler, Status status,
                             QObject* parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
    , m_handler(std::move(handler))
    , m_status(std::move(status))
    , m_socketPath(socketPath) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            accept(socket);
        }
    });
    listen();
}

void ControlServer::listen() {
    if (m_socketPath.isEmpty() || m_server->listen(m_socketPath)) {
        return;
    }
    // A socket left behind by a program that crashed, or one that is alive: only a socket that
    // nobody answers on is taken over.
    QLocalSocket probe;
    probe.connectToServer(m_socketPath);
    if (probe.waitForConnected(500)) {
        return;
    }
    QLocalServer::removeServer(m_socketPath);
    m_server->listen(m_socketPath);
}

ControlServer::~ControlServer() = default;

bool ControlServer::isListening() const {
    return m_server->isListening();
}

ControlServer::Place ControlServer::socketPlace() {
    const auto inside = [](const QString& folder) {
        const QString path = QDir(folder).filePath(u"kelvo.socket"_s);
        return isPrivateFolder(folder) && QFile::encodeName(path).size() <= longestSocketPath
                   ? path
                   : QString();
    };
    if (const QString path = inside(qEnvironmentVariable("XDG_RUNTIME_DIR")); !path.isEmpty()) {
        return {path, {}};
    }
    // The session's runtime folder is missing or others can reach it: a folder of our own.
    const QString own = u"/tmp/kelvo-%1"_s.arg(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (const QString path = inside(own); !path.isEmpty()) {
        return {path, u"No private runtime folder (XDG_RUNTIME_DIR): 'kelvo' commands reach this "
                      "Kelvo through "_s +
                          path};
    }
    return {{}, u"No private runtime folder (XDG_RUNTIME_DIR, or "_s + own +
                    u"): 'kelvo' commands cannot reach this Kelvo."_s};
}

bool ControlServer::isOwnUser(qintptr socketDescriptor) {
    struct ucred peer {};
    socklen_t size = sizeof(peer);
    return ::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::getuid();
}

void ControlServer::accept(QLocalSocket* socket) {
    socket->setParent(this);
    // Another user's program has no business here: closed unanswered.
    if (!isOwnUser(socket->socketDescriptor())) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    if (m_connections >= m_limits.maxConnections) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    ++m_connections;
    connect(socket, &QObject::destroyed, this, [this, socket] {
        if (!m_following.remove(socket)) {
            --m_connections;
        }
        // Qt stops listening when the system refuses a connection (out of descriptors).
        if (!m_server->isListening()) {
            listen();
        }
    });
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
    if (waitsOnTheServer(request->command)) {
        m_queue.enqueue({socket, std::move(*request)});
        serveQueue();
    } else {
        serveNow({socket, std::move(*request)});
    }
}

QCoro::Task<void> ControlServer::serveNow(Pending pending) {
    QPointer self(this);
    const ControlReply reply = co_await m_handler(pending.request);
    if (self && pending.socket) {
        answer(pending.socket, pending.request, reply);
    }
}

void ControlServer::answer(QLocalSocket* socket, const ControlRequest& request,
                           const ControlReply& reply) {
    const bool follows = request.follow && request.command == ControlRequest::Command::status;
    if (follows && m_following.size() >= m_limits.maxFollowers) {
        socket->write(ControlReply::failure(ExitCode::failed, u"Too many followers."_s).toLine());
        socket->disconnectFromServer();
        return;
    }
    socket->write(reply.toLine());
    socket->flush();
    // A follower stays through sign-outs and failures: they are what it wants to see end.
    if (follows) {
        follow(socket);
    } else {
        socket->disconnectFromServer();
    }
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
        if (next.socket) {
            answer(next.socket, next.request, reply);
        }
    }
    if (self) {
        m_serving = false;
    }
}

void ControlServer::follow(QLocalSocket* socket) {
    // From now on it counts among the followers, not the connections.
    m_following.insert(socket);
    --m_connections;
    m_followers.append(socket);
    connect(socket, &QObject::destroyed, this, [this] { m_followers.removeAll(nullptr); });
    // The reply carried the present; the next line is the next change.
    socket->setProperty(sentProperty, m_status().toLine());
}

void ControlServer::publish() {
    if (m_followers.isEmpty()) {
        return;
    }
    const QByteArray line = m_status().toLine();
    for (const QPointer<QLocalSocket>& follower : QList(m_followers)) {
        if (follower && follower->property(sentProperty).toByteArray() != line) {
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
    socket->setProperty(sentProperty, line);
    socket->write(line);
    socket->flush();
}

} // namespace kelvo

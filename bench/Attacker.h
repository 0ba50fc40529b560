#pragma once

#include <QObject>
#include <QTcpSocket>

#include <memory>
#include <vector>

// Hostile traffic against a kelvo-server, run from a process of its own: connections that say
// nothing, bodies declared and never sent, password guessing, a body far over the limit,
// pipelined requests never read. It comes from loopback addresses other than 127.0.0.1, where
// the honest clients are.
class Attacker : public QObject {
    Q_OBJECT
public:
    Attacker(QString host, quint16 port);

    // `count` connections that send nothing; each is opened again when the server closes it.
    void holdIdle(int count);
    // `count` connections that each declare a 1 MiB body and send one byte of it; each is opened
    // again when the server closes it.
    void holdHalfSent(int count);
    // `clients` loops of sign-ins with a wrong password, each ten from an address and at an
    // account of their own, so the default throttle never answers before the password is checked.
    void guess(int clients);
    // One request declaring `bytes` of body, the body sent for as long as the server reads it.
    void upload(qint64 bytes);
    // Requests written back to back on one connection whose answers are never read.
    void pipeline();

private:
    // A connection that sends `opening`, opened again (and sending it again) whenever it closes.
    void hold(const QByteArray& opening);
    QTcpSocket* connectSocket();
    void guessOnce();

    QString m_host;
    quint16 m_port;
    int m_guesses = 0;
    std::vector<std::unique_ptr<QTcpSocket>> m_sockets;
};

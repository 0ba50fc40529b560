#pragma once

#include "ControlReply.h"
#include "ControlRequest.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QSet>

#include <chrono>
#include <functional>

class QLocalServer;
class QLocalSocket;

namespace kelvo {

// The running program's door for `kelvo <command>`, on a user-only socket in the runtime folder:
// a later launch that finds it hands its command over instead of starting a second program.
// Each connection sends one request line and gets one reply line; a follower then gets a line
// whenever the published status changes. Starts and stops are served one at a time in the order
// they arrived whole; a status, show, panel or quit is answered at once, never behind a start
// waiting on a slow server. A connection that sends too much, too little or nonsense gets an
// error reply and is closed; a follower that stops reading is dropped before its backlog grows;
// beyond a number of open connections new ones are closed at once.
class ControlServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<QCoro::Task<ControlReply>(ControlRequest)>;
    using Status = std::function<ControlReply()>;

    struct Limits {
        // How long a connection may take to send its whole request.
        std::chrono::milliseconds readTimeout{5'000};
        // What a follower may leave unread before it is dropped.
        qint64 followerBacklog = 64 * 1024;
        // Connections open at once, followers apart: status bars never crowd out a command.
        qsizetype maxConnections = 64;
        qsizetype maxFollowers = 32;
    };

    // Where the door is, and what to tell the user about the place once.
    struct Place {
        QString path; // empty: nowhere private
        QString note;
    };

    // Listens at `socketPath` (see defaultSocketPath()); `status` is what followers are sent.
    ControlServer(const QString& socketPath, Handler handler, Status status,
                  QObject* parent = nullptr);
    ~ControlServer() override;

    bool isListening() const;
    void setLimits(Limits limits) { m_limits = limits; }
    qsizetype followerCount() const { return m_followers.size(); }

    // "kelvo.socket" in $XDG_RUNTIME_DIR when that folder is the user's alone (owned, 0700, not
    // a link), else in /tmp/kelvo-<uid>/ under the same rule; empty when neither is (the program
    // then runs without a door rather than in a folder other users can reach). The program and
    // the command line find the same place.
    static Place socketPlace();
    static QString defaultSocketPath() { return socketPlace().path; }
    // Whether the other end of a connected local socket runs as this user.
    static bool isOwnUser(qintptr socketDescriptor);

public Q_SLOTS:
    // Sends the current status to every follower, when it differs from the last one sent.
    void publish();

Q_SIGNALS:
    void followerDropped();

private:
    struct Pending {
        QPointer<QLocalSocket> socket;
        ControlRequest request;
    };

    void accept(QLocalSocket* socket);
    void readRequest(QLocalSocket* socket);
    void refuse(QLocalSocket* socket, const QString& why);
    QCoro::Task<void> serveQueue();
    QCoro::Task<void> serveNow(Pending pending);
    void answer(QLocalSocket* socket, const ControlRequest& request, const ControlReply& reply);
    void listen();
    void follow(QLocalSocket* socket);
    void sendToFollower(QLocalSocket* socket, const QByteArray& line);

    QLocalServer* m_server;
    Handler m_handler;
    Status m_status;
    Limits m_limits;
    QQueue<Pending> m_queue;
    bool m_serving = false;
    QList<QPointer<QLocalSocket>> m_followers;
    QString m_socketPath;
    qsizetype m_connections = 0;
    // Connections counted apart once they follow.
    QSet<QLocalSocket*> m_following;
};

} // namespace kelvo

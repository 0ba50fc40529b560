#pragma once

#include "DirectControl.h"
#include "StatusFormatter.h"

#include <QObject>

#include <functional>

class QLocalSocket;
class QTimer;

namespace kelvo {

// `kelvo status --follow`: a line per change and per displayed second while a timer runs, one a
// minute while none does. From the running program when there is one; otherwise from the server
// every 30 seconds, counting on locally in between, and over to the program once it appears.
class StatusFollower : public QObject {
    Q_OBJECT
public:
    // Receives each formatted line; false when its reader has gone away, which ends the follow.
    using Sink = std::function<bool(const QByteArray& line)>;

    StatusFollower(QString socketPath, DirectControl* direct, Clock* clock,
                   StatusFormatter::Format format, bool colour, Sink sink,
                   QObject* parent = nullptr);

    void start();
    bool isFollowingProgram() const { return m_socket != nullptr; }
    // The line for `reply` in the follower's format (a failure becomes an offline or
    // signed-out report).
    QByteArray lineFor(const ControlReply& reply) const;

Q_SIGNALS:
    void finished();

private:
    bool connectToProgram();
    void readFromProgram();
    void leaveProgram();
    QCoro::Task<void> poll(bool tryProgram = true);
    void tick();
    void show(const ControlReply& reply);
    void emitLine(const QByteArray& line, bool again = false);

    QString m_socketPath;
    DirectControl* m_direct;
    Clock* m_clock;
    StatusFormatter::Format m_format;
    bool m_colour;
    Sink m_sink;
    QLocalSocket* m_socket = nullptr;
    QByteArray m_received;
    QTimer* m_ticker;
    // A program that does not answer within moments is left for the server.
    QTimer* m_firstLine;
    QDateTime m_lastPoll;
    QByteArray m_lastLine;
    QDateTime m_lastPrinted;
    bool m_running = false;
    bool m_polling = false;
    bool m_done = false;
};

} // namespace kelvo

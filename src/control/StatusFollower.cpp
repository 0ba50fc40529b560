#include "StatusFollower.h"

#include "ControlServer.h"

#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 pollSeconds = 30;
constexpr qint64 idleRepeatSeconds = 60;
} // namespace

StatusFollower::StatusFollower(QString socketPath, DirectControl* direct, Clock* clock,
                               StatusFormatter::Format format, bool colour, Sink sink,
                               QObject* parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
    , m_direct(direct)
    , m_clock(clock)
    , m_format(format)
    , m_colour(colour)
    , m_sink(std::move(sink))
    , m_ticker(new QTimer(this))
    , m_firstLine(new QTimer(this)) {
    m_ticker->setInterval(1000);
    connect(m_ticker, &QTimer::timeout, this, &StatusFollower::tick);
    m_firstLine->setSingleShot(true);
    m_firstLine->setInterval(std::chrono::seconds(5));
    connect(m_firstLine, &QTimer::timeout, this, [this] {
        if (m_socket) {
            m_socket->abort();
            leaveProgram();
        }
    });
}

void StatusFollower::start() {
    m_ticker->start();
    if (!connectToProgram()) {
        poll();
    }
}

QByteArray StatusFollower::lineFor(const ControlReply& reply) const {
    StatusReport report;
    if (reply.exit == ExitCode::done && reply.report) {
        report = *reply.report;
    } else {
        report = StatusReport::unavailable(reply.exit == ExitCode::signedOut
                                               ? StatusReport::State::signedOut
                                               : StatusReport::State::offline,
                                           reply.message.section(u'\n', 0, 0));
    }
    return StatusFormatter::format(report, m_format, m_colour);
}

bool StatusFollower::connectToProgram() {
    if (m_socketPath.isEmpty()) {
        return false;
    }
    auto* socket = new QLocalSocket(this);
    socket->connectToServer(m_socketPath);
    if (!socket->waitForConnected(1000) || !ControlServer::isOwnUser(socket->socketDescriptor())) {
        delete socket;
        return false;
    }
    m_socket = socket;
    m_received.clear();
    ControlRequest request;
    request.follow = true;
    socket->write(request.toLine());
    connect(socket, &QLocalSocket::readyRead, this, &StatusFollower::readFromProgram);
    connect(socket, &QLocalSocket::disconnected, this, &StatusFollower::leaveProgram);
    m_firstLine->start();
    return true;
}

void StatusFollower::readFromProgram() {
    m_received += m_socket->readAll();
    if (m_received.contains('\n')) {
        m_firstLine->stop();
    }
    qsizetype end;
    while ((end = m_received.indexOf('\n')) >= 0) {
        const auto reply = ControlReply::fromLine(m_received.first(end));
        m_received.remove(0, end + 1);
        show(reply ? *reply : ControlReply::failure(ExitCode::failed, reply.error()));
    }
    if (m_received.size() >= ControlReply::maxLineBytes) {
        m_socket->abort();
    }
}

void StatusFollower::leaveProgram() {
    if (!m_socket) {
        return;
    }
    m_firstLine->stop();
    m_socket->deleteLater();
    m_socket = nullptr;
    // Straight to the server: the program is asked for again at the next poll, so one that
    // keeps closing the door cannot make this spin.
    poll(false);
}

QCoro::Task<void> StatusFollower::poll(bool tryProgram) {
    if (m_polling || m_done || m_socket) {
        co_return;
    }
    if (tryProgram && connectToProgram()) {
        co_return;
    }
    m_polling = true;
    m_lastPoll = m_clock->now();
    QPointer self(this);
    const ControlReply reply = co_await m_direct->status();
    if (!self) {
        co_return;
    }
    m_polling = false;
    if (!m_socket) {
        show(reply);
    }
}

void StatusFollower::tick() {
    if (m_done) {
        return;
    }
    const QDateTime now = m_clock->now();
    if (!m_socket && !m_polling) {
        if (!m_lastPoll.isValid() || m_lastPoll.secsTo(now) >= pollSeconds || now < m_lastPoll) {
            poll();
            return;
        }
        if (m_running) {
            emitLine(StatusFormatter::format(m_direct->counted(), m_format, m_colour));
            return;
        }
    }
    if (!m_running && m_lastPrinted.isValid() &&
        (m_lastPrinted.secsTo(now) >= idleRepeatSeconds || now < m_lastPrinted)) {
        emitLine(m_lastLine, true);
    }
}

void StatusFollower::show(const ControlReply& reply) {
    m_running = reply.exit == ExitCode::done && reply.report && reply.report->entry;
    emitLine(lineFor(reply));
}

void StatusFollower::emitLine(const QByteArray& line, bool again) {
    if (m_done || line.isEmpty() || (line == m_lastLine && !again)) {
        return;
    }
    m_lastLine = line;
    m_lastPrinted = m_clock->now();
    if (!m_sink(line)) {
        m_done = true;
        m_ticker->stop();
        Q_EMIT finished();
    }
}

} // namespace kelvo

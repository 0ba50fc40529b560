#include "SleepMonitor.h"

#include "records/Diagnostics.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
const QString service = u"org.freedesktop.login1"_s;
const QString path = u"/org/freedesktop/login1"_s;
const QString manager = u"org.freedesktop.login1.Manager"_s;
// logind waits 5 s at most for a delay inhibitor.
constexpr std::chrono::seconds longestHold{4};
} // namespace

SleepMonitor::SleepMonitor(QObject* parent)
    : QObject(parent)
    , m_releaseTimer(new QTimer(this)) {
    m_releaseTimer->setSingleShot(true);
    m_releaseTimer->setInterval(longestHold);
    connect(m_releaseTimer, &QTimer::timeout, this, &SleepMonitor::release);
}

SleepMonitor::~SleepMonitor() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void SleepMonitor::start() {
    if (std::exchange(m_started, true)) {
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    bus.connect(service, path, manager, u"PrepareForSleep"_s, this, SLOT(prepareForSleep(bool)));
    bus.connect(service, path, manager, u"PrepareForShutdown"_s, this,
                SLOT(prepareForShutdown(bool)));
}

void SleepMonitor::setReleaseWait(std::chrono::milliseconds wait) {
    m_releaseTimer->setInterval(wait);
}

void SleepMonitor::setHolding(bool holding) {
    m_holding = holding;
    if (holding && m_fd < 0) {
        take();
    } else if (!holding) {
        release();
    }
}

void SleepMonitor::take() {
    if (std::exchange(m_asking, true)) {
        return;
    }
    QDBusMessage inhibit = QDBusMessage::createMethodCall(service, path, manager, u"Inhibit"_s);
    inhibit << u"sleep:shutdown"_s << u"Kelvo"_s << u"Stopping the running timer"_s
            << u"delay"_s;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(inhibit), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                m_asking = false;
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *answered;
                if (reply.isError() || !reply.value().isValid()) {
                    return;
                }
                // Copies of the descriptor Qt hands out share it: ours is a duplicate of its
                // own, closed when we let go and by nothing else.
                const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
                if (fd < 0) {
                    return;
                }
                if (!m_holding || m_fd >= 0) {
                    ::close(fd); // no longer wanted, or already held
                    return;
                }
                m_fd = fd;
            });
}

void SleepMonitor::release() {
    m_releaseTimer->stop();
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
}

void SleepMonitor::prepareForSleep(bool start) {
    if (start) {
        m_releaseTimer->start();
        Q_EMIT leaving();
    } else {
        Q_EMIT resumed();
    }
}

void SleepMonitor::prepareForShutdown(bool start) {
    if (start) {
        m_releaseTimer->start();
        Q_EMIT leaving();
    }
}

} // namespace kelvo

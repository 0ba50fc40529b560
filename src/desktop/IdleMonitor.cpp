#include "IdleMonitor.h"

#include "LogindSession.h"
#include "records/Diagnostics.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDateTime>
#include <QGuiApplication>
#include <qguiapplication_platform.h>
#include <QTimer>

#include <xcb/screensaver.h>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

const QString mutterService = u"org.gnome.Mutter.IdleMonitor"_s;
const QString mutterPath = u"/org/gnome/Mutter/IdleMonitor/Core"_s;
const QString screenSaverService = u"org.freedesktop.ScreenSaver"_s;
const QString screenSaverPath = u"/org/freedesktop/ScreenSaver"_s;

QDBusMessage mutterCall(const QString& method) {
    return QDBusMessage::createMethodCall(mutterService, mutterPath, mutterService, method);
}

// Calls `message` on `bus` and hands the reply to `done` on `context`'s thread.
template <class Done>
void call(const QDBusConnection& bus, const QDBusMessage& message, QObject* context,
          Done done) {
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [done](QDBusPendingCallWatcher* answered) {
                         answered->deleteLater();
                         done(QDBusMessage(answered->reply()));
                     });
}

// An X11 session of Kelvo's own (not XWayland, which sees no Wayland input).
xcb_connection_t* x11Connection() {
    if (QGuiApplication::platformName() != u"xcb" ||
        qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland" ||
        qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        return nullptr;
    }
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Milliseconds since the last input by the X server's count, or nothing.
std::optional<qint64> x11IdleMs() {
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        return std::nullopt;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_screensaver_query_info_reply_t* info = xcb_screensaver_query_info_reply(
        connection, xcb_screensaver_query_info(connection, screen->root), nullptr);
    if (!info) {
        return std::nullopt;
    }
    const qint64 idle = info->ms_since_user_input;
    free(info);
    return idle;
}

} // namespace

IdleMonitor::IdleMonitor(LogindSession* session, QObject* parent)
    : QObject(parent)
    , m_session(session)
    , m_poll(new QTimer(this)) {
    m_poll->setInterval(std::chrono::seconds(10));
    connect(m_poll, &QTimer::timeout, this, &IdleMonitor::poll);
}

QString IdleMonitor::sourceName(Source source) {
    switch (source) {
    case Source::mutter:
        return u"GNOME's idle monitor"_s;
    case Source::screenSaver:
        return u"the freedesktop screen saver"_s;
    case Source::x11:
        return u"the X server's screen-saver extension"_s;
    case Source::logind:
        return u"logind's idle hint"_s;
    case Source::none:
        break;
    }
    return u"no source"_s;
}

void IdleMonitor::start() {
    if (!std::exchange(m_started, true)) {
        tryMutter();
    }
}

void IdleMonitor::tryMutter() {
    call(QDBusConnection::sessionBus(), mutterCall(u"GetIdletime"_s), this,
         [this](const QDBusMessage& reply) {
             if (reply.type() != QDBusMessage::ReplyMessage) {
                 tryScreenSaver();
                 return;
             }
             QDBusConnection::sessionBus().connect(mutterService, mutterPath, mutterService,
                                                   u"WatchFired"_s, this,
                                                   SLOT(watchFired(uint)));
             found(Source::mutter);
         });
}

void IdleMonitor::tryScreenSaver() {
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        screenSaverService, screenSaverPath, screenSaverService, u"GetSessionIdleTime"_s);
    call(QDBusConnection::sessionBus(), ask, this, [this](const QDBusMessage& reply) {
        reply.type() == QDBusMessage::ReplyMessage ? found(Source::screenSaver) : tryX11();
    });
}

void IdleMonitor::tryX11() {
    x11IdleMs() ? found(Source::x11) : tryLogind();
}

void IdleMonitor::tryLogind() {
    m_session->find([this](const QDBusObjectPath& path) {
        m_sessionPath = path.path();
        found(m_sessionPath.isEmpty() ? Source::none : Source::logind);
    });
}

void IdleMonitor::found(Source source) {
    m_source = source;
    Diagnostics::print(u"Idle time from "_s + sourceName(source));
    Q_EMIT sourceFound(source);
    if (source == Source::mutter) {
        watchMutter();
    }
    updatePolling();
}

void IdleMonitor::setThreshold(std::chrono::seconds threshold) {
    if (threshold == m_threshold) {
        return;
    }
    m_threshold = threshold;
    m_reported = false;
    if (m_source == Source::mutter) {
        watchMutter();
    }
    updatePolling();
}

void IdleMonitor::setNeeded(bool needed) {
    m_needed = needed;
    updatePolling();
}

void IdleMonitor::setPollInterval(std::chrono::milliseconds interval) {
    m_poll->setInterval(interval);
}

void IdleMonitor::updatePolling() {
    const bool polls = m_source == Source::screenSaver || m_source == Source::x11 ||
                       m_source == Source::logind;
    if (polls && m_needed && m_threshold.count() > 0) {
        if (!m_poll->isActive()) {
            m_poll->start();
        }
    } else {
        m_poll->stop();
    }
}

void IdleMonitor::watchMutter() {
    // One idle watch at the threshold; it fires each time the user has been idle that long.
    for (uint* watch : {&m_idleWatch, &m_activeWatch}) {
        if (*watch != 0) {
            QDBusMessage remove = mutterCall(u"RemoveWatch"_s);
            remove << std::exchange(*watch, 0u);
            QDBusConnection::sessionBus().asyncCall(remove);
        }
    }
    if (m_threshold.count() == 0) {
        return;
    }
    QDBusMessage add = mutterCall(u"AddIdleWatch"_s);
    add << quint64(std::chrono::milliseconds(m_threshold).count());
    call(QDBusConnection::sessionBus(), add, this, [this](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage) {
            m_idleWatch = reply.arguments().value(0).toUInt();
        }
    });
}

void IdleMonitor::addUserActiveWatch() {
    // It fires once: added again each time the user has gone idle.
    call(QDBusConnection::sessionBus(), mutterCall(u"AddUserActiveWatch"_s), this,
         [this](const QDBusMessage& reply) {
             if (reply.type() == QDBusMessage::ReplyMessage) {
                 m_activeWatch = reply.arguments().value(0).toUInt();
             }
         });
}

void IdleMonitor::watchFired(uint id) {
    if (id == 0) {
        return;
    }
    if (id == m_idleWatch && !m_reported) {
        m_reported = true;
        addUserActiveWatch();
        Q_EMIT idle(m_threshold.count());
    } else if (id == m_activeWatch) {
        m_activeWatch = 0;
        if (std::exchange(m_reported, false)) {
            Q_EMIT active();
        }
    }
}

void IdleMonitor::poll() {
    ask([this](std::optional<qint64> idleMs) {
        if (idleMs) {
            heard(*idleMs);
        }
    });
}

void IdleMonitor::heard(qint64 idleMs) {
    const qint64 threshold = std::chrono::milliseconds(m_threshold).count();
    if (threshold == 0) {
        return;
    }
    if (idleMs >= threshold && !m_reported) {
        m_reported = true;
        Q_EMIT idle(idleMs / 1000);
    } else if (idleMs < threshold && m_reported) {
        m_reported = false;
        Q_EMIT active();
    }
}

void IdleMonitor::ask(IdleTime answer) {
    const auto fromReply = [answer](const QDBusMessage& reply) {
        answer(reply.type() == QDBusMessage::ReplyMessage
                   ? std::optional(reply.arguments().value(0).toLongLong())
                   : std::nullopt);
    };
    switch (m_source) {
    case Source::mutter:
        call(QDBusConnection::sessionBus(), mutterCall(u"GetIdletime"_s), this, fromReply);
        return;
    case Source::screenSaver:
        // Milliseconds, as KDE answers (the interface's own text says seconds).
        call(QDBusConnection::sessionBus(),
             QDBusMessage::createMethodCall(screenSaverService, screenSaverPath,
                                            screenSaverService, u"GetSessionIdleTime"_s),
             this, fromReply);
        return;
    case Source::x11:
        answer(x11IdleMs());
        return;
    case Source::logind: {
        QDBusMessage get = QDBusMessage::createMethodCall(
            u"org.freedesktop.login1"_s, m_sessionPath, u"org.freedesktop.DBus.Properties"_s,
            u"GetAll"_s);
        get << u"org.freedesktop.login1.Session"_s;
        call(QDBusConnection::systemBus(), get, this, [answer](const QDBusMessage& reply) {
            if (reply.type() != QDBusMessage::ReplyMessage) {
                answer(std::nullopt);
                return;
            }
            const QVariantMap properties =
                qdbus_cast<QVariantMap>(reply.arguments().value(0).value<QDBusArgument>());
            // IdleSinceHint: microseconds of the realtime clock.
            const qint64 since = properties.value(u"IdleSinceHint"_s).toLongLong() / 1000;
            answer(properties.value(u"IdleHint"_s).toBool()
                       ? std::optional(std::max<qint64>(
                             QDateTime::currentMSecsSinceEpoch() - since, 0))
                       : std::optional<qint64>(0));
        });
        return;
    }
    case Source::none:
        break;
    }
    answer(std::nullopt);
}

} // namespace kelvo

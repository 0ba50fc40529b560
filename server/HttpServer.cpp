#include "HttpServer.h"

#include "ClientAddress.h"
#include "HttpError.h"
#include "OperatorLog.h"

#include <QElapsedTimer>
#include <QSet>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace kelvo::server {

namespace {

// How often connections are checked for an overdue request.
constexpr qint64 sweepIntervalMs = 500;

// After an answer given before the body was read, how long and how much of the body is still
// read and dropped (nginx's lingering close): a client that writes its whole body before reading
// gets to read the answer, while one that sends on and on costs a bounded amount.
constexpr qint64 lingerMs = 5000;
constexpr qint64 lingerBytes = 4 * 1024 * 1024;

qint64 monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// Bytes a client sent, fit for one field of a log line: anything but printable ASCII is
// percent-encoded, so nothing sent can start a line or a field.
QByteArray printable(QByteArrayView bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7f) {
            out.append(c);
        } else {
            out.append('%').append(QByteArray::number(byte, 16).rightJustified(2, '0').toUpper());
        }
    }
    return out;
}

bool isDigits(QByteArrayView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether the client may still be writing a body after its head: it names one, and did not ask
// to hear first (with Expect: 100-continue the body waits for a go-ahead).
bool bodyFollows(const HttpRequest& request) {
    const QByteArray length = request.header("Content-Length").trimmed();
    return (!request.header("Transfer-Encoding").isEmpty() ||
            (!length.isEmpty() && length != "0")) &&
           request.header("Expect").trimmed().compare("100-continue", Qt::CaseInsensitive) != 0;
}

// A Content-Length value: plain decimal digits, at most 18 of them (so it fits); nothing else.
std::optional<qint64> declaredLength(QByteArrayView text) {
    if (text.size() > 18 || !isDigits(text)) {
        return std::nullopt;
    }
    return text.toLongLong();
}

} // namespace

// One request from its head to its answer. Shared by the serving thread and the handler.
struct HttpServer::Exchange {
    HttpRequest request;
    QByteArray method;
    QByteArray target;
    bool closeAfter = false;
    bool dispatched = false;
    QString address;      // the peer's, as the budget for bodies counts it
    qint64 heldBytes = 0; // of the body, counted against the budget
    // Set when the body did not fit: the rest of it is read and dropped, then this is the answer.
    std::optional<HttpResponse> refusal;
    QElapsedTimer clock;
    // Guarded by Pending::mutex: the connection while it waits for the handler, and the answer.
    MHD_Connection* waiting = nullptr;
    std::optional<HttpResponse> response;
};

// One connection: by when the request under way must be whole (0 while it is being answered),
// and how its body is coming.
struct HttpServer::Peer {
    int fd = -1;
    qint64 deadlineMs = 0;
    QByteArray target;
    QString address;
    int lingerFd = -1; // a copy of the descriptor, to read on after an early answer
    // While a body comes: its declared length, the bytes that came, and how many had come by
    // when (one sample a sweep, back to the last one a whole window old).
    qint64 bodyBytes = 0;
    qint64 bodyReceived = 0;
    std::deque<std::pair<qint64, qint64>> bodyProgress;
};

// Requests handed to the handler and not answered yet; outlives the server, since an answer
// may come after it is gone.
struct HttpServer::Pending {
    std::mutex mutex;
    std::unordered_set<Exchange*> waiting;
    // Wakes the serving thread to send an answer.
    int wake = -1;

    void wakeUp() const {
        const quint64 one = 1;
        [[maybe_unused]] const auto written = ::write(wake, &one, sizeof one);
    }
};

struct HttpServer::Callbacks {
    static HttpServer& server(void* self) { return *static_cast<HttpServer*>(self); }

    static Peer& peer(MHD_Connection* connection) {
        return *static_cast<Peer*>(
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT)
                ->socket_context);
    }

    static MHD_Result onAccept(void* self, const sockaddr*, socklen_t) {
        // Refused at once rather than left waiting unanswered in the system's queue.
        return server(self).m_peers.size() < server(self).m_limits.maxConnections ? MHD_YES
                                                                                  : MHD_NO;
    }

    static void* onTarget(void*, const char* target, MHD_Connection* connection) {
        // The target as sent, before any decoding: routes see "%2F" as it came.
        peer(connection).target = QByteArray(target);
        return nullptr;
    }

    static MHD_Result onRequest(void* self, MHD_Connection* connection, const char*,
                                const char* method, const char* version, const char* data,
                                size_t* size, void** requestState) {
        HttpServer& http = server(self);
        if (*requestState == nullptr) {
            return begin(http, connection, method, version, requestState);
        }
        const auto& exchange = *static_cast<std::shared_ptr<Exchange>*>(*requestState);
        Peer& from = peer(connection);
        if (*size != 0) {
            // The declared length was checked against the limit before any of the body came;
            // more than it is never taken.
            from.bodyReceived += qint64(*size);
            if (from.bodyReceived > from.bodyBytes) {
                return MHD_NO;
            }
            if (!exchange->refusal && !http.hold(*exchange, qint64(*size))) {
                // Answered once the body is read (libmicrohttpd takes no answer in between).
                http.release(*exchange);
                exchange->request.body = QByteArray();
                exchange->refusal = HttpError::busy().toResponse();
            }
            if (!exchange->refusal) {
                exchange->request.body.append(data, qsizetype(*size));
            }
            *size = 0;
            return MHD_YES;
        }
        from.bodyProgress.clear();
        if (exchange->refusal) {
            return http.answer(connection, *exchange, *exchange->refusal) ? MHD_YES : MHD_NO;
        }
        if (!exchange->dispatched) {
            if (http.m_stopping) {
                return MHD_NO; // nothing more is taken on: the last run must leave none waiting
            }
            exchange->dispatched = true;
            from.deadlineMs = 0;
            {
                std::lock_guard lock(http.m_pending->mutex);
                exchange->waiting = connection;
                http.m_pending->waiting.insert(exchange.get());
            }
            MHD_suspend_connection(connection);
            http.dispatch(exchange);
            return MHD_YES;
        }
        std::optional<HttpResponse> response;
        {
            std::lock_guard lock(http.m_pending->mutex);
            response = std::move(exchange->response);
        }
        // No answer: the server is stopping.
        return response && http.answer(connection, *exchange, *response) ? MHD_YES : MHD_NO;
    }

    static MHD_Result begin(HttpServer& http, MHD_Connection* connection, const char* method,
                            const char* version, void** requestState) {
        auto exchange = std::make_shared<Exchange>();
        exchange->clock.start();
        exchange->method = method;
        exchange->target = std::move(peer(connection).target);
        exchange->closeAfter = std::strcmp(version, MHD_HTTP_VERSION_1_0) == 0;
        HttpRequest& request = exchange->request;
        request.method = exchange->method;
        request.target = exchange->target;
        MHD_get_connection_values(
            connection, MHD_HEADER_KIND,
            [](void* headers, MHD_ValueKind, const char* name, const char* value) {
                static_cast<decltype(request.headers)*>(headers)->append(
                    std::pair(QByteArray(name), QByteArray(value)));
                return MHD_YES;
            },
            &request.headers);
        if (const auto* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
            request.peer = QHostAddress(info->client_addr);
        }
        *requestState = new std::shared_ptr<Exchange>(exchange);
        Peer& from = peer(connection);
        if (const auto problem = headProblem(request, http.m_limits)) {
            // Answered before any of the body is read; the connection closes after, and what the
            // client still sends is read on a copy of the descriptor (see linger()).
            exchange->closeAfter = true;
            if (bodyFollows(request)) {
                from.lingerFd = ::fcntl(from.fd, F_DUPFD_CLOEXEC, 0);
            }
            return http.answer(connection, *exchange, *problem) ? MHD_YES : MHD_NO;
        }
        exchange->address = from.address;
        const qint64 length =
            declaredLength(request.header("Content-Length").trimmed()).value_or(0);
        // Nothing is set aside for the length declared: the body counts as it comes.
        from.bodyBytes = length;
        from.bodyReceived = 0;
        if (length > 0) {
            from.bodyProgress = {{monotonicMs(), 0}};
        }
        return MHD_YES;
    }

    static void onCompleted(void* self, MHD_Connection* connection, void** requestState,
                            MHD_RequestTerminationCode) {
        HttpServer& http = server(self);
        auto* exchange = static_cast<std::shared_ptr<Exchange>*>(*requestState);
        if (exchange != nullptr) {
            http.release(**exchange);
            delete exchange;
            *requestState = nullptr;
        }
        // The next request, if any, has as long from now as the first had from the opening.
        Peer& from = peer(connection);
        from.deadlineMs = http.deadlineFromNow();
        from.bodyProgress.clear();
    }

    static void onConnection(void* self, MHD_Connection* connection, void** peerState,
                             MHD_ConnectionNotificationCode event) {
        HttpServer& http = server(self);
        if (event == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* peer = new Peer;
            peer->fd =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd;
            peer->deadlineMs = http.deadlineFromNow();
            peer->address = ClientAddress::key(
                QHostAddress(MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS)
                                 ->client_addr));
            http.m_peers.insert(peer);
            *peerState = peer;
        } else {
            auto* peer = static_cast<Peer*>(*peerState);
            if (peer->lingerFd >= 0) {
                http.linger(peer->lingerFd);
            }
            http.m_peers.erase(peer);
            delete peer;
            *peerState = nullptr;
        }
    }

    static void onLog(void*, const char* format, va_list arguments) {
        // libmicrohttpd's own lines are about what clients sent, which anyone can fill the
        // operator's log with; only running out of descriptors is the operator's business.
        char line[512];
        std::vsnprintf(line, sizeof line, format, arguments);
        if (std::strstr(line, "resource limit") != nullptr) {
            OperatorLog::write(u"out of file descriptors; new connections wait until one closes");
        }
    }
};

HttpServer::HttpServer(Limits limits, Handler handler, QObject* parent)
    : QObject(parent)
    , m_limits(limits)
    , m_handler(std::move(handler))
    , m_pending(std::make_shared<Pending>()) {}

HttpServer::~HttpServer() {
    stop();
}

quint16 HttpServer::listen(const QHostAddress& address, quint16 port) {
    if (m_daemon != nullptr) {
        return 0;
    }
    sockaddr_storage socketAddress{};
    unsigned flags = MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&socketAddress);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        flags |= MHD_USE_IPv6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&socketAddress);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
    }
    m_daemon = MHD_start_daemon(
        flags, port, &Callbacks::onAccept, this, &Callbacks::onRequest, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr*>(&socketAddress),
        // One over the cap: at the cap the accept policy refuses, so libmicrohttpd never stops
        // accepting (which would leave newcomers waiting in the queue).
        MHD_OPTION_CONNECTION_LIMIT, m_limits.maxConnections + 1, MHD_OPTION_CONNECTION_TIMEOUT,
        m_limits.requestTimeoutSeconds, MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::onCompleted, this,
        MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::onConnection, this, MHD_OPTION_URI_LOG_CALLBACK,
        &Callbacks::onTarget, this, MHD_OPTION_EXTERNAL_LOGGER, &Callbacks::onLog, this,
        MHD_OPTION_END);
    if (m_daemon == nullptr) {
        return 0;
    }
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_pending->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    for (const int fd :
         {MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd, m_pending->wake}) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
    }
    m_thread = std::thread([this] { run(); });
    return MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
}

void HttpServer::run() {
    epoll_event events[16];
    while (!m_stopping) {
        int timeoutMs = int(sweepIntervalMs);
        MHD_UNSIGNED_LONG_LONG daemonTimeout = 0;
        if (MHD_get_timeout(m_daemon, &daemonTimeout) == MHD_YES) {
            timeoutMs = int(std::min<MHD_UNSIGNED_LONG_LONG>(daemonTimeout, timeoutMs));
        }
        const int ready = epoll_wait(m_epoll, events, int(std::size(events)), timeoutMs);
        if (m_stopping) {
            break;
        }
        for (int i = 0; i < ready; ++i) {
            if (m_lingering.contains(events[i].data.fd)) {
                drain(events[i].data.fd);
            }
        }
        quint64 wakes = 0;
        [[maybe_unused]] const auto drained = ::read(m_pending->wake, &wakes, sizeof wakes);
        MHD_run(m_daemon);
        closeOverdue();
    }
}

void HttpServer::closeOverdue() {
    const qint64 now = monotonicMs();
    if (now - m_lastSweepMs < sweepIntervalMs) {
        return;
    }
    m_lastSweepMs = now;
    const qint64 windowMs = qint64(m_limits.bodyWindowSeconds) * 1000;
    for (Peer* peer : m_peers) {
        bool tooSlow = false;
        if (auto& progress = peer->bodyProgress; !progress.empty()) {
            progress.emplace_back(now, peer->bodyReceived);
            while (progress.size() > 1 && progress[1].first <= now - windowMs) {
                progress.pop_front();
            }
            const auto [since, received] = progress.front();
            tooSlow = since <= now - windowMs &&
                      peer->bodyReceived - received <
                          std::min(m_limits.minBodyBytesPerWindow, peer->bodyBytes - received);
        }
        if (tooSlow || (peer->deadlineMs != 0 && now > peer->deadlineMs)) {
            // libmicrohttpd sees the end of the stream and closes the connection itself.
            ::shutdown(peer->fd, SHUT_RDWR);
            peer->deadlineMs = 0;
            peer->bodyProgress.clear();
        }
    }
    std::vector<int> overdue;
    for (const auto& [fd, lingering] : m_lingering) {
        if (now > lingering.untilMs) {
            overdue.push_back(fd);
        }
    }
    std::for_each(overdue.begin(), overdue.end(), [this](int fd) { stopLingering(fd); });
}

void HttpServer::linger(int fd) {
    // libmicrohttpd has sent the answer and closes its descriptor; this copy keeps the
    // connection open. Never beyond the cap on connections, nor once stopping.
    if (m_stopping || m_peers.size() + m_lingering.size() > m_limits.maxConnections) {
        ::close(fd);
        return;
    }
    ::shutdown(fd, SHUT_WR); // the answer is whole: the client sees its end
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
        ::close(fd);
        return;
    }
    m_lingering[fd] = {monotonicMs() + lingerMs, 0};
}

void HttpServer::drain(int fd) {
    Lingering& lingering = m_lingering.at(fd);
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got > 0 && (lingering.drained += got) < lingerBytes) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        break; // the client's end, an error, or as much as is read
    }
    stopLingering(fd);
}

void HttpServer::stopLingering(int fd) {
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    ::close(fd);
    m_lingering.erase(fd);
}

bool HttpServer::hold(Exchange& exchange, qint64 bytes) {
    const bool fits =
        m_heldBodyBytes + bytes <= m_limits.maxBufferedBodyBytes &&
        (!m_limits.budgetPerAddress ||
         m_heldByAddress.value(exchange.address) + bytes <= m_limits.maxBufferedBodyBytes / 8);
    if (!fits) {
        return false;
    }
    m_heldBodyBytes += bytes;
    m_heldByAddress[exchange.address] += bytes;
    exchange.heldBytes += bytes;
    return true;
}

void HttpServer::release(Exchange& exchange) {
    if (exchange.heldBytes == 0) {
        return;
    }
    m_heldBodyBytes -= exchange.heldBytes;
    if (const auto held = m_heldByAddress.find(exchange.address);
        (*held -= exchange.heldBytes) == 0) {
        m_heldByAddress.erase(held);
    }
    exchange.heldBytes = 0;
}

void HttpServer::stop() {
    if (m_daemon == nullptr) {
        return;
    }
    m_stopping = true;
    m_pending->wakeUp();
    m_thread.join();
    {
        // Connections waiting for an answer that will not come are let go, to be closed.
        std::lock_guard lock(m_pending->mutex);
        for (Exchange* exchange : m_pending->waiting) {
            MHD_resume_connection(std::exchange(exchange->waiting, nullptr));
        }
        m_pending->waiting.clear();
    }
    // A resumed connection is only taken back by a run; unanswered, it is then closed.
    MHD_run(m_daemon);
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    while (!m_lingering.empty()) {
        stopLingering(m_lingering.begin()->first);
    }
    ::close(m_epoll);
    std::lock_guard lock(m_pending->mutex);
    ::close(std::exchange(m_pending->wake, -1));
}

std::optional<HttpResponse> HttpServer::headProblem(const HttpRequest& request,
                                                    const Limits& limits) {
    if (request.headers.size() > limits.maxHeaders) {
        return HttpError::tooManyHeaders().toResponse();
    }
    QSet<QByteArray> lengths;
    for (const auto& [name, value] : request.headers) {
        // Every client of this API sends one plain Content-Length; a proxy in front may read
        // any other framing otherwise than this server.
        if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            return HttpError::badRequest(QStringLiteral("Send the body with a Content-Length"))
                .toResponse();
        }
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            lengths.insert(value.trimmed());
        }
    }
    if (lengths.size() > 1) {
        return HttpError::badRequest(QStringLiteral("Conflicting Content-Length headers"))
            .toResponse();
    }
    if (lengths.isEmpty()) {
        return std::nullopt;
    }
    const QByteArray& length = *lengths.begin();
    if (!isDigits(length)) {
        return HttpError::badRequest(QStringLiteral("Invalid Content-Length")).toResponse();
    }
    // Digits past what a 64-bit count holds are a length over any limit too.
    if (declaredLength(length).value_or(limits.maxBodyBytes + 1) > limits.maxBodyBytes) {
        return HttpError::tooLarge().toResponse();
    }
    return std::nullopt;
}

qint64 HttpServer::deadlineFromNow() const {
    return monotonicMs() + qint64(m_limits.requestTimeoutSeconds) * 1000;
}

void HttpServer::dispatch(const std::shared_ptr<Exchange>& exchange) {
    QMetaObject::invokeMethod(
        this,
        [this, exchange, pending = m_pending] {
            m_handler(std::move(exchange->request), [pending, exchange](HttpResponse response) {
                std::lock_guard lock(pending->mutex);
                if (exchange->waiting == nullptr) {
                    return; // answered already, or the server has stopped
                }
                exchange->response = std::move(response);
                pending->waiting.erase(exchange.get());
                MHD_resume_connection(std::exchange(exchange->waiting, nullptr));
                pending->wakeUp();
            });
        },
        Qt::QueuedConnection);
}

bool HttpServer::answer(MHD_Connection* connection, const Exchange& exchange,
                        const HttpResponse& response) {
    MHD_Response* reply = MHD_create_response_from_buffer(
        size_t(response.body.size()), const_cast<char*>(response.body.constData()),
        MHD_RESPMEM_MUST_COPY);
    if (reply == nullptr) {
        return false;
    }
    MHD_add_response_header(reply, "Content-Type", "application/json");
    for (const auto& [name, value] : response.headers) {
        MHD_add_response_header(reply, name.constData(), value.constData());
    }
    if (exchange.closeAfter) {
        MHD_add_response_header(reply, "Connection", "close");
    }
    const MHD_Result queued = MHD_queue_response(connection, unsigned(response.status), reply);
    MHD_destroy_response(reply);
    logRequest(exchange, response.status);
    return queued == MHD_YES;
}

void HttpServer::logRequest(const Exchange& exchange, HttpStatus status) const {
    if (!m_limits.logRequests) {
        return;
    }
    // Names of query members but not their values, which may be anything a client sent.
    const qsizetype mark = exchange.target.indexOf('?');
    QByteArray line = printable(mark < 0 ? exchange.target : exchange.target.left(mark));
    if (mark >= 0) {
        QByteArrayList names;
        for (const QByteArray& member : exchange.target.mid(mark + 1).split('&')) {
            names.append(printable(member.first(member.contains('=') ? member.indexOf('=')
                                                                     : member.size())) +
                         '=');
        }
        line += '?' + names.join('&');
    }
    std::fprintf(stderr, "%s %s %d %lldms\n", printable(exchange.method).constData(),
                 line.constData(), int(status), static_cast<long long>(exchange.clock.elapsed()));
    std::fflush(stderr);
}

} // namespace kelvo::server

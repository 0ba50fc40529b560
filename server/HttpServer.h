#pragma once

#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_set>

struct MHD_Connection;
struct MHD_Daemon;

namespace kelvo::server {

// HTTP/1.1 built for hostile traffic, on libmicrohttpd. One thread of its own reads and writes
// every connection; each whole request is handed to the handler on this object's thread, and
// the connection is read no further until the handler has answered (so answers a client does
// not read never pile up). Heads and bodies over the limits are refused before they are read,
// slow or idle connections are closed, and the number of connections is capped.
class HttpServer : public QObject {
    Q_OBJECT
public:
    struct Limits {
        unsigned maxConnections = 512;
        // Seconds a connection has to send each whole request, counted from when it opened or
        // its last answer was sent; also how long an answer may wait for the client to read.
        unsigned requestTimeoutSeconds = 30;
        qint64 maxBodyBytes = 1024 * 1024;
        // Bodies being received at once, in all; a request that would go over waits (503).
        qint64 maxBufferedBodyBytes = 64 * 1024 * 1024;
        int maxHeaders = 100;
        // One line per request on standard error: method, path, status, milliseconds.
        bool logRequests = false;
    };
    // Answers one request; the first call counts. Callable from any thread.
    using Respond = std::function<void(HttpResponse)>;
    using Handler = std::function<void(HttpRequest, Respond)>;

    HttpServer(Limits limits, Handler handler, QObject* parent = nullptr);
    ~HttpServer() override;

    // The port listened on (a free one when `port` is 0), or 0 when listening failed.
    quint16 listen(const QHostAddress& address, quint16 port);

    // The answer to a request refused for its head alone (too many fields, a framing other than
    // one plain Content-Length, a body over the limit), or nothing when the head is fine.
    static std::optional<HttpResponse> headProblem(const HttpRequest& request,
                                                   const Limits& limits);

private:
    struct Exchange;
    struct Peer;
    struct Pending;

    // libmicrohttpd's callbacks, which call back into this object.
    struct Callbacks;
    friend struct Callbacks;

    bool answer(MHD_Connection* connection, const Exchange& exchange, const HttpResponse& response);
    void dispatch(const std::shared_ptr<Exchange>& exchange);
    void logRequest(const Exchange& exchange, HttpStatus status) const;
    void run();
    void closeOverdue();
    qint64 deadlineFromNow() const;
    void stop();

    Limits m_limits;
    Handler m_handler;
    MHD_Daemon* m_daemon = nullptr;
    int m_epoll = -1;
    std::atomic<bool> m_stopping = false;
    std::thread m_thread;
    // Connections and when their request must be whole; touched on the serving thread only.
    std::unordered_set<Peer*> m_peers;
    qint64 m_lastSweepMs = 0;
    qint64 m_bufferedBodyBytes = 0;
    std::shared_ptr<Pending> m_pending;
};

} // namespace kelvo::server

#pragma once

#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QHash>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

struct MHD_Connection;
struct MHD_Daemon;

namespace kelvo::server {

// HTTP/1.1 built for hostile traffic, on libmicrohttpd. One thread of its own reads and writes
// every connection; each whole request is handed to the handler on this object's thread, and
// the connection is read no further until the handler has answered (so answers a client does
// not read never pile up). Heads and bodies over the limits are refused before they are read,
// slow or idle connections are closed, and the number of connections is capped. A connection
// answered before its body was read is read on and dropped for a while after the answer (as
// nginx's lingering close does), so a client that writes its whole body first still reads it.
class HttpServer : public QObject {
    Q_OBJECT
public:
    struct Limits {
        unsigned maxConnections = 512;
        // Seconds a connection has to send each whole request, counted from when it opened or
        // its last answer was sent; also how long an answer may wait for the client to read.
        unsigned requestTimeoutSeconds = 30;
        qint64 maxBodyBytes = 1024 * 1024;
        // Bodies being received at once, in all, counted by the bytes that have come (a length
        // declared costs nothing); a body that would go over is refused (503).
        qint64 maxBufferedBodyBytes = 64 * 1024 * 1024;
        // Whether one peer address (an IPv6 /64 as one) holds at most an eighth of that budget.
        // Off behind a proxy, where every body comes from the proxy's address (and the proxy
        // buffers them).
        bool budgetPerAddress = true;
        // A connection whose body receives less than this (or the rest of it) in any window of
        // that many seconds is closed: a body trickled in holds a connection for nothing.
        qint64 minBodyBytesPerWindow = 10 * 1024;
        unsigned bodyWindowSeconds = 10;
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
    // Takes over `fd`, a copy of a closing connection's descriptor, to read on and drop what the
    // client still sends; then `drain` reads what came and `stopLingering` closes it.
    void linger(int fd);
    void drain(int fd);
    void stopLingering(int fd);
    // Counts `bytes` more of the exchange's body against the budget for bodies, if they fit.
    bool hold(Exchange& exchange, qint64 bytes);
    void release(Exchange& exchange);
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
    qint64 m_heldBodyBytes = 0;
    QHash<QString, qint64> m_heldByAddress;
    struct Lingering {
        qint64 untilMs = 0;
        qint64 drained = 0;
    };
    std::unordered_map<int, Lingering> m_lingering; // by descriptor
    std::shared_ptr<Pending> m_pending;
};

} // namespace kelvo::server

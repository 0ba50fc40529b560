#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace kelvo::test {

// One scripted answer: a status and raw body bytes (any bytes, also invalid UTF-8 or nothing),
// optionally held back until the test releases it; or no answer at all with the connection
// dropped; or a status line and part of the body, the connection then closed before the
// declared length is reached; or a body that never ends, or one that comes a byte at a time.
struct FakeResponse {
    enum class Body { whole, cutShort, endless, drip };
    int status = 200;
    QByteArray body;
    bool held = false;
    bool drop = false;
    Body how = Body::whole;
    QByteArray extraHeaders; // whole "Name: value\r\n" lines

    static FakeResponse json(int status, QByteArray body) { return {status, std::move(body)}; }
    static FakeResponse heldBack(int status, QByteArray body) { return {status, std::move(body), true}; }
    static FakeResponse dropped() { return {0, {}, false, true}; }
    static FakeResponse cut(int status, QByteArray body) { return {status, std::move(body), false, false, Body::cutShort}; }
    // A chunked 200 whose chunks keep coming while the client reads.
    static FakeResponse endless() { return {200, {}, false, false, Body::endless}; }
    // `body` with its length declared, sent one byte every 20 ms.
    static FakeResponse drip(QByteArray body) { return {200, std::move(body), false, false, Body::drip}; }
    static FakeResponse redirect(int status, const QString& location) {
        return {status, {}, false, false, Body::whole, "Location: " + location.toUtf8() + "\r\n"};
    }
};

struct RecordedRequest {
    QByteArray method;
    QString path;                         // with the query, as sent
    QMap<QByteArray, QByteArray> headers; // names lower-cased
    QByteArray body;
    qsizetype answeredBefore = 0; // answers written before this request arrived

    bool hasHeader(const QByteArray& name) const { return headers.contains(name.toLower()); }
    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
};

// An HTTP/1.1 server on 127.0.0.1 (a free port) inside the test process. It answers each
// method and path (query ignored) from a script and records every request it receives.
class FakeServer : public QObject {
    Q_OBJECT
public:
    // On `port`, or on a free one.
    explicit FakeServer(quint16 port = 0);
    ~FakeServer() override;

    QString baseURL() const;

    // The answer to every request for method and path, unless a queued one comes first.
    void on(const QByteArray& method, const QString& path, FakeResponse response);
    // A one-time answer, used before any standing one; several queue up in order.
    void enqueue(const QByteArray& method, const QString& path, FakeResponse response);

    const QList<RecordedRequest>& requests() const { return m_requests; }
    QStringList requestLines() const; // "GET /path?query" per request
    // The newest request for method and path (query ignored); an empty one when there is none.
    RecordedRequest last(const QByteArray& method, const QString& path) const;
    void clearRequests() { m_requests.clear(); }
    // Spins the event loop until `count` requests in all have arrived.
    bool waitForRequests(qsizetype count, int timeoutMs = 10000);
    // Writes every answer held back so far, in the order the requests came.
    void release();
    qsizetype heldCount() const { return m_held.size(); }

Q_SIGNALS:
    void requestReceived();

private:
    struct Connection {
        QByteArray buffer;
        bool busy = false;
    };

    void onNewConnection();
    void process(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const RecordedRequest& request);
    void write(QTcpSocket* socket, const FakeResponse& response);
    void writeEndless(QTcpSocket* socket);
    void writeDrip(QTcpSocket* socket, const QByteArray& body);
    FakeResponse responseFor(const RecordedRequest& request);

    QTcpServer* m_server;
    QHash<QTcpSocket*, Connection> m_connections;
    QHash<QString, QList<FakeResponse>> m_queued;
    QHash<QString, FakeResponse> m_standing;
    QList<RecordedRequest> m_requests;
    QList<std::pair<QPointer<QTcpSocket>, FakeResponse>> m_held;
    qsizetype m_answered = 0;
};

} // namespace kelvo::test

#include "APIClient.h"

#include "ReplyWatch.h"
#include "TokenRedactor.h"
#include "records/APIError.h"
#include "records/BearerToken.h"
#include "TokenStore.h"
#include "records/Secrets.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <memory>

namespace kelvo {

namespace {

constexpr int requestTimeoutMs = 60'000;

APIClient* sharedInstance = nullptr;

void destroySharedInstance() {
    delete sharedInstance;
    sharedInstance = nullptr;
}

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// A transport failure (1-199: connection, timeout, cancellation; 301-399: protocol) outranks
// any status, also one that arrived before it: the body is then incomplete and says nothing.
// Qt's own reading of a 4xx or 5xx status never does. That reading lies mostly in 201-299 and
// 401-499, but Qt reads a 400 or 418 as ProtocolInvalidOperationError and a 407 as
// ProxyAuthenticationRequiredError.
bool isTransportFailure(QNetworkReply::NetworkError error, const QVariant& status) {
    const int code = int(error);
    if (!((code >= 1 && code <= 199) || (code >= 301 && code <= 399))) {
        return false;
    }
    const int http = status.isValid() ? status.toInt() : 0;
    if (error == QNetworkReply::ProtocolInvalidOperationError) {
        return http != 400 && http != 418;
    }
    if (error == QNetworkReply::ProxyAuthenticationRequiredError) {
        return http != 407;
    }
    return true;
}

// After an error status Qt may finish the reply with its reading of the status although the
// connection broke off in the body; the declared length tells. (Qt drops the declared length
// of a compressed answer, whose decompressed size it does not describe.)
bool isCutShort(QNetworkReply* reply, const QByteArray& body) {
    const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
    return declared.isValid() && body.size() < declared.toLongLong();
}

// Why a reply the watch ended failed, told as the client tells it.
std::optional<APIClientError> stoppedByWatch(ReplyWatch::Stop stop) {
    switch (stop) {
    case ReplyWatch::Stop::none:
        break;
    case ReplyWatch::Stop::timedOut:
        return APIClientError::networkError(QStringLiteral("timed out"));
    case ReplyWatch::Stop::tooLarge:
        return APIClientError::networkError(QStringLiteral("response too large"));
    }
    return std::nullopt;
}

constexpr int maxRedirects = 5;

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isSameOrigin(const QUrl& a, const QUrl& b) {
    const QString scheme = a.scheme().toLower();
    const int defaultPort = scheme == u"https" ? 443 : scheme == u"http" ? 80 : -1;
    return scheme == b.scheme().toLower() && a.host().toLower() == b.host().toLower() &&
           a.port(defaultPort) == b.port(defaultPort);
}

APIClientError classifyFailure(int status, const QByteArray& body) {
    if (status >= 400 && status <= 499) {
        auto apiError = JsonReader::decode<APIError>(body);
        return APIClientError::clientError(
            apiError ? apiError->error : QStringLiteral("Client error"), status);
    }
    if (status >= 500 && status <= 599) {
        return APIClientError::serverError();
    }
    return APIClientError::unknownError();
}

} // namespace

// A request waiting for its reply: resumed when the reply has finished, or cancelled by the
// client. The awaiter that co_await uses only points here (the compiler may copy awaiters).
class PendingReply {
public:
    explicit PendingReply(QNetworkReply* reply) : m_reply(reply) {}
    PendingReply(const PendingReply&) = delete;
    PendingReply& operator=(const PendingReply&) = delete;

    struct Awaiter {
        PendingReply* pending;
        bool await_ready() const noexcept { return pending->m_reply->isFinished(); }
        void await_suspend(std::coroutine_handle<> waiting) {
            pending->m_waiting = waiting;
            pending->m_connection = QObject::connect(pending->m_reply, &QNetworkReply::finished,
                                                     [p = pending] { p->resume(); });
        }
        void await_resume() const noexcept {}
    };
    Awaiter finished() { return Awaiter{this}; }

    void cancel() {
        m_cancelled = true;
        resume();
    }
    bool cancelled() const { return m_cancelled; }

private:
    void resume() {
        QObject::disconnect(m_connection);
        if (auto waiting = std::exchange(m_waiting, {})) {
            waiting.resume();
        }
    }

    QNetworkReply* m_reply;
    std::coroutine_handle<> m_waiting;
    QMetaObject::Connection m_connection;
    bool m_cancelled = false;
};

APIClient::APIClient(QString baseURL, TokenStore* store, QObject* parent)
    : QObject(parent)
    , m_baseURL(std::move(baseURL))
    , m_store(store)
    , m_network(new QNetworkAccessManager(this)) {
    const std::optional<QString> stored = m_store ? m_store->token() : std::nullopt;
    if (!stored) {
        return;
    }
    if (isBearerToken(*stored)) {
        m_authToken = *stored;
        Secrets::add(*stored);
    } else {
        // Left in the file: it is the user's, and a sign-in replaces it.
        Diagnostics::print(QStringLiteral("Ignoring the stored sign-in in ") + m_store->place() +
                           QStringLiteral(": it is not a valid bearer token"));
    }
}

APIClient::~APIClient() {
    // The network manager deletes its replies without a word; every request still waiting ends
    // here with a network error instead of waiting for ever, and none starts any more.
    m_closing = true;
    const auto pending = std::exchange(m_pending, {});
    for (PendingReply* request : pending) {
        request->cancel();
    }
}

APIClient* APIClient::shared(TokenStore* store) {
    if (!sharedInstance) {
        sharedInstance = new APIClient(baseURLFromEnvironment(), store);
        qAddPostRoutine(destroySharedInstance);
    }
    return sharedInstance;
}

QString APIClient::baseURLFromEnvironment() {
    if (qEnvironmentVariableIsSet("KELVO_API_URL")) {
        return qEnvironmentVariable("KELVO_API_URL");
    }
    return QStringLiteral("https://api.kelvo.app");
}

std::expected<void, QString> APIClient::setAuthToken(const QString& token) {
    m_authToken = token;
    Secrets::add(token);
    const std::expected<void, QString> saved =
        m_store ? m_store->keep(token) : std::expected<void, QString>();
    if (!saved) {
        Diagnostics::print(QStringLiteral("Could not save the sign-in in ") + m_store->place());
    }
    Q_EMIT authTokenChanged();
    return saved;
}

void APIClient::clearAuthToken() {
    m_authToken.reset();
    if (m_store && !m_store->forget()) {
        Diagnostics::print(QStringLiteral("Could not remove the sign-in from ") +
                           m_store->place());
    }
    Q_EMIT authTokenChanged();
}

bool APIClient::isLoopback() const {
    const QString host = QUrl(m_baseURL).host();
    return host == u"localhost" || QHostAddress(host).isLoopback();
}

QUrl APIClient::urlFor(const QString& path) const {
    return QUrl(m_baseURL + path, QUrl::StrictMode);
}

QNetworkReply* APIClient::start(const QUrl& url, HTTPMethod method,
                                const std::optional<QByteArray>& body,
                                const std::optional<QString>& token) {
    QNetworkRequest request(url);
    request.setTransferTimeout(requestTimeoutMs);
    // Qt would follow a redirect anywhere; send() follows the ones to the configured server.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (token && isBearerToken(*token)) {
        request.setRawHeader(QByteArrayLiteral("Authorization"),
                             QByteArrayLiteral("Bearer ") + token->toUtf8());
    }
    const QByteArray data = body.value_or(QByteArray());
    switch (method) {
    case HTTPMethod::GET:
        return body ? m_network->sendCustomRequest(request, wireText(method), data)
                    : m_network->get(request);
    case HTTPMethod::POST:
        return m_network->post(request, data);
    case HTTPMethod::PUT:
        return m_network->put(request, data);
    case HTTPMethod::DELETE:
        return body ? m_network->sendCustomRequest(request, wireText(method), data)
                    : m_network->deleteResource(request);
    }
    return nullptr;
}

QCoro::Task<APIResult<APIClient::SuccessBody>> APIClient::send(QString path, HTTPMethod method,
                                                               std::optional<QByteArray> body) {
    QUrl url = urlFor(path);
    if (!url.isValid()) {
        co_return std::unexpected(APIClientError::invalidURL());
    }
    if (m_closing) {
        co_return std::unexpected(
            APIClientError::networkError(QStringLiteral("Operation canceled")));
    }
    // One deadline for the request, across any redirects it follows.
    const QDeadlineTimer deadline(m_limits.deadline);
    QPointer<APIClient> self(this);
    // Every hop carries the token the request started with, and a 401 refuses that token; a
    // newer sign-in's token stays.
    const std::optional<QString> sentToken = m_authToken;
    for (int hop = 0;; ++hop) {
        const APIResult<Answer> answer = co_await exchange(url, method, body, sentToken, deadline);
        if (self) {
            Q_EMIT self->reached(answer.has_value() ||
                                 answer.error().kind() != APIClientError::Kind::networkError);
        }
        if (!answer) {
            co_return std::unexpected(answer.error());
        }
        const int code = answer->status;
        // Followed only to the configured server, so the token and sign-in bodies go nowhere
        // else; only 307 and 308 keep the method and the body. Any other is the 3xx it is.
        const QUrl target = url.resolved(answer->location);
        if (isRedirect(code) && !answer->location.isEmpty() && hop < maxRedirects &&
            isSameOrigin(url, target) && self) {
            if (code != 307 && code != 308) {
                method = HTTPMethod::GET;
                body.reset();
            }
            url = target;
            continue;
        }
        if (code == 401) {
            if (self && self->m_authToken == sentToken) {
                self->clearAuthToken();
            }
            co_return std::unexpected(APIClientError::unauthorized());
        }
        if (code >= 200 && code <= 299) {
            co_return SuccessBody{answer->data};
        }
        co_return std::unexpected(classifyFailure(code, answer->data));
    }
}

QCoro::Task<APIResult<APIClient::Answer>> APIClient::exchange(QUrl url, HTTPMethod method,
                                                              std::optional<QByteArray> body,
                                                              std::optional<QString> token,
                                                              QDeadlineTimer deadline) {
    QNetworkReply* started = start(url, method, body, token);
    if (!started) {
        co_return std::unexpected(APIClientError::invalidURL());
    }
    const std::unique_ptr<QNetworkReply, DeleteLater> reply(started);
    QPointer<APIClient> self(this);
    ReplyWatch watch(started, std::chrono::milliseconds(deadline.remainingTime()),
                     m_limits.maxAnswerBytes);
    PendingReply pending(started);
    m_pending.insert(&pending);
    co_await pending.finished();
    if (pending.cancelled()) {
        co_return std::unexpected(
            APIClientError::networkError(QStringLiteral("Operation canceled")));
    }
    if (self) {
        self->m_pending.remove(&pending);
        self->m_peakBufferedBytes = std::max(self->m_peakBufferedBytes, watch.peakBuffered());
    }
    // Read before the body: Qt's file replies claim a status of 200 once their data is read.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QByteArray data = watch.takeBody();
    if (watch.stop() == ReplyWatch::Stop::tooLarge ||
        reply->error() == QNetworkReply::OperationCanceledError) {
        if (auto stopped = stoppedByWatch(watch.stop())) {
            co_return std::unexpected(*stopped);
        }
    }
    if (isTransportFailure(reply->error(), status)) {
        co_return std::unexpected(APIClientError::networkError(reply->errorString()));
    }
    if (status.isValid() && isCutShort(reply.get(), data)) {
        co_return std::unexpected(
            APIClientError::networkError(QStringLiteral("The answer was cut short")));
    }
    if (!status.isValid()) {
        if (reply->error() != QNetworkReply::NoError) {
            co_return std::unexpected(APIClientError::networkError(reply->errorString()));
        }
        co_return std::unexpected(APIClientError::invalidResponse());
    }
    co_return Answer{status.toInt(), data,
                     QUrl::fromEncoded(reply->rawHeader(QByteArrayLiteral("Location")))};
}

void APIClient::reportDecodingFailure(const DecodeError& error, const QByteArray& body) {
    Diagnostics::print(QStringLiteral("Decoding error: ") + error.description());
    Diagnostics::print(QStringLiteral("Raw response: ") + TokenRedactor::rawResponseText(body));
}

} // namespace kelvo

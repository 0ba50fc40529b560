#pragma once

#include "APIClientError.h"
#include "HTTPMethod.h"
#include "RequestError.h"
#include "records/AuthResponse.h"
#include "records/DashboardEarnings.h"
#include "records/Diagnostics.h"
#include "records/KelvoTask.h"
#include "records/Project.h"
#include "records/TimeEntriesResponse.h"
#include "records/TimeEntry.h"

#include <QCoroTask>
#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <chrono>
#include <expected>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace kelvo {

class TokenStore;

template <class T> using APIResult = std::expected<T, APIClientError>;
template <class T> using BodyResult = std::expected<T, RequestError>;

// Filters of the entry list; each is sent only when present, `limit` always.
struct TimeEntriesQuery {
    std::optional<QString> projectId;
    std::optional<bool> isRunning;
    std::optional<QString> startDate;
    std::optional<QString> endDate;
    std::optional<qint64> page;
    qint64 limit = 10;
};

// The program's only door to the server: the base URL, the bearer token (in memory and in the
// user's config file) and one request routine that classifies every answer. All work happens on
// the thread that owns the client; requests never block it.
class APIClient : public QObject {
    Q_OBJECT
public:
    struct UserResponse {
        User user;
        bool operator==(const UserResponse&) const = default;
        static UserResponse fromJson(const JsonReader& r) {
            return {r.record<User>(QLatin1StringView("user"))};
        }
    };
    struct RefreshResponse {
        QString message;
        QString token;
        bool operator==(const RefreshResponse&) const = default;
        static RefreshResponse fromJson(const JsonReader& r) {
            return {r.text(QLatin1StringView("message")),
                    r.bearerToken(QLatin1StringView("token"))};
        }
    };

    // What one request may take: from its start to its last byte, and in answer bytes.
    struct Limits {
        std::chrono::milliseconds deadline{60'000};
        qint64 maxAnswerBytes = 16 * 1024 * 1024;
    };

    // A client for `baseURL` that keeps its token in `store` (in memory only without one) and
    // starts with the token kept there. Tests and tools create their own; the program uses
    // shared().
    APIClient(QString baseURL, TokenStore* store, QObject* parent = nullptr);
    ~APIClient() override;

    // The process-wide client, created on first use from KELVO_API_URL with `store` (the
    // first caller's), and destroyed when the application object goes away.
    static APIClient* shared(TokenStore* store = nullptr);
    // KELVO_API_URL verbatim (even when empty), else the hosted service.
    static QString baseURLFromEnvironment();

    const QString& baseURL() const { return m_baseURL; }
    void setLimits(Limits limits) { m_limits = limits; }
    // The most answer bytes any request of this client held at once.
    qint64 peakBufferedBytes() const { return m_peakBufferedBytes; }

    const std::optional<QString>& authToken() const { return m_authToken; }
    // Keeps the token in memory and in the store; the error says why the store could not take
    // it (the token is then kept for this run only).
    std::expected<void, QString> setAuthToken(const QString& token);
    void clearAuthToken();

    // baseURL followed directly by `path` (a base ending in "/" gives "//"); invalid when the text
    // does not parse.
    QUrl urlFor(const QString& path) const;

    // Sends one request and decodes a 2xx body as T; every other outcome is an APIClientError.
    template <class T>
    QCoro::Task<APIResult<T>> request(QString path, HTTPMethod method,
                                      std::optional<QByteArray> body);

    QCoro::Task<BodyResult<AuthResponse>> login(QString email, QString password);
    // `register` is a reserved word in C++.
    QCoro::Task<BodyResult<AuthResponse>>
    registerAccount(QString name, QString email, QString password,
                    std::optional<double> defaultHourlyRate = std::nullopt,
                    std::optional<QString> captchaId = std::nullopt,
                    std::optional<QString> captchaValue = std::nullopt);
    QCoro::Task<APIResult<User>> getCurrentUser();
    QCoro::Task<APIResult<RefreshResponse>> refreshToken();
    QCoro::Task<APIResult<QList<Project>>> getProjects();
    QCoro::Task<APIResult<QList<KelvoTask>>> getTasks(std::optional<QString> projectId,
                                                      std::optional<bool> isCompleted);
    // Nothing when no entry runs (the server's answer has no usable entry).
    QCoro::Task<APIResult<std::optional<TimeEntry>>> getCurrentTimeEntry();
    QCoro::Task<APIResult<QList<TimeEntry>>> getTimeEntries(TimeEntriesQuery query);
    // The same request, keeping the answer's pagination block for a caller that pages.
    QCoro::Task<APIResult<TimeEntriesResponse>> getTimeEntriesPage(TimeEntriesQuery query);
    QCoro::Task<BodyResult<TimeEntry>> startTimer(std::optional<QString> projectId,
                                                  std::optional<QString> taskId,
                                                  std::optional<QString> description);
    QCoro::Task<APIResult<TimeEntry>> stopTimer(QString entryId);
    QCoro::Task<APIResult<DashboardEarnings>> getDashboardEarnings(std::optional<QString> timezone);

    // Whether the base URL names this machine (a server on the loopback interface).
    bool isLoopback() const;

Q_SIGNALS:
    void authTokenChanged();
    // After each exchange: whether the server answered at all (false: a network failure).
    void reached(bool answered);

private:
    // The body of a 2xx reply. (A wrapper: an expected of a bare QByteArray, which converts from
    // nullptr, trips libstdc++ 12 inside the coroutine machinery.)
    struct SuccessBody {
        QByteArray bytes;
    };

    // An answer that arrived whole, not yet classified by its status.
    struct Answer {
        int status;
        QByteArray data;
        QUrl location;
    };

    // Sends the request and answers with the body of a 2xx reply, or the error for any other
    // outcome (after forgetting the token on a 401).
    QCoro::Task<APIResult<SuccessBody>> send(QString path, HTTPMethod method,
                                             std::optional<QByteArray> body);
    // One request to `url` and its answer, or the failure that came instead.
    QCoro::Task<APIResult<Answer>> exchange(QUrl url, HTTPMethod method,
                                            std::optional<QByteArray> body,
                                            std::optional<QString> token, QDeadlineTimer deadline);
    QNetworkReply* start(const QUrl& url, HTTPMethod method, const std::optional<QByteArray>& body,
                         const std::optional<QString>& token);
    static void reportDecodingFailure(const DecodeError& error, const QByteArray& body);

    QString m_baseURL;
    TokenStore* m_store;
    std::optional<QString> m_authToken;
    Limits m_limits;
    bool m_closing = false;
    qint64 m_peakBufferedBytes = 0;
    QNetworkAccessManager* m_network;
    // Requests waiting for their reply; ended by the destructor so that none waits for ever.
    QSet<class PendingReply*> m_pending;
};

template <class T>
QCoro::Task<APIResult<T>> APIClient::request(QString path, HTTPMethod method,
                                             std::optional<QByteArray> body) {
    const APIResult<SuccessBody> reply = co_await send(std::move(path), method, std::move(body));
    if (!reply) {
        co_return std::unexpected(reply.error());
    }
    auto value = JsonReader::decode<T>(reply->bytes);
    if (!value) {
        reportDecodingFailure(value.error(), reply->bytes);
        co_return std::unexpected(APIClientError::decodingError(value.error()));
    }
    co_return std::move(*value);
}

} // namespace kelvo

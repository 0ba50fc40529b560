// The server's operations: each builds its path, query and body and hands the rest to request().
#include "APIClient.h"

#include "records/CurrentTimeEntryResponse.h"
#include "records/DashboardEarningsResponse.h"
#include "records/LoginRequest.h"
#include "records/ProjectsResponse.h"
#include "records/RegisterRequest.h"
#include "records/StartTimerRequest.h"
#include "records/TasksResponse.h"
#include "records/TimeEntriesResponse.h"
#include "records/TimerResponse.h"

#include <QUrl>

namespace kelvo {

namespace {

using QueryItems = QList<std::pair<QString, QString>>;

QString percentEncoded(const QString& text, const QByteArray& keep) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text, keep));
}

// The bare path when there are no items, else path?name=value&... with names and values encoded
// for a URL query ("/" may stay as it is there).
QString withQuery(const QString& path, const QueryItems& items) {
    if (items.isEmpty()) {
        return path;
    }
    QString query;
    for (const auto& [name, value] : items) {
        if (!query.isEmpty()) {
            query += u'&';
        }
        query += percentEncoded(name, "/:@") + u'=' + percentEncoded(value, "/:@");
    }
    return path + u'?' + query;
}

QString flagText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

template <class T, class F> auto mapValue(std::expected<T, APIClientError>&& result, F&& field) {
    using V = std::decay_t<decltype(field(std::move(*result)))>;
    if (!result) {
        return APIResult<V>(std::unexpected(std::move(result.error())));
    }
    return APIResult<V>(field(std::move(*result)));
}

} // namespace

QCoro::Task<BodyResult<AuthResponse>> APIClient::login(QString email, QString password) {
    const auto body = LoginRequest{std::move(email), std::move(password)}.toJson();
    if (!body) {
        co_return std::unexpected(RequestError(body.error()));
    }
    auto answer =
        co_await request<AuthResponse>(QStringLiteral("/auth/login"), HTTPMethod::POST, *body);
    if (!answer) {
        co_return std::unexpected(RequestError(answer.error()));
    }
    co_return std::move(*answer);
}

QCoro::Task<BodyResult<AuthResponse>>
APIClient::registerAccount(QString name, QString email, QString password,
                           std::optional<double> defaultHourlyRate,
                           std::optional<QString> captchaId, std::optional<QString> captchaValue) {
    const auto body =
        RegisterRequest{std::move(email),  std::move(password),  std::move(name),
                        defaultHourlyRate, std::move(captchaId), std::move(captchaValue)}
            .toJson();
    if (!body) {
        co_return std::unexpected(RequestError(body.error()));
    }
    auto answer =
        co_await request<AuthResponse>(QStringLiteral("/auth/register"), HTTPMethod::POST, *body);
    if (!answer) {
        co_return std::unexpected(RequestError(answer.error()));
    }
    co_return std::move(*answer);
}

QCoro::Task<APIResult<User>> APIClient::getCurrentUser() {
    auto answer =
        co_await request<UserResponse>(QStringLiteral("/auth/me"), HTTPMethod::GET, std::nullopt);
    co_return mapValue(std::move(answer), [](UserResponse&& r) { return std::move(r.user); });
}

QCoro::Task<APIResult<APIClient::RefreshResponse>> APIClient::refreshToken() {
    co_return co_await request<RefreshResponse>(QStringLiteral("/auth/refresh"), HTTPMethod::POST,
                                                std::nullopt);
}

QCoro::Task<APIResult<QList<Project>>> APIClient::getProjects() {
    auto answer = co_await request<ProjectsResponse>(QStringLiteral("/projects"), HTTPMethod::GET,
                                                     std::nullopt);
    co_return mapValue(std::move(answer),
                       [](ProjectsResponse&& r) { return std::move(r.projects); });
}

QCoro::Task<APIResult<QList<KelvoTask>>> APIClient::getTasks(std::optional<QString> projectId,
                                                             std::optional<bool> isCompleted) {
    QueryItems items;
    if (projectId) {
        items.append({QStringLiteral("projectId"), *projectId});
    }
    if (isCompleted) {
        items.append({QStringLiteral("isCompleted"), flagText(*isCompleted)});
    }
    auto answer = co_await request<TasksResponse>(withQuery(QStringLiteral("/tasks"), items),
                                                  HTTPMethod::GET, std::nullopt);
    co_return mapValue(std::move(answer), [](TasksResponse&& r) { return std::move(r.tasks); });
}

QCoro::Task<APIResult<std::optional<TimeEntry>>> APIClient::getCurrentTimeEntry() {
    auto answer = co_await request<CurrentTimeEntryResponse>(
        QStringLiteral("/time-entries/current"), HTTPMethod::GET, std::nullopt);
    if (!answer && answer.error().kind() == APIClientError::Kind::decodingError) {
        // The server says that nothing runs with an answer that has no usable entry.
        co_return std::optional<TimeEntry>();
    }
    co_return mapValue(std::move(answer), [](CurrentTimeEntryResponse&& r) {
        return std::optional<TimeEntry>(std::move(r.timeEntry));
    });
}

QCoro::Task<APIResult<QList<TimeEntry>>> APIClient::getTimeEntries(TimeEntriesQuery query) {
    auto answer = co_await getTimeEntriesPage(std::move(query));
    co_return mapValue(std::move(answer),
                       [](TimeEntriesResponse&& r) { return std::move(r.entries); });
}

QCoro::Task<APIResult<TimeEntriesResponse>>
APIClient::getTimeEntriesPage(TimeEntriesQuery query) {
    QueryItems items;
    if (query.projectId) {
        items.append({QStringLiteral("projectId"), *query.projectId});
    }
    if (query.isRunning) {
        items.append({QStringLiteral("isRunning"), flagText(*query.isRunning)});
    }
    if (query.startDate) {
        items.append({QStringLiteral("startDate"), *query.startDate});
    }
    if (query.endDate) {
        items.append({QStringLiteral("endDate"), *query.endDate});
    }
    if (query.page) {
        items.append({QStringLiteral("page"), QString::number(*query.page)});
    }
    items.append({QStringLiteral("limit"), QString::number(query.limit)});
    co_return co_await request<TimeEntriesResponse>(
        withQuery(QStringLiteral("/time-entries"), items), HTTPMethod::GET, std::nullopt);
}

QCoro::Task<BodyResult<TimeEntry>> APIClient::startTimer(std::optional<QString> projectId,
                                                         std::optional<QString> taskId,
                                                         std::optional<QString> description) {
    const auto body =
        StartTimerRequest{std::move(projectId), std::move(taskId), std::move(description)}.toJson();
    if (!body) {
        co_return std::unexpected(RequestError(body.error()));
    }
    auto answer = co_await request<TimerResponse>(QStringLiteral("/time-entries/start"),
                                                  HTTPMethod::POST, *body);
    if (!answer) {
        co_return std::unexpected(RequestError(answer.error()));
    }
    co_return std::move(answer->timeEntry);
}

QCoro::Task<APIResult<TimeEntry>> APIClient::stopTimer(QString entryId) {
    // The id comes from the server: encoded as one path segment so it cannot reach another path.
    // An empty segment, "." and ".." would still move the request elsewhere once the URL is
    // resolved, so they are refused before anything is sent.
    if (entryId.isEmpty() || entryId == u"." || entryId == u"..") {
        co_return std::unexpected(APIClientError::invalidURL());
    }
    const QString path =
        QStringLiteral("/time-entries/") + percentEncoded(entryId, {}) + QStringLiteral("/stop");
    auto answer = co_await request<TimerResponse>(path, HTTPMethod::POST, std::nullopt);
    co_return mapValue(std::move(answer), [](TimerResponse&& r) { return std::move(r.timeEntry); });
}

QCoro::Task<APIResult<DashboardEarnings>>
APIClient::getDashboardEarnings(std::optional<QString> timezone) {
    QueryItems items;
    if (timezone) {
        items.append({QStringLiteral("timezone"), *timezone});
    }
    auto answer = co_await request<DashboardEarningsResponse>(
        withQuery(QStringLiteral("/users/dashboard-earnings"), items), HTTPMethod::GET,
        std::nullopt);
    co_return mapValue(std::move(answer),
                       [](DashboardEarningsResponse&& r) { return std::move(r.earnings); });
}

} // namespace kelvo

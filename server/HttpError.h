#pragma once

#include <QHttpServerResponse>
#include <QJsonObject>
#include <QString>

#include <expected>
#include <optional>

namespace kelvo::server {

// An answer other than success, always sent as {"error": ..., "message": ...}.
struct HttpError {
    QHttpServerResponse::StatusCode status;
    QString error;   // short text a client may show to its user
    QString message; // the status class in words
    // Sent as Retry-After when set.
    std::optional<qint64> retryAfterSeconds = std::nullopt;

    static HttpError badRequest(QString error) {
        return {QHttpServerResponse::StatusCode::BadRequest, std::move(error),
                QStringLiteral("Bad Request")};
    }
    static HttpError unauthorized(QString error = QStringLiteral("Authentication required")) {
        return {QHttpServerResponse::StatusCode::Unauthorized, std::move(error),
                QStringLiteral("Unauthorized")};
    }
    static HttpError notFound(QString error = QStringLiteral("Not found")) {
        return {QHttpServerResponse::StatusCode::NotFound, std::move(error),
                QStringLiteral("Not Found")};
    }
    static HttpError conflict(QString error) {
        return {QHttpServerResponse::StatusCode::Conflict, std::move(error),
                QStringLiteral("Conflict")};
    }
    static HttpError tooLarge() {
        return {QHttpServerResponse::StatusCode::PayloadTooLarge,
                QStringLiteral("Request body is larger than 1 MiB"),
                QStringLiteral("Payload Too Large")};
    }
    static HttpError tooManyAttempts(qint64 retryAfterSeconds) {
        HttpError error{QHttpServerResponse::StatusCode::TooManyRequests,
                        QStringLiteral("Too many attempts"),
                        QStringLiteral("Too many failed sign-ins; try again in %1 seconds")
                            .arg(retryAfterSeconds)};
        error.retryAfterSeconds = retryAfterSeconds;
        return error;
    }
    static HttpError internal() {
        return {QHttpServerResponse::StatusCode::InternalServerError,
                QStringLiteral("Internal server error"), QStringLiteral("Internal Server Error")};
    }

    QJsonObject toJson() const {
        return {{QStringLiteral("error"), error}, {QStringLiteral("message"), message}};
    }
};

// A handler's successful answer: a status (200 or 201) and a JSON object.
struct HttpReply {
    QJsonObject body;
    QHttpServerResponse::StatusCode status = QHttpServerResponse::StatusCode::Ok;
};

using HandlerResult = std::expected<HttpReply, HttpError>;

} // namespace kelvo::server

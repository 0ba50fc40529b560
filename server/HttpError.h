#pragma once

#include "HttpResponse.h"
#include "HttpStatus.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <expected>
#include <optional>

namespace kelvo::server {

// An answer other than success, always sent as {"error": ..., "message": ...}.
struct HttpError {
    HttpStatus status;
    QString error;   // short text a client may show to its user
    QString message; // the status class in words
    // Sent as Retry-After when set.
    std::optional<qint64> retryAfterSeconds = std::nullopt;

    static HttpError badRequest(QString error) {
        return {HttpStatus::BadRequest, std::move(error), QStringLiteral("Bad Request")};
    }
    static HttpError unauthorized(QString error = QStringLiteral("Authentication required")) {
        return {HttpStatus::Unauthorized, std::move(error), QStringLiteral("Unauthorized")};
    }
    static HttpError notFound(QString error = QStringLiteral("Not found")) {
        return {HttpStatus::NotFound, std::move(error), QStringLiteral("Not Found")};
    }
    static HttpError conflict(QString error) {
        return {HttpStatus::Conflict, std::move(error), QStringLiteral("Conflict")};
    }
    static HttpError tooLarge() {
        return {HttpStatus::PayloadTooLarge, QStringLiteral("Request body is larger than 1 MiB"),
                QStringLiteral("Payload Too Large")};
    }
    static HttpError tooManyHeaders() {
        return {HttpStatus::HeaderFieldsTooLarge, QStringLiteral("Too many header fields"),
                QStringLiteral("Request Header Fields Too Large")};
    }
    static HttpError tooManyAttempts(qint64 retryAfterSeconds) {
        HttpError error{HttpStatus::TooManyRequests, QStringLiteral("Too many attempts"),
                        QStringLiteral("Too many failed sign-ins; try again in %1 seconds")
                            .arg(retryAfterSeconds)};
        error.retryAfterSeconds = retryAfterSeconds;
        return error;
    }
    static HttpError busy() {
        HttpError error{HttpStatus::ServiceUnavailable, QStringLiteral("Server busy"),
                        QStringLiteral("Service Unavailable")};
        error.retryAfterSeconds = 1;
        return error;
    }
    static HttpError internal() {
        return {HttpStatus::InternalServerError, QStringLiteral("Internal server error"),
                QStringLiteral("Internal Server Error")};
    }

    QJsonObject toJson() const {
        return {{QStringLiteral("error"), error}, {QStringLiteral("message"), message}};
    }
    HttpResponse toResponse() const {
        HttpResponse response{status, QJsonDocument(toJson()).toJson(QJsonDocument::Compact), {}};
        if (retryAfterSeconds) {
            response.headers.append({"Retry-After", QByteArray::number(*retryAfterSeconds)});
        }
        return response;
    }
};

// A handler's successful answer: a status (200 or 201) and a JSON object.
struct HttpReply {
    QJsonObject body;
    HttpStatus status = HttpStatus::Ok;
};

using HandlerResult = std::expected<HttpReply, HttpError>;

} // namespace kelvo::server

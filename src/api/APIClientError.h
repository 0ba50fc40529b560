#pragma once

#include "records/DecodeError.h"

#include <QString>

namespace kelvo {

// The one error type of server requests, with the text the user is shown.
class APIClientError {
public:
    enum class Kind {
        invalidURL,
        invalidResponse,
        unauthorized,
        clientError,
        serverError,
        networkError,
        decodingError,
        unknownError,
    };

    static APIClientError invalidURL() { return APIClientError(Kind::invalidURL); }
    static APIClientError invalidResponse() { return APIClientError(Kind::invalidResponse); }
    static APIClientError unauthorized() { return APIClientError(Kind::unauthorized); }
    // `status` is the 4xx status, when known.
    static APIClientError clientError(QString message, int status = 0) {
        APIClientError error(Kind::clientError, std::move(message));
        error.m_status = status;
        return error;
    }
    static APIClientError serverError() { return APIClientError(Kind::serverError); }
    // `transportDescription` is the transport's own text, e.g. "Connection refused".
    static APIClientError networkError(QString transportDescription) {
        return APIClientError(Kind::networkError, std::move(transportDescription));
    }
    static APIClientError decodingError(const DecodeError& error) {
        return APIClientError(Kind::decodingError, error.description());
    }
    static APIClientError unknownError() { return APIClientError(Kind::unknownError); }

    Kind kind() const { return m_kind; }
    // The message of a client error, the transport text of a network error or the decoder's text
    // of a decoding error; empty for the other kinds.
    const QString& payload() const { return m_payload; }
    // The status of a client error (0 when unknown).
    int status() const { return m_status; }
    // A failure that may pass when the same request is sent again later: no answer in time, the
    // server busy or failing, or an answer that arrived unreadable.
    bool isTransient() const;

    QString errorDescription() const;
    // Case name and payload, for diagnostic lines: networkError("Connection refused").
    QString debugDescription() const;

private:
    explicit APIClientError(Kind kind, QString payload = {})
        : m_kind(kind)
        , m_payload(std::move(payload)) {}

    Kind m_kind;
    QString m_payload;
    int m_status = 0;
};

} // namespace kelvo

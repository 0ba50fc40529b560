#include "APIClientError.h"

#include "records/Secrets.h"

namespace kelvo {

QString APIClientError::errorDescription() const {
    switch (m_kind) {
    case Kind::invalidURL:
        return QStringLiteral("Invalid URL");
    case Kind::invalidResponse:
        return QStringLiteral("Invalid response");
    case Kind::unauthorized:
        return QStringLiteral("Unauthorized - please log in again");
    case Kind::clientError:
        return Secrets::masked(m_payload);
    case Kind::serverError:
        return QStringLiteral("Server error - please try again later");
    case Kind::networkError:
        return QStringLiteral("Network error: ") + m_payload;
    case Kind::decodingError:
        return QStringLiteral("Data parsing error: ") + Secrets::masked(m_payload);
    case Kind::unknownError:
        return QStringLiteral("Unknown error occurred");
    }
    return {};
}

bool APIClientError::isTransient() const {
    switch (m_kind) {
    case Kind::networkError:
    case Kind::serverError:
    case Kind::decodingError:
        return true;
    case Kind::clientError:
        return m_status == 408 || m_status == 429; // Request Timeout, Too Many Requests
    default:
        return false;
    }
}

QString APIClientError::debugDescription() const {
    static const char* const names[] = {"invalidURL",    "invalidResponse", "unauthorized",
                                        "clientError",   "serverError",     "networkError",
                                        "decodingError", "unknownError"};
    QString text = QString::fromLatin1(names[int(m_kind)]);
    if (m_kind == Kind::clientError || m_kind == Kind::networkError ||
        m_kind == Kind::decodingError) {
        text += QStringLiteral("(\"") + Secrets::masked(m_payload) + QStringLiteral("\")");
    }
    return text;
}

} // namespace kelvo

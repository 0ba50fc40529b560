#pragma once

#include "APIClientError.h"
#include "records/EncodingError.h"

#include <variant>

namespace kelvo {

// What an operation that sends a body can fail with: the client's error, or a body that could
// not be encoded (in which case nothing was sent).
class RequestError {
public:
    RequestError(APIClientError error) : m_error(std::move(error)) {}
    RequestError(EncodingError error) : m_error(std::move(error)) {}

    const APIClientError* clientError() const { return std::get_if<APIClientError>(&m_error); }
    const EncodingError* encodingError() const { return std::get_if<EncodingError>(&m_error); }

    QString errorDescription() const {
        if (auto* client = clientError()) {
            return client->errorDescription();
        }
        return std::get<EncodingError>(m_error).description();
    }
    QString debugDescription() const {
        if (auto* client = clientError()) {
            return client->debugDescription();
        }
        return QStringLiteral("encodingError(\"") + std::get<EncodingError>(m_error).description() +
               QStringLiteral("\")");
    }

private:
    std::variant<APIClientError, EncodingError> m_error;
};

} // namespace kelvo

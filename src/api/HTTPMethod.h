#pragma once

#include <QByteArray>

namespace kelvo {

enum class HTTPMethod { GET, POST, PUT, DELETE };

inline QByteArray wireText(HTTPMethod method) {
    switch (method) {
    case HTTPMethod::GET:
        return QByteArrayLiteral("GET");
    case HTTPMethod::POST:
        return QByteArrayLiteral("POST");
    case HTTPMethod::PUT:
        return QByteArrayLiteral("PUT");
    case HTTPMethod::DELETE:
        return QByteArrayLiteral("DELETE");
    }
    return {};
}

} // namespace kelvo

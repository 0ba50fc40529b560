#pragma once

#include "HttpStatus.h"

#include <QByteArray>
#include <QList>

#include <utility>

namespace kelvo::server {

// An answer: a status, a JSON body and any further headers.
struct HttpResponse {
    HttpStatus status = HttpStatus::Ok;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
};

} // namespace kelvo::server

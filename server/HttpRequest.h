#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QUrlQuery>

#include <utility>

namespace kelvo::server {

// One whole request as the client sent it: nothing in the target is decoded before routing.
struct HttpRequest {
    QByteArray method;
    QByteArray target; // path and query, percent-encoded as sent
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QHostAddress peer;

    QByteArray path() const {
        const qsizetype mark = target.indexOf('?');
        return mark < 0 ? target : target.left(mark);
    }
    QByteArray queryText() const {
        const qsizetype mark = target.indexOf('?');
        return mark < 0 ? QByteArray() : target.mid(mark + 1);
    }
    QUrlQuery query() const { return QUrlQuery(QString::fromUtf8(queryText())); }
    // The first header of that name (names compare without case), or nothing.
    QByteArray header(QByteArrayView name) const {
        for (const auto& [key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0) {
                return value;
            }
        }
        return {};
    }
};

} // namespace kelvo::server

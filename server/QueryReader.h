#pragma once

#include "HttpError.h"

#include <QUrlQuery>

#include <optional>

namespace kelvo::server {

// Reads query parameters strictly; a present but malformed value is a 400 naming the parameter.
class QueryReader {
public:
    explicit QueryReader(QUrlQuery query) : m_query(std::move(query)) {}

    std::optional<QString> text(const QString& name) const;
    std::expected<std::optional<bool>, HttpError> flag(const QString& name) const;
    std::expected<std::optional<qint64>, HttpError> positiveInteger(const QString& name) const;
    // An ISO 8601 date or date-time (UTC when it has no offset), in ms since the epoch. With
    // `endOfDay`, a bare date means the last millisecond of that day.
    std::expected<std::optional<qint64>, HttpError> instant(const QString& name,
                                                            bool endOfDay) const;

private:
    QUrlQuery m_query;
};

} // namespace kelvo::server

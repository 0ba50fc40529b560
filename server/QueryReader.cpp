#include "QueryReader.h"

#include <QDateTime>

namespace kelvo::server {

std::optional<QString> QueryReader::text(const QString& name) const {
    if (!m_query.hasQueryItem(name)) {
        return std::nullopt;
    }
    return m_query.queryItemValue(name, QUrl::FullyDecoded);
}

std::expected<std::optional<bool>, HttpError> QueryReader::flag(const QString& name) const {
    const auto value = text(name);
    if (!value) {
        return std::nullopt;
    }
    if (*value == QStringLiteral("true") || *value == QStringLiteral("false")) {
        return *value == QStringLiteral("true");
    }
    return std::unexpected(HttpError::badRequest(name + QStringLiteral(" must be true or false")));
}

std::expected<std::optional<qint64>, HttpError>
QueryReader::positiveInteger(const QString& name) const {
    const auto value = text(name);
    if (!value) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 number = value->toLongLong(&ok);
    if (!ok || number < 1) {
        return std::unexpected(
            HttpError::badRequest(name + QStringLiteral(" must be a positive whole number")));
    }
    return number;
}

std::expected<std::optional<qint64>, HttpError> QueryReader::instant(const QString& name,
                                                                     bool endOfDay) const {
    const auto value = text(name);
    if (!value) {
        return std::nullopt;
    }
    const QDate date = QDate::fromString(*value, Qt::ISODate);
    if (date.isValid() && value->size() == 10) {
        const QDateTime start = date.startOfDay(Qt::UTC);
        return endOfDay ? start.addDays(1).toMSecsSinceEpoch() - 1 : start.toMSecsSinceEpoch();
    }
    QDateTime moment = QDateTime::fromString(*value, Qt::ISODateWithMs);
    if (!moment.isValid()) {
        return std::unexpected(
            HttpError::badRequest(name + QStringLiteral(" must be an ISO 8601 date or time")));
    }
    if (moment.timeSpec() == Qt::LocalTime) {
        moment.setTimeSpec(Qt::UTC);
    }
    return moment.toMSecsSinceEpoch();
}

} // namespace kelvo::server

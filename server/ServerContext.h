#pragma once

#include "Database.h"

#include <QDateTime>
#include <QJsonValue>
#include <QVariant>

#include <functional>

namespace kelvo::server {

// What every handler shares: the database, the clock (milliseconds since the epoch; tests set
// it) and the cost of password hashing.
struct ServerContext {
    Database& db;
    std::function<qint64()> nowMs;
    int passwordIterations;

    static QJsonValue nullable(const QVariant& value) {
        return value.isNull() ? QJsonValue() : QJsonValue::fromVariant(value);
    }
    static QString timestamp(qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
    }
};

} // namespace kelvo::server

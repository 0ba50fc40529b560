#pragma once

#include <QDateTime>
#include <QStringView>

#include <optional>

namespace kelvo::Timestamp {

// RFC 3339 date-time, with or without fractional seconds, "Z" or a numeric offset. The whole
// text must match and the date and time must exist. The result is in UTC.
std::optional<QDateTime> parseInternetDateTime(QStringView text);

// The start-time forms the timer accepts, all ending in a literal "Z": milliseconds, whole
// seconds, or microseconds. A numeric offset matches none of them.
std::optional<QDateTime> parseStartTime(QStringView text);

// Whole seconds from `from` to `to`, truncated toward zero and never negative.
qint64 secondsBetween(const QDateTime& from, const QDateTime& to);

} // namespace kelvo::Timestamp

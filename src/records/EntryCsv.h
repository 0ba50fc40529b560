#pragma once

#include "TimeEntry.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QTimeZone>

namespace kelvo {

// Entries as a timesheet: RFC 4180 text in UTF-8, one row per entry with its local date, start
// and end, hours, project, task, description, rate and amount. Texts a spreadsheet would run as
// a formula are kept as text.
class EntryCsv {
public:
    static QByteArray header();
    // One row (CRLF-terminated); a running entry counts up to `now` and has no end. Nothing for an
    // entry whose start cannot be read.
    static QByteArray row(const TimeEntry& entry, const QTimeZone& zone, const QDateTime& now);
    // The header and a row for each entry, in the order given.
    static QByteArray document(const QList<TimeEntry>& entries, const QTimeZone& zone,
                               const QDateTime& now);
    // The entry's rate snapshot, when it is a number that can be billed.
    static std::optional<double> rateOf(const TimeEntry& entry);
    // "2026-12-07T09:30:00": `instant` in `zone`, to the second.
    static QString localText(const QDateTime& instant, const QTimeZone& zone);
    // A cell as written: on one line without control characters, an apostrophe before a leading
    // "=", "+", "-", "@", tab or carriage return when `guarded`, and quotes around it when it
    // holds a comma or a quote.
    static QByteArray cell(const QString& text, bool guarded);
};

} // namespace kelvo

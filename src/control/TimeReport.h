#pragma once

#include "ControlReply.h"
#include "records/TimeEntry.h"
#include "records/TimeTally.h"

#include <QByteArray>
#include <QCoroTask>
#include <QDate>
#include <QDateTime>
#include <QList>

#include <expected>
#include <optional>

namespace kelvo {

class APIClient;

// `kelvo report`: the entries that start within some local dates, and what each day, each
// project and the whole range add up to (only the parts within the range count), for a terminal
// (a table), a spreadsheet (CSV) or a program (JSON).
class TimeReport {
public:
    enum class Format { table, csv, json };
    struct Dates {
        QDate from;
        QDate to;
    };
    // The longest range a report covers, so a typo in a year cannot ask for centuries of days.
    static constexpr qint64 maximumDays = 3'660;

    static std::optional<Format> formatNamed(const QString& name);
    // The dates asked for, or the usage error: by default the week (Monday to Sunday) of `today`;
    // --from alone runs to today, --to alone from the Monday of its week.
    static std::expected<Dates, QString> datesFor(const std::optional<QString>& from,
                                                  const std::optional<QString>& to, QDate today);

    TimeReport(Dates dates, const QTimeZone& zone, const QDateTime& now,
               const QList<TimeEntry>& entries);

    QByteArray text(Format format) const;

    struct Text {
        QByteArray bytes;
    };
    // Reads the range from the server: the report's text, or how the command ends.
    static QCoro::Task<std::expected<Text, ControlReply>> run(APIClient* client, Dates dates, Format format, QDateTime now);

private:
    QByteArray table() const;
    QByteArray json() const;

    TimeTally m_tally;
    QList<TimeEntry> m_starting;
    QDateTime m_now;
};

} // namespace kelvo

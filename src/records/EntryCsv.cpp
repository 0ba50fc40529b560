#include "EntryCsv.h"

#include "PlainText.h"
#include "TimeTally.h"

#include <cmath>

namespace kelvo {

namespace {

QString twoDecimals(double value) {
    return QString::number(value, 'f', 2);
}

} // namespace

QByteArray EntryCsv::header() {
    return QByteArrayLiteral("date,start,end,hours,project,task,description,rate,amount\r\n");
}

std::optional<double> EntryCsv::rateOf(const TimeEntry& entry) {
    const auto& rate = entry.hourlyRateSnapshot;
    return rate && std::isfinite(*rate) ? rate : std::nullopt;
}

QString EntryCsv::localText(const QDateTime& instant, const QTimeZone& zone) {
    return instant.toTimeZone(zone).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QByteArray EntryCsv::cell(const QString& text, bool guarded) {
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    const auto formula = [](const QString& t) { return !t.isEmpty() && formulaStarts.contains(t.front()); };
    // One row per entry, and nothing a terminal would act on when the rows are printed.
    QString value = PlainText::line(text);
    if (guarded && (formula(text) || formula(value))) {
        value.prepend(u'\'');
    }
    if (value.contains(u',') || value.contains(u'"')) {
        value = u'"' + value.replace(u'"', QStringLiteral("\"\"")) + u'"';
    }
    return value.toUtf8();
}

QByteArray EntryCsv::row(const TimeEntry& entry, const QTimeZone& zone, const QDateTime& now) {
    const auto span = TimeTally::span(entry, now);
    if (!span) {
        return {};
    }
    const qint64 ms = span->milliseconds();
    const auto rate = rateOf(entry);
    const QList<QByteArray> cells{
        span->start.toTimeZone(zone).date().toString(Qt::ISODate).toUtf8(),
        localText(span->start, zone).toUtf8(),
        entry.isRunning ? QByteArray() : localText(span->end, zone).toUtf8(),
        twoDecimals(double(ms) / 3'600'000.0).toUtf8(),
        cell(entry.project ? entry.project->name : QString(), true),
        cell(entry.task ? entry.task->name : QString(), true),
        cell(entry.description.value_or(QString()), true),
        rate ? twoDecimals(*rate).toUtf8() : QByteArray(),
        rate ? twoDecimals(TimeTally::roundedToCents(TimeTally::earningsOf(ms, rate))).toUtf8()
             : QByteArray(),
    };
    return cells.join(',') + "\r\n";
}

QByteArray EntryCsv::document(const QList<TimeEntry>& entries, const QTimeZone& zone,
                              const QDateTime& now) {
    QByteArray text = header();
    for (const TimeEntry& entry : entries) {
        text += row(entry, zone, now);
    }
    return text;
}

} // namespace kelvo

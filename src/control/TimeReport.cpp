#include "TimeReport.h"

#include "TimerCommands.h"
#include "records/EntryCsv.h"
#include "records/Formatting.h"
#include "records/PlainText.h"
#include "state/EntryPager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

std::optional<QDate> dateNamed(const QString& text) {
    const QDate date = QDate::fromString(text, u"yyyy-MM-dd"_s);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

QJsonValue orNull(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue cents(double amount) {
    return TimeTally::roundedToCents(amount);
}

QJsonObject figures(qint64 milliseconds, double earnings) {
    return {{u"seconds"_s, TimeTally::seconds(milliseconds)}, {u"earnings"_s, cents(earnings)}};
}

// "Web  12 h 30 m  $750.00", in columns.
QString tableLine(const QString& label, qint64 milliseconds, double earnings) {
    constexpr int labelWidth = 26;
    QString name = PlainText::line(label);
    if (name.size() > labelWidth - 1) {
        name = name.left(labelWidth - 2) + u'\u2026';
    }
    return name.leftJustified(labelWidth) +
           TimeTally::spanText(milliseconds).rightJustified(12) +
           TimeTally::sumText(earnings).rightJustified(14) + u'\n';
}

} // namespace

std::optional<TimeReport::Format> TimeReport::formatNamed(const QString& name) {
    if (name == u"table") {
        return Format::table;
    }
    if (name == u"csv") {
        return Format::csv;
    }
    if (name == u"json") {
        return Format::json;
    }
    return std::nullopt;
}

std::expected<TimeReport::Dates, QString>
TimeReport::datesFor(const std::optional<QString>& from, const std::optional<QString>& to,
                     QDate today) {
    const auto parsed = [](const std::optional<QString>& text) -> std::expected<QDate, QString> {
        const auto date = dateNamed(*text);
        if (!date) {
            return std::unexpected(u"\"%1\" is not a date (YYYY-MM-DD)"_s.arg(*text));
        }
        return *date;
    };
    Dates dates{today.addDays(1 - today.dayOfWeek()), today.addDays(7 - today.dayOfWeek())};
    if (from) {
        const auto date = parsed(from);
        if (!date) {
            return std::unexpected(date.error());
        }
        dates = {*date, today};
    }
    if (to) {
        const auto date = parsed(to);
        if (!date) {
            return std::unexpected(date.error());
        }
        dates.to = *date;
        if (!from) {
            dates.from = date->addDays(1 - date->dayOfWeek());
        }
    }
    if (dates.from > dates.to) {
        return std::unexpected(u"--from %1 is after --to %2"_s.arg(
            dates.from.toString(Qt::ISODate), dates.to.toString(Qt::ISODate)));
    }
    if (dates.from.daysTo(dates.to) >= maximumDays) {
        return std::unexpected(u"a report covers at most %1 days"_s.arg(maximumDays));
    }
    return dates;
}

TimeReport::TimeReport(Dates dates, const QTimeZone& zone, const QDateTime& now,
                       const QList<TimeEntry>& entries)
    : m_tally(dates.from, dates.to, zone)
    , m_now(now) {
    for (const TimeEntry& entry : entries) {
        m_tally.add(entry, now);
    }
    m_starting = m_tally.startingWithin(entries);
}

QByteArray TimeReport::text(Format format) const {
    switch (format) {
    case Format::csv:
        return EntryCsv::document(m_starting, m_tally.zone(), m_now);
    case Format::json:
        return json();
    case Format::table:
        break;
    }
    return table();
}

QByteArray TimeReport::table() const {
    QString text;
    for (const TimeTally::Day& day : m_tally.days()) {
        text += tableLine(QLocale::c().toString(day.date, u"ddd d MMM yyyy"_s), day.milliseconds,
                          day.earnings);
    }
    if (!m_tally.projects().isEmpty()) {
        text += u"\nProjects\n"_s;
        for (const TimeTally::Project& project : m_tally.projects()) {
            text += tableLine(u"  "_s + project.name, project.milliseconds, project.earnings);
        }
    }
    text += u'\n' + tableLine(u"Total"_s, m_tally.milliseconds(), m_tally.earnings());
    return text.toUtf8();
}

QByteArray TimeReport::json() const {
    QJsonArray days;
    for (const TimeTally::Day& day : m_tally.days()) {
        QJsonObject object = figures(day.milliseconds, day.earnings);
        object.insert(u"date"_s, day.date.toString(Qt::ISODate));
        days.append(object);
    }
    QJsonArray projects;
    for (const TimeTally::Project& project : m_tally.projects()) {
        QJsonObject object = figures(project.milliseconds, project.earnings);
        object.insert(u"id"_s, project.id.isEmpty() ? QJsonValue() : QJsonValue(project.id));
        object.insert(u"name"_s, project.name);
        object.insert(u"color"_s, orNull(project.color));
        projects.append(object);
    }
    QJsonArray entries;
    const QTimeZone& zone = m_tally.zone();
    for (const TimeEntry& entry : m_starting) {
        const auto span = TimeTally::span(entry, m_now);
        if (!span) {
            continue; // its end cannot be read: the CSV leaves it out too
        }
        const auto rate = EntryCsv::rateOf(entry);
        const QJsonValue none;
        entries.append(QJsonObject{
            {u"id"_s, entry.id},
            {u"date"_s, span->start.toTimeZone(zone).date().toString(Qt::ISODate)},
            {u"start"_s, span->start.toTimeZone(zone).toString(Qt::ISODate)},
            {u"end"_s, entry.isRunning ? none : span->end.toTimeZone(zone).toString(Qt::ISODate)},
            {u"seconds"_s, TimeTally::seconds(span->milliseconds())},
            {u"project"_s, entry.project ? QJsonObject{{u"id"_s, entry.project->id},
                                                       {u"name"_s, entry.project->name},
                                                       {u"color"_s, orNull(entry.project->color)}}
                                         : none},
            {u"task"_s, entry.task ? QJsonObject{{u"id"_s, entry.task->id},
                                                 {u"name"_s, entry.task->name}}
                                   : none},
            {u"description"_s, orNull(entry.description)},
            {u"rate"_s, rate ? QJsonValue(*rate) : none},
            {u"amount"_s, rate ? cents(TimeTally::earningsOf(span->milliseconds(), rate)) : none},
        });
    }
    const QJsonObject report{
        {u"version"_s, 1},
        {u"from"_s, m_tally.from().toString(Qt::ISODate)},
        {u"to"_s, m_tally.to().toString(Qt::ISODate)},
        {u"total"_s, figures(m_tally.milliseconds(), m_tally.earnings())},
        {u"days"_s, days},
        {u"projects"_s, projects},
        {u"entries"_s, entries},
    };
    return PlainText::json(QJsonDocument(report).toJson(QJsonDocument::Compact)) + '\n';
}

QCoro::Task<std::expected<TimeReport::Text, ControlReply>>
TimeReport::run(APIClient* client, Dates dates, Format format, QDateTime now) {
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const auto [from, to] = EntryPager::requestSpan(dates.from, dates.to, zone);
    const auto read = co_await EntryPager::load(client, from, to);
    if (!read) {
        co_return std::unexpected(TimerCommands::failure(read.error()));
    }
    if (read->truncated) {
        co_return std::unexpected(ControlReply::failure(
            ExitCode::failed, u"More than %L1 entries (or pages) from %2 to %3: ask for fewer dates."_s.arg(
                                  EntryPager::maximumEntries)
                                  .arg(dates.from.toString(Qt::ISODate),
                                       dates.to.toString(Qt::ISODate))));
    }
    co_return Text{TimeReport(dates, zone, now, read->entries).text(format)};
}

} // namespace kelvo

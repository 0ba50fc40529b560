#include "Earnings.h"

#include "QueryReader.h"

#include <QDateTime>

#include <cmath>

namespace kelvo::server {

namespace {

double cents(double amount) {
    return std::round(amount * 100.0) / 100.0;
}

QJsonObject periodJson(const Earnings::Total& total) {
    return {{QStringLiteral("earnings"), cents(total.earnings)},
            {QStringLiteral("duration"), total.milliseconds / 1000}};
}

} // namespace

Earnings::Total Earnings::within(const QList<Span>& spans, qint64 fromMs, qint64 toMs) {
    Total total;
    for (const Span& span : spans) {
        const qint64 begin = std::max(span.startMs, fromMs);
        const qint64 end = std::min(span.endMs, toMs);
        if (end > begin) {
            total.milliseconds += end - begin;
            total.earnings += double(end - begin) / 3'600'000.0 * span.rate;
        }
    }
    return total;
}

qint64 Earnings::startOfDay(qint64 nowMs, const QTimeZone& zone) {
    const QDate today = QDateTime::fromMSecsSinceEpoch(nowMs, zone).date();
    return today.startOfDay(zone).toMSecsSinceEpoch();
}

bool Earnings::isZoneIdForm(QStringView id) {
    if (id.isEmpty() || id.size() > 64) {
        return false;
    }
    for (QChar c : id) {
        const char16_t u = c.unicode();
        const bool allowed = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                             (u >= u'0' && u <= u'9') || u == u'.' || u == u'_' || u == u'+' ||
                             u == u'-' || u == u'/' || u == u',' || u == u':' || u == u'<' ||
                             u == u'>';
        if (!allowed) {
            return false;
        }
    }
    for (QStringView part : id.split(u'/')) {
        if (part.isEmpty() || part == u"." || part == u"..") {
            return false;
        }
    }
    return true;
}

qint64 Earnings::startOfWeek(qint64 nowMs, const QTimeZone& zone) {
    const QDate today = QDateTime::fromMSecsSinceEpoch(nowMs, zone).date();
    return today.addDays(1 - today.dayOfWeek()).startOfDay(zone).toMSecsSinceEpoch();
}

HandlerResult Earnings::dashboard(const QString& userId, const QUrlQuery& query) {
    QTimeZone zone = QTimeZone::utc();
    if (const auto name = QueryReader(query).text(QStringLiteral("timezone"))) {
        // The id becomes a path under the zone database inside Qt: only the form of an id.
        const bool wellFormed = isZoneIdForm(*name);
        if (wellFormed) {
            zone = QTimeZone(name->toUtf8());
        }
        if (!wellFormed || !zone.isValid()) {
            return std::unexpected(
                HttpError::badRequest(QStringLiteral("timezone must be an IANA time zone name")));
        }
    }
    const qint64 now = m_context.nowMs();
    const qint64 weekStart = startOfWeek(now, zone);
    auto rows = m_context.db.exec(
        QStringLiteral("SELECT start_ms, end_ms, hourly_rate_snapshot FROM time_entries "
                       "WHERE user_id = ? AND start_ms < ? AND (end_ms IS NULL OR end_ms > ?)"),
        {userId, now, weekStart});
    auto user = m_context.db.exec(
        QStringLiteral("SELECT default_hourly_rate FROM users WHERE id = ?"), {userId});
    if (!rows || !user || !user->next()) {
        return std::unexpected(HttpError::internal());
    }
    QList<Span> spans;
    std::optional<Span> running;
    while (rows->next()) {
        const Span span{rows->value(0).toLongLong(),
                        rows->value(1).isNull() ? now : rows->value(1).toLongLong(),
                        rows->value(2).toDouble()};
        spans.append(span);
        if (rows->value(1).isNull()) {
            running = span;
        }
    }
    // The running entry may have started before this week; its own figures count all of it.
    if (!running) {
        auto open = m_context.db.exec(
            QStringLiteral("SELECT start_ms, hourly_rate_snapshot FROM time_entries "
                           "WHERE user_id = ? AND end_ms IS NULL"),
            {userId});
        if (open && open->next()) {
            running = Span{open->value(0).toLongLong(), now, open->value(1).toDouble()};
        }
    }
    const Total timer = running ? within({*running}, running->startMs, now) : Total{};
    const double timerRate = running ? running->rate : user->value(0).toDouble();
    return HttpReply{
        {{QStringLiteral("earnings"),
          QJsonObject{
              {QStringLiteral("currentTimer"),
               QJsonObject{{QStringLiteral("earnings"), cents(timer.earnings)},
                           {QStringLiteral("duration"), timer.milliseconds / 1000},
                           {QStringLiteral("isRunning"), running.has_value()},
                           {QStringLiteral("hourlyRate"), timerRate}}},
              {QStringLiteral("today"), periodJson(within(spans, startOfDay(now, zone), now))},
              {QStringLiteral("thisWeek"), periodJson(within(spans, weekStart, now))}}}}};
}

} // namespace kelvo::server

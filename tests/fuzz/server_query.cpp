// Query strings as kelvo-server reads them: each parameter a route reads, and the time zone of
// the earnings. Counts read are positive, a period given by dates does not end before it starts,
// and a zone's day and week start by now.
#include "FuzzSupport.h"

#include "Earnings.h"
#include "QueryReader.h"

using namespace kelvo::server;
using kelvo::fuzz::require;

namespace {

void checkZone(const QueryReader& query) {
    const auto name = query.text(QStringLiteral("timezone"));
    if (!name || !Earnings::isZoneIdForm(*name)) {
        return;
    }
    const QTimeZone zone(name->toUtf8());
    if (zone.isValid()) {
        constexpr qint64 now = 1'780'000'000'000; // a Thursday in 2026
        const qint64 day = Earnings::startOfDay(now, zone);
        const qint64 week = Earnings::startOfWeek(now, zone);
        require(day <= now && week <= day, "the week starts before the day, both by now");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QueryReader query(QUrlQuery(QString::fromUtf8(kelvo::fuzz::bytes(data, size))));
    query.text(QStringLiteral("projectId"));
    query.flag(QStringLiteral("isRunning"));
    query.flag(QStringLiteral("isCompleted"));
    for (const QString& name : {QStringLiteral("page"), QStringLiteral("limit")}) {
        const auto count = query.positiveInteger(name);
        require(!count || !*count || **count > 0, "counts are positive");
    }
    const auto from = query.instant(QStringLiteral("startDate"), false);
    const auto fromDayEnd = query.instant(QStringLiteral("startDate"), true);
    require(from.has_value() == fromDayEnd.has_value(), "a date reads either way or not at all");
    if (from && *from && *fromDayEnd) {
        require(**from <= **fromDayEnd, "a day's end is not before its start");
    }
    checkZone(query);
    return 0;
}

#pragma once

#include "HttpError.h"
#include "ServerContext.h"

#include <QTimeZone>
#include <QUrlQuery>

namespace kelvo::server {

// What a user's tracked time is worth: the running timer, today and this ISO week (from Monday
// 00:00) in the caller's time zone. An entry counts only the part that lies inside the period;
// a running entry counts up to now.
class Earnings {
public:
    explicit Earnings(ServerContext& context) : m_context(context) {}

    HandlerResult dashboard(const QString& userId, const QUrlQuery& query);

    struct Span {
        qint64 startMs;
        qint64 endMs; // now for a running entry
        double rate;  // money per hour; 0 without a rate
    };
    struct Total {
        qint64 milliseconds = 0;
        double earnings = 0;
    };
    // The part of each span inside [fromMs, toMs), summed.
    static Total within(const QList<Span>& spans, qint64 fromMs, qint64 toMs);
    // Midnight today and Monday 00:00 of this week in `zone`, as ms since the epoch.
    static qint64 startOfDay(qint64 nowMs, const QTimeZone& zone);
    static qint64 startOfWeek(qint64 nowMs, const QTimeZone& zone);
    // Letters, digits, ".", "_", "+", "-", "/" (and ",", ":", "<", ">" of a POSIX rule such as
    // a TZ variable may give) between non-empty parts that are not "." or "..": nothing that
    // could leave the zone database when Qt makes a path of it.
    static bool isZoneIdForm(QStringView id);

private:
    ServerContext& m_context;
};

} // namespace kelvo::server

#include "TimeEntry.h"

#include "Formatting.h"
#include "Timestamp.h"

namespace kelvo {

qint64 TimeEntry::elapsedSeconds(const QDateTime& now) const {
    const auto start = Timestamp::parseInternetDateTime(startTime);
    return start ? Timestamp::secondsBetween(*start, now) : 0;
}

bool TimeEntry::startsBefore1970() const {
    const auto start = Timestamp::parseInternetDateTime(startTime);
    return start && start->toSecsSinceEpoch() < 0;
}

QString TimeEntry::formattedDuration(const QDateTime& now) const {
    const bool counted = !duration && isRunning;
    const qint64 total = duration ? *duration : (counted ? elapsedSeconds(now) : 0);
    if (!isShowableSpan(total) || (counted && startsBefore1970())) {
        return unshowableFigure();
    }
    const qint64 hours = total / 3600;
    const qint64 minutes = (total - hours * 3600) / 60;
    const qint64 seconds = total - (total / 60) * 60;
    if (hours == 0 && minutes == 0) {
        return QString::asprintf("%2lld sec", static_cast<long long>(seconds));
    }
    return QString::asprintf("%02lld:%02lld", static_cast<long long>(hours),
                             static_cast<long long>(minutes));
}

} // namespace kelvo

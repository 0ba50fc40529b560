#include "TimeEntry.h"

#include "Formatting.h"
#include "Timestamp.h"

namespace kelvo {

qint64 TimeEntry::elapsedSeconds(const QDateTime& now) const {
    const auto start = Timestamp::parseInternetDateTime(startTime);
    return start ? Timestamp::secondsBetween(*start, now) : 0;
}

QString TimeEntry::formattedDuration(const QDateTime& now) const {
    const qint64 total = duration ? *duration : (isRunning ? elapsedSeconds(now) : 0);
    if (!isShowableSpan(total)) {
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

std::optional<double> TimeEntry::earningsAfter(qint64 seconds) const {
    if (!hourlyRateSnapshot) {
        return std::nullopt;
    }
    return *hourlyRateSnapshot * double(seconds) / 3600.0;
}

} // namespace kelvo

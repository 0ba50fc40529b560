#pragma once

#include "JsonReader.h"

namespace kelvo {

struct CurrentTimerEarnings {
    double earnings = 0;
    qint64 duration = 0;
    bool isRunning = false;
    double hourlyRate = 0;

    bool operator==(const CurrentTimerEarnings&) const = default;

    static CurrentTimerEarnings fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.real("earnings"_L1), r.integer("duration"_L1), r.flag("isRunning"_L1),
                r.real("hourlyRate"_L1)};
    }
};

struct PeriodEarnings {
    double earnings = 0;
    qint64 duration = 0;

    bool operator==(const PeriodEarnings&) const = default;

    static PeriodEarnings fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.real("earnings"_L1), r.integer("duration"_L1)};
    }
};

// What the tracked time is worth, as the server computed it.
struct DashboardEarnings {
    CurrentTimerEarnings currentTimer;
    PeriodEarnings today;
    PeriodEarnings thisWeek;

    bool operator==(const DashboardEarnings&) const = default;

    static DashboardEarnings fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.record<CurrentTimerEarnings>("currentTimer"_L1),
                r.record<PeriodEarnings>("today"_L1), r.record<PeriodEarnings>("thisWeek"_L1)};
    }
};

} // namespace kelvo

#pragma once

#include "TimeEntry.h"

namespace kelvo {

struct TimerResponse {
    QString message;
    TimeEntry timeEntry;

    bool operator==(const TimerResponse&) const = default;

    static TimerResponse fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("message"_L1), r.record<TimeEntry>("timeEntry"_L1)};
    }
};

} // namespace kelvo

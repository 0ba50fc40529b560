#pragma once

#include "TimeEntry.h"

namespace kelvo {

// The running entry. Its entry is required: an answer without one does not decode.
struct CurrentTimeEntryResponse {
    TimeEntry timeEntry;

    bool operator==(const CurrentTimeEntryResponse&) const = default;

    static CurrentTimeEntryResponse fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.record<TimeEntry>("timeEntry"_L1)};
    }
};

} // namespace kelvo

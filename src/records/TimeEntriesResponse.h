#pragma once

#include "Pagination.h"
#include "TimeEntry.h"

namespace kelvo {

struct TimeEntriesResponse {
    QList<TimeEntry> entries;
    std::optional<Pagination> pagination;

    bool operator==(const TimeEntriesResponse&) const = default;

    static TimeEntriesResponse fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.list<TimeEntry>("entries"_L1), r.optionalRecord<Pagination>("pagination"_L1)};
    }
};

} // namespace kelvo

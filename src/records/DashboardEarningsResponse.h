#pragma once

#include "DashboardEarnings.h"

namespace kelvo {

struct DashboardEarningsResponse {
    DashboardEarnings earnings;

    bool operator==(const DashboardEarningsResponse&) const = default;

    static DashboardEarningsResponse fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.record<DashboardEarnings>("earnings"_L1)};
    }
};

} // namespace kelvo

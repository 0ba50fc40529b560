#pragma once

#include "JsonReader.h"

namespace kelvo {

struct Pagination {
    qint64 page = 0;
    qint64 limit = 0;
    qint64 total = 0;
    qint64 pages = 0;

    bool operator==(const Pagination&) const = default;

    static Pagination fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.integer("page"_L1), r.integer("limit"_L1), r.integer("total"_L1),
                r.integer("pages"_L1)};
    }
};

} // namespace kelvo

#pragma once

#include "KelvoTask.h"

namespace kelvo {

struct TasksResponse {
    QList<KelvoTask> tasks;

    static TasksResponse fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.list<KelvoTask>("tasks"_L1)};
    }
};

} // namespace kelvo

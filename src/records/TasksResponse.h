#pragma once

#include "KelvoTask.h"

namespace kelvo {

struct TasksResponse {
    QList<KelvoTask> tasks;

    bool operator==(const TasksResponse&) const = default;

    static TasksResponse fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.list<KelvoTask>("tasks"_L1)};
    }
};

} // namespace kelvo

#pragma once

#include "JsonReader.h"

namespace kelvo {

// The project summary embedded in a task.
struct TaskProject {
    QString id;
    QString name;
    std::optional<QString> color;

    bool operator==(const TaskProject&) const = default;

    static TaskProject fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("id"_L1), r.text("name"_L1), r.optionalText("color"_L1)};
    }
};

// Counters the server attaches to a task (its "_count" member).
struct TaskCount {
    qint64 timeEntries = 0;

    bool operator==(const TaskCount&) const = default;

    static TaskCount fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.integer("timeEntries"_L1)};
    }
};

struct KelvoTask {
    QString id;
    QString name;
    std::optional<QString> description;
    bool isCompleted = false;
    std::optional<double> hourlyRate;
    std::optional<QString> createdAt;
    std::optional<QString> updatedAt;
    std::optional<TaskProject> project;
    std::optional<TaskCount> count;

    bool operator==(const KelvoTask&) const = default;

    static KelvoTask fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("id"_L1),
                r.text("name"_L1),
                r.optionalText("description"_L1),
                r.flag("isCompleted"_L1),
                r.optionalReal("hourlyRate"_L1),
                r.optionalText("createdAt"_L1),
                r.optionalText("updatedAt"_L1),
                r.optionalRecord<TaskProject>("project"_L1),
                r.optionalRecord<TaskCount>("_count"_L1)};
    }
};

} // namespace kelvo

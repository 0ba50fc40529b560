#pragma once

#include "JsonReader.h"

namespace kelvo {

// The project summary embedded in a time entry.
struct TimeEntryProject {
    QString id;
    QString name;
    std::optional<QString> color;

    bool operator==(const TimeEntryProject&) const = default;

    static TimeEntryProject fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("id"_L1), r.text("name"_L1), r.optionalText("color"_L1)};
    }
};

// The task summary embedded in a time entry.
struct TimeEntryTask {
    QString id;
    QString name;

    bool operator==(const TimeEntryTask&) const = default;

    static TimeEntryTask fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("id"_L1), r.text("name"_L1)};
    }
};

// One tracked span of work. Timestamps stay the text the server sent.
struct TimeEntry {
    QString id;
    std::optional<QString> description;
    QString startTime;
    std::optional<QString> endTime;
    std::optional<qint64> duration;
    bool isRunning = false;
    std::optional<double> hourlyRateSnapshot;
    std::optional<QString> projectId;
    std::optional<QString> taskId;
    std::optional<QString> userId;
    std::optional<QString> createdAt;
    std::optional<QString> updatedAt;
    std::optional<TimeEntryProject> project;
    std::optional<TimeEntryTask> task;

    // Whole seconds from startTime to `now`; 0 when startTime is unreadable or in the future.
    qint64 elapsedSeconds(const QDateTime& now) const;
    // The short duration text of an entry row: " 5 sec", "42 sec", "01:02", "123:59".
    QString formattedDuration(const QDateTime& now) const;
    // What the entry has earned after `seconds` at its rate snapshot; nothing without a rate.
    std::optional<double> earningsAfter(qint64 seconds) const;

    bool operator==(const TimeEntry&) const = default;

    static TimeEntry fromJson(const JsonReader& r) {
        using namespace Qt::StringLiterals;
        return {r.text("id"_L1),
                r.optionalText("description"_L1),
                r.text("startTime"_L1),
                r.optionalText("endTime"_L1),
                r.optionalInteger("duration"_L1),
                r.flag("isRunning"_L1),
                r.optionalReal("hourlyRateSnapshot"_L1),
                r.optionalText("projectId"_L1),
                r.optionalText("taskId"_L1),
                r.optionalText("userId"_L1),
                r.optionalText("createdAt"_L1),
                r.optionalText("updatedAt"_L1),
                r.optionalRecord<TimeEntryProject>("project"_L1),
                r.optionalRecord<TimeEntryTask>("task"_L1)};
    }
};

} // namespace kelvo

#pragma once

#include "records/DashboardEarnings.h"
#include "records/JsonReader.h"
#include "records/TimeEntry.h"

#include <QJsonObject>

#include <optional>

namespace kelvo {

// What `kelvo status` reports: the running entry with its count and live earnings, and the
// day's and the week's totals where they are known. The same object travels from the running
// program to the command and is printed as the command's JSON.
struct StatusReport {
    enum class State { running, idle, signedOut, offline };

    struct Named {
        QString id;
        std::optional<QString> name;
        bool operator==(const Named&) const = default;
        static Named fromJson(const JsonReader& r);
    };
    struct Entry {
        QString id;
        std::optional<Named> project;
        std::optional<Named> task;
        std::optional<QString> description;
        QString startTime;
        qint64 elapsedSeconds = 0;
        std::optional<double> earnings;
        bool operator==(const Entry&) const = default;
        static Entry fromJson(const JsonReader& r);
    };
    // A timer stopped while the user was away, while the line about it is shown.
    struct Away {
        QString stoppedAt; // UTC, as the server writes times
        QString reason;    // "idle", "lock" or "sleep"
        Entry entry;
        bool operator==(const Away&) const = default;
        static Away fromJson(const JsonReader& r);
    };
    struct Total {
        double earnings = 0;
        qint64 duration = 0;
        bool operator==(const Total&) const = default;
        static Total fromJson(const JsonReader& r);
    };

    State state = State::idle;
    std::optional<Entry> entry;
    std::optional<Total> today;
    std::optional<Total> thisWeek;
    // Why no figures could be had (signed out, offline), in the client's own words.
    QString problem;
    // The running entry's stop waits for the server.
    bool stopPending = false;
    std::optional<Away> away;

    bool operator==(const StatusReport&) const = default;

    // The running entry counted to `elapsedSeconds` (earnings at its rate snapshot), or idle.
    // `projectName` names a project the entry does not embed.
    static StatusReport of(const std::optional<TimeEntry>& current, qint64 elapsedSeconds,
                           const std::optional<DashboardEarnings>& earnings,
                           const std::optional<QString>& projectName = std::nullopt);
    static StatusReport unavailable(State state, QString problem);

    // The published object: {"version": 1, "running", "entry", "today", "thisWeek"}, and
    // "stopPending": true while a stop waits for the server, and "away" while a timer stopped
    // while the user was away is told of.
    QJsonObject toJson() const;
    // Reads the published object back; `state` says what the absence of an entry means.
    static StatusReport fromJson(const JsonReader& r);

    static QString stateName(State state);
    static std::optional<State> stateNamed(QStringView name);
};

} // namespace kelvo

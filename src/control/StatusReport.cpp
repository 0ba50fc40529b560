#include "StatusReport.h"

#include <QJsonValue>

#include <cmath>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

QJsonValue orNull(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue named(const std::optional<StatusReport::Named>& value) {
    if (!value) {
        return QJsonValue::Null;
    }
    return QJsonObject{{u"id"_s, value->id}, {u"name"_s, orNull(value->name)}};
}

QJsonValue total(const std::optional<StatusReport::Total>& value) {
    if (!value) {
        return QJsonValue::Null;
    }
    return QJsonObject{{u"earnings"_s, value->earnings}, {u"duration"_s, value->duration}};
}

} // namespace

StatusReport::Named StatusReport::Named::fromJson(const JsonReader& r) {
    return {r.text("id"_L1), r.optionalText("name"_L1)};
}

StatusReport::Entry StatusReport::Entry::fromJson(const JsonReader& r) {
    return {r.text("id"_L1),
            r.optionalRecord<Named>("project"_L1),
            r.optionalRecord<Named>("task"_L1),
            r.optionalText("description"_L1),
            r.text("startTime"_L1),
            r.integer("elapsedSeconds"_L1),
            r.optionalReal("earnings"_L1)};
}

StatusReport::Away StatusReport::Away::fromJson(const JsonReader& r) {
    return {r.text("stoppedAt"_L1), r.text("reason"_L1), r.record<Entry>("entry"_L1)};
}

StatusReport::Total StatusReport::Total::fromJson(const JsonReader& r) {
    return {r.real("earnings"_L1), r.integer("duration"_L1)};
}

StatusReport StatusReport::of(const std::optional<TimeEntry>& current, qint64 elapsedSeconds,
                              const std::optional<DashboardEarnings>& earnings,
                              const std::optional<QString>& projectName) {
    StatusReport report;
    if (earnings) {
        report.today = Total{earnings->today.earnings, earnings->today.duration};
        report.thisWeek = Total{earnings->thisWeek.earnings, earnings->thisWeek.duration};
    }
    if (!current || !current->isRunning) {
        return report;
    }
    report.state = State::running;
    Entry entry{current->id,
                {},
                {},
                current->description,
                current->startTime,
                elapsedSeconds,
                current->earningsAfter(elapsedSeconds)};
    if (current->project) {
        entry.project = Named{current->project->id, current->project->name};
    } else if (current->projectId) {
        entry.project = Named{*current->projectId, projectName};
    }
    if (current->task) {
        entry.task = Named{current->task->id, current->task->name};
    } else if (current->taskId) {
        entry.task = Named{*current->taskId, std::nullopt};
    }
    report.entry = std::move(entry);
    return report;
}

StatusReport StatusReport::unavailable(State state, QString problem) {
    StatusReport report;
    report.state = state;
    report.problem = std::move(problem);
    return report;
}

namespace {
QJsonObject entryObject(const StatusReport::Entry& entry) {
    return QJsonObject{
        {u"id"_s, entry.id},
        {u"project"_s, named(entry.project)},
        {u"task"_s, named(entry.task)},
        {u"description"_s, orNull(entry.description)},
        {u"startTime"_s, entry.startTime},
        {u"elapsedSeconds"_s, entry.elapsedSeconds},
        // In cents, as shown: the count's fraction of a cent is noise to a reader.
        {u"earnings"_s, entry.earnings ? QJsonValue(std::round(*entry.earnings * 100) / 100)
                                       : QJsonValue::Null},
    };
}
} // namespace

QJsonObject StatusReport::toJson() const {
    const QJsonValue entryValue = entry ? QJsonValue(entryObject(*entry)) : QJsonValue::Null;
    QJsonObject object{{u"version"_s, 1},
                       {u"running"_s, state == State::running},
                       {u"entry"_s, entryValue},
                       {u"today"_s, total(today)},
                       {u"thisWeek"_s, total(thisWeek)}};
    if (stopPending) {
        object.insert(u"stopPending"_s, true);
    }
    if (away) {
        object.insert(u"away"_s, QJsonObject{{u"stoppedAt"_s, away->stoppedAt},
                                             {u"reason"_s, away->reason},
                                             {u"entry"_s, entryObject(away->entry)}});
    }
    return object;
}

StatusReport StatusReport::fromJson(const JsonReader& r) {
    StatusReport report;
    report.entry = r.optionalRecord<Entry>("entry"_L1);
    report.state = r.flag("running"_L1) && report.entry ? State::running : State::idle;
    report.today = r.optionalRecord<Total>("today"_L1);
    report.thisWeek = r.optionalRecord<Total>("thisWeek"_L1);
    report.stopPending = r.optionalFlag("stopPending"_L1).value_or(false);
    report.away = r.optionalRecord<Away>("away"_L1);
    return report;
}

QString StatusReport::stateName(State state) {
    switch (state) {
    case State::running:
        return u"running"_s;
    case State::signedOut:
        return u"signed-out"_s;
    case State::offline:
        return u"offline"_s;
    case State::idle:
        break;
    }
    return u"idle"_s;
}

std::optional<StatusReport::State> StatusReport::stateNamed(QStringView name) {
    for (State state : {State::running, State::idle, State::signedOut, State::offline}) {
        if (name == stateName(state)) {
            return state;
        }
    }
    return std::nullopt;
}

} // namespace kelvo

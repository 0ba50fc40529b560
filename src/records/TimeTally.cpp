#include "TimeTally.h"

#include "Timestamp.h"

#include <algorithm>
#include <cmath>

namespace kelvo {

namespace {

bool largerThan(const TimeTally::Project& a, const TimeTally::Project& b) {
    return a.milliseconds != b.milliseconds ? a.milliseconds > b.milliseconds : a.name < b.name;
}

TimeTally::Project projectOf(const TimeEntry& entry) {
    if (entry.project) {
        return {entry.project->id, entry.project->name, entry.project->color};
    }
    return {entry.projectId.value_or(QString()), QStringLiteral("No Project"), std::nullopt};
}

} // namespace

TimeTally::TimeTally(QDate from, QDate to, const QTimeZone& zone)
    : m_from(from)
    , m_to(to)
    , m_zone(zone) {
    for (QDate date = from; date.isValid() && date <= to; date = date.addDays(1)) {
        m_days.append(Day{date});
        m_bounds.append(dayStart(date).toMSecsSinceEpoch());
    }
    if (!m_days.isEmpty()) {
        m_bounds.append(dayStart(to.addDays(1)).toMSecsSinceEpoch());
    }
}

QDateTime TimeTally::dayStart(QDate date) const {
    return date.startOfDay(m_zone);
}

QList<TimeEntry> TimeTally::startingWithin(const QList<TimeEntry>& entries) const {
    QList<std::pair<QDateTime, const TimeEntry*>> starting;
    for (const TimeEntry& entry : entries) {
        const auto start = Timestamp::parseInternetDateTime(entry.startTime);
        if (!start) {
            continue;
        }
        const QDate date = start->toTimeZone(m_zone).date();
        if (date >= m_from && date <= m_to) {
            starting.append({*start, &entry});
        }
    }
    std::ranges::stable_sort(starting, {}, [](const auto& pair) { return pair.first; });
    QList<TimeEntry> ordered;
    ordered.reserve(starting.size());
    for (const auto& [start, entry] : starting) {
        ordered.append(*entry);
    }
    return ordered;
}

std::optional<TimeTally::Span> TimeTally::span(const TimeEntry& entry, const QDateTime& now) {
    const auto start = Timestamp::parseInternetDateTime(entry.startTime);
    if (!start) {
        return std::nullopt;
    }
    std::optional<QDateTime> end;
    if (!entry.isRunning && entry.endTime) {
        end = Timestamp::parseInternetDateTime(*entry.endTime);
    }
    if (!entry.isRunning && !end && entry.duration) {
        // Only the whole seconds are known of an entry that came without its end.
        end = start->addSecs(*entry.duration);
    }
    return Span{*start, std::max(*start, end.value_or(now))};
}

double TimeTally::earningsOf(qint64 milliseconds, std::optional<double> rate) {
    return rate && std::isfinite(*rate) ? double(milliseconds) / 3'600'000.0 * *rate : 0.0;
}

double TimeTally::roundedToCents(double amount) {
    return std::round(amount * 100.0) / 100.0;
}

qint64 TimeTally::seconds(qint64 milliseconds) {
    return (milliseconds + 500) / 1000;
}

void TimeTally::add(const TimeEntry& entry, const QDateTime& now) {
    const auto where = span(entry, now);
    if (!where || m_days.isEmpty()) {
        return;
    }
    const qint64 start = std::max(where->start.toMSecsSinceEpoch(), m_bounds.first());
    const qint64 end = std::min(where->end.toMSecsSinceEpoch(), m_bounds.last());
    if (end <= start) {
        return;
    }
    const Project project = projectOf(entry);
    // The day holding the start, then each following day the span reaches.
    auto day = std::upper_bound(m_bounds.cbegin(), m_bounds.cend(), start) - m_bounds.cbegin() - 1;
    for (; day < m_days.size() && m_bounds[day] < end; ++day) {
        const qint64 part = std::min(end, m_bounds[day + 1]) - std::max(start, m_bounds[day]);
        Project share = project;
        share.milliseconds = part;
        share.earnings = earningsOf(part, entry.hourlyRateSnapshot);
        Day& d = m_days[day];
        d.milliseconds += part;
        d.earnings += share.earnings;
        addTo(d.projects, share);
        addTo(m_projects, share);
        m_milliseconds += part;
        m_earnings += share.earnings;
    }
}

void TimeTally::addTo(QList<Project>& projects, const Project& share) {
    auto at = std::find_if(projects.begin(), projects.end(),
                           [&](const Project& p) { return p.id == share.id; });
    if (at == projects.end()) {
        projects.append(share);
        at = projects.end() - 1;
    } else {
        at->milliseconds += share.milliseconds;
        at->earnings += share.earnings;
    }
    // One step of insertion: only this project grew.
    for (; at != projects.begin() && largerThan(*at, *(at - 1)); --at) {
        std::iter_swap(at, at - 1);
    }
}

} // namespace kelvo

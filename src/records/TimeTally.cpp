#include "TimeTally.h"

#include "Formatting.h"
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
    // Without its summary an entry's project cannot be named: all such go under one heading.
    return {QString(), QStringLiteral("No Project"), std::nullopt};
}

} // namespace

TimeTally::TimeTally(QDate from, QDate to, const QTimeZone& zone)
    : m_from(from)
    , m_to(to)
    , m_zone(zone) {
    for (QDate date = from; date.isValid() && date <= to; date = date.addDays(1)) {
        m_days.append(Day{date});
        m_dayIndex.append(QHash<QString, qsizetype>());
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
    if (!entry.isRunning && !end && entry.duration && isShowableSpan(*entry.duration)) {
        // Only the whole seconds are known of an entry that came without its end.
        end = start->addSecs(*entry.duration);
    }
    if (!entry.isRunning && !end) {
        return std::nullopt; // stopped, but when cannot be read: not counted up to now
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

QString TimeTally::spanText(qint64 milliseconds) {
    return hoursText(seconds(milliseconds));
}

QString TimeTally::sumText(double amount) {
    return moneyText(roundedToCents(amount));
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
    Project whole = project;
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
        addTo(d.projects, m_dayIndex[day], share);
        whole.milliseconds += part;
        whole.earnings += share.earnings;
    }
    addTo(m_projects, m_projectIndex, whole);
    m_milliseconds += whole.milliseconds;
    m_earnings += whole.earnings;
}

void TimeTally::addTo(QList<Project>& projects, QHash<QString, qsizetype>& index,
                      const Project& share) {
    if (const auto at = index.constFind(share.id); at != index.cend()) {
        projects[*at].milliseconds += share.milliseconds;
        projects[*at].earnings += share.earnings;
    } else {
        index.insert(share.id, projects.size());
        projects.append(share);
    }
    m_inOrder = false;
}

void TimeTally::putInOrder() const {
    if (m_inOrder) {
        return;
    }
    const auto order = [](QList<Project>& projects, QHash<QString, qsizetype>& index) {
        std::ranges::sort(projects, largerThan);
        for (qsizetype i = 0; i < projects.size(); ++i) {
            index[projects.at(i).id] = i;
        }
    };
    for (qsizetype day = 0; day < m_days.size(); ++day) {
        order(m_days[day].projects, m_dayIndex[day]);
    }
    order(m_projects, m_projectIndex);
    m_inOrder = true;
}

const QList<TimeTally::Day>& TimeTally::days() const {
    putInOrder();
    return m_days;
}

const QList<TimeTally::Project>& TimeTally::projects() const {
    putInOrder();
    return m_projects;
}

} // namespace kelvo

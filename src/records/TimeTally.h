#pragma once

#include "TimeEntry.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QTimeZone>

#include <optional>

namespace kelvo {

// What entries add up to over consecutive local dates: each day, each day's projects, each
// project and the whole range. Only the part of an entry that lies within a day counts in it, so
// an entry across midnight counts in both days and a day of a clock change has its real 23 or 25
// hours. Spans come from the timestamps to the millisecond; money is summed unrounded, and
// whoever shows it rounds once (roundedToCents).
class TimeTally {
public:
    struct Project {
        QString id; // empty for entries without a project
        QString name;
        std::optional<QString> color;
        qint64 milliseconds = 0;
        double earnings = 0;
    };
    struct Day {
        QDate date;
        qint64 milliseconds = 0;
        double earnings = 0;
        QList<Project> projects; // largest first
    };
    // Where an entry lies in time: a running entry (or one without an end) up to `now`.
    struct Span {
        QDateTime start;
        QDateTime end;
        qint64 milliseconds() const { return start.msecsTo(end); }
    };

    // The dates `from` to `to` inclusive, in `zone`.
    TimeTally(QDate from, QDate to, const QTimeZone& zone);

    // Adds the part of `entry` within the range; an entry whose times cannot be read adds nothing.
    void add(const TimeEntry& entry, const QDateTime& now);

    QDate from() const { return m_from; }
    QDate to() const { return m_to; }
    const QTimeZone& zone() const { return m_zone; }
    const QList<Day>& days() const;
    // Largest first; ties by name.
    const QList<Project>& projects() const;
    qint64 milliseconds() const { return m_milliseconds; }
    double earnings() const { return m_earnings; }
    // The first instant of `date` in the range's zone.
    QDateTime dayStart(QDate date) const;
    // Of `entries`, those whose start falls on a date of the range, ordered by their start (local
    // times repeat when the clocks go back; instants do not).
    QList<TimeEntry> startingWithin(const QList<TimeEntry>& entries) const;

    static std::optional<Span> span(const TimeEntry& entry, const QDateTime& now);
    // What `milliseconds` earn at `rate` (nothing without one).
    static double earningsOf(qint64 milliseconds, std::optional<double> rate);
    static double roundedToCents(double amount);
    // Seconds for a count of milliseconds, to the nearest.
    static qint64 seconds(qint64 milliseconds);
    // A tallied span and sum as shown: "31 h 20 m", and "$1,880.00" rounded once to the cent.
    static QString spanText(qint64 milliseconds);
    static QString sumText(double amount);

private:
    // Projects are summed through an index by id (a week may hold thousands) and put in order
    // when next read.
    void addTo(QList<Project>& projects, QHash<QString, qsizetype>& index, const Project& share);
    void putInOrder() const;

    QDate m_from;
    QDate m_to;
    QTimeZone m_zone;
    QList<qint64> m_bounds; // the start of each day and the end of the last, in ms since 1970
    mutable QList<Day> m_days;
    mutable QList<Project> m_projects;
    mutable QList<QHash<QString, qsizetype>> m_dayIndex;
    mutable QHash<QString, qsizetype> m_projectIndex;
    mutable bool m_inOrder = true;
    qint64 m_milliseconds = 0;
    double m_earnings = 0;
};

} // namespace kelvo

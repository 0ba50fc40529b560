#include "WorkHours.h"

#include <QStringList>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

const QStringList dayNames{u"Mon"_s, u"Tue"_s, u"Wed"_s, u"Thu"_s, u"Fri"_s, u"Sat"_s, u"Sun"_s};

// 1 to 7, or 0 for no day.
int dayNumber(QStringView name) {
    return int(dayNames.indexOf(name.toString())) + 1;
}

std::optional<QList<int>> parseDays(QStringView text) {
    QList<int> days;
    if (const qsizetype dash = text.indexOf(u'-'); dash >= 0) {
        const int first = dayNumber(text.left(dash));
        const int last = dayNumber(text.mid(dash + 1));
        if (first == 0 || last < first) {
            return std::nullopt;
        }
        for (int day = first; day <= last; ++day) {
            days.append(day);
        }
        return days;
    }
    for (const QStringView name : text.split(u',')) {
        const int day = dayNumber(name);
        if (day == 0 || days.contains(day)) {
            return std::nullopt;
        }
        days.append(day);
    }
    std::sort(days.begin(), days.end());
    return days;
}

} // namespace

WorkHours WorkHours::standard() {
    return {{1, 2, 3, 4, 5}, QTime(9, 0), QTime(17, 0)};
}

std::optional<WorkHours> WorkHours::parse(QStringView text) {
    const QList<QStringView> parts = text.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (parts.size() != 2) {
        return std::nullopt;
    }
    const auto days = parseDays(parts[0]);
    const QList<QStringView> span = parts[1].split(u'-');
    if (!days || span.size() != 2) {
        return std::nullopt;
    }
    const QTime from = QTime::fromString(span[0].toString(), u"HH:mm"_s);
    const QTime to = QTime::fromString(span[1].toString(), u"HH:mm"_s);
    if (!from.isValid() || !to.isValid() || from == to) {
        return std::nullopt;
    }
    return WorkHours{*days, from, to};
}

QString WorkHours::text() const {
    QStringList names;
    for (int day : days) {
        names.append(dayNames.at(day - 1));
    }
    const bool range = days.size() > 2 && days.last() - days.first() == days.size() - 1;
    const QString dayText = range ? names.first() + u'-' + names.last() : names.join(u',');
    return dayText + u' ' + from.toString(u"HH:mm"_s) + u'-' + to.toString(u"HH:mm"_s);
}

bool WorkHours::contains(const QDateTime& at) const {
    const QTime time = at.time();
    const int day = at.date().dayOfWeek();
    if (from < to) {
        return days.contains(day) && time >= from && time < to;
    }
    // Past midnight: the evening of a working day, or the morning after it.
    const int dayBefore = day == 1 ? 7 : day - 1;
    return (days.contains(day) && time >= from) || (days.contains(dayBefore) && time < to);
}

} // namespace kelvo

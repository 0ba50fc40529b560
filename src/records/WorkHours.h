#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>

#include <optional>

namespace kelvo {

// The hours someone works, as written in Kelvo.conf: the days, as a range ("Mon-Fri") or a list
// ("Mon,Wed,Fri"), a space, and one daily span ("09:00-17:00"). A span whose end comes before
// its start runs past midnight into the next day.
struct WorkHours {
    QList<int> days; // 1 = Monday ... 7 = Sunday, in order
    QTime from;
    QTime to;

    bool operator==(const WorkHours&) const = default;

    // "Mon-Fri 09:00-17:00".
    static WorkHours standard();
    // Nothing when `text` is not of that form (unknown day, range backwards, bad time, empty span).
    static std::optional<WorkHours> parse(QStringView text);
    QString text() const;
    // Whether the local time `at` lies within the hours.
    bool contains(const QDateTime& at) const;
};

} // namespace kelvo

#pragma once

#include "records/TimeEntry.h"

#include <QWidget>

class QLabel;

namespace kelvo {

class CardFrame;
class ElidedLabel;
class PulsingDot;
class SymbolButton;
class TimerViewModel;

// One recent entry: its project's dot (pulsing while the entry runs), project, task, duration and
// description, and a button that restarts it while no timer runs.
class TimeEntryRow : public QWidget {
    Q_OBJECT
public:
    TimeEntryRow(TimerViewModel* timer, const TimeEntry& entry, QWidget* parent = nullptr);

    const TimeEntry& entry() const { return m_entry; }
    // Shows `entry` (the same id, newer data) in place.
    void setEntry(const TimeEntry& entry);
    bool isBlinking() const;

private:
    void updateRestartButton();

    TimerViewModel* m_timer;
    TimeEntry m_entry;
    CardFrame* m_box;
    PulsingDot* m_dot;
    ElidedLabel* m_project;
    ElidedLabel* m_task;
    QLabel* m_duration;
    ElidedLabel* m_description;
    QLabel* m_day;
    SymbolButton* m_restart;
};

} // namespace kelvo

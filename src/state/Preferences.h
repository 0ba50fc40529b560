#pragma once

#include "records/WorkHours.h"

#include <QObject>
#include <QString>

#include <expected>
#include <optional>

namespace kelvo {

// The program's own settings beside the sign-in in Kelvo.conf: what the panel item's label
// shows, after how many hours of one running timer to remind the user and which entry was last
// reminded of (so a restart of the program does not remind again), when a running timer stops
// because the user is away, when to remind of a timer not started, the work hours and the hours
// meant to be worked each week. A file
// that cannot be read gives the defaults; every write keeps the file the user's alone and leaves
// the other entries (the sign-in) as they are. Each setter applies at once; its error says why
// the choice could not be kept.
class Preferences : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultReminderHours = 8;
    static constexpr int maxReminderHours = 24;
    // The idle spans offered, in minutes; 0 is off.
    static constexpr int idleChoices[] = {0, 5, 10, 15, 30, 60};
    static constexpr int shortestStartReminder = 5;
    static constexpr int longestStartReminder = 120;
    static constexpr int hoursInAWeek = 168;

    // What the panel item's label shows: the elapsed time, hours and minutes, nothing, or
    // nothing beside the icon since the time is drawn in it.
    enum class PanelText { elapsed, minutes, off, icon };
    // The panel text where the settings hold none, on the desktop named by `desktops` (as
    // XDG_CURRENT_DESKTOP lists them): in the icon where the desktop's own tray draws no labels.
    static PanelText defaultPanelText(const QString& desktops);

    explicit Preferences(QObject* parent = nullptr);

    PanelText panelText() const { return m_panelText; }
    std::expected<void, QString> setPanelText(PanelText mode);
    // 0 for off, else 1 to 24.
    int reminderHours() const { return m_reminderHours; }
    std::expected<void, QString> setReminderHours(int hours);
    const std::optional<QString>& remindedEntry() const { return m_remindedEntry; }
    std::expected<void, QString> setRemindedEntry(const QString& entryId);

    // Stop the running timer after this many minutes without input (0: never).
    int awayIdleMinutes() const { return m_awayIdleMinutes; }
    std::expected<void, QString> setAwayIdleMinutes(int minutes);
    bool stopsOnLock() const { return m_stopsOnLock; }
    std::expected<void, QString> setStopsOnLock(bool stop);
    // Before sleep, hibernation or shutdown, and when the session ends.
    bool stopsOnSleep() const { return m_stopsOnSleep; }
    std::expected<void, QString> setStopsOnSleep(bool stop);
    // Whether any rule of being away is on.
    bool watchesAway() const { return m_awayIdleMinutes > 0 || m_stopsOnLock || m_stopsOnSleep; }
    // Remind of a timer not started after this many minutes (0: never, else 5 to 120).
    int startReminderMinutes() const { return m_startReminderMinutes; }
    std::expected<void, QString> setStartReminderMinutes(int minutes);
    const WorkHours& workHours() const { return m_workHours; }
    std::expected<void, QString> setWorkHours(const QString& text);
    // The hours meant to be worked each week (0: no target), shared among the work days.
    int weeklyTargetHours() const { return m_weeklyTargetHours; }
    std::expected<void, QString> setWeeklyTargetHours(int hours);

    // Why the settings could not be read (the defaults are in use), or empty.
    const QString& readProblem() const { return m_readProblem; }

Q_SIGNALS:
    void reminderHoursChanged();
    void panelTextChanged();
    void awayRulesChanged();
    void startReminderChanged();
    // The weekly target or the work days.
    void weeklyTargetChanged();

private:
    PanelText m_panelText;
    int m_reminderHours = defaultReminderHours;
    std::optional<QString> m_remindedEntry;
    int m_awayIdleMinutes = 0;
    bool m_stopsOnLock = false;
    bool m_stopsOnSleep = false;
    int m_startReminderMinutes = 0;
    WorkHours m_workHours = WorkHours::standard();
    int m_weeklyTargetHours = 0;
    QString m_readProblem;
};

} // namespace kelvo

#pragma once

#include "ActionError.h"
#include "records/Clock.h"
#include "records/KelvoTask.h"
#include "records/Project.h"
#include "records/TimeEntry.h"

#include <QColor>
#include <QCoroTask>
#include <QObject>

class QTimer;

namespace kelvo {

class APIClient;
class APIClientError;
class Backoff;
class OfflineNotice;

// Everything about time entries: the current entry and its running count, the recent entries,
// the projects and one project's tasks, and starting and stopping timers. The count is
// resynchronised with the entry's start time when the current entry is reloaded (at start-up and
// whenever the program or one of its windows becomes active) and when a timer starts; in between
// a one-second tick adds one. A tick that comes late by the clock (the machine slept, the loop
// stalled) resynchronises instead, so the count never falls behind the clock for long.
//
// One start or stop at a time, whoever asks (the window, the popover, the panel item's menu, the command
// line): another is refused while one is in flight. A stop the server could not be reached for
// is not dropped: it waits, is sent again with growing pauses and at once when the server answers
// again, and no start is made meanwhile. After an outage the error line clears when the server
// answers again.
class TimerViewModel : public QObject {
    Q_OBJECT
public:
    // What the views draw at most: the entries asked for, and items per chooser. The lists
    // keep everything the server sent.
    static constexpr qsizetype shownRecentEntries = 10;
    static constexpr qsizetype shownChoices = 1000;

    TimerViewModel(APIClient* apiClient, Clock* clock, QObject* parent = nullptr);

    const std::optional<TimeEntry>& currentEntry() const { return m_currentEntry; }
    const QList<TimeEntry>& recentEntries() const { return m_recentEntries; }
    const QList<Project>& projects() const { return m_projects; }
    const QList<KelvoTask>& tasks() const { return m_tasks; }
    bool isLoading() const { return m_isLoading; }
    bool isRefreshing() const { return m_isRefreshing; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    qint64 elapsedTime() const { return m_elapsedTime; }
    const std::optional<QString>& selectedProjectId() const { return m_selectedProjectId; }
    const std::optional<QString>& selectedTaskId() const { return m_selectedTaskId; }
    Clock* clock() const { return m_clock; }
    bool isCounting() const { return m_timer != nullptr; }
    // What the screens say about a missing network; none unless the program sets one.
    OfflineNotice* offlineNotice() const { return m_offlineNotice; }
    void setOfflineNotice(OfflineNotice* notice) { m_offlineNotice = notice; }

    bool isTimerRunning() const { return m_currentEntry && m_currentEntry->isRunning; }
    // The entry whose stop is waiting for the server, if one is.
    const std::optional<QString>& pendingStop() const { return m_pendingStop; }
    // Whether the projects have been loaded for this account (an empty list then means none).
    bool hasLoadedProjects() const { return m_projectsLoaded; }
    // What the timer card says while a stop waits for the server.
    static QString waitingStopText();
    // "MM:SS" below an hour, then "HH:MM:SS" (hours not capped).
    QString formattedElapsedTime() const;

    // Written by the views only.
    void setSelectedProjectId(std::optional<QString> id);
    void setSelectedTaskId(std::optional<QString> id);
    void setTasks(QList<KelvoTask> tasks);

    // Every action and load says how it ended, besides publishing what it changed: done, or
    // the failure (which a start or stop also shows as `errorMessage`).
    QCoro::Task<void> refreshAllData();
    QCoro::Task<ActionResult> loadCurrentEntry();
    QCoro::Task<ActionResult> loadRecentEntries();
    QCoro::Task<void> loadProjects();
    QCoro::Task<void> loadTasks(QString projectId);
    QCoro::Task<ActionResult> startTimer(std::optional<QString> projectId,
                                         std::optional<QString> taskId,
                                         std::optional<QString> description);
    // A stop that waits for the server ends as a failure saying so (waitingStopText).
    QCoro::Task<ActionResult> stopTimer();
    // Starts a new timer on the entry's project and task with its description.
    QCoro::Task<ActionResult> restartEntry(TimeEntry entry);
    // After a sign-out: nothing of the account stays (its entries, lists, choices, a waiting
    // stop) and nothing still on its way applies. True when a stop was still waiting.
    bool forgetAccount();
    // Quitting: one last try of a waiting stop within `within`; if it is still waiting, it is
    // kept in the settings file and sent at the next start.
    void settleBeforeQuit(std::chrono::milliseconds within);
    // The pauses between tries after a failure (5 s, doubling to a minute by default).
    void setRetryWaits(std::chrono::milliseconds first, std::chrono::milliseconds longest);
    // The entry that "start latest" restarts: the first recent entry as the server listed it.
    std::optional<TimeEntry> latestEntry() const;

    // Where an entry's project name may come from. Entry rows and the popover look in the entry's
    // embedded project, then in the loaded projects; the running face trusts the entry alone.
    enum class ProjectLookup { embeddedThenLoaded, embeddedOnly };
    // Whether a running entry with a rate of 0 still shows what it has earned ($0.00): the
    // popover shows it, the timer card only shows a rate above 0.
    enum class RateRule { anyRate, positiveRate };
    // What the running entry has earned by the local count (rate x seconds / 3600); nothing when
    // no entry runs or its rate does not count under `rule`.
    std::optional<double> runningEarnings(RateRule rule) const;

    void updateElapsedTime(const QString& startTime);
    void startElapsedTimer();

    QString projectName(const TimeEntry& entry,
                        ProjectLookup lookup = ProjectLookup::embeddedThenLoaded) const;
    QColor projectColor(const std::optional<QString>& projectId) const;
    QColor entryColor(const TimeEntry& entry) const;

Q_SIGNALS:
    void currentEntryChanged();
    void recentEntriesChanged();
    void projectsChanged();
    void tasksChanged();
    void isLoadingChanged();
    void isRefreshingChanged();
    void errorMessageChanged();
    void elapsedTimeChanged();
    void selectedProjectIdChanged();
    void selectedTaskIdChanged();
    void pendingStopChanged();
    // A start, stop or restart went through: the totals have changed on the server.
    void actionSucceeded();
    // The server answers again after requests failed for want of it.
    void serverReturned();

private:
    // The helpers below take their arguments by reference and are given named closures: g++ 12
    // destroys a closure twice when it is a temporary inside a co_await expression or is passed
    // to a coroutine by value.
    //
    // Awaits one background load; success goes to `apply`, a failure prints `failureLine` with
    // the error and leaves every field as it was.
    template <class Request, class Apply>
    QCoro::Task<ActionResult> load(Request&& request, const QString& failureLine,
                                   const Apply& apply);
    // One line when an answer holds more than the views draw.
    static void reportUnshown(qsizetype received, qsizetype shown, const QString& what);
    // A start or stop: busy from before the request until the recent entries have been reloaded
    // after it; a failure sets the error text and changes nothing else.
    void beginTimerAction();
    QCoro::Task<ActionResult> finishTimerAction();
    void applyStopped(TimeEntry entry, quint64 asked);
    // Sends the waiting stop; a failure for want of the server leaves it waiting.
    QCoro::Task<ActionResult> sendPendingStop();
    void setPendingStop(std::optional<QString> entryId);
    // The server answered (or not) one of the client's requests.
    void onReached(bool answered);
    void retryNow();
    // Shows the failure and returns it.
    ActionError showFailure(const APIClientError& error);
    void watchActivation();
    void tick();
    void stopElapsedTimer();
    void setElapsedTime(qint64 seconds);
    void setCurrentEntry(std::optional<TimeEntry> entry);
    void setIsLoading(bool loading);
    // `waitsForServer`: the message goes once the server answers again.
    void setErrorMessage(std::optional<QString> message, bool waitsForServer = false);

    std::optional<TimeEntry> m_currentEntry;
    QList<TimeEntry> m_recentEntries;
    QList<Project> m_projects;
    QList<KelvoTask> m_tasks;
    bool m_isLoading = false;
    bool m_isRefreshing = false;
    std::optional<QString> m_errorMessage;
    qint64 m_elapsedTime = 0;
    std::optional<QString> m_selectedProjectId;
    std::optional<QString> m_selectedTaskId;
    APIClient* m_apiClient;
    Clock* m_clock;
    QTimer* m_timer = nullptr;
    OfflineNotice* m_offlineNotice = nullptr;
    // When the count was last advanced or resynchronised, by the clock.
    QDateTime m_lastCounted;
    std::optional<QString> m_pendingStop;
    bool m_projectsLoaded = false;
    // Requests have failed for want of the server since it last answered.
    bool m_serverLost = false;
    // The error shown says the server could not be reached; it goes when the server answers.
    bool m_errorWaitsForServer = false;
    // Counts sign-outs: an answer for an account that is gone changes nothing.
    quint64 m_account = 0;
    // Answers about what runs may overtake each other on parallel connections: each question is
    // numbered, and an answer to one asked before what is shown now is old news.
    quint64 m_entryAsked = 0;
    quint64 m_entryShownAsOf = 0;
    Backoff* m_retry;
};

} // namespace kelvo

#include "TimerViewModel.h"

#include "Publish.h"
#include "records/Formatting.h"
#include "records/Timestamp.h"
#include "ui/Theme.h"

#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace kelvo {

namespace {
// A tick this late resynchronises the count instead of adding one.
constexpr qint64 lateTickMs = 3000;
} // namespace

TimerViewModel::TimerViewModel(APIClient* apiClient, Clock* clock, QObject* parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_clock(clock) {
    QTimer::singleShot(0, this, [this] { refreshAllData(); });
    watchActivation();
}

void TimerViewModel::watchActivation() {
    // Each activation and each window that gains focus reloads the current entry once; the
    // connections end with this object.
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!gui) {
        return;
    }
    connect(gui, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive) {
                    loadCurrentEntry();
                }
            });
    connect(gui, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        if (window) {
            loadCurrentEntry();
        }
    });
}

QString TimerViewModel::formattedElapsedTime() const {
    return elapsedText(m_elapsedTime);
}

void TimerViewModel::setSelectedProjectId(std::optional<QString> id) {
    publish(this, m_selectedProjectId, std::move(id), &TimerViewModel::selectedProjectIdChanged);
}

void TimerViewModel::setSelectedTaskId(std::optional<QString> id) {
    publish(this, m_selectedTaskId, std::move(id), &TimerViewModel::selectedTaskIdChanged);
}

void TimerViewModel::setTasks(QList<KelvoTask> tasks) {
    publish(this, m_tasks, std::move(tasks), &TimerViewModel::tasksChanged);
}

void TimerViewModel::setElapsedTime(qint64 seconds) {
    publish(this, m_elapsedTime, seconds, &TimerViewModel::elapsedTimeChanged);
}

void TimerViewModel::setCurrentEntry(std::optional<TimeEntry> entry) {
    publish(this, m_currentEntry, std::move(entry), &TimerViewModel::currentEntryChanged);
}

void TimerViewModel::setIsLoading(bool loading) {
    publish(this, m_isLoading, loading, &TimerViewModel::isLoadingChanged);
}

void TimerViewModel::setErrorMessage(std::optional<QString> message) {
    publish(this, m_errorMessage, std::move(message), &TimerViewModel::errorMessageChanged);
}

QCoro::Task<void> TimerViewModel::refreshAllData() {
    QPointer self(this);
    Diagnostics::print(QStringLiteral("🔄 Starting full data refresh..."));
    publish(this, m_isRefreshing, true, &TimerViewModel::isRefreshingChanged);
    Diagnostics::print(QStringLiteral("📊 Loading current entry..."));
    co_await loadCurrentEntry();
    if (!self) {
        co_return;
    }
    Diagnostics::print(QStringLiteral("📋 Loading recent entries..."));
    co_await loadRecentEntries();
    if (!self) {
        co_return;
    }
    Diagnostics::print(QStringLiteral("📁 Loading projects..."));
    co_await loadProjects();
    if (!self) {
        co_return;
    }
    Diagnostics::print(QStringLiteral("✅ Data refresh completed"));
    publish(this, m_isRefreshing, false, &TimerViewModel::isRefreshingChanged);
}

template <class T, class Apply>
QCoro::Task<TimerViewModel::LoadFailure> TimerViewModel::load(QCoro::Task<APIResult<T>>&& request,
                                                              const QString& failureLine,
                                                              const Apply& apply) {
    QPointer self(this);
    auto result = co_await request;
    if (!result) {
        if (self) {
            Diagnostics::print(failureLine + result.error().debugDescription());
        }
        co_return result.error();
    }
    if (self) {
        apply(std::move(*result));
    }
    co_return std::nullopt;
}

QCoro::Task<TimerViewModel::LoadFailure> TimerViewModel::loadCurrentEntry() {
    const auto loaded = [this](std::optional<TimeEntry> entry) {
        setCurrentEntry(std::move(entry));
        if (isTimerRunning()) {
            Diagnostics::print(
                QStringLiteral("⏱️ Found running timer, starting elapsed time counter"));
            updateElapsedTime(m_currentEntry->startTime);
            startElapsedTimer();
        } else {
            Diagnostics::print(QStringLiteral("⏹️ No running timer found"));
            stopElapsedTimer();
            setElapsedTime(0);
        }
    };
    co_return co_await load(m_apiClient->getCurrentTimeEntry(),
                            QStringLiteral("❌ Error loading current entry: "), loaded);
}

QCoro::Task<TimerViewModel::LoadFailure> TimerViewModel::loadRecentEntries() {
    const auto loaded = [this](QList<TimeEntry> entries) {
        publish(this, m_recentEntries, std::move(entries), &TimerViewModel::recentEntriesChanged);
        Diagnostics::print(
            QStringLiteral("📝 Loaded %1 recent entries").arg(m_recentEntries.size()));
        reportUnshown(m_recentEntries.size(), shownRecentEntries, QStringLiteral("recent entries"));
    };
    co_return co_await load(m_apiClient->getTimeEntries({.limit = shownRecentEntries}),
                            QStringLiteral("❌ Error loading recent entries: "), loaded);
}

QCoro::Task<void> TimerViewModel::loadProjects() {
    const auto loaded = [this](QList<Project> projects) {
        publish(this, m_projects, std::move(projects), &TimerViewModel::projectsChanged);
        Diagnostics::print(QStringLiteral("📂 Loaded %1 projects").arg(m_projects.size()));
        reportUnshown(m_projects.size(), shownChoices, QStringLiteral("projects"));
    };
    co_await load(m_apiClient->getProjects(), QStringLiteral("❌ Error loading projects: "), loaded);
}

QCoro::Task<void> TimerViewModel::loadTasks(QString projectId) {
    // Only open tasks. A failure keeps whatever tasks were shown, possibly another project's.
    const auto loaded = [this](QList<KelvoTask> tasks) {
        reportUnshown(tasks.size(), shownChoices, QStringLiteral("tasks"));
        setTasks(std::move(tasks));
    };
    co_await load(m_apiClient->getTasks(std::move(projectId), false),
                  QStringLiteral("Error loading tasks: "), loaded);
}

void TimerViewModel::reportUnshown(qsizetype received, qsizetype shown, const QString& what) {
    if (received > shown) {
        Diagnostics::print(QStringLiteral("Showing the first %1 of %2 %3 received")
                               .arg(shown)
                               .arg(received)
                               .arg(what));
    }
}

void TimerViewModel::beginTimerAction() {
    setIsLoading(true);
    setErrorMessage(std::nullopt);
}

template <class Result, class Apply>
QCoro::Task<void> TimerViewModel::finishTimerAction(QCoro::Task<Result>&& request,
                                                    const Apply& apply) {
    QPointer self(this);
    auto result = co_await request;
    if (!self) {
        co_return;
    }
    if (!result) {
        setErrorMessage(result.error().errorDescription());
        setIsLoading(false);
        co_return;
    }
    apply(std::move(*result));
    co_await loadRecentEntries();
    if (self) {
        setIsLoading(false);
    }
}

QCoro::Task<void> TimerViewModel::startTimer(std::optional<QString> projectId,
                                             std::optional<QString> taskId,
                                             std::optional<QString> description) {
    beginTimerAction();
    const auto started = [this](TimeEntry entry) {
        setCurrentEntry(std::move(entry));
        updateElapsedTime(m_currentEntry->startTime);
        startElapsedTimer();
    };
    co_await finishTimerAction(
        m_apiClient->startTimer(std::move(projectId), std::move(taskId), std::move(description)),
        started);
}

QCoro::Task<void> TimerViewModel::stopTimer() {
    if (!m_currentEntry) {
        co_return;
    }
    beginTimerAction();
    const auto stopped = [this](TimeEntry entry) {
        setCurrentEntry(std::move(entry));
        stopElapsedTimer();
        setElapsedTime(0);
    };
    co_await finishTimerAction(m_apiClient->stopTimer(m_currentEntry->id), stopped);
}

void TimerViewModel::updateElapsedTime(const QString& startTime) {
    const QDateTime now = m_clock->now();
    m_lastCounted = now;
    const auto start = Timestamp::parseStartTime(startTime);
    if (!start) {
        Diagnostics::print(QStringLiteral("❌ Failed to parse start time: ") + startTime);
        setElapsedTime(0);
        return;
    }
    setElapsedTime(Timestamp::secondsBetween(*start, now));
}

void TimerViewModel::tick() {
    const QDateTime now = m_clock->now();
    const bool late = m_lastCounted.isValid() && m_lastCounted.msecsTo(now) > lateTickMs;
    m_lastCounted = now;
    if (late && m_currentEntry) {
        // Silent when the start time cannot be read: its loads have already said so.
        if (const auto start = Timestamp::parseStartTime(m_currentEntry->startTime)) {
            setElapsedTime(Timestamp::secondsBetween(*start, now));
            return;
        }
    }
    setElapsedTime(m_elapsedTime + 1);
}

void TimerViewModel::startElapsedTimer() {
    stopElapsedTimer();
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    // A coarse timer may fire up to 5 % early or late; the counter would then skip or repeat a
    // second against the wall clock.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &TimerViewModel::tick);
    m_lastCounted = m_clock->now();
    m_timer->start();
}

void TimerViewModel::stopElapsedTimer() {
    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater(); // may be inside its own timeout signal
        m_timer = nullptr;
    }
}

QCoro::Task<void> TimerViewModel::restartEntry(TimeEntry entry) {
    co_await startTimer(std::move(entry.projectId), std::move(entry.taskId),
                        std::move(entry.description));
}

std::optional<TimeEntry> TimerViewModel::latestEntry() const {
    if (m_recentEntries.isEmpty()) {
        return std::nullopt;
    }
    return m_recentEntries.first();
}

std::optional<double> TimerViewModel::runningEarnings(RateRule rule) const {
    if (!isTimerRunning() || !m_currentEntry->hourlyRateSnapshot) {
        return std::nullopt;
    }
    if (rule == RateRule::positiveRate && !(*m_currentEntry->hourlyRateSnapshot > 0)) {
        return std::nullopt;
    }
    return m_currentEntry->earningsAfter(m_elapsedTime);
}

QString TimerViewModel::projectName(const TimeEntry& entry, ProjectLookup lookup) const {
    if (entry.project) {
        return entry.project->name;
    }
    if (entry.projectId && lookup == ProjectLookup::embeddedThenLoaded) {
        for (const Project& project : m_projects) {
            if (project.id == *entry.projectId) {
                return project.name;
            }
        }
    }
    return QStringLiteral("No Project");
}

QColor TimerViewModel::projectColor(const std::optional<QString>& projectId) const {
    if (!projectId) {
        return Theme::grey();
    }
    for (const Project& project : m_projects) {
        if (project.id == *projectId) {
            return project.color ? colorFromHex(*project.color).value_or(Theme::grey())
                                 : Theme::grey();
        }
    }
    return Theme::grey();
}

QColor TimerViewModel::entryColor(const TimeEntry& entry) const {
    if (entry.project && entry.project->color) {
        return colorFromHex(*entry.project->color).value_or(Theme::grey());
    }
    return projectColor(entry.projectId);
}

} // namespace kelvo

#include "TimerViewModel.h"

#include "Backoff.h"
#include "Publish.h"
#include "api/APIClient.h"
#include "records/Formatting.h"
#include "records/NamedColors.h"
#include "records/Timestamp.h"
#include "settings/SettingsStore.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
// A tick this late resynchronises the count instead of adding one.
constexpr qint64 lateTickMs = 3000;

// A failure that says nothing about the request: the server was not reached, or not able to
// answer. Sending the same again later may go through.
bool waitsForServer(const APIClientError& error) {
    return error.isTransient() && error.kind() != APIClientError::Kind::decodingError;
}
} // namespace

TimerViewModel::TimerViewModel(APIClient* apiClient, Clock* clock, QObject* parent)
    : QObject(parent)
    , m_apiClient(apiClient)
    , m_clock(clock)
    , m_retry(new Backoff(std::chrono::seconds(5), std::chrono::seconds(60), this)) {
    connect(m_apiClient, &APIClient::reached, this, &TimerViewModel::onReached);
    connect(m_retry, &Backoff::due, this, &TimerViewModel::retryNow);
    if (const auto kept = SettingsStore::value(SettingsStore::Key::pendingStop)) {
        m_pendingStop = *kept;
        Diagnostics::print(u"Sending the stop that could not be sent before Kelvo quit"_s);
        QTimer::singleShot(0, this, [this] { sendPendingStop(); });
    }
    QTimer::singleShot(0, this, [this] { refreshAllData(); });
    watchActivation();
}

QString TimerViewModel::waitingStopText() {
    return u"Could not reach the server \u2014 will stop when it answers"_s;
}

void TimerViewModel::setRetryWaits(std::chrono::milliseconds first,
                                   std::chrono::milliseconds longest) {
    m_retry->setWaits(first, longest);
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

void TimerViewModel::setErrorMessage(std::optional<QString> message, bool waitsForServer) {
    m_errorWaitsForServer = waitsForServer;
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

template <class Request, class Apply>
QCoro::Task<ActionResult> TimerViewModel::load(Request&& request, const QString& failureLine,
                                               const Apply& apply) {
    QPointer self(this);
    const quint64 account = m_account;
    auto result = co_await request;
    if (!result) {
        if (self) {
            Diagnostics::print(failureLine + result.error().debugDescription());
        }
        co_return std::unexpected(ActionError::of(result.error()));
    }
    if (self && account == m_account) {
        apply(std::move(*result));
    }
    co_return ActionResult();
}

QCoro::Task<ActionResult> TimerViewModel::loadCurrentEntry() {
    const auto loaded = [this, asked = ++m_entryAsked](std::optional<TimeEntry> entry) {
        if (asked < m_entryShownAsOf) {
            return; // a start or stop (or a later look) was answered meanwhile
        }
        m_entryShownAsOf = asked;
        // A waiting stop of an entry that no longer runs (stopped elsewhere) has nothing to do.
        if (m_pendingStop && !(entry && entry->isRunning && entry->id == *m_pendingStop)) {
            setPendingStop(std::nullopt);
            if (m_errorWaitsForServer) {
                setErrorMessage(std::nullopt);
            }
        }
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

QCoro::Task<ActionResult> TimerViewModel::loadRecentEntries() {
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
        m_projectsLoaded = true;
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

QCoro::Task<ActionResult> TimerViewModel::finishTimerAction() {
    QPointer self(this);
    co_await loadRecentEntries();
    if (self) {
        setIsLoading(false);
        Q_EMIT actionSucceeded();
    }
    co_return ActionResult();
}

namespace {
ActionResult busy() {
    return std::unexpected(ActionError{ActionError::Kind::busy, {}});
}

// The answer came for an account signed out meanwhile (or a state object gone).
ActionResult signedOutMeanwhile() {
    return std::unexpected(ActionError{ActionError::Kind::refused, u"Signed out."_s});
}
} // namespace

QCoro::Task<ActionResult> TimerViewModel::startTimer(std::optional<QString> projectId,
                                                     std::optional<QString> taskId,
                                                     std::optional<QString> description) {
    // One at a time, and none while a stop waits: the server would refuse a second timer, or
    // stamp the waiting stop after the new start.
    if (m_isLoading || m_pendingStop) {
        co_return busy();
    }
    beginTimerAction();
    QPointer self(this);
    const quint64 account = m_account;
    const quint64 asked = ++m_entryAsked;
    auto result = co_await m_apiClient->startTimer(std::move(projectId), std::move(taskId),
                                                   std::move(description));
    if (!self || account != m_account) {
        co_return signedOutMeanwhile();
    }
    if (!result) {
        const APIClientError* error = result.error().clientError();
        setErrorMessage(result.error().errorDescription(), error && waitsForServer(*error));
        setIsLoading(false);
        co_return std::unexpected(ActionError::of(result.error()));
    }
    m_entryShownAsOf = std::max(m_entryShownAsOf, asked);
    setCurrentEntry(std::move(*result));
    updateElapsedTime(m_currentEntry->startTime);
    startElapsedTimer();
    co_return co_await finishTimerAction();
}

QCoro::Task<ActionResult> TimerViewModel::stopTimer() {
    if (!m_currentEntry) {
        co_return ActionResult();
    }
    if (m_isLoading) {
        co_return busy();
    }
    if (m_pendingStop) {
        co_return co_await sendPendingStop(); // asked again: try now
    }
    beginTimerAction();
    QPointer self(this);
    const quint64 account = m_account;
    const QString id = m_currentEntry->id;
    const quint64 asked = ++m_entryAsked;
    auto result = co_await m_apiClient->stopTimer(id);
    if (!self || account != m_account) {
        co_return signedOutMeanwhile();
    }
    if (!result && waitsForServer(result.error()) && isTimerRunning() &&
        m_currentEntry->id == id) {
        Diagnostics::print(u"The stop waits for the server: "_s + result.error().debugDescription());
        setPendingStop(id);
        setErrorMessage(waitingStopText(), true);
        m_retry->start();
        setIsLoading(false);
        co_return std::unexpected(ActionError{ActionError::Kind::failed, waitingStopText()});
    }
    if (!result) {
        const ActionError failure = showFailure(result.error());
        setIsLoading(false);
        co_return std::unexpected(failure);
    }
    applyStopped(std::move(*result), asked);
    co_return co_await finishTimerAction();
}

void TimerViewModel::applyStopped(TimeEntry entry, quint64 asked) {
    m_entryShownAsOf = std::max(m_entryShownAsOf, asked);
    setCurrentEntry(std::move(entry));
    stopElapsedTimer();
    setElapsedTime(0);
}

QCoro::Task<ActionResult> TimerViewModel::sendPendingStop() {
    if (!m_pendingStop || m_isLoading) {
        co_return busy();
    }
    setIsLoading(true);
    QPointer self(this);
    const quint64 account = m_account;
    const QString id = *m_pendingStop;
    const quint64 asked = ++m_entryAsked;
    auto result = co_await m_apiClient->stopTimer(id);
    if (!self || account != m_account) {
        co_return signedOutMeanwhile();
    }
    if (m_pendingStop != id) { // settled meanwhile: the entry was found stopped
        setIsLoading(false);
        co_return ActionResult();
    }
    if (!result && waitsForServer(result.error())) {
        m_retry->start();
        setIsLoading(false);
        co_return std::unexpected(ActionError{ActionError::Kind::failed, waitingStopText()});
    }
    setPendingStop(std::nullopt);
    if (!result) {
        // Refused (stopped elsewhere, or the sign-in is gone): the server's word on what runs.
        const ActionError failure = showFailure(result.error());
        co_await loadCurrentEntry();
        if (self) {
            setIsLoading(false);
        }
        co_return std::unexpected(failure);
    }
    setErrorMessage(std::nullopt);
    if (m_currentEntry && m_currentEntry->id == id) {
        applyStopped(std::move(*result), asked);
    } else {
        co_await loadCurrentEntry(); // kept from before a restart: what runs now is not known
        if (!self) {
            co_return ActionResult();
        }
    }
    co_return co_await finishTimerAction();
}

void TimerViewModel::setPendingStop(std::optional<QString> entryId) {
    const bool wasKept = !entryId && m_pendingStop;
    publish(this, m_pendingStop, std::move(entryId), &TimerViewModel::pendingStopChanged);
    if (wasKept && SettingsStore::value(SettingsStore::Key::pendingStop)) {
        SettingsStore::setValue(SettingsStore::Key::pendingStop, std::nullopt);
    }
}

ActionError TimerViewModel::showFailure(const APIClientError& error) {
    setErrorMessage(error.errorDescription(), waitsForServer(error));
    return ActionError::of(error);
}

void TimerViewModel::onReached(bool answered) {
    if (!answered) {
        m_serverLost = true;
        if (m_pendingStop || m_apiClient->authToken()) {
            m_retry->start();
        }
        return;
    }
    if (!std::exchange(m_serverLost, false)) {
        return;
    }
    if (!m_pendingStop) {
        m_retry->stop();
        if (m_errorWaitsForServer) {
            setErrorMessage(std::nullopt);
        }
    }
    Q_EMIT serverReturned();
    if (m_pendingStop) {
        sendPendingStop();
    }
}

void TimerViewModel::retryNow() {
    if (m_pendingStop) {
        sendPendingStop();
    } else if (m_serverLost && m_apiClient->authToken()) {
        loadCurrentEntry(); // an answer to it ends the outage
    } else {
        m_retry->stop();
    }
}

bool TimerViewModel::forgetAccount() {
    ++m_account;
    const bool stopWaited = m_pendingStop.has_value();
    setPendingStop(std::nullopt);
    m_retry->stop();
    m_serverLost = false;
    m_projectsLoaded = false;
    stopElapsedTimer();
    setCurrentEntry(std::nullopt);
    setElapsedTime(0);
    publish(this, m_recentEntries, QList<TimeEntry>(), &TimerViewModel::recentEntriesChanged);
    publish(this, m_projects, QList<Project>(), &TimerViewModel::projectsChanged);
    setTasks({});
    setSelectedProjectId(std::nullopt);
    setSelectedTaskId(std::nullopt);
    setErrorMessage(std::nullopt);
    setIsLoading(false);
    if (m_isRefreshing) {
        publish(this, m_isRefreshing, false, &TimerViewModel::isRefreshingChanged);
    }
    return stopWaited;
}

void TimerViewModel::settleBeforeQuit(std::chrono::milliseconds within) {
    if (!m_pendingStop) {
        return;
    }
    if (!m_isLoading) {
        QEventLoop loop;
        QTimer::singleShot(within, &loop, &QEventLoop::quit);
        connect(this, &TimerViewModel::isLoadingChanged, &loop, [this, &loop] {
            if (!m_isLoading) {
                loop.quit();
            }
        });
        sendPendingStop();
        if (m_isLoading) {
            loop.exec();
        }
    }
    if (!m_pendingStop) {
        return;
    }
    const bool kept =
        SettingsStore::setValue(SettingsStore::Key::pendingStop, m_pendingStop).has_value();
    Diagnostics::print(kept ? u"The timer's stop could not be sent; Kelvo sends it at its next start"_s
                            : u"The timer's stop could not be sent, nor kept for the next start"_s);
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

QCoro::Task<ActionResult> TimerViewModel::restartEntry(TimeEntry entry) {
    co_return co_await startTimer(std::move(entry.projectId), std::move(entry.taskId),
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
        return NamedColors::grey();
    }
    for (const Project& project : m_projects) {
        if (project.id == *projectId) {
            return project.color ? colorFromHex(*project.color).value_or(NamedColors::grey())
                                 : NamedColors::grey();
        }
    }
    return NamedColors::grey();
}

QColor TimerViewModel::entryColor(const TimeEntry& entry) const {
    if (entry.project && entry.project->color) {
        return colorFromHex(*entry.project->color).value_or(NamedColors::grey());
    }
    return projectColor(entry.projectId);
}

} // namespace kelvo

#include "ProgramControl.h"

#include "control/TimerCommands.h"
#include "records/Timestamp.h"
#include "state/AuthViewModel.h"
#include "state/AwayWatch.h"
#include "state/DashboardViewModel.h"
#include "state/TimerViewModel.h"

#include <QPointer>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {
// Totals older than this are asked for again before a status is answered.
constexpr qint64 totalsFreshMs = 30'000;
} // namespace

ProgramControl::ProgramControl(APIClient* client, AuthViewModel* auth, TimerViewModel* timer,
                               Actions actions, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_auth(auth)
    , m_timer(timer)
    , m_totals(new DashboardViewModel(client, DashboardViewModel::ShownBy::popover, this))
    , m_actions(std::move(actions)) {
    for (auto signal : {&TimerViewModel::currentEntryChanged, &TimerViewModel::elapsedTimeChanged,
                        &TimerViewModel::projectsChanged}) {
        connect(m_timer, signal, this, &ProgramControl::changed);
    }
    for (auto signal : {&AuthViewModel::isAuthenticatedChanged, &AuthViewModel::isLoadingChanged,
                        &AuthViewModel::isRetryingRestoreChanged}) {
        connect(m_auth, signal, this, &ProgramControl::changed);
    }
    connect(m_totals, &DashboardViewModel::earningsChanged, this, &ProgramControl::changed);
    connect(m_auth, &AuthViewModel::isAuthenticatedChanged, this,
            [this] { m_totalsAge.invalidate(); });
    connect(m_auth, &AuthViewModel::signedOut, m_totals, &DashboardViewModel::clear);
    // The totals changed with the timer, whoever moved it.
    connect(m_timer, &TimerViewModel::actionSucceeded, this, [this] { m_totalsAge.invalidate(); });
    connect(m_timer, &TimerViewModel::pendingStopChanged, this, &ProgramControl::changed);
}

std::optional<ControlReply> ProgramControl::refusal() const {
    if (m_auth->isAuthenticated()) {
        return std::nullopt;
    }
    if (m_auth->hasToken()) {
        return ControlReply::failure(ExitCode::failed,
                                     u"Kelvo is still confirming your sign-in with the server."_s);
    }
    return TimerCommands::notSignedIn();
}

ControlReply ProgramControl::status() const {
    if (auto refused = refusal()) {
        refused->report = StatusReport::unavailable(refused->exit == ExitCode::signedOut
                                                        ? StatusReport::State::signedOut
                                                        : StatusReport::State::offline,
                                                    refused->message);
        return *refused;
    }
    const auto& entry = m_timer->currentEntry();
    std::optional<QString> projectName;
    if (entry && !entry->project && entry->projectId) {
        projectName = m_timer->projectName(*entry);
    }
    StatusReport report =
        StatusReport::of(entry, m_timer->elapsedTime(), m_totals->earnings(), projectName);
    report.stopPending = m_timer->pendingStop().has_value();
    if (m_away && m_away->isShown()) {
        const AwayStop& stop = *m_away->awayStop();
        TimeEntry stopped = stop.entry;
        stopped.isRunning = true; // as it ran, counted to its stop
        const auto start = Timestamp::parseStartTime(stopped.startTime);
        const qint64 counted = start ? Timestamp::secondsBetween(*start, stop.stoppedAt) : 0;
        const auto away = StatusReport::of(stopped, counted, std::nullopt,
                                           m_timer->projectName(stopped));
        report.away = StatusReport::Away{
            stop.stoppedAt.toUTC().toString(Qt::ISODateWithMs),
            AwayStop::reasonName(stop.reason), *away.entry};
    }
    return ControlReply::of(report);
}

QCoro::Task<ControlReply> ProgramControl::handle(ControlRequest request) {
    switch (request.command) {
    case ControlRequest::Command::status:
        if (request.follow) {
            // A follower gets the present at once; the totals follow as a change.
            if (!refusal() && !m_totalsAge.isValid()) {
                m_totalsAge.start();
                m_totals->loadEarnings();
            }
            co_return status();
        }
        co_return co_await statusWithTotals();
    case ControlRequest::Command::show:
        m_actions.showWindow();
        co_return ControlReply{};
    case ControlRequest::Command::popover:
        m_actions.togglePopover();
        co_return ControlReply{};
    case ControlRequest::Command::quit:
        // After this reply has gone out.
        QMetaObject::invokeMethod(this, m_actions.quit, Qt::QueuedConnection);
        co_return ControlReply{};
    default:
        break;
    }
    if (auto refused = refusal()) {
        co_return *refused;
    }
    if (m_timer->isLoading()) {
        co_return TimerCommands::busy();
    }
    if (m_timer->pendingStop() && request.command != ControlRequest::Command::stop &&
        !(request.command == ControlRequest::Command::toggle && m_timer->isTimerRunning())) {
        co_return ControlReply::failure(
            ExitCode::failed, u"The timer's stop is waiting for the server; no timer starts "
                              "until it has gone through."_s);
    }
    if (request.command == ControlRequest::Command::resume) {
        co_return co_await resume();
    }
    const bool startsLatest = !request.project && !request.task && !request.description;
    if (request.command == ControlRequest::Command::start && !startsLatest) {
        co_return co_await start(std::move(request));
    }
    // A stop, a toggle and a restart of the latest go by the server's word on what runs.
    QPointer self(this);
    const auto loaded = co_await m_timer->loadCurrentEntry();
    if (!self) {
        co_return ControlReply{};
    }
    if (!loaded) {
        co_return TimerCommands::failure(loaded.error());
    }
    if (request.command == ControlRequest::Command::stop ||
        (request.command == ControlRequest::Command::toggle && m_timer->isTimerRunning())) {
        co_return co_await stop();
    }
    co_return co_await startLatest();
}

QCoro::Task<ControlReply> ProgramControl::statusWithTotals() {
    if (!refusal() && (!m_totalsAge.isValid() || m_totalsAge.elapsed() > totalsFreshMs)) {
        m_totalsAge.start();
        QPointer self(this);
        co_await m_totals->loadEarnings();
        if (!self) {
            co_return ControlReply{};
        }
    }
    co_return status();
}

QCoro::Task<ControlReply> ProgramControl::start(ControlRequest request) {
    QPointer self(this);
    const auto target = co_await TimerCommands::resolve(m_client, request);
    if (!self) {
        co_return ControlReply{};
    }
    if (!target) {
        co_return target.error();
    }
    const auto started =
        co_await m_timer->startTimer(target->projectId, target->taskId, request.description);
    if (!self) {
        co_return ControlReply{};
    }
    co_return co_await finished(started);
}

QCoro::Task<ControlReply> ProgramControl::startLatest() {
    if (m_timer->isTimerRunning()) {
        co_return TimerCommands::alreadyRunning();
    }
    QPointer self(this);
    const auto loaded = co_await m_timer->loadRecentEntries();
    if (!self) {
        co_return ControlReply{};
    }
    if (!loaded) {
        co_return TimerCommands::failure(loaded.error());
    }
    const auto latest = m_timer->latestEntry();
    if (!latest) {
        co_return TimerCommands::nothingToRestart();
    }
    const auto restarted = co_await m_timer->restartEntry(*latest);
    if (!self) {
        co_return ControlReply{};
    }
    co_return co_await finished(restarted);
}

QCoro::Task<ControlReply> ProgramControl::stop() {
    if (!m_timer->isTimerRunning()) {
        co_return TimerCommands::nothingRunning();
    }
    QPointer self(this);
    const auto stopped = co_await m_timer->stopTimer();
    if (!self) {
        co_return ControlReply{};
    }
    co_return co_await finished(stopped);
}

void ProgramControl::setAwayWatch(AwayWatch* away) {
    m_away = away;
    if (away) {
        connect(away, &AwayWatch::awayStopChanged, this, &ProgramControl::changed);
    }
}

QCoro::Task<ControlReply> ProgramControl::resume() {
    if (!m_away || !m_away->isShown()) {
        co_return ControlReply::failure(ExitCode::failed,
                                        u"No timer was stopped while you were away."_s);
    }
    QPointer self(this);
    const auto resumed = co_await m_away->resume();
    if (!self) {
        co_return ControlReply{};
    }
    co_return co_await finished(resumed);
}

QCoro::Task<ControlReply> ProgramControl::finished(ActionResult outcome) {
    if (!outcome) {
        // A refused sign-in is gone from the client: the command finds no one signed in.
        co_return outcome.error().kind == ActionError::Kind::refused
            ? TimerCommands::notSignedIn()
            : TimerCommands::failure(outcome.error());
    }
    // The totals changed with the timer.
    m_totalsAge.invalidate();
    co_return co_await statusWithTotals();
}

} // namespace kelvo

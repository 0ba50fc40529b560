#include "DirectControl.h"

#include "TimerCommands.h"

#include <QTimeZone>

namespace kelvo {

DirectControl::DirectControl(APIClient* client, Clock* clock) : m_client(client), m_clock(clock) {}

QCoro::Task<ControlReply> DirectControl::run(ControlRequest request) {
    if (!m_client->authToken()) {
        co_return TimerCommands::notSignedIn();
    }
    switch (request.command) {
    case ControlRequest::Command::start:
        co_return co_await start(std::move(request));
    case ControlRequest::Command::stop:
        co_return co_await stop();
    case ControlRequest::Command::toggle: {
        const auto entry = co_await current();
        if (!entry) {
            co_return entry.error();
        }
        if (*entry) {
            co_return co_await stop();
        }
        co_return co_await startLatest();
    }
    default:
        break;
    }
    co_return co_await status();
}

QCoro::Task<std::expected<std::optional<TimeEntry>, ControlReply>> DirectControl::current() {
    auto entry = co_await m_client->getCurrentTimeEntry();
    if (!entry) {
        co_return std::unexpected(TimerCommands::failure(entry.error()));
    }
    m_entry.reset();
    if (*entry && (*entry)->isRunning) {
        m_entry = std::move(**entry);
    }
    // A copy by hand: g++ 12 moves from a member named in co_return, emptying it.
    std::optional<TimeEntry> running = m_entry;
    co_return running;
}

QCoro::Task<ControlReply> DirectControl::status() {
    if (!m_client->authToken()) {
        co_return TimerCommands::notSignedIn();
    }
    const auto entry = co_await current();
    if (!entry) {
        co_return entry.error();
    }
    // The totals are a bonus: without them the report still says what runs.
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    auto earnings = co_await m_client->getDashboardEarnings(zone);
    m_earnings.reset();
    if (earnings) {
        m_earnings = *earnings;
    }
    co_return ControlReply::of(counted());
}

StatusReport DirectControl::counted() const {
    const qint64 elapsed = m_entry ? m_entry->elapsedSeconds(m_clock->now()) : 0;
    return StatusReport::of(m_entry, elapsed, m_earnings);
}

QCoro::Task<ControlReply> DirectControl::start(ControlRequest request) {
    if (!request.project && !request.task && !request.description) {
        co_return co_await startLatest();
    }
    const auto target = co_await TimerCommands::resolve(m_client, request);
    if (!target) {
        co_return target.error();
    }
    auto result =
        co_await m_client->startTimer(target->projectId, target->taskId, request.description);
    co_return co_await started(std::move(result));
}

QCoro::Task<ControlReply> DirectControl::startLatest() {
    const auto entry = co_await current();
    if (!entry) {
        co_return entry.error();
    }
    if (*entry) {
        co_return TimerCommands::alreadyRunning();
    }
    TimeEntriesQuery query;
    query.limit = 1;
    const auto latest = co_await m_client->getTimeEntries(query);
    if (!latest) {
        co_return TimerCommands::failure(latest.error());
    }
    if (latest->isEmpty()) {
        co_return TimerCommands::nothingToRestart();
    }
    const TimeEntry& previous = latest->first();
    auto result =
        co_await m_client->startTimer(previous.projectId, previous.taskId, previous.description);
    co_return co_await started(std::move(result));
}

QCoro::Task<ControlReply> DirectControl::started(BodyResult<TimeEntry> result) {
    if (!result) {
        co_return TimerCommands::failure(result.error());
    }
    m_entry = *result;
    co_return co_await afterAction();
}

QCoro::Task<ControlReply> DirectControl::afterAction() {
    // The action took place: a status that cannot be had now does not make it a failure.
    const StatusReport known = counted();
    ControlReply reply = co_await status();
    if (reply.exit != ExitCode::done) {
        reply = ControlReply::of(known);
    }
    co_return reply;
}

QCoro::Task<ControlReply> DirectControl::stop() {
    const auto entry = co_await current();
    if (!entry) {
        co_return entry.error();
    }
    if (!*entry) {
        co_return TimerCommands::nothingRunning();
    }
    const auto stopped = co_await m_client->stopTimer((*entry)->id);
    if (!stopped) {
        co_return TimerCommands::failure(stopped.error());
    }
    m_entry.reset();
    co_return co_await afterAction();
}

} // namespace kelvo

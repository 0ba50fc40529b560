#pragma once

#include "ControlReply.h"
#include "ControlRequest.h"
#include "api/APIClient.h"
#include "records/Clock.h"

#include <QCoroTask>

namespace kelvo {

// The timer commands when no program runs: straight to the server with the stored sign-in,
// through the same client and helpers the program uses, and nothing else.
class DirectControl {
public:
    DirectControl(APIClient* client, Clock* clock);

    // status, start, stop and toggle; the reply carries the status after the command.
    QCoro::Task<ControlReply> run(ControlRequest request);
    // The running entry and the totals, from the server.
    QCoro::Task<ControlReply> status();
    // The last status counted on to the clock's present, without asking the server.
    StatusReport counted() const;

private:
    QCoro::Task<ControlReply> start(ControlRequest request);
    QCoro::Task<ControlReply> startLatest();
    QCoro::Task<ControlReply> stop();
    // The running entry, or the reply that ends the command.
    QCoro::Task<std::expected<std::optional<TimeEntry>, ControlReply>> current();
    QCoro::Task<ControlReply> started(BodyResult<TimeEntry> result);
    // The status after a start or stop that succeeded.
    QCoro::Task<ControlReply> afterAction();

    APIClient* m_client;
    Clock* m_clock;
    std::optional<TimeEntry> m_entry;
    std::optional<DashboardEarnings> m_earnings;
};

} // namespace kelvo

#pragma once

#include "control/ControlReply.h"
#include "control/ControlRequest.h"
#include "state/ActionError.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>

namespace kelvo {

class APIClient;
class AuthViewModel;
class AwayWatch;
class DashboardViewModel;
class TimerViewModel;

// The running program's side of `kelvo <command>`: each command works on the program's own
// session and timer, so the window, the popover and the item change with it at once.
class ProgramControl : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> showWindow;
        std::function<void()> togglePopover;
        std::function<void()> quit;
    };

    // `client` finds the projects and tasks a start names, and fetches the totals.
    ProgramControl(APIClient* client, AuthViewModel* auth, TimerViewModel* timer, Actions actions,
                   QObject* parent = nullptr);

    QCoro::Task<ControlReply> handle(ControlRequest request);
    // What `kelvo status` shows now, from the program's state alone.
    ControlReply status() const;
    // Tells of a timer stopped while the user was away, and serves `kelvo resume`.
    void setAwayWatch(AwayWatch* away);

Q_SIGNALS:
    // The status may read differently now.
    void changed();

private:
    QCoro::Task<ControlReply> statusWithTotals();
    // A start with a project, task or description.
    QCoro::Task<ControlReply> start(ControlRequest request);
    // These two act on the running entry as just loaded.
    QCoro::Task<ControlReply> startLatest();
    QCoro::Task<ControlReply> stop();
    QCoro::Task<ControlReply> resume();
    // The reply to a start or stop that ended with `outcome`.
    QCoro::Task<ControlReply> finished(ActionResult outcome);
    // Why a timer command cannot run now, if it cannot.
    std::optional<ControlReply> refusal() const;

    APIClient* m_client;
    AuthViewModel* m_auth;
    TimerViewModel* m_timer;
    DashboardViewModel* m_totals;
    Actions m_actions;
    QPointer<AwayWatch> m_away;
    QElapsedTimer m_totalsAge;
};

} // namespace kelvo

#pragma once

#include "ControlReply.h"
#include "ControlRequest.h"
#include "api/APIClient.h"
#include "state/ActionError.h"

#include <QCoroTask>

namespace kelvo {

// What the timer commands share, run by the program and by `kelvo` alone: finding the project
// and task a start names, and the replies for what cannot be done.
class TimerCommands {
public:
    // Where a new timer goes.
    struct Target {
        std::optional<QString> projectId;
        std::optional<QString> taskId;
    };
    // Something a name may pick: a project, or a task with its project.
    struct Choice {
        QString id;
        QString name;
        QString projectId;
        QString projectName;
    };

    // The choice `query` names: its id, else its whole name (case-insensitive), else the one name
    // it begins. No match or several give the usage reply listing the candidates; `kind` is
    // "project" or "task".
    static std::expected<Choice, ControlReply> pick(const QList<Choice>& choices,
                                                    const QString& query, const QString& kind);
    // The project and task of `request` (`--task` alone searches the tasks of active projects).
    static QCoro::Task<std::expected<Target, ControlReply>> resolve(APIClient* client,
                                                                    ControlRequest request);

    static ControlReply failure(const APIClientError& error);
    static ControlReply failure(const RequestError& error);
    static ControlReply failure(const ActionError& error);
    static ControlReply busy();
    static ControlReply notSignedIn();
    static ControlReply nothingRunning();
    static ControlReply alreadyRunning();
    static ControlReply nothingToRestart();

private:
    static QCoro::Task<std::expected<Target, ControlReply>> resolveTask(APIClient* client,
                                                                        QString task);
    static QList<Choice> activeProjects(const QList<Project>& projects);
};

} // namespace kelvo

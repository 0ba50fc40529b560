#include "TimerCommands.h"

#include <QSet>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

// The most candidates a usage message lists.
constexpr qsizetype listedCandidates = 20;

QString candidateLine(const TimerCommands::Choice& choice) {
    QString line = u"  "_s + choice.name;
    if (!choice.projectName.isEmpty()) {
        line += u" ("_s + choice.projectName + u')';
    }
    return line + u"  [id "_s + choice.id + u']';
}

ControlReply unmatched(const QString& headline, const QList<TimerCommands::Choice>& candidates) {
    QStringList lines{headline};
    for (qsizetype i = 0; i < candidates.size() && i < listedCandidates; ++i) {
        lines.append(candidateLine(candidates[i]));
    }
    if (candidates.size() > listedCandidates) {
        lines.append(u"  … and %1 more"_s.arg(candidates.size() - listedCandidates));
    }
    return ControlReply::failure(ExitCode::usage, lines.join(u'\n'));
}

} // namespace

std::expected<TimerCommands::Choice, ControlReply>
TimerCommands::pick(const QList<Choice>& choices, const QString& query, const QString& kind) {
    for (const Choice& choice : choices) {
        if (choice.id == query) {
            return choice;
        }
    }
    QList<Choice> named;
    QList<Choice> begun;
    for (const Choice& choice : choices) {
        if (choice.name.compare(query, Qt::CaseInsensitive) == 0) {
            named.append(choice);
        } else if (!query.isEmpty() && choice.name.startsWith(query, Qt::CaseInsensitive)) {
            begun.append(choice);
        }
    }
    const QList<Choice>& found = named.isEmpty() ? begun : named;
    if (found.size() == 1) {
        return found.first();
    }
    if (found.isEmpty()) {
        return std::unexpected(unmatched(
            u"No %1 matches \"%2\"."_s.arg(kind, query) +
                (choices.isEmpty() ? u" There are none to choose from."_s : u" Choose one of:"_s),
            choices));
    }
    return std::unexpected(unmatched(u"\"%1\" names more than one %2:"_s.arg(query, kind), found));
}

QList<TimerCommands::Choice> TimerCommands::activeProjects(const QList<Project>& projects) {
    QList<Choice> choices;
    for (const Project& project : projects) {
        if (project.isActive) {
            choices.append({project.id, project.name, project.id, {}});
        }
    }
    return choices;
}

QCoro::Task<std::expected<TimerCommands::Target, ControlReply>>
TimerCommands::resolve(APIClient* client, ControlRequest request) {
    if (!request.project) {
        if (request.task) {
            co_return co_await resolveTask(client, *request.task);
        }
        co_return Target{};
    }
    const auto projects = co_await client->getProjects();
    if (!projects) {
        co_return std::unexpected(failure(projects.error()));
    }
    const auto project = pick(activeProjects(*projects), *request.project, u"project"_s);
    if (!project) {
        co_return std::unexpected(project.error());
    }
    if (!request.task) {
        co_return Target{project->id, std::nullopt};
    }
    const auto tasks = co_await client->getTasks(project->id, false);
    if (!tasks) {
        co_return std::unexpected(failure(tasks.error()));
    }
    QList<Choice> choices;
    for (const KelvoTask& task : *tasks) {
        choices.append({task.id, task.name, project->id, project->name});
    }
    const auto task = pick(choices, *request.task, u"task"_s);
    if (!task) {
        co_return std::unexpected(task.error());
    }
    co_return Target{project->id, task->id};
}

QCoro::Task<std::expected<TimerCommands::Target, ControlReply>>
TimerCommands::resolveTask(APIClient* client, QString task) {
    const auto projects = co_await client->getProjects();
    if (!projects) {
        co_return std::unexpected(failure(projects.error()));
    }
    QHash<QString, QString> active;
    for (const Choice& project : activeProjects(*projects)) {
        active.insert(project.id, project.name);
    }
    const auto tasks = co_await client->getTasks(std::nullopt, false);
    if (!tasks) {
        co_return std::unexpected(failure(tasks.error()));
    }
    QList<Choice> choices;
    for (const KelvoTask& candidate : *tasks) {
        if (candidate.project && active.contains(candidate.project->id)) {
            choices.append({candidate.id, candidate.name, candidate.project->id,
                            active.value(candidate.project->id)});
        }
    }
    const auto picked = pick(choices, task, u"task"_s);
    if (!picked) {
        co_return std::unexpected(picked.error());
    }
    co_return Target{picked->projectId, picked->id};
}

ControlReply TimerCommands::failure(const APIClientError& error) {
    if (error.kind() == APIClientError::Kind::unauthorized) {
        return ControlReply::failure(ExitCode::signedOut,
                                     u"The server refused the stored sign-in: "_s +
                                         error.errorDescription() +
                                         u"\nOpen Kelvo and sign in again."_s);
    }
    return ControlReply::failure(ExitCode::failed, error.errorDescription());
}

ControlReply TimerCommands::failure(const RequestError& error) {
    if (const APIClientError* client = error.clientError()) {
        return failure(*client);
    }
    return ControlReply::failure(ExitCode::failed, error.errorDescription());
}

ControlReply TimerCommands::failure(const ActionError& error) {
    switch (error.kind) {
    case ActionError::Kind::refused:
        return ControlReply::failure(ExitCode::signedOut,
                                     u"The server refused the stored sign-in: "_s + error.message +
                                         u"\nOpen Kelvo and sign in again."_s);
    case ActionError::Kind::busy:
        return busy();
    case ActionError::Kind::failed:
        break;
    }
    return ControlReply::failure(ExitCode::failed, error.message);
}

ControlReply TimerCommands::busy() {
    // Its outcome would be told apart from the other one's only by luck.
    return ControlReply::failure(ExitCode::failed,
                                 u"A timer is being started or stopped right now; try again."_s);
}

ControlReply TimerCommands::notSignedIn() {
    return ControlReply::failure(ExitCode::signedOut,
                                 u"Not signed in. Open Kelvo and sign in first."_s);
}

ControlReply TimerCommands::nothingRunning() {
    return ControlReply::failure(ExitCode::nothingToDo, u"No timer running."_s);
}

ControlReply TimerCommands::alreadyRunning() {
    return ControlReply::failure(ExitCode::nothingToDo, u"A timer is already running."_s);
}

ControlReply TimerCommands::nothingToRestart() {
    return ControlReply::failure(ExitCode::nothingToDo,
                                 u"There is no previous timer to restart."_s);
}

} // namespace kelvo

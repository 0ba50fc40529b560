#include "Projects.h"

#include "Credentials.h"
#include "JsonBody.h"
#include "QueryReader.h"
#include "Validation.h"

#include <QJsonArray>

namespace kelvo::server {

namespace {

const QString projectColumns =
    QStringLiteral("id, name, description, color, hourly_rate, is_active, created_at, updated_at");

QJsonObject projectFromRow(const QSqlQuery& row) {
    return {
        {QStringLiteral("id"), row.value(0).toString()},
        {QStringLiteral("name"), row.value(1).toString()},
        {QStringLiteral("description"), ServerContext::nullable(row.value(2))},
        {QStringLiteral("color"), ServerContext::nullable(row.value(3))},
        {QStringLiteral("hourlyRate"), ServerContext::nullable(row.value(4))},
        {QStringLiteral("isActive"), row.value(5).toInt() != 0},
        {QStringLiteral("createdAt"), ServerContext::timestamp(row.value(6).toLongLong())},
        {QStringLiteral("updatedAt"), ServerContext::timestamp(row.value(7).toLongLong())},
    };
}

} // namespace

HandlerResult Projects::listProjects(const QString& userId) {
    auto rows = m_context.db.exec(QStringLiteral("SELECT ") + projectColumns +
                                      QStringLiteral(" FROM projects WHERE user_id = ? "
                                                     "ORDER BY created_at, rowid"),
                                  {userId});
    if (!rows) {
        return std::unexpected(HttpError::internal());
    }
    QJsonArray projects;
    while (rows->next()) {
        projects.append(projectFromRow(*rows));
    }
    return HttpReply{{{QStringLiteral("projects"), projects}}};
}

HandlerResult Projects::createProject(const QString& userId, const QByteArray& bytes) {
    auto body = JsonBody::parse(bytes);
    if (!body) {
        return std::unexpected(body.error());
    }
    const QString name = body->requiredText(QStringLiteral("name")).trimmed();
    const auto description = body->optionalText(QStringLiteral("description"));
    const auto color = body->optionalText(QStringLiteral("color"));
    const auto rate = body->optionalNumber(QStringLiteral("hourlyRate"));
    const bool isActive = body->optionalFlag(QStringLiteral("isActive")).value_or(true);
    if (body->error()) {
        return std::unexpected(*body->error());
    }
    for (const auto& problem :
         {Validation::name(name, QStringLiteral("name")), Validation::description(description),
          Validation::colour(color), Validation::rate(rate, QStringLiteral("hourlyRate"))}) {
        if (problem) {
            return std::unexpected(*problem);
        }
    }
    const QString id = Credentials::newId();
    const qint64 now = m_context.nowMs();
    if (!m_context.db.exec(QStringLiteral("INSERT INTO projects (id, user_id, name, description, "
                                          "color, hourly_rate, is_active, created_at, updated_at) "
                                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                           {id, userId, name, description ? QVariant(*description) : QVariant(),
                            color ? QVariant(*color) : QVariant(),
                            rate ? QVariant(*rate) : QVariant(), isActive ? 1 : 0, now, now})) {
        return std::unexpected(HttpError::internal());
    }
    const auto project = projectJson(userId, id);
    if (!project) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("project"), *project}}, HttpStatus::Created};
}

std::optional<QJsonObject> Projects::projectJson(const QString& userId, const QString& projectId) {
    auto row = m_context.db.exec(QStringLiteral("SELECT ") + projectColumns +
                                     QStringLiteral(" FROM projects WHERE id = ? AND user_id = ?"),
                                 {projectId, userId});
    if (!row || !row->next()) {
        return std::nullopt;
    }
    return projectFromRow(*row);
}

HandlerResult Projects::listTasks(const QString& userId, const QUrlQuery& query) {
    const QueryReader params(query);
    QString where = QStringLiteral("t.user_id = ?");
    QVariantList bindings{userId};
    if (const auto projectId = params.text(QStringLiteral("projectId"))) {
        where += QStringLiteral(" AND t.project_id = ?");
        bindings.append(*projectId);
    }
    const auto completed = params.flag(QStringLiteral("isCompleted"));
    if (!completed) {
        return std::unexpected(completed.error());
    }
    if (*completed) {
        where += QStringLiteral(" AND t.is_completed = ?");
        bindings.append(**completed ? 1 : 0);
    }
    const auto list = tasks(where, bindings);
    if (!list) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("tasks"), *list}}};
}

std::optional<QJsonArray> Projects::tasks(const QString& where, const QVariantList& bindings) {
    auto rows = m_context.db.exec(
        QStringLiteral("SELECT t.id, t.name, t.description, t.is_completed, t.hourly_rate, "
                       "t.created_at, t.updated_at, p.id, p.name, p.color, "
                       "(SELECT COUNT(*) FROM time_entries e WHERE e.task_id = t.id) "
                       "FROM tasks t JOIN projects p ON p.id = t.project_id WHERE ") +
            where + QStringLiteral(" ORDER BY t.created_at, t.rowid"),
        bindings);
    if (!rows) {
        return std::nullopt;
    }
    QJsonArray list;
    while (rows->next()) {
        list.append(QJsonObject{
            {QStringLiteral("id"), rows->value(0).toString()},
            {QStringLiteral("name"), rows->value(1).toString()},
            {QStringLiteral("description"), ServerContext::nullable(rows->value(2))},
            {QStringLiteral("isCompleted"), rows->value(3).toInt() != 0},
            {QStringLiteral("hourlyRate"), ServerContext::nullable(rows->value(4))},
            {QStringLiteral("createdAt"), ServerContext::timestamp(rows->value(5).toLongLong())},
            {QStringLiteral("updatedAt"), ServerContext::timestamp(rows->value(6).toLongLong())},
            {QStringLiteral("projectId"), rows->value(7).toString()},
            {QStringLiteral("project"),
             QJsonObject{{QStringLiteral("id"), rows->value(7).toString()},
                         {QStringLiteral("name"), rows->value(8).toString()},
                         {QStringLiteral("color"), ServerContext::nullable(rows->value(9))}}},
            {QStringLiteral("_count"),
             QJsonObject{{QStringLiteral("timeEntries"), rows->value(10).toLongLong()}}},
        });
    }
    return list;
}

HandlerResult Projects::createTask(const QString& userId, const QByteArray& bytes) {
    auto body = JsonBody::parse(bytes);
    if (!body) {
        return std::unexpected(body.error());
    }
    const QString projectId = body->requiredText(QStringLiteral("projectId"));
    const QString name = body->requiredText(QStringLiteral("name")).trimmed();
    const auto description = body->optionalText(QStringLiteral("description"));
    const auto rate = body->optionalNumber(QStringLiteral("hourlyRate"));
    const bool isCompleted = body->optionalFlag(QStringLiteral("isCompleted")).value_or(false);
    if (body->error()) {
        return std::unexpected(*body->error());
    }
    for (const auto& problem :
         {Validation::name(name, QStringLiteral("name")), Validation::description(description),
          Validation::rate(rate, QStringLiteral("hourlyRate"))}) {
        if (problem) {
            return std::unexpected(*problem);
        }
    }
    if (!projectJson(userId, projectId)) {
        return std::unexpected(HttpError::notFound(QStringLiteral("Project not found")));
    }
    const QString id = Credentials::newId();
    const qint64 now = m_context.nowMs();
    if (!m_context.db.exec(QStringLiteral("INSERT INTO tasks (id, user_id, project_id, name, "
                                          "description, is_completed, hourly_rate, created_at, "
                                          "updated_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                           {id, userId, projectId, name,
                            description ? QVariant(*description) : QVariant(), isCompleted ? 1 : 0,
                            rate ? QVariant(*rate) : QVariant(), now, now})) {
        return std::unexpected(HttpError::internal());
    }
    const auto created = tasks(QStringLiteral("t.id = ?"), {id});
    if (!created || created->isEmpty()) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("task"), created->first()}}, HttpStatus::Created};
}

} // namespace kelvo::server

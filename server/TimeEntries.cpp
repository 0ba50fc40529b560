#include "TimeEntries.h"

#include "Credentials.h"
#include "JsonBody.h"
#include "QueryReader.h"
#include "Validation.h"

#include <QJsonArray>

namespace kelvo::server {

namespace {

constexpr qint64 defaultPageSize = 20;
constexpr qint64 maximumPageSize = 100;

QJsonObject entryFromRow(const QSqlQuery& row) {
    const qint64 start = row.value(2).toLongLong();
    const bool running = row.value(3).isNull();
    const qint64 end = row.value(3).toLongLong();
    QJsonObject entry{
        {QStringLiteral("id"), row.value(0).toString()},
        {QStringLiteral("description"), ServerContext::nullable(row.value(1))},
        {QStringLiteral("startTime"), ServerContext::timestamp(start)},
        {QStringLiteral("endTime"), running ? QJsonValue() : ServerContext::timestamp(end)},
        {QStringLiteral("duration"), running ? QJsonValue() : QJsonValue((end - start) / 1000)},
        {QStringLiteral("isRunning"), running},
        {QStringLiteral("hourlyRateSnapshot"), ServerContext::nullable(row.value(4))},
        {QStringLiteral("projectId"), ServerContext::nullable(row.value(5))},
        {QStringLiteral("taskId"), ServerContext::nullable(row.value(6))},
        {QStringLiteral("userId"), row.value(7).toString()},
        {QStringLiteral("createdAt"), ServerContext::timestamp(row.value(8).toLongLong())},
        {QStringLiteral("updatedAt"), ServerContext::timestamp(row.value(9).toLongLong())},
        {QStringLiteral("project"), QJsonValue()},
        {QStringLiteral("task"), QJsonValue()},
    };
    if (!row.value(5).isNull()) {
        entry.insert(
            QStringLiteral("project"),
            QJsonObject{{QStringLiteral("id"), row.value(5).toString()},
                        {QStringLiteral("name"), row.value(10).toString()},
                        {QStringLiteral("color"), ServerContext::nullable(row.value(11))}});
    }
    if (!row.value(6).isNull()) {
        entry.insert(QStringLiteral("task"),
                     QJsonObject{{QStringLiteral("id"), row.value(6).toString()},
                                 {QStringLiteral("name"), row.value(12).toString()}});
    }
    return entry;
}

} // namespace

std::optional<QJsonArray> TimeEntries::entries(const QString& where, const QVariantList& bindings,
                                               const QString& tail) {
    auto rows = m_context.db.exec(
        QStringLiteral("SELECT e.id, e.description, e.start_ms, e.end_ms, e.hourly_rate_snapshot, "
                       "e.project_id, e.task_id, e.user_id, e.created_at, e.updated_at, "
                       "p.name, p.color, t.name FROM time_entries e "
                       "LEFT JOIN projects p ON p.id = e.project_id "
                       "LEFT JOIN tasks t ON t.id = e.task_id WHERE ") +
            where + QStringLiteral(" ORDER BY e.start_ms DESC, e.rowid DESC") + tail,
        bindings);
    if (!rows) {
        return std::nullopt;
    }
    QJsonArray list;
    while (rows->next()) {
        list.append(entryFromRow(*rows));
    }
    return list;
}

std::optional<QJsonObject> TimeEntries::entryJson(const QString& userId, const QString& entryId) {
    const auto list = entries(QStringLiteral("e.id = ? AND e.user_id = ?"), {entryId, userId});
    if (!list || list->isEmpty()) {
        return std::nullopt;
    }
    return list->first().toObject();
}

std::expected<TimeEntries::StartTarget, HttpError>
TimeEntries::resolveTarget(const QString& userId, std::optional<QString> projectId,
                           const std::optional<QString>& taskId) {
    QVariant taskRate;
    if (taskId) {
        auto task = m_context.db.exec(
            QStringLiteral(
                "SELECT project_id, hourly_rate FROM tasks WHERE id = ? AND user_id = ?"),
            {*taskId, userId});
        if (!task) {
            return std::unexpected(HttpError::internal());
        }
        if (!task->next()) {
            return std::unexpected(HttpError::notFound(QStringLiteral("Task not found")));
        }
        if (projectId && *projectId != task->value(0).toString()) {
            return std::unexpected(
                HttpError::badRequest(QStringLiteral("taskId does not belong to the project")));
        }
        projectId = task->value(0).toString();
        taskRate = task->value(1);
    }
    QVariant projectRate;
    if (projectId) {
        auto project = m_context.db.exec(
            QStringLiteral("SELECT hourly_rate FROM projects WHERE id = ? AND user_id = ?"),
            {*projectId, userId});
        if (!project) {
            return std::unexpected(HttpError::internal());
        }
        if (!project->next()) {
            return std::unexpected(HttpError::notFound(QStringLiteral("Project not found")));
        }
        projectRate = project->value(0);
    }
    auto user = m_context.db.exec(
        QStringLiteral("SELECT default_hourly_rate FROM users WHERE id = ?"), {userId});
    if (!user || !user->next()) {
        return std::unexpected(HttpError::internal());
    }
    const QVariant rate = !taskRate.isNull()      ? taskRate
                          : !projectRate.isNull() ? projectRate
                                                  : user->value(0);
    return StartTarget{projectId ? QVariant(*projectId) : QVariant(),
                       taskId ? QVariant(*taskId) : QVariant(), rate};
}

HandlerResult TimeEntries::start(const QString& userId, const QByteArray& bytes) {
    auto body = JsonBody::parse(bytes);
    if (!body) {
        return std::unexpected(body.error());
    }
    const auto projectId = body->optionalText(QStringLiteral("projectId"));
    const auto taskId = body->optionalText(QStringLiteral("taskId"));
    const auto description = body->optionalText(QStringLiteral("description"));
    if (body->error()) {
        return std::unexpected(*body->error());
    }
    if (auto problem = Validation::description(description)) {
        return std::unexpected(*problem);
    }
    const auto target = resolveTarget(userId, projectId, taskId);
    if (!target) {
        return std::unexpected(target.error());
    }
    const QString id = Credentials::newId();
    const qint64 now = m_context.nowMs();
    Transaction transaction(m_context.db);
    // The running entry, if any, ends where the new one begins.
    const bool stored =
        transaction.isOpen() &&
        m_context.db.exec(QStringLiteral("UPDATE time_entries SET end_ms = MAX(?, start_ms), "
                                         "updated_at = ? WHERE user_id = ? AND end_ms IS NULL"),
                          {now, now, userId}) &&
        m_context.db.exec(
            QStringLiteral("INSERT INTO time_entries (id, user_id, project_id, task_id, "
                           "description, start_ms, hourly_rate_snapshot, created_at, updated_at) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {id, userId, target->projectId, target->taskId,
             description ? QVariant(*description) : QVariant(), now, target->rate, now, now}) &&
        transaction.commit();
    const auto entry = stored ? entryJson(userId, id) : std::nullopt;
    if (!entry) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("message"), QStringLiteral("Timer started")},
                      {QStringLiteral("timeEntry"), *entry}},
                     HttpStatus::Created};
}

HandlerResult TimeEntries::stop(const QString& userId, const QString& entryId) {
    const auto entry = entryJson(userId, entryId);
    if (!entry) {
        return std::unexpected(HttpError::notFound(QStringLiteral("Time entry not found")));
    }
    if (!entry->value(QStringLiteral("isRunning")).toBool()) {
        return std::unexpected(
            HttpError::badRequest(QStringLiteral("This time entry is not running")));
    }
    const qint64 now = m_context.nowMs();
    if (!m_context.db.exec(QStringLiteral("UPDATE time_entries SET end_ms = MAX(?, start_ms), "
                                          "updated_at = ? WHERE id = ? AND user_id = ?"),
                           {now, now, entryId, userId})) {
        return std::unexpected(HttpError::internal());
    }
    const auto stopped = entryJson(userId, entryId);
    if (!stopped) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("message"), QStringLiteral("Timer stopped")},
                      {QStringLiteral("timeEntry"), *stopped}}};
}

HandlerResult TimeEntries::current(const QString& userId) {
    const auto running = entries(QStringLiteral("e.user_id = ? AND e.end_ms IS NULL"), {userId},
                                 QStringLiteral(" LIMIT 1"));
    if (!running) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{
        {{QStringLiteral("timeEntry"), running->isEmpty() ? QJsonValue() : running->first()}}};
}

HandlerResult TimeEntries::list(const QString& userId, const QUrlQuery& query) {
    const QueryReader params(query);
    const auto running = params.flag(QStringLiteral("isRunning"));
    const auto from = params.instant(QStringLiteral("startDate"), false);
    const auto to = params.instant(QStringLiteral("endDate"), true);
    const auto page = params.positiveInteger(QStringLiteral("page"));
    const auto limit = params.positiveInteger(QStringLiteral("limit"));
    for (const auto* error : {running ? nullptr : &running.error(), from ? nullptr : &from.error(),
                              to ? nullptr : &to.error(), page ? nullptr : &page.error(),
                              limit ? nullptr : &limit.error()}) {
        if (error) {
            return std::unexpected(*error);
        }
    }
    QString where = QStringLiteral("e.user_id = ?");
    QVariantList bindings{userId};
    if (const auto projectId = params.text(QStringLiteral("projectId"))) {
        where += QStringLiteral(" AND e.project_id = ?");
        bindings.append(*projectId);
    }
    if (*running) {
        where += **running ? QStringLiteral(" AND e.end_ms IS NULL")
                           : QStringLiteral(" AND e.end_ms IS NOT NULL");
    }
    if (*from) {
        where += QStringLiteral(" AND e.start_ms >= ?");
        bindings.append(**from);
    }
    if (*to) {
        where += QStringLiteral(" AND e.start_ms <= ?");
        bindings.append(**to);
    }
    auto count = m_context.db.exec(
        QStringLiteral("SELECT COUNT(*) FROM time_entries e WHERE ") + where, bindings);
    if (!count || !count->next()) {
        return std::unexpected(HttpError::internal());
    }
    const qint64 total = count->value(0).toLongLong();
    const qint64 pageNumber = page->value_or(1);
    const qint64 pageSize = std::min(limit->value_or(defaultPageSize), maximumPageSize);
    // Pages past the end are empty; capping keeps the offset from overflowing on absurd numbers.
    const qint64 skippedPages = std::min(pageNumber - 1, total / pageSize + 1);
    const auto list = entries(where, bindings + QVariantList{pageSize, skippedPages * pageSize},
                              QStringLiteral(" LIMIT ? OFFSET ?"));
    if (!list) {
        return std::unexpected(HttpError::internal());
    }
    return HttpReply{{{QStringLiteral("entries"), *list},
                      {QStringLiteral("pagination"),
                       QJsonObject{{QStringLiteral("page"), pageNumber},
                                   {QStringLiteral("limit"), pageSize},
                                   {QStringLiteral("total"), total},
                                   {QStringLiteral("pages"), (total + pageSize - 1) / pageSize}}}}};
}

} // namespace kelvo::server

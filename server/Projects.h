#pragma once

#include "HttpError.h"
#include "ServerContext.h"

#include <QUrlQuery>

namespace kelvo::server {

// A user's projects and tasks.
class Projects {
public:
    explicit Projects(ServerContext& context) : m_context(context) {}

    HandlerResult listProjects(const QString& userId);
    HandlerResult createProject(const QString& userId, const QByteArray& body);
    HandlerResult listTasks(const QString& userId, const QUrlQuery& query);
    HandlerResult createTask(const QString& userId, const QByteArray& body);

private:
    std::optional<QJsonObject> projectJson(const QString& userId, const QString& projectId);
    std::optional<QJsonArray> tasks(const QString& where, const QVariantList& bindings);

    ServerContext& m_context;
};

} // namespace kelvo::server

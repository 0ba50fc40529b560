#pragma once

#include "HttpError.h"
#include "ServerContext.h"

#include <QUrlQuery>

namespace kelvo::server {

// Starting, stopping and listing a user's time entries. At most one entry runs per user.
class TimeEntries {
public:
    explicit TimeEntries(ServerContext& context) : m_context(context) {}

    HandlerResult start(const QString& userId, const QByteArray& body);
    HandlerResult stop(const QString& userId, const QString& entryId);
    HandlerResult current(const QString& userId);
    HandlerResult list(const QString& userId, const QUrlQuery& query);

private:
    struct StartTarget {
        QVariant projectId;
        QVariant taskId;
        QVariant rate;
    };
    std::expected<StartTarget, HttpError> resolveTarget(const QString& userId,
                                                        std::optional<QString> projectId,
                                                        const std::optional<QString>& taskId);
    std::optional<QJsonObject> entryJson(const QString& userId, const QString& entryId);
    std::optional<QJsonArray> entries(const QString& where, const QVariantList& bindings,
                                      const QString& tail = {});

    ServerContext& m_context;
};

} // namespace kelvo::server

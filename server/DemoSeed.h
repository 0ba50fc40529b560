#pragma once

#include "Accounts.h"
#include "ServerContext.h"

namespace kelvo::server {

// The demo account (demo@kelvo.local / kelvo-demo, default rate 40) with three coloured projects,
// open and completed tasks and about twenty entries over the last seven days. Running it again
// changes nothing.
class DemoSeed {
public:
    DemoSeed(ServerContext& context, Accounts& accounts)
        : m_context(context)
        , m_accounts(accounts) {}
    bool run();

    static QString email() { return QStringLiteral("demo@kelvo.local"); }
    static QString password() { return QStringLiteral("kelvo-demo"); }

private:
    std::optional<QString> insertProject(const QString& userId, const QString& name,
                                         const QString& color, QVariant rate);
    std::optional<QString> insertTask(const QString& userId, const QString& projectId,
                                      const QString& name, QVariant rate, bool completed);

    ServerContext& m_context;
    Accounts& m_accounts;
};

} // namespace kelvo::server

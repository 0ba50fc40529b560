#pragma once

#include "Accounts.h"
#include "Earnings.h"
#include "Projects.h"
#include "TimeEntries.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QObject>

#include <memory>

namespace kelvo::server {

// The local stand-in for the hosted service: HTTP routes over a SQLite database.
class KelvoServer : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString databasePath;
        int passwordIterations = 100'000;
        LoginThrottle::Limits loginLimits;
        // Behind a reverse proxy: the client's address is the last of X-Forwarded-For.
        bool trustProxy = false;
        // One line per request on standard error: method, path, status, milliseconds.
        bool logRequests = false;
    };

    static std::expected<std::unique_ptr<KelvoServer>, QString> create(const Options& options);
    ~KelvoServer() override;

    // The port listened on (a free one when `port` is 0), or 0 when listening failed.
    quint16 listen(const QHostAddress& address, quint16 port);
    // Replaces the clock (ms since the epoch); tests use it to place entries in time.
    void setClock(std::function<qint64()> nowMs);
    // Adds the demo account and its data unless it exists; false on a database failure.
    bool seedDemo();

private:
    KelvoServer(std::unique_ptr<Database> db, const Options& options);
    void addRoutes();

    using Handler = std::function<HandlerResult(const QString& userId)>;
    QHttpServerResponse respond(const QHttpServerRequest& request, bool signedIn,
                                const Handler& handler);

    QString clientAddress(const QHttpServerRequest& request) const;
    void logRequest(const QHttpServerRequest& request, int status, qint64 elapsedMs) const;

    std::unique_ptr<Database> m_db;
    ServerContext m_context;
    bool m_trustProxy;
    bool m_logRequests;
    Accounts m_accounts;
    Projects m_projects;
    TimeEntries m_entries;
    Earnings m_earnings;
    QHttpServer m_http;
};

} // namespace kelvo::server

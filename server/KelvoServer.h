#pragma once

#include "Accounts.h"
#include "Earnings.h"
#include "HashWorkers.h"
#include "HttpServer.h"
#include "Projects.h"
#include "TimeEntries.h"

#include <QHostAddress>
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
        // Behind a reverse proxy: the client is known by X-Forwarded-For (see ClientAddress).
        bool trustProxy = false;
        HttpServer::Limits http;
    };

    static std::expected<std::unique_ptr<KelvoServer>, QString> create(const Options& options);
    ~KelvoServer() override;

    // The port listened on (a free one when `port` is 0), or 0 when listening failed.
    quint16 listen(const QHostAddress& address, quint16 port);
    // Replaces the clock (ms since the epoch); tests use it to place entries in time.
    void setClock(std::function<qint64()> nowMs);
    // Adds the demo account and its data unless it exists; false on a database failure.
    bool seedDemo();
    // Runs before each password hash, on the hashing thread; tests hold a hash there.
    void setHashGate(std::function<void()> gate) { m_hashing.setGate(std::move(gate)); }

private:
    KelvoServer(std::unique_ptr<Database> db, const Options& options);

    using Handler = std::function<HandlerResult(const QString& userId)>;
    void handle(const HttpRequest& request, const HttpServer::Respond& respond);
    // Answers at once what needs no password hash.
    HandlerResult route(const HttpRequest& request, const QByteArray& path);
    HandlerResult signedIn(const HttpRequest& request, const Handler& handler);
    void logIn(const HttpRequest& request, const HttpServer::Respond& respond);
    void registerUser(const HttpRequest& request, const HttpServer::Respond& respond);
    QString clientAddress(const HttpRequest& request) const;

    std::unique_ptr<Database> m_db;
    ServerContext m_context;
    bool m_trustProxy;
    Accounts m_accounts;
    Projects m_projects;
    TimeEntries m_entries;
    Earnings m_earnings;
    HashWorkers m_hashing;
    // Last: stopped first, so no request reaches what is being torn down.
    HttpServer m_http;
};

} // namespace kelvo::server

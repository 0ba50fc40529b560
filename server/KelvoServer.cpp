#include "KelvoServer.h"

#include "ClientAddress.h"
#include "DemoSeed.h"

#include <QDateTime>
#include <QJsonDocument>

namespace kelvo::server {

namespace {

QString bearerToken(const HttpRequest& request) {
    const QByteArray value = request.header("Authorization");
    return value.startsWith("Bearer ") ? QString::fromUtf8(value.mid(7)).trimmed() : QString();
}

HttpResponse toResponse(const HandlerResult& result) {
    if (!result) {
        return result.error().toResponse();
    }
    return {result->status, QJsonDocument(result->body).toJson(QJsonDocument::Compact), {}};
}

HttpServer::Limits httpLimits(const KelvoServer::Options& options) {
    HttpServer::Limits limits = options.http;
    // Behind a proxy every body comes from the proxy's address.
    limits.budgetPerAddress = !options.trustProxy;
    return limits;
}

// The id in "/time-entries/ID/stop", routed on the path as sent: "ID%2Fstop" is no stop.
std::optional<QString> stoppedEntryId(const QByteArray& path) {
    static constexpr QByteArrayView prefix = "/time-entries/";
    static constexpr QByteArrayView suffix = "/stop";
    if (!path.startsWith(prefix) || !path.endsWith(suffix)) {
        return std::nullopt;
    }
    const QByteArray id = path.mid(prefix.size(), path.size() - prefix.size() - suffix.size());
    if (id.isEmpty() || id.contains('/')) {
        return std::nullopt;
    }
    return QString::fromUtf8(QByteArray::fromPercentEncoding(id));
}

} // namespace

std::expected<std::unique_ptr<KelvoServer>, QString> KelvoServer::create(const Options& options) {
    auto db = Database::open(options.databasePath);
    if (!db) {
        return std::unexpected(db.error());
    }
    return std::unique_ptr<KelvoServer>(new KelvoServer(std::move(*db), options));
}

KelvoServer::KelvoServer(std::unique_ptr<Database> db, const Options& options)
    : m_db(std::move(db))
    , m_context{*m_db, [] { return QDateTime::currentMSecsSinceEpoch(); },
                options.passwordIterations}
    , m_trustProxy(options.trustProxy)
    , m_accounts(m_context, options.loginLimits)
    , m_projects(m_context)
    , m_entries(m_context)
    , m_earnings(m_context)
    , m_http(httpLimits(options), [this](const HttpRequest& request, const HttpServer::Respond& respond) {
        handle(request, respond);
    }) {}

KelvoServer::~KelvoServer() = default;

quint16 KelvoServer::listen(const QHostAddress& address, quint16 port) {
    return m_http.listen(address, port);
}

void KelvoServer::setClock(std::function<qint64()> nowMs) {
    m_context.nowMs = std::move(nowMs);
}

bool KelvoServer::seedDemo() {
    return DemoSeed(m_context, m_accounts).run();
}

void KelvoServer::handle(const HttpRequest& request, const HttpServer::Respond& respond) {
    const QByteArray path = request.path();
    if (request.method == "POST" && path == "/auth/login") {
        logIn(request, respond);
    } else if (request.method == "POST" && path == "/auth/register") {
        registerUser(request, respond);
    } else {
        respond(toResponse(route(request, path)));
    }
}

HandlerResult KelvoServer::route(const HttpRequest& request, const QByteArray& path) {
    const auto with = [&](const Handler& handler) { return signedIn(request, handler); };
    if (request.method == "GET") {
        if (path == "/auth/me") {
            return with([&](const QString& user) { return m_accounts.me(user); });
        }
        if (path == "/projects") {
            return with([&](const QString& user) { return m_projects.listProjects(user); });
        }
        if (path == "/tasks") {
            return with(
                [&](const QString& user) { return m_projects.listTasks(user, request.query()); });
        }
        if (path == "/time-entries/current") {
            return with([&](const QString& user) { return m_entries.current(user); });
        }
        if (path == "/time-entries") {
            return with([&](const QString& user) { return m_entries.list(user, request.query()); });
        }
        if (path == "/users/dashboard-earnings") {
            return with(
                [&](const QString& user) { return m_earnings.dashboard(user, request.query()); });
        }
    } else if (request.method == "POST") {
        if (path == "/auth/refresh") {
            return with([&](const QString& user) {
                return m_accounts.refresh(user, bearerToken(request));
            });
        }
        if (path == "/projects") {
            return with(
                [&](const QString& user) { return m_projects.createProject(user, request.body); });
        }
        if (path == "/tasks") {
            return with(
                [&](const QString& user) { return m_projects.createTask(user, request.body); });
        }
        if (path == "/time-entries/start") {
            return with([&](const QString& user) { return m_entries.start(user, request.body); });
        }
        if (const auto id = stoppedEntryId(path)) {
            return with([&](const QString& user) { return m_entries.stop(user, *id); });
        }
    }
    return std::unexpected(HttpError::notFound());
}

HandlerResult KelvoServer::signedIn(const HttpRequest& request, const Handler& handler) {
    const QString token = bearerToken(request);
    const auto user = token.isEmpty() ? std::nullopt : m_accounts.authenticate(token);
    if (!user) {
        return std::unexpected(HttpError::unauthorized());
    }
    return handler(*user);
}

void KelvoServer::logIn(const HttpRequest& request, const HttpServer::Respond& respond) {
    if (m_hashing.isFull(HashWorkers::Kind::signIn)) {
        respond(HttpError::busy().toResponse());
        return;
    }
    auto attempt = m_accounts.beginLogin(request.body, clientAddress(request));
    if (!attempt) {
        respond(attempt.error().toResponse());
        return;
    }
    m_hashing.run(
        attempt->clean ? HashWorkers::Kind::cleanSignIn : HashWorkers::Kind::signIn,
        [attempt = *attempt, iterations = m_context.passwordIterations] {
            return Accounts::checkPassword(attempt, iterations);
        },
        [this, attempt = *attempt, respond](const Accounts::PasswordCheck& check) {
            respond(toResponse(m_accounts.finishLogin(attempt, check)));
        });
}

void KelvoServer::registerUser(const HttpRequest& request, const HttpServer::Respond& respond) {
    if (m_hashing.isFull(HashWorkers::Kind::registration)) {
        respond(HttpError::busy().toResponse());
        return;
    }
    auto registration = m_accounts.beginRegistration(request.body);
    if (!registration) {
        respond(registration.error().toResponse());
        return;
    }
    m_hashing.run(
        HashWorkers::Kind::registration,
        [registration = *registration, iterations = m_context.passwordIterations] {
            return Accounts::hashPassword(registration, iterations);
        },
        [this, registration = *registration, respond](const QString& hash) {
            respond(toResponse(m_accounts.finishRegistration(registration, hash)));
        });
}

QString KelvoServer::clientAddress(const HttpRequest& request) const {
    return m_trustProxy ? ClientAddress::forwarded(request) : ClientAddress::key(request.peer);
}

} // namespace kelvo::server

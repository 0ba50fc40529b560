#include "KelvoServer.h"

#include "DemoSeed.h"

#include <QElapsedTimer>
#include <QSet>

#include <cstdio>

#include <QDateTime>
#include <QHttpServerResponder>
#include <QJsonDocument>

namespace kelvo::server {

namespace {

constexpr qsizetype maximumBodySize = 1024 * 1024;

QString bearerToken(const QHttpServerRequest& request) {
    for (const auto& [name, value] : request.headers()) {
        if (name.compare("authorization", Qt::CaseInsensitive) == 0 &&
            value.startsWith("Bearer ")) {
            return QString::fromUtf8(value.mid(7)).trimmed();
        }
    }
    return {};
}

const char* methodName(QHttpServerRequest::Method method) {
    using Method = QHttpServerRequest::Method;
    switch (method) {
    case Method::Get:
        return "GET";
    case Method::Post:
        return "POST";
    case Method::Put:
        return "PUT";
    case Method::Delete:
        return "DELETE";
    case Method::Patch:
        return "PATCH";
    case Method::Head:
        return "HEAD";
    case Method::Options:
        return "OPTIONS";
    default:
        return "OTHER";
    }
}

// A request whose length is not one plain Content-Length: every client of this API sends one,
// and a proxy in front may read the framing otherwise than this server.
std::optional<HttpError> framingProblem(const QHttpServerRequest& request) {
    QSet<QByteArray> lengths;
    for (const auto& [name, value] : request.headers()) {
        if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            return HttpError::badRequest(QStringLiteral("Send the body with a Content-Length"));
        }
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            lengths.insert(value.trimmed());
        }
    }
    if (lengths.size() > 1) {
        return HttpError::badRequest(QStringLiteral("Conflicting Content-Length headers"));
    }
    return std::nullopt;
}

QHttpServerResponse toResponse(const HandlerResult& result) {
    if (result) {
        return QHttpServerResponse(result->body, result->status);
    }
    QHttpServerResponse response(result.error().toJson(), result.error().status);
    if (const auto seconds = result.error().retryAfterSeconds) {
        response.setHeader("Retry-After", QByteArray::number(*seconds));
    }
    return response;
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
    , m_logRequests(options.logRequests)
    , m_accounts(m_context, options.loginLimits)
    , m_projects(m_context)
    , m_entries(m_context)
    , m_earnings(m_context) {
    addRoutes();
}

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

QHttpServerResponse KelvoServer::respond(const QHttpServerRequest& request, bool signedIn,
                                         const Handler& handler) {
    QElapsedTimer clock;
    clock.start();
    QHttpServerResponse response = toResponse([&]() -> HandlerResult {
        if (auto framing = framingProblem(request)) {
            return std::unexpected(*framing);
        }
        if (request.body().size() > maximumBodySize) {
            return std::unexpected(HttpError::tooLarge());
        }
        QString userId;
        if (signedIn) {
            const QString token = bearerToken(request);
            const auto user = token.isEmpty() ? std::nullopt : m_accounts.authenticate(token);
            if (!user) {
                return std::unexpected(HttpError::unauthorized());
            }
            userId = *user;
        }
        return handler(userId);
    }());
    logRequest(request, int(response.statusCode()), clock.elapsed());
    return response;
}

void KelvoServer::logRequest(const QHttpServerRequest& request, int status,
                             qint64 elapsedMs) const {
    if (!m_logRequests) {
        return;
    }
    // Names of query members but not their values, which may be anything a client sent.
    // Percent-encoded as sent: nothing a client puts in a path can start a line or a field.
    QStringList members;
    for (const auto& [name, value] : request.query().queryItems(QUrl::FullyEncoded)) {
        members.append(name + u'=');
    }
    const QString path = request.url().path(QUrl::FullyEncoded) +
                         (members.isEmpty() ? QString() : u'?' + members.join(u'&'));
    std::fprintf(stderr, "%s %s %d %lldms\n", methodName(request.method()), qPrintable(path),
                 status, static_cast<long long>(elapsedMs));
    std::fflush(stderr);
}

QString KelvoServer::clientAddress(const QHttpServerRequest& request) const {
    QHostAddress address = request.remoteAddress();
    if (m_trustProxy) {
        // The proxy appends the address it saw; what came before is the client's to invent.
        const QByteArray forwarded = request.value("X-Forwarded-For");
        const QHostAddress last(QString::fromLatin1(forwarded.split(',').last()).trimmed());
        if (!last.isNull()) {
            address = last;
        }
    }
    // One IPv6 client has a whole /64 to choose from: that network counts as one address.
    bool isV4 = false;
    address.toIPv4Address(&isV4);
    if (!isV4 && address.protocol() == QAbstractSocket::IPv6Protocol) {
        Q_IPV6ADDR bytes = address.toIPv6Address();
        std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), quint8(0));
        return QHostAddress(bytes).toString() + QStringLiteral("/64");
    }
    return address.toString();
}

void KelvoServer::addRoutes() {
    using Method = QHttpServerRequest::Method;
    m_http.route(
        QStringLiteral("/auth/register"), Method::Post, [this](const QHttpServerRequest& r) {
            return respond(r, false,
                           [&](const QString&) { return m_accounts.registerUser(r.body()); });
        });
    m_http.route(QStringLiteral("/auth/login"), Method::Post, [this](const QHttpServerRequest& r) {
        return respond(r, false, [&](const QString&) -> HandlerResult {
            auto attempt = m_accounts.beginLogin(r.body(), clientAddress(r));
            if (!attempt) {
                return std::unexpected(attempt.error());
            }
            return m_accounts.finishLogin(*attempt, Accounts::passwordMatches(*attempt));
        });
    });
    m_http.route(QStringLiteral("/auth/me"), Method::Get, [this](const QHttpServerRequest& r) {
        return respond(r, true, [&](const QString& user) { return m_accounts.me(user); });
    });
    m_http.route(QStringLiteral("/auth/refresh"), Method::Post,
                 [this](const QHttpServerRequest& r) {
                     return respond(r, true, [&](const QString& user) {
                         return m_accounts.refresh(user, bearerToken(r));
                     });
                 });
    m_http.route(QStringLiteral("/projects"), Method::Get, [this](const QHttpServerRequest& r) {
        return respond(r, true, [&](const QString& user) { return m_projects.listProjects(user); });
    });
    m_http.route(QStringLiteral("/projects"), Method::Post, [this](const QHttpServerRequest& r) {
        return respond(
            r, true, [&](const QString& user) { return m_projects.createProject(user, r.body()); });
    });
    m_http.route(QStringLiteral("/tasks"), Method::Get, [this](const QHttpServerRequest& r) {
        return respond(r, true,
                       [&](const QString& user) { return m_projects.listTasks(user, r.query()); });
    });
    m_http.route(QStringLiteral("/tasks"), Method::Post, [this](const QHttpServerRequest& r) {
        return respond(r, true,
                       [&](const QString& user) { return m_projects.createTask(user, r.body()); });
    });
    m_http.route(
        QStringLiteral("/time-entries/current"), Method::Get, [this](const QHttpServerRequest& r) {
            return respond(r, true, [&](const QString& user) { return m_entries.current(user); });
        });
    m_http.route(
        QStringLiteral("/time-entries/start"), Method::Post, [this](const QHttpServerRequest& r) {
            return respond(r, true,
                           [&](const QString& user) { return m_entries.start(user, r.body()); });
        });
    m_http.route(QStringLiteral("/time-entries/<arg>/stop"), Method::Post,
                 [this](const QString& id, const QHttpServerRequest& r) {
                     // Routed on the decoded path: "ID%2Fstop" would end up here as ID.
                     if (r.url().path(QUrl::FullyEncoded).split(u'/').size() != 4) {
                         return respond(r, false, [](const QString&) -> HandlerResult {
                             return std::unexpected(HttpError::notFound());
                         });
                     }
                     return respond(r, true,
                                    [&](const QString& user) { return m_entries.stop(user, id); });
                 });
    m_http.route(QStringLiteral("/time-entries"), Method::Get, [this](const QHttpServerRequest& r) {
        return respond(r, true,
                       [&](const QString& user) { return m_entries.list(user, r.query()); });
    });
    m_http.route(QStringLiteral("/users/dashboard-earnings"), Method::Get,
                 [this](const QHttpServerRequest& r) {
                     return respond(r, true, [&](const QString& user) {
                         return m_earnings.dashboard(user, r.query());
                     });
                 });
    m_http.setMissingHandler(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            const HttpError error = HttpError::notFound();
            logRequest(request, int(error.status), 0);
            responder.write(QJsonDocument(error.toJson()).toJson(QJsonDocument::Compact),
                            QByteArrayLiteral("application/json"), error.status);
        });
}

} // namespace kelvo::server

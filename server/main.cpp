// kelvo-server [--host 127.0.0.1] [--port 8787] [--db PATH] [--seed-demo]
#include "KelvoServer.h"
#include "OperatorLog.h"
#include "SignalWatcher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <cstdio>

#include <sys/resource.h>

using kelvo::server::KelvoServer;
using kelvo::server::OperatorLog;

namespace {

// Each connection holds a descriptor: as many as the system lets this process have.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Qt's own lines (a client's WebSocket attempt, a read error) would let any client fill
    // the operator's log; what a request came to is --log-requests' business.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.*=false"));
    QCoreApplication::setApplicationName(QStringLiteral("kelvo-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Local stand-in for the Kelvo time-tracking service."));
    parser.addHelpOption();
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Address to listen on."),
                                  QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port to listen on; 0 picks a free one."),
                                  QStringLiteral("port"), QStringLiteral("8787"));
    const QCommandLineOption db(
        QStringLiteral("db"), QStringLiteral("SQLite database file."), QStringLiteral("path"),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/kelvo-server/kelvo.db"));
    const QCommandLineOption seed(QStringLiteral("seed-demo"),
                                  QStringLiteral("Add the demo account and its data."));
    const QCommandLineOption attempts(
        QStringLiteral("login-attempts"),
        QStringLiteral("Failed sign-ins per account or address before tries must wait."),
        QStringLiteral("count"), QStringLiteral("10"));
    const QCommandLineOption window(
        QStringLiteral("login-window"),
        QStringLiteral("Seconds within which failed sign-ins are counted."),
        QStringLiteral("seconds"), QStringLiteral("900"));
    const QCommandLineOption logRequests(
        QStringLiteral("log-requests"),
        QStringLiteral("One line per request on standard error: method, path, status, time."));
    const QCommandLineOption trustProxy(
        QStringLiteral("trust-proxy"),
        QStringLiteral("Behind a reverse proxy: take the client's address from X-Forwarded-For."));
    const QCommandLineOption connections(
        QStringLiteral("max-connections"),
        QStringLiteral("Open connections at most; more are refused."), QStringLiteral("count"),
        QStringLiteral("512"));
    const QCommandLineOption timeout(
        QStringLiteral("request-timeout"),
        QStringLiteral("Seconds a connection has to send each whole request; idle connections "
                       "close after as long."),
        QStringLiteral("seconds"), QStringLiteral("30"));
    parser.addOptions(
        {host, port, db, seed, attempts, window, trustProxy, logRequests, connections, timeout});
    parser.process(app);

    const QHostAddress address(parser.value(host));
    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    if (address.isNull() || !portOk || portNumber > 65535) {
        OperatorLog::write(u"invalid --host or --port");
        return 2;
    }

    bool attemptsOk = false;
    bool windowOk = false;
    kelvo::server::KelvoServer::Options options{parser.value(db)};
    options.loginLimits.attempts = parser.value(attempts).toInt(&attemptsOk);
    options.loginLimits.windowMs = parser.value(window).toLongLong(&windowOk) * 1000;
    options.trustProxy = parser.isSet(trustProxy);
    options.http.logRequests = parser.isSet(logRequests);
    bool connectionsOk = false;
    bool timeoutOk = false;
    options.http.maxConnections = parser.value(connections).toUInt(&connectionsOk);
    options.http.requestTimeoutSeconds = parser.value(timeout).toUInt(&timeoutOk);
    if (!connectionsOk || !timeoutOk || options.http.maxConnections < 1 ||
        options.http.maxConnections > 1'000'000 || options.http.requestTimeoutSeconds < 1 ||
        options.http.requestTimeoutSeconds > 86'400) {
        OperatorLog::write(u"invalid --max-connections or --request-timeout");
        return 2;
    }
    if (!attemptsOk || !windowOk || options.loginLimits.attempts < 1 ||
        options.loginLimits.windowMs < 1000) {
        OperatorLog::write(u"invalid --login-attempts or --login-window");
        return 2;
    }
    raiseDescriptorLimit();
    auto server = KelvoServer::create(options);
    if (!server) {
        OperatorLog::write(server.error());
        return 1;
    }
    if (parser.isSet(seed) && !(*server)->seedDemo()) {
        OperatorLog::write(u"could not add the demo data");
        return 1;
    }
    kelvo::server::SignalWatcher signals;
    QObject::connect(&signals, &kelvo::server::SignalWatcher::terminationRequested, &app,
                     &QCoreApplication::quit);

    const quint16 listening = (*server)->listen(address, quint16(portNumber));
    if (listening == 0) {
        OperatorLog::write(
            QStringLiteral("cannot listen on %1:%2").arg(address.toString()).arg(portNumber));
        return 1;
    }
    const QString shownHost = address.protocol() == QAbstractSocket::IPv6Protocol
                                  ? u'[' + address.toString() + u']'
                                  : address.toString();
    std::printf("Listening on http://%s:%u\n", qPrintable(shownHost), unsigned(listening));
    std::fflush(stdout);
    return app.exec();
}

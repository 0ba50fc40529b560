// Load on a real kelvo-server over loopback: 20 clients, each its own connection and user, doing
// start/stop cycles for 10 seconds. Reports requests per second and p50/p99 latency, then checks
// that every acknowledged entry is stored exactly once. Then 4 clients sign in with their right
// passwords for 20 seconds, each pausing a second between its sign-ins, and the latency of their
// sign-ins is reported.
//
// With --under-attack, the server keeps its default settings and a second process (this program
// with --attacker) attacks it during the run: 200 idle connections, 66 connections that declare
// a 1 MiB body and send one byte of it, and 8 clients guessing passwords without pause, each ten
// guesses from an address and at an account of their own (so the throttle lets every guess reach
// the password check). The attack lasts through the start/stop run and the sign-ins. Afterwards
// the server's resident memory is sampled while the attacker sends a 600 MB body, then while it
// pipelines requests and never reads the answers.
#include "Attacker.h"
#include "BenchServer.h"

#include <QCoreApplication>
#include <QCoroNetworkReply>
#include <QCoroTask>
#include <QCoroTimer>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int clientCount = 20;
constexpr int durationMs = 10'000;
// Clients signing in with their right passwords after the start/stop run, each pausing this long
// between its sign-ins, for this long.
constexpr int signInClientCount = 4;
constexpr int signInPauseMs = 1000;
constexpr int signInDurationMs = 20'000;

struct Reply {
    int status = 0;
    QJsonObject json;
};

class Client {
public:
    Client(QString base, std::vector<double>& latencies)
        : m_base(std::move(base))
        , m_latencies(latencies) {}

    QCoro::Task<Reply> send(QByteArray method, QString path, QByteArray body) {
        QNetworkRequest request(QUrl(m_base + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/json"));
        if (!m_token.isEmpty()) {
            request.setRawHeader("Authorization", "Bearer " + m_token.toUtf8());
        }
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<QNetworkReply> reply(m_network.sendCustomRequest(request, method, body));
        co_await qCoro(reply.get()).waitForFinished();
        m_latencies.push_back(double(timer.nsecsElapsed()) / 1e6);
        co_return Reply{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                        QJsonDocument::fromJson(reply->readAll()).object()};
    }

    QCoro::Task<bool> signUp(QByteArray name) {
        m_credentials = "\"email\":\"" + name + "@x.io\",\"password\":\"secret1\"";
        const Reply reply = co_await send("POST", QStringLiteral("/auth/register"),
                                          "{\"name\":\"Load\"," + m_credentials + "}");
        m_token = reply.json.value(QStringLiteral("token")).toString();
        co_return !m_token.isEmpty();
    }

    // Signs in with the right password until the deadline, pausing between sign-ins.
    QCoro::Task<void> signInAgainAndAgain(QDeadlineTimer deadline) {
        while (!deadline.hasExpired()) {
            const Reply reply =
                co_await send("POST", QStringLiteral("/auth/login"), "{" + m_credentials + "}");
            failures += reply.status == 200 ? 0 : 1;
            co_await QCoro::sleepFor(std::chrono::milliseconds(signInPauseMs));
        }
    }

    QCoro::Task<void> run(QDeadlineTimer deadline) {
        while (!deadline.hasExpired()) {
            const Reply started =
                co_await send("POST", QStringLiteral("/time-entries/start"), "{}");
            if (started.status != 201) {
                ++failures;
                continue;
            }
            const QString id =
                started.json[QStringLiteral("timeEntry")][QStringLiteral("id")].toString();
            acknowledged.push_back(id);
            const Reply stopped = co_await send(
                "POST", QStringLiteral("/time-entries/") + id + QStringLiteral("/stop"), {});
            failures += stopped.status == 200 ? 0 : 1;
        }
    }

    // Every stored entry id of this client's user.
    QCoro::Task<QStringList> storedIds() {
        QStringList ids;
        for (int page = 1;; ++page) {
            const Reply reply = co_await send(
                "GET", QStringLiteral("/time-entries?limit=100&page=%1").arg(page), {});
            const QJsonArray entries = reply.json[QStringLiteral("entries")].toArray();
            for (const auto& entry : entries) {
                ids.append(entry[QStringLiteral("id")].toString());
            }
            if (entries.isEmpty()) {
                co_return ids;
            }
        }
    }

    std::vector<QString> acknowledged;
    int failures = 0;

private:
    QString m_base;
    QByteArray m_credentials;
    QString m_token;
    QNetworkAccessManager m_network;
    std::vector<double>& m_latencies;
};

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0
                          : values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// Starts this program as the attacker in `mode`, against `base`.
std::unique_ptr<QProcess> startAttacker(const QString& base, const QString& mode) {
    auto attacker = std::make_unique<QProcess>();
    attacker->setProcessChannelMode(QProcess::ForwardedChannels);
    const QUrl url(base);
    attacker->start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--attacker"), url.host(), QString::number(url.port()), mode});
    attacker->waitForStarted();
    return attacker;
}

// The most memory the server holds while the attacker runs `mode` for `seconds`.
QCoro::Task<double> peakDuring(qint64 serverPid, QString base, QString mode, int seconds) {
    auto attacker = startAttacker(base, mode);
    double peak = 0;
    for (int i = 0; i < seconds * 10; ++i) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(100));
        peak = std::max(peak, residentMiB(serverPid));
    }
    attacker->kill();
    attacker->waitForFinished();
    co_return peak;
}

QCoro::Task<int> benchmark(QString base) {
    std::vector<double> latencies;
    latencies.reserve(200'000);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < clientCount; ++i) {
        clients.push_back(std::make_unique<Client>(base, latencies));
        if (!co_await clients.back()->signUp("load" + QByteArray::number(i))) {
            std::fprintf(stderr, "registration failed\n");
            co_return 1;
        }
    }
    latencies.clear(); // sign-up (password hashing) is not part of the measure
    QElapsedTimer wall;
    wall.start();
    const QDeadlineTimer deadline(durationMs);
    std::vector<QCoro::Task<void>> runs;
    for (auto& client : clients) {
        runs.push_back(client->run(deadline));
    }
    for (auto& run : runs) {
        co_await run;
    }
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const size_t requests = latencies.size();

    size_t acknowledged = 0;
    size_t lost = 0;
    size_t duplicated = 0;
    int failures = 0;
    for (auto& client : clients) {
        const QStringList stored = co_await client->storedIds();
        QSet<QString> unique(stored.begin(), stored.end());
        duplicated += size_t(stored.size() - unique.size());
        for (const QString& id : client->acknowledged) {
            lost += unique.contains(id) ? 0 : 1;
        }
        acknowledged += client->acknowledged.size();
        failures += client->failures;
    }
    std::printf("clients: %d, duration: %.1f s\n", clientCount, seconds);
    std::printf("requests: %zu (%.0f per second), failed: %d\n", requests,
                double(requests) / seconds, failures);
    std::printf("latency p50: %.2f ms, p99: %.2f ms\n", percentile(latencies, 0.5),
                percentile(latencies, 0.99));
    std::printf("entries acknowledged: %zu, lost: %zu, duplicated: %zu\n", acknowledged, lost,
                duplicated);
    co_return (lost == 0 && duplicated == 0 && failures == 0) ? 0 : 1;
}

// Clients signing in on their own (under attack, with nothing else but the attack): password
// checks run at the lowest priority, so under the start/stop load they would measure that load.
QCoro::Task<int> signIns(QString base) {
    std::vector<double> latencies;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < signInClientCount; ++i) {
        clients.push_back(std::make_unique<Client>(base, latencies));
        if (!co_await clients.back()->signUp("honest" + QByteArray::number(i))) {
            std::fprintf(stderr, "registration failed\n");
            co_return 1;
        }
    }
    latencies.clear();
    const QDeadlineTimer deadline(signInDurationMs);
    std::vector<QCoro::Task<void>> runs;
    for (auto& client : clients) {
        runs.push_back(client->signInAgainAndAgain(deadline));
    }
    int failures = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        co_await runs[i];
        failures += clients[i]->failures;
    }
    std::printf("sign-ins: %zu, failed: %d, latency p50: %.2f ms, p99: %.2f ms\n", latencies.size(),
                failures, percentile(latencies, 0.5), percentile(latencies, 0.99));
    co_return failures == 0 ? 0 : 1;
}

} // namespace

int attack(const QStringList& arguments) {
    Attacker attacker(arguments.value(2), quint16(arguments.value(3).toUInt()));
    const QString mode = arguments.value(4);
    if (mode == QStringLiteral("guess")) {
        attacker.holdIdle(200);
        attacker.holdHalfSent(66);
        attacker.guess(8);
    } else if (mode == QStringLiteral("upload")) {
        attacker.upload(600LL * 1000 * 1000);
    } else {
        attacker.pipeline();
    }
    return QCoreApplication::exec();
}

QCoro::Task<int> unattacked(QString base) {
    const int loaded = co_await benchmark(base);
    const int signedIn = co_await signIns(base);
    co_return loaded | signedIn;
}

QCoro::Task<int> underAttack(qint64 serverPid, QString base) {
    auto attacker = startAttacker(base, QStringLiteral("guess"));
    co_await QCoro::sleepFor(std::chrono::seconds(2)); // the attack under way
    const int loaded = co_await benchmark(base);
    const int signedIn = co_await signIns(base);
    attacker->kill();
    attacker->waitForFinished();
    co_await QCoro::sleepFor(std::chrono::seconds(1));
    const double idle = residentMiB(serverPid);
    const double upload = co_await peakDuring(serverPid, base, QStringLiteral("upload"), 5);
    const double pipelined = co_await peakDuring(serverPid, base, QStringLiteral("pipeline"), 10);
    std::printf("server memory: %.1f MiB after the run, at most %.1f MiB during a 600 MB upload, "
                "at most %.1f MiB during unread pipelining\n",
                idle, upload, pipelined);
    co_return loaded | signedIn;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == QStringLiteral("--attacker")) {
        return attack(arguments);
    }
    const bool attacked = arguments.value(1) == QStringLiteral("--under-attack");
    QTemporaryDir dir;
    QProcess server;
    const QString base = startKelvoServer(server, dir.filePath(QStringLiteral("load.db")), false);
    if (base.isEmpty()) {
        return 1;
    }
    const int result =
        QCoro::waitFor(attacked ? underAttack(server.processId(), base) : unattacked(base));
    server.terminate();
    server.waitForFinished();
    return result;
}

// How long `kelvo status` takes, beside the floor of starting a process: the median wall time of
// 20 runs each of `true`, `kelvo --version`, curl asking the server for the running entry, and
// `kelvo status` with and without a running program (the program on the offscreen platform).

#include "BenchServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int runs = 20;

// The median of `runs` runs in milliseconds; negative when a run failed.
double medianMs(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& environment) {
    QList<double> times;
    for (int i = 0; i < runs + 1; ++i) {
        QProcess process;
        process.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        process.start(program, arguments);
        if (!process.waitForFinished(30'000) || process.exitCode() != 0) {
            std::fprintf(stderr, "%s %s failed: %s\n", qPrintable(program),
                         qPrintable(arguments.join(u' ')),
                         process.readAllStandardError().constData());
            return -1;
        }
        if (i > 0) { // the first run warms the caches
            times.append(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    std::sort(times.begin(), times.end());
    return (times.at(runs / 2 - 1) + times.at(runs / 2)) / 2;
}

QString signIn(const QString& baseURL) {
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-H"),
                QStringLiteral("Content-Type: application/json"), QStringLiteral("-d"),
                QStringLiteral(R"({"email":"demo@kelvo.local","password":"kelvo-demo"})"),
                baseURL + QStringLiteral("/auth/login")});
    curl.waitForFinished(30'000);
    return QJsonDocument::fromJson(curl.readAllStandardOutput())
        .object()
        .value(QStringLiteral("token"))
        .toString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcess server;
    const QString baseURL =
        startKelvoServer(server, dir.filePath(QStringLiteral("bench.sqlite")), true);
    const QString token = signIn(baseURL);
    if (baseURL.isEmpty() || token.isEmpty()) {
        std::fprintf(stderr, "could not sign in to kelvo-server\n");
        return 1;
    }
    QDir().mkpath(dir.filePath(QStringLiteral("Kelvo")));
    QFile conf(dir.filePath(QStringLiteral("Kelvo/Kelvo.conf")));
    if (!conf.open(QIODevice::WriteOnly)) {
        return 1;
    }
    conf.write("[General]\nkelvo_auth_token=" + token.toUtf8() + '\n');
    conf.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    environment.insert(QStringLiteral("KELVO_API_URL"), baseURL);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent"));
    const QString kelvo = QStringLiteral(KELVO_BINARY);

    const double floor =
        medianMs(QStandardPaths::findExecutable(QStringLiteral("true")), {}, environment);
    const double version = medianMs(kelvo, {QStringLiteral("--version")}, environment);
    const double curl =
        medianMs(QStringLiteral("curl"),
                 {QStringLiteral("-sf"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                  QStringLiteral("-H"), QStringLiteral("Authorization: Bearer ") + token,
                  baseURL + QStringLiteral("/time-entries/current")},
                 environment);
    const double direct = medianMs(kelvo, {QStringLiteral("status")}, environment);

    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(kelvo, {QStringLiteral("--hidden")});
    const QString socket = dir.filePath(QStringLiteral("kelvo.socket"));
    for (int i = 0; i < 300 && !QFile::exists(socket); ++i) {
        QThread::msleep(100);
    }
    const double viaProgram = medianMs(kelvo, {QStringLiteral("status")}, environment);
    program.terminate();
    program.waitForFinished(10'000);
    server.terminate();
    server.waitForFinished(10'000);

    std::printf("median of %d runs (ms)\n", runs);
    std::printf("true                          %7.2f\n", floor);
    std::printf("kelvo --version               %7.2f\n", version);
    std::printf("curl GET /time-entries/current %6.2f\n", curl);
    std::printf("kelvo status (direct)         %7.2f\n", direct);
    std::printf("kelvo status (running program) %6.2f  = %.2fx kelvo --version\n", viaProgram,
                viaProgram / version);
    return floor < 0 || version < 0 || curl < 0 || direct < 0 || viaProgram < 0 ? 1 : 0;
}

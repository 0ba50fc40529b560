// Start-up, memory and idle CPU of Kelvo against the bare window of bare_window.cpp.
// Kelvo runs with a stored demo session against a fresh local kelvo-server, with a timer
// running; its start-up ends when the second "✅ Data refresh completed" line has been printed
// (both the start-up refresh and the dashboard's own are then done). The bare window's ends at
// its first frame. Resident memory is read at that moment (medians of seven launches each, the
// two programs taking turns), CPU time over the next 60 seconds of one more launch each.
// Needs an X display (run it under Xvfb) or QT_QPA_PLATFORM=offscreen.
#include "BenchServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

struct Figures {
    double startupMs = 0;
    double rssMiB = 0;
    double cpuSeconds = 0;
};

qint64 rssKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

double cpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) /
           double(sysconf(_SC_CLK_TCK));
}

// Starts `program` and waits until `marker` has been printed `count` times. The start-up time
// and resident memory are taken at that moment; with `cpuWindowS`, the program then goes on for
// that many seconds and the CPU time it used meanwhile is recorded.
Figures run(const QString& program, const QProcessEnvironment& environment,
            const QByteArray& marker, int count, int cpuWindowS) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    QByteArray output;
    while (output.count(marker) < count && process.waitForReadyRead(30'000)) {
        output += process.readAllStandardOutput();
    }
    Figures figures;
    figures.startupMs = double(clock.nsecsElapsed()) / 1e6;
    figures.rssMiB = double(rssKiB(process.processId())) / 1024.0;
    if (cpuWindowS > 0) {
        const double before = cpuSeconds(process.processId());
        QThread::sleep(cpuWindowS);
        figures.cpuSeconds = cpuSeconds(process.processId()) - before;
    }
    process.terminate();
    process.waitForFinished();
    return figures;
}

struct Program {
    QString path;
    QByteArray marker;
    int count;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Launches the two programs by turns (so both meet the same machine), then gives each one
// 60-second CPU run. Start-up and memory are medians of the launches.
std::pair<Figures, Figures> measure(const Program& a, const Program& b,
                                    const QProcessEnvironment& environment) {
    constexpr int runs = 7;
    std::vector<double> startups[2];
    std::vector<double> memory[2];
    for (int i = 0; i < runs; ++i) {
        for (int which = 0; which < 2; ++which) {
            const Program& program = which == 0 ? a : b;
            const Figures once = run(program.path, environment, program.marker, program.count, 0);
            startups[which].push_back(once.startupMs);
            memory[which].push_back(once.rssMiB);
        }
    }
    Figures result[2];
    for (int which = 0; which < 2; ++which) {
        const Program& program = which == 0 ? a : b;
        result[which] = run(program.path, environment, program.marker, program.count, 60);
        result[which].startupMs = median(startups[which]);
        result[which].rssMiB = median(memory[which]);
    }
    return {result[0], result[1]};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcess server;
    const QString base = startKelvoServer(server, dir.filePath(QStringLiteral("k.db")), true);
    if (base.isEmpty()) {
        return 1;
    }

    // A stored session for the demo account, and a timer running on the server.
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-X"), QStringLiteral("POST"),
                base + QStringLiteral("/auth/login"), QStringLiteral("-d"),
                QStringLiteral(R"({"email":"demo@kelvo.local","password":"kelvo-demo"})")});
    curl.waitForFinished();
    const QString token = QJsonDocument::fromJson(curl.readAllStandardOutput())
                              .object()
                              .value(QStringLiteral("token"))
                              .toString();
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-s"), QStringLiteral("-X"), QStringLiteral("POST"),
                base + QStringLiteral("/time-entries/start"), QStringLiteral("-H"),
                QStringLiteral("Authorization: Bearer ") + token, QStringLiteral("-d"),
                QStringLiteral("{}")});
    curl.waitForFinished();
    QDir().mkpath(dir.filePath(QStringLiteral("config/Kelvo")));
    QFile conf(dir.filePath(QStringLiteral("config/Kelvo/Kelvo.conf")));
    if (token.isEmpty() || !conf.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "could not prepare the demo session\n");
        return 1;
    }
    conf.write("[General]\nkelvo_auth_token=" + token.toUtf8() + "\n");
    conf.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    environment.insert(QStringLiteral("KELVO_API_URL"), base);

    const auto [bare, kelvo] =
        measure({QStringLiteral(KELVO_BARE_BINARY), "first frame", 1},
                {QStringLiteral(KELVO_BINARY), "✅ Data refresh completed", 2}, environment);
    server.terminate();
    server.waitForFinished();

    std::printf("                      bare window   Kelvo        ratio (goal)\n");
    std::printf("start-up              %8.0f ms  %8.0f ms   %.2f (<= 1.5)\n", bare.startupMs,
                kelvo.startupMs, kelvo.startupMs / bare.startupMs);
    std::printf("resident memory       %8.1f MiB %8.1f MiB  %.2f (<= 1.5)\n", bare.rssMiB,
                kelvo.rssMiB, kelvo.rssMiB / bare.rssMiB);
    std::printf("CPU over 60 s         %8.2f s   %8.2f s    %.2f (<= 2.0)\n", bare.cpuSeconds,
                kelvo.cpuSeconds, bare.cpuSeconds > 0 ? kelvo.cpuSeconds / bare.cpuSeconds : 0.0);
    return 0;
}

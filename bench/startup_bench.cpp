// Start-up, memory and idle CPU of Kelvo against a bare Qt Widgets window.
//
// Runs on an X server of its own (Xvfb) and watches it from the outside: before each launch it
// has selected SubstructureNotify on the root window, so the first MapNotify of a top-level
// window is the moment the program's first window appears, whatever the program prints. Each
// launch gets a session bus of its own, started before the clock. Kelvo runs with a stored demo
// session against a fresh local kelvo-server with a timer running; its data is ready when the
// second "✅ Data refresh completed" line has been printed (its start-up refresh and the
// dashboard's own are then done). Resident memory is read at that moment, and for the bare
// window once its first frame is painted.
//
// Three programs take turns, seven launches each: the bare window, the same bare window linked
// against every library Kelvo links (the floor those libraries set), and Kelvo. Figures are
// medians. With --cpu, each then runs once more for 60 s with its window open and its CPU time
// over that minute is read from /proc.
//
// With --panel instead: the bare window with Qt's own tray icon and Kelvo, each for 60 s with a
// timer running on a session bus where this program plays the panel (PanelHost): their CPU time
// and the D-Bus messages their items send the panel per second.
//
// With --away [MINUTES] instead: Kelvo with a timer running for MINUTES (10 by default), once
// with every rule of being away off and once with every rule on, on a session bus where this
// program plays GNOME's idle monitor (IdleHost): their CPU time, and how often Kelvo asks the idle
// time (which it should not, having watches).
#include "BenchServer.h"
#include "IdleHost.h"
#include "PanelHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct Figures {
    double firstWindowMs = 0;
    double dataReadyMs = 0;
    double rssMiB = 0;
    double cpuSeconds = 0;
    double messagesPerSecond = 0;
};

struct Program {
    QString label;
    QString path;
    QByteArray readyMarker; // printed `readyCount` times once the program has settled
    int readyCount = 0;
};

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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// An X server of our own, and a connection that sees every top-level window being mapped.
class Display {
public:
    bool start() {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.setStandardOutputFile(QProcess::nullDevice());
        m_server.setChildProcessModifier([fds] { close(fds[0]); });
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QString::number(fds[1]),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        close(fds[1]);
        QByteArray number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (number.isEmpty()) {
            return false;
        }
        m_name = ":" + number;
        m_connection = xcb_connect(m_name.constData(), nullptr);
        if (xcb_connection_has_error(m_connection)) {
            return false;
        }
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        return true;
    }

    ~Display() {
        if (m_connection) {
            xcb_disconnect(m_connection);
        }
        m_server.terminate();
        m_server.waitForFinished();
    }

    QString name() const { return QString::fromLatin1(m_name); }

    // Forgets the map events of earlier launches.
    void drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            free(event);
        }
    }

    // Waits up to `timeoutMs` for a top-level window to be mapped.
    bool waitForMap(int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
                const bool mapped =
                    (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    reinterpret_cast<xcb_map_notify_event_t*>(event)->event == m_root;
                free(event);
                if (mapped) {
                    return true;
                }
            }
            pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            poll(&descriptor, 1, 50);
        }
        return false;
    }

private:
    QProcess m_server;
    QByteArray m_name;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
};

// A session bus for one launch, started before the clock.
class SessionBus {
public:
    SessionBus() {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        QByteArray line;
        while (!line.contains('\n') && m_daemon.waitForReadyRead(10'000)) {
            line += m_daemon.readAllStandardOutput();
        }
        m_address = QString::fromUtf8(line.trimmed());
    }
    ~SessionBus() {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    const QString& address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

// One launch: the time to the first mapped window and, for Kelvo, to data ready and the memory
// then; with `cpuWindowS`, the CPU time over that many seconds afterwards.
std::optional<Figures> launch(const Program& program, QProcessEnvironment environment,
                              Display& display, int cpuWindowS, PanelHost* panel = nullptr,
                              IdleHost* idle = nullptr) {
    SessionBus bus;
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    if (idle) {
        bool idleAttached = false;
        QMetaObject::invokeMethod(idle, "attach", Qt::BlockingQueuedConnection,
                                  Q_RETURN_ARG(bool, idleAttached), Q_ARG(QString, bus.address()));
    }
    const auto detachIdle = qScopeGuard([idle] {
        if (idle) {
            QMetaObject::invokeMethod(idle, "detach", Qt::BlockingQueuedConnection);
        }
    });
    bool attached = false;
    if (panel) {
        QMetaObject::invokeMethod(panel, "attach", Qt::BlockingQueuedConnection,
                                  Q_RETURN_ARG(bool, attached), Q_ARG(QString, bus.address()));
    }
    const auto detach = qScopeGuard([panel] {
        if (panel) {
            QMetaObject::invokeMethod(panel, "detach", Qt::BlockingQueuedConnection);
        }
    });
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    display.drain();
    QElapsedTimer clock;
    clock.start();
    process.start(program.path, {});
    Figures figures;
    if (!display.waitForMap(30'000)) {
        std::fprintf(stderr, "%s showed no window\n", qPrintable(program.label));
        return std::nullopt;
    }
    figures.firstWindowMs = double(clock.nsecsElapsed()) / 1e6;
    QByteArray output;
    while (output.count(program.readyMarker) < program.readyCount) {
        if (!process.waitForReadyRead(30'000)) {
            std::fprintf(stderr, "%s never said it was ready\n", qPrintable(program.label));
            return std::nullopt;
        }
        output += process.readAllStandardOutput();
    }
    figures.dataReadyMs = double(clock.nsecsElapsed()) / 1e6;
    figures.rssMiB = residentMiB(process.processId());
    if (panel) {
        // Up to 10 s for the item to register (the panel answers on its own thread).
        for (int i = 0; i < 100 && !panel->hasItem(); ++i) {
            QThread::msleep(100);
        }
        if (!attached || !panel->hasItem()) {
            std::fprintf(stderr, "%s put no item in the panel\n", qPrintable(program.label));
            return std::nullopt;
        }
    }
    if (cpuWindowS > 0) {
        const double before = cpuSeconds(process.processId());
        if (panel) {
            panel->resetMessages();
        }
        QThread::sleep(cpuWindowS);
        figures.cpuSeconds = cpuSeconds(process.processId()) - before;
        figures.messagesPerSecond = panel ? double(panel->messages()) / cpuWindowS : 0;
    }
    process.terminate();
    process.waitForFinished();
    return figures;
}

// A stored session for the demo account and a timer running on the server; the environment
// Kelvo needs to use them.
bool prepareSession(const QString& base, const QTemporaryDir& dir,
                    QProcessEnvironment& environment) {
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
        return false;
    }
    conf.write("[General]\nkelvo_auth_token=" + token.toUtf8() + "\n");
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    environment.insert(QStringLiteral("KELVO_API_URL"), base);
    return true;
}

} // namespace

// The panel item's cost: 60 s each of the bare window with a tray icon and of Kelvo, with a
// timer running and this program as the panel.
int panelFigures(const QProcessEnvironment& environment, Display& display) {
    QThread thread;
    PanelHost panel;
    panel.moveToThread(&thread);
    thread.start();
    const Program bareTray{QStringLiteral("bare window + tray icon"),
                           QStringLiteral(KELVO_BARE_TRAY_BINARY), "first frame", 1};
    const Program kelvo{QStringLiteral("Kelvo"), QStringLiteral(KELVO_BINARY),
                        "✅ Data refresh completed", 2};
    const auto bare = launch(bareTray, environment, display, 60, &panel);
    const auto ours = launch(kelvo, environment, display, 60, &panel);
    thread.quit();
    thread.wait();
    if (!bare || !ours) {
        return 1;
    }
    std::printf("60 s, timer running, a listening panel   bare + tray icon   Kelvo\n");
    std::printf(
        "CPU                                       %8.2f s       %6.2f s   %.2fx (goal <= 1.5)\n",
        bare->cpuSeconds, ours->cpuSeconds,
        bare->cpuSeconds > 0 ? ours->cpuSeconds / bare->cpuSeconds : 0.0);
    std::printf("D-Bus messages to the panel per second    %8.2f         %6.2f\n",
                bare->messagesPerSecond, ours->messagesPerSecond);
    return 0;
}

// The away rules' cost: Kelvo with a timer running, the rules off and then on, for `minutes`
// each, on a bus with GNOME's idle monitor.
int awayFigures(const QProcessEnvironment& environment, Display& display, int minutes) {
    QThread thread;
    IdleHost idle;
    idle.moveToThread(&thread);
    thread.start();
    const Program kelvo{QStringLiteral("Kelvo"), QStringLiteral(KELVO_BINARY),
                        "✅ Data refresh completed", 2};
    QFile conf(environment.value(QStringLiteral("XDG_CONFIG_HOME")) +
               QStringLiteral("/Kelvo/Kelvo.conf"));
    if (!conf.open(QIODevice::ReadOnly)) {
        return 1;
    }
    const QByteArray signIn = conf.readAll();
    conf.close();
    std::optional<Figures> figures[2];
    int asked[2] = {0, 0};
    for (int on = 0; on < 2; ++on) {
        if (!conf.open(QIODevice::WriteOnly)) {
            return 1;
        }
        conf.write(signIn + (on ? "away_idle_minutes=10\naway_on_lock=stop\naway_on_sleep=stop\n" : ""));
        conf.close();
        figures[on] = launch(kelvo, environment, display, minutes * 60, nullptr, &idle);
        asked[on] = idle.idleTimeAsked();
    }
    thread.quit();
    thread.wait();
    if (!figures[0] || !figures[1]) {
        return 1;
    }
    std::printf("%d min, timer running                  rules off   rules on\n", minutes);
    std::printf("CPU                                  %8.2f s %8.2f s   %.2fx (goal <= 1.1)\n",
                figures[0]->cpuSeconds, figures[1]->cpuSeconds,
                figures[0]->cpuSeconds > 0 ? figures[1]->cpuSeconds / figures[0]->cpuSeconds : 0.0);
    // One question finds the idle monitor; every other would be a poll.
    std::printf("idle time asked                      %8d   %8d     (goal: once, to find it)\n",
                asked[0], asked[1]);
    return 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool withCpu = app.arguments().contains(QStringLiteral("--cpu"));
    Display display;
    if (!display.start()) {
        std::fprintf(stderr, "could not start Xvfb\n");
        return 1;
    }
    QTemporaryDir dir;
    QProcess server;
    const QString base = startKelvoServer(server, dir.filePath(QStringLiteral("k.db")), true);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (base.isEmpty() || !prepareSession(base, dir, environment)) {
        std::fprintf(stderr, "could not prepare the demo session\n");
        return 1;
    }
    environment.insert(QStringLiteral("DISPLAY"), display.name());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (const qsizetype away = app.arguments().indexOf(QStringLiteral("--away")); away > 0) {
        const int minutes = app.arguments().value(away + 1).toInt();
        const int status = awayFigures(environment, display, minutes > 0 ? minutes : 10);
        server.terminate();
        server.waitForFinished();
        return status;
    }
    if (app.arguments().contains(QStringLiteral("--panel"))) {
        const int status = panelFigures(environment, display);
        server.terminate();
        server.waitForFinished();
        return status;
    }

    const std::vector<Program> programs{
        {QStringLiteral("bare window"), QStringLiteral(KELVO_BARE_BINARY), "first frame", 1},
        {QStringLiteral("bare, Kelvo's libraries"), QStringLiteral(KELVO_BARE_LINKED_BINARY),
         "first frame", 1},
        {QStringLiteral("Kelvo"), QStringLiteral(KELVO_BINARY), "✅ Data refresh completed", 2},
    };
    constexpr int runs = 7;
    std::vector<std::vector<Figures>> launches(programs.size());
    for (int i = 0; i < runs; ++i) {
        for (size_t which = 0; which < programs.size(); ++which) {
            const auto once = launch(programs[which], environment, display, 0);
            if (!once) {
                return 1;
            }
            launches[which].push_back(*once);
        }
    }
    std::vector<Figures> result(programs.size());
    for (size_t which = 0; which < programs.size(); ++which) {
        std::vector<double> window, ready, memory;
        for (const Figures& f : launches[which]) {
            window.push_back(f.firstWindowMs);
            ready.push_back(f.dataReadyMs);
            memory.push_back(f.rssMiB);
        }
        result[which] = {median(window), median(ready), median(memory), 0};
        if (withCpu) {
            const auto minute = launch(programs[which], environment, display, 60);
            if (!minute) {
                return 1;
            }
            result[which].cpuSeconds = minute->cpuSeconds;
        }
    }
    server.terminate();
    server.waitForFinished();

    const Figures& bare = result[0];
    const Figures& floor = result[1];
    const Figures& kelvo = result[2];
    std::printf("medians of %d launches       bare window  bare + libs  Kelvo\n", runs);
    std::printf("first window (MapNotify)     %8.0f ms  %8.0f ms  %6.0f ms   %.2fx bare (goal <= "
                "1.25), %.2fx floor\n",
                bare.firstWindowMs, floor.firstWindowMs, kelvo.firstWindowMs,
                kelvo.firstWindowMs / bare.firstWindowMs,
                kelvo.firstWindowMs / floor.firstWindowMs);
    std::printf("floor set by the libraries                           %.2fx bare\n",
                floor.firstWindowMs / bare.firstWindowMs);
    std::printf("data ready                                           %6.0f ms\n",
                kelvo.dataReadyMs);
    std::printf(
        "resident memory              %8.1f MiB %8.1f MiB %6.1f MiB  %.2fx bare (goal <= 1.5)\n",
        bare.rssMiB, floor.rssMiB, kelvo.rssMiB, kelvo.rssMiB / bare.rssMiB);
    if (withCpu) {
        std::printf(
            "CPU over 60 s                %8.2f s   %8.2f s   %6.2f s    %.2fx bare (goal <= 2)\n",
            bare.cpuSeconds, floor.cpuSeconds, kelvo.cpuSeconds,
            bare.cpuSeconds > 0 ? kelvo.cpuSeconds / bare.cpuSeconds : 0.0);
    }
    return 0;
}

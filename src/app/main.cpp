#include "KelvoApp.h"
#include "api/APIClient.h"
#include "control/CommandLine.h"
#include "control/Console.h"
#include "control/ControlServer.h"
#include "records/Clock.h"
#include "settings/SettingsStore.h"
#include "ui/DarkStyle.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocalSocket>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Kelvo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVO_VERSION));
}

// True when a Kelvo already listens at `socketPath`; unless `quietly`, it is asked to show its
// window.
bool handOver(const QString& socketPath, bool quietly) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(1000) ||
        !kelvo::ControlServer::isOwnUser(socket.socketDescriptor())) {
        return false;
    }
    if (!quietly) {
        kelvo::ControlRequest show;
        show.command = kelvo::ControlRequest::Command::show;
        socket.write(show.toLine());
        // The answer says the window was asked for; what it says does not matter here.
        socket.waitForReadyRead(5000);
    }
    return true;
}

// SIGTERM (a session manager or systemd ending the session) reaches the event loop through a
// pipe: the handler may do no more than write to it.
int terminationPipe[2] = {-1, -1};

void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(terminationPipe[1], &byte, 1);
}

void endSessionOnTerminate(kelvo::KelvoApp& kelvo) {
    if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, &kelvo);
    QObject::connect(notifier, &QSocketNotifier::activated, &kelvo, [&kelvo] { kelvo.endSession(); });
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    if (kelvo::CommandLine::isCommand(argumentsOf(argc, argv))) {
        // No display: commands run from status bars, cron and ssh.
        QCoreApplication app(argc, argv);
        nameApplication();
        return kelvo::CommandLine::run(QCoreApplication::arguments());
    }
    // Nothing here draws with OpenGL; skipping the GLX probe shortens start-up.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    // On a Wayland session, through XWayland: the popover is a positioned pop-up and the tray
    // fallback is XEmbed, neither of which Wayland offers a program. (-platform still wins.)
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsSet("DISPLAY") &&
        qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    // The window's X class is the application id, as the desktop file's StartupWMClass says.
    if (!qEnvironmentVariableIsSet("RESOURCE_NAME")) {
        qputenv("RESOURCE_NAME", "app.kelvo.Kelvo");
    }
    QApplication app(argc, argv);
    nameApplication();
    QApplication::setDesktopFileName(QStringLiteral("app.kelvo.Kelvo"));
    // The tray item and the popover keep the program alive; closing is handled by the window.
    QApplication::setQuitOnLastWindowClosed(false);

    // What Qt left of the command line after taking its own options.
    QCommandLineParser parser;
    const QCommandLineOption hiddenOption(QStringLiteral("hidden"));
    parser.addOption(hiddenOption);
    if (!parser.parse(QCoreApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        kelvo::Console::tell(parser.errorText().isEmpty()
                                 ? QStringLiteral("unknown command \"%1\"")
                                       .arg(parser.positionalArguments().value(0))
                                 : parser.errorText(),
                             true);
        kelvo::Console::tell(QStringLiteral("Try 'kelvo --help' for more information."));
        return 2;
    }
    const bool hidden = parser.isSet(hiddenOption);

    const auto place = kelvo::ControlServer::socketPlace();
    const QString& socketPath = place.path;
    if (!socketPath.isEmpty() && handOver(socketPath, hidden)) {
        return 0;
    }
    kelvo::DarkStyle::apply(app);
    kelvo::KelvoApp kelvo(kelvo::APIClient::shared(&kelvo::SettingsStore::tokenStore()),
                          kelvo::Clock::system());
    kelvo::Console::tell(place.note);
    if (!socketPath.isEmpty() && !kelvo.listen(socketPath)) {
        kelvo::Console::tell(QStringLiteral("Could not listen at ") + socketPath +
                             QStringLiteral(": 'kelvo' commands cannot reach this Kelvo."));
    }
    endSessionOnTerminate(kelvo);
    kelvo.start(hidden);
    const int status = app.exec();
    kelvo.settleBeforeQuit();
    return status;
}

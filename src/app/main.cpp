#include "KelvoApp.h"
#include "SingleInstance.h"
#include "api/APIClient.h"
#include "records/Clock.h"
#include "ui/DarkStyle.h"
#include "ui/Theme.h"

#include <QApplication>

int main(int argc, char** argv) {
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvo"));
    QApplication::setDesktopFileName(QStringLiteral("kelvo"));
    // The tray item and the popover keep the program alive; closing is handled by the window.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString socketPath = kelvo::SingleInstance::defaultSocketPath();
    if (kelvo::SingleInstance::notifyRunning(socketPath)) {
        return 0;
    }
    kelvo::SingleInstance instance(socketPath);
    kelvo::DarkStyle::apply(app);

    kelvo::KelvoApp kelvo(kelvo::APIClient::shared(), kelvo::Clock::system());
    QObject::connect(&instance, &kelvo::SingleInstance::activationRequested, &kelvo,
                     &kelvo::KelvoApp::showMainWindow);
    kelvo.start();
    return app.exec();
}

#include "KelvoApp.h"

#include "ContentView.h"
#include "MainWindow.h"
#include "menubar/MenuBarManager.h"
#include "state/AuthViewModel.h"
#include "state/TimerViewModel.h"
#include "ui/Schedule.h"

#include <QAction>
#include <QCoreApplication>
#include <QSystemTrayIcon>

namespace kelvo {

KelvoApp::KelvoApp(APIClient* apiClient, QObject* parent)
    : QObject(parent)
    , m_auth(new AuthViewModel(apiClient, this))
    , m_timer(new TimerViewModel(apiClient, this)) {}

KelvoApp::~KelvoApp() = default;

void KelvoApp::start() {
    // The state objects have already queued their first requests; building the window after
    // them lets the server answer while the window is built and painted.
    QMetaObject::invokeMethod(this, &KelvoApp::buildMainWindow, Qt::QueuedConnection);
}

void KelvoApp::buildMainWindow() {
    auto* content = new ContentView(m_auth, m_timer);
    m_window = std::make_unique<MainWindow>(content, [this] { return hidesMainWindowOnClose(); });
    connect(content, &ContentView::appeared, this, &KelvoApp::createMenuBarIfNeeded);

    auto* show = new QAction(QStringLiteral("Show Main Window"), m_window.get());
    show->setObjectName(QStringLiteral("showMainWindowAction"));
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    show->setShortcutContext(Qt::ApplicationShortcut);
    connect(show, &QAction::triggered, this, &KelvoApp::showMainWindow);
    auto* quit = new QAction(QStringLiteral("Quit"), m_window.get());
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    m_window->addActions({show, quit});
    m_window->show();
}

void KelvoApp::showMainWindow() {
    if (!m_window) {
        return;
    }
    m_window->show();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    m_window->activateWindow();
}

void KelvoApp::createMenuBarIfNeeded() {
    if (m_menuBar || m_menuBarScheduled) {
        return;
    }
    m_menuBarScheduled = true;
    schedule(this, [this] {
        m_menuBar = new MenuBarManager(
            m_timer, m_auth, [this] { showMainWindow(); }, this);
        m_menuBar->setupMenuBar();
    });
}

bool KelvoApp::hidesMainWindowOnClose() const {
    // Without a tray to come back from, closing the window must end the program.
    return m_menuBar && QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace kelvo

#include "KelvoApp.h"

#include "ContentView.h"
#include "MainWindow.h"
#include "state/AuthViewModel.h"
#include "state/TimerViewModel.h"

#include <QAction>
#include <QCoreApplication>

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
    m_window = std::make_unique<MainWindow>(content, [this] { return m_menuBar != nullptr; });
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
    // The tray item arrives with its own controller; until then there is nothing to create.
    m_menuBarScheduled = true;
}

} // namespace kelvo

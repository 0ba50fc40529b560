#include "KelvoApp.h"

#include "AwayDesk.h"
#include "ContentView.h"
#include "MainWindow.h"
#include "PreferencesDialog.h"
#include "ProgramControl.h"
#include "Reminder.h"
#include "SystemConnectivity.h"
#include "control/ControlServer.h"
#include "desktop/Notifier.h"
#include "menubar/MenuBarManager.h"
#include "menubar/MenuBarView.h"
#include "menubar/PopoverWindow.h"
#include "records/Diagnostics.h"
#include "screens/DashboardView.h"
#include "state/AuthViewModel.h"
#include "state/DashboardViewModel.h"
#include "state/OfflineNotice.h"
#include "state/Preferences.h"
#include "state/TimerViewModel.h"
#include "ui/Schedule.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QSystemTrayIcon>
#include <QTimer>

namespace kelvo {

namespace {
// How long the end of a session waits for a stop: logind and session managers give little more.
constexpr std::chrono::seconds sessionEndWait{4};
} // namespace

KelvoApp::KelvoApp(APIClient* apiClient, Clock* clock, QObject* parent)
    : QObject(parent)
    , m_client(apiClient)
    , m_auth(new AuthViewModel(apiClient, this))
    , m_timer(new TimerViewModel(apiClient, clock, this))
    , m_showAction(new QAction(QStringLiteral("Show Main Window"), this))
    , m_quitAction(new QAction(QStringLiteral("Quit"), this))
    , m_preferencesAction(new QAction(QStringLiteral("Preferences…"), this))
    , m_connectivity(new SystemConnectivity(this))
    , m_wake(new Connectivity(this)) {
    m_auth->setConnectivity(m_wake);
    m_timer->setOfflineNotice(new OfflineNotice(apiClient, m_connectivity, this));
    connect(m_connectivity, &Connectivity::regained, this, &KelvoApp::reloadAfterWake);
    connect(m_timer, &TimerViewModel::serverReturned, this, &KelvoApp::reloadShown);
    connect(m_auth, &AuthViewModel::signedOut, this, &KelvoApp::forgetAccount);
    m_showAction->setObjectName(QStringLiteral("showMainWindowAction"));
    m_showAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    m_showAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(m_showAction, &QAction::triggered, this, &KelvoApp::showMainWindow);
    m_quitAction->setObjectName(QStringLiteral("quitAction"));
    m_quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quitAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(m_quitAction, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    m_preferencesAction->setObjectName(QStringLiteral("preferencesAction"));
    m_preferencesAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(m_preferencesAction, &QAction::triggered, this, &KelvoApp::showPreferences);
}

KelvoApp::~KelvoApp() {
    delete m_preferencesDialog; // a window of its own
}

void KelvoApp::start(bool hidden) {
    // The window is mapped at its fixed size first; the requests the state objects have queued
    // then leave, and travel while its first screen is built and laid out (before the event
    // loop runs, so the first frame it paints is whole).
    m_window = std::make_unique<MainWindow>([this] { return hidesMainWindowOnClose(); });
    addWindowShortcuts(m_window.get());
    m_window->addAction(m_preferencesAction);
    // Without a dashboard on screen nothing else loads the running entry the item shows.
    connect(m_auth, &AuthViewModel::isAuthenticatedChanged, this, [this] {
        if (m_auth->isAuthenticated() && !m_window->isVisible()) {
            m_timer->loadCurrentEntry();
        }
    });
    m_startedHidden = hidden;
    if (hidden) {
        createMenuBar();
        schedule(this, [this] { startAfterFirstFrame(); });
    } else {
        m_window->show();
    }
    QCoreApplication::sendPostedEvents(m_auth, QEvent::MetaCall);
    QCoreApplication::sendPostedEvents(m_timer, QEvent::MetaCall);
    auto* content = new ContentView(m_auth, m_timer, m_client);
    content->setPreferences(preferences());
    m_content = content;
    connect(content, &ContentView::appeared, this, &KelvoApp::createMenuBarIfNeeded);
    // The system's network and sleep signals are not needed for the first frame.
    connect(
        content, &ContentView::appeared, this,
        [this] { schedule(this, [this] { startAfterFirstFrame(); }); }, Qt::SingleShotConnection);
    m_window->setContent(content);
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
    schedule(this, [this] { createMenuBar(); });
}

void KelvoApp::createMenuBar() {
    if (m_menuBar) {
        return;
    }
    m_menuBar = new MenuBarManager(
        m_timer, m_auth, [this] { showMainWindow(); }, preferences(),
        new DashboardViewModel(m_client, DashboardViewModel::ShownBy::popover), this);
    if (m_startedHidden) {
        connect(m_menuBar, &MenuBarManager::itemSettled, this, &KelvoApp::showWindowWithoutItem,
                Qt::SingleShotConnection);
    }
    m_menuBar->setupMenuBar();
    m_menuBar->setPreferencesAction([this] { showPreferences(); });
    if (m_away) {
        m_menuBar->setAwayWatch(m_away->watch());
    }
    addWindowShortcuts(m_menuBar->popover());
}

void KelvoApp::startAfterFirstFrame() {
    if (m_reminder) {
        return;
    }
    m_connectivity->watchSleep();
    // Once start-up's loads are done (the dashboard's own included).
    QTimer::singleShot(std::chrono::seconds(2), m_connectivity, &SystemConnectivity::watchNetwork);
    m_notifier = new Notifier(QImage(QStringLiteral(":/kelvo-64.png")), this);
    m_reminder = new Reminder(
        m_timer, preferences(), m_notifier,
        [this](const QString& text) {
            QSystemTrayIcon* tray = m_menuBar ? m_menuBar->statusItem() : nullptr;
            if (!tray || !tray->isVisible()) {
                return false;
            }
            tray->showMessage(QStringLiteral("Kelvo"), text);
            return true;
        },
        this);
    m_away = new AwayDesk(m_timer, m_auth, preferences(), m_timer->clock(), m_notifier,
                          [this] { showMainWindow(); }, this);
    m_content->setAwayWatch(m_away->watch());
    if (m_programControl) {
        m_programControl->setAwayWatch(m_away->watch());
    }
    if (m_menuBar) {
        m_menuBar->setAwayWatch(m_away->watch());
    }
    // A logout: the stop the sleep rule asks for, before the session goes.
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this] { m_away->sessionEnding(sessionEndWait); });
    }
}

void KelvoApp::endSession() {
    if (m_away) {
        m_away->sessionEnding(sessionEndWait);
    }
    QCoreApplication::quit();
}

Connectivity* KelvoApp::connectivity() const {
    return m_connectivity;
}

void KelvoApp::reloadAfterWake() {
    // A resume brings the network back too: the second word within a few seconds adds nothing.
    constexpr qint64 mergeMs = 5'000;
    if (m_lastWake.isValid() && m_lastWake.elapsed() < mergeMs) {
        return;
    }
    // Woken without a network: its return reloads, and is not merged away.
    if (m_connectivity->isKnownOffline()) {
        return;
    }
    m_lastWake.start();
    Q_EMIT m_wake->regained();
    reloadShown();
}

void KelvoApp::reloadShown() {
    if (!m_auth->isAuthenticated()) {
        return;
    }
    auto* dashboard = m_window && m_window->isVisible() && m_content
                          ? qobject_cast<DashboardView*>(m_content->currentScreen())
                          : nullptr;
    if (dashboard) {
        dashboard->reload(); // the running entry is part of its refresh
    } else {
        m_timer->loadCurrentEntry();
    }
    if (m_menuBar && m_menuBar->popover()->isVisible()) {
        m_menuBar->popover()->view()->reloadEarnings();
    }
}

void KelvoApp::forgetAccount() {
    if (m_timer->forgetAccount()) {
        const QString notice = QStringLiteral(
            "Signed out while the timer's stop was waiting for the server: the timer is still "
            "running there.");
        Diagnostics::print(notice);
        m_auth->setNotice(notice);
    }
}

void KelvoApp::settleBeforeQuit() {
    m_timer->settleBeforeQuit(std::chrono::seconds(2));
}

Preferences* KelvoApp::preferences() {
    // Read when first needed, after the first frame.
    if (!m_preferences) {
        m_preferences = new Preferences(this); // an unreadable file is told as it is read
    }
    return m_preferences;
}

PreferencesDialog* KelvoApp::preferencesDialog() const {
    return m_preferencesDialog;
}

void KelvoApp::showPreferences() {
    createMenuBar();
    if (!m_preferencesDialog) {
        m_preferencesDialog = new PreferencesDialog(m_menuBar, preferences());
        m_preferencesDialog->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        m_preferencesDialog->reload();
    }
    m_preferencesDialog->setStartReminderProblem(m_away ? m_away->startReminderProblem()
                                                        : QString());
    m_preferencesDialog->show();
    m_preferencesDialog->raise();
    m_preferencesDialog->activateWindow();
}

void KelvoApp::showWindowWithoutItem() {
    if (!m_menuBar->hasVisibleItem()) {
        showMainWindow();
    }
}

void KelvoApp::togglePopover() {
    createMenuBar();
    m_menuBar->togglePopover();
}

bool KelvoApp::listen(const QString& socketPath) {
    if (!m_programControl) {
        m_programControl =
            new ProgramControl(m_client, m_auth, m_timer,
                               {[this] { showMainWindow(); }, [this] { togglePopover(); },
                                [] { QCoreApplication::quit(); }},
                               this);
    }
    delete m_control;
    m_control = new ControlServer(
        socketPath, [this](ControlRequest request) { return m_programControl->handle(request); },
        [this] { return m_programControl->status(); }, this);
    connect(m_programControl, &ProgramControl::changed, m_control, &ControlServer::publish);
    return m_control->isListening();
}

void KelvoApp::addWindowShortcuts(QWidget* window) {
    window->addActions({m_showAction, m_quitAction});
}

bool KelvoApp::hidesMainWindowOnClose() const {
    // Without a tray to come back from, closing the window must end the program.
    return m_menuBar && m_menuBar->hasVisibleItem();
}

} // namespace kelvo

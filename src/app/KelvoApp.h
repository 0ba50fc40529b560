#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QWidget;

namespace kelvo {

class APIClient;
class AwayDesk;
class AuthViewModel;
class Clock;
class Connectivity;
class ContentView;
class ControlServer;
class MainWindow;
class MenuBarManager;
class Notifier;
class Preferences;
class PreferencesDialog;
class Reminder;
class ProgramControl;
class SystemConnectivity;
class TimerViewModel;

// The application: owns the one session state and the one timer state for the life of the
// process, the main window and, once the window has appeared (or at once when started hidden),
// the tray item, and the door through which `kelvo <command>` reaches them.
class KelvoApp : public QObject {
    Q_OBJECT
public:
    KelvoApp(APIClient* apiClient, Clock* clock, QObject* parent = nullptr);
    ~KelvoApp() override;

    // Builds the main window and shows it; `hidden` leaves it hidden while the tray or panel
    // item shows, creating that item at once.
    void start(bool hidden = false);
    // Opens the door for `kelvo <command>` at `socketPath`; false when it could not.
    bool listen(const QString& socketPath);
    // Opens or closes the popover, creating the item first when there is none yet.
    void togglePopover();
    // Shows the one preferences dialog.
    void showPreferences();
    // Brings the one main window back and to the front; there is never a second one.
    void showMainWindow();
    // Creates the tray item once, after the main window's content first appeared.
    void createMenuBarIfNeeded();
    // After the event loop has ended: a stop still waiting for the server gets its last try.
    void settleBeforeQuit();
    // The session ends under the program (SIGTERM): the stop the sleep rule asks for, then quit.
    void endSession();
    AwayDesk* awayDesk() const { return m_away; }

    AuthViewModel* authViewModel() const { return m_auth; }
    TimerViewModel* timerViewModel() const { return m_timer; }
    MainWindow* mainWindow() const { return m_window.get(); }
    MenuBarManager* menuBarManager() const { return m_menuBar; }
    ControlServer* controlServer() const { return m_control; }
    Preferences* preferences();
    PreferencesDialog* preferencesDialog() const;
    Reminder* reminder() const { return m_reminder; }
    // The system's word on network and sleep; tests speak for it.
    Connectivity* connectivity() const;
    bool hidesMainWindowOnClose() const;

private:
    APIClient* m_client;
    // Ctrl+M and Ctrl+Q in `window`: Qt matches a shortcut only while a widget that holds it is
    // visible, so each of the program's windows holds both.
    void addWindowShortcuts(QWidget* window);
    void createMenuBar();
    // After a resume or a network return (once for both when they come within seconds): the
    // running entry, and whatever is on screen, from the server again.
    void reloadAfterWake();
    // The running entry, and whatever is on screen, from the server again.
    void reloadShown();
    // A sign-out: nothing of the account stays anywhere; a stop that never went out is told.
    void forgetAccount();
    // What waits for the first frame: the system's network and sleep signals, the reminder.
    void startAfterFirstFrame();
    // Started hidden: the window shows after all when the item turns out not to be seen.
    void showWindowWithoutItem();

    AuthViewModel* m_auth;
    TimerViewModel* m_timer;
    std::unique_ptr<MainWindow> m_window;
    MenuBarManager* m_menuBar = nullptr;
    QAction* m_showAction;
    QAction* m_quitAction;
    QAction* m_preferencesAction;
    Preferences* m_preferences = nullptr;
    QPointer<PreferencesDialog> m_preferencesDialog;
    Reminder* m_reminder = nullptr;
    Notifier* m_notifier = nullptr;
    AwayDesk* m_away = nullptr;
    SystemConnectivity* m_connectivity;
    // Speaks once per merged wake: the sign-in restore listens here.
    Connectivity* m_wake;
    QElapsedTimer m_lastWake;
    ContentView* m_content = nullptr;
    bool m_menuBarScheduled = false;
    bool m_startedHidden = false;
    ProgramControl* m_programControl = nullptr;
    ControlServer* m_control = nullptr;
};

} // namespace kelvo

#pragma once

#include <QObject>

#include <memory>

class QAction;
class QWidget;

namespace kelvo {

class APIClient;
class AuthViewModel;
class Clock;
class ContentView;
class MainWindow;
class MenuBarManager;
class SystemConnectivity;
class TimerViewModel;

// The application: owns the one session state and the one timer state for the life of the
// process, the main window and, once the window has appeared, the tray item.
class KelvoApp : public QObject {
    Q_OBJECT
public:
    KelvoApp(APIClient* apiClient, Clock* clock, QObject* parent = nullptr);
    ~KelvoApp() override;

    // Builds the main window and shows it.
    void start();
    // Brings the one main window back and to the front; there is never a second one.
    void showMainWindow();
    // Creates the tray item once, after the main window's content first appeared.
    void createMenuBarIfNeeded();

    AuthViewModel* authViewModel() const { return m_auth; }
    TimerViewModel* timerViewModel() const { return m_timer; }
    MainWindow* mainWindow() const { return m_window.get(); }
    MenuBarManager* menuBarManager() const { return m_menuBar; }
    bool hidesMainWindowOnClose() const;

private:
    // Ctrl+M and Ctrl+Q in `window`: Qt matches a shortcut only while a widget that holds it is
    // visible, so each of the program's windows holds both.
    void addWindowShortcuts(QWidget* window);

    AuthViewModel* m_auth;
    TimerViewModel* m_timer;
    std::unique_ptr<MainWindow> m_window;
    MenuBarManager* m_menuBar = nullptr;
    QAction* m_showAction;
    QAction* m_quitAction;
    SystemConnectivity* m_connectivity;
    bool m_menuBarScheduled = false;
};

} // namespace kelvo

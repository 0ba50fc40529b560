#pragma once

#include <QObject>

#include <memory>

namespace kelvo {

class APIClient;
class AuthViewModel;
class ContentView;
class MainWindow;
class MenuBarManager;
class TimerViewModel;

// The application: owns the one session state and the one timer state for the life of the
// process, the main window and, once the window has appeared, the tray item.
class KelvoApp : public QObject {
    Q_OBJECT
public:
    explicit KelvoApp(APIClient* apiClient, QObject* parent = nullptr);
    ~KelvoApp() override;

    // Builds the main window and shows it, once the event loop runs.
    void start();
    // Brings the one main window back and to the front; there is never a second one.
    void showMainWindow();
    // Creates the tray item once, after the main window's content first appeared.
    void createMenuBarIfNeeded();

    AuthViewModel* authViewModel() const { return m_auth; }
    TimerViewModel* timerViewModel() const { return m_timer; }
    MainWindow* mainWindow() const { return m_window.get(); }
    bool hidesMainWindowOnClose() const;

private:
    void buildMainWindow();

    AuthViewModel* m_auth;
    TimerViewModel* m_timer;
    std::unique_ptr<MainWindow> m_window;
    MenuBarManager* m_menuBar = nullptr;
    bool m_menuBarScheduled = false;
};

} // namespace kelvo

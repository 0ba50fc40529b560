#pragma once

#include <QWidget>

namespace kelvo {

class APIClient;
class AuthViewModel;
class AwayWatch;
class Preferences;
class TimerViewModel;

// The main window's root: the dashboard while someone is signed in, otherwise the sign-in or
// the registration screen. Each entry into a screen builds it afresh; the choice between the two
// sign-in screens is remembered for as long as this view lives.
class ContentView : public QWidget {
    Q_OBJECT
public:
    enum class Screen { login, registration, dashboard };

    // `client` serves each dashboard's own earnings.
    ContentView(AuthViewModel* auth, TimerViewModel* timer, APIClient* client,
                QWidget* parent = nullptr);

    Screen screen() const { return m_screen; }
    QWidget* currentScreen() const { return m_current; }
    void setShowingRegister(bool showing);
    // What the dashboard says of a timer stopped while the user was away.
    void setAwayWatch(AwayWatch* away);
    // With them, the dashboard offers the week (its target among them).
    void setPreferences(Preferences* preferences);

Q_SIGNALS:
    // Each time the view comes on screen.
    void appeared();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void route();
    QWidget* build(Screen screen);

    AuthViewModel* m_auth;
    TimerViewModel* m_timer;
    APIClient* m_client;
    AwayWatch* m_away = nullptr;
    Preferences* m_preferences = nullptr;
    bool m_showingRegister = false;
    Screen m_screen = Screen::login;
    QWidget* m_current = nullptr;
};

} // namespace kelvo

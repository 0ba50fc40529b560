#include "ContentView.h"

#include "screens/DashboardView.h"
#include "screens/LoginView.h"
#include "screens/RegisterView.h"
#include "state/AuthViewModel.h"
#include "records/Clock.h"
#include "state/DashboardViewModel.h"
#include "state/WeekViewModel.h"

#include <QVBoxLayout>

namespace kelvo {

ContentView::ContentView(AuthViewModel* auth, TimerViewModel* timer, APIClient* client,
                         QWidget* parent)
    : QWidget(parent)
    , m_auth(auth)
    , m_timer(timer)
    , m_client(client) {
    setFixedSize(400, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    connect(m_auth, &AuthViewModel::isAuthenticatedChanged, this, &ContentView::route);
    route();
}

void ContentView::setShowingRegister(bool showing) {
    m_showingRegister = showing;
    route();
}

void ContentView::setAwayWatch(AwayWatch* away) {
    m_away = away;
    if (auto* dashboard = qobject_cast<DashboardView*>(m_current)) {
        dashboard->setAwayWatch(away);
    }
}

void ContentView::setPreferences(Preferences* preferences) {
    m_preferences = preferences;
    if (auto* dashboard = qobject_cast<DashboardView*>(m_current); dashboard && !dashboard->weekView()) {
        dashboard->setWeek(new WeekViewModel(m_client, m_preferences, Clock::system()));
    }
}

void ContentView::showEvent(QShowEvent*) {
    Q_EMIT appeared();
}

void ContentView::route() {
    const Screen wanted = m_auth->isAuthenticated() ? Screen::dashboard
                          : m_showingRegister       ? Screen::registration
                                                    : Screen::login;
    // Fields announce every assignment; only a change of screen replaces it.
    if (m_current && wanted == m_screen) {
        return;
    }
    m_screen = wanted;
    if (m_current) {
        // The old screen may be the one whose button led here; it goes once that handler ends.
        m_current->hide();
        m_current->deleteLater();
    }
    m_current = build(wanted);
    layout()->addWidget(m_current);
    m_current->show();
}

QWidget* ContentView::build(Screen screen) {
    switch (screen) {
    case Screen::dashboard: {
        auto* dashboard = new DashboardView(
            m_auth, m_timer,
            new DashboardViewModel(m_client, DashboardViewModel::ShownBy::dashboard));
        dashboard->setAwayWatch(m_away);
        if (m_preferences) {
            dashboard->setWeek(new WeekViewModel(m_client, m_preferences, Clock::system()));
        }
        return dashboard;
    }
    case Screen::registration: {
        auto* view = new RegisterView(m_auth);
        connect(view, &RegisterView::showLoginRequested, this,
                [this] { setShowingRegister(false); });
        return view;
    }
    case Screen::login:
        break;
    }
    auto* view = new LoginView(m_auth);
    connect(view, &LoginView::showRegisterRequested, this, [this] { setShowingRegister(true); });
    return view;
}

} // namespace kelvo

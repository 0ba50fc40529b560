// kelvo-gallery FOLDER: renders each screen in its key states from canned server answers and
// writes one PNG per state into FOLDER, for looking at the screens without a server or a desktop.
#include "FakeServer.h"
#include "Json.h"
#include "TestSupport.h"

#include "app/ContentView.h"
#include "app/PreferencesDialog.h"
#include "menubar/MenuBarManager.h"
#include "menubar/MenuBarView.h"
#include "menubar/PanelIcon.h"
#include "records/Formatting.h"
#include "screens/DashboardView.h"
#include "screens/LoginView.h"
#include "screens/RegisterView.h"
#include "screens/TimerView.h"
#include "settings/SettingsStore.h"
#include "state/AuthViewModel.h"
#include "state/Connectivity.h"
#include "state/DashboardViewModel.h"
#include "state/OfflineNotice.h"
#include "state/Preferences.h"
#include "state/TimerViewModel.h"
#include "state/WeekViewModel.h"
#include "ui/DarkStyle.h"
#include "ui/PullDownButton.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <cstdio>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

TestClock fixedClock(QDateTime(QDate(2025, 3, 5), QTime(15, 0, 0), Qt::UTC));

QByteArray entry(const char* id, const char* project, const char* color, const char* task,
                 const char* description, const char* start, int duration, double rate) {
    const bool running = duration < 0;
    QByteArray json = R"({"id":")" + QByteArray(id) + R"(","startTime":")" + start +
                      R"(","isRunning":)" + (running ? "true" : "false") +
                      R"(,"hourlyRateSnapshot":)" + QByteArray::number(rate) +
                      R"(,"projectId":"p-)" + project + R"(","project":{"id":"p-)" + project +
                      R"(","name":")" + project + R"(","color":")" + color + "\"}";
    if (!running) {
        json += R"(,"duration":)" + QByteArray::number(duration);
    }
    if (task) {
        json += R"(,"taskId":"t-)" + QByteArray(task) + R"(","task":{"id":"t-)" + task +
                R"(","name":")" + task + "\"}";
    }
    if (description) {
        json += R"(,"description":")" + QByteArray(description) + "\"";
    }
    return json + "}";
}

const QByteArray runningEntry = entry("e0", "Website Redesign", "#10B981", "Visual design",
                                      "Homepage hero", "2025-03-05T13:45:12.000Z", -1, 110);
const QByteArray stoppedEntries[] = {
    entry("e1", "Website Redesign", "#10B981", "Frontend build", "Contact form",
          "2025-03-05T09:00:00.000Z", 5400, 85),
    entry("e2", "Mobile App", "#3B82F6", "iOS features", "Offline sync", "2025-03-04T13:00:00.000Z",
          12000, 95),
    entry("e3", "Internal", "#F59E0B", nullptr, nullptr, "2025-03-04T08:00:00.000Z", 42, 40),
    entry("e4", "Mobile App", "#3B82F6", "iOS features", "Crash on resume",
          "2025-03-03T10:00:00.000Z", 3725, 95),
};

QByteArray list(bool running) {
    QByteArray json = "{\"entries\":[";
    if (running) {
        json += runningEntry + ",";
    }
    for (const QByteArray& e : stoppedEntries) {
        json += e + ",";
    }
    json.chop(1);
    return json + "]}";
}

const QByteArray projects =
    R"({"projects":[{"id":"p-Website Redesign","name":"Website Redesign","color":"#10B981","hourlyRate":85,"isActive":true},{"id":"p-Mobile App","name":"Mobile App","color":"#3B82F6","isActive":true},{"id":"p-Old","name":"Old","isActive":false}]})";
const QByteArray tasks =
    R"({"tasks":[{"id":"t-Visual design","name":"Visual design","isCompleted":false},{"id":"t-Frontend build","name":"Frontend build","isCompleted":false}]})";
const QByteArray earnings =
    R"({"earnings":{"currentTimer":{"earnings":2.25,"duration":75,"isRunning":true,"hourlyRate":110},"today":{"earnings":212.5,"duration":9000},"thisWeek":{"earnings":1044.17,"duration":44100}}})";

template <class Condition> void waitUntil(Condition condition) {
    if (!QTest::qWaitFor(condition, 5000)) {
        std::fprintf(stderr, "warning: a state did not settle; the picture may show it half-way\n");
    }
}

class Gallery {
public:
    explicit Gallery(QString folder) : m_folder(std::move(folder)) { QDir().mkpath(m_folder); }

    // Screens are shot at the window's 400 x 600; panels at their own size.
    bool shoot(const QString& name, QWidget& widget, QSize size = {400, 600}) {
        widget.resize(size);
        widget.show();
        QTest::qWait(120);
        const QString path = m_folder + u'/' + name + u".png"_s;
        const bool saved = widget.grab().save(path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
        return saved;
    }

    // A server answering the signed-in user's data; `running` puts a timer in progress.
    void serve(FakeServer& server, bool running, bool withEntries, FakeResponse earningsAnswer) {
        server.on("GET", u"/time-entries/current"_s,
                  FakeResponse::json(200, running ? "{\"timeEntry\":" + runningEntry + "}"
                                                  : R"({"timeEntry":null})"));
        server.on("GET", u"/time-entries"_s,
                  FakeResponse::json(200, withEntries ? list(running) : R"({"entries":[]})"));
        server.on("GET", u"/projects"_s, FakeResponse::json(200, projects));
        server.on("GET", u"/tasks"_s, FakeResponse::json(200, tasks));
        server.on("GET", u"/users/dashboard-earnings"_s, earningsAnswer);
    }

private:
    QString m_folder;
};

bool signInShots(Gallery& gallery) {
    FakeServer server;
    APIClient client(server.baseURL(), &SettingsStore::tokenStore());
    server.on("POST", u"/auth/login"_s, FakeResponse::json(401, {}));
    bool ok = true;
    {
        AuthViewModel auth(&client);
        LoginView view(&auth);
        ok &= gallery.shoot(u"signin-empty"_s, view);
        view.findChild<QLineEdit*>(u"emailField"_s)->setText(u"ada@example.com"_s);
        view.findChild<QLineEdit*>(u"passwordField"_s)->setText(u"wrong-password"_s);
        QCoro::waitFor(auth.login(u"ada@example.com"_s, u"wrong-password"_s));
        ok &= gallery.shoot(u"signin-error"_s, view);
        server.on("POST", u"/auth/login"_s, FakeResponse::heldBack(401, {}));
        auth.login(u"ada@example.com"_s, u"secret"_s);
        ok &= gallery.shoot(u"signin-busy"_s, view);
    }
    {
        // A stored session the server could not confirm: kept, and retried.
        server.on("GET", u"/auth/me"_s, FakeResponse::json(503, {}));
        server.on("POST", u"/auth/refresh"_s, FakeResponse::json(503, {}));
        client.setAuthToken(u"stored"_s);
        AuthViewModel auth(&client);
        LoginView view(&auth);
        QCoro::waitFor(auth.checkAuthStatus());
        ok &= gallery.shoot(u"signin-restore-retrying"_s, view);
        client.clearAuthToken();
    }
    AuthViewModel auth(&client);
    RegisterView view(&auth);
    view.findChild<QLineEdit*>(u"nameField"_s)->setText(u"Ada Lovelace"_s);
    view.findChild<QLineEdit*>(u"emailField"_s)->setText(u"ada@example.com"_s);
    view.findChild<QLineEdit*>(u"passwordField"_s)->setText(u"analytical"_s);
    view.findChild<QLineEdit*>(u"confirmPasswordField"_s)->setText(u"analytic"_s);
    ok &= gallery.shoot(u"register-mismatch"_s, view);
    // Every line the form can show at once, with a server error long enough to wrap.
    server.on(
        "POST", u"/auth/register"_s,
        FakeResponse::json(
            409,
            R"({"error":"This e-mail address is already registered; sign in, or register with another address"})"));
    QCoro::waitFor(auth.registerAccount(u"Ada"_s, u"ada@example.com"_s, u"analytical"_s,
                                        std::nullopt, std::nullopt));
    ok &= gallery.shoot(u"register-mismatch-and-error"_s, view);
    view.findChild<QLineEdit*>(u"confirmPasswordField"_s)->setText(u"analytical"_s);
    ok &= gallery.shoot(u"register-valid"_s, view);
    return ok;
}

// Figures beyond reason from a broken server: a start in 1900, a rate and amounts in the
// trillions.
const QByteArray absurdEntry =
    R"({"id":"e0","startTime":"1900-01-01T00:00:00.000Z","isRunning":true,"hourlyRateSnapshot":1e12,"projectId":"p-Website Redesign",)"
    R"("project":{"id":"p-Website Redesign","name":"Website Redesign","color":"#10B981"}})";
const QByteArray absurdEarnings =
    R"({"earnings":{"currentTimer":{"earnings":4e15,"duration":4e12,"isRunning":true,"hourlyRate":1e12},"today":{"earnings":-3e13,"duration":-7200},"thisWeek":{"earnings":1e300,"duration":9e15}}})";

// `current`, when given, is the running entry and the only one listed.
bool dashboardShot(Gallery& gallery, const QString& name, bool running, bool withEntries,
                   FakeResponse earningsAnswer, bool waitForEarnings,
                   const QByteArray& current = {}) {
    FakeServer server;
    gallery.serve(server, running, withEntries, earningsAnswer);
    if (!current.isEmpty()) {
        server.on("GET", u"/time-entries/current"_s,
                  FakeResponse::json(200, "{\"timeEntry\":" + current + "}"));
        server.on("GET", u"/time-entries"_s,
                  FakeResponse::json(200, "{\"entries\":[" + current + "]}"));
    }
    APIClient client(server.baseURL(), &SettingsStore::tokenStore());
    AuthViewModel auth(&client);
    TimerViewModel timer(&client, &fixedClock);
    Preferences preferences;
    DashboardView view(&auth, &timer, new DashboardViewModel(&client, DashboardViewModel::ShownBy::dashboard));
    view.setWeek(new WeekViewModel(&client, &preferences, &fixedClock)); // as the window has it
    view.resize(400, 600);
    view.show();
    waitUntil([&] { return !timer.isRefreshing() && timer.projects().size() == 3; });
    if (waitForEarnings) {
        waitUntil([&] {
            return !view.dashboardViewModel()->isLoading() && server.requests().size() >= 7;
        });
    } else {
        waitUntil([&] { return view.dashboardViewModel()->isLoading(); });
    }
    return gallery.shoot(name, view);
}

// Signed in, but the token could not be stored: a folder stands where the file goes.
bool saveWarningShot(Gallery& gallery, const TemporaryConfigHome& home) {
    FakeServer server;
    gallery.serve(server, false, true, FakeResponse::json(200, earnings));
    server.on("POST", u"/auth/login"_s, FakeResponse::json(200, json::auth()));
    QFile::remove(home.tokenFile());
    QDir().mkpath(home.tokenFile());
    APIClient client(server.baseURL(), &SettingsStore::tokenStore());
    AuthViewModel auth(&client);
    TimerViewModel timer(&client, &fixedClock);
    DashboardView view(&auth, &timer, new DashboardViewModel(&client, DashboardViewModel::ShownBy::dashboard));
    view.show();
    QCoro::waitFor(auth.login(u"a@x.io"_s, u"pw"_s));
    waitUntil([&] { return !timer.isRefreshing() && !view.dashboardViewModel()->isLoading(); });
    const bool ok = gallery.shoot(u"dashboard-save-warning"_s, view);
    QDir(home.tokenFile()).removeRecursively();
    return ok;
}

// The dashboard while the network is known down and the last request failed for want of it.
bool offlineShot(Gallery& gallery) {
    FakeServer server;
    gallery.serve(server, true, true, FakeResponse::json(200, earnings));
    APIClient client(server.baseURL(), &SettingsStore::tokenStore());
    APIClient remote(u"https://api.kelvo.app"_s, nullptr);
    Connectivity connectivity;
    OfflineNotice notice(&remote, &connectivity);
    AuthViewModel auth(&client);
    TimerViewModel timer(&client, &fixedClock);
    timer.setOfflineNotice(&notice);
    DashboardView view(&auth, &timer, new DashboardViewModel(&client, DashboardViewModel::ShownBy::dashboard));
    view.show();
    waitUntil([&] { return !timer.isRefreshing() && !view.dashboardViewModel()->isLoading(); });
    connectivity.setKnownOffline(true);
    Q_EMIT remote.reached(false);
    return gallery.shoot(u"dashboard-offline"_s, view);
}

bool preferencesShot(Gallery& gallery) {
    FakeServer server;
    APIClient client(server.baseURL(), &SettingsStore::tokenStore());
    AuthViewModel auth(&client);
    TimerViewModel timer(&client, &fixedClock);
    Preferences preferences;
    MenuBarManager menuBar(&timer, &auth, [] {}, &preferences, new DashboardViewModel(&client, DashboardViewModel::ShownBy::popover));
    PreferencesDialog dialog(&menuBar, &preferences);
    bool ok = gallery.shoot(u"preferences"_s, dialog, dialog.sizeHint());
    // Rules on, a field with the keyboard's focus, and what the desktop cannot offer.
    dialog.awayOnSleep()->setChecked(true);
    dialog.awayIdle()->setCurrentIndex(2);
    dialog.setStartReminderProblem(u"This desktop does not tell when you are at the machine, so there is no start reminder."_s);
    dialog.workHours()->setFocus(Qt::TabFocusReason);
    return gallery.shoot(u"preferences-away"_s, dialog, dialog.sizeHint()) && ok;
}

bool timerShots(Gallery& gallery) {
    bool ok = true;
    for (const bool running : {false, true}) {
        FakeServer server;
        gallery.serve(server, running, true, FakeResponse::json(200, earnings));
        APIClient client(server.baseURL(), &SettingsStore::tokenStore());
        TimerViewModel timer(&client, &fixedClock);
        waitUntil([&] { return timer.projects().size() == 3; });
        QWidget panel;
        panel.setAutoFillBackground(true);
        QPalette palette = panel.palette();
        palette.setColor(QPalette::Window, Theme::appBackground());
        panel.setPalette(palette);
        TimerView view(
            &timer, [] {}, [] {}, &panel);
        view.move(16, 16);
        view.resize(368, view.sizeHint().height());
        panel.resize(400, view.sizeHint().height() + 32);
        panel.show();
        waitUntil([&] { return running || !timer.tasks().isEmpty(); });
        ok &= gallery.shoot(running ? u"timer-running"_s : u"timer-idle-project-chosen"_s, panel,
                            panel.size());
        if (!running) {
            // The choosers' menus as they open, the second item under the pointer.
            for (const QString& name : {u"projectChooser"_s, u"taskChooser"_s}) {
                auto* chooser = view.findChild<PullDownButton*>(name);
                chooser->click();
                chooser->menu()->setActiveAction(chooser->menu()->actions().value(1));
                ok &= gallery.shoot(u"timer-menu-"_s + name, *chooser->menu(),
                                    chooser->menu()->sizeHint());
                chooser->menu()->close();
            }
        }
    }
    return ok;
}

enum class PanelState {
    signedOut,
    running,
    stoppedEntry,
    idleWithLatest,
    earningsLoading,
    earningsFailed,
    longContent,
    absurdValues
};

// A running entry with long names, a large rate and more than 100 hours on the clock.
const QByteArray longEntry =
    R"({"id":"e0","startTime":"2025-03-01T09:12:07.000Z","isRunning":true,"hourlyRateSnapshot":1250,"projectId":"p-Long",)"
    R"("project":{"id":"p-Long","name":"Quarterly infrastructure migration for the EMEA region","color":"#F59E0B"},)"
    R"("taskId":"t-Long","task":{"id":"t-Long","name":"Database replication and failover rehearsal"},)"
    R"("description":"Walk through every step of the runbook with the on-call team and write down what broke"})";
const QByteArray bigEarnings =
    R"({"earnings":{"currentTimer":{"earnings":128021.53,"duration":366473,"isRunning":true,"hourlyRate":1250},"today":{"earnings":12345.67,"duration":54000},"thisWeek":{"earnings":98765.43,"duration":366473}}})";

bool popoverShot(Gallery& gallery, const QString& name, PanelState state) {
    FakeServer server;
    const bool running = state == PanelState::running || state == PanelState::stoppedEntry ||
                         state == PanelState::longContent || state == PanelState::absurdValues;
    gallery.serve(server, running, true,
                  state == PanelState::earningsFailed    ? FakeResponse::json(500, {})
                  : state == PanelState::earningsLoading ? FakeResponse::heldBack(200, earnings)
                  : state == PanelState::longContent     ? FakeResponse::json(200, bigEarnings)
                  : state == PanelState::absurdValues    ? FakeResponse::json(200, absurdEarnings)
                                                         : FakeResponse::json(200, earnings));
    if (state == PanelState::longContent || state == PanelState::absurdValues) {
        const QByteArray& entry = state == PanelState::longContent ? longEntry : absurdEntry;
        server.on("GET", u"/time-entries/current"_s,
                  FakeResponse::json(200, "{\"timeEntry\":" + entry + "}"));
        server.on("GET", u"/time-entries"_s,
                  FakeResponse::json(200, "{\"entries\":[" + entry + "]}"));
    }
    server.on("POST", u"/auth/login"_s,
              FakeResponse::json(
                  200, R"({"user":{"id":"u","name":"Ada","email":"a@x.io"},"token":"t"})"));
    const QByteArray stoppedEntry =
        QByteArray(runningEntry)
            .replace("\"isRunning\":true", "\"isRunning\":false,\"duration\":4488");
    server.on("POST", u"/time-entries/e0/stop"_s,
              FakeResponse::json(200, "{\"message\":\"ok\",\"timeEntry\":" + stoppedEntry + "}"));
    APIClient client(server.baseURL(), &SettingsStore::tokenStore());
    client.clearAuthToken(); // no session restore from an earlier shot
    AuthViewModel auth(&client);
    TimerViewModel timer(&client, &fixedClock);
    if (state != PanelState::signedOut) {
        QCoro::waitFor(auth.login(u"a@x.io"_s, u"pw"_s));
    }
    waitUntil([&] { return timer.projects().size() == 3; });
    if (state == PanelState::stoppedEntry) {
        server.on("GET", u"/time-entries/current"_s,
                  FakeResponse::json(200, "{\"timeEntry\":" + stoppedEntry + "}"));
        QCoro::waitFor(timer.stopTimer());
    }
    Preferences preferences;
    MenuBarManager manager(&timer, &auth, [] {}, &preferences, new DashboardViewModel(&client, DashboardViewModel::ShownBy::popover));
    DashboardViewModel panelEarnings(&client, DashboardViewModel::ShownBy::popover);
    MenuBarView view(&timer, &auth, &panelEarnings, &manager);
    view.show();
    if (state == PanelState::earningsLoading) {
        waitUntil([&] { return view.isLoadingEarnings(); });
    } else if (state != PanelState::signedOut) {
        waitUntil([&] {
            return !view.isLoadingEarnings() &&
                   server.requestLines().join(u' ').contains(u"dashboard-earnings"_s);
        });
    }
    return gallery.shoot(name, view, view.size());
}

// The tray item's icon in both states as panels would show it: 22 px on a dark and on a light
// strip, drawn 4x.
bool trayIconShots(Gallery& gallery, const QString& folder) {
    bool ok = true;
    for (const bool running : {false, true}) {
        FakeServer server;
        gallery.serve(server, running, true, FakeResponse::json(200, earnings));
        APIClient client(server.baseURL(), &SettingsStore::tokenStore());
        AuthViewModel auth(&client);
        TimerViewModel timer(&client, &fixedClock);
        QCoro::waitFor(timer.loadCurrentEntry());
        Preferences preferences;
        MenuBarManager manager(&timer, &auth, {}, &preferences, new DashboardViewModel(&client, DashboardViewModel::ShownBy::popover));
        manager.setupMenuBar();
        const QIcon icon = manager.statusItem()->icon();
        const char* symbol = running ? "stop.fill" : "play.fill";
        QImage strip(68, 28, QImage::Format_ARGB32);
        strip.fill(QColor(0x24, 0x24, 0x24));
        QPainter painter(&strip);
        painter.fillRect(34, 0, 34, 28, QColor(0xE8, 0xE8, 0xE8));
        painter.drawPixmap(6, 3, icon.pixmap(22));
        painter.drawPixmap(40, 3, icon.pixmap(22));
        painter.end();
        const QString path = folder + u"/tray-icon-"_s + QString::fromLatin1(symbol) + u".png"_s;
        const bool saved =
            strip.scaled(272, 112, Qt::KeepAspectRatio, Qt::FastTransformation).save(path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
        ok &= saved;
    }
    return ok;
}

// The digits in the icon at every size panels ask for (1x, then 2x), for a few running times,
// each on a dark and on a light strip, drawn 2x.
bool iconDigitShots(const QString& folder) {
    const qint64 times[] = {7 * 60, 47 * 60, 65 * 60, 12 * 3600 + 59 * 60, 123 * 3600};
    constexpr int gap = 6;
    int width = gap;
    for (int size : PanelIcon::sizes) {
        width += size + gap;
    }
    const int band = PanelIcon::sizes[std::size(PanelIcon::sizes) - 1] + gap;
    QImage sheet(width, int(std::size(times)) * 2 * band + gap, QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    QPainter painter(&sheet);
    int top = gap;
    for (const qint64 seconds : times) {
        const PanelIcon icon(u"stop.fill"_s, PanelIcon::digitsOf(seconds), true);
        for (const QColor strip : {QColor(0x24, 0x24, 0x24), QColor(0xE8, 0xE8, 0xE8)}) {
            painter.fillRect(0, top - gap / 2, width, band, strip);
            int left = gap;
            for (int size : PanelIcon::sizes) {
                painter.drawImage(left, top, icon.image(size));
                left += size + gap;
            }
            top += band;
        }
    }
    painter.end();
    const QString path = folder + u"/tray-icon-digits.png"_s;
    const bool saved = sheet.scaled(sheet.size() * 2, Qt::KeepAspectRatio, Qt::FastTransformation).save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

// A week's entries: `perDay` spans a day on weekdays (fewer at the weekend), each on the next of
// `projects` in turn, from 08:00 UTC on.
QByteArray weekEntries(QDate monday, int projects, int perDay, double hoursEach) {
    static const char* const colors[] = {"#10B981", "#3B82F6", "#F59E0B", "#EF4444",
                                         "#8B5CF6", "#EC4899", "#14B8A6", "#F97316",
                                         "#6366F1", "#84CC16", "#06B6D4", "#A855F7"};
    QList<QByteArray> items;
    int n = 0;
    for (int day = 0; day < 7; ++day) {
        for (int i = 0; i < (day < 5 ? perDay : perDay / 3); ++i, ++n) {
            const QByteArray name = "Project " + QByteArray::number(n % projects + 1);
            const QDateTime start(monday.addDays(day), QTime(8, 0).addSecs(int(i * hoursEach * 3600)), Qt::UTC);
            items.append(entry(QByteArray("w" + QByteArray::number(n)).constData(), name.constData(),
                               colors[n % projects % 12], nullptr, "Work",
                               start.toString(Qt::ISODateWithMs).toLatin1().constData(),
                               int(hoursEach * 3600 * (0.6 + 0.1 * (n % 5))), 60 + 10 * (n % 4)));
        }
    }
    return "{\"entries\":[" + items.join(',') + "]}";
}

// The dashboard turned to the week: `entries` for every page, a weekly target, `weeksBack`
// from the clock's week.
bool weekShot(Gallery& gallery, const QString& name, const QByteArray& entries, int target,
              int weeksBack = 0) {
    FakeServer server;
    gallery.serve(server, weeksBack == 0, true, FakeResponse::json(200, earnings));
    server.on("GET", u"/time-entries"_s, FakeResponse::json(200, entries));
    APIClient client(server.baseURL(), &SettingsStore::tokenStore());
    AuthViewModel auth(&client);
    TimerViewModel timer(&client, &fixedClock);
    Preferences preferences;
    (void)preferences.setWeeklyTargetHours(target);
    DashboardView view(&auth, &timer, new DashboardViewModel(&client, DashboardViewModel::ShownBy::dashboard));
    auto* week = new WeekViewModel(&client, &preferences, &fixedClock);
    view.setWeek(week);
    view.resize(400, 600);
    view.show();
    waitUntil([&] { return !timer.isRefreshing(); });
    view.showWeek(true);
    if (weeksBack != 0) {
        QCoro::waitFor(week->step(-weeksBack));
    }
    waitUntil([&] { return !week->isLoading(); });
    return gallery.shoot(name, view);
}

bool weekShots(Gallery& gallery) {
    const QDate monday(2025, 3, 3);
    bool ok = weekShot(gallery, u"week-this-week"_s, weekEntries(monday, 3, 3, 2.5), 0);
    ok &= weekShot(gallery, u"week-target"_s, weekEntries(monday, 3, 3, 2.5), 40);
    ok &= weekShot(gallery, u"week-empty"_s, R"({"entries":[]})", 40, 1);
    ok &= weekShot(gallery, u"week-12-projects"_s, weekEntries(monday, 12, 6, 1.5), 40);
    // Berlin's clocks go forward on Sunday 30 March 2025: a night's work across it, 01:00 to
    // 06:00 local, is four hours.
    const QByteArray dst = "{\"entries\":[" +
                           entry("d1", "Night shift", "#6366F1", nullptr, "Release", "2025-03-30T00:00:00.000Z", 4 * 3600, 80) +
                           "," + entry("d2", "Night shift", "#6366F1", nullptr, "Release", "2025-03-28T20:00:00.000Z", 8 * 3600, 80) +
                           "]}";
    ok &= weekShot(gallery, u"week-clock-change"_s, dst, 0, -3);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    // The clock-change week is Berlin's.
    qputenv("TZ", "Europe/Berlin");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvo-gallery FOLDER\n");
        return 2;
    }
    DarkStyle::apply(app);
    TemporaryConfigHome home;
    DiagnosticsCapture quiet;
    Gallery gallery(QString::fromLocal8Bit(argv[1]));
    bool ok = signInShots(gallery);
    ok &= dashboardShot(gallery, u"dashboard-idle"_s, false, true,
                        FakeResponse::json(200, earnings), true);
    ok &= dashboardShot(gallery, u"dashboard-running"_s, true, true,
                        FakeResponse::json(200, earnings), true);
    ok &= dashboardShot(gallery, u"dashboard-earnings-loading"_s, false, true,
                        FakeResponse::heldBack(200, earnings), false);
    ok &= dashboardShot(gallery, u"dashboard-earnings-failed"_s, false, true,
                        FakeResponse::json(500, {}), true);
    ok &= dashboardShot(gallery, u"dashboard-no-entries"_s, false, false,
                        FakeResponse::json(200, earnings), true);
    ok &= dashboardShot(gallery, u"dashboard-absurd-values"_s, true, true,
                        FakeResponse::json(200, absurdEarnings), true, absurdEntry);
    ok &= saveWarningShot(gallery, home);
    ok &= offlineShot(gallery);
    ok &= preferencesShot(gallery);
    ok &= timerShots(gallery);
    ok &= popoverShot(gallery, u"popover-signed-out"_s, PanelState::signedOut);
    ok &= popoverShot(gallery, u"popover-running"_s, PanelState::running);
    ok &= popoverShot(gallery, u"popover-stopped-entry"_s, PanelState::stoppedEntry);
    ok &= popoverShot(gallery, u"popover-idle-start-latest"_s, PanelState::idleWithLatest);
    ok &= popoverShot(gallery, u"popover-earnings-loading"_s, PanelState::earningsLoading);
    ok &= popoverShot(gallery, u"popover-earnings-failed"_s, PanelState::earningsFailed);
    ok &= popoverShot(gallery, u"popover-long-content"_s, PanelState::longContent);
    ok &= popoverShot(gallery, u"popover-absurd-values"_s, PanelState::absurdValues);
    ok &= trayIconShots(gallery, QString::fromLocal8Bit(argv[1]));
    ok &= iconDigitShots(QString::fromLocal8Bit(argv[1]));
    ok &= weekShots(gallery);
    return ok ? 0 : 1;
}

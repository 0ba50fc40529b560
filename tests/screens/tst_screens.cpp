#include "Json.h"
#include "TestSupport.h"
#include "Widgets.h"

#include "app/ContentView.h"
#include "screens/DashboardView.h"
#include "screens/EarningsCard.h"
#include "screens/LoginView.h"
#include "screens/RegisterView.h"
#include "screens/TimeEntryRow.h"
#include "screens/TimerView.h"
#include "ui/CircleButton.h"
#include "ui/FieldEdit.h"
#include "ui/LinkButton.h"
#include "ui/PrimaryButton.h"
#include "ui/PullDownButton.h"
#include "ui/PulsingDot.h"
#include "ui/ReducedMotion.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTextLayout>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

const QByteArray running = json::ratedEntry("r1", true, 60);
const QByteArray stopped = json::entry("s1", false, "2025-03-01T09:00:00.000Z", R"(,"projectId":"p2","description":"Notes")");

void chooseFromMenu(PullDownButton* chooser, const QString& item) {
    QTest::mouseClick(chooser, Qt::LeftButton);
    for (QAction* action : chooser->menu()->actions()) {
        if (action->text() == item) {
            action->trigger();
            chooser->menu()->close();
            return;
        }
    }
    qFatal("no menu item %s", qPrintable(item));
}

// The opacity of each frame a dot paints, and when it was painted.
class DotFrames : public QObject {
public:
    explicit DotFrames(PulsingDot* dot) : m_dot(dot) {
        dot->installEventFilter(this);
        m_clock.start();
    }
    QList<std::pair<qint64, qreal>> frames;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            frames.append({m_clock.elapsed(), m_dot->currentOpacity()});
        }
        return false;
    }

private:
    PulsingDot* m_dot;
    QElapsedTimer m_clock;
};

// The ids of the dashboard's entry rows, top to bottom.
QStringList rowIds(QWidget* dashboard) {
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    auto rows = dashboard->findChildren<TimeEntryRow*>();
    std::sort(rows.begin(), rows.end(), [](TimeEntryRow* a, TimeEntryRow* b) { return a->y() < b->y(); });
    QStringList ids;
    for (TimeEntryRow* row : rows) {
        ids.append(row->entry().id);
    }
    return ids;
}

// fields: email and password, or name, email, password and confirmation
struct FormsEnableTheirButtonRow { QStringList fields; bool valid, mismatch; };

} // namespace

class tst_Screens : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        m_f = std::make_unique<ViewFixture>();
        m_f->clock.set(QDateTime(QDate(2025, 3, 1), QTime(10, 1, 30), Qt::UTC));
        m_f->serveNothingRunning();
        m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries({stopped})));
        m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, json::earnings(12.5, 3900, 40, 120)));
        m_f->server.on("POST", u"/auth/register"_s, FakeResponse::json(201, json::auth()));
        QTRY_VERIFY(m_f->timer.projects().size() == 3 && !m_f->timer.isRefreshing());
    }
    void cleanup() { m_f.reset(); }
    void emailIsSentAsTypedOrTidied_data() {
        QTest::addColumn<bool>("registering");
        QTest::addColumn<QString>("sentEmail");
        QTest::newRow("sign-in keeps it") << false << u" Ada@Example.COM "_s;
        QTest::newRow("registration trims and lowers") << true << u"ada@example.com"_s;
    }
    void emailIsSentAsTypedOrTidied() {
        QFETCH(bool, registering);
        QFETCH(QString, sentEmail);
        std::unique_ptr<QWidget> view;
        if (registering) {
            view = std::make_unique<RegisterView>(&m_f->auth);
            type(view.get(), u"nameField"_s, u"  Ada  "_s);
            type(view.get(), u"confirmPasswordField"_s, u"secret"_s);
        } else {
            view = std::make_unique<LoginView>(&m_f->auth);
        }
        type(view.get(), u"emailField"_s, u" Ada@Example.COM "_s);
        type(view.get(), u"passwordField"_s, u"secret"_s);
        QTest::keyClick(find<QLineEdit>(view.get(), u"passwordField"_s), Qt::Key_Return);
        QCoreApplication::processEvents(); // a scheduled sign-in would have started now
        QVERIFY(!m_f->auth.isLoading());   // Return sends nothing
        m_f->server.on("POST", registering ? u"/auth/register"_s : u"/auth/login"_s, FakeResponse::heldBack(200, json::auth()));
        auto* button = find<PrimaryButton>(view.get(), u"primaryButton"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(m_f->server.heldCount(), 1);
        QVERIFY(m_f->auth.isLoading() && !button->isEnabled() && button->isBusy());
        QCOMPARE(button->text(), registering ? u"Creating Account..."_s : u"Signing in..."_s);
        m_f->server.release();
        QTRY_VERIFY(m_f->auth.isAuthenticated());
        QCOMPARE(lastBody(u"email"_s), sentEmail);
        if (registering) {
            QCOMPARE(lastBody(u"name"_s), u"Ada"_s);
        }
    }
    void formsEnableTheirButton_data() {
        QTest::addColumn<FormsEnableTheirButtonRow>("row");
        QTest::newRow("sign-in, both empty") << FormsEnableTheirButtonRow{QStringList{QString(), QString()}, false, false};
        QTest::newRow("sign-in, no password") << FormsEnableTheirButtonRow{QStringList{u"a"_s, QString()}, false, false};
        QTest::newRow("sign-in, no email") << FormsEnableTheirButtonRow{QStringList{QString(), u"b"_s}, false, false};
        QTest::newRow("sign-in, spaces count") << FormsEnableTheirButtonRow{QStringList{u"   "_s, u"b"_s}, true, false};
        QTest::newRow("valid") << FormsEnableTheirButtonRow{QStringList{u"Ada"_s, u"a@x.io"_s, u"sixsix"_s, u"sixsix"_s}, true, false};
        QTest::newRow("five characters") << FormsEnableTheirButtonRow{QStringList{u"Ada"_s, u"a@x.io"_s, u"fivee"_s, u"fivee"_s}, false, false};
        QTest::newRow("six with accents") << FormsEnableTheirButtonRow{QStringList{u"Ada"_s, u"a@x.io"_s, u"e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301"_s, u"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"_s}, true, false};
        QTest::newRow("blank name") << FormsEnableTheirButtonRow{QStringList{u"   "_s, u"a@x.io"_s, u"sixsix"_s, u"sixsix"_s}, false, false};
        QTest::newRow("blank email") << FormsEnableTheirButtonRow{QStringList{u"Ada"_s, u"\n "_s, u"sixsix"_s, u"sixsix"_s}, false, false};
        QTest::newRow("mismatch") << FormsEnableTheirButtonRow{QStringList{u"Ada"_s, u"a@x.io"_s, u"sixsix"_s, u"sixsi"_s}, false, true};
        QTest::newRow("empty confirmation") << FormsEnableTheirButtonRow{QStringList{u"Ada"_s, u"a@x.io"_s, u"sixsix"_s, QString()}, false, false};
    }
    void formsEnableTheirButton() {
        QFETCH(FormsEnableTheirButtonRow, row);
        auto [fields, valid, mismatch] = row;
        const bool registering = fields.size() == 4;
        std::unique_ptr<QWidget> view;
        if (registering) {
            view = std::make_unique<RegisterView>(&m_f->auth);
        } else {
            view = std::make_unique<LoginView>(&m_f->auth);
        }
        view->show();
        const QStringList names = QStringList{u"nameField"_s, u"emailField"_s, u"passwordField"_s, u"confirmPasswordField"_s}.mid(registering ? 0 : 1, fields.size());
        for (qsizetype i = 0; i < fields.size(); ++i) {
            type(view.get(), names[i], fields[i]);
        }
        auto* button = find<PrimaryButton>(view.get(), u"primaryButton"_s);
        QCOMPARE(button->isEnabled(), valid);
        QCOMPARE(button->fill(), valid ? Theme::blueFill() : Theme::grey());
        if (registering) {
            QCOMPARE(find<QLabel>(view.get(), u"mismatchLabel"_s)->isVisible(), mismatch);
            QCOMPARE(find<FieldEdit>(view.get(), u"confirmPasswordField"_s)->outline(), mismatch ? Theme::red() : QColor(Qt::transparent));
            type(view.get(), u"passwordField"_s, fields[3]); // editing the password until both agree
            QVERIFY(!find<QLabel>(view.get(), u"mismatchLabel"_s)->isVisible());
        }
    }
    void routingAndErrorLine() {
        ContentView content(&m_f->auth, &m_f->timer, &m_f->client);
        content.show();
        QVERIFY(qobject_cast<LoginView*>(content.currentScreen()));
        m_f->server.on("POST", u"/auth/login"_s, FakeResponse::json(400, R"({"error":"Unknown account"})"));
        type(content.currentScreen(), u"emailField"_s, u"a"_s);
        type(content.currentScreen(), u"passwordField"_s, u"b"_s);
        QTest::mouseClick(find<PrimaryButton>(content.currentScreen(), u"primaryButton"_s), Qt::LeftButton);
        auto* error = find<QLabel>(content.currentScreen(), u"errorLabel"_s);
        QTRY_VERIFY(error->isVisible());
        QCOMPARE(error->text(), u"Unknown account"_s);
        QVERIFY(find<PrimaryButton>(content.currentScreen(), u"primaryButton"_s)->isEnabled());

        QTest::mouseClick(find<LinkButton>(content.currentScreen(), u"switchButton"_s), Qt::LeftButton);
        QCOMPARE(content.screen(), ContentView::Screen::registration);
        QVERIFY(!find<QLabel>(content.currentScreen(), u"errorLabel"_s)->isVisible()); // cleared on appearance
        QTest::mouseClick(find<LinkButton>(content.currentScreen(), u"switchButton"_s), Qt::LeftButton);
        QCOMPARE(content.screen(), ContentView::Screen::login);
        QCOMPARE(find<QLineEdit>(content.currentScreen(), u"emailField"_s)->text(), QString()); // a fresh screen
        QTest::mouseClick(find<LinkButton>(content.currentScreen(), u"switchButton"_s), Qt::LeftButton);

        QCoro::waitFor(m_f->auth.registerAccount(u"A"_s, u"a@x.io"_s, u"secret"_s, std::nullopt, std::nullopt));
        QCOMPARE(content.screen(), ContentView::Screen::dashboard);
        QVERIFY(qobject_cast<DashboardView*>(content.currentScreen()));
        m_f->auth.logout();
        QCOMPARE(content.screen(), ContentView::Screen::registration); // the screen in use before signing in
    }
    void timerPanelChoices() {
        TimerView panel(&m_f->timer, [] {}, [] {});
        panel.show(); // preselects the first active project
        auto* projectChooser = find<PullDownButton>(&panel, u"projectChooser"_s);
        auto* taskChooser = find<PullDownButton>(&panel, u"taskChooser"_s);
        auto* description = find<FieldEdit>(&panel, u"descriptionField"_s);
        auto* start = find<CircleButton>(&panel, u"startButton"_s);
        QCOMPARE(description->sizeHint().height(), projectChooser->sizeHint().height()); // the fields match the choosers
        description->setText(QString(2100, u'x')); // no longer than the server takes
        QCOMPARE(description->text().size(), 2000);
        QCOMPARE(panel.selectedProjectId(), u"p1"_s);
        QCOMPARE(projectChooser->text(), u"Web"_s);
        QCOMPARE(projectChooser->dotColor(), QColor(0x10, 0xB9, 0x81));
        QTRY_COMPARE(m_f->timer.tasks().size(), 1);
        QVERIFY(taskChooser->isEnabled() && start->isEnabled() && !description->isEnabled());

        chooseFromMenu(projectChooser, u"No Project"_s);
        QVERIFY(!start->isEnabled() && !taskChooser->isEnabled() && !description->isEnabled());
        QCOMPARE(projectChooser->text(), u"Project"_s);
        QTRY_VERIFY(m_f->timer.tasks().isEmpty());
        QCOMPARE(projectChooser->menu()->actions().size(), 3); // "No Project" and the two active projects

        chooseFromMenu(projectChooser, u"App"_s);
        QTRY_COMPARE(m_f->timer.selectedProjectId(), u"p2"_s);
        QTRY_VERIFY(taskChooser->isEnabled());
        // The task menu has no icons and keeps no empty column for them: its texts start where the
        // project menu's dots do.
        const auto contentLeft = [](PullDownButton* chooser) {
            QTest::mouseClick(chooser, Qt::LeftButton);
            const QImage image = chooser->menu()->grab().toImage();
            chooser->menu()->close();
            const QRgb background = image.pixel(image.width() - 3, image.height() / 2);
            for (int x = 2; x < image.width(); ++x) {
                for (int y = 2; y < image.height() - 2; ++y) {
                    if (image.pixel(x, y) != background) {
                        return x;
                    }
                }
            }
            return -1;
        };
        const int dots = contentLeft(projectChooser);
        QVERIFY2(contentLeft(taskChooser) <= dots + 1, qPrintable(u"dots from %1"_s.arg(dots)));
        chooseFromMenu(taskChooser, u"Build"_s);
        QVERIFY(description->isEnabled());
        description->setText(u"  Spacing kept "_s);
        // Return ends the edit: the field lets go of the focus.
        panel.activateWindow(); // back from the menus
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        description->setFocus();
        QTRY_VERIFY(description->hasFocus());
        QTest::keyClick(description, Qt::Key_Return);
        QVERIFY(!description->hasFocus());
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, json::timer(running)));
        // As a real server would, from now on the running entry is the current one.
        m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current(running)));
        QTest::mouseClick(start, Qt::LeftButton);
        QTRY_VERIFY(m_f->timer.isTimerRunning() && !m_f->timer.isLoading()); // stop stays disabled until then
        QCOMPARE(m_f->server.last("POST", u"/time-entries/start"_s).body,
                 QByteArray(R"({"description":"  Spacing kept ","projectId":"p2","taskId":"t1"})"));

        m_f->server.on("POST", u"/time-entries/r1/stop"_s, FakeResponse::json(200, json::timer(stopped)));
        m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current()));
        QTest::mouseClick(find<CircleButton>(&panel, u"stopButton"_s), Qt::LeftButton);
        QTRY_VERIFY(!m_f->timer.isLoading() && !m_f->timer.isTimerRunning());
        QTRY_COMPARE(panel.selectedProjectId(), QString());
        QCOMPARE(description->text(), QString());
    }
    void runningFace() {
        m_f->showCurrent(running);
        TimerView panel(&m_f->timer, [] {}, [] {});
        panel.show();
        QVERIFY(find<QWidget>(&panel, u"runningFace"_s)->isVisible());
        QVERIFY(!find<QWidget>(&panel, u"idleFace"_s)->isVisible());
        QCOMPARE(find<QLabel>(&panel, u"counter"_s)->text(), u"01:30"_s);
        QCOMPARE(find<QLabel>(&panel, u"runningEarnings"_s)->text(), u"$1.50"_s);
        QCOMPARE(find<CircleButton>(&panel, u"stopButton"_s)->fill(), Theme::redFill()); // as the pills

        m_f->showCurrent(json::ratedEntry("r1", true, 0));
        QVERIFY(!find<QLabel>(&panel, u"runningEarnings"_s)->isVisible());
    }
    void earningsSection() {
        m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::heldBack(500, {}));
        DashboardView view(&m_f->auth, &m_f->timer, m_f->earnings());
        auto* today = find<EarningsCard>(&view, u"todayCard"_s);
        QCOMPARE(today->earnings(), u"$0.00"_s);
        QCOMPARE(today->duration(), u"0h 0m"_s);
        view.resize(400, 600);
        view.show();
        QTRY_VERIFY(find<QWidget>(&view, u"loadingCards"_s)->isVisible());
        m_f->server.release();
        auto* error = find<QLabel>(&view, u"earningsError"_s);
        QTRY_VERIFY_WITH_TIMEOUT(error->isVisible(), 20000); // behind the refresh, on a loaded machine
        QCOMPARE(error->text(), u"Failed to load earnings: Server error - please try again later"_s);
        QVERIFY(!today->isVisible());

        m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, json::earnings(12.5, 3900, 40, 120)));
        QCoro::waitFor(view.dashboardViewModel()->loadEarnings());
        QVERIFY(today->isVisible());
        QCOMPARE(today->earnings(), u"$12.50"_s);
        QCOMPARE(today->duration(), u"1h 5m"_s);
        QCOMPARE(find<EarningsCard>(&view, u"weekCard"_s)->duration(), u"2m"_s);
        // A start from elsewhere (the popover, the panel, the command line): the totals follow.
        m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, json::earnings(79.95, 3900, 40, 120)));
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, json::timer(running)));
        QCoro::waitFor(m_f->timer.startTimer(u"p1"_s, std::nullopt, std::nullopt));
        QTRY_COMPARE(find<EarningsCard>(&view, u"todayCard"_s)->earnings(), u"$79.95"_s);
    }
    void accountWithoutProjects() {
        m_f->server.on("GET", u"/projects"_s, FakeResponse::json(200, R"({"projects":[{"id":"p3","name":"Old","isActive":false}]})"));
        QCoro::waitFor(m_f->timer.loadProjects());
        DashboardView view(&m_f->auth, &m_f->timer, m_f->earnings());
        view.show();
        auto* notice = find<QWidget>(&view, u"noProjects"_s);
        QTRY_VERIFY(notice->isVisible()); // not a silent, disabled start
        QVERIFY(!find<CircleButton>(&view, u"startButton"_s)->isEnabled());
        m_f->server.on("GET", u"/projects"_s, FakeResponse::json(200, json::projects()));
        find<LinkButton>(&view, u"noProjectsRefresh"_s)->click();
        QTRY_VERIFY(!notice->isVisible());
    }
    void entryRowsFollowTheList() {
        DashboardView view(&m_f->auth, &m_f->timer, m_f->earnings());
        view.show();
        QCOMPARE(rowIds(&view), QStringList{u"s1"_s});
        auto* row = view.findChild<TimeEntryRow*>();
        QVERIFY(row->findChild<QWidget*>(u"restartButton"_s)->isVisible());
        QCOMPARE(row->findChild<QLabel*>(u"entryDuration"_s)->text(), u"00:01"_s);
        QCOMPARE(row->findChild<QWidget*>(u"restartButton"_s)->accessibleDescription(), u"Restart this timer: Notes, 00:01"_s);

        m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current(running)));
        m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries({running, stopped, running})));
        QCoro::waitFor(m_f->timer.refreshAllData());
        QCOMPARE(rowIds(&view), (QStringList{u"r1"_s, u"s1"_s, u"r1"_s})); // a repeated id gets a row each time
        for (TimeEntryRow* each : view.findChildren<TimeEntryRow*>()) {
            QVERIFY(!each->findChild<QWidget*>(u"restartButton"_s)->isVisible());
            QCOMPARE(each->isBlinking(), each->entry().isRunning);
            QCOMPARE(each->findChild<QLabel*>(u"entryDuration"_s)->isVisible(), !each->entry().isRunning);
        }

        // Stopped from the tray while the window is closed: the dot comes back steady.
        view.hide();
        const QByteArray stoppedRunning = json::entry("r1", false);
        m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, json::current(stoppedRunning)));
        m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries({stoppedRunning})));
        QCoro::waitFor(m_f->timer.refreshAllData());
        view.show();
        QCOMPARE(rowIds(&view), QStringList{u"r1"_s});
        row = view.findChild<TimeEntryRow*>();
        QVERIFY(!row->isBlinking());
        QCOMPARE(row->findChild<PulsingDot*>()->currentOpacity(), 1.0);
    }
    void runningDotPulses() {
        // A running entry's dot, with motion allowed.
        ReducedMotion::instance().setReduced(false);
        PulsingDot dot(8, Theme::appBackground());
        DotFrames painted(&dot);
        dot.setPulsing(true);
        QVERIFY(!dot.isMoving()); // not on screen yet
        dot.show();
        QVERIFY(dot.isMoving());
        // One swing, eased from full opacity down to 0.3 and back.
        const auto swungBack = [&] {
            const auto low = std::find_if(painted.frames.begin(), painted.frames.end(), [](auto f) { return f.second < 0.4; });
            return std::any_of(low, painted.frames.end(), [](auto f) { return f.second > 0.95; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(swungBack(), 20000);
        QSet<qreal> between;
        for (const auto& [when, opacity] : painted.frames) {
            QVERIFY(opacity >= 0.3 - 1e-9 && opacity <= 1.0);
            if (opacity > 0.35 && opacity < 0.95) {
                between.insert(opacity);
            }
        }
        QVERIFY2(between.size() >= 3, "a blink, not a pulse");
        // At most ten frames a second (a slow machine only makes them fewer), besides the first.
        const qint64 span = painted.frames.last().first - painted.frames.first().first;
        QVERIFY2((painted.frames.size() - 2) * 90 <= span, qPrintable(u"%1 frames in %2 ms"_s.arg(painted.frames.size()).arg(span)));

        // Off screen it holds still; back on screen the swing starts again from full opacity.
        dot.hide();
        QVERIFY(!dot.isMoving());
        QCOMPARE(dot.currentOpacity(), 1.0);
        dot.show();
        QVERIFY(dot.isMoving());
        QCOMPARE(dot.currentOpacity(), 1.0);
        QTRY_VERIFY(dot.currentOpacity() < 0.9);
        // The desktop asks for less motion: at once full opacity and still, not eased; then again.
        ReducedMotion::instance().setReduced(true);
        QCOMPARE(dot.currentOpacity(), 1.0);
        QVERIFY(!dot.isMoving());
        ReducedMotion::instance().setReduced(false);
        QVERIFY(dot.isMoving());
        QTRY_VERIFY(dot.currentOpacity() < 0.9);
        // The entry stops: the dot eases back to full opacity, then holds still.
        const qreal before = dot.currentOpacity();
        dot.setPulsing(false);
        QCOMPARE(dot.currentOpacity(), before);
        QTRY_COMPARE(dot.currentOpacity(), 1.0);
        QTRY_VERIFY(!dot.isMoving());
    }
    void listsAreDrawnWithinWhatWasAsked() {
        QList<QByteArray> entries(20'000, stopped);
        QByteArray projects = R"({"projects":[)";
        for (int i = 0; i < 1500; ++i) {
            projects += (i ? "," : "") + QByteArray(R"({"id":"p%","name":"P%","isActive":true})").replace('%', QByteArray::number(i));
        }
        m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries(entries)));
        m_f->server.on("GET", u"/projects"_s, FakeResponse::json(200, projects + "]}"));
        DashboardView view(&m_f->auth, &m_f->timer, m_f->earnings());
        view.show();
        QTRY_COMPARE(m_f->timer.recentEntries().size(), 20'000); // the state keeps all
        QTRY_VERIFY(!m_f->timer.isRefreshing());
        QCOMPARE(view.findChildren<TimeEntryRow*>().size(), 10);
        const QStringList& lines = m_f->lines.lines();
        QCOMPARE(lines.count(u"📝 Loaded 20000 recent entries"_s), 1);
        QCOMPARE(lines.count(u"Showing the first 10 of 20000 recent entries received"_s), 1);
        QCOMPARE(lines.count(u"Showing the first 1000 of 1500 projects received"_s), 1);
        auto* chooser = find<PullDownButton>(&view, u"projectChooser"_s);
        QTest::mouseClick(chooser, Qt::LeftButton);
        QCOMPARE(chooser->menu()->actions().size(), 1 + 1000); // "No Project" and the first thousand
        chooser->menu()->close();
    }
    void dismissibleSaveWarning() {
        QVERIFY(QDir().mkpath(m_f->home.tokenFile())); // a folder where the file should go
        DashboardView view(&m_f->auth, &m_f->timer, m_f->earnings());
        view.resize(400, 600);
        view.show();
        QVERIFY(!shown(&view, u"saveWarning"_s));
        m_f->signIn();
        QVERIFY(shown(&view, u"saveWarning"_s));
        auto* warning = find<QLabel>(&view, u"saveWarningText"_s);
        QCOMPARE(warning->accessibleName(), *m_f->auth.saveWarning());
        QCOMPARE(layoutFaults(&view), QStringList());
        // The path it names is not broken after a slash (or a hyphen), at whatever width it is laid out.
        QVERIFY(m_f->auth.saveWarning()->contains(m_f->home.path()));
        for (int width = 100; width <= warning->width(); width += 4) {
            QTextLayout layout(warning->text(), warning->font());
            QTextOption wrapped;
            wrapped.setWrapMode(QTextOption::WordWrap);
            layout.setTextOption(wrapped);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                QString lineText = warning->text().mid(line.textStart(), line.textLength()).trimmed();
                lineText.remove(u'\u2060');
                QVERIFY2(!lineText.endsWith(u'/') && !lineText.endsWith(u'-'), qPrintable(u"%1 px: "_s.arg(width) + lineText));
            }
            layout.endLayout();
        }
        QTest::mouseClick(find<QWidget>(&view, u"dismissSaveWarning"_s), Qt::LeftButton);
        QVERIFY(!shown(&view, u"saveWarning"_s));
    }

private:
    QString lastBody(const QString& member) const {
        const RecordedRequest& sent = m_f->server.requests().last();
        return QJsonDocument::fromJson(sent.body).object().value(member).toString();
    }
    qsizetype refreshes() const { return m_f->lines.lines().count(u"🔄 Starting full data refresh..."_s); }

    std::unique_ptr<ViewFixture> m_f;
};

QTEST_MAIN(tst_Screens)
#include "tst_screens.moc"

#include "FakeServer.h"
#include "TestSupport.h"

#include "app/ContentView.h"
#include "records/Clock.h"
#include "screens/DashboardView.h"
#include "screens/EarningsCard.h"
#include "screens/LoginView.h"
#include "screens/RegisterView.h"
#include "screens/TimeEntryRow.h"
#include "screens/TimerView.h"
#include "state/AuthViewModel.h"
#include "state/DashboardViewModel.h"
#include "state/TimerViewModel.h"
#include "ui/CircleButton.h"
#include "ui/FieldEdit.h"
#include "ui/PrimaryButton.h"
#include "ui/PullDownButton.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

const QDateTime now(QDate(2025, 3, 1), QTime(10, 1, 30), Qt::UTC);
const QByteArray authBody = R"({"user":{"id":"u","name":"Ada","email":"a@x.io"},"token":"t"})";
const QByteArray projects =
    R"({"projects":[{"id":"old","name":"Old","isActive":false},{"id":"p1","name":"Web","color":"#10B981","isActive":true},{"id":"p2","name":"App","isActive":true}]})";
const QByteArray running =
    R"({"id":"r1","startTime":"2025-03-01T10:00:00.000Z","isRunning":true,"hourlyRateSnapshot":60,"projectId":"p1","project":{"id":"p1","name":"Web"}})";
const QByteArray stopped =
    R"({"id":"s1","startTime":"2025-03-01T09:00:00.000Z","isRunning":false,"duration":3725,"projectId":"p2","description":"Notes"})";

QByteArray answerWith(const char* member, const QByteArray& json) {
    return "{\"" + QByteArray(member) + "\":" + json + "}";
}

QByteArray timerAnswer(const QByteArray& entry) {
    return R"({"message":"ok","timeEntry":)" + entry + "}";
}

template <class T> T* find(QWidget* root, const QString& name) {
    T* child = root->findChild<T*>(name);
    if (!child) {
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    }
    return child;
}

void type(QWidget* root, const QString& field, const QString& text) {
    find<QLineEdit>(root, field)->setText(text);
}

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

} // namespace

class tst_Screens : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void signInButton_data();
    void signInButton();
    void emailIsSentAsTypedOrTidied_data();
    void emailIsSentAsTypedOrTidied();
    void registrationForm_data();
    void registrationForm();
    void routingAndErrorLine();
    void timerPanelChoices();
    void runningFace();
    void earningsSection();
    void restartButtonsFollowTheTimer();

private:
    QString lastBody(const QString& member) const {
        const RecordedRequest& sent = m_f->server.requests().last();
        return QJsonDocument::fromJson(sent.body).object().value(member).toString();
    }

    std::unique_ptr<ClientFixture> m_f;
    std::unique_ptr<AuthViewModel> m_auth;
    std::unique_ptr<TimerViewModel> m_timer;
};

void tst_Screens::init() {
    Clock::setFixedNow(now);
    m_f = std::make_unique<ClientFixture>();
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, R"({"timeEntry":null})"));
    m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, answerWith("entries", "[" + stopped + "]")));
    m_f->server.on("GET", u"/projects"_s, FakeResponse::json(200, projects));
    m_f->server.on("GET", u"/tasks"_s, FakeResponse::json(200, R"({"tasks":[{"id":"t1","name":"Build","isCompleted":false}]})"));
    m_f->server.on(
        "GET", u"/users/dashboard-earnings"_s,
        FakeResponse::json(
            200,
            R"({"earnings":{"currentTimer":{"earnings":0,"duration":0,"isRunning":false,"hourlyRate":0},"today":{"earnings":12.5,"duration":3900},"thisWeek":{"earnings":40,"duration":120}}})"));
    m_f->server.on("POST", u"/auth/login"_s, FakeResponse::json(200, authBody));
    m_f->server.on("POST", u"/auth/register"_s, FakeResponse::json(201, authBody));
    m_auth = std::make_unique<AuthViewModel>(&m_f->client);
    m_timer = std::make_unique<TimerViewModel>(&m_f->client);
    QTRY_VERIFY(m_timer->projects().size() == 3 && !m_timer->isRefreshing());
}

void tst_Screens::cleanup() {
    m_timer.reset();
    m_auth.reset();
    m_f.reset();
    Clock::setFixedNow(std::nullopt);
}

void tst_Screens::signInButton_data() {
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("both empty") << QString() << QString() << false;
    QTest::newRow("no password") << u"a"_s << QString() << false;
    QTest::newRow("no email") << QString() << u"b"_s << false;
    QTest::newRow("a and b") << u"a"_s << u"b"_s << true;
    QTest::newRow("spaces count") << u"   "_s << u"b"_s << true;
}

void tst_Screens::signInButton() {
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(bool, enabled);
    LoginView view(m_auth.get());
    type(&view, u"emailField"_s, email);
    type(&view, u"passwordField"_s, password);
    auto* button = find<PrimaryButton>(&view, u"primaryButton"_s);
    QCOMPARE(button->isEnabled(), enabled);
    QCOMPARE(button->text(), u"Sign In"_s);
    if (enabled) {
        m_f->server.on("POST", u"/auth/login"_s, FakeResponse::json(200, authBody, 300));
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(m_auth->isLoading());
        QVERIFY(!button->isEnabled());
        QVERIFY(button->isBusy());
        QCOMPARE(button->text(), u"Signing in..."_s);
        QTRY_VERIFY(m_auth->isAuthenticated());
    }
}

void tst_Screens::emailIsSentAsTypedOrTidied_data() {
    QTest::addColumn<bool>("registering");
    QTest::addColumn<QString>("sentEmail");
    QTest::newRow("sign-in keeps it") << false << u" Ada@Example.COM "_s;
    QTest::newRow("registration trims and lowers") << true << u"ada@example.com"_s;
}

void tst_Screens::emailIsSentAsTypedOrTidied() {
    QFETCH(bool, registering);
    QFETCH(QString, sentEmail);
    std::unique_ptr<QWidget> view;
    if (registering) {
        view = std::make_unique<RegisterView>(m_auth.get());
        type(view.get(), u"nameField"_s, u"  Ada  "_s);
        type(view.get(), u"confirmPasswordField"_s, u"secret"_s);
    } else {
        view = std::make_unique<LoginView>(m_auth.get());
    }
    type(view.get(), u"emailField"_s, u" Ada@Example.COM "_s);
    type(view.get(), u"passwordField"_s, u"secret"_s);
    QTest::keyClick(find<QLineEdit>(view.get(), u"passwordField"_s), Qt::Key_Return);
    QTest::qWait(50);
    QVERIFY(m_f->server.requests().size() == 3); // Return sends nothing
    QTest::mouseClick(find<PrimaryButton>(view.get(), u"primaryButton"_s), Qt::LeftButton);
    QTRY_VERIFY(m_auth->isAuthenticated());
    QCOMPARE(lastBody(u"email"_s), sentEmail);
    QCOMPARE(lastBody(u"password"_s), u"secret"_s);
    if (registering) {
        QCOMPARE(lastBody(u"name"_s), u"Ada"_s);
    }
}

void tst_Screens::registrationForm_data() {
    QTest::addColumn<QStringList>("fields"); // name, email, password, confirmation
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("mismatch");
    QTest::newRow("valid") << QStringList{u"Ada"_s, u"a@x.io"_s, u"sixsix"_s, u"sixsix"_s} << true << false;
    QTest::newRow("five characters") << QStringList{u"Ada"_s, u"a@x.io"_s, u"fivee"_s, u"fivee"_s} << false << false;
    QTest::newRow("six with accents") << QStringList{u"Ada"_s, u"a@x.io"_s, u"e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301"_s,
                                                     u"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"_s}
                                      << true << false;
    QTest::newRow("blank name") << QStringList{u"   "_s, u"a@x.io"_s, u"sixsix"_s, u"sixsix"_s} << false << false;
    QTest::newRow("blank email") << QStringList{u"Ada"_s, u"\n "_s, u"sixsix"_s, u"sixsix"_s} << false << false;
    QTest::newRow("mismatch") << QStringList{u"Ada"_s, u"a@x.io"_s, u"sixsix"_s, u"sixsi"_s} << false << true;
    QTest::newRow("empty confirmation") << QStringList{u"Ada"_s, u"a@x.io"_s, u"sixsix"_s, QString()} << false << false;
}

void tst_Screens::registrationForm() {
    QFETCH(QStringList, fields);
    QFETCH(bool, valid);
    QFETCH(bool, mismatch);
    RegisterView view(m_auth.get());
    view.show();
    const QStringList names{u"nameField"_s, u"emailField"_s, u"passwordField"_s, u"confirmPasswordField"_s};
    for (int i = 0; i < 4; ++i) {
        type(&view, names[i], fields[i]);
    }
    auto* button = find<PrimaryButton>(&view, u"primaryButton"_s);
    QCOMPARE(view.isFormValid(), valid);
    QCOMPARE(button->isEnabled(), valid);
    QCOMPARE(button->fill(), valid ? Theme::blue() : Theme::grey());
    QCOMPARE(find<QLabel>(&view, u"mismatchLabel"_s)->isVisible(), mismatch);
    QCOMPARE(find<FieldEdit>(&view, u"confirmPasswordField"_s)->outline(), mismatch ? Theme::red() : QColor(Qt::transparent));
    if (mismatch) {
        type(&view, u"passwordField"_s, fields[3]); // editing the password until both agree
        QVERIFY(!find<QLabel>(&view, u"mismatchLabel"_s)->isVisible());
    }
}

void tst_Screens::routingAndErrorLine() {
    ContentView content(m_auth.get(), m_timer.get());
    content.show();
    QVERIFY(qobject_cast<LoginView*>(content.currentScreen()));
    m_f->server.on("POST", u"/auth/login"_s, FakeResponse::json(400, R"({"error":"Unknown account"})"));
    type(content.currentScreen(), u"emailField"_s, u"a"_s);
    type(content.currentScreen(), u"passwordField"_s, u"b"_s);
    QTest::mouseClick(find<PrimaryButton>(content.currentScreen(), u"primaryButton"_s), Qt::LeftButton);
    auto* error = find<QLabel>(content.currentScreen(), u"errorLabel"_s);
    QTRY_VERIFY(error->isVisible());
    QCOMPARE(error->text(), u"Unknown account"_s);
    QCOMPARE(error->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QVERIFY(find<PrimaryButton>(content.currentScreen(), u"primaryButton"_s)->isEnabled());

    QTest::mouseClick(find<QPushButton>(content.currentScreen(), u"switchButton"_s), Qt::LeftButton);
    QCOMPARE(content.screen(), ContentView::Screen::registration);
    QVERIFY(!find<QLabel>(content.currentScreen(), u"errorLabel"_s)->isVisible()); // cleared on appearance
    QTest::mouseClick(find<QPushButton>(content.currentScreen(), u"switchButton"_s), Qt::LeftButton);
    QCOMPARE(content.screen(), ContentView::Screen::login);
    QCOMPARE(find<QLineEdit>(content.currentScreen(), u"emailField"_s)->text(), QString()); // a fresh screen
    QTest::mouseClick(find<QPushButton>(content.currentScreen(), u"switchButton"_s), Qt::LeftButton);

    QCoro::waitFor(m_auth->registerAccount(u"A"_s, u"a@x.io"_s, u"secret"_s, std::nullopt, std::nullopt));
    QCOMPARE(content.screen(), ContentView::Screen::dashboard);
    auto* dashboard = qobject_cast<DashboardView*>(content.currentScreen());
    QVERIFY(dashboard);
    QTRY_VERIFY(dashboard->dashboardViewModel()->earnings().has_value());
    m_auth->logout();
    QCOMPARE(content.screen(), ContentView::Screen::registration); // the screen in use before signing in
}

void tst_Screens::timerPanelChoices() {
    TimerView panel(
        m_timer.get(), [] {}, [] {});
    panel.show(); // preselects the first active project
    auto* projectChooser = find<PullDownButton>(&panel, u"projectChooser"_s);
    auto* taskChooser = find<PullDownButton>(&panel, u"taskChooser"_s);
    auto* description = find<QLineEdit>(&panel, u"descriptionField"_s);
    auto* start = find<CircleButton>(&panel, u"startButton"_s);
    QCOMPARE(panel.selectedProjectId(), u"p1"_s);
    QCOMPARE(projectChooser->text(), u"Web"_s);
    QCOMPARE(projectChooser->dotColor(), QColor(0x10, 0xB9, 0x81));
    QTRY_COMPARE(m_timer->tasks().size(), 1);
    QVERIFY(m_f->server.requestLines().contains(u"GET /tasks?projectId=p1&isCompleted=false"_s));
    QVERIFY(taskChooser->isEnabled() && start->isEnabled() && !description->isEnabled());

    chooseFromMenu(projectChooser, u"No Project"_s);
    QVERIFY(!start->isEnabled() && !taskChooser->isEnabled() && !description->isEnabled());
    QCOMPARE(projectChooser->text(), u"Project"_s);
    QTRY_VERIFY(m_timer->tasks().isEmpty());
    QCOMPARE(projectChooser->menu()->actions().size(), 3); // "No Project" and the two active projects

    chooseFromMenu(projectChooser, u"App"_s);
    QTRY_COMPARE(m_timer->selectedProjectId(), u"p2"_s);
    QTRY_VERIFY(taskChooser->isEnabled());
    chooseFromMenu(taskChooser, u"Build"_s);
    QVERIFY(description->isEnabled());
    description->setText(u"  Spacing kept "_s);
    m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, timerAnswer(running)));
    // As a real server would, from now on the running entry is the current one.
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, answerWith("timeEntry", running)));
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_VERIFY(m_timer->isTimerRunning() && !m_timer->isLoading()); // stop stays disabled until then
    QCOMPARE(m_f->server.last("POST", u"/time-entries/start"_s).body,
             QByteArray(R"({"description":"  Spacing kept ","projectId":"p2","taskId":"t1"})"));

    m_f->server.on("POST", u"/time-entries/r1/stop"_s, FakeResponse::json(200, timerAnswer(stopped)));
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, R"({"timeEntry":null})"));
    QTest::mouseClick(find<CircleButton>(&panel, u"stopButton"_s), Qt::LeftButton);
    QTRY_VERIFY(!m_timer->isLoading() && !m_timer->isTimerRunning());
    QTRY_COMPARE(panel.selectedProjectId(), QString());
    QCOMPARE(description->text(), QString());
}

void tst_Screens::runningFace() {
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, answerWith("timeEntry", running)));
    QCoro::waitFor(m_timer->loadCurrentEntry());
    TimerView panel(
        m_timer.get(), [] {}, [] {});
    panel.show();
    QVERIFY(find<QWidget>(&panel, u"runningFace"_s)->isVisible());
    QVERIFY(!find<QWidget>(&panel, u"idleFace"_s)->isVisible());
    QCOMPARE(find<QLabel>(&panel, u"counter"_s)->text(), u"01:30"_s);
    QCOMPARE(find<QLabel>(&panel, u"runningEarnings"_s)->text(), u"$1.50"_s);

    QByteArray unrated = running;
    unrated.replace("\"hourlyRateSnapshot\":60", "\"hourlyRateSnapshot\":0");
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, answerWith("timeEntry", unrated)));
    QCoro::waitFor(m_timer->loadCurrentEntry());
    QVERIFY(!find<QLabel>(&panel, u"runningEarnings"_s)->isVisible());
}

void tst_Screens::earningsSection() {
    m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(500, {}, 300));
    DashboardView view(m_auth.get(), m_timer.get());
    auto* today = find<EarningsCard>(&view, u"todayCard"_s);
    QCOMPARE(today->earnings(), u"$0.00"_s);
    QCOMPARE(today->duration(), u"0h 0m"_s);
    view.show();
    QTRY_VERIFY(find<QWidget>(&view, u"loadingCards"_s)->isVisible());
    QTRY_VERIFY(find<QLabel>(&view, u"earningsError"_s)->isVisible());
    QCOMPARE(find<QLabel>(&view, u"earningsError"_s)->text(),
             u"Failed to load earnings: Server error - please try again later"_s);
    QVERIFY(!today->isVisible());

    m_f->server.on(
        "GET", u"/users/dashboard-earnings"_s,
        FakeResponse::json(
            200,
            R"({"earnings":{"currentTimer":{"earnings":0,"duration":0,"isRunning":false,"hourlyRate":0},"today":{"earnings":12.5,"duration":3900},"thisWeek":{"earnings":40,"duration":120}}})"));
    QCoro::waitFor(view.dashboardViewModel()->loadEarnings());
    QVERIFY(today->isVisible());
    QCOMPARE(today->earnings(), u"$12.50"_s);
    QCOMPARE(today->duration(), u"1h 5m"_s);
    QCOMPARE(find<EarningsCard>(&view, u"weekCard"_s)->duration(), u"2m"_s);
}

void tst_Screens::restartButtonsFollowTheTimer() {
    DashboardView view(m_auth.get(), m_timer.get());
    view.show();
    auto rows = view.findChildren<TimeEntryRow*>();
    QCOMPARE(rows.size(), 1);
    QVERIFY(rows[0]->findChild<QWidget*>(u"restartButton"_s)->isVisible());
    QCOMPARE(rows[0]->findChild<QLabel*>(u"entryDuration"_s)->text(), u"01:02"_s);

    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, answerWith("timeEntry", running)));
    m_f->server.on("GET", u"/time-entries"_s,
                   FakeResponse::json(200, answerWith("entries", "[" + running + "," + stopped + "]")));
    QCoro::waitFor(m_timer->refreshAllData());
    rows = view.findChildren<TimeEntryRow*>();
    QCOMPARE(rows.size(), 2);
    for (TimeEntryRow* row : rows) {
        QVERIFY(!row->findChild<QWidget*>(u"restartButton"_s)->isVisible());
        QCOMPARE(row->isBlinking(), row->entry().isRunning);
        QCOMPARE(row->findChild<QLabel*>(u"entryDuration"_s)->isVisible(), !row->entry().isRunning);
    }
}

QTEST_MAIN(tst_Screens)
#include "tst_screens.moc"

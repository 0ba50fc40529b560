#include "FakeServer.h"
#include "TestSupport.h"

#include "menubar/MenuBarManager.h"
#include "menubar/MenuBarView.h"
#include "menubar/PopoverWindow.h"
#include "records/Clock.h"
#include "state/AuthViewModel.h"
#include "state/TimerViewModel.h"
#include "ui/PillButton.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

const QDateTime now(QDate(2025, 3, 1), QTime(10, 1, 40), Qt::UTC);
const QByteArray running =
    R"({"id":"r1","startTime":"2025-03-01T10:00:00.000Z","isRunning":true,"hourlyRateSnapshot":36,"projectId":"p1","taskId":"t1","description":"Notes","project":{"id":"p1","name":"Web"},"task":{"id":"t1","name":"Build"}})";
const QByteArray stopped =
    R"({"id":"r1","startTime":"2025-03-01T10:00:00.000Z","isRunning":false,"duration":100,"hourlyRateSnapshot":36,"projectId":"p1","taskId":"t1","description":"Notes","project":{"id":"p1","name":"Web"},"task":{"id":"t1","name":"Build"}})";
const QByteArray earnings =
    R"({"earnings":{"currentTimer":{"earnings":0.5,"duration":100,"isRunning":true,"hourlyRate":36},"today":{"earnings":12.5,"duration":3900},"thisWeek":{"earnings":40,"duration":9000}}})";

QByteArray timer(const QByteArray& entry) {
    return R"({"message":"ok","timeEntry":)" + entry + "}";
}

QStringList menuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts.append(action->isSeparator() ? u"-"_s : action->text());
    }
    return texts;
}

QString text(QWidget* root, const QString& name) {
    return root->findChild<QLabel*>(name)->text();
}

bool shown(QWidget* root, const QString& name) {
    return root->findChild<QWidget*>(name)->isVisible();
}

} // namespace

class tst_MenuBar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void title_data();
    void title();
    void contextMenu();
    void startLatestAndStop();
    void showWindowCallback();
    void popoverToggles();
    void earningsLoadWhileOpen();
    void failedLoads();
    void liveAmountAndStopThenResume();
    void refreshReloadsEverythingThenEarnings();
    void signedOut();

private:
    void signIn();
    void run(const QByteArray& current);
    MenuBarManager* manager(std::function<void()> callback = {});

    std::unique_ptr<ClientFixture> m_f;
    std::unique_ptr<AuthViewModel> m_auth;
    std::unique_ptr<TimerViewModel> m_timer;
    std::unique_ptr<MenuBarManager> m_manager;
};

void tst_MenuBar::init() {
    Clock::setFixedNow(now);
    m_f = std::make_unique<ClientFixture>();
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, R"({"timeEntry":null})"));
    m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, R"({"entries":[]})"));
    m_f->server.on("GET", u"/projects"_s, FakeResponse::json(200, R"({"projects":[]})"));
    m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, earnings));
    m_auth = std::make_unique<AuthViewModel>(&m_f->client);
    m_timer = std::make_unique<TimerViewModel>(&m_f->client);
    QTRY_VERIFY(m_f->lines.lines().contains(u"✅ Data refresh completed"_s));
}

void tst_MenuBar::cleanup() {
    m_manager.reset();
    m_timer.reset();
    m_auth.reset();
    m_f.reset();
    Clock::setFixedNow(std::nullopt);
}

void tst_MenuBar::signIn() {
    m_f->server.on("POST", u"/auth/login"_s,
                   FakeResponse::json(200, R"({"user":{"id":"u","name":"A","email":"a@x.io"},"token":"t"})"));
    QCoro::waitFor(m_auth->login(u"a@x.io"_s, u"pw"_s));
}

void tst_MenuBar::run(const QByteArray& current) {
    m_f->server.on("GET", u"/time-entries/current"_s, FakeResponse::json(200, "{\"timeEntry\":" + current + "}"));
    QCoro::waitFor(m_timer->loadCurrentEntry());
}

MenuBarManager* tst_MenuBar::manager(std::function<void()> callback) {
    m_manager = std::make_unique<MenuBarManager>(m_timer.get(), m_auth.get(), std::move(callback));
    m_manager->setupMenuBar();
    return m_manager.get();
}

void tst_MenuBar::title_data() {
    QTest::addColumn<QString>("start"); // empty: nothing runs
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontSize");
    QTest::newRow("idle") << QString() << u"play.fill"_s << u" 00:00:00"_s << 12;
    QTest::newRow("5 min 7 s") << u"2025-03-01T09:56:33Z"_s << u"stop.fill"_s << u" 05:07"_s << 11;
    QTest::newRow("one hour") << u"2025-03-01T09:01:40Z"_s << u"stop.fill"_s << u" 01:00:00"_s << 11;
}

void tst_MenuBar::title() {
    QFETCH(QString, start);
    QFETCH(QString, symbol);
    QFETCH(QString, text);
    QFETCH(int, fontSize);
    MenuBarManager* bar = manager();
    if (!start.isEmpty()) {
        run(QByteArray(running).replace("2025-03-01T10:00:00.000Z", start.toUtf8()));
    }
    QCOMPARE(bar->title(), (MenuBarManager::Title{symbol, text, fontSize}));
    // The item follows within its one-second refresh; the count ticks on meanwhile, so only the
    // last digit may differ.
    QTRY_VERIFY_WITH_TIMEOUT(bar->statusItem()->toolTip().startsWith(text.chopped(1)), 1500);
}

void tst_MenuBar::contextMenu() {
    MenuBarManager* bar = manager();
    Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Context);
    QCOMPARE(menuTexts(bar->contextMenu()), (QStringList{u"Start Latest Timer"_s, u"-"_s, u"Show Window"_s, u"Quit"_s}));
    QCOMPARE(bar->contextMenu()->actions().last()->shortcut(), QKeySequence(u"Ctrl+Q"_s));
    bar->contextMenu()->close();
    run(running);
    Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Context);
    QCOMPARE(menuTexts(bar->contextMenu()).first(), u"Stop Timer"_s);
    QVERIFY(!bar->popover()->isVisible());
}

void tst_MenuBar::startLatestAndStop() {
    MenuBarManager* bar = manager();
    m_f->server.clearRequests();
    bar->startLatestTimerAction();
    QTest::qWait(50);
    QVERIFY(m_f->server.requests().isEmpty()); // nothing to restart

    m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, "{\"entries\":[" + stopped + "]}"));
    QCoro::waitFor(m_timer->loadRecentEntries());
    m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, timer(running)));
    bar->startLatestTimerAction();
    QTRY_VERIFY(m_timer->isTimerRunning());
    QCOMPARE(m_f->server.last("POST", u"/time-entries/start"_s).body,
             QByteArray(R"({"description":"Notes","projectId":"p1","taskId":"t1"})"));

    m_f->server.on("POST", u"/time-entries/r1/stop"_s, FakeResponse::json(200, timer(stopped)));
    Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Context);
    bar->contextMenu()->actions().first()->trigger();
    QTRY_VERIFY(!m_timer->isTimerRunning());
}

void tst_MenuBar::showWindowCallback() {
    int calls = 0;
    manager([&] { ++calls; })->showMainWindow();
    QCOMPARE(calls, 1);
    manager()->showMainWindow(); // no callback: nothing happens
    QCOMPARE(calls, 1);
}

void tst_MenuBar::popoverToggles() {
    MenuBarManager* bar = manager();
    QCOMPARE(bar->popover()->size(), QSize(300, 400));
    Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(bar->popover()->isVisible());
    Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(!bar->popover()->isVisible());
    QTest::qWait(350);
    Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Context);
    bar->contextMenu()->close();
    QTRY_VERIFY(!bar->contextMenu()); // gone once closed
    Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(bar->popover()->isVisible());

    const QRect screen(0, 0, 1280, 800);
    QCOMPARE(PopoverWindow::placement(QRect(600, 0, 24, 24), {}, screen), QPoint(461, 24));    // centred below
    QCOMPARE(PopoverWindow::placement(QRect(1270, 0, 24, 24), {}, screen), QPoint(980, 24));   // kept on screen
    QCOMPARE(PopoverWindow::placement(QRect(600, 776, 24, 24), {}, screen), QPoint(461, 376)); // above a bottom tray
    QCOMPARE(PopoverWindow::placement(QRect(), QPoint(100, 100), screen), QPoint(0, 101));
}

void tst_MenuBar::earningsLoadWhileOpen() {
    signIn();
    m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, earnings, 200));
    MenuBarView* view = manager()->panel();
    m_f->server.clearRequests();
    manager()->togglePopover();
    view = m_manager->panel();
    QTRY_VERIFY(view->isLoadingEarnings());
    QVERIFY(shown(view, u"earningsLoading"_s));
    QVERIFY(view->isRefreshingPeriodically());
    QTRY_VERIFY(shown(view, u"earningsFigures"_s));
    QCOMPARE(text(view, u"todayAmount"_s), u"$12.50"_s);
    QCOMPARE(text(view, u"weekAmount"_s), u"$40.00"_s);
    QVERIFY(!shown(view, u"currentTimerAmount"_s)); // nothing runs
    QCOMPARE(m_f->server.requestLines().filter(u"dashboard-earnings"_s),
             QStringList{u"GET /users/dashboard-earnings?timezone="_s + QString::fromUtf8(QTimeZone::systemTimeZoneId())});
    m_manager->popover()->close();
    QVERIFY(!view->isRefreshingPeriodically());
}

void tst_MenuBar::failedLoads() {
    signIn();
    m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(500, {}));
    MenuBarView* view = manager()->panel();
    m_manager->togglePopover();
    QTRY_VERIFY(m_f->lines.lines().contains(u"Error loading earnings: serverError"_s));
    QVERIFY(shown(view, u"earningsUnavailable"_s));
    m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, earnings));
    QCoro::waitFor(view->loadPanelEarnings());
    m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(500, {}));
    QCoro::waitFor(view->loadPanelEarnings());
    QVERIFY(shown(view, u"earningsFigures"_s));
    QCOMPARE(text(view, u"todayAmount"_s), u"$12.50"_s);
}

void tst_MenuBar::liveAmountAndStopThenResume() {
    signIn();
    run(running);
    MenuBarView* view = manager()->panel();
    m_manager->togglePopover();
    QTRY_VERIFY(shown(view, u"earningsFigures"_s));
    // Set the count exactly (the one-second tick may have run meanwhile): 100 s, then 101 s.
    m_timer->updateElapsedTime(u"2025-03-01T10:00:00.000Z"_s);
    QCOMPARE(text(view, u"entryElapsed"_s), u"01:40"_s);
    QCOMPARE(text(view, u"currentTimerAmount"_s), u"$1.00"_s);
    Clock::setFixedNow(now.addSecs(1));
    m_timer->updateElapsedTime(u"2025-03-01T10:00:00.000Z"_s);
    QCOMPARE(text(view, u"currentTimerAmount"_s), u"$1.01"_s);
    QCOMPARE(text(view, u"entryRate"_s), u"$36.00/hr"_s);
    QCOMPARE(text(view, u"headerText"_s), u"Timer Running"_s);

    m_f->server.on("POST", u"/time-entries/r1/stop"_s, FakeResponse::json(200, timer(stopped)));
    auto* button = view->findChild<PillButton*>(u"stopResumeButton"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(button->text(), u"Resume"_s);
    QCOMPARE(text(view, u"headerText"_s), u"Timer Stopped"_s);
    QVERIFY(shown(view, u"entryBox"_s));
    m_f->server.clearRequests();
    m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, timer(QByteArray(running).replace("r1", "r2"))));
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_VERIFY(m_timer->isTimerRunning());
    QCOMPARE(m_f->server.last("POST", u"/time-entries/start"_s).body,
             QByteArray(R"({"description":"Notes","projectId":"p1","taskId":"t1"})"));
    QTRY_VERIFY(m_f->server.requestLines().last().startsWith(u"GET /users/dashboard-earnings"_s));
}

void tst_MenuBar::refreshReloadsEverythingThenEarnings() {
    signIn();
    MenuBarView* view = manager()->panel();
    m_manager->togglePopover();
    QTRY_VERIFY(!view->isLoadingEarnings());
    m_f->server.clearRequests();
    QTest::mouseClick(view->findChild<QPushButton*>(u"refreshButton"_s), Qt::LeftButton);
    // The refresh reloads the timer data in order, and the earnings only after all of it.
    const auto inOrder = [this] {
        const QStringList lines = m_f->server.requestLines();
        const qsizetype entries = lines.indexOf(u"GET /time-entries?limit=10"_s);
        const qsizetype projects = lines.indexOf(u"GET /projects"_s);
        const qsizetype earnings = lines.lastIndexOf(QRegularExpression(u"GET /users/dashboard-earnings.*"_s));
        return entries > 0 && projects > entries && earnings > projects;
    };
    QTRY_VERIFY2(inOrder(), qPrintable(m_f->server.requestLines().join(u", "_s)));
}

void tst_MenuBar::signedOut() {
    int calls = 0;
    MenuBarView* view = manager([&] { ++calls; })->panel();
    m_manager->togglePopover();
    QVERIFY(shown(view, u"signedOut"_s));
    QVERIFY(!shown(view, u"signedIn"_s));
    QCOMPARE(text(view, u"pleaseLogIn"_s), u"Please log in to Kelvo"_s);
    QTest::mouseClick(view->findChild<QPushButton*>(u"openMainWindowButton"_s), Qt::LeftButton);
    QCOMPARE(calls, 1);
    QTRY_VERIFY(m_f->server.requestLines().join(u' ').contains(u"dashboard-earnings"_s)); // loaded even while signed out
}

QTEST_MAIN(tst_MenuBar)
#include "tst_menubar.moc"

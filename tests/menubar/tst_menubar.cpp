#include "Json.h"
#include "TestSupport.h"
#include "Widgets.h"

#include "menubar/MenuBarManager.h"
#include "menubar/MenuBarView.h"
#include "menubar/PanelIcon.h"
#include "menubar/PanelPresence.h"
#include "menubar/PopoverWindow.h"
#include "ui/BorderedButton.h"
#include "ui/PillButton.h"

#include <QApplication>
#include <QBuffer>
#include <QFontDatabase>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

const QByteArray running = json::ratedEntry("r1", true);
const QByteArray stopped = json::ratedEntry("r1", false);

// The status item's context menu (an open one first), or none once it is gone.
QMenu* itemMenu() {
    QMenu* found = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == u"statusItemMenu" && (!found || window->isVisible())) {
            found = qobject_cast<QMenu*>(window);
        }
    }
    return found;
}

QStringList menuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts.append(action->isSeparator() ? u"-"_s : action->text());
    }
    return texts;
}

// Where `name` lies inside the panel.
QRect placeOf(QWidget* panel, const QString& name) {
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    auto* widget = panel->findChild<QWidget*>(name);
    return {widget->mapTo(panel, QPoint()), widget->size()};
}

// What tesseract reads in `icon` (digits and the hour mark only), drawn about 100 px large with
// its light strokes dark on a light page.
QString readBack(const QImage& icon) {
    const QImage large = icon.scaled(icon.size() * (110 / icon.width()), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage page(large.size() + QSize(80, 80), QImage::Format_Grayscale8);
    page.fill(Qt::white);
    for (int y = 0; y < large.height(); ++y) {
        for (int x = 0; x < large.width(); ++x) { // by the lowest channel: the red rim fades
            const QColor c = large.pixelColor(x, y);
            const int light = std::min({c.red(), c.green(), c.blue()}) * c.alpha() / 255;
            page.setPixelColor(x + 40, y + 40, QColor(255 - light, 255 - light, 255 - light));
        }
    }
    QBuffer png;
    page.save(&png, "PNG");
    QProcess ocr;
    ocr.start(u"tesseract"_s, {u"stdin"_s, u"stdout"_s, u"--psm"_s, u"6"_s, u"-c"_s, u"tessedit_char_whitelist=0123456789h"_s});
    ocr.write(png.data());
    ocr.closeWriteChannel();
    ocr.waitForFinished(60000);
    return QString::fromUtf8(ocr.readAllStandardOutput()).simplified();
}

// start: empty: nothing runs
struct TitleRow { QString start, symbol, text; int fontSize; };

} // namespace

class tst_MenuBar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        m_f = std::make_unique<ViewFixture>();
        m_f->clock.set(QDateTime(QDate(2025, 3, 1), QTime(10, 1, 40), Qt::UTC));
        m_f->serveNothingRunning();
        QTRY_VERIFY(m_f->lines.lines().contains(u"✅ Data refresh completed"_s));
    }
    void cleanup() {
        m_manager.reset();
        m_f.reset();
    }
    void title_data() {
        QTest::addColumn<TitleRow>("row");
        QTest::newRow("idle") << TitleRow{QString(), u"play.fill"_s, u" 00:00:00"_s, 12};
        QTest::newRow("5 min 7 s") << TitleRow{u"2025-03-01T09:56:33Z"_s, u"stop.fill"_s, u" 05:07"_s, 11};
        QTest::newRow("one hour") << TitleRow{u"2025-03-01T09:01:40Z"_s, u"stop.fill"_s, u" 01:00:00"_s, 11};
    }
    void title() {
        QFETCH(TitleRow, row);
        auto [start, symbol, text, fontSize] = row;
        MenuBarManager* bar = manager();
        if (!start.isEmpty()) {
            m_f->showCurrent(json::entry("r1", true, start.toUtf8()));
        }
        QCOMPARE(bar->title(), (MenuBarManager::Title{symbol, text, fontSize}));
        // The item follows within its one-second refresh; the count ticks on meanwhile, so only the
        // last digit may differ.
        QTRY_VERIFY_WITH_TIMEOUT(bar->statusItem()->toolTip().startsWith(text.chopped(1)), 5000);
    }
    void iconDigitsReadBack_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("digits"); // lines apart
        QTest::newRow("minutes") << qint64(7 * 60 + 59) << u"07"_s;
        QTest::newRow("the last minute of an hour") << qint64(59 * 60) << u"59"_s;
        QTest::newRow("one hour") << qint64(3600) << u"1h 00"_s;
        QTest::newRow("a long day") << qint64(12 * 3600 + 48 * 60) << u"12h 48"_s;
        QTest::newRow("hundreds of hours") << qint64(386 * 3600 + 27 * 60) << u"386h 27"_s;
    }
    // The digits read back exactly at the sizes panels draw, in the face the icon pins.
    void iconDigitsReadBack() {
        QFETCH(qint64, seconds);
        QFETCH(QString, digits);
        QVERIFY(QFontDatabase::families().contains(u"DejaVu Sans"_s));
        const PanelIcon icon(u"stop.fill"_s, PanelIcon::digitsOf(seconds), true);
        for (int size : {22, 24, 32, 48}) {
            QCOMPARE(readBack(icon.image(size)), digits);
        }
        QVERIFY(PanelIcon::digitsOf(1000 * 3600).isEmpty() && PanelIcon::digitsOf(-60).isEmpty()); // beyond, the plain symbol
    }
    void startLatestAndStop() {
        MenuBarManager* bar = manager();
        bar->startLatestTimerAction();
        QCoreApplication::processEvents(); // the scheduled action has run
        QVERIFY(!m_f->timer.isLoading());  // nothing to restart
        Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Context);
        // The four items of the status item's menu first, then the panel's own.
        QCOMPARE(menuTexts(itemMenu()), (QStringList{u"Start Latest Timer"_s, u"-"_s, u"Show Window"_s, u"Quit"_s, u"-"_s,
                                                     u"Open Panel"_s, u"Panel Text"_s}));
        QCOMPARE(itemMenu()->actions().at(3)->shortcut(), QKeySequence(u"Ctrl+Q"_s));
        QVERIFY(!bar->presence()->exportsItem()); // no session bus here: the tray icon alone
        itemMenu()->close();

        m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries({stopped})));
        QCoro::waitFor(m_f->timer.loadRecentEntries());
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, json::timer(running)));
        bar->startLatestTimerAction();
        QTRY_VERIFY(m_f->timer.isTimerRunning());
        QCOMPARE(m_f->server.last("POST", u"/time-entries/start"_s).body,
                 QByteArray(R"({"description":"Notes","projectId":"p1","taskId":"t1"})"));

        m_f->server.on("POST", u"/time-entries/r1/stop"_s, FakeResponse::json(200, json::timer(stopped)));
        Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Context);
        QCOMPARE(menuTexts(itemMenu()).first(), u"Stop Timer"_s);
        QVERIFY(!bar->popover()->isVisible());
        itemMenu()->actions().first()->trigger();
        QTRY_VERIFY(!m_f->timer.isTimerRunning());
    }
    void popoverToggles() {
        MenuBarManager* bar = manager();
        Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(bar->popover()->isVisible());
        Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!bar->popover()->isVisible());
        Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Trigger); // the click that closed it, as the item reports it
        QVERIFY(!bar->popover()->isVisible());
        Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Context);
        itemMenu()->close();
        QTRY_VERIFY(!itemMenu()); // gone once closed
        // A later click opens it again.
        QVERIFY(QTest::qWaitFor([bar] {
            Q_EMIT bar->statusItem()->activated(QSystemTrayIcon::Trigger);
            return bar->popover()->isVisible();
        }));

        const QRect screen(0, 0, 1280, 800);
        QCOMPARE(PopoverWindow::placement(QRect(600, 0, 24, 24), {}, screen), QPoint(461, 24));    // centred below
        QCOMPARE(PopoverWindow::placement(QRect(1270, 0, 24, 24), {}, screen), QPoint(980, 24));   // kept on screen
        QCOMPARE(PopoverWindow::placement(QRect(600, 776, 24, 24), {}, screen), QPoint(461, 376)); // above a bottom tray
        QCOMPARE(PopoverWindow::placement(QRect(), QPoint(100, 100), screen), QPoint(0, 101));
    }
    void earningsLoadWhileOpen() {
        m_f->signIn();
        m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::heldBack(200, json::earnings()));
        MenuBarView* view = manager()->popover()->view();
        m_f->server.clearRequests();
        m_manager->togglePopover();
        QTRY_VERIFY(view->isLoadingEarnings());
        QVERIFY(shown(view, u"earningsLoading"_s));
        QVERIFY(view->isRefreshingPeriodically());
        QTRY_COMPARE(m_f->server.heldCount(), 1);
        m_f->server.release();
        QTRY_VERIFY(shown(view, u"earningsFigures"_s));
        QCOMPARE(text(view, u"todayAmount"_s), u"$12.50"_s);
        QCOMPARE(text(view, u"weekAmount"_s), u"$40.00"_s);
        QVERIFY(!shown(view, u"currentTimerAmount"_s)); // nothing runs
        QCOMPARE(m_f->server.requestLines().filter(u"dashboard-earnings"_s),
                 QStringList{u"GET /users/dashboard-earnings?timezone="_s + QString::fromUtf8(QTimeZone::systemTimeZoneId())});

        // A reload shows "Loading..." in the height of the figures: nothing below moves. It fails:
        // the figures stay.
        const QRect actions = placeOf(view, u"refreshButton"_s);
        m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::heldBack(500, {}));
        auto reload = panelEarnings()->loadEarnings();
        QVERIFY(shown(view, u"earningsLoading"_s));
        QCOMPARE(placeOf(view, u"refreshButton"_s), actions);
        QTRY_COMPARE(m_f->server.heldCount(), 1);
        m_f->server.release();
        QCoro::waitFor(reload);
        QVERIFY(shown(view, u"earningsFigures"_s));
        QCOMPARE(text(view, u"todayAmount"_s), u"$12.50"_s);
        m_manager->popover()->close();
        QVERIFY(!view->isRefreshingPeriodically());
    }
    void liveAmountAndStopThenResume() {
        m_f->signIn();
        m_f->showCurrent(running);
        MenuBarView* view = manager()->popover()->view();
        m_manager->togglePopover();
        QTRY_VERIFY(shown(view, u"earningsFigures"_s));
        // Set the count exactly (the one-second tick may have run meanwhile): 100 s, then 101 s.
        m_f->timer.updateElapsedTime(u"2025-03-01T10:00:00.000Z"_s);
        QCOMPARE(text(view, u"entryElapsed"_s), u"01:40"_s);
        QCOMPARE(text(view, u"currentTimerAmount"_s), u"$1.00"_s);
        m_f->clock.advance(1);
        m_f->timer.updateElapsedTime(u"2025-03-01T10:00:00.000Z"_s);
        QCOMPARE(text(view, u"currentTimerAmount"_s), u"$1.01"_s);
        QCOMPARE(text(view, u"entryRate"_s), u"$36.00/hr"_s);
        QCOMPARE(text(view, u"headerText"_s), u"Timer Running"_s);

        m_f->server.on("POST", u"/time-entries/r1/stop"_s, FakeResponse::json(200, json::timer(stopped)));
        auto* button = view->findChild<PillButton*>(u"stopResumeButton"_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(button->text(), u"Resume"_s);
        QTRY_VERIFY(!m_f->timer.isLoading()); // one timer action at a time: the stop has finished
        QCOMPARE(text(view, u"headerText"_s), u"Timer Stopped"_s);
        QVERIFY(shown(view, u"entryBox"_s));
        m_f->server.clearRequests();
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, json::timer(json::ratedEntry("r2", true))));
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(m_f->timer.isTimerRunning());
        QCOMPARE(m_f->server.last("POST", u"/time-entries/start"_s).body,
                 QByteArray(R"({"description":"Notes","projectId":"p1","taskId":"t1"})"));
        QTRY_VERIFY(m_f->server.requestLines().last().startsWith(u"GET /users/dashboard-earnings"_s));
    }
    void refreshReloadsEverythingThenEarnings() {
        m_f->signIn();
        MenuBarView* view = manager()->popover()->view();
        m_manager->togglePopover();
        QTRY_VERIFY(!view->isLoadingEarnings());
        m_f->server.clearRequests();
        QTest::mouseClick(view->findChild<BorderedButton*>(u"refreshButton"_s), Qt::LeftButton);
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
    void looksFinishedWithAnyContent_data() {
        QTest::addColumn<QByteArray>("current");
        QTest::addColumn<QByteArray>("earnings");
        const QByteArray longNames =
            R"(,"hourlyRateSnapshot":1250,"projectId":"p","project":{"id":"p","name":"Quarterly infrastructure migration for the EMEA region"},)"
            R"("task":{"id":"t","name":"Database replication and failover rehearsal"},"description":"Walk through every step of the runbook with the on-call team and write down what broke")";
        // (A short running entry: tst_accessibility checks that layout at every text scale.)
        QTest::newRow("long names, big amounts, 100 hours")
            << json::entry("r1", true, "2025-02-25T06:01:40.000Z", longNames) << json::earnings(12345.67, 360000, 98765.43, 999999);
        QTest::newRow("stopped, no task or rate") << json::entry("r1", false) << json::earnings();
    }
    void looksFinishedWithAnyContent() {
        QFETCH(QByteArray, current);
        QFETCH(QByteArray, earnings);
        m_f->signIn();
        m_f->showCurrent(current);
        m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, earnings));
        MenuBarView* view = manager()->popover()->view();
        m_manager->togglePopover();
        QTRY_VERIFY(shown(view, u"earningsFigures"_s));
        QCOMPARE(layoutFaults(view), QStringList());
        // The content is centred in the frame.
        const QRect header = placeOf(view, u"statusHeader"_s);
        const QRect actions = placeOf(view, u"refreshButton"_s);
        const int below = view->height() - (actions.bottom() + 1 + 12); // the section's bottom margin
        QVERIFY2(qAbs(header.top() - below) <= 2, qPrintable(u"%1 above, %2 below"_s.arg(header.top()).arg(below)));
        // The time and the rate sit together on the right; the quick actions are equally wide.
        if (shown(view, u"entryRate"_s)) {
            QVERIFY(placeOf(view, u"entryRate"_s).top() - placeOf(view, u"entryElapsed"_s).bottom() <= 4);
        }
        QCOMPARE(placeOf(view, u"mainWindowButton"_s).width(), actions.width());
        // Its edge shows on a dark desktop.
        const QImage picture = view->grab().toImage();
        QVERIFY(picture.pixelColor(150, 0).lightness() > picture.pixelColor(150, 1).lightness());
    }
    void signedOut() {
        m_f->signIn();
        manager();
        QCoro::waitFor(panelEarnings()->loadEarnings());
        QVERIFY(panelEarnings()->earnings());
        m_f->auth.logout(); // nothing of the account's figures stays for the next one
        QVERIFY(!panelEarnings()->earnings());
        int calls = 0;
        MenuBarView* view = manager([&] { ++calls; })->popover()->view();
        m_manager->togglePopover();
        QVERIFY(shown(view, u"signedOut"_s));
        QVERIFY(!shown(view, u"signedIn"_s));
        QCOMPARE(text(view, u"pleaseLogIn"_s), u"Please log in to Kelvo"_s);
        QTest::mouseClick(view->findChild<PillButton*>(u"openMainWindowButton"_s), Qt::LeftButton);
        QCOMPARE(calls, 1);
        QTRY_VERIFY(m_f->server.requestLines().join(u' ').contains(u"dashboard-earnings"_s)); // loaded even while signed out
    }

private:
    MenuBarManager* manager(std::function<void()> callback = {}) {
        m_manager = std::make_unique<MenuBarManager>(&m_f->timer, &m_f->auth, std::move(callback), &m_f->preferences,
                                                         m_f->earnings(DashboardViewModel::ShownBy::popover));
        m_manager->setupMenuBar();
        return m_manager.get();
    }
    DashboardViewModel* panelEarnings() const { return m_manager->findChild<DashboardViewModel*>(); }

    std::unique_ptr<ViewFixture> m_f;
    std::unique_ptr<MenuBarManager> m_manager;
};

QTEST_MAIN(tst_MenuBar)
#include "tst_menubar.moc"

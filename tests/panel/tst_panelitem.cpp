// Kelvo's own panel item on a private session bus (dbus-run-session), with a fake watcher and
// host in this process. Every call from the host side is asynchronous: the item answers from this
// same thread.
#include "FakeWatcher.h"
#include "Json.h"
#include "TestSupport.h"

#include "app/KelvoApp.h"
#include "app/MainWindow.h"
#include "menubar/MenuBarManager.h"
#include "menubar/PanelIcon.h"
#include "menubar/PanelPresence.h"
#include "menubar/PopoverWindow.h"
#include "panel/DBusTypes.h"
#include "panel/StatusNotifierItem.h"

#include <QDBusPendingCall>
#include <QDir>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <numeric>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

const QString itemPath = u"/StatusNotifierItem"_s;
const QString itemInterface = u"org.kde.StatusNotifierItem"_s;
const QString menuInterface = u"com.canonical.dbusmenu"_s;
const QByteArray running = json::entry("r1", true, "2025-03-01T09:55:55.000Z");

QDBusConnection host() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-host"_s);
}

// The item's answer to a call from the panel's side.
QDBusMessage call(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(), path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = host().asyncCall(message);
    if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 10000)) {
        qWarning("no answer from the item");
    }
    return pending.reply();
}

QVariant itemProperty(const QString& name) {
    const QDBusMessage reply = call(itemPath, u"org.freedesktop.DBus.Properties"_s, u"Get"_s, {itemInterface, name});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

DBusMenuLayoutItem menuLayout() {
    const QDBusMessage reply = call(u"/MenuBar"_s, menuInterface, u"GetLayout"_s, {0, -1, QStringList()});
    return qdbus_cast<DBusMenuLayoutItem>(reply.arguments().value(1));
}

QList<DBusMenuLayoutItem> childrenOf(const DBusMenuLayoutItem& item) {
    QList<DBusMenuLayoutItem> children;
    for (const QVariant& child : item.children) {
        children.append(qdbus_cast<DBusMenuLayoutItem>(child.value<QDBusArgument>()));
    }
    return children;
}

// The menu as the panel sees it: labels ("-" for a separator), "!" before a disabled one.
QStringList menuLabels() {
    QStringList labels;
    for (const DBusMenuLayoutItem& item : childrenOf(menuLayout())) {
        const bool separator = item.properties.value(u"type"_s) == u"separator"_s;
        labels.append(separator ? u"-"_s
                                : (item.properties.value(u"enabled"_s).toBool() ? u""_s : u"!"_s) +
                                      item.properties.value(u"label"_s).toString());
    }
    return labels;
}

// The id of the item labelled `label`, in the menu or a submenu of it; -1 when there is none.
int menuId(const QString& label, const DBusMenuLayoutItem& in = menuLayout()) {
    for (const DBusMenuLayoutItem& item : childrenOf(in)) {
        if (item.properties.value(u"label"_s) == label) {
            return item.id;
        }
        if (const int inner = menuId(label, item); inner >= 0) {
            return inner;
        }
    }
    return -1;
}

QDBusMessage click(int id) {
    return call(u"/MenuBar"_s, menuInterface, u"Event"_s, {id, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
}

// Records what the item and its menu announce to panels.
class Announcements : public QObject {
    Q_OBJECT
public:
    Announcements() {
        const QString service = QDBusConnection::sessionBus().baseService();
        host().connect(service, itemPath, itemInterface, u"XAyatanaNewLabel"_s, this, SLOT(label(QString, QString)));
        host().connect(service, u"/MenuBar"_s, menuInterface, u"LayoutUpdated"_s, this, SLOT(layout(uint, int)));
        host().connect(service, itemPath, itemInterface, u"NewIcon"_s, this, SLOT(icon()));
        host().connect(service, u"/MenuBar"_s, menuInterface, u"ItemsPropertiesUpdated"_s, this,
                       SLOT(properties(QDBusMessage)));
    }
    QStringList labels;
    int layouts = 0;
    int icons = 0;
    QMap<int, QVariantMap> updated; // the properties announced per item, the latest last

public Q_SLOTS:
    void label(const QString& text, const QString&) { labels.append(text); }
    void layout(uint, int) { ++layouts; }
    void icon() { ++icons; }
    void properties(const QDBusMessage& message) {
        for (const DBusMenuItem& item : qdbus_cast<DBusMenuItemList>(message.arguments().value(0))) {
            updated[item.id].insert(item.properties);
        }
    }
};

// step: seconds the clock moves between two counts
// expected: the labels sent, in order
struct OneLabelPerShownChangeRow { MenuBarManager::PanelText mode; qint64 step; QStringList expected; };

} // namespace

class tst_PanelItem : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
        m_f = std::make_unique<ViewFixture>();
        m_f->serveNothingRunning();
        m_f->signIn(); // the timer items act for someone
        m_watcher = std::make_unique<FakeWatcher>();
        QVERIFY(m_watcher->appear());
    }
    void cleanup() {
        m_manager.reset();
        m_watcher.reset();
        m_f.reset();
    }
    void registersWithTheWatcherAndShowsItsValues() {
        manager();
        QTRY_COMPARE(m_watcher->items(), QStringList{QDBusConnection::sessionBus().baseService()});
        QTRY_VERIFY(manager().hasVisibleItem());
        QVERIFY(!manager().statusItem()); // no second, label-less item
        QCOMPARE(itemProperty(u"Id"_s).toString(), u"kelvo"_s);
        QCOMPARE(itemProperty(u"Status"_s).toString(), u"Active"_s);
        QCOMPARE(itemProperty(u"ItemIsMenu"_s), QVariant(false));
        QCOMPARE(itemProperty(u"Menu"_s).value<QDBusObjectPath>().path(), u"/MenuBar"_s);
        QCOMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), u"00:00:00"_s);
        QCOMPARE(itemProperty(u"XAyatanaLabelGuide"_s).toString(), u"88:88:88"_s);
        const auto toolTip = qdbus_cast<SniToolTip>(itemProperty(u"ToolTip"_s).value<QDBusArgument>());
        QCOMPARE(toolTip.title + u' ' + toolTip.text, u"Kelvo 00:00:00"_s);
        QCOMPARE(qdbus_cast<SniIconPixmapList>(itemProperty(u"IconPixmap"_s).value<QDBusArgument>()).size(), 8);
        const QString iconFile = itemProperty(u"IconName"_s).toString(); // for panels that ignore pixmaps
        QVERIFY2(iconFile.startsWith(m_runtime.path()) && QImage(iconFile).size() == QSize(48, 48), qPrintable(iconFile));
    }
    void oneLabelPerShownChange_data() {
        QTest::addColumn<OneLabelPerShownChangeRow>("row");
        QTest::newRow("elapsed") << OneLabelPerShownChangeRow{MenuBarManager::PanelText::elapsed, qint64(1), QStringList{u"05:11"_s, u"05:12"_s, u"05:13"_s}};
        QTest::newRow("minutes") << OneLabelPerShownChangeRow{MenuBarManager::PanelText::minutes, qint64(60), QStringList{u"0:06"_s, u"0:07"_s, u"0:08"_s}};
        QTest::newRow("off") << OneLabelPerShownChangeRow{MenuBarManager::PanelText::off, qint64(60), QStringList()};
    }
    void oneLabelPerShownChange() {
        QFETCH(OneLabelPerShownChangeRow, row);
        auto [mode, step, expected] = row;
        manager().setPanelText(mode);
        m_f->showCurrent(running); // 5 min 10 s by the test clock
        Announcements sent;
        for (int i = 0; i < 3; ++i) {
            m_f->clock.advance(step);
            m_f->timer.updateElapsedTime(m_f->timer.currentEntry()->startTime);
            // The same text again (the count's own tick, or a resynchronisation) sends nothing.
            m_f->timer.updateElapsedTime(m_f->timer.currentEntry()->startTime);
        }
        QTRY_COMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), expected.value(2));
        if (mode != MenuBarManager::PanelText::elapsed) { // the count's own ticks add seconds there
            QCOMPARE(sent.labels, expected);
        } else {
            QVERIFY(sent.labels.mid(sent.labels.indexOf(expected.first())).startsWith(expected.first()));
            for (qsizetype i = 1; i < sent.labels.size(); ++i) {
                QVERIFY(sent.labels[i] != sent.labels[i - 1]);
            }
        }
        QCOMPARE(sent.layouts, 0); // nor a new menu
    }
    // Redrawn once a minute, never written to a file, and no label beside it.
    void digitsInTheIcon() {
        QVERIFY(m_f->preferences.setPanelText(MenuBarManager::PanelText::icon).has_value());
        const QStringList files = QDir(m_runtime.path()).entryList(QDir::Files);
        manager();
        m_f->showCurrent(running); // 5 min 10 s
        QTRY_COMPARE(manager().panelIcon().digits(), QStringList{u"05"_s});
        Announcements sent;
        for (const qint64 step : {1, 1, 48, 1}) { // 5:11, 5:12, 6:00, 6:01
            m_f->clock.advance(step);
            m_f->timer.updateElapsedTime(m_f->timer.currentEntry()->startTime);
        }
        QTRY_COMPARE(sent.icons, 1);
        QCOMPARE(manager().panelIcon().digits(), QStringList{u"06"_s});
        QCOMPARE(itemProperty(u"IconName"_s).toString(), QString());
        QCOMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), QString());
        QCOMPARE(QDir(m_runtime.path()).entryList(QDir::Files), files);
        m_f->timer.forgetAccount(); // signed out: the plain symbol
        QTRY_COMPARE(sent.icons, 2);
    }
    void panelTextFollowsTheDesktop() {
        using enum MenuBarManager::PanelText;
        for (const auto& [desktops, expected] : {std::pair{u"ubuntu:GNOME"_s, elapsed}, {u"KDE"_s, icon}, {u"X-Cinnamon"_s, icon}, {u""_s, elapsed}}) {
            QCOMPARE(Preferences::defaultPanelText(desktops), expected);
        }
        qputenv("XDG_CURRENT_DESKTOP", "XFCE"); // read at start, where the file holds no choice
        QCOMPARE(Preferences().panelText(), icon);
    }
    void activationAndMiddleClick() {
        manager();
        QVERIFY(call(itemPath, itemInterface, u"Activate"_s, {0, 0}).type() == QDBusMessage::ReplyMessage);
        QVERIFY(manager().popover()->isVisible());
        call(itemPath, itemInterface, u"Activate"_s, {600, 780});
        QVERIFY(!manager().popover()->isVisible());
        call(itemPath, itemInterface, u"Scroll"_s, {3, u"vertical"_s});
        QVERIFY(!manager().popover()->isVisible());
        // `kelvo panel`: at the pointer, with no tray icon to place it by (once the click that
        // closed it is past).
        QVERIFY(QTest::qWaitFor([this] {
            if (!manager().popover()->isVisible()) {
                manager().togglePopover();
            }
            return manager().popover()->isVisible();
        }));
        manager().togglePopover();

        m_f->showCurrent(running);
        m_f->server.on("POST", u"/time-entries/r1/stop"_s, FakeResponse::json(200, json::timer(json::entry("r1", false))));
        call(itemPath, itemInterface, u"XAyatanaSecondaryActivate"_s, {0u});
        QTRY_VERIFY(!m_f->timer.isTimerRunning());
    }
    void menuKeepsStillWhileOpen() {
        manager();
        m_f->showCurrent(running);
        const QStringList tail{u"-"_s, u"Show Window"_s, u"Quit"_s, u"-"_s, u"Open Panel"_s, u"Panel Text"_s};
        QCOMPARE(menuLabels(), QStringList{u"Stop Timer"_s} + tail);
        Announcements sent;
        call(u"/MenuBar"_s, menuInterface, u"AboutToShow"_s, {0});
        call(u"/MenuBar"_s, menuInterface, u"Event"_s, {0, u"opened"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        m_f->server.on("POST", u"/time-entries/r1/stop"_s, FakeResponse::json(200, json::timer(json::entry("r1", false))));
        const int stop = menuId(u"Stop Timer"_s);
        click(stop);
        QTRY_VERIFY(!m_f->timer.isTimerRunning()); // through the state, to the server
        QCOMPARE(menuLabels().first(), u"Stop Timer"_s);
        QCOMPARE(sent.layouts, 0);
        call(u"/MenuBar"_s, menuInterface, u"Event"_s, {0, u"closed"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        QTRY_COMPARE(sent.layouts, 1);
        QCOMPARE(menuLabels(), QStringList{u"Start Latest Timer"_s} + tail);
        // A click on what the menu showed before it changed acts on nothing (the id is no more).
        const DBusMenuEventList late{{stop, u"clicked"_s, QDBusVariant(0), 0}};
        const QDBusMessage errors = call(u"/MenuBar"_s, menuInterface, u"EventGroup"_s, {QVariant::fromValue(late)});
        QVERIFY2(errors.type() == QDBusMessage::ReplyMessage, qPrintable(errors.errorMessage()));
        QCOMPARE(qdbus_cast<QList<int>>(errors.arguments().value(0)), QList<int>{stop});
        click(menuId(u"Show Window"_s));
        QTRY_COMPARE(m_windowShown, 1);
    }
    void watcherComingAndGoing() {
        // There at start: a panel that restarts gets its grace period, then the tray icon; back
        // again, it gets the item again.
        manager().presence()->setFallbackDelay(std::chrono::hours(1));
        QTRY_VERIFY(manager().hasVisibleItem());
        m_watcher->vanish();
        QTRY_VERIFY(!manager().hasVisibleItem());
        QVERIFY(!manager().statusItem());
        manager().presence()->setFallbackDelay(std::chrono::milliseconds(0));
        QTRY_VERIFY(manager().statusItem());
        QVERIFY(m_watcher->appear());
        QTRY_VERIFY(!m_watcher->items().isEmpty());
        QVERIFY(!manager().statusItem());

        // Missing at start: the tray icon at once, until a watcher takes the item.
        m_manager.reset();
        m_watcher->vanish();
        manager().presence()->setFallbackDelay(std::chrono::hours(1));
        QTRY_VERIFY(manager().statusItem());
        QVERIFY(m_watcher->appear());
        QTRY_VERIFY(!m_watcher->items().isEmpty());
        QVERIFY(!manager().statusItem());
    }
    void panelGoneWithTheMenuOpen() {
        manager();
        m_f->showCurrent(running);
        call(u"/MenuBar"_s, menuInterface, u"Event"_s, {0, u"opened"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        m_f->showCurrent("null"); // stopped elsewhere while the panel shows the menu
        QCOMPARE(menuLabels().first(), u"Stop Timer"_s);
        QDBusConnection::disconnectFromBus(u"fake-host"_s); // the panel crashes; "closed" never comes
        QTRY_COMPARE(menuLabels().first(), u"Start Latest Timer"_s);
    }
    void hungPanelChangesNothing() {
        m_watcher.reset(); // its object path goes with it
        m_watcher = std::make_unique<FakeWatcher>(false);
        QVERIFY(m_watcher->appear());
        manager();
        QTRY_COMPARE(m_watcher->registrations(), 1);          // asked, never answered
        call(itemPath, itemInterface, u"Activate"_s, {0, 0}); // still answers the panel
        QVERIFY(manager().popover()->isVisible());
        QVERIFY(!manager().hasVisibleItem());
        QVERIFY(!manager().statusItem());
    }
    void badInputFromTheBus() {
        manager();
        QCOMPARE(call(u"/MenuBar"_s, menuInterface, u"GetProperty"_s, {999, u"label"_s}).type(), QDBusMessage::ErrorMessage);
        QCOMPARE(call(u"/MenuBar"_s, menuInterface, u"GetLayout"_s, {999, -1, QStringList()}).type(), QDBusMessage::ErrorMessage);
        QCOMPARE(click(999).type(), QDBusMessage::ReplyMessage); // ignored
        // Every method and signal is there, also those with list types in their signatures.
        const QString introspection =
            call(u"/MenuBar"_s, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s).arguments().value(0).toString();
        for (const QString& member : {u"GetLayout"_s, u"GetGroupProperties"_s, u"EventGroup"_s, u"AboutToShowGroup"_s,
                                      u"ItemsPropertiesUpdated"_s, u"LayoutUpdated"_s}) {
            QVERIFY2(introspection.contains(u"name=\""_s + member + u'"'), qPrintable(member));
        }
        QCOMPARE(call(itemPath, itemInterface, u"Activate"_s, {u"x"_s, u"y"_s}).type(), QDBusMessage::ErrorMessage);
        QCOMPARE(call(u"/MenuBar"_s, menuInterface, u"Event"_s, {1}).type(), QDBusMessage::ErrorMessage);
        QCOMPARE(itemProperty(u"Id"_s).toString(), u"kelvo"_s); // still serving
    }
    void floodsAreRefusedAndClicksActOnce() {
        manager();
        QList<int> distinct(1001);
        std::iota(distinct.begin(), distinct.end(), 0);
        const QList<int> repeated(5000, 0); // one item, asked for many times over
        for (const auto& [method, arguments] :
             {std::pair{u"GetGroupProperties"_s, QVariantList{QVariant::fromValue(distinct), QStringList()}},
              {u"AboutToShowGroup"_s, QVariantList{QVariant::fromValue(distinct)}}}) {
            QCOMPARE(call(u"/MenuBar"_s, menuInterface, method, arguments).errorName(), u"org.freedesktop.DBus.Error.InvalidArgs"_s);
        }
        QCOMPARE(call(u"/MenuBar"_s, menuInterface, u"GetGroupProperties"_s, {QVariant::fromValue(repeated), QStringList()}).type(),
                 QDBusMessage::ReplyMessage);
        // Five hundred clicks on "Start Latest Timer", in one call and one by one: one timer.
        m_f->server.on("GET", u"/time-entries"_s, FakeResponse::json(200, json::entries({json::entry("e1", false)})));
        QCoro::waitFor(m_f->timer.loadRecentEntries());
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::heldBack(201, json::timer(json::entry("e2", true))));
        const int start = menuId(u"Start Latest Timer"_s);
        const DBusMenuEventList clicks(500, {start, u"clicked"_s, QDBusVariant(0), 0});
        QCOMPARE(call(u"/MenuBar"_s, menuInterface, u"EventGroup"_s, {QVariant::fromValue(clicks)}).type(), QDBusMessage::ReplyMessage);
        for (int i = 0; i < 20; ++i) {
            click(start);
        }
        QTRY_COMPARE(m_f->server.heldCount(), 1);
        m_f->server.release();
        QTRY_VERIFY(m_f->timer.isTimerRunning());
        QCOMPARE(m_f->server.requestLines().count(u"POST /time-entries/start"_s), 1);
    }
    void signedOutItemIsIdle() {
        manager();
        m_f->showCurrent(running);
        m_f->auth.logout();
        m_f->timer.forgetAccount(); // as the program does on every sign-out
        QTRY_COMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), u"00:00:00"_s);
        QCOMPARE(menuLabels().first(), u"!Start Latest Timer"_s);
    }
    void panelTextChosenFromTheMenuIsKept() {
        m_f->client.setAuthToken(u"t"_s);
        manager();
        QCOMPARE(menuLabels().last(), u"Panel Text"_s);
        Announcements sent;
        const int elapsed = menuId(u"Elapsed Time"_s);
        const int minutes = menuId(u"Hours and Minutes"_s);
        click(minutes);
        QTRY_COMPARE(manager().panelText(), MenuBarManager::PanelText::minutes);
        // Hosts that keep their items learn each tick that changed.
        QTRY_COMPARE(sent.updated.value(minutes).value(u"toggle-state"_s), QVariant(1));
        QCOMPARE(sent.updated.value(elapsed).value(u"toggle-state"_s), QVariant(0));
        QCOMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), u"0:00"_s);
        QCOMPARE(QSettings(m_f->home.tokenFile(), QSettings::IniFormat).value(u"panel_text"_s).toString(), u"minutes"_s);
        QCOMPARE(m_f->home.storedToken(), u"t"_s);
        qputenv("XDG_CURRENT_DESKTOP", "KDE"); // a choice wins over the desktop's
        QCOMPARE(Preferences().panelText(), MenuBarManager::PanelText::minutes);
    }
    void hiddenStartStaysInThePanel() {
        KelvoApp app(&m_f->client, &m_f->clock);
        app.start(true);
        QVERIFY(app.menuBarManager()); // the item at once, not after a window appeared
        QSignalSpy settled(app.menuBarManager(), &MenuBarManager::itemSettled);
        QTRY_VERIFY(!settled.isEmpty());
        QVERIFY(app.menuBarManager()->hasVisibleItem());
        QVERIFY(!app.mainWindow()->isVisible());
    }

private:
    MenuBarManager& manager() {
        if (!m_manager) {
            m_manager = std::make_unique<MenuBarManager>(&m_f->timer, &m_f->auth, [this] { ++m_windowShown; }, &m_f->preferences,
                                                         m_f->earnings(DashboardViewModel::ShownBy::popover));
            m_manager->setupMenuBar();
        }
        return *m_manager;
    }

    QTemporaryDir m_runtime;
    std::unique_ptr<ViewFixture> m_f;
    std::unique_ptr<FakeWatcher> m_watcher;
    std::unique_ptr<MenuBarManager> m_manager;
    int m_windowShown = 0;
};

QTEST_MAIN(tst_PanelItem)
#include "tst_panelitem.moc"

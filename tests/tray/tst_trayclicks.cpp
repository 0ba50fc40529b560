// Clicks on the tray item as a panel delivers them, on a real X display with a real tray host.
// tray_popover.sh runs it inside its own Xvfb, trayer and session bus.
#include "TestSupport.h"

#include "menubar/MenuBarManager.h"
#include "menubar/PopoverWindow.h"

#include <QMouseEvent>
#include <QProcess>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

// A click of `button` at a point of the screen, through the X server as a user's would come.
bool click(QPoint at, int button) {
    return QProcess::execute(u"xdotool"_s, {u"mousemove"_s, QString::number(at.x()), QString::number(at.y()), u"click"_s,
                                            QString::number(button)}) == 0;
}

// Counts the right releases that reach a window: the whole click has been handled then.
class RightClicks : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            ++count;
        }
        return false;
    }
};

} // namespace

class tst_TrayClicks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rightClickOnTheItemKeepsThePopover() {
        ViewFixture f;
        f.serveNothingRunning();
        MenuBarManager manager(&f.timer, &f.auth, {}, &f.preferences, f.earnings(DashboardViewModel::ShownBy::popover));
        manager.setupMenuBar();
        QTRY_VERIFY(manager.statusItem()); // once the bus has said that no panel watcher is there
        // Docked into the tray at the top right of the screen (until then it sits at 0,0).
        QTRY_VERIFY_WITH_TIMEOUT(manager.statusItem()->geometry().left() > 0, 20000);
        // A busy tray may still move the icon after docking it; each try clicks where it is now.
        QPoint item;
        for (int attempt = 0; attempt < 5 && !manager.popover()->isVisible(); ++attempt) {
            item = manager.statusItem()->geometry().center();
            QVERIFY(click(item, 1));
            (void)QTest::qWaitFor([&] { return manager.popover()->isVisible(); }, 5000);
        }
        QVERIFY(manager.popover()->isVisible());

        RightClicks clicks;
        manager.popover()->installEventFilter(&clicks);
        QVERIFY(click(item, 3)); // the popover holds the pointer: the click reaches it
        QTRY_COMPARE(clicks.count, 1);
        QVERIFY(manager.popover()->isVisible());

        QVERIFY(click(manager.popover()->geometry().bottomLeft() + QPoint(-40, 40), 3)); // a right click elsewhere closes it
        QTRY_VERIFY(!manager.popover()->isVisible());
    }
};

QTEST_MAIN(tst_TrayClicks)
#include "tst_trayclicks.moc"

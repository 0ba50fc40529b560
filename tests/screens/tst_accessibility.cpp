// What a screen reader and a keyboard user meet: names on every control, readable colours, a
// visible focus.
#include "Json.h"
#include "TestSupport.h"

#include "menubar/MenuBarManager.h"
#include "menubar/PopoverWindow.h"
#include "screens/DashboardView.h"
#include "screens/LoginView.h"
#include "screens/RegisterView.h"
#include "ui/BorderedButton.h"
#include "ui/CircleButton.h"
#include "ui/ControlBox.h"
#include "ui/FieldEdit.h"
#include "ui/LinkButton.h"
#include "ui/PillButton.h"
#include "ui/PrimaryButton.h"
#include "ui/PullDownButton.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QVBoxLayout>

#include <functional>

using namespace kelvo;
using namespace kelvo::test;
using namespace Qt::StringLiterals;

namespace {

enum class Screen { signIn, registration, registrationWarnings, dashboardIdle, dashboardRunning, popoverIdle, popoverRunning };

// Where anything is drawn on `root`, in its own pixels: the bounds of every pixel that differs
// from the window's background, as painted (glyphs and symbols, not widget rectangles).
QRect inkBounds(QWidget* root) {
    const QImage image = root->grab().toImage();
    const QRgb background = root->palette().color(QPalette::Window).rgb();
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    const qreal ratio = image.devicePixelRatio();
    return QRectF(ink.x() / ratio, ink.y() / ratio, ink.width() / ratio, ink.height() / ratio).toAlignedRect();
}

// Every accessible object under `root`, depth first.
QList<QAccessibleInterface*> accessibles(QWidget* root) {
    QList<QAccessibleInterface*> all{QAccessible::queryAccessibleInterface(root)};
    for (qsizetype at = 0; at < all.size(); ++at) {
        for (int i = 0; i < all[at]->childCount(); ++i) {
            if (QAccessibleInterface* child = all[at]->child(i)) {
                all.insert(at + 1 + i, child);
            }
        }
    }
    return all;
}

// What a screen reader calls the control that has the focus.
QString focusedName() {
    QAccessibleInterface* interface = QAccessible::queryAccessibleInterface(QApplication::focusWidget());
    return interface ? interface->text(QAccessible::Name) : QString();
}

// The contrast ratio of `foreground`, as it shows over the opaque `background`, against it.
double contrast(const QColor& foreground, const QColor& background) {
    const auto luminance = [](double r, double g, double b) {
        const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b);
    };
    const auto over = [a = foreground.alphaF()](double front, double back) { return front * a + back * (1 - a); };
    const double front = luminance(over(foreground.redF(), background.redF()), over(foreground.greenF(), background.greenF()),
                                   over(foreground.blueF(), background.blueF()));
    const double back = luminance(background.redF(), background.greenF(), background.blueF());
    return (std::max(front, back) + 0.05) / (std::min(front, back) + 0.05);
}

struct ColoursAreReadableRow { QColor foreground, background; double minimum; };

} // namespace

class tst_Accessibility : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        m_f = std::make_unique<ViewFixture>();
        m_f->clock.set(QDateTime(QDate(2025, 3, 1), QTime(10, 1, 30), Qt::UTC));
        m_f->serveNothingRunning();
        m_f->server.on(
            "GET", u"/time-entries"_s,
            FakeResponse::json(200, json::entries({json::entry("s1", false, "2025-03-01T09:00:00.000Z", R"(,"projectId":"p2")")})));
        QTRY_VERIFY(m_f->timer.projects().size() == 3 && !m_f->timer.isRefreshing());
    }
    void cleanup() {
        m_manager.reset();
        m_view.reset();
        m_f.reset();
    }
    void figuresReadWell() {
        // The earnings cards read as sentences.
        m_f->server.on("GET", u"/users/dashboard-earnings"_s, FakeResponse::json(200, json::earnings(72.92, 4200, 80, 60)));
        QWidget* root = show(Screen::dashboardRunning);
        QStringList names;
        const auto read = [&] {
            names.clear();
            for (QAccessibleInterface* interface : accessibles(root)) {
                names.append(interface->text(QAccessible::Name));
            }
            return names.contains(u"Today: $72.92 for 1 hour 10 minutes"_s) && names.contains(u"This week: $80.00 for 1 minute"_s);
        };
        QTRY_VERIFY2(read(), qPrintable(names.filter(u": $"_s).join(u"; "_s)));
        // The elapsed time keeps its name as it counts; the time is its description.
        const qsizetype at = names.indexOf(u"Elapsed time"_s);
        QVERIFY(at >= 0);
        QAccessibleInterface* counter = accessibles(root).at(at);
        QCOMPARE(counter->text(QAccessible::Description), u"01:30"_s);
        m_f->clock.advance(1);
        QTRY_COMPARE(counter->text(QAccessible::Description), u"01:31"_s);
        QCOMPARE(counter->text(QAccessible::Name), u"Elapsed time"_s);
    }
    void coloursAreReadable_data() {
        QTest::addColumn<ColoursAreReadableRow>("row");
        constexpr double text = 4.5;
        constexpr double large = 3.0; // large text, symbols, outlines
        const QColor white(Qt::white);
        const QList<std::pair<const char*, QColor>> backgrounds{
            {"window", Theme::windowBackground()}, {"dashboard", Theme::appBackground()}, {"popover", Theme::panelBackground()}};
        for (const auto& [where, background] : backgrounds) {
            const auto row = [&](const char* what, const QColor& foreground, double minimum) {
                QTest::addRow("%s on %s", what, where) << ColoursAreReadableRow{foreground, background, minimum};
            };
            row("primary text", Theme::primaryText(), text);
            row("secondary text", Theme::secondaryText(), text);
            row("grey text", Theme::grey(), text);
            row("link text", Theme::blue(), text);
            row("error text", Theme::red(), text);
            row("amounts", Theme::green(), text);
            row("running earnings (large)", Theme::accentGreen(), large);
            row("restart symbol", Theme::accentGreen(), large);
            row("focus ring", Theme::blue(), large);
        }
        QTest::newRow("dashboard error line") << ColoursAreReadableRow{Theme::accentRed(), Theme::appBackground(), text};
        QTest::newRow("field text") << ColoursAreReadableRow{Theme::primaryText(), Theme::controlBackground(), text};
        QTest::newRow("field placeholder") << ColoursAreReadableRow{Theme::secondaryText(), Theme::controlBackground(), text};
        QTest::newRow("field focus ring") << ColoursAreReadableRow{Theme::blue(), Theme::controlBackground(), large};
        QTest::newRow("white on the green fill") << ColoursAreReadableRow{white, Theme::greenFill(), text};
        QTest::newRow("white on the red fill") << ColoursAreReadableRow{white, Theme::redFill(), text};
        QTest::newRow("white on the blue fill") << ColoursAreReadableRow{white, Theme::blueFill(), text};
    }
    void coloursAreReadable() {
        QFETCH(ColoursAreReadableRow, row);
        auto [foreground, background, minimum] = row;
        const double ratio = contrast(foreground, background);
        QVERIFY2(ratio >= minimum,
                 qPrintable(u"%1 on %2: %3:1"_s.arg(foreground.name(QColor::HexArgb), background.name()).arg(ratio, 0, 'f', 2)));
    }
    void focusIsVisible_data() {
        QTest::addColumn<std::function<QWidget*()>>("make");
        QTest::newRow("circle") << std::function<QWidget*()>([] { return new CircleButton(CircleButton::Content::play, Theme::greenFill(), 60); });
        QTest::newRow("symbol") << std::function<QWidget*()>([] { return new SymbolButton(u"gearshape"_s, Theme::primaryText(), 15); });
        QTest::newRow("pill") << std::function<QWidget*()>([] { return new PillButton(u"stop.fill"_s, u"Stop"_s, Theme::redFill()); });
        QTest::newRow("primary") << std::function<QWidget*()>([] {
            auto* button = new PrimaryButton;
            button->setText(u"Sign In"_s);
            return button;
        });
        QTest::newRow("link") << std::function<QWidget*()>([] { return new LinkButton(u"Sign up"_s, Theme::blue()); });
        QTest::newRow("bordered") << std::function<QWidget*()>([] { return new BorderedButton(u"Refresh"_s, 11); });
        QTest::newRow("chooser") << std::function<QWidget*()>([] {
            auto* chooser = new PullDownButton([](QMenu&) {});
            chooser->setLabel(u"Web"_s, QColor(0x10, 0xB9, 0x81), false);
            return chooser;
        });
        QTest::newRow("field") << std::function<QWidget*()>([] { return new FieldEdit(u"Email"_s); });
    }
    void focusIsVisible() {
        QFETCH(std::function<QWidget*()>, make);
        QWidget window;
        window.setPalette(Theme::palette());
        auto* layout = new QVBoxLayout(&window);
        QWidget* control = make();
        const bool circle = qobject_cast<CircleButton*>(control);
        auto* elsewhere = new FieldEdit(u"elsewhere"_s);
        layout->addWidget(elsewhere);
        layout->addWidget(control);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        elsewhere->setFocus();
        QTRY_VERIFY(elsewhere->hasFocus());
        const auto blueShare = [control] {
            const QImage image = control->grab().toImage();
            int blue = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    const QColor ring = Theme::blue();
                    blue += std::abs(pixel.red() - ring.red()) + std::abs(pixel.green() - ring.green()) + std::abs(pixel.blue() - ring.blue()) < 40;
                }
            }
            return blue;
        };
        const int unfocused = blueShare();
        const QImage before = control->grab().toImage();
        QTest::keyClick(elsewhere, Qt::Key_Tab); // reached by the keyboard
        QTRY_VERIFY(control->hasFocus());
        if (qobject_cast<PullDownButton*>(control)) {
            // The ring is the box's edge; the chooser's colour dot is drawn as before, without it.
            const QRect dot(ControlBox::horizontalPadding - 3, control->height() / 2 - 7, 14, 14);
            QCOMPARE(control->grab().toImage().copy(dot), before.copy(dot));
        }
        // A 2 px ring round the control: about twice its perimeter in blue pixels (a 1 px edge would
        // give about once; a circle's smoothed edge leaves fewer pixels of the exact blue).
        const int ring = blueShare() - unfocused;
        const double perimeter = circle ? M_PI * control->width() : 2.0 * (control->width() + control->height());
        QVERIFY2(ring >= (circle ? 1.15 : 1.4) * perimeter,
                 qPrintable(u"%1 blue pixels for a perimeter of %2"_s.arg(ring).arg(perimeter)));
    }
    void namedAndReachedByTab_data() {
        QTest::addColumn<Screen>("screen");
        // What Tab reaches, top to bottom, left to right; a control turned off (the description
        // before a task is chosen) is passed over.
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("alsoNamed"); // named though Tab passes them by
        // clang-format off
        QTest::newRow("sign-in") << Screen::signIn << QStringList{u"Email"_s, u"Password"_s, u"Sign In"_s, u"Sign up"_s} << QStringList();
        QTest::newRow("registration") << Screen::registration << QStringList{u"Full Name"_s, u"Email Address"_s, u"Password"_s, u"Confirm Password"_s, u"Create Account"_s, u"Sign in"_s} << QStringList();
        QTest::newRow("dashboard, idle") << Screen::dashboardIdle << QStringList{u"Project: Web"_s, u"Task"_s, u"Start timer"_s, u"Earnings and recent entries"_s, u"Restart App"_s} << QStringList{u"Description"_s};
        QTest::newRow("dashboard, running") << Screen::dashboardRunning << QStringList{u"Sign out"_s, u"Refresh"_s, u"Stop timer"_s, u"Earnings and recent entries"_s} << QStringList{u"Elapsed time"_s};
        QTest::newRow("popover, idle") << Screen::popoverIdle << QStringList{u"Open main window"_s, u"Start Latest"_s, u"Refresh"_s, u"Main Window"_s} << QStringList();
        QTest::newRow("popover, running") << Screen::popoverRunning << QStringList{u"Open main window"_s, u"Stop timer"_s, u"Refresh"_s, u"Main Window"_s} << QStringList{u"Elapsed time"_s};
        // clang-format on
    }
    void namedAndReachedByTab() {
        QFETCH(Screen, screen);
        QFETCH(QStringList, order);
        QFETCH(QStringList, alsoNamed);
        QWidget* root = show(screen);
        // Every control has a name, and a symbol's file name ("play.fill", "gearshape.svg") is none.
        static const QRegularExpression symbolName(u"^[a-z]+(\\.[a-z]+)+$|\\.(svg|png)$"_s);
        QStringList seen;
        for (QAccessibleInterface* interface : accessibles(root)) {
            const QString name = interface->text(QAccessible::Name);
            seen.append(name);
            if (interface->state().focusable && !interface->state().invisible) {
                const QObject* object = interface->object();
                QVERIFY2(!name.trimmed().isEmpty() && !symbolName.match(name).hasMatch(),
                         qPrintable(name + u" for "_s + (object ? QString::fromLatin1(object->metaObject()->className()) : QString())));
            }
        }
        for (const QString& name : alsoNamed) {
            QVERIFY2(seen.contains(name), qPrintable(name + u" not among "_s + seen.join(u", "_s)));
        }
        // Pictures that only decorate are painted, not labels a screen reader would come upon.
        for (const QLabel* label : root->findChildren<QLabel*>()) {
            QVERIFY2(label->pixmap().isNull(), qPrintable(label->objectName()));
        }
        // Forms filled in, so that their buttons are there to reach.
        for (FieldEdit* field : root->findChildren<FieldEdit*>()) {
            field->setText(field->echoMode() == QLineEdit::Password         ? u"secret1"_s
                           : field->accessibleName().startsWith(u"Email"_s) ? u"ann@x.io"_s
                                                                            : u"Ann"_s);
        }
        root->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(root));
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        // Forward from the first control until the focus comes round again.
        QStringList forward{focusedName()};
        QWidget* first = QApplication::focusWidget();
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == first) {
                break;
            }
            forward.append(focusedName());
        }
        QCOMPARE(forward, order);
        // Backward, the same way round.
        QStringList backward{focusedName()};
        for (int i = 1; i < forward.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            backward.prepend(focusedName());
        }
        std::rotate(backward.begin(), backward.end() - 1, backward.end());
        QCOMPARE(backward, forward);
    }
    void keysPressButtonsAndChangesAreAnnounced() {
        // (The offscreen platform has no screen reader to hear events; what makes one speak is checked.)
        m_f->server.on("POST", u"/auth/login"_s, FakeResponse::json(401, R"({"error":"Invalid email or password"})"));
        QWidget* root = show(Screen::signIn);
        QVERIFY(QTest::qWaitForWindowActive(root));
        const auto fields = root->findChildren<FieldEdit*>();
        fields.at(0)->setText(u"ann@x.io"_s);
        fields.at(1)->setText(u"secret1"_s);
        // Return in a text field presses no button; on the focused button it does.
        fields.at(1)->setFocus();
        QTRY_VERIFY(fields.at(1)->hasFocus());
        QTest::keyClick(fields.at(1), Qt::Key_Return);
        QTest::keyClick(fields.at(1), Qt::Key_Tab);
        QVERIFY(m_f->server.last("POST", u"/auth/login"_s).method.isEmpty()); // nothing sent
        QCOMPARE(focusedName(), u"Sign In"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        // It fails: the error line, which has the alert role, shows; the focus waits in the password
        // field, not on the link that leaves the screen.
        auto* error = root->findChild<QLabel*>(u"errorLabel"_s);
        QTRY_VERIFY(error->isVisible());
        QAccessibleInterface* alert = QAccessible::queryAccessibleInterface(error);
        QCOMPARE(alert->role(), QAccessible::AlertMessage);
        QCOMPARE(alert->text(QAccessible::Name), error->text());
        QCOMPARE(focusedName(), u"Password"_s);

        // Alt+Down opens a chooser's menu.
        auto* chooser = focusOn<PullDownButton>(Screen::dashboardIdle, u"projectChooser"_s);
        QVERIFY(chooser);
        QTest::keyClick(chooser, Qt::Key_Down, Qt::AltModifier);
        QTRY_VERIFY(chooser->menu()->isVisible());
        chooser->menu()->close();

        // Starting and stopping move the focus to the button that undoes it, which is spoken.
        auto* start = focusOn<CircleButton>(Screen::dashboardIdle, u"startButton"_s);
        QVERIFY(start);
        const QByteArray entry = json::entry("n1", true, "2025-03-01T10:01:30.000Z");
        m_f->server.on("POST", u"/time-entries/start"_s, FakeResponse::json(201, json::timer(entry)));
        QTest::keyClick(start, Qt::Key_Space);
        QTRY_COMPARE(focusedName(), u"Stop timer"_s);
        m_f->server.on("POST", u"/time-entries/n1/stop"_s, FakeResponse::json(200, json::timer(json::entry("n1", false))));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        // A stop clears the choice, so the focus lands where the next start begins.
        QTRY_COMPARE(focusedName(), u"Project"_s);

        // The popover opens with the focus inside; Escape closes it.
        PopoverWindow* popover = static_cast<PopoverWindow*>(show(Screen::popoverIdle));
        QTRY_VERIFY(popover->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!popover->isVisible());
    }
    void textScaleKeepsTheLayout_data() {
        QTest::addColumn<Screen>("screen");
        for (const auto& [name, screen] : {std::pair{"sign-in", Screen::signIn}, {"registration", Screen::registration},
                                           {"registration, every warning", Screen::registrationWarnings},
                                           {"dashboard, idle", Screen::dashboardIdle}, {"dashboard, running", Screen::dashboardRunning},
                                           {"popover, idle", Screen::popoverIdle}, {"popover, running", Screen::popoverRunning}}) {
            QTest::newRow(name) << screen;
        }
    }
    void textScaleKeepsTheLayout() {
        // Run at the desktop's text scale too (the suite runs this with QT_FONT_DPI=120 and 144): the
        // whole window scales with the font DPI, text and all, so the layout is the same at any scale.
        QFETCH(Screen, screen);
        QWidget* root = show(screen);
        QCOMPARE(root->devicePixelRatioF(), qEnvironmentVariable("QT_FONT_DPI", u"96"_s).toDouble() / 96);
        const QStringList faults = layoutFaults(root);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"; "_s)));
        if (screen == Screen::signIn || screen == Screen::registration || screen == Screen::registrationWarnings) {
            // Nothing painted comes near the window's edges.
            const QRect ink = inkBounds(root);
            QVERIFY2(
                root->rect().adjusted(8, 8, -8, -8).contains(ink),
                qPrintable(u"drawn from (%1, %2) to (%3, %4)"_s.arg(ink.left()).arg(ink.top()).arg(ink.right()).arg(ink.bottom())));
        }
    }

private:
    QWidget* show(Screen screen) {
        if (screen == Screen::dashboardRunning || screen == Screen::popoverRunning) {
            m_f->showCurrent(json::ratedEntry("r1", true, 60));
        }
        QWidget* shown = nullptr;
        switch (screen) {
        case Screen::signIn:
            m_view = std::make_unique<LoginView>(&m_f->auth);
            break;
        case Screen::registration:
        case Screen::registrationWarnings:
            m_view = std::make_unique<RegisterView>(&m_f->auth);
            break;
        case Screen::dashboardIdle:
        case Screen::dashboardRunning:
            m_view = std::make_unique<DashboardView>(&m_f->auth, &m_f->timer, m_f->earnings());
            break;
        case Screen::popoverIdle:
        case Screen::popoverRunning:
            m_f->signIn();
            m_manager = std::make_unique<MenuBarManager>(&m_f->timer, &m_f->auth, [] {}, &m_f->preferences,
                                                         m_f->earnings(DashboardViewModel::ShownBy::popover));
            m_manager->setupMenuBar();
            m_manager->popover()->showBelow(QRect());
            return m_manager->popover();
        }
        const auto refreshes = [this] { return m_f->lines.lines().count(u"✅ Data refresh completed"_s); };
        const qsizetype before = refreshes();
        shown = m_view.get();
        const bool signedOut = screen == Screen::signIn || screen == Screen::registration || screen == Screen::registrationWarnings;
        if (signedOut) {
            shown->setFixedSize(400, 600); // the main window's content, which cannot grow
        }
        shown->show();
        if (screen == Screen::registrationWarnings) {
            // Every line the form can show at once: the mismatch and a server error that wraps.
            shown->findChild<QLineEdit*>(u"passwordField"_s)->setText(u"sixsix"_s);
            shown->findChild<QLineEdit*>(u"confirmPasswordField"_s)->setText(u"sixsi"_s);
            m_f->server.on(
                "POST", u"/auth/register"_s,
                FakeResponse::json(
                    409, R"({"error":"This e-mail address is already registered; sign in, or register with another address"})"));
            QCoro::waitFor(m_f->auth.registerAccount(u"A"_s, u"a@x.io"_s, u"secret"_s, std::nullopt, std::nullopt));
        }
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (screen == Screen::dashboardIdle || screen == Screen::dashboardRunning) {
            // The refresh the dashboard makes on appearing is over, its button on again.
            (void)QTest::qWaitFor(
                [&] {
                    return refreshes() > before && !m_f->timer.isRefreshing() &&
                           shown->findChild<QWidget*>(u"refreshButton"_s)->isEnabled();
                },
                10000);
        }
        return shown;
    }
    // `screen` shown anew in an active window, with the focus on its child named `name`; null
    // when that does not come about.
    template <class Widget> Widget* focusOn(Screen screen, const QString& name) {
        m_view.reset();
        QWidget* root = show(screen);
        auto* widget = root->findChild<Widget*>(name);
        if (!QTest::qWaitForWindowActive(root) || !widget) {
            return nullptr;
        }
        widget->setFocus();
        return QTest::qWaitFor([widget] { return widget->hasFocus(); }) ? widget : nullptr;
    }

    std::unique_ptr<ViewFixture> m_f;
    std::unique_ptr<QWidget> m_view;
    std::unique_ptr<MenuBarManager> m_manager;
};

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"

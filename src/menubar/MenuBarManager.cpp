#include "MenuBarManager.h"

#include "MenuBarView.h"
#include "PopoverWindow.h"
#include "panel/DBusMenu.h"
#include "panel/StatusNotifierItem.h"
#include "panel/StatusNotifierWatch.h"
#include "records/Diagnostics.h"
#include "records/Formatting.h"
#include "state/AuthViewModel.h"
#include "state/DashboardViewModel.h"
#include "state/TimerViewModel.h"
#include "ui/Schedule.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QTimer>

namespace kelvo {

namespace {

// The item's icon: the symbol in its accent colour on a small dark badge, so it reads on light
// and dark panels alike.
QPixmap badge(const QString& symbol, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::badgeEdge(), 1));
    painter.setBrush(Theme::appBackground());
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 4.0, size / 4.0);
    const int inner = size * 3 / 5;
    const QColor color =
        symbol == QStringLiteral("stop.fill") ? Theme::accentRed() : Theme::accentGreen();
    painter.drawPixmap((size - inner) / 2, (size - inner) / 2,
                       Symbols::pixmap(symbol, color, inner));
    return pixmap;
}

// A click on the item closes an open popover as an outside click; the same click then arrives
// as an activation, which must not open it again.
constexpr int reopenGuardMs = 300;

// Qt's menu for the same entries the panel draws.
void fillMenu(QMenu* menu, const QList<MenuEntry>& entries) {
    for (const MenuEntry& entry : entries) {
        switch (entry.kind) {
        case MenuEntry::Kind::separator:
            menu->addSeparator();
            break;
        case MenuEntry::Kind::submenu:
            fillMenu(menu->addMenu(entry.label), entry.children);
            break;
        case MenuEntry::Kind::action:
        case MenuEntry::Kind::radio: {
            QAction* action = menu->addAction(entry.label, menu, entry.run);
            action->setCheckable(entry.kind == MenuEntry::Kind::radio);
            action->setChecked(entry.checked);
            action->setShortcut(entry.shortcut);
            action->setEnabled(entry.enabled);
            break;
        }
        }
    }
}

} // namespace

MenuBarManager::MenuBarManager(TimerViewModel* timerViewModel, AuthViewModel* authViewModel,
                               std::function<void()> showMainWindowCallback,
                               Preferences* preferences, DashboardViewModel* earnings,
                               QObject* parent)
    : QObject(parent)
    , m_timerViewModel(timerViewModel)
    , m_authViewModel(authViewModel)
    , m_showMainWindowCallback(std::move(showMainWindowCallback))
    , m_preferences(preferences)
    , m_earnings(earnings) {
    m_earnings->setParent(this);
}

MenuBarManager::~MenuBarManager() {
    delete m_popover;
    delete m_contextMenu;
}

void MenuBarManager::setupMenuBar() {
    setupPopover();
    m_updateTimer = new QTimer(this);
    m_updateTimer->setInterval(1000);
    connect(m_updateTimer, &QTimer::timeout, this, &MenuBarManager::updateStatusItem);
    if (!exportPanelItem()) {
        createFallback(); // no session bus: the tray icon, as ever
        return;
    }
    m_fallbackTimer = new QTimer(this);
    m_fallbackTimer->setSingleShot(true);
    m_fallbackTimer->setInterval(std::chrono::seconds(3));
    connect(m_fallbackTimer, &QTimer::timeout, this, &MenuBarManager::createFallback);
    m_watch = new StatusNotifierWatch(QDBusConnection::sessionBus(), this);
    connect(m_watch, &StatusNotifierWatch::watcherAppeared, this, [this] {
        m_watcherAnswered = true;
        m_fallbackTimer->stop();
        removeFallback();
        m_panelMenu->forgetOpen();
    });
    connect(m_watch, &StatusNotifierWatch::watcherAbsent, this, [this] {
        m_panelMenu->forgetOpen();
        // Missing at start there is nothing to wait for; a watcher that vanished may be a panel
        // restarting.
        if (!std::exchange(m_watcherAnswered, true)) {
            createFallback();
        } else {
            m_fallbackTimer->start();
        }
    });
    connect(m_watch, &StatusNotifierWatch::settled, this, &MenuBarManager::itemSettled);
    m_watch->start();
}

void MenuBarManager::setFallbackDelay(std::chrono::milliseconds delay) {
    if (m_fallbackTimer) {
        m_fallbackTimer->setInterval(delay);
    }
}

bool MenuBarManager::exportPanelItem() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    registerPanelDBusTypes();
    m_panelItem = new StatusNotifierItem(this);
    m_panelMenu = new DBusMenu([this] { return menuEntries(); }, this);
    constexpr auto exported = QDBusConnection::ExportScriptableSlots |
                              QDBusConnection::ExportScriptableSignals |
                              QDBusConnection::ExportScriptableProperties;
    if (!bus.registerObject(QString::fromLatin1(StatusNotifierItem::path), m_panelItem, exported) ||
        !bus.registerObject(QString::fromLatin1(StatusNotifierItem::menuPath), m_panelMenu,
                            exported)) {
        delete m_panelItem;
        delete m_panelMenu;
        m_panelItem = nullptr;
        m_panelMenu = nullptr;
        return false;
    }
    connect(m_panelItem, &StatusNotifierItem::activated, this, &MenuBarManager::togglePopoverAt);
    connect(m_panelItem, &StatusNotifierItem::secondaryActivated, this,
            &MenuBarManager::primaryAction);
    connect(m_panelItem, &StatusNotifierItem::contextMenuRequested, this,
            [this](QPoint hint) { popUpMenu(hint.isNull() ? QCursor::pos() : hint); });
    // The label follows the count itself: one label per second shown, none in between.
    connect(m_timerViewModel, &TimerViewModel::elapsedTimeChanged, this,
            &MenuBarManager::updatePanelItem);
    connect(m_timerViewModel, &TimerViewModel::currentEntryChanged, this, [this] {
        updatePanelItem();
        m_panelMenu->invalidate();
    });
    connect(m_authViewModel, &AuthViewModel::isAuthenticatedChanged, m_panelMenu,
            &DBusMenu::invalidate);
    updatePanelItem();
    return true;
}

void MenuBarManager::createFallback() {
    if (m_statusItem || (m_watch && m_watch->hasWatcher())) {
        return;
    }
    // Only here, with no watcher: Qt's check asks the watcher and keeps its answer for good.
    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    m_statusItem = new QSystemTrayIcon(this);
    connect(m_statusItem, &QSystemTrayIcon::activated, this, &MenuBarManager::statusItemClicked);
    m_shownSymbol.clear();
    updateStatusItem();
    m_statusItem->show();
    // The tray icon's tooltip is refreshed every second; the panel item needs no timer.
    m_updateTimer->start();
    Q_EMIT itemSettled();
}

void MenuBarManager::removeFallback() {
    m_updateTimer->stop();
    delete m_statusItem;
    m_statusItem = nullptr;
}

bool MenuBarManager::hasVisibleItem() const {
    return (m_watch && m_watch->isShown()) || (m_statusItem && m_trayAvailable);
}

MenuBarManager::PanelLabel MenuBarManager::panelLabel() const {
    return panelLabel(title());
}

MenuBarManager::PanelText MenuBarManager::panelText() const {
    return m_preferences->panelText();
}

MenuBarManager::PanelLabel MenuBarManager::panelLabel(const Title& current) const {
    switch (panelText()) {
    case PanelText::off:
        return {};
    case PanelText::elapsed:
        return {current.text.mid(1), QStringLiteral("88:88:88")}; // the title without its space
    case PanelText::minutes:
        break;
    }
    const qint64 elapsed = m_timerViewModel->isTimerRunning() ? m_timerViewModel->elapsedTime() : 0;
    if (!isShowableSpan(elapsed)) {
        return {unshowableFigure(), QStringLiteral("88:88")};
    }
    return {QString::asprintf("%lld:%02lld", static_cast<long long>(elapsed / 3600),
                              static_cast<long long>(elapsed % 3600 / 60)),
            QStringLiteral("88:88")};
}

void MenuBarManager::updatePanelItem() {
    if (!m_panelItem) {
        return;
    }
    const Title current = title();
    m_panelItem->setIcon(current.symbol, [symbol = current.symbol](int size) {
        return badge(symbol, size).toImage();
    });
    const PanelLabel label = panelLabel(current);
    m_panelItem->setLabel(label.text, label.guide);
    m_panelItem->setToolTipText(current.text.mid(1));
}

std::expected<void, QString> MenuBarManager::setPanelText(PanelText mode) {
    auto stored = m_preferences->setPanelText(mode);
    if (!stored) {
        Diagnostics::print(QStringLiteral("Could not save the panel text: ") + stored.error());
    }
    updatePanelItem();
    if (m_panelMenu) {
        m_panelMenu->invalidate();
    }
    return stored;
}

void MenuBarManager::setPreferencesAction(std::function<void()> open) {
    m_openPreferences = std::move(open);
    if (m_panelMenu) {
        m_panelMenu->invalidate();
    }
}

QList<MenuEntry> MenuBarManager::menuEntries() {
    QList<MenuEntry> entries;
    MenuEntry timerAction =
        m_timerViewModel->isTimerRunning()
            ? MenuEntry::action(QStringLiteral("Stop Timer"), [this] { stopTimerAction(); })
            : MenuEntry::action(QStringLiteral("Start Latest Timer"),
                                [this] { startLatestTimerAction(); });
    // Signed out there is no timer to act on.
    timerAction.enabled = m_authViewModel->isAuthenticated();
    entries.append(timerAction);
    entries.append(MenuEntry::separator());
    entries.append(MenuEntry::action(QStringLiteral("Show Window"), [this] { showMainWindow(); }));
    MenuEntry quit = MenuEntry::action(QStringLiteral("Quit"), [] { QCoreApplication::quit(); });
    quit.shortcut = QKeySequence(Qt::CTRL | Qt::Key_Q);
    entries.append(quit);
    entries.append(MenuEntry::separator());
    entries.append(
        MenuEntry::action(QStringLiteral("Open Panel"), [this] { openPopoverAt(QPoint()); }));
    const auto choice = [this](const QString& label, PanelText mode) {
        return MenuEntry::radio(label, panelText() == mode, [this, mode] { setPanelText(mode); });
    };
    entries.append(
        MenuEntry::submenu(QStringLiteral("Panel Text"),
                           {choice(QStringLiteral("Elapsed Time"), PanelText::elapsed),
                            choice(QStringLiteral("Hours and Minutes"), PanelText::minutes),
                            choice(QStringLiteral("Off"), PanelText::off)}));
    if (m_openPreferences) {
        entries.append(MenuEntry::action(QStringLiteral("Preferences…"), m_openPreferences));
    }
    return entries;
}

void MenuBarManager::primaryAction() {
    if (m_timerViewModel->isTimerRunning()) {
        stopTimerAction();
    } else {
        startLatestTimerAction();
    }
}

void MenuBarManager::setupPopover() {
    // The popover's figures are its own, kept across every rebuild of the dashboard.
    connect(m_authViewModel, &AuthViewModel::signedOut, m_earnings, &DashboardViewModel::clear);
    m_popover =
        new PopoverWindow(new MenuBarView(m_timerViewModel, m_authViewModel, m_earnings, this));
    connect(m_popover, &PopoverWindow::closed, this, [this] { m_popoverClosed.start(); });
}

MenuBarView* MenuBarManager::panel() const {
    return m_popover ? m_popover->panel() : nullptr;
}

MenuBarManager::Title MenuBarManager::title() const {
    const bool running = m_timerViewModel->isTimerRunning();
    const QString text = m_timerViewModel->formattedElapsedTime();
    if (running && !text.isEmpty()) {
        return {QStringLiteral("stop.fill"), u' ' + text, 11};
    }
    return {running ? QStringLiteral("stop.fill") : QStringLiteral("play.fill"),
            QStringLiteral(" 00:00:00"), 12};
}

void MenuBarManager::updateStatusItem() {
    if (!m_statusItem) {
        return;
    }
    const Title current = title();
    // Only a change of symbol repaints the icon; the tooltip is cheap to replace every second.
    if (current.symbol != m_shownSymbol) {
        m_shownSymbol = current.symbol;
        QIcon icon;
        for (int size : {16, 22, 24, 32, 48}) {
            icon.addPixmap(badge(current.symbol, size));
        }
        m_statusItem->setIcon(icon);
    }
    m_statusItem->setToolTip(current.text);
}

void MenuBarManager::statusItemClicked(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Context) {
        showContextMenu();
    } else if (reason == QSystemTrayIcon::Trigger) {
        togglePopover();
    }
}

void MenuBarManager::togglePopover() {
    if (!m_statusItem && m_panelItem) {
        togglePopoverAt(QPoint()); // the panel does not say where its item is: at the pointer
        return;
    }
    if (!m_statusItem || !m_popover) {
        return;
    }
    if (m_popover->isVisible()) {
        m_popover->close();
        return;
    }
    if (m_popoverClosed.isValid() && m_popoverClosed.elapsed() < reopenGuardMs) {
        return;
    }
    m_popover->showBelow(m_statusItem->geometry());
}

void MenuBarManager::togglePopoverAt(QPoint hint) {
    if (m_popover && m_popover->isVisible()) {
        m_popover->close();
        return;
    }
    // The click on the panel that closed the popover as an outside click comes back as this.
    if (m_popoverClosed.isValid() && m_popoverClosed.elapsed() < reopenGuardMs) {
        return;
    }
    openPopoverAt(hint);
}

void MenuBarManager::openPopoverAt(QPoint hint) {
    if (!m_popover || m_popover->isVisible()) {
        return;
    }
    // An empty anchor places it at the cursor.
    m_popover->showBelow(hint.isNull() ? QRect() : QRect(hint, QSize(1, 1)));
}

void MenuBarManager::showContextMenu() {
    popUpMenu(QCursor::pos());
}

void MenuBarManager::popUpMenu(QPoint at) {
    if (!m_statusItem && !m_panelItem) {
        return;
    }
    delete m_contextMenu;
    m_contextMenu = new QMenu;
    m_contextMenu->setObjectName(QStringLiteral("statusItemMenu"));
    fillMenu(m_contextMenu, menuEntries());
    // Gone once closed, so the next left click reaches the item and opens the popover.
    connect(m_contextMenu, &QMenu::aboutToHide, m_contextMenu, &QObject::deleteLater);
    m_contextMenu->popup(at);
}

void MenuBarManager::stopTimerAction() {
    schedule(m_timerViewModel, [timer = m_timerViewModel] { timer->stopTimer(); });
}

void MenuBarManager::startLatestTimerAction() {
    schedule(m_timerViewModel, [timer = m_timerViewModel] {
        if (const auto latest = timer->latestEntry()) {
            timer->restartEntry(*latest);
        }
    });
}

void MenuBarManager::showMainWindow() {
    if (m_showMainWindowCallback) {
        m_showMainWindowCallback();
    }
}

} // namespace kelvo

#include "MenuBarManager.h"

#include "MenuBarView.h"
#include "PanelIcon.h"
#include "PanelPresence.h"
#include "PopoverWindow.h"
#include "records/Diagnostics.h"
#include "records/Formatting.h"
#include "state/AuthViewModel.h"
#include "state/DashboardViewModel.h"
#include "state/TimerViewModel.h"
#include "ui/Schedule.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QTimer>

namespace kelvo {

namespace {

// Qt's menu for the same entries the desktop's panel draws.
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
    m_presence = new PanelPresence([this] { return menuEntries(); }, this);
    connect(m_presence, &PanelPresence::itemActivated, this, &MenuBarManager::togglePopoverAt);
    connect(m_presence, &PanelPresence::itemSecondaryActivated, this,
            &MenuBarManager::primaryAction);
    connect(m_presence, &PanelPresence::itemMenuRequested, this,
            [this](QPoint hint) { popUpMenu(hint.isNull() ? QCursor::pos() : hint); });
    connect(m_presence, &PanelPresence::trayActivated, this, &MenuBarManager::statusItemClicked);
    // The tray icon's tooltip is refreshed every second; the panel item needs no timer.
    connect(m_presence, &PanelPresence::trayShown, this, [this](bool shown) {
        if (shown) {
            updateStatusItem();
            m_updateTimer->start();
        } else {
            m_updateTimer->stop();
        }
    });
    connect(m_presence, &PanelPresence::itemSettled, this, &MenuBarManager::itemSettled);
    // The label follows the count itself: one label per second shown, none in between.
    connect(m_timerViewModel, &TimerViewModel::elapsedTimeChanged, this,
            &MenuBarManager::updatePanelItem);
    connect(m_timerViewModel, &TimerViewModel::currentEntryChanged, this, [this] {
        updatePanelItem();
        m_presence->invalidateMenu();
    });
    connect(m_authViewModel, &AuthViewModel::isAuthenticatedChanged, m_presence,
            &PanelPresence::invalidateMenu);
    m_presence->start();
    updatePanelItem();
}

bool MenuBarManager::hasVisibleItem() const {
    return m_presence && m_presence->hasVisibleItem();
}

QSystemTrayIcon* MenuBarManager::statusItem() const {
    return m_presence ? m_presence->trayIcon() : nullptr;
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
    case PanelText::icon: // the time is in the icon itself
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

PanelIcon MenuBarManager::panelIcon() const {
    return panelIcon(title());
}

PanelIcon MenuBarManager::panelIcon(const Title& current) const {
    if (panelText() != PanelText::icon) {
        return PanelIcon(current.symbol);
    }
    const bool running = m_timerViewModel->isTimerRunning();
    return PanelIcon(current.symbol,
                     running ? PanelIcon::digitsOf(m_timerViewModel->elapsedTime()) : QStringList(),
                     true);
}

void MenuBarManager::updatePanelItem() {
    if (!m_presence || !m_presence->exportsItem()) {
        return;
    }
    const Title current = title();
    const PanelLabel label = panelLabel(current);
    m_presence->showOnItem(panelIcon(current), label.text, label.guide, current.text.mid(1));
}

std::expected<void, QString> MenuBarManager::setPanelText(PanelText mode) {
    auto stored = m_preferences->setPanelText(mode);
    if (!stored) {
        Diagnostics::print(QStringLiteral("Could not save the panel text: ") + stored.error());
    }
    updatePanelItem();
    updateStatusItem(); // the tray icon too, at once rather than at its next tick
    if (m_presence) {
        m_presence->invalidateMenu();
    }
    return stored;
}

void MenuBarManager::setAwayWatch(AwayWatch* away) {
    m_popover->view()->setAwayWatch(away);
}

void MenuBarManager::setPreferencesAction(std::function<void()> open) {
    m_openPreferences = std::move(open);
    if (m_presence) {
        m_presence->invalidateMenu();
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
                            choice(QStringLiteral("In the Icon"), PanelText::icon),
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
    if (m_presence) {
        const Title current = title();
        m_presence->showOnTray(panelIcon(current), current.text);
    }
}

void MenuBarManager::statusItemClicked(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Context) {
        showContextMenu();
    } else if (reason == QSystemTrayIcon::Trigger) {
        togglePopover();
    }
}

void MenuBarManager::togglePopover() {
    if (!m_popover) {
        return;
    }
    if (QSystemTrayIcon* tray = statusItem()) {
        m_popover->toggleBelow(tray->geometry());
    } else if (m_presence && m_presence->exportsItem()) {
        togglePopoverAt(QPoint()); // the panel does not say where its item is: at the pointer
    }
}

void MenuBarManager::togglePopoverAt(QPoint hint) {
    if (m_popover) {
        // An empty anchor places it at the cursor.
        m_popover->toggleBelow(hint.isNull() ? QRect() : QRect(hint, QSize(1, 1)));
    }
}

void MenuBarManager::openPopoverAt(QPoint hint) {
    if (m_popover && !m_popover->isVisible()) {
        m_popover->showBelow(hint.isNull() ? QRect() : QRect(hint, QSize(1, 1)));
    }
}

void MenuBarManager::showContextMenu() {
    popUpMenu(QCursor::pos());
}

void MenuBarManager::popUpMenu(QPoint at) {
    if (!statusItem() && !(m_presence && m_presence->exportsItem())) {
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

#include "MenuBarManager.h"

#include "MenuBarView.h"
#include "PopoverWindow.h"
#include "records/Formatting.h"
#include "state/DashboardViewModel.h"
#include "state/TimerViewModel.h"
#include "ui/Schedule.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QCursor>
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
} // namespace

MenuBarManager::MenuBarManager(TimerViewModel* timerViewModel, AuthViewModel* authViewModel,
                               std::function<void()> showMainWindowCallback, QObject* parent)
    : QObject(parent)
    , m_timerViewModel(timerViewModel)
    , m_authViewModel(authViewModel)
    , m_showMainWindowCallback(std::move(showMainWindowCallback)) {}

MenuBarManager::~MenuBarManager() {
    delete m_popover;
    delete m_contextMenu;
}

void MenuBarManager::setupMenuBar() {
    m_statusItem = new QSystemTrayIcon(this);
    connect(m_statusItem, &QSystemTrayIcon::activated, this, &MenuBarManager::statusItemClicked);
    setupPopover();
    updateStatusItem();
    m_statusItem->show();
    m_updateTimer = new QTimer(this);
    m_updateTimer->setInterval(1000);
    connect(m_updateTimer, &QTimer::timeout, this, &MenuBarManager::updateStatusItem);
    m_updateTimer->start();
}

void MenuBarManager::setupPopover() {
    // The popover's figures are its own, kept across every rebuild of the dashboard.
    auto* earnings = new DashboardViewModel(m_timerViewModel->apiClient(),
                                            DashboardViewModel::ShownBy::popover, this);
    m_popover =
        new PopoverWindow(new MenuBarView(m_timerViewModel, m_authViewModel, earnings, this));
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

void MenuBarManager::showContextMenu() {
    if (!m_statusItem) {
        return;
    }
    delete m_contextMenu;
    m_contextMenu = new QMenu;
    m_contextMenu->setObjectName(QStringLiteral("statusItemMenu"));
    if (m_timerViewModel->isTimerRunning()) {
        m_contextMenu->addAction(QStringLiteral("Stop Timer"), this,
                                 &MenuBarManager::stopTimerAction);
    } else {
        m_contextMenu->addAction(QStringLiteral("Start Latest Timer"), this,
                                 &MenuBarManager::startLatestTimerAction);
    }
    m_contextMenu->addSeparator();
    m_contextMenu->addAction(QStringLiteral("Show Window"), this, &MenuBarManager::showMainWindow);
    QAction* quit = m_contextMenu->addAction(QStringLiteral("Quit"), qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Gone once closed, so the next left click reaches the item and opens the popover.
    connect(m_contextMenu, &QMenu::aboutToHide, m_contextMenu, &QObject::deleteLater);
    m_contextMenu->popup(QCursor::pos());
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

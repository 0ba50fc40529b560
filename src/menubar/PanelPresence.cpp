#include "PanelPresence.h"

#include "PanelIcon.h"
#include "panel/DBusMenu.h"
#include "panel/StatusNotifierItem.h"
#include "panel/StatusNotifierWatch.h"

#include <QDBusConnection>
#include <QTimer>

namespace kelvo {

PanelPresence::PanelPresence(MenuBuilder menu, QObject* parent)
    : QObject(parent)
    , m_menu(std::move(menu)) {}

void PanelPresence::start() {
    if (!exportItem()) {
        createTray(); // no session bus: the tray icon, as ever
        return;
    }
    m_fallbackTimer = new QTimer(this);
    m_fallbackTimer->setSingleShot(true);
    m_fallbackTimer->setInterval(std::chrono::seconds(3));
    connect(m_fallbackTimer, &QTimer::timeout, this, &PanelPresence::createTray);
    m_watch = new StatusNotifierWatch(QDBusConnection::sessionBus(), this);
    connect(m_watch, &StatusNotifierWatch::watcherAppeared, this, [this] {
        m_watcherAnswered = true;
        m_fallbackTimer->stop();
        removeTray();
        m_itemMenu->forgetOpen();
    });
    connect(m_watch, &StatusNotifierWatch::watcherAbsent, this, [this] {
        m_itemMenu->forgetOpen();
        // Missing at start there is nothing to wait for; a watcher that vanished may be a panel
        // restarting.
        if (!std::exchange(m_watcherAnswered, true)) {
            createTray();
        } else {
            m_fallbackTimer->start();
        }
    });
    connect(m_watch, &StatusNotifierWatch::settled, this, &PanelPresence::itemSettled);
    m_watch->start();
}

void PanelPresence::setFallbackDelay(std::chrono::milliseconds delay) {
    if (m_fallbackTimer) {
        m_fallbackTimer->setInterval(delay);
    }
}

bool PanelPresence::exportItem() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    registerPanelDBusTypes();
    m_item = new StatusNotifierItem(this);
    m_itemMenu = new DBusMenu(m_menu, this);
    constexpr auto exported = QDBusConnection::ExportScriptableSlots |
                              QDBusConnection::ExportScriptableSignals |
                              QDBusConnection::ExportScriptableProperties;
    if (!bus.registerObject(QString::fromLatin1(StatusNotifierItem::path), m_item, exported) ||
        !bus.registerObject(QString::fromLatin1(StatusNotifierItem::menuPath), m_itemMenu,
                            exported)) {
        delete m_item;
        delete m_itemMenu;
        m_item = nullptr;
        m_itemMenu = nullptr;
        return false;
    }
    connect(m_item, &StatusNotifierItem::activated, this, &PanelPresence::itemActivated);
    connect(m_item, &StatusNotifierItem::secondaryActivated, this,
            &PanelPresence::itemSecondaryActivated);
    connect(m_item, &StatusNotifierItem::contextMenuRequested, this,
            &PanelPresence::itemMenuRequested);
    return true;
}

void PanelPresence::createTray() {
    if (m_tray || (m_watch && m_watch->hasWatcher())) {
        return;
    }
    // Only here, with no watcher: Qt's check asks the watcher and keeps its answer for good.
    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    m_tray = new QSystemTrayIcon(this);
    connect(m_tray, &QSystemTrayIcon::activated, this, &PanelPresence::trayActivated);
    m_trayIconKey.clear();
    Q_EMIT trayShown(true); // its owner fills it in
    m_tray->show();
    Q_EMIT itemSettled();
}

void PanelPresence::removeTray() {
    if (!m_tray) {
        return;
    }
    delete m_tray;
    m_tray = nullptr;
    Q_EMIT trayShown(false);
}

bool PanelPresence::hasVisibleItem() const {
    return (m_watch && m_watch->isShown()) || (m_tray && m_trayAvailable);
}

void PanelPresence::showOnItem(const PanelIcon& icon, const QString& label, const QString& guide,
                               const QString& toolTip) {
    if (!m_item) {
        return;
    }
    // A live icon changes every minute: a file of it would go stale and new ones pile up.
    m_item->setIcon(
        icon.key(), [&icon](int size) { return icon.image(size); }, PanelIcon::sizes,
        icon.isLive() ? StatusNotifierItem::IconFile::none : StatusNotifierItem::IconFile::written);
    m_item->setLabel(label, guide);
    m_item->setToolTipText(toolTip);
}

void PanelPresence::showOnTray(const PanelIcon& icon, const QString& toolTip) {
    if (!m_tray) {
        return;
    }
    // Only a change of what the icon shows repaints it; the tooltip is cheap to replace every
    // second.
    if (icon.key() != m_trayIconKey) {
        m_trayIconKey = icon.key();
        m_tray->setIcon(icon.icon());
    }
    m_tray->setToolTip(toolTip);
}

void PanelPresence::invalidateMenu() {
    if (m_itemMenu) {
        m_itemMenu->invalidate();
    }
}

} // namespace kelvo

#pragma once

#include "panel/MenuEntry.h"

#include <QObject>
#include <QPoint>
#include <QSystemTrayIcon>

#include <chrono>
#include <functional>

class QTimer;

namespace kelvo {

class DBusMenu;
class PanelIcon;
class StatusNotifierItem;
class StatusNotifierWatch;

// Kelvo in the desktop's panel. Where the session has a bus, Kelvo's own StatusNotifierItem (the
// label beside the icon, the tooltip, the menu drawn by the panel), shown once a watcher takes
// it; where no watcher answers at start, a classic tray icon at once; when the watcher goes away,
// the tray icon after a grace period (a panel may be restarting), and the item again when a
// watcher comes back. Without a bus, the tray icon as ever.
class PanelPresence : public QObject {
    Q_OBJECT
public:
    using MenuBuilder = std::function<QList<MenuEntry>()>;

    // `menu` builds the item's menu whenever the panel asks for it.
    explicit PanelPresence(MenuBuilder menu, QObject* parent = nullptr);

    void start();
    // Whether anything of the program can be seen in the panel: the item shown by a host, or the
    // tray icon in a tray.
    bool hasVisibleItem() const;
    // Whether the panel item is on the bus (a host may or may not show it).
    bool exportsItem() const { return m_item != nullptr; }
    // The tray icon, while it stands in for the item.
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    // How long a vanished watcher may take to come back before the tray icon replaces the item.
    void setFallbackDelay(std::chrono::milliseconds delay);

    // What the item shows: the icon, the label (and the widest text of its format) and the
    // tooltip. Only what changed reaches the panel.
    void showOnItem(const PanelIcon& icon, const QString& label, const QString& guide,
                    const QString& toolTip);
    // What the tray icon shows: the icon (drawn again only when it changes) and the tooltip.
    void showOnTray(const PanelIcon& icon, const QString& toolTip);
    // The menu's entries may have changed.
    void invalidateMenu();

Q_SIGNALS:
    // The panel item was clicked at `hint` ((0, 0) when the panel does not say where).
    void itemActivated(QPoint hint);
    void itemSecondaryActivated();
    void itemMenuRequested(QPoint hint);
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    // The tray icon came (true) or went (false).
    void trayShown(bool shown);
    // Whether the item can be seen is known (see hasVisibleItem()); again after each change.
    void itemSettled();

private:
    bool exportItem();
    void createTray();
    void removeTray();

    MenuBuilder m_menu;
    StatusNotifierItem* m_item = nullptr;
    DBusMenu* m_itemMenu = nullptr;
    StatusNotifierWatch* m_watch = nullptr;
    QTimer* m_fallbackTimer = nullptr;
    bool m_watcherAnswered = false;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_trayAvailable = false;
    QString m_trayIconKey;
};

} // namespace kelvo

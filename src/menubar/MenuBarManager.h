#pragma once

#include "panel/MenuEntry.h"
#include "state/Preferences.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <chrono>
#include <expected>
#include <functional>

class QMenu;
class QTimer;

namespace kelvo {

class AuthViewModel;
class DashboardViewModel;
class DBusMenu;
class MenuBarView;
class StatusNotifierItem;
class StatusNotifierWatch;
class PopoverWindow;
class TimerViewModel;

// The status item: a play or stop symbol with the running time. Where the session has a
// StatusNotifierWatcher it is Kelvo's own panel item, the time as its label beside the icon and
// its menu drawn by the panel; elsewhere a tray icon with the time as its tooltip, refreshed
// every second. Activating it opens or closes the popover panel; its menu starts the latest
// timer or stops the running one, shows the window, quits, opens the panel and picks the
// panel text.
class MenuBarManager : public QObject {
    Q_OBJECT
public:
    // What the item shows: the symbol, and the text with its font size as a menu-bar title
    // would draw it (the tray shows the text as the icon's tooltip).
    struct Title {
        QString symbol;
        QString text;
        int fontSize = 12;
        bool operator==(const Title&) const = default;
    };

    using PanelText = Preferences::PanelText;
    struct PanelLabel {
        QString text;
        QString guide; // the widest text of the format
        bool operator==(const PanelLabel&) const = default;
    };

    // `preferences` say what the label shows; `earnings` are the popover's own figures, kept
    // (and owned) for the life of the manager.
    MenuBarManager(TimerViewModel* timerViewModel, AuthViewModel* authViewModel,
                   std::function<void()> showMainWindowCallback, Preferences* preferences,
                   DashboardViewModel* earnings, QObject* parent = nullptr);
    ~MenuBarManager() override;

    void setupMenuBar();
    void updateStatusItem();
    Title title() const;
    PanelLabel panelLabel() const;
    PanelLabel panelLabel(const Title& current) const;
    PanelText panelText() const;
    // Applies at once and is kept in the settings file; the error says why it could not be kept.
    std::expected<void, QString> setPanelText(PanelText mode);
    // Adds "Preferences…" to the menus, opening them with `open`.
    void setPreferencesAction(std::function<void()> open);
    QList<MenuEntry> menuEntries();
    // Whether anything of the program can be seen in the panel: the item shown by a host, or
    // the tray icon in a tray.
    bool hasVisibleItem() const;
    // How long a vanished watcher may take to come back before the tray icon replaces it.
    void setFallbackDelay(std::chrono::milliseconds delay);

    void statusItemClicked(QSystemTrayIcon::ActivationReason reason);
    void togglePopover();
    // From the panel item: at the clicked point, or at the cursor when it is (0, 0).
    void togglePopoverAt(QPoint hint);
    void showContextMenu();
    void stopTimerAction();
    void startLatestTimerAction();
    void showMainWindow();

Q_SIGNALS:
    // Whether the item can be seen is known (see hasVisibleItem()); again after each change.
    void itemSettled();

public:
    QSystemTrayIcon* statusItem() const { return m_statusItem; }
    StatusNotifierItem* panelItem() const { return m_panelItem; }
    DBusMenu* panelMenu() const { return m_panelMenu; }
    PopoverWindow* popover() const { return m_popover; }
    MenuBarView* panel() const;
    QMenu* contextMenu() const { return m_contextMenu; }
    const std::function<void()>& showMainWindowCallback() const { return m_showMainWindowCallback; }

private:
    void setupPopover();
    bool exportPanelItem();
    void createFallback();
    void removeFallback();
    void updatePanelItem();
    void primaryAction();
    void openPopoverAt(QPoint hint);
    void popUpMenu(QPoint at);

    TimerViewModel* m_timerViewModel;
    AuthViewModel* m_authViewModel;
    std::function<void()> m_showMainWindowCallback;
    QSystemTrayIcon* m_statusItem = nullptr;
    PopoverWindow* m_popover = nullptr;
    QTimer* m_updateTimer = nullptr;
    QPointer<QMenu> m_contextMenu;
    QString m_shownSymbol;
    QElapsedTimer m_popoverClosed;
    StatusNotifierItem* m_panelItem = nullptr;
    DBusMenu* m_panelMenu = nullptr;
    StatusNotifierWatch* m_watch = nullptr;
    QTimer* m_fallbackTimer = nullptr;
    bool m_trayAvailable = false;
    bool m_watcherAnswered = false;
    Preferences* m_preferences;
    DashboardViewModel* m_earnings;
    std::function<void()> m_openPreferences;
};

} // namespace kelvo

#pragma once

#include "panel/MenuEntry.h"
#include "state/Preferences.h"

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
class AwayWatch;
class DashboardViewModel;
class PanelIcon;
class PanelPresence;
class PopoverWindow;
class TimerViewModel;

// The status item: a play or stop symbol with the running time, shown by the panel presence
// (Kelvo's own panel item with the time as its label, or a tray icon with the time as its
// tooltip, refreshed every second). Activating it opens or closes the popover; its menu starts
// the latest timer or stops the running one, shows the window, quits, opens the popover and picks
// the panel text.
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
    // The item's icon: the symbol, or in the digits' mode the running time's digits.
    PanelIcon panelIcon() const;
    // Applies at once and is kept in the settings file; the error says why it could not be kept.
    std::expected<void, QString> setPanelText(PanelText mode);
    // The popover says, above its Resume, when a timer was stopped while the user was away.
    void setAwayWatch(AwayWatch* away);
    // Adds "Preferences…" to the menus, opening them with `open`.
    void setPreferencesAction(std::function<void()> open);
    QList<MenuEntry> menuEntries();
    // Whether anything of the program can be seen in the panel (see PanelPresence).
    bool hasVisibleItem() const;
    PanelPresence* presence() const { return m_presence; }

    void statusItemClicked(QSystemTrayIcon::ActivationReason reason);
    // Below the tray icon; where the panel item stands in for it, at the pointer.
    void togglePopover();
    void showContextMenu();
    void stopTimerAction();
    void startLatestTimerAction();
    void showMainWindow();

Q_SIGNALS:
    // Whether the item can be seen is known (see hasVisibleItem()); again after each change.
    void itemSettled();

public:
    // The tray icon, while it stands in for the panel item.
    QSystemTrayIcon* statusItem() const;
    PopoverWindow* popover() const { return m_popover; }
    const std::function<void()>& showMainWindowCallback() const { return m_showMainWindowCallback; }

private:
    void setupPopover();
    void updatePanelItem();
    PanelIcon panelIcon(const Title& current) const;
    void primaryAction();
    // From the panel item: at the clicked point, or at the cursor when it is (0, 0).
    void togglePopoverAt(QPoint hint);
    void openPopoverAt(QPoint hint);
    void popUpMenu(QPoint at);

    TimerViewModel* m_timerViewModel;
    AuthViewModel* m_authViewModel;
    std::function<void()> m_showMainWindowCallback;
    PanelPresence* m_presence = nullptr;
    PopoverWindow* m_popover = nullptr;
    QTimer* m_updateTimer = nullptr;
    QPointer<QMenu> m_contextMenu;
    Preferences* m_preferences;
    DashboardViewModel* m_earnings;
    std::function<void()> m_openPreferences;
};

} // namespace kelvo

#pragma once

#include <QElapsedTimer>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>

class QMenu;
class QTimer;

namespace kelvo {

class AuthViewModel;
class MenuBarView;
class PopoverWindow;
class TimerViewModel;

// The tray item: a play or stop symbol whose tooltip is the running time, refreshed every
// second. A left click opens or closes the popover panel, a right click pops up a small menu
// (start the latest timer or stop the running one, show the window, quit).
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

    MenuBarManager(TimerViewModel* timerViewModel, AuthViewModel* authViewModel,
                   std::function<void()> showMainWindowCallback, QObject* parent = nullptr);
    ~MenuBarManager() override;

    void setupMenuBar();
    void updateStatusItem();
    Title title() const;

    void statusItemClicked(QSystemTrayIcon::ActivationReason reason);
    void togglePopover();
    void showContextMenu();
    void stopTimerAction();
    void startLatestTimerAction();
    void showMainWindow();

    QSystemTrayIcon* statusItem() const { return m_statusItem; }
    PopoverWindow* popover() const { return m_popover; }
    MenuBarView* panel() const;
    QMenu* contextMenu() const { return m_contextMenu; }
    const std::function<void()>& showMainWindowCallback() const { return m_showMainWindowCallback; }

private:
    void setupPopover();

    TimerViewModel* m_timerViewModel;
    AuthViewModel* m_authViewModel;
    std::function<void()> m_showMainWindowCallback;
    QSystemTrayIcon* m_statusItem = nullptr;
    PopoverWindow* m_popover = nullptr;
    QTimer* m_updateTimer = nullptr;
    QPointer<QMenu> m_contextMenu;
    QString m_shownSymbol;
    QElapsedTimer m_popoverClosed;
};

} // namespace kelvo

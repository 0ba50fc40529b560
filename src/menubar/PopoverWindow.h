#pragma once

#include <QWidget>

namespace kelvo {

class MenuBarView;

// The popover: a frameless pop-up of 300 x 400 holding the panel, placed below the tray item
// (or at the cursor when the item's place is unknown) and kept on screen. A click outside it
// closes it, except a right click on the tray item itself.
class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    explicit PopoverWindow(MenuBarView* panel);

    MenuBarView* panel() const { return m_panel; }
    void showBelow(const QRect& anchor);
    // Where the popover goes for `anchor` on a screen whose usable area is `available`.
    static QPoint placement(const QRect& anchor, const QPoint& cursor, const QRect& available);

Q_SIGNALS:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;
    // Opens with the keyboard focus on its first control (Escape closes it, as any popup).
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    MenuBarView* m_panel;
    // Where the tray item is, on screen, while the popover hangs from it.
    QRect m_anchor;
};

} // namespace kelvo

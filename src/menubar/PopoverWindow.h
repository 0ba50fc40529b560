#pragma once

#include <QElapsedTimer>
#include <QWidget>

namespace kelvo {

class MenuBarView;

// The popover: a frameless pop-up of 300 x 400 holding its view, placed below the tray item (or
// at the cursor when the item's place is unknown) and kept on screen. A click outside it closes
// it, except a right click on the tray item itself; the click that closed it, which the item
// then reports as an activation of its own, does not open it again.
class PopoverWindow : public QWidget {
    Q_OBJECT
public:
    explicit PopoverWindow(MenuBarView* view);

    MenuBarView* view() const { return m_view; }
    void showBelow(const QRect& anchor);
    // Closes it when open, else opens it below `anchor` (at the cursor when it is empty).
    void toggleBelow(const QRect& anchor);
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
    MenuBarView* m_view;
    // Where the tray item is, on screen, while the popover hangs from it.
    QRect m_anchor;
    QElapsedTimer m_closed;
};

} // namespace kelvo

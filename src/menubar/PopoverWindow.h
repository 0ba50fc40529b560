#pragma once

#include <QWidget>

namespace kelvo {

class MenuBarView;

// The popover: a frameless pop-up of 300 x 400 holding the panel, placed below the tray item
// (or at the cursor when the item's place is unknown) and kept on screen. A click outside it
// closes it.
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

private:
    MenuBarView* m_panel;
};

} // namespace kelvo

#pragma once

#include "Button.h"

namespace kelvo {

// A text button in the program's own bordered style: the control colour with a faint edge and
// room around its title. Buttons that sit side by side can be given one width.
class BorderedButton : public Button {
    Q_OBJECT
public:
    BorderedButton(const QString& text, int pixelSize, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // Makes every button as wide as the widest of them.
    static void equalizeWidths(const QList<BorderedButton*>& buttons);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kelvo

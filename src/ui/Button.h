#pragma once

#include <QAbstractButton>

namespace kelvo {

// A button of this program: besides Space, Return or Enter presses it while it has the focus.
// (No button is a default one: Return in a text field presses nothing.)
class Button : public QAbstractButton {
    Q_OBJECT
public:
    using QAbstractButton::QAbstractButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace kelvo

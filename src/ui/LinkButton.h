#pragma once

#include "Button.h"
#include <QColor>

namespace kelvo {

// A button that reads like a word of the sentence it ends: its title in one colour, with no
// padding, so it sits one space away from the text before it.
class LinkButton : public Button {
    Q_OBJECT
public:
    LinkButton(const QString& text, const QColor& color, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

} // namespace kelvo

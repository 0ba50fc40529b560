#include "LinkButton.h"

#include "FocusRing.h"

#include <QPainter>

namespace kelvo {

LinkButton::LinkButton(const QString& text, const QColor& color, QWidget* parent)
    : Button(parent)
    , m_color(color) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
}

QSize LinkButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text()), fontMetrics().height()};
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setOpacity(isDown() ? 0.7 : 1.0);
    painter.setPen(m_color);
    painter.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft, text());
    FocusRing::paint(painter, *this, rect(), 4);
}

} // namespace kelvo

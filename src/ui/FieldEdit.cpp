#include "FieldEdit.h"

#include <QPainter>

namespace kelvo {

FieldEdit::FieldEdit(const QString& placeholder, QWidget* parent) : QLineEdit(parent) {
    setPlaceholderText(placeholder);
    setMinimumHeight(28);
}

void FieldEdit::setOutline(const QColor& color) {
    if (color != m_outline) {
        m_outline = color;
        update();
    }
}

void FieldEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    if (m_outline.alpha() == 0) {
        return;
    }
    QPainter painter(this);
    painter.setPen(QPen(m_outline, 1));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace kelvo

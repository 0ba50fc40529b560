#include "FieldEdit.h"

#include "ControlBox.h"
#include "Theme.h"

#include <QPainter>

namespace kelvo {

namespace {
// QLineEdit keeps a margin of its own beside the text.
constexpr int builtInMargin = 2;
constexpr int textMargin = ControlBox::horizontalPadding - builtInMargin;
} // namespace

FieldEdit::FieldEdit(const QString& placeholder, QWidget* parent) : QLineEdit(parent) {
    setPlaceholderText(placeholder);
    setFrame(false);
    setTextMargins(textMargin, 0, textMargin, 0);
    // The rounded box is drawn here; the line edit draws only the text over it.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    // The line edit draws the placeholder itself: dimmed here as the box is while disabled.
    const QColor shown = palette.color(QPalette::Active, QPalette::PlaceholderText);
    palette.setColor(QPalette::Disabled, QPalette::PlaceholderText,
                     Theme::withOpacity(shown, shown.alphaF() * ControlBox::disabledOpacity));
    setPalette(palette);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize FieldEdit::sizeHint() const {
    return {QLineEdit::sizeHint().width(), ControlBox::height(fontMetrics())};
}

QSize FieldEdit::minimumSizeHint() const {
    return {QLineEdit::minimumSizeHint().width(), sizeHint().height()};
}

void FieldEdit::setOutline(const QColor& color) {
    if (color != m_outline) {
        m_outline = color;
        update();
    }
}

void FieldEdit::paintEvent(QPaintEvent* event) {
    {
        // The same box as the pull-down choosers.
        QPainter painter(this);
        ControlBox::paint(painter, rect(), isEnabled(), hasFocus());
    }
    QLineEdit::paintEvent(event);
    if (m_outline.alpha() == 0) {
        return;
    }
    QPainter painter(this);
    painter.setPen(QPen(m_outline, 1));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace kelvo

#include "FieldEdit.h"

#include "Theme.h"

#include <QPainter>

namespace kelvo {

namespace {
// The same box as the pull-down choosers: 8 px beside the text, 6 above and below it.
constexpr int horizontalPadding = 8;
constexpr int verticalPadding = 6;
constexpr qreal cornerRadius = 6;
// QLineEdit keeps a margin of its own beside the text.
constexpr int builtInMargin = 2;
constexpr qreal disabledOpacity = 0.45;
} // namespace

FieldEdit::FieldEdit(const QString& placeholder, QWidget* parent) : QLineEdit(parent) {
    setPlaceholderText(placeholder);
    setFrame(false);
    setTextMargins(horizontalPadding - builtInMargin, 0, horizontalPadding - builtInMargin, 0);
    // The rounded box is drawn here; the line edit draws only the text over it.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    setPalette(palette);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize FieldEdit::sizeHint() const {
    return {QLineEdit::sizeHint().width(), fontMetrics().height() + 2 * verticalPadding};
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
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(isEnabled() ? 1.0 : disabledOpacity);
        painter.setPen(hasFocus() ? QPen(Theme::blue(), 1) : Qt::NoPen);
        painter.setBrush(Theme::controlBackground());
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius,
                                cornerRadius);
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

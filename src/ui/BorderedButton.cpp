#include "BorderedButton.h"

#include "Theme.h"

#include "FocusRing.h"

#include <QPainter>

namespace kelvo {

namespace {
constexpr int horizontalPadding = 14;
constexpr int verticalPadding = 5;
constexpr qreal cornerRadius = 6;
} // namespace

BorderedButton::BorderedButton(const QString& text, int pixelSize, QWidget* parent)
    : Button(parent) {
    setText(text);
    setFont(Theme::systemFont(pixelSize));
    setCursor(Qt::PointingHandCursor);
}

QSize BorderedButton::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text()) + 2 * horizontalPadding,
            fontMetrics().height() + 2 * verticalPadding};
}

void BorderedButton::equalizeWidths(const QList<BorderedButton*>& buttons) {
    int widest = 0;
    for (const BorderedButton* button : buttons) {
        widest = qMax(widest, button->sizeHint().width());
    }
    for (BorderedButton* button : buttons) {
        button->setFixedWidth(widest);
    }
}

void BorderedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : 0.5);
    painter.setPen(QPen(Theme::hairline(), 1));
    painter.setBrush(isDown() ? Theme::controlBackground().lighter(130)
                              : Theme::controlBackground());
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius,
                            cornerRadius);
    painter.setPen(Theme::primaryText());
    painter.drawText(rect(), Qt::AlignCenter, text());
    FocusRing::paint(painter, *this, rect(), cornerRadius);
}

} // namespace kelvo

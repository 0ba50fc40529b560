#include "PillButton.h"

#include "Symbols.h"
#include "Theme.h"

#include "FocusRing.h"

#include <QPainter>

namespace kelvo {

namespace {
constexpr int horizontalMargin = 16;
constexpr int verticalMargin = 6;
constexpr int symbolSize = 12;
constexpr int spacing = 6;
} // namespace

PillButton::PillButton(const QString& symbol, const QString& text, const QColor& fill,
                       QWidget* parent)
    : Button(parent) {
    setFont(Theme::systemFont(12, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setContent(symbol, text, fill);
}

void PillButton::setContent(const QString& symbol, const QString& text, const QColor& fill) {
    m_symbol = symbol;
    m_fill = fill;
    setText(text);
    updateGeometry();
    update();
}

QSize PillButton::sizeHint() const {
    const int textWidth = fontMetrics().horizontalAdvance(text());
    const int symbolWidth = m_symbol.isEmpty() ? 0 : symbolSize + spacing;
    return {2 * horizontalMargin + symbolWidth + textWidth,
            2 * verticalMargin + qMax(symbolSize, fontMetrics().height())};
}

void PillButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(!isEnabled() ? 0.5 : isDown() ? 0.8 : 1.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_fill);
    painter.drawRoundedRect(QRectF(rect()), 6, 6);
    const QSize hint = sizeHint();
    qreal x = (width() - hint.width()) / 2.0 + horizontalMargin;
    if (!m_symbol.isEmpty()) {
        painter.drawPixmap(QPointF(x, (height() - symbolSize) / 2.0),
                           Symbols::pixmap(m_symbol, Qt::white, symbolSize, devicePixelRatioF()));
        x += symbolSize + spacing;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    FocusRing::paint(painter, *this, rect(), 6);
}

} // namespace kelvo

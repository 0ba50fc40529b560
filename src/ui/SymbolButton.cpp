#include "SymbolButton.h"

#include "Symbols.h"

#include "FocusRing.h"

#include <QPainter>

namespace kelvo {

SymbolButton::SymbolButton(const QString& symbol, const QColor& color, int pixelSize,
                           QWidget* parent)
    : Button(parent)
    , m_symbol(symbol)
    , m_color(color)
    , m_pixelSize(pixelSize) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(sizeHint());
}

QSize SymbolButton::sizeHint() const {
    return {m_pixelSize + 6, m_pixelSize + 6};
}

void SymbolButton::setRotation(qreal degrees) {
    m_rotation = degrees;
    update();
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(!isEnabled() ? 0.35 : isDown() ? 0.6 : 1.0);
    const QPixmap pixmap = Symbols::pixmap(m_symbol, m_color, m_pixelSize, devicePixelRatioF());
    painter.save();
    painter.translate(QRectF(rect()).center());
    painter.rotate(m_rotation);
    painter.drawPixmap(QPointF(-m_pixelSize / 2.0, -m_pixelSize / 2.0), pixmap);
    painter.restore();
    FocusRing::paint(painter, *this, rect(), 4);
}

} // namespace kelvo

#include "CircleButton.h"

#include "Symbols.h"
#include "Theme.h"

#include "FocusRing.h"

#include <QPainter>

namespace kelvo {

namespace {
constexpr int ringMargin = 4;
} // namespace

CircleButton::CircleButton(Content content, const QColor& fill, int diameter, QWidget* parent)
    : Button(parent)
    , m_content(content)
    , m_fill(fill)
    , m_diameter(diameter) {
    // Room around the circle for the focus ring, clear of the fill.
    setFixedSize(diameter + 2 * ringMargin, diameter + 2 * ringMargin);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void CircleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) {
        painter.setOpacity(0.4);
    } else if (isDown()) {
        painter.setOpacity(0.75);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_fill);
    painter.drawEllipse(QRectF(rect()).adjusted(ringMargin, ringMargin, -ringMargin, -ringMargin));
    FocusRing::paintRound(painter, *this, rect());
    painter.setPen(Qt::NoPen);
    const QPointF centre = QRectF(rect()).center();
    if (m_content == Content::stop) {
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(centre.x() - 9, centre.y() - 9, 18, 18), 2, 2);
        return;
    }
    const int size = Theme::pixelSize(Theme::TextStyle::title);
    const QPixmap play =
        Symbols::pixmap(QStringLiteral("play.fill"), Qt::white, size, devicePixelRatioF());
    // The triangle's visual centre sits right of its box centre; nudge it like a play glyph.
    painter.drawPixmap(QPointF(centre.x() - size / 2.0 + 1, centre.y() - size / 2.0), play);
}

} // namespace kelvo

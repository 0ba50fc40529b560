#include "ControlBox.h"

#include "Theme.h"

#include <QFontMetrics>
#include <QPainter>

namespace kelvo {

namespace {
constexpr qreal cornerRadius = 6;
} // namespace

int ControlBox::height(const QFontMetrics& metrics) {
    return metrics.height() + 2 * verticalPadding;
}

void ControlBox::paint(QPainter& painter, const QRectF& rect, bool enabled, bool focused) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(enabled ? 1.0 : disabledOpacity);
    // The box's own edge, 2 px in blue, shows the focus: a field being typed in shows it
    // whether it was reached by keyboard or by a click.
    painter.setPen(focused ? QPen(Theme::blue(), 2) : QPen(Qt::NoPen));
    painter.setBrush(Theme::controlBackground());
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), cornerRadius, cornerRadius);
}

} // namespace kelvo

#include "FocusRing.h"

#include "Theme.h"

#include <QPainter>
#include <QWidget>

namespace kelvo {

namespace {

QRectF inside(const QRectF& rect) {
    const qreal half = FocusRing::width / 2;
    return rect.adjusted(half, half, -half, -half);
}

bool prepare(QPainter& painter, const QWidget& widget) {
    if (!FocusRing::shows(widget)) {
        return false;
    }
    painter.setOpacity(1.0);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::blue(), FocusRing::width));
    painter.setBrush(Qt::NoBrush);
    return true;
}

} // namespace

bool FocusRing::shows(const QWidget& widget) {
    // Once the keyboard has moved the focus in this window (Qt marks it so), as the widget
    // style does: a click does not leave a ring behind for someone using the mouse.
    return widget.hasFocus() && widget.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void FocusRing::paint(QPainter& painter, const QWidget& widget, const QRectF& rect, qreal radius) {
    if (prepare(painter, widget)) {
        painter.drawRoundedRect(inside(rect), radius, radius);
    }
}

void FocusRing::paintRound(QPainter& painter, const QWidget& widget, const QRectF& rect) {
    if (prepare(painter, widget)) {
        painter.drawEllipse(inside(rect));
    }
}

} // namespace kelvo

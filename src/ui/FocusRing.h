#pragma once

#include <QRectF>

class QPainter;
class QWidget;

namespace kelvo {

// The ring every control draws while it has the focus and the keyboard is in use: 2 px in the
// program's blue, along the control's own edge, so that where the focus is can always be seen.
class FocusRing {
public:
    static constexpr qreal width = 2;

    // Whether `widget` shows the ring now: it has the focus, and the keyboard has moved the
    // focus in its window.
    static bool shows(const QWidget& widget);

    // Along the inside of `rect`, rounded by `radius`, when `widget` has focus.
    static void paint(QPainter& painter, const QWidget& widget, const QRectF& rect, qreal radius);
    // A circle along the inside of `rect`, when `widget` has focus.
    static void paintRound(QPainter& painter, const QWidget& widget, const QRectF& rect);
};

} // namespace kelvo

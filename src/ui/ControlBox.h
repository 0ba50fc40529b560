#pragma once

#include <QRectF>

class QFontMetrics;
class QPainter;

namespace kelvo {

// The rounded box of the program's input controls, text fields and pull-down choosers alike:
// the control colour, 8 px beside the content and 6 above and below it, dimmed while disabled.
class ControlBox {
public:
    static constexpr int horizontalPadding = 8;
    static constexpr int verticalPadding = 6;
    // How far the whole box fades while disabled.
    static constexpr qreal disabledOpacity = 0.45;

    // The height of a box around one line of text.
    static int height(const QFontMetrics& metrics);
    // Draws the box, with a thin blue edge when `focused`, and leaves `painter` at the box's
    // opacity so that content drawn next dims with it.
    static void paint(QPainter& painter, const QRectF& rect, bool enabled, bool focused = false);
};

} // namespace kelvo

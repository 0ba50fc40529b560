#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include <optional>

namespace kelvo {

// The one home of the program's look: its colours (the named colours of the records among them),
// its text styles in device-independent pixels, and the palette built from them.
class Theme {
public:
    enum class TextStyle { title, title2, title3, headline, body, subheadline, caption };

    // The style's size and weight; `weight` overrides the style's own when given.
    static QFont font(TextStyle style, std::optional<QFont::Weight> weight = std::nullopt);
    // The system font at `pixelSize` with `weight`.
    static QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);
    // The system monospace family at `pixelSize`.
    static QFont monospaceFont(int pixelSize, QFont::Weight weight = QFont::Normal);
    static int pixelSize(TextStyle style);
    // The dark palette every window uses.
    static QPalette palette();

    static QColor windowBackground();
    static QColor controlBackground();
    static QColor primaryText();
    static QColor secondaryText();
    static QColor blue();
    static QColor red();
    static QColor green();
    // The platform grey; it also stands in for a missing or unreadable project colour.
    static QColor grey();

    // The named colours of the dashboard and the popover.
    static QColor appBackground();
    static QColor panelBackground();
    static QColor accentGreen();
    static QColor accentRed();

    // Darker shades of green, red and blue for fills that white text or a white symbol sits on:
    // white on the named colours themselves is too faint to read (under 4.5:1).
    static QColor greenFill();
    static QColor redFill();
    static QColor blueFill();

    // Primary text at 10 %: card edges, the popover's edge, bordered buttons.
    static QColor hairline();
    // Grey at 30 %: the popover's dividers.
    static QColor divider();
    // Black at 10 %: the shadow under the dashboard's timer card.
    static QColor shadow();
    // The edge of the tray icon's badge, so it reads on dark panels.
    static QColor badgeEdge();
    // The handle of the slim scroll indicators.
    static QColor scrollHandle();
    // `color` with its opacity set to `opacity`.
    static QColor withOpacity(QColor color, qreal opacity);
};

} // namespace kelvo

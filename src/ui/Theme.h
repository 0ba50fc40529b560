#pragma once

#include <QColor>
#include <QFont>

class QApplication;

namespace kelvo {

// The one dark look of the program: Fusion with a dark palette, a table of text styles in
// device-independent pixels and the named colours the screens use.
class Theme {
public:
    enum class TextStyle { title, title2, title3, headline, body, subheadline, caption };

    static void apply(QApplication& app);

    // The style's size and weight; `weight` overrides the style's own when given.
    static QFont font(TextStyle style, std::optional<QFont::Weight> weight = std::nullopt);
    // The system font at `pixelSize` with `weight`.
    static QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);
    // The system monospace family at `pixelSize`.
    static QFont monospaceFont(int pixelSize, QFont::Weight weight = QFont::Normal);
    static int pixelSize(TextStyle style);

    static QColor windowBackground();
    static QColor controlBackground();
    static QColor primaryText();
    static QColor secondaryText();
    static QColor blue();
    static QColor red();
    static QColor green();
    static QColor grey();
};

} // namespace kelvo

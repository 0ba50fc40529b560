#include "NamedColors.h"

#include "Formatting.h"

namespace kelvo {

namespace {

QColor named(QStringView hex, Qt::GlobalColor fallback) {
    return colorFromHex(hex).value_or(QColor(fallback));
}

// Read once: they are painted every second.
struct Colors {
    QColor appBackground = named(u"#161516", Qt::black);
    QColor panelBackground = named(u"#1F1F1F", Qt::gray);
    QColor accentGreen = named(u"#10B981", Qt::green);
    QColor accentRed = named(u"#EF4444", Qt::red);
};

const Colors& colors() {
    static const Colors named;
    return named;
}

} // namespace

QColor NamedColors::appBackground() {
    return colors().appBackground;
}

QColor NamedColors::panelBackground() {
    return colors().panelBackground;
}

QColor NamedColors::accentGreen() {
    return colors().accentGreen;
}

QColor NamedColors::accentRed() {
    return colors().accentRed;
}

QColor NamedColors::grey() {
    return QColor(0x8E, 0x8E, 0x93);
}

} // namespace kelvo

#include "Theme.h"

#include "records/NamedColors.h"

#include <QFontDatabase>

namespace kelvo {

namespace {

struct StyleSpec {
    int pixelSize;
    QFont::Weight weight;
};

StyleSpec styleOf(Theme::TextStyle style) {
    switch (style) {
    case Theme::TextStyle::title:
        return {22, QFont::Normal};
    case Theme::TextStyle::title2:
        return {17, QFont::Normal};
    case Theme::TextStyle::title3:
        return {15, QFont::Normal};
    case Theme::TextStyle::headline:
        return {13, QFont::DemiBold};
    case Theme::TextStyle::body:
        return {13, QFont::Normal};
    case Theme::TextStyle::subheadline:
        return {11, QFont::Normal};
    case Theme::TextStyle::caption:
        return {10, QFont::Normal};
    }
    return {13, QFont::Normal};
}

} // namespace

int Theme::pixelSize(TextStyle style) {
    return styleOf(style).pixelSize;
}

QFont Theme::font(TextStyle style, std::optional<QFont::Weight> weight) {
    const StyleSpec s = styleOf(style);
    return systemFont(s.pixelSize, weight.value_or(s.weight));
}

QFont Theme::systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont Theme::monospaceFont(int pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QPalette Theme::palette() {
    QPalette palette;
    palette.setColor(QPalette::Window, windowBackground());
    palette.setColor(QPalette::WindowText, primaryText());
    palette.setColor(QPalette::Base, controlBackground());
    palette.setColor(QPalette::AlternateBase, windowBackground());
    palette.setColor(QPalette::Text, primaryText());
    palette.setColor(QPalette::PlaceholderText, secondaryText());
    palette.setColor(QPalette::Button, controlBackground());
    palette.setColor(QPalette::ButtonText, primaryText());
    palette.setColor(QPalette::Highlight, blue());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, controlBackground());
    palette.setColor(QPalette::ToolTipText, primaryText());
    palette.setColor(QPalette::Link, blue());
    palette.setColor(QPalette::BrightText, red());
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, secondaryText());
    }
    return palette;
}

QColor Theme::windowBackground() {
    return QColor(0x1E, 0x1E, 0x1E);
}

QColor Theme::controlBackground() {
    return QColor(0x2B, 0x2B, 0x2B);
}

QColor Theme::primaryText() {
    return QColor(0xF2, 0xF2, 0xF2);
}

QColor Theme::secondaryText() {
    return withOpacity(primaryText(), 0.55);
}

QColor Theme::blue() {
    return QColor(0x0A, 0x84, 0xFF);
}

QColor Theme::red() {
    return QColor(0xFF, 0x45, 0x3A);
}

QColor Theme::green() {
    return QColor(0x32, 0xD7, 0x4B);
}

QColor Theme::grey() {
    return NamedColors::grey();
}

QColor Theme::appBackground() {
    return NamedColors::appBackground();
}

QColor Theme::panelBackground() {
    return NamedColors::panelBackground();
}

QColor Theme::accentGreen() {
    return NamedColors::accentGreen();
}

QColor Theme::accentRed() {
    return NamedColors::accentRed();
}

QColor Theme::greenFill() {
    return QColor(0x04, 0x78, 0x57);
}

QColor Theme::redFill() {
    return QColor(0xDC, 0x26, 0x26);
}

QColor Theme::blueFill() {
    return QColor(0x0A, 0x6C, 0xD9);
}

QColor Theme::hairline() {
    return withOpacity(primaryText(), 0.1);
}

QColor Theme::divider() {
    return withOpacity(grey(), 0.3);
}

QColor Theme::shadow() {
    return withOpacity(Qt::black, 0.1);
}

QColor Theme::badgeEdge() {
    return withOpacity(Qt::white, 0.24);
}

QColor Theme::scrollHandle() {
    return withOpacity(primaryText(), 0.28);
}

QColor Theme::withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(float(opacity));
    return color;
}

} // namespace kelvo

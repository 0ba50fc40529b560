#include "Theme.h"

#include "records/Formatting.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QStyleFactory>

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

void Theme::apply(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
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
    app.setPalette(palette);
    app.setFont(font(TextStyle::body));
}

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
    QColor color = primaryText();
    color.setAlphaF(0.55f);
    return color;
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
    return standardGrey();
}

} // namespace kelvo

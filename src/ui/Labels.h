#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

namespace kelvo {

// A plain label in one font and colour, named for tests and the gallery to find.
inline QLabel* makeLabel(const QString& objectName, const QString& text, const QFont& font,
                         const QColor& color, QWidget* parent = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace kelvo

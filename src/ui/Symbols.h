#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace kelvo {

// The program's symbols: one-colour SVG drawings named like the symbols they stand for
// ("play.fill", "gearshape", ...), tinted when rendered. A name without a drawing renders as an
// empty pixmap, so the place it would take stays blank.
class Symbols {
public:
    // The symbol at `pixelSize` logical pixels square, for a screen with `devicePixelRatio`.
    static QPixmap pixmap(const QString& name, const QColor& color, int pixelSize,
                          qreal devicePixelRatio = 1.0);
};

} // namespace kelvo

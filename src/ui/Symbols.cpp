#include "Symbols.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace kelvo {

namespace {

QString resourcePath(const QString& name) {
    return QStringLiteral(":/symbols/") + name + QStringLiteral(".svg");
}

QPixmap render(const QString& name, const QColor& color, int pixelSize, qreal ratio) {
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid() || pixelSize <= 0) {
        return {};
    }
    const int device = qCeil(pixelSize * ratio);
    QPixmap pixmap(device, device);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, device, device));
    // Keep the drawing's shape, replace its colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace

QPixmap Symbols::pixmap(const QString& name, const QColor& color, int pixelSize,
                        qreal devicePixelRatio) {
    // Symbols are redrawn with every repaint of their owner; rendering SVG each time would be
    // the costliest part of a one-second update.
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(name, color.name(QColor::HexArgb))
                            .arg(pixelSize)
                            .arg(devicePixelRatio);
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) {
        return *it;
    }
    QPixmap result = render(name, color, pixelSize, devicePixelRatio);
    cache.insert(key, result);
    return result;
}

} // namespace kelvo

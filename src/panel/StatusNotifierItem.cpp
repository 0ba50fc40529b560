#include "StatusNotifierItem.h"

#include <QImage>
#include <QStandardPaths>
#include <QtEndian>

namespace kelvo {

namespace {

// ARGB32 with each pixel in network byte order, as the protocol wants it.
SniIconPixmap toPixmap(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    SniIconPixmap pixmap{image.width(), image.height(), {}};
    pixmap.bytes.resize(qsizetype(image.width()) * image.height() * 4);
    auto* out = reinterpret_cast<quint32*>(pixmap.bytes.data());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            *out++ = qToBigEndian(line[x]);
        }
    }
    return pixmap;
}

// `image` as a PNG in the user's runtime folder (private to the user), or "" when that fails.
QString writeIconFile(const QString& key, const QImage& image) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        return {};
    }
    const QString path = folder + QStringLiteral("/kelvo-") + key + QStringLiteral(".png");
    return image.save(path, "PNG") ? path : QString();
}

} // namespace

StatusNotifierItem::StatusNotifierItem(QObject* parent) : QObject(parent) {}

SniToolTip StatusNotifierItem::toolTip() const {
    return {{}, {}, title(), m_toolTipText};
}

void StatusNotifierItem::setIcon(const QString& key, const std::function<QImage(int)>& render,
                                 std::span<const int> sizes, IconFile file) {
    if (key == m_iconKey) {
        return;
    }
    m_iconKey = key;
    const auto draw = [&render, sizes] {
        SniIconPixmapList pixmaps;
        for (int size : sizes) {
            pixmaps.append(toPixmap(render(size)));
        }
        return pixmaps;
    };
    if (file == IconFile::none) {
        m_icon = draw();
        m_iconName.clear();
        Q_EMIT NewIcon();
        return;
    }
    // Made once per key: a start or stop switches between icons already drawn and written.
    auto made = m_madeIcons.find(key);
    if (made == m_madeIcons.end()) {
        made = m_madeIcons.insert(key, {draw(), writeIconFile(key, render(48))});
    }
    m_icon = made->first;
    m_iconName = made->second;
    Q_EMIT NewIcon();
}

void StatusNotifierItem::setLabel(const QString& label, const QString& guide) {
    if (label == m_label && guide == m_guide) {
        return;
    }
    m_label = label;
    m_guide = guide;
    Q_EMIT XAyatanaNewLabel(label, guide);
}

void StatusNotifierItem::setToolTipText(const QString& text) {
    if (text == m_toolTipText) {
        return;
    }
    m_toolTipText = text;
    Q_EMIT NewToolTip();
}

void StatusNotifierItem::Activate(int x, int y) {
    Q_EMIT activated(QPoint(x, y));
}

void StatusNotifierItem::SecondaryActivate(int, int) {
    Q_EMIT secondaryActivated();
}

void StatusNotifierItem::XAyatanaSecondaryActivate(uint) {
    Q_EMIT secondaryActivated();
}

void StatusNotifierItem::ContextMenu(int x, int y) {
    Q_EMIT contextMenuRequested(QPoint(x, y));
}

void StatusNotifierItem::Scroll(int, const QString&) {}

void StatusNotifierItem::ProvideXdgActivationToken(const QString&) {}

} // namespace kelvo

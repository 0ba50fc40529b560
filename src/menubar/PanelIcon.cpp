#include "PanelIcon.h"

#include "records/Formatting.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <numeric>

namespace kelvo {

using namespace Qt::StringLiterals;

namespace {

// Digits are drawn as outlines of one pinned face, so every panel shows the same shapes whatever
// fonts the desktop has (DejaVu ships with every Debian desktop).
QFont digitFont() {
    QFont font(u"DejaVu Sans"_s);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    font.setPixelSize(100);
    return font;
}

} // namespace

PanelIcon::PanelIcon(QString symbol, QStringList digits, bool live)
    : m_symbol(std::move(symbol))
    , m_digits(std::move(digits))
    , m_live(live) {}

QStringList PanelIcon::digitsOf(qint64 seconds) {
    const qint64 minutes = seconds / 60;
    if (!isShowableSpan(seconds) || minutes >= 1000 * 60) {
        return {};
    }
    const QString pastTheHour = QString::asprintf("%02lld", minutes % 60);
    if (minutes < 60) {
        return {pastTheHour};
    }
    return {QString::number(minutes / 60) + u'h', pastTheHour};
}

QString PanelIcon::key() const {
    return (m_live ? u"live-"_s : QString()) + m_symbol +
           (m_digits.isEmpty() ? QString() : u'-' + m_digits.join(u'-'));
}

QImage PanelIcon::image(int size) const {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // A running count keeps the stop symbol's red in the badge's rim.
    painter.setPen(QPen(m_digits.isEmpty() ? Theme::badgeEdge() : Theme::accentRed(), 1));
    painter.setBrush(Theme::appBackground());
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 4.0, size / 4.0);
    if (!m_digits.isEmpty() && drawDigits(painter, size)) {
        return image;
    }
    const int inner = size * 3 / 5;
    const QColor color =
        m_symbol == u"stop.fill"_s ? Theme::accentRed() : Theme::accentGreen();
    painter.drawPixmap((size - inner) / 2, (size - inner) / 2,
                       Symbols::pixmap(m_symbol, color, inner));
    return image;
}

// The lines fill the badge inside its rim, as large as they fit; where the width is what limits
// them they may stand up to a fifth taller than the face draws them (a panel's icons are small).
// Each line's height and top fall on whole pixels so the strokes stay sharp.
bool PanelIcon::drawDigits(QPainter& painter, int size) const {
    const QFont font = digitFont();
    QList<QPainterPath> lines;
    for (const QString& text : m_digits) {
        QPainterPath path;
        path.addText(0, 0, font, text);
        lines.append(path);
    }
    qreal widest = 0;
    qreal tall = 0;
    for (const QPainterPath& path : lines) {
        widest = std::max(widest, path.boundingRect().width());
        tall += path.boundingRect().height();
    }
    if (widest <= 0 || tall <= 0) {
        return false; // the symbol then stands in
    }
    const qreal room = size - 2 * std::max(2.0, size / 11.0);
    const int gaps = int(lines.size()) - 1;
    const qreal gap = std::max(1.0, std::round(size / 16.0));
    const qreal fitAcross = room / widest;
    const qreal down = std::min((size - 2 * std::max(1.5, size / 14.0) - gaps * gap) / tall,
                                fitAcross * 1.2);
    const qreal across = std::min(fitAcross, down);
    QList<int> heights;
    for (const QPainterPath& path : lines) {
        heights.append(std::max(1, int(path.boundingRect().height() * down)));
    }
    int top = int(std::round(
        (size - std::accumulate(heights.cbegin(), heights.cend(), 0) - gaps * gap) / 2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::primaryText());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRectF ink = lines[i].boundingRect();
        const qreal scaleY = heights[i] / ink.height();
        const qreal left = std::round((size - ink.width() * across) / 2);
        QTransform place;
        place.translate(left, top);
        place.scale(across, scaleY);
        place.translate(-ink.left(), -ink.top());
        painter.drawPath(place.map(lines[i]));
        top += heights[i] + int(gap);
    }
    return true;
}

QIcon PanelIcon::icon() const {
    QIcon icon;
    for (int size : sizes) {
        icon.addPixmap(QPixmap::fromImage(image(size)));
    }
    return icon;
}

} // namespace kelvo

#include "Spinner.h"

#include <QPainter>

namespace kelvo {

Spinner::Spinner(int diameter, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_color(color) {
    setFixedSize(diameter, diameter);
    m_frames.setInterval(83);
    connect(&m_frames, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % 12;
        update();
    });
}

void Spinner::paint(QPainter& painter, const QRectF& area, const QColor& color, int step) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.center());
    const qreal radius = area.width() / 2;
    QPen pen(color, qMax<qreal>(1.2, radius / 4.5), Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < 12; ++i) {
        const int age = (step - i + 12) % 12;
        QColor spoke = color;
        spoke.setAlphaF(float(color.alphaF() * qMax(0.2, 1.0 - age / 9.0)));
        pen.setColor(spoke);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.95));
        painter.rotate(-30);
    }
    painter.restore();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), m_color, m_step);
}

void Spinner::showEvent(QShowEvent*) {
    m_frames.start();
}

void Spinner::hideEvent(QHideEvent*) {
    m_frames.stop();
}

} // namespace kelvo

#include "PulsingDot.h"

#include "ReducedMotion.h"
#include "Theme.h"

#include <QPainter>

namespace kelvo {

PulsingDot::PulsingDot(int diameter, QWidget* parent) : QWidget(parent), m_color(Theme::grey()) {
    setFixedSize(diameter, diameter);
    // Asked for less motion, the dot holds still (at full opacity) until motion is allowed again.
    connect(&ReducedMotion::instance(), &ReducedMotion::reducedChanged, this, [this] {
        if (ReducedMotion::instance().isReduced() && m_dimmed) {
            m_dimmed = false;
            update();
        }
    });
}

void PulsingDot::setColor(const QColor& color) {
    if (color != m_color) {
        m_color = color;
        update();
    }
}

void PulsingDot::setPulsing(bool pulsing) {
    m_pulsing = pulsing;
    if (!pulsing && m_dimmed) {
        m_dimmed = false;
        update();
    }
}

void PulsingDot::step() {
    if (m_pulsing && !ReducedMotion::instance().isReduced()) {
        m_dimmed = !m_dimmed;
        update();
    }
}

void PulsingDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(currentOpacity());
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(rect());
}

} // namespace kelvo

#include "PulsingDot.h"

#include "ReducedMotion.h"
#include "Theme.h"

#include <QEasingCurve>
#include <QPainter>

#include <cmath>

namespace kelvo {

namespace {

constexpr qreal dimmest = 0.3;
constexpr int swingMs = 1000; // each way
constexpr int settleMs = 300;

// There and back: a second's ease-in-out to the dim end, then the same way back.
qreal thereAndBack(qreal progress) {
    static const QEasingCurve ease(QEasingCurve::InOutSine);
    return ease.valueForProgress(1 - std::abs(1 - 2 * progress));
}

} // namespace

PulsingDot::PulsingDot(int diameter, const QColor& backdrop, QWidget* parent)
    : QWidget(parent)
    , m_color(Theme::grey())
    , m_backdrop(backdrop)
    , m_swing(2 * swingMs)
    , m_settle(settleMs) {
    setFixedSize(diameter, diameter);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QEasingCurve swing;
    swing.setCustomType(thereAndBack);
    m_swing.setEasingCurve(swing);
    m_swing.setLoopCount(0); // for ever
    m_settle.setEasingCurve(QEasingCurve::InOutSine);
    // The time lines' own timers set the frame rate: one frame per update.
    m_swing.setUpdateInterval(1000 / framesPerSecond);
    m_settle.setUpdateInterval(1000 / framesPerSecond);
    connect(&m_swing, &QTimeLine::valueChanged, this,
            [this](qreal value) { setOpacity(1 - (1 - dimmest) * value); });
    connect(&m_settle, &QTimeLine::valueChanged, this,
            [this](qreal value) { setOpacity(m_settleFrom + (1 - m_settleFrom) * value); });
    connect(&m_settle, &QTimeLine::finished, this, [this] { setOpacity(1.0); });
    connect(&ReducedMotion::instance(), &ReducedMotion::reducedChanged, this, &PulsingDot::follow);
}

void PulsingDot::setColor(const QColor& color) {
    if (color != m_color) {
        m_color = color;
        update();
    }
}

void PulsingDot::setPulsing(bool pulsing) {
    m_pulsing = pulsing;
    follow();
}

bool PulsingDot::isMoving() const {
    return m_swing.state() == QTimeLine::Running || m_settle.state() == QTimeLine::Running;
}

void PulsingDot::follow() {
    const bool still = !m_onScreen || ReducedMotion::instance().isReduced();
    if (m_pulsing && !still) {
        if (m_swing.state() != QTimeLine::Running) {
            m_settle.stop();
            setOpacity(1.0);
            m_swing.start();
        }
        return;
    }
    const bool swinging = m_swing.state() == QTimeLine::Running;
    m_swing.stop();
    if (still) {
        m_settle.stop();
        setOpacity(1.0);
    } else if (swinging) {
        // The pulse ended on screen: back to full opacity, eased.
        m_settleFrom = m_opacity;
        m_settle.start();
    }
}

void PulsingDot::setOpacity(qreal opacity) {
    if (opacity != m_opacity) {
        m_opacity = opacity;
        update();
    }
}

void PulsingDot::showEvent(QShowEvent*) {
    m_onScreen = true;
    follow();
}

void PulsingDot::hideEvent(QHideEvent*) {
    m_onScreen = false;
    follow();
}

void PulsingDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_backdrop);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(rect());
}

} // namespace kelvo

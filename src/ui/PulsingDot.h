#pragma once

#include <QColor>
#include <QTimeLine>
#include <QWidget>

namespace kelvo {

// A small filled circle. While pulsing and on screen, its opacity swings 1 → 0.3 → 1, easing in
// and out over a second each way, for as long as it pulses; when the pulse ends it eases back to
// full opacity over 0.3 s. Each time it comes on screen the swing starts again from full opacity.
// Asked for less motion, it holds still at full opacity.
//
// Every frame costs a trip through the window system, the dearest thing an otherwise idle window
// does: the dot draws at most ten frames a second, none while hidden, and paints its square
// opaque over `backdrop` (the colour it sits on), so that a frame repaints the dot alone and not
// every widget under it.
class PulsingDot : public QWidget {
    Q_OBJECT
public:
    static constexpr int framesPerSecond = 10;

    PulsingDot(int diameter, const QColor& backdrop, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    void setPulsing(bool pulsing);
    bool isPulsing() const { return m_pulsing; }
    qreal currentOpacity() const { return m_opacity; }
    // Whether the dot is moving, and so asking for frames.
    bool isMoving() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Starts, ends or stops the motion that the pulse, the screen and the desktop now call for.
    void follow();
    void setOpacity(qreal opacity);

    QColor m_color;
    QColor m_backdrop;
    bool m_pulsing = false;
    bool m_onScreen = false;
    qreal m_opacity = 1.0;
    QTimeLine m_swing;
    QTimeLine m_settle;
    qreal m_settleFrom = 1.0;
};

} // namespace kelvo

#pragma once

#include <QColor>
#include <QWidget>

namespace kelvo {

// A small filled circle. While pulsing, each step() swings its opacity between 1 and 0.3, so
// stepping once a second gives the two-second pulse of a running entry. The steps come from the
// timer's own one-second tick: the dot then repaints in the same frame as the counter instead
// of waking the program for animation frames of its own.
class PulsingDot : public QWidget {
    Q_OBJECT
public:
    explicit PulsingDot(int diameter = 8, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    void setPulsing(bool pulsing);
    bool isPulsing() const { return m_pulsing; }
    void step();
    qreal currentOpacity() const { return m_dimmed ? 0.3 : 1.0; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    bool m_pulsing = false;
    bool m_dimmed = false;
};

} // namespace kelvo

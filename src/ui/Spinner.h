#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

class QPainter;

namespace kelvo {

// A circular progress indicator: twelve spokes whose brightness turns around the circle. It
// moves only while it is visible.
class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(int diameter, const QColor& color, QWidget* parent = nullptr);

    // Draws a spinner at `step` (0..11) into `area`; shared with buttons that paint their own.
    static void paint(QPainter& painter, const QRectF& area, const QColor& color, int step);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QColor m_color;
    int m_step = 0;
    QTimer m_frames;
};

} // namespace kelvo

#pragma once

#include <QWidget>

namespace kelvo {

class WeekViewModel;

// The week as seven bars, Monday to Sunday, each stacked by project in the project's colour with
// the day's hours above it; today's name stands out, and a dashed line marks each work day's
// share of the weekly target. Left and Right choose a day, whose figures and projects are its
// accessible description; to a screen reader the chart is also a table of the days.
class WeekChart : public QWidget {
    Q_OBJECT
public:
    explicit WeekChart(WeekViewModel* week, QWidget* parent = nullptr);

    // 0 (Monday) to 6.
    int selectedDay() const { return m_selected; }
    void setSelectedDay(int day);
    // "Tuesday 1 December: 4 h 20 m, $384.58. Website Redesign 3 h 35 m, Internal 0 h 45 m."
    QString dayReading(int day) const;
    // The table's cells: day, hours, earnings, top project.
    QString cellText(int day, int column) const;
    // Where `day` is drawn, with its highlight.
    QRect dayRect(int day) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void refresh();
    QRectF column(int day) const;
    // The hours at the top of the scale: the longest day or target, rounded up.
    double scaleHours() const;

    WeekViewModel* m_week;
    int m_selected = 0;
};

} // namespace kelvo

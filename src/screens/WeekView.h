#pragma once

#include <QList>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace kelvo {

class LinkButton;
class WeekChart;
class WeekProjectRow;
class WeekViewModel;

// The week in the window: the chart, the week's hours and earnings (against the weekly target
// when there is one), its projects largest first, and the export of its entries as CSV. Its
// navigation (the previous and next week, back to this one) is a widget of its own, for the
// dashboard to place in its header.
class WeekView : public QWidget {
    Q_OBJECT
public:
    explicit WeekView(WeekViewModel* week, QWidget* parent = nullptr);

    QWidget* navigation() const { return m_navigation; }
    WeekChart* chart() const { return m_chart; }
    // Writes the shown week's entries to `path`; the reason when it could not.
    std::optional<QString> exportTo(const QString& path) const;

private:
    QWidget* buildNavigation();
    void updateWeek();
    void updateTally();
    void updateStatus();
    void chooseExport();

    WeekViewModel* m_week;
    QWidget* m_navigation;
    QLabel* m_title;
    LinkButton* m_thisWeek;
    WeekChart* m_chart;
    QLabel* m_total;
    QLabel* m_target;
    QLabel* m_status;
    QVBoxLayout* m_projectRows;
    QList<WeekProjectRow*> m_rows;
    LinkButton* m_export;
    std::optional<QString> m_exportError;
};

} // namespace kelvo

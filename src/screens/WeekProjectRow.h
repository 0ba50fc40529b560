#pragma once

#include <QWidget>

class QLabel;

namespace kelvo {

class ElidedLabel;

// One project of the week: its colour dot, its name, its hours and what they earned.
class WeekProjectRow : public QWidget {
    Q_OBJECT
public:
    explicit WeekProjectRow(QWidget* parent = nullptr);

    void set(const QColor& color, const QString& name, const QString& hours, const QString& money);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    ElidedLabel* m_name;
    QLabel* m_hours;
    QLabel* m_money;
};

} // namespace kelvo

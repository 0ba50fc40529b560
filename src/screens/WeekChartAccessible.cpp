#include "WeekChartAccessible.h"

#include "WeekChart.h"
#include "WeekChartCell.h"

namespace kelvo {

WeekChartAccessible::WeekChartAccessible(WeekChart* chart)
    : QAccessibleWidget(chart, QAccessible::Table) {}

WeekChartAccessible::~WeekChartAccessible() {
    for (const QAccessible::Id id : std::as_const(m_cells)) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

QAccessibleInterface* WeekChartAccessible::create(const QString& className, QObject* object) {
    auto* chart = qobject_cast<WeekChart*>(object);
    return chart && className == QLatin1String("kelvo::WeekChart") ? new WeekChartAccessible(chart)
                                                                   : nullptr;
}

WeekChart* WeekChartAccessible::chart() const {
    return static_cast<WeekChart*>(widget());
}

void* WeekChartAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) {
        return static_cast<QAccessibleTableInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

int WeekChartAccessible::childCount() const {
    return rowCount() * columns;
}

QAccessibleInterface* WeekChartAccessible::child(int index) const {
    return index < 0 || index >= childCount() ? nullptr : cellAt(index / columns, index % columns);
}

int WeekChartAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* cell = dynamic_cast<const WeekChartCell*>(child);
    return cell ? cell->rowIndex() * columns + cell->columnIndex() : -1;
}

QAccessibleInterface* WeekChartAccessible::cellAt(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columns) {
        return nullptr;
    }
    const int key = row * columns + column;
    if (!m_cells.contains(key)) {
        auto* self = const_cast<WeekChartAccessible*>(this);
        m_cells.insert(key, QAccessible::registerAccessibleInterface(new WeekChartCell(self, row, column)));
    }
    return QAccessible::accessibleInterface(m_cells.value(key));
}

QList<QAccessibleInterface*> WeekChartAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (int column = 0; column < columns; ++column) {
        cells.append(cellAt(chart()->selectedDay(), column));
    }
    return cells;
}

QString WeekChartAccessible::columnDescription(int column) const {
    static const char* const names[columns] = {"Day", "Hours", "Earnings", "Top project"};
    return column >= 0 && column < columns ? QString::fromLatin1(names[column]) : QString();
}

QString WeekChartAccessible::rowDescription(int row) const {
    return chart()->cellText(row, 0);
}

int WeekChartAccessible::rowCount() const {
    return 7;
}

QList<int> WeekChartAccessible::selectedRows() const {
    return {chart()->selectedDay()};
}

bool WeekChartAccessible::isRowSelected(int row) const {
    return row == chart()->selectedDay();
}

bool WeekChartAccessible::selectRow(int row) {
    chart()->setSelectedDay(row);
    return chart()->selectedDay() == row;
}

} // namespace kelvo

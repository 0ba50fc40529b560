#include "WeekChartCell.h"

#include "WeekChart.h"
#include "WeekChartAccessible.h"

namespace kelvo {

WeekChartCell::WeekChartCell(WeekChartAccessible* table, int row, int column)
    : m_table(table)
    , m_row(row)
    , m_column(column) {}

bool WeekChartCell::isValid() const {
    return m_table->isValid();
}

QWindow* WeekChartCell::window() const {
    return m_table->window();
}

QAccessibleInterface* WeekChartCell::parent() const {
    return m_table;
}

QString WeekChartCell::text(QAccessible::Text type) const {
    return type == QAccessible::Name ? m_table->chart()->cellText(m_row, m_column) : QString();
}

QRect WeekChartCell::rect() const {
    const WeekChart* chart = m_table->chart();
    const QRect day = chart->dayRect(m_row);
    return QRect(chart->mapToGlobal(day.topLeft()), day.size());
}

QAccessible::State WeekChartCell::state() const {
    QAccessible::State state;
    state.selectable = true;
    state.selected = isSelected();
    return state;
}

void* WeekChartCell::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                    : nullptr;
}

bool WeekChartCell::isSelected() const {
    return m_table->isRowSelected(m_row);
}

QAccessibleInterface* WeekChartCell::table() const {
    return m_table;
}

} // namespace kelvo

#pragma once

#include <QAccessibleWidget>
#include <QHash>

namespace kelvo {

class WeekChart;

// The week chart to a screen reader: a table of the seven days with the day, its hours, its
// earnings and its top project; the chosen day is the selected row.
class WeekChartAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    static constexpr int columns = 4;

    explicit WeekChartAccessible(WeekChart* chart);
    ~WeekChartAccessible() override;

    // For QAccessible::installFactory: the interface of a WeekChart, nothing for anything else.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    WeekChart* chart() const;

    void* interface_cast(QAccessible::InterfaceType type) override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override { return columns; }
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    int columnCount() const override { return columns; }
    QString rowDescription(int row) const override;
    int rowCount() const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 1; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    // Cells live as long as the table and are registered once.
    mutable QHash<int, QAccessible::Id> m_cells;
};

} // namespace kelvo

#pragma once
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

class GridView;

// The accessible face of a GridView (see grid_view.h): a table of the grid's
// body, whose children are the body cells in view, built one by one as asked
// for. The header lines the grid draws as cells are the table's row and column
// header objects instead, so a value is heard with its column's name and rows
// and columns are counted from the first body cell.
class GridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridAccessible(GridView* view);
    ~GridAccessible() override;

    // The factory QAccessible asks for every object.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    QAccessible::Role role() const override { return QAccessible::Table; }
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // The object for a model index of the body (null for a header cell), and the
    // header objects of a body row or column.
    QAccessibleInterface* cellFor(const QModelIndex& index) const;
    QAccessibleInterface* header(Qt::Orientation orientation, int section) const;

private:
    struct Span {
        int firstRow = 0, lastRow = -1, firstColumn = 0, lastColumn = -1;
        int width() const { return lastColumn - firstColumn + 1; }
        int height() const { return lastRow - firstRow + 1; }
    };
    Span inView() const;
    GridView* view() const;
    int top() const;   // header rows
    int left() const;  // header columns
    void forgetCells();

    mutable QHash<quint64, QAccessible::Id> cells_;    // by model row and column
    mutable QHash<quint64, QAccessible::Id> headers_;  // by orientation and body line
};

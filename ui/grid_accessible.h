#pragma once
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

class GridView;

// The accessible face of a GridView (see grid_view.h): a table whose children
// are the cells in view, and whose cells are built one by one as asked for.
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

private:
    struct Span {
        int firstRow = 0, lastRow = -1, firstColumn = 0, lastColumn = -1;
        int width() const { return lastColumn - firstColumn + 1; }
        int height() const { return lastRow - firstRow + 1; }
    };
    Span inView() const;
    GridView* view() const;
    void forgetCells();

    mutable QHash<quint64, QAccessible::Id> cells_;
};

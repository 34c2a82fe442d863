#pragma once
#include <QTableView>

// A grid whose cells a screen reader is given only as it asks for them: its
// children are the cells in view, any other is built when named by row and
// column. Qt's own table interface builds an object for every cell as soon as a
// client lists the table, which for the largest matrix (259 × 259) takes minutes.
class GridView : public QTableView {
    Q_OBJECT
public:
    explicit GridView(QWidget* parent = nullptr);

protected:
    // Qt's table announces the current cell by its place in the whole table;
    // this grid's children are the cells in view, so it announces that place.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    // A change to the current cell is told: a route switched on or off as its
    // checked state, a new colour as the cell's new name.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;
    // The table's own focus announcement comes after any of its cells', so the
    // current cell is announced again once the grid has taken the focus: the
    // user hears where the keys will act, not only the table's name.
    void focusInEvent(QFocusEvent* event) override;

private:
    void announceCurrent();
};

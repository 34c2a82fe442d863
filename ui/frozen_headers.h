#pragma once
#include <QObject>

class QAbstractItemDelegate;
class QTableView;

// Keeps a scrolled grid's header lines in view (the matrix's name and port
// columns and rows, the device table's caption row): views of the same model,
// drawn over the grid, that scroll with it one way only. They show only while
// the grid can scroll that way, so a grid that fits is drawn by itself alone,
// and they are made the first time the grid can scroll: most configurations
// never need them. How many lines are headers the grid's model says.
class FrozenHeaders : public QObject {
public:
    FrozenHeaders(QTableView* grid, QAbstractItemDelegate* delegate);

    // After the grid's content, section sizes or size changed.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableView* makeOverlay();
    void makeOverlays();

    QTableView* grid_;
    QAbstractItemDelegate* delegate_;
    int rows_ = 0;     // header rows on top
    int columns_ = 0;  // header columns on the left
    bool made_ = false;
    QTableView* left_ = nullptr;    // the header columns, scrolling up and down with the grid
    QTableView* top_ = nullptr;     // the header rows, scrolling sideways with the grid
    QTableView* corner_ = nullptr;  // where both meet
};

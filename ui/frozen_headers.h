#pragma once
#include <QObject>

class QAbstractItemDelegate;
class QTableView;

// Keeps a scrolled matrix's two header lines in view: its name and port columns
// on the left, its name and port rows on top, drawn over the grid by views of the
// same model that scroll with it one way only. They show only while the grid can
// scroll that way, so a matrix that fits is drawn by the grid alone, and they are
// made the first time the grid can scroll: most configurations never need them.
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
    QTableView* left_ = nullptr;    // the name and port columns, scrolling up and down with the grid
    QTableView* top_ = nullptr;     // the name and port rows, scrolling sideways with the grid
    QTableView* corner_ = nullptr;  // where both meet
};

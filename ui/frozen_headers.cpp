#include "ui/frozen_headers.h"

#include "ui/grid_models.h"
#include "ui/grid_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>

FrozenHeaders::FrozenHeaders(QTableView* grid, QAbstractItemDelegate* delegate)
    : QObject(grid), grid_(grid), delegate_(delegate)
{
    if (const auto* model = dynamic_cast<const GridModel*>(grid->model())) {
        rows_ = model->headerRows();
        columns_ = model->headerColumns();
    }
    connect(grid_->verticalScrollBar(), &QScrollBar::rangeChanged, this, &FrozenHeaders::refresh);
    connect(grid_->horizontalScrollBar(), &QScrollBar::rangeChanged, this, &FrozenHeaders::refresh);
    grid_->installEventFilter(this);
    refresh();
}

void FrozenHeaders::makeOverlays()
{
    made_ = true;
    if (columns_ > 0) {
        left_ = makeOverlay();
        connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, left_->verticalScrollBar(), &QScrollBar::setValue);
    }
    if (rows_ > 0) {
        top_ = makeOverlay();
        connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, top_->horizontalScrollBar(), &QScrollBar::setValue);
    }
    if (left_ && top_)
        corner_ = makeOverlay();
}

QTableView* FrozenHeaders::makeOverlay()
{
    auto* view = new GridView(grid_);
    view->setModel(grid_->model());
    view->setItemDelegate(delegate_);
    view->horizontalHeader()->hide();
    view->verticalHeader()->hide();
    view->horizontalHeader()->setMinimumSectionSize(1);
    view->verticalHeader()->setMinimumSectionSize(1);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setFrameShape(QFrame::NoFrame);
    view->setFocusPolicy(Qt::NoFocus);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->setPalette(grid_->palette());
    view->setShowGrid(grid_->showGrid());
    // Clicks and the wheel reach the grid below: header cells do nothing there.
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    view->hide();
    return view;
}

void FrozenHeaders::refresh()
{
    if (rows_ == 0 && columns_ == 0)
        return;
    const bool across = grid_->horizontalScrollBar()->maximum() > 0;
    const bool down = grid_->verticalScrollBar()->maximum() > 0;
    if (!made_) {
        // A grid whose whole content fits inside it never scrolls, whatever its
        // scroll bars say while it is being laid out.
        const QRect inside = grid_->contentsRect();
        if (grid_->horizontalHeader()->length() <= inside.width() && grid_->verticalHeader()->length() <= inside.height())
            return;
        makeOverlays();
    }
    const QRect area = grid_->viewport()->geometry();
    int width = 0;
    for (int column = 0; column < std::min(columns_, grid_->model()->columnCount()); ++column)
        width += grid_->columnWidth(column);
    int height = 0;
    for (int row = 0; row < std::min(rows_, grid_->model()->rowCount()); ++row)
        height += grid_->rowHeight(row);
    for (QTableView* view : {left_, top_, corner_}) {
        if (!view)
            continue;
        view->horizontalHeader()->setDefaultSectionSize(grid_->horizontalHeader()->defaultSectionSize());
        view->verticalHeader()->setDefaultSectionSize(grid_->verticalHeader()->defaultSectionSize());
        // The header rows of the left view and the header columns of the top
        // one are under the corner; the top view needs every column's width.
        for (int column = 0; column < grid_->model()->columnCount() && (view != left_ || column < columns_); ++column)
            view->setColumnWidth(column, grid_->columnWidth(column));
        for (int row = 0; row < grid_->model()->rowCount() && (view != top_ || row < rows_); ++row)
            view->setRowHeight(row, grid_->rowHeight(row));
    }
    if (left_) {
        left_->setGeometry(area.left(), area.top(), std::min(width, area.width()), area.height());
        left_->setVisible(across);
        left_->verticalScrollBar()->setValue(grid_->verticalScrollBar()->value());
    }
    if (top_) {
        top_->setGeometry(area.left(), area.top(), area.width(), std::min(height, area.height()));
        top_->setVisible(down);
        top_->horizontalScrollBar()->setValue(grid_->horizontalScrollBar()->value());
    }
    if (corner_) {
        corner_->setGeometry(area.left(), area.top(), std::min(width, area.width()), std::min(height, area.height()));
        corner_->setVisible(across || down);
        corner_->raise();
    }
}

bool FrozenHeaders::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_ && event->type() == QEvent::Resize)
        refresh();
    return QObject::eventFilter(watched, event);
}

#include "ui/frozen_headers.h"

#include "ui/grid_view.h"
#include "ui/matrix_layout.h"

#include <QEvent>

#include <algorithm>
#include <QHeaderView>
#include <QScrollBar>

FrozenHeaders::FrozenHeaders(QTableView* grid, QAbstractItemDelegate* delegate)
    : QObject(grid), grid_(grid), delegate_(delegate)
{
    connect(grid_->verticalScrollBar(), &QScrollBar::rangeChanged, this, &FrozenHeaders::refresh);
    connect(grid_->horizontalScrollBar(), &QScrollBar::rangeChanged, this, &FrozenHeaders::refresh);
    grid_->installEventFilter(this);
    refresh();
}

void FrozenHeaders::makeOverlays()
{
    left_ = makeOverlay();
    top_ = makeOverlay();
    corner_ = makeOverlay();
    connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, left_->verticalScrollBar(), &QScrollBar::setValue);
    connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, top_->horizontalScrollBar(), &QScrollBar::setValue);
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
    const bool across = grid_->horizontalScrollBar()->maximum() > 0;
    const bool down = grid_->verticalScrollBar()->maximum() > 0;
    if (!left_) {
        // A grid whose whole content fits inside it never scrolls, whatever its
        // scroll bars say while it is being laid out.
        const QRect inside = grid_->contentsRect();
        if (grid_->horizontalHeader()->length() <= inside.width() && grid_->verticalHeader()->length() <= inside.height())
            return;
        makeOverlays();
    }
    const QRect area = grid_->viewport()->geometry();
    const int width = grid_->columnWidth(MatrixLayout::kNameLine) + grid_->columnWidth(MatrixLayout::kPortLine);
    const int height = grid_->rowHeight(MatrixLayout::kNameLine) + grid_->rowHeight(MatrixLayout::kPortLine);
    for (QTableView* view : {left_, top_, corner_}) {
        view->horizontalHeader()->setDefaultSectionSize(grid_->horizontalHeader()->defaultSectionSize());
        view->verticalHeader()->setDefaultSectionSize(grid_->verticalHeader()->defaultSectionSize());
        for (int line : {MatrixLayout::kNameLine, MatrixLayout::kPortLine}) {
            if (line < grid_->model()->columnCount())
                view->setColumnWidth(line, grid_->columnWidth(line));
            if (line < grid_->model()->rowCount())
                view->setRowHeight(line, grid_->rowHeight(line));
        }
    }
    left_->setGeometry(area.left(), area.top(), std::min(width, area.width()), area.height());
    top_->setGeometry(area.left(), area.top(), area.width(), std::min(height, area.height()));
    corner_->setGeometry(area.left(), area.top(), std::min(width, area.width()), std::min(height, area.height()));
    left_->setVisible(across);
    top_->setVisible(down);
    corner_->setVisible(across || down);
    left_->verticalScrollBar()->setValue(grid_->verticalScrollBar()->value());
    top_->horizontalScrollBar()->setValue(grid_->horizontalScrollBar()->value());
    corner_->raise();
}

bool FrozenHeaders::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_ && event->type() == QEvent::Resize)
        refresh();
    return QObject::eventFilter(watched, event);
}

#include "ui/grid_view.h"

#include "ui/grid_accessible.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QItemSelectionRange>
#include <QTimer>

GridView::GridView(QWidget* parent) : QTableView(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(&GridAccessible::create);
        return true;
    }();
    (void)installed;
}

namespace {
GridAccessible* accessibleGrid(GridView* view)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(view);
    return face && face->tableInterface() ? static_cast<GridAccessible*>(face) : nullptr;
}
} // namespace

void GridView::announceCurrent()
{
    if (!QAccessible::isActive() || !hasFocus())
        return;
    GridAccessible* grid = accessibleGrid(this);
    QAccessibleInterface* cell = grid ? grid->cellFor(currentIndex()) : nullptr;
    if (!cell)
        return;
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(grid->indexOfChild(cell));
    QAccessible::updateAccessibility(&event);
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QAbstractItemView::currentChanged(current, previous);
    announceCurrent();
}

// Qt's table would announce the selection by its place in the whole table too.
void GridView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected);
}

void GridView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    QTableView::dataChanged(topLeft, bottomRight, roles);
    const QModelIndex current = currentIndex();
    if (!QAccessible::isActive() || !QItemSelectionRange(topLeft, bottomRight).contains(current))
        return;
    GridAccessible* grid = accessibleGrid(this);
    QAccessibleInterface* cell = grid ? grid->cellFor(current) : nullptr;
    if (!cell)
        return;
    // Clients that keep the cell's name refresh it; one in focus is re-read.
    QAccessibleEvent renamed(cell, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    if (cell->state().checkable && topLeft == bottomRight) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent switched(cell, changed);
        QAccessible::updateAccessibility(&switched);
    }
}

void GridView::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    QTimer::singleShot(0, this, &GridView::announceCurrent);
}

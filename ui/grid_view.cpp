#include "ui/grid_view.h"

#include "ui/grid_accessible.h"

#include <QAccessible>

GridView::GridView(QWidget* parent) : QTableView(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(&GridAccessible::create);
        return true;
    }();
    (void)installed;
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QAbstractItemView::currentChanged(current, previous);
    if (!QAccessible::isActive() || !current.isValid() || !hasFocus())
        return;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface* table = face ? face->tableInterface() : nullptr;
    if (!table)
        return;
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(face->indexOfChild(table->cellAt(current.row(), current.column())));
    QAccessible::updateAccessibility(&event);
}

void GridView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected);
}

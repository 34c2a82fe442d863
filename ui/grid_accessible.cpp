#include "ui/grid_accessible.h"

#include "ui/grid_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>

namespace {
quint64 key(int row, int column)
{
    return static_cast<quint64>(static_cast<quint32>(row)) << 32 | static_cast<quint32>(column);
}

// One cell, built when a client asks for it and kept until the model changes.
class GridCell final : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridCell(GridView* view, int row, int column) : view_(view), row_(row), column_(column) {}

    bool isValid() const override
    {
        return view_ && view_->model() && row_ < view_->model()->rowCount() && column_ < view_->model()->columnCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text kind) const override
    {
        if (!isValid())
            return {};
        if (kind == QAccessible::Name) {
            const QVariant name = index().data(Qt::AccessibleTextRole);
            return name.isValid() ? name.toString() : index().data(Qt::DisplayRole).toString();
        }
        if (kind == QAccessible::Description)
            return index().data(Qt::AccessibleDescriptionRole).toString();
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect cell = view_->visualRect(index());
        return QRect(view_->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid())
            return state;
        const bool enabled = index().flags() & Qt::ItemIsEnabled;
        state.focusable = enabled;
        state.selectable = enabled;
        state.disabled = !enabled;
        state.selected = isSelected();
        state.focused = view_->hasFocus() && view_->currentIndex() == index();
        state.invisible = !view_->viewport()->rect().intersects(view_->visualRect(index()));
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override
    {
        return isValid() && view_->selectionModel() && view_->selectionModel()->isSelected(index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return column_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QModelIndex index() const { return view_->model()->index(row_, column_); }

    QPointer<GridView> view_;
    int row_;
    int column_;
};
} // namespace

GridAccessible::GridAccessible(GridView* view) : QAccessibleWidget(view, QAccessible::Table) {}

GridAccessible::~GridAccessible()
{
    forgetCells();
}

QAccessibleInterface* GridAccessible::create(const QString&, QObject* object)
{
    if (auto* view = qobject_cast<GridView*>(object))
        return new GridAccessible(view);
    return nullptr;
}

GridView* GridAccessible::view() const
{
    return static_cast<GridView*>(widget());
}

void GridAccessible::forgetCells()
{
    for (QAccessible::Id id : std::as_const(cells_))
        QAccessible::deleteAccessibleInterface(id);
    cells_.clear();
}

GridAccessible::Span GridAccessible::inView() const
{
    Span span;
    const GridView* grid = view();
    if (!grid->model() || grid->model()->rowCount() == 0 || grid->model()->columnCount() == 0)
        return span;
    const QRect area = grid->viewport()->rect();
    span.firstRow = grid->rowAt(area.top());
    span.firstColumn = grid->columnAt(area.left());
    if (span.firstRow < 0 || span.firstColumn < 0)
        return Span{};
    span.lastRow = grid->rowAt(area.bottom());
    span.lastColumn = grid->columnAt(area.right());
    if (span.lastRow < 0)
        span.lastRow = grid->model()->rowCount() - 1;
    if (span.lastColumn < 0)
        span.lastColumn = grid->model()->columnCount() - 1;
    return span;
}

int GridAccessible::childCount() const
{
    const Span span = inView();
    return span.width() * span.height();
}

QAccessibleInterface* GridAccessible::child(int index) const
{
    const Span span = inView();
    if (index < 0 || index >= span.width() * span.height())
        return nullptr;
    return cellAt(span.firstRow + index / span.width(), span.firstColumn + index % span.width());
}

int GridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const QAccessibleTableCellInterface* cell =
        child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
    if (!cell || child->parent() != this)
        return -1;
    const Span span = inView();
    const int row = cell->rowIndex() - span.firstRow;
    const int column = cell->columnIndex() - span.firstColumn;
    if (row < 0 || row >= span.height() || column < 0 || column >= span.width())
        return -1;
    return row * span.width() + column;
}

QAccessibleInterface* GridAccessible::childAt(int x, int y) const
{
    const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
    return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
}

QAccessibleInterface* GridAccessible::focusChild() const
{
    const QModelIndex current = view()->currentIndex();
    return current.isValid() ? cellAt(current.row(), current.column()) : nullptr;
}

void* GridAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* GridAccessible::cellAt(int row, int column) const
{
    if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return nullptr;
    const auto found = cells_.constFind(key(row, column));
    if (found != cells_.constEnd())
        return QAccessible::accessibleInterface(*found);
    auto* cell = new GridCell(view(), row, column);
    cells_.insert(key(row, column), QAccessible::registerAccessibleInterface(cell));
    return cell;
}

int GridAccessible::selectedCellCount() const
{
    return view()->selectionModel() ? static_cast<int>(view()->selectionModel()->selectedIndexes().size()) : 0;
}

QList<QAccessibleInterface*> GridAccessible::selectedCells() const
{
    QList<QAccessibleInterface*> cells;
    if (view()->selectionModel())
        for (const QModelIndex& index : view()->selectionModel()->selectedIndexes())
            cells.append(cellAt(index.row(), index.column()));
    return cells;
}

QString GridAccessible::columnDescription(int column) const
{
    return view()->model() ? view()->model()->headerData(column, Qt::Horizontal).toString() : QString();
}

QString GridAccessible::rowDescription(int row) const
{
    return view()->model() ? view()->model()->headerData(row, Qt::Vertical).toString() : QString();
}

int GridAccessible::columnCount() const
{
    return view()->model() ? view()->model()->columnCount() : 0;
}

int GridAccessible::rowCount() const
{
    return view()->model() ? view()->model()->rowCount() : 0;
}

void GridAccessible::modelChange(QAccessibleTableModelChangeEvent*)
{
    // Rows and columns may mean other things now: cells are built again as asked for.
    forgetCells();
}

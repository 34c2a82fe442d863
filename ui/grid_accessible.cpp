#include "ui/grid_accessible.h"

#include "ui/grid_models.h"
#include "ui/grid_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

namespace {
quint64 key(int row, int column)
{
    return static_cast<quint64>(static_cast<quint32>(row)) << 32 | static_cast<quint32>(column);
}

// How many header lines a grid's model has on top and on the left.
QPoint headerLines(const QAbstractItemView* view)
{
    const auto* model = view ? dynamic_cast<const GridModel*>(view->model()) : nullptr;
    return model ? QPoint(model->headerColumns(), model->headerRows()) : QPoint();
}

// What a cell and a header share: an object of the grid with no children of
// its own and no QObject, placed where a model index is drawn.
class GridLeaf : public QAccessibleInterface {
public:
    explicit GridLeaf(GridView* view) : view_(view) {}

    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    // On screen, where the grid draws `index`.
    QRect screenRect(const QModelIndex& index) const
    {
        const QRect cell = view_->visualRect(index);
        return QRect(view_->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }

    QPointer<GridView> view_;
};

// One body cell, built when a client asks for it and kept until the model changes.
class GridCell final : public GridLeaf, public QAccessibleTableCellInterface, public QAccessibleActionInterface {
public:
    GridCell(GridView* view, int row, int column) : GridLeaf(view), row_(row), column_(column) {}

    bool isValid() const override
    {
        return view_ && view_->model() && row_ < view_->model()->rowCount() && column_ < view_->model()->columnCount();
    }
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
    QRect rect() const override { return isValid() ? screenRect(index()) : QRect(); }
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
        const QVariant check = index().data(Qt::CheckStateRole);
        if (check.isValid()) {
            state.checkable = true;
            state.checked = check.value<Qt::CheckState>() == Qt::Checked;
        }
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    // QAccessibleActionInterface: a cell does what a click on it does; a route
    // is switched, which is what tells a screen reader it is a switch at all.
    // AT-SPI readers know a switch by an action named "toggle" in lower case;
    // Qt's own name for it, "Toggle", is what its other bridges ask for.
    QStringList actionNames() const override
    {
        if (!isValid() || !(index().flags() & Qt::ItemIsEnabled))
            return {};
        return {index().data(Qt::CheckStateRole).isValid() ? QStringLiteral("toggle") : pressAction()};
    }
    void doAction(const QString& name) override
    {
        if (actionNames().contains(name, Qt::CaseInsensitive))
            emit view_->clicked(index());
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        return actionNames().contains(name, Qt::CaseInsensitive) ? QStringList{QStringLiteral("Space")} : QStringList{};
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override
    {
        return isValid() && view_->selectionModel() && view_->selectionModel()->isSelected(index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return headers(Qt::Horizontal, columnIndex()); }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return headers(Qt::Vertical, rowIndex()); }
    int columnIndex() const override { return column_ - headerLines(view_).x(); }
    int rowIndex() const override { return row_ - headerLines(view_).y(); }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QModelIndex index() const { return view_->model()->index(row_, column_); }
    QList<QAccessibleInterface*> headers(Qt::Orientation orientation, int line) const
    {
        auto* grid = static_cast<GridAccessible*>(parent());
        QAccessibleInterface* header = grid ? grid->header(orientation, line) : nullptr;
        return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
    }

    int row_;     // in the model, headers included
    int column_;
};

// The header of one body row or column: what the grid draws in its header
// lines, as the model's header data names it.
class GridHeader final : public GridLeaf {
public:
    GridHeader(GridView* view, Qt::Orientation orientation, int line)
        : GridLeaf(view), orientation_(orientation), line_(line)
    {
    }

    bool isValid() const override
    {
        if (!view_ || !view_->model())
            return false;
        const QPoint lines = headerLines(view_);
        return orientation_ == Qt::Horizontal ? lines.y() > 0 && line_ + lines.x() < view_->model()->columnCount()
                                              : lines.x() > 0 && line_ + lines.y() < view_->model()->rowCount();
    }
    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name || !isValid())
            return {};
        return view_->model()->headerData(section(), orientation_).toString();
    }
    // Where the header line meets the body line: the first header row for a
    // column, the first header column for a row.
    QRect rect() const override
    {
        if (!isValid())
            return {};
        return screenRect(orientation_ == Qt::Horizontal ? view_->model()->index(0, section())
                                                         : view_->model()->index(section(), 0));
    }
    QAccessible::Role role() const override
    {
        return orientation_ == Qt::Horizontal ? QAccessible::ColumnHeader : QAccessible::RowHeader;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        state.invisible = !isValid();
        return state;
    }

private:
    int section() const
    {
        const QPoint lines = headerLines(view_);
        return line_ + (orientation_ == Qt::Horizontal ? lines.x() : lines.y());
    }

    Qt::Orientation orientation_;
    int line_;  // the body row or column
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

int GridAccessible::top() const
{
    return headerLines(view()).y();
}

int GridAccessible::left() const
{
    return headerLines(view()).x();
}

void GridAccessible::forgetCells()
{
    for (QAccessible::Id id : std::as_const(cells_))
        QAccessible::deleteAccessibleInterface(id);
    cells_.clear();
    for (QAccessible::Id id : std::as_const(headers_))
        QAccessible::deleteAccessibleInterface(id);
    headers_.clear();
}

// The body cells in view, by model row and column.
GridAccessible::Span GridAccessible::inView() const
{
    Span span;
    const GridView* grid = view();
    const int rows = grid->model() ? grid->model()->rowCount() : 0;
    const int columns = grid->model() ? grid->model()->columnCount() : 0;
    if (rows <= top() || columns <= left())
        return span;
    const QRect area = grid->viewport()->rect();
    span.firstRow = grid->rowAt(area.top());
    span.firstColumn = grid->columnAt(area.left());
    if (span.firstRow < 0 || span.firstColumn < 0)
        return Span{};
    span.lastRow = grid->rowAt(area.bottom());
    span.lastColumn = grid->columnAt(area.right());
    if (span.lastRow < 0)
        span.lastRow = rows - 1;
    if (span.lastColumn < 0)
        span.lastColumn = columns - 1;
    span.firstRow = std::max(span.firstRow, top());
    span.firstColumn = std::max(span.firstColumn, left());
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
    return cellAt(span.firstRow - top() + index / span.width(), span.firstColumn - left() + index % span.width());
}

int GridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const QAccessibleTableCellInterface* cell =
        child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
    if (!cell || child->parent() != this)
        return -1;
    const Span span = inView();
    const int row = cell->rowIndex() + top() - span.firstRow;
    const int column = cell->columnIndex() + left() - span.firstColumn;
    if (row < 0 || row >= span.height() || column < 0 || column >= span.width())
        return -1;
    return row * span.width() + column;
}

QAccessibleInterface* GridAccessible::childAt(int x, int y) const
{
    return cellFor(view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y))));
}

QAccessibleInterface* GridAccessible::focusChild() const
{
    return cellFor(view()->currentIndex());
}

QAccessibleInterface* GridAccessible::cellFor(const QModelIndex& index) const
{
    return index.isValid() ? cellAt(index.row() - top(), index.column() - left()) : nullptr;
}

QAccessibleInterface* GridAccessible::header(Qt::Orientation orientation, int section) const
{
    const bool across = orientation == Qt::Horizontal;
    // A grid with no header rows has no column headers, and no header columns no row headers.
    if (section < 0 || section >= (across ? columnCount() : rowCount()) || (across ? top() : left()) == 0)
        return nullptr;
    const quint64 at = key(across ? -1 : section, across ? section : -1);
    const auto found = headers_.constFind(at);
    if (found != headers_.constEnd())
        return QAccessible::accessibleInterface(*found);
    auto* header = new GridHeader(view(), orientation, section);
    headers_.insert(at, QAccessible::registerAccessibleInterface(header));
    return header;
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
    const int modelRow = row + top();
    const int modelColumn = column + left();
    const auto found = cells_.constFind(key(modelRow, modelColumn));
    if (found != cells_.constEnd())
        return QAccessible::accessibleInterface(*found);
    auto* cell = new GridCell(view(), modelRow, modelColumn);
    cells_.insert(key(modelRow, modelColumn), QAccessible::registerAccessibleInterface(cell));
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
        for (const QModelIndex& index : view()->selectionModel()->selectedIndexes()) {
            if (QAccessibleInterface* cell = cellFor(index))
                cells.append(cell);
        }
    return cells;
}

QString GridAccessible::columnDescription(int column) const
{
    return view()->model() ? view()->model()->headerData(column + left(), Qt::Horizontal).toString() : QString();
}

QString GridAccessible::rowDescription(int row) const
{
    return view()->model() ? view()->model()->headerData(row + top(), Qt::Vertical).toString() : QString();
}

int GridAccessible::columnCount() const
{
    return view()->model() ? std::max(0, view()->model()->columnCount() - left()) : 0;
}

int GridAccessible::rowCount() const
{
    return view()->model() ? std::max(0, view()->model()->rowCount() - top()) : 0;
}

void GridAccessible::modelChange(QAccessibleTableModelChangeEvent* event)
{
    // New values keep their cells, so a client that holds the focused one can be
    // told it changed; when rows and columns may mean other things, cells are
    // built again as asked for.
    if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
        forgetCells();
}

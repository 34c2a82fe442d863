#include "ui/grid_models.h"

TextGridModel::TextGridModel(int fixedRows, int fixedColumns, QObject* parent)
    : QAbstractTableModel(parent), fixedRows_(fixedRows), fixedColumns_(fixedColumns)
{
}

void TextGridModel::begin(int rows, int columns)
{
    resetting_ = rows != rows_ || columns != columns_;
    if (resetting_)
        beginResetModel();
    rows_ = rows;
    columns_ = columns;
    cells_.assign(static_cast<std::size_t>(rows) * columns, QString());
}

void TextGridModel::end()
{
    if (resetting_)
        endResetModel();
    else
        repaintAll();
    resetting_ = false;
}

void TextGridModel::repaintAll()
{
    if (rows_ > 0 && columns_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
}

void TextGridModel::setText(int column, int row, const QString& text)
{
    if (column >= 0 && column < columns_ && row >= 0 && row < rows_)
        cells_[static_cast<std::size_t>(row) * columns_ + column] = text;
}

const QString& TextGridModel::text(int column, int row) const
{
    static const QString kEmpty;
    if (column < 0 || column >= columns_ || row < 0 || row >= rows_)
        return kEmpty;
    return cells_[static_cast<std::size_t>(row) * columns_ + column];
}

int TextGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int TextGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::DisplayRole && index.isValid())
        return text(index.column(), index.row());
    return {};
}

Qt::ItemFlags TextGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || isFixed(index.column(), index.row()))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

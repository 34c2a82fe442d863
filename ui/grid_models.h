#pragma once
#include <QAbstractTableModel>
#include <QString>

#include <vector>

// A grid of text cells: the only model of a grid. The first fixedRows rows and
// fixedColumns columns are headers: not selectable, and they give no click.
class TextGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TextGridModel(int fixedRows, int fixedColumns, QObject* parent = nullptr);

    // Refilling starts with begin() and ends with end(), so that a grid whose size
    // does not change keeps its current cell and column widths.
    void begin(int rows, int columns);
    void end();

    void setText(int column, int row, const QString& text);
    const QString& text(int column, int row) const;
    bool isFixed(int column, int row) const { return row < fixedRows_ || column < fixedColumns_; }
    // Repaints without a rebuild (a colour changed).
    void repaintAll();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    int fixedRows_;
    int fixedColumns_;
    int rows_ = 0;
    int columns_ = 0;
    bool resetting_ = false;
    std::vector<QString> cells_;
};

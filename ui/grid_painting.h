#pragma once
#include "config/settings.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QStyledItemDelegate>

#include <vector>

class QPainter;
class TextGridModel;

QColor colorFromTable(std::uint32_t bbggrr);
std::uint32_t colorToTable(const QColor& color);

namespace GridColors {
inline const QColor kHeader{0x3B, 0x3B, 0x3B};
inline const QColor kMatrixBody{0x28, 0x28, 0x28};
inline const QColor kDeviceBody{0x5C, 0x5C, 0x5C};
}

// What painting the routing matrix needs besides the cell texts.
struct MatrixPaintContext {
    const TextGridModel* model = nullptr;
    const std::vector<int>* portDevice = nullptr;  // device slot of each global port
    const ColorTable* colors = nullptr;
    QImage logo;       // painted in cell (0, 0)
    QImage routeMark;  // painted on every body cell that reads "X"
    QFont font;
    QColor selection;
};

struct DevicePaintContext {
    const TextGridModel* model = nullptr;
    const ColorTable* colors = nullptr;
    QImage wastebasket;
    QFont font;
    QColor selection;
};

void paintMatrixCell(QPainter& painter, const QRect& cell, int column, int row, bool selected,
                     const MatrixPaintContext& context);
void paintDeviceCell(QPainter& painter, const QRect& cell, int column, int row, bool selected,
                     const DevicePaintContext& context);

class MatrixDelegate : public QStyledItemDelegate {
public:
    MatrixDelegate(const MatrixPaintContext& context, QObject* parent) : QStyledItemDelegate(parent), context_(context) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const MatrixPaintContext& context_;
};

class DeviceDelegate : public QStyledItemDelegate {
public:
    DeviceDelegate(const DevicePaintContext& context, QObject* parent) : QStyledItemDelegate(parent), context_(context) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const DevicePaintContext& context_;
};

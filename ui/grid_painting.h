#pragma once
#include "config/settings.h"
#include "ui/grid_models.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QStyledItemDelegate>

class QPainter;

QColor colorFromTable(std::uint32_t bbggrr);
std::uint32_t colorToTable(const QColor& color);
// Text on a device's colour: white, or black on a light colour, whose
// perceived brightness (0..255) is above kLightFill.
constexpr int kLightFill = 150;
QColor textColorOn(const QColor& fill);

namespace GridColors {
inline const QColor kHeader{0x3B, 0x3B, 0x3B};
inline const QColor kMatrixBody{0x28, 0x28, 0x28};
inline const QColor kDeviceBody{0x5C, 0x5C, 0x5C};
}

// What painting the routing matrix needs besides the cells.
struct MatrixPaintStyle {
    const ColorTable* colors = nullptr;
    QImage logo;       // painted in the corner
    QImage routeMark;  // painted on every route that is on
    QFont font;
    QColor selection;
};

struct DevicePaintStyle {
    const ColorTable* colors = nullptr;
    QImage wastebasket;
    QFont font;
    QColor selection;
};

// Paint one cell from its value alone, so a test can paint a cell into an image.
void paintMatrixCell(QPainter& painter, const QRect& rect, const MatrixCell& cell, bool selected,
                     const MatrixPaintStyle& style);
void paintDeviceCell(QPainter& painter, const QRect& rect, const DeviceCell& cell, bool selected,
                     const DevicePaintStyle& style);

class MatrixDelegate : public QStyledItemDelegate {
public:
    MatrixDelegate(const RoutingMatrixModel& model, const MatrixPaintStyle& style, QObject* parent)
        : QStyledItemDelegate(parent), model_(model), style_(style)
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const RoutingMatrixModel& model_;
    const MatrixPaintStyle& style_;
};

class DeviceDelegate : public QStyledItemDelegate {
public:
    DeviceDelegate(const DeviceTableModel& model, const DevicePaintStyle& style, QObject* parent)
        : QStyledItemDelegate(parent), model_(model), style_(style)
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const DeviceTableModel& model_;
    const DevicePaintStyle& style_;
};

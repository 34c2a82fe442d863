#include "ui/grid_painting.h"

#include "ui/grid_models.h"

#include <QPainter>

QColor colorFromTable(std::uint32_t bbggrr)
{
    return QColor(bbggrr & 0xFF, (bbggrr >> 8) & 0xFF, (bbggrr >> 16) & 0xFF);
}

std::uint32_t colorToTable(const QColor& color)
{
    return static_cast<std::uint32_t>(color.red()) | static_cast<std::uint32_t>(color.green()) << 8
        | static_cast<std::uint32_t>(color.blue()) << 16;
}

namespace {
// Text with an opaque ground of the cell's fill colour, its box's top-left at `at`.
void drawOpaqueText(QPainter& painter, const QPoint& at, const QString& text, const QColor& ground)
{
    const QRect box = painter.fontMetrics().boundingRect(text).translated(-painter.fontMetrics().boundingRect(text).topLeft());
    const QRect placed = box.translated(at);
    if (ground.isValid())
        painter.fillRect(placed, ground);
    painter.drawText(placed, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

QColor deviceColor(const MatrixPaintContext& context, int globalPort)
{
    if (!context.portDevice || !context.colors || globalPort < 0
        || globalPort >= static_cast<int>(context.portDevice->size()))
        return {};
    const int slot = (*context.portDevice)[globalPort];
    if (slot < 0 || slot >= kColorCount)
        return {};
    return colorFromTable((*context.colors)[slot]);
}
} // namespace

void paintMatrixCell(QPainter& painter, const QRect& cell, int column, int row, bool selected,
                     const MatrixPaintContext& context)
{
    const bool body = column >= 2 && row >= 2;
    painter.fillRect(cell, selected ? context.selection : body ? GridColors::kMatrixBody : GridColors::kHeader);
    const QString& text = context.model->text(column, row);

    if (column == 0 && row == 0) {
        painter.drawImage(cell.topLeft(), context.logo);
        return;
    }
    if (body) {
        if (text == QLatin1String("X"))
            painter.drawImage(cell.topLeft(), context.routeMark);
        return;
    }

    QColor fill;
    const bool routerCell = (row == 2 && column <= 1) || (column == 2 && row <= 1);
    if (routerCell)
        fill = Qt::black;
    else if (row >= 3)
        fill = deviceColor(context, row - 3);
    else if (column >= 3)
        fill = deviceColor(context, column - 3);
    if (text.isEmpty())
        return;
    if (fill.isValid())
        painter.fillRect(cell, fill);

    painter.save();
    painter.setClipRect(cell);
    painter.setFont(context.font);
    painter.setPen(Qt::white);
    if (column == 1 && row >= 2) {
        drawOpaqueText(painter, cell.topLeft() + QPoint(2, 2), text, fill);
    } else if (column == 0 && row >= 2) {
        drawOpaqueText(painter, cell.topLeft() + QPoint(4, 10), text, fill);
    } else if (row <= 1 && column >= 2) {
        // Reads bottom to top: the unrotated box's top-left sits near the bottom-left corner.
        painter.translate(cell.left() + 4, cell.bottom() + 1 - 5);
        painter.rotate(-90);
        drawOpaqueText(painter, QPoint(0, 0), text, fill);
    }
    painter.restore();
}

void paintDeviceCell(QPainter& painter, const QRect& cell, int column, int row, bool selected,
                     const DevicePaintContext& context)
{
    painter.fillRect(cell, selected ? context.selection : row == 0 ? GridColors::kHeader : GridColors::kDeviceBody);
    const QString& text = context.model->text(column, row);
    if (!text.isEmpty()) {
        painter.save();
        painter.setClipRect(cell);
        painter.setFont(context.font);
        painter.setPen(Qt::white);
        painter.drawText(cell.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        painter.restore();
    }
    if (row < 1)
        return;
    if (column == 4 && context.colors && row - 1 < kColorCount)
        painter.fillRect(cell, colorFromTable((*context.colors)[row - 1]));
    else if (column == 5)
        painter.drawImage(cell.topLeft(), context.wastebasket);
}

void MatrixDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    paintMatrixCell(*painter, option.rect, index.column(), index.row(), option.state & QStyle::State_Selected, context_);
}

void DeviceDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    paintDeviceCell(*painter, option.rect, index.column(), index.row(), option.state & QStyle::State_Selected, context_);
}

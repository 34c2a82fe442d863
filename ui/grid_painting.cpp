#include "ui/grid_painting.h"

#include <QPainter>

#include <algorithm>

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
// A name too long for the room it has ends in an ellipsis; the whole name is in
// the cell's tooltip. One that fits is drawn as it is.
QString fitted(const QPainter& painter, const QString& text, int room)
{
    return painter.fontMetrics().horizontalAdvance(text) <= room
        ? text : painter.fontMetrics().elidedText(text, Qt::ElideRight, std::max(room, 0));
}

// Text with an opaque ground of the cell's fill colour, its box's top-left at
// `at`, in at most `room` pixels.
void drawOpaqueText(QPainter& painter, const QPoint& at, const QString& whole, const QColor& ground, int room)
{
    const QString text = fitted(painter, whole, room);
    const QRect box = painter.fontMetrics().boundingRect(text).translated(-painter.fontMetrics().boundingRect(text).topLeft());
    const QRect placed = box.translated(at);
    if (ground.isValid())
        painter.fillRect(placed, ground);
    painter.drawText(placed, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

QColor slotColor(const ColorTable* colors, int slot)
{
    if (!colors || slot < 0 || slot >= kColorCount)
        return {};
    return colorFromTable((*colors)[static_cast<std::size_t>(slot)]);
}

// The current cell of a focused grid: a frame that shows on any fill and mark.
void paintFocusFrame(QPainter& painter, const QRect& rect)
{
    painter.save();
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(QColor(0xFF, 0xD8, 0x00), 2));
    painter.drawRect(rect.adjusted(2, 2, -2, -2));
    painter.restore();
}
} // namespace

QColor textColorOn(const QColor& fill)
{
    if (!fill.isValid())
        return Qt::white;
    const int brightness = (299 * fill.red() + 587 * fill.green() + 114 * fill.blue()) / 1000;
    return brightness > kLightFill ? QColor(Qt::black) : QColor(Qt::white);
}

void paintMatrixCell(QPainter& painter, const QRect& rect, const MatrixCell& cell, bool selected,
                     const MatrixPaintStyle& style)
{
    using Kind = MatrixCell::Kind;
    painter.fillRect(rect, selected ? style.selection : cell.kind == Kind::Route ? GridColors::kMatrixBody : GridColors::kHeader);
    if (cell.kind == Kind::Logo) {
        painter.drawImage(rect.topLeft(), style.logo);
        return;
    }
    if (cell.kind == Kind::Route) {
        if (cell.on)
            painter.drawImage(rect.topLeft(), style.routeMark);
        return;
    }
    if (cell.text.isEmpty())
        return;
    const QColor fill = cell.kind == Kind::RouterName || cell.kind == Kind::RouterPort ? QColor(Qt::black)
                                                                                       : slotColor(style.colors, cell.deviceSlot);
    if (fill.isValid())
        painter.fillRect(rect, fill);

    painter.save();
    painter.setClipRect(rect);
    painter.setFont(style.font);
    painter.setPen(textColorOn(fill));
    switch (cell.placement) {
    case MatrixCell::Text::Across:
        drawOpaqueText(painter, rect.topLeft() + QPoint(2, 2), cell.text, fill, rect.width() - 2);
        break;
    case MatrixCell::Text::Name:
        drawOpaqueText(painter, rect.topLeft() + QPoint(4, 10), cell.text, fill, rect.width() - 4);
        break;
    case MatrixCell::Text::Vertical:
        // Reads bottom to top: the unrotated box's top-left sits near the bottom-left corner.
        painter.translate(rect.left() + 4, rect.bottom() + 1 - 5);
        painter.rotate(-90);
        drawOpaqueText(painter, QPoint(0, 0), cell.text, fill, rect.height() - 5);
        break;
    case MatrixCell::Text::None:
        break;
    }
    painter.restore();
}

void paintDeviceCell(QPainter& painter, const QRect& rect, const DeviceCell& cell, bool selected,
                     const DevicePaintStyle& style)
{
    painter.fillRect(rect, selected ? style.selection
                                    : cell.kind == DeviceCell::Kind::Header ? GridColors::kHeader : GridColors::kDeviceBody);
    if (!cell.text.isEmpty()) {
        painter.save();
        painter.setClipRect(rect);
        painter.setFont(style.font);
        painter.setPen(Qt::white);
        painter.drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         fitted(painter, cell.text, rect.width() - 2));
        painter.restore();
    }
    if (cell.kind == DeviceCell::Kind::Color) {
        const QColor color = slotColor(style.colors, cell.deviceSlot);
        if (color.isValid())
            painter.fillRect(rect, color);
    } else if (cell.kind == DeviceCell::Kind::Remove) {
        painter.drawImage(rect.topLeft(), style.wastebasket);
    }
}

void MatrixDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    paintMatrixCell(*painter, option.rect, model_.cell(index.row(), index.column()),
                    option.state & QStyle::State_Selected, style_);
    if (option.state & QStyle::State_HasFocus)
        paintFocusFrame(*painter, option.rect);
}

void DeviceDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    paintDeviceCell(*painter, option.rect, model_.cell(index.row(), index.column()),
                    option.state & QStyle::State_Selected, style_);
    if (option.state & QStyle::State_HasFocus)
        paintFocusFrame(*painter, option.rect);
}

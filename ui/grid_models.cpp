#include "ui/grid_models.h"

#include "config/device_name.h"
#include "ui/grid_painting.h"
#include "text/texts.h"

#include <array>
#include <optional>

namespace {
// The device table's columns in order: the caption row's text (none over the
// wastebasket) and the designed width of the cell, without its grid line.
struct DeviceColumn {
    std::optional<Text> caption;
    int width;
};
constexpr std::array<DeviceColumn, DeviceTableModel::kColumns> kDeviceColumns = {{
    {Text::HeaderVidPid, 63},
    {Text::HeaderDevice, 126},
    {Text::HeaderSerial, 69},
    {Text::HeaderPorts, 51},
    {Text::HeaderColor, 39},
    {std::nullopt, 28},
}};
static_assert(kDeviceColumns[DeviceTableModel::kNameColumn].caption == Text::HeaderDevice);
static_assert(kDeviceColumns[DeviceTableModel::kColorColumn].caption == Text::HeaderColor);
static_assert(!kDeviceColumns[DeviceTableModel::kRemoveColumn].caption);

// A device as it is known apart from the others; two alike share it.
std::string deviceKey(const DeviceEntry& device)
{
    return std::to_string(device.vendorId) + ':' + std::to_string(device.productId) + ':'
        + std::to_string(device.serialNumber) + ':' + device.deviceName;
}
} // namespace

RoutingMatrixModel::RoutingMatrixModel(const ConfigImage& image, QObject* parent)
    : GridModel(parent), image_(image)
{
}

void RoutingMatrixModel::rebuild()
{
    const int oldSize = layout_.size();
    const int ports = image_.totalPorts();
    const int newSize = MatrixLayout(ports).size();
    refill(oldSize, newSize, oldSize, newSize, [&] {
        layout_ = MatrixLayout(ports);
        const int n = image_.deviceCount();
        ports_.clear();
        names_.assign(static_cast<std::size_t>(n), QString());
        deviceKeys_.assign(static_cast<std::size_t>(n), std::string());
        for (int d = 0; d < n; ++d) {
            const DeviceEntry e = image_.device(d);
            names_[static_cast<std::size_t>(d)] = decodeDeviceName(e.deviceName);
            deviceKeys_[static_cast<std::size_t>(d)] = deviceKey(e);
            for (int k = 0; k < e.ports(); ++k)
                ports_.push_back({d, k + 1, k == 0});
        }
        const std::size_t side = static_cast<std::size_t>(ports) + 1;
        on_.assign(side * side, false);
        image_.forEachRoute([&](const Route& route) { on_[routeIndex(route)] = true; });
    });
}

void RoutingMatrixModel::switchRoute(const Route& route)
{
    if (route.source < Route::kRouter || route.source >= layout_.ports() || route.destination < Route::kRouter
        || route.destination >= layout_.ports())
        return;
    on_[routeIndex(route)] = image_.routeOn(route);
    const QModelIndex cell = index(MatrixLayout::lineOf(route.source), MatrixLayout::lineOf(route.destination));
    emit dataChanged(cell, cell);
}

std::string RoutingMatrixModel::lineKey(int line) const
{
    const int endpoint = MatrixLayout::endpointAt(line);
    if (line < MatrixLayout::kFirstPortLine || endpoint >= static_cast<int>(ports_.size()))
        return "line " + std::to_string(line);
    const Port& port = ports_[static_cast<std::size_t>(endpoint)];
    return deviceKeys_[static_cast<std::size_t>(port.device)] + " port " + std::to_string(port.number);
}

void RoutingMatrixModel::colorChanged(int slot)
{
    int first = -1;
    int last = -1;
    for (std::size_t endpoint = 0; endpoint < ports_.size(); ++endpoint) {
        if (ports_[endpoint].device != slot)
            continue;
        const int line = MatrixLayout::lineOf(static_cast<int>(endpoint));
        first = first < 0 ? line : first;
        last = line;
    }
    if (first < 0)
        return;
    // A device's ports are consecutive lines: its names beside its rows and above its columns.
    emit dataChanged(index(first, MatrixLayout::kNameLine), index(last, MatrixLayout::kPortLine));
    emit dataChanged(index(MatrixLayout::kNameLine, first), index(MatrixLayout::kPortLine, last));
}

MatrixCell RoutingMatrixModel::cell(int row, int column) const
{
    using L = MatrixLayout;
    MatrixCell c;
    if (row < 0 || column < 0 || row >= layout_.size() || column >= layout_.size())
        return c;
    if (const std::optional<Route> route = layout_.routeAt(row, column)) {
        c.kind = MatrixCell::Kind::Route;
        c.route = *route;
        c.on = on_[routeIndex(*route)];
        if (c.on)
            c.text = QStringLiteral("X");
        return c;
    }
    if (row == 0 && column == 0) {
        c.kind = MatrixCell::Kind::Logo;
        return c;
    }
    // A header cell: the sources run down column 0 (names) and 1 (ports), the
    // destinations along row 0 (names) and 1 (ports), their texts reading upwards.
    const bool alongRows = column <= L::kPortLine;  // a source's header
    const int line = alongRows ? row : column;
    const int header = alongRows ? column : row;
    if (line <= L::kPortLine)
        return c;
    c.placement = alongRows ? (header == L::kNameLine ? MatrixCell::Text::Name : MatrixCell::Text::Across)
                            : MatrixCell::Text::Vertical;
    if (line == L::kRouterLine) {
        c.kind = header == L::kNameLine ? MatrixCell::Kind::RouterName : MatrixCell::Kind::RouterPort;
        c.text = header == L::kNameLine ? QStringLiteral("MIDI") : alongRows ? QStringLiteral("In") : QStringLiteral("Out");
        return c;
    }
    const Port& port = ports_[static_cast<std::size_t>(L::endpointAt(line))];
    c.deviceSlot = port.device;
    if (header == L::kPortLine) {
        c.kind = MatrixCell::Kind::PortName;
        c.text = QStringLiteral("%1 %2").arg(alongRows ? QStringLiteral("In") : QStringLiteral("Out")).arg(port.number);
    } else if (port.firstOfDevice) {
        c.kind = MatrixCell::Kind::DeviceName;
        c.text = names_[static_cast<std::size_t>(port.device)];
    }
    return c;
}

QString RoutingMatrixModel::sourceName(int source) const
{
    return portName(image_, source, true);
}

QString RoutingMatrixModel::destinationName(int destination) const
{
    return portName(image_, destination, false);
}

int RoutingMatrixModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : layout_.size();
}

int RoutingMatrixModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : layout_.size();
}

QVariant RoutingMatrixModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column()).text;
    case Qt::ToolTipRole: {
        // A long device name is clipped in its cell, and a scrolled matrix hides
        // the names of the route cells: both are whole under the pointer.
        const MatrixCell c = cell(index.row(), index.column());
        if (c.kind == MatrixCell::Kind::Route)
            return data(index, Qt::AccessibleTextRole);
        return c.kind == MatrixCell::Kind::DeviceName ? QVariant(c.text) : QVariant();
    }
    case Qt::CheckStateRole: {
        // A route is a switch: a screen reader hears it checked or not.
        const MatrixCell c = cell(index.row(), index.column());
        if (c.kind != MatrixCell::Kind::Route)
            return {};
        return c.on ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::AccessibleTextRole:
    case Qt::AccessibleDescriptionRole: {
        const MatrixCell c = cell(index.row(), index.column());
        if (c.kind != MatrixCell::Kind::Route)
            return role == Qt::AccessibleTextRole ? QVariant(c.text) : QVariant();
        const QString route = QStringLiteral("%1 → %2").arg(sourceName(c.route.source), destinationName(c.route.destination));
        if (role == Qt::AccessibleTextRole)
            return route;
        return QStringLiteral("%1: %2").arg(route, uiText(c.on ? Text::RouteOn : Text::RouteOff, language_));
    }
    default:
        return {};
    }
}

// The source of each body row and the destination of each body column, for
// assistive technology (the grid draws its own headers as cells).
QVariant RoutingMatrixModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < MatrixLayout::kRouterLine || section >= layout_.size())
        return {};
    const int endpoint = MatrixLayout::endpointAt(section);
    return orientation == Qt::Vertical ? sourceName(endpoint) : destinationName(endpoint);
}

Qt::ItemFlags RoutingMatrixModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || !layout_.routeAt(index.row(), index.column()))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

int DeviceTableModel::columnWidth(int column)
{
    return column >= 0 && column < kColumns ? kDeviceColumns[static_cast<std::size_t>(column)].width : 0;
}

DeviceTableModel::DeviceTableModel(const ConfigImage& image, const ColorTable* colors, QObject* parent)
    : GridModel(parent), image_(image), colors_(colors)
{
}

void DeviceTableModel::rebuild()
{
    const int n = image_.deviceCount();
    refill(rows_, n + 1, kColumns, kColumns, [&] {
        rows_ = n + 1;
        devices_.clear();
        for (int d = 0; d < n; ++d)
            devices_.push_back(image_.device(d));
    });
}

void DeviceTableModel::setLanguage(UiLanguage language)
{
    language_ = language;
    repaintAll();
}

std::string DeviceTableModel::rowKey(int row) const
{
    const int slot = slotAt(row);
    return slot < 0 ? "row " + std::to_string(row) : deviceKey(devices_[static_cast<std::size_t>(slot)]);
}

void DeviceTableModel::colorChanged(int slot)
{
    const int row = slot + 1;
    if (slotAt(row) >= 0)
        emit dataChanged(index(row, kColorColumn), index(row, kColorColumn));
}

void DeviceTableModel::repaintAll()
{
    if (rows_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, kColumns - 1));
}

DeviceCell DeviceTableModel::cell(int row, int column) const
{
    DeviceCell c;
    if (row < 0 || row >= rows_ || column < 0 || column >= kColumns)
        return c;
    if (row == 0) {
        c.kind = DeviceCell::Kind::Header;
        if (const std::optional<Text> caption = kDeviceColumns[static_cast<std::size_t>(column)].caption)
            c.text = uiText(*caption, language_);
        return c;
    }
    const int slot = row - 1;
    const DeviceEntry& e = devices_[static_cast<std::size_t>(slot)];
    c.deviceSlot = slot;
    switch (column) {
    case 0:
        c.text = QStringLiteral("%1 / %2")
                     .arg(e.vendorId, 4, 16, QLatin1Char('0'))
                     .arg(e.productId, 4, 16, QLatin1Char('0'))
                     .toUpper();
        break;
    case 1:
        c.text = decodeDeviceName(e.deviceName);
        break;
    case 2:
        c.text = QString::number(e.serialNumber);
        break;
    case 3:
        c.text = QString::number(e.ports());
        break;
    case kColorColumn:
        c.kind = DeviceCell::Kind::Color;
        break;
    default:
        c.kind = DeviceCell::Kind::Remove;
        break;
    }
    return c;
}

int DeviceTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int DeviceTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant DeviceTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const DeviceCell c = cell(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        return c.text;
    case Qt::ToolTipRole:
        return index.column() == kNameColumn && c.kind == DeviceCell::Kind::Text ? QVariant(c.text) : QVariant();
    case Qt::AccessibleTextRole:
        // The colour and wastebasket cells show no text: say what they do, for
        // which device, and which colour the device has.
        if (c.kind == DeviceCell::Kind::Remove)
            return uiText(Text::RemoveOf, language_).arg(cell(index.row(), kNameColumn).text);
        if (c.kind == DeviceCell::Kind::Color) {
            const QString what = uiText(Text::ColorOf, language_).arg(cell(index.row(), kNameColumn).text);
            if (!colors_ || c.deviceSlot < 0 || c.deviceSlot >= kColorCount)
                return what;
            const QColor color = colorFromTable((*colors_)[static_cast<std::size_t>(c.deviceSlot)]);
            return what + QStringLiteral(": ") + colorName(color.red(), color.green(), color.blue(), language_);
        }
        return c.text;
    default:
        return {};
    }
}

QVariant DeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < kColumns ? QVariant(cell(0, section).text) : QVariant();
    return slotAt(section) >= 0 ? QVariant(cell(section, kNameColumn).text) : QVariant();
}

Qt::ItemFlags DeviceTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() == 0)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

#pragma once
#include "config/config_image.h"
#include "config/settings.h"
#include "text/messages.h"
#include "ui/matrix_layout.h"

#include <QAbstractTableModel>
#include <QString>

#include <string>
#include <vector>

// What one cell of the routing matrix is, in the domain's terms.
struct MatrixCell {
    enum class Kind {
        Logo,        // the corner
        Empty,       // a header cell with nothing in it
        RouterName,  // "MIDI" beside the router's own In and Out
        RouterPort,  // "In" / "Out" of the router
        DeviceName,  // at a device's first port
        PortName,    // "In k" / "Out k"
        Route,       // a body cell
    };
    enum class Text { None, Across, Name, Vertical };  // how a header's text is placed

    Kind kind = Kind::Empty;
    QString text;
    Text placement = Text::None;
    int deviceSlot = -1;   // whose colour fills a name cell; -1 none
    Route route{Route::kRouter, Route::kRouter};
    bool on = false;       // a route cell that is switched on
};

// What both grid models share: refilling from the image keeps a grid whose size
// does not change as it is (current cell, column widths) and only repaints it.
class GridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    // The grids draw their headers as cells: so many rows on top and columns on
    // the left are headers, the rest is the body a screen reader walks.
    virtual int headerRows() const = 0;
    virtual int headerColumns() const = 0;

protected:
    template <typename Refill>
    void refill(int oldRows, int newRows, int oldColumns, int newColumns, Refill&& refillData)
    {
        const bool reset = oldRows != newRows || oldColumns != newColumns;
        if (reset)
            beginResetModel();
        refillData();
        if (reset)
            endResetModel();
        else if (newRows > 0 && newColumns > 0)
            emit dataChanged(index(0, 0), index(newRows - 1, newColumns - 1));
    }
};

// The routing matrix over the configuration image: one typed value per cell,
// refreshed by rebuild(). The display text is the design's ("X" on a route that
// is on); whoever needs the state reads the typed cell.
class RoutingMatrixModel : public GridModel {
    Q_OBJECT
public:
    explicit RoutingMatrixModel(const ConfigImage& image, QObject* parent = nullptr);

    // Reads the image again. A matrix whose size does not change keeps its current cell.
    void rebuild();
    // The image switched this one route: its cell alone changes.
    void switchRoute(const Route& route);
    // A device slot's colour changed: the name and port cells of its lines.
    void colorChanged(int slot);

    const MatrixLayout& layout() const { return layout_; }
    MatrixCell cell(int row, int column) const;
    // What a row or column stands for, the same across refills while it exists:
    // a header or router line, or a device (by its identity) and port.
    std::string lineKey(int line) const;
    // "Keys In 1", "MIDI In"; "Synth Out 2", "MIDI Out".
    QString sourceName(int source) const;
    QString destinationName(int destination) const;
    // The language of the descriptions given to assistive technology.
    void setLanguage(UiLanguage language) { language_ = language; }

    int headerRows() const override { return MatrixLayout::kRouterLine; }
    int headerColumns() const override { return MatrixLayout::kRouterLine; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Port {
        int device;
        int number;          // 1-based within its device
        bool firstOfDevice;
    };
    // Where a route's state is kept in on_: the router first, then the ports.
    std::size_t routeIndex(const Route& route) const
    {
        const std::size_t side = static_cast<std::size_t>(layout_.ports()) + 1;
        return static_cast<std::size_t>(route.source + 1) * side + static_cast<std::size_t>(route.destination + 1);
    }

    const ConfigImage& image_;
    UiLanguage language_ = UiLanguage::Spanish;
    MatrixLayout layout_;
    std::vector<Port> ports_;
    std::vector<QString> names_;   // by device slot
    std::vector<std::string> deviceKeys_;  // by device slot, as the last refill read them
    std::vector<bool> on_;         // (ports + 1)^2, the router first
};

// What one cell of the device table is.
struct DeviceCell {
    enum class Kind { Header, Text, Color, Remove };
    Kind kind = Kind::Text;
    QString text;
    int deviceSlot = -1;  // the slot whose colour a Color cell shows
};

// The device table: a header row, then one row per device.
class DeviceTableModel : public GridModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 6;
    static constexpr int kNameColumn = 1;
    static constexpr int kColorColumn = 4;
    static constexpr int kRemoveColumn = 5;

    // The designed width of a column's cells, without the grid line.
    static int columnWidth(int column);

    // `colors` (by slot) lets a screen reader hear each device's colour.
    DeviceTableModel(const ConfigImage& image, const ColorTable* colors = nullptr, QObject* parent = nullptr);

    void rebuild();
    void setLanguage(UiLanguage language);
    // A device slot's colour changed: its colour cell.
    void colorChanged(int slot);
    void repaintAll();

    // The device slot a row stands for; -1 for the header row or outside.
    int slotAt(int row) const { return row >= 1 && row < rows_ ? row - 1 : -1; }
    DeviceCell cell(int row, int column) const;
    // What a row stands for, the same across refills while it exists.
    std::string rowKey(int row) const;

    int headerRows() const override { return 1; }
    int headerColumns() const override { return 0; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const ConfigImage& image_;
    const ColorTable* colors_;
    UiLanguage language_ = UiLanguage::Spanish;
    int rows_ = 0;
    std::vector<DeviceEntry> devices_;
};

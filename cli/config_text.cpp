#include "cli/config_text.h"

#include "cli/config_edit.h"
#include "config/device_name.h"
#include "core/config_document.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>

namespace ConfigText {
namespace {

QJsonValue portJson(const ConfigImage& image, int globalPort)
{
    if (globalPort == Route::kRouter)
        return QStringLiteral("router");
    const PortRef owner = image.portOwner(globalPort);
    return QJsonObject{{QStringLiteral("device"), owner.device}, {QStringLiteral("port"), owner.port + 1}};
}

QString hex4(unsigned value) { return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper(); }

QString hexBytes(const std::uint8_t* bytes, std::size_t count)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(count)).toHex());
}

// Lines of `size` bytes from `offset`; the trailing lines that are all `filler`
// are left out, and come back as `filler`.
QJsonArray slotLines(const ConfigImage& image, std::size_t offset, std::size_t count, std::size_t size, std::uint8_t filler)
{
    const std::uint8_t* bytes = image.rawBytes() + offset;
    std::size_t used = count;
    while (used > 0 && std::all_of(bytes + (used - 1) * size, bytes + used * size, [&](std::uint8_t b) { return b == filler; }))
        --used;
    QJsonArray lines;
    for (std::size_t i = 0; i < used; ++i)
        lines.append(hexBytes(bytes + i * size, size));
    return lines;
}

QJsonObject bytesJson(const ConfigImage& image)
{
    return QJsonObject{
        {QStringLiteral("deviceSlots"), slotLines(image, 0, kDeviceSlots, kDeviceEntrySize, 0x00)},
        {QStringLiteral("routeSlots"), slotLines(image, kRouteTableOffset, kRouteSlots, kRouteEntrySize, 0xFF)},
        {QStringLiteral("reserved"), hexBytes(image.rawBytes() + kReservedOffset, kFlagsOffset - kReservedOffset)},
        {QStringLiteral("flags"), hexBytes(image.rawBytes() + kFlagsOffset, 1)},
    };
}

QStringList devices(const ConfigImage& image)
{
    QStringList lines;
    for (int d = 0; d < image.deviceCount(); ++d)
        lines << deviceLine(image.device(d));
    return lines;
}

// What is in `a` and not in `b`, counting repeats.
QStringList minus(QStringList a, const QStringList& b)
{
    for (const QString& item : b)
        a.removeOne(item);
    return a;
}
} // namespace

QString deviceLine(const DeviceEntry& device)
{
    // One arg() for all: a name may itself hold "%4".
    return QStringLiteral("%1 / %2  %3  serial %4  %5 %6")
        .arg(hex4(device.vendorId), hex4(device.productId), decodeDeviceName(device.deviceName),
             QString::number(device.serialNumber), QString::number(device.ports()),
             device.ports() == 1 ? QStringLiteral("port") : QStringLiteral("ports"));
}

QStringList routeLines(const ConfigImage& image)
{
    QStringList lines;
    image.forEachRoute([&](const Route& route) {
        lines << portName(image, route.source, true) + QStringLiteral(" -> ") + portName(image, route.destination, false);
    });
    return lines;
}

QString show(const ConfigImage& image)
{
    QString text = QStringLiteral("Devices:\n");
    const int n = image.deviceCount();
    if (n == 0)
        text += QStringLiteral("  (none)\n");
    for (int d = 0; d < n; ++d)
        text += QStringLiteral("  %1  %2\n").arg(d, 2).arg(deviceLine(image.device(d)));
    text += QStringLiteral("Routes:\n");
    const QStringList routes = routeLines(image);
    if (routes.isEmpty())
        text += QStringLiteral("  (none)\n");
    for (const QString& route : routes)
        text += QStringLiteral("  ") + route + QLatin1Char('\n');
    return text;
}

QJsonObject toJson(const ConfigImage& image)
{
    QJsonArray deviceArray;
    for (int d = 0; d < image.deviceCount(); ++d) {
        const DeviceEntry e = image.device(d);
        deviceArray.append(QJsonObject{
            {QStringLiteral("slot"), d},
            {QStringLiteral("vendorId"), hex4(e.vendorId)},
            {QStringLiteral("productId"), hex4(e.productId)},
            {QStringLiteral("name"), decodeDeviceName(e.deviceName)},
            {QStringLiteral("serial"), static_cast<qint64>(e.serialNumber)},
            {QStringLiteral("ports"), e.ports()},
        });
    }
    QJsonArray routeArray;
    image.forEachRoute([&](const Route& route) {
        routeArray.append(QJsonObject{
            {QStringLiteral("from"), portJson(image, route.source)},
            {QStringLiteral("to"), portJson(image, route.destination)},
            {QStringLiteral("text"), portName(image, route.source, true) + QStringLiteral(" -> ")
                                         + portName(image, route.destination, false)},
        });
    });
    return QJsonObject{{QStringLiteral("devices"), deviceArray},
                       {QStringLiteral("routes"), routeArray},
                       {QStringLiteral("midiThru"), !image.midiThruOff()},
                       {QStringLiteral("bytes"), bytesJson(image)}};
}

namespace {
// Reads the JSON text back; every failure names where it is.
class JsonReader {
public:
    explicit JsonReader(QString& error) : error_(error) {}

    bool fail(const QString& where, const QString& what)
    {
        error_ = where + QStringLiteral(": ") + what;
        return false;
    }

    // Hex digits into `size` bytes at `into`.
    bool hex(const QJsonValue& value, std::uint8_t* into, std::size_t size, const QString& where)
    {
        const QString text = value.toString();
        const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
        if (!value.isString() || text.size() != static_cast<qsizetype>(2 * size) || bytes.size() != static_cast<qsizetype>(size)
            || QString::fromLatin1(bytes.toHex()) != text.toLower())
            return fail(where, QStringLiteral("expected %1 bytes as %2 hexadecimal digits").arg(size).arg(2 * size));
        std::copy(bytes.begin(), bytes.end(), into);
        return true;
    }

    bool slotLines(const QJsonValue& value, std::uint8_t* into, std::size_t count, std::size_t size, std::uint8_t filler,
                   const QString& where)
    {
        const QJsonArray lines = value.toArray();
        if (!value.isArray() || lines.size() > static_cast<qsizetype>(count))
            return fail(where, QStringLiteral("expected a list of at most %1 lines").arg(count));
        std::fill(into, into + count * size, filler);
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (!hex(lines[i], into + i * size, size, QStringLiteral("%1[%2]").arg(where).arg(i)))
                return false;
        return true;
    }

    bool bytes(const QJsonObject& bytes, ConfigImage& image)
    {
        return slotLines(bytes.value(QStringLiteral("deviceSlots")), image.rawBytes(), kDeviceSlots, kDeviceEntrySize, 0x00,
                     QStringLiteral("bytes.deviceSlots"))
            && slotLines(bytes.value(QStringLiteral("routeSlots")), image.rawBytes() + kRouteTableOffset, kRouteSlots,
                     kRouteEntrySize, 0xFF, QStringLiteral("bytes.routeSlots"))
            && hex(bytes.value(QStringLiteral("reserved")), image.rawBytes() + kReservedOffset, kFlagsOffset - kReservedOffset,
                   QStringLiteral("bytes.reserved"))
            && hex(bytes.value(QStringLiteral("flags")), image.rawBytes() + kFlagsOffset, 1, QStringLiteral("bytes.flags"));
    }

    bool number(const QJsonObject& object, const char* key, qint64 low, qint64 high, qint64& value, const QString& where)
    {
        const QJsonValue field = object.value(QLatin1String(key));
        const double number = field.toDouble(-1);
        if (!field.isDouble() || number != static_cast<double>(static_cast<qint64>(number)) || number < low || number > high)
            return fail(where + QLatin1Char('.') + QLatin1String(key), QStringLiteral("expected a whole number from %1 to %2").arg(low).arg(high));
        value = static_cast<qint64>(number);
        return true;
    }

    bool hex16(const QJsonObject& object, const char* key, std::uint16_t& value, const QString& where)
    {
        std::uint8_t two[2];
        if (!hex(object.value(QLatin1String(key)), two, 2, where + QLatin1Char('.') + QLatin1String(key)))
            return false;
        value = static_cast<std::uint16_t>(two[0] << 8 | two[1]);
        return true;
    }

    // A device as listed; what the list does not say (its MIDI In and Out masks,
    // a port count above 8 that reads as 8) is kept from `old`.
    bool device(const QJsonValue& value, const DeviceEntry& old, DeviceEntry& entry, const QString& where)
    {
        const QJsonObject object = value.toObject();
        if (!value.isObject())
            return fail(where, QStringLiteral("expected an object"));
        qint64 serial = 0, ports = 0;
        entry = old;
        if (!hex16(object, "vendorId", entry.vendorId, where) || !hex16(object, "productId", entry.productId, where)
            || !number(object, "serial", 0, 0xFFFFFFFFLL, serial, where) || !number(object, "ports", 0, kMaxPorts, ports, where))
            return false;
        if (entry.vendorId == kDeviceTerminator)
            return fail(where + QStringLiteral(".vendorId"), QStringLiteral("FFFF ends the device table; no device has it"));
        entry.serialNumber = static_cast<std::uint32_t>(serial);
        if (ports != old.ports())
            entry.portCount = static_cast<std::uint8_t>(ports);
        const QString name = object.value(QStringLiteral("name")).toString();
        if (decodeDeviceName(old.deviceName) != name) {
            std::string encoded;
            for (QChar c : name) {
                char byte = 0;
                if (!encode(c, byte) || byte == '\0')
                    return fail(where + QStringLiteral(".name"), QStringLiteral("%1 cannot be stored in a device name").arg(QString(c)));
                encoded += byte;
            }
            if (encoded.size() > kDeviceNameSize - 1)
                return fail(where + QStringLiteral(".name"), QStringLiteral("at most %1 characters").arg(kDeviceNameSize - 1));
            entry.deviceName = encoded;
        }
        return true;
    }

private:
    // The one byte of code page 1252 that stands for `c`.
    static bool encode(QChar c, char& byte)
    {
        for (int b = 1; b < 256; ++b) {
            const std::string one(1, static_cast<char>(b));
            if (decodeDeviceName(one) == QString(c)) {
                byte = static_cast<char>(b);
                return true;
            }
        }
        return false;
    }

    QString& error_;
};

// The port a route's end names: its text, or a {device, port} object, or "router".
bool routeEnd(const ConfigImage& image, const QJsonValue& value, bool source, int& port, QString& error)
{
    if (value.toString() == QLatin1String("router")) {
        port = Route::kRouter;
        return true;
    }
    if (value.isString())
        return ConfigEdit::findPort(image, value.toString(), source, port, error);
    const QJsonObject object = value.toObject();
    const int device = object.value(QStringLiteral("device")).toInt(-1);
    const int number = object.value(QStringLiteral("port")).toInt(0);
    if (device < 0 || device >= image.deviceCount() || number < 1 || number > image.device(device).ports()) {
        error = QStringLiteral("no such port");
        return false;
    }
    port = image.globalPort(device, number - 1);
    return true;
}
} // namespace

// The port at the same device slot and port number in `after`.
static bool carried(const ConfigImage& before, const ConfigImage& after, int port, int& moved)
{
    if (port == Route::kRouter) {
        moved = port;
        return true;
    }
    const PortRef owner = before.portOwner(port);
    if (owner.device < 0 || owner.device >= after.deviceCount() || owner.port >= after.device(owner.device).ports())
        return false;
    moved = after.globalPort(owner.device, owner.port);
    return true;
}

bool fromJson(const QByteArray& text, ConfigImage& image, QString& error)
{
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
    if (parse.error != QJsonParseError::NoError) {
        const int line = static_cast<int>(text.left(parse.offset).count('\n')) + 1;
        error = QStringLiteral("line %1: %2").arg(line).arg(parse.errorString());
        return false;
    }
    JsonReader reader(error);
    const QJsonObject root = document.object();
    if (!document.isObject())
        return reader.fail(QStringLiteral("line 1"), QStringLiteral("expected an object"));

    ConfigImage start = ConfigImage::empty();
    if (root.contains(QStringLiteral("bytes")) && !reader.bytes(root.value(QStringLiteral("bytes")).toObject(), start))
        return false;
    ConfigDocument edited;
    edited.load(start);

    // The devices: each listed one as it says, those no longer listed removed.
    const QJsonArray devices = root.value(QStringLiteral("devices")).toArray();
    if (!root.value(QStringLiteral("devices")).isArray())
        return reader.fail(QStringLiteral("devices"), QStringLiteral("expected a list"));
    std::vector<bool> listed(kDeviceSlots, false);
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const QString where = QStringLiteral("devices[%1]").arg(i);
        qint64 slot = 0;
        const int count = edited.image().deviceCount();
        if (!reader.number(devices[i].toObject(), "slot", 0, std::min<qint64>(count, kDeviceSlots - 1), slot, where))
            return false;
        if (listed[static_cast<std::size_t>(slot)])
            return reader.fail(where + QStringLiteral(".slot"), QStringLiteral("slot %1 is listed twice").arg(slot));
        listed[static_cast<std::size_t>(slot)] = true;
        const DeviceEntry old = slot < count ? edited.image().device(static_cast<int>(slot)) : DeviceEntry{};
        DeviceEntry entry;
        if (!reader.device(devices[i], old, entry, where))
            return false;
        ConfigImage changed = edited.image();
        if (slot == count) {
            changed.setDevice(static_cast<int>(slot), entry);
            if (slot + 1 < static_cast<qint64>(kDeviceSlots)) {
                DeviceEntry terminator;
                terminator.vendorId = kDeviceTerminator;
                changed.setDevice(static_cast<int>(slot) + 1, terminator);
            }
        } else if (entry.vendorId != old.vendorId || entry.productId != old.productId || entry.serialNumber != old.serialNumber
                   || entry.portCount != old.portCount || entry.deviceName != old.deviceName) {
            changed.setDevice(static_cast<int>(slot), entry);
        }
        edited.replace(changed, {EditKind::Open, {}, {}});
    }

    // The routes, by their names; MIDI thru by its own key as well, which must
    // agree. They are read before the devices no longer listed go, so that the
    // routes of those go with them, as they do in the window.
    const QJsonValue routesValue = root.value(QStringLiteral("routes"));
    if (!routesValue.isArray())
        return reader.fail(QStringLiteral("routes"), QStringLiteral("expected a list"));
    std::vector<Route> wanted;
    const QJsonArray routes = routesValue.toArray();
    for (qsizetype i = 0; i < routes.size(); ++i) {
        const QString where = QStringLiteral("routes[%1]").arg(i);
        // By its words, as people write it; where two devices share a name, the
        // words do not tell, and the slots written beside them do.
        const QJsonObject entry = routes[i].toObject();
        const QString line = routes[i].isString() ? routes[i].toString() : entry.value(QStringLiteral("text")).toString();
        const QStringList ends = line.split(QStringLiteral(" -> "));
        Route route{};
        QString why;
        bool byWords = ends.size() == 2 && routeEnd(edited.image(), ends[0], true, route.source, why)
            && routeEnd(edited.image(), ends[1], false, route.destination, why);
        // A route still written with a device's old name follows the device.
        Route old{};
        QString unused;
        if (!byWords && ends.size() == 2 && routeEnd(start, ends[0], true, old.source, unused)
            && routeEnd(start, ends[1], false, old.destination, unused)) {
            byWords = carried(start, edited.image(), old.source, route.source)
                && carried(start, edited.image(), old.destination, route.destination);
        }
        if (!byWords) {
            if (!entry.contains(QStringLiteral("from")) || !entry.contains(QStringLiteral("to")))
                return reader.fail(where, ends.size() == 2 ? why : QStringLiteral("expected \"SOURCE -> DESTINATION\""));
            QString bySlots;
            if (!routeEnd(edited.image(), entry.value(QStringLiteral("from")), true, route.source, bySlots)
                || !routeEnd(edited.image(), entry.value(QStringLiteral("to")), false, route.destination, bySlots))
                return reader.fail(where, bySlots);
            // Words given beside the slots must name the same ports.
            const QString named = portName(edited.image(), route.source, true) + QStringLiteral(" -> ")
                + portName(edited.image(), route.destination, false);
            if (!line.isEmpty() && named != line)
                return reader.fail(where, why.isEmpty() ? QStringLiteral("its text and its slots name different ports") : why);
        }
        wanted.push_back(route);
    }
    std::vector<PortRef> ends;  // each route's two ends, by device and port
    for (const Route& route : wanted) {
        ends.push_back(route.source == Route::kRouter ? PortRef{} : edited.image().portOwner(route.source));
        ends.push_back(route.destination == Route::kRouter ? PortRef{} : edited.image().portOwner(route.destination));
    }
    std::vector<int> movedTo(kDeviceSlots, -1);  // where each device is once the unlisted ones are gone
    for (int d = 0, kept = 0; d < edited.image().deviceCount(); ++d)
        movedTo[static_cast<std::size_t>(d)] = listed[static_cast<std::size_t>(d)] ? kept++ : -1;
    for (int d = edited.image().deviceCount() - 1; d >= 0; --d)
        if (!listed[static_cast<std::size_t>(d)])
            edited.removeDevice(d, {EditKind::RemoveDevice, {}, {}});
    std::vector<Route> kept;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        int port[2] = {Route::kRouter, Route::kRouter};
        bool gone = false;
        for (int side = 0; side < 2; ++side) {
            const PortRef& end = ends[2 * i + static_cast<std::size_t>(side)];
            if (end.device < 0)
                continue;
            const int device = movedTo[static_cast<std::size_t>(end.device)];
            gone = gone || device < 0;
            if (device >= 0)
                port[side] = edited.image().globalPort(device, end.port);
        }
        if (!gone)
            kept.push_back({port[0], port[1]});
    }
    wanted = kept;
    const QJsonValue thru = root.value(QStringLiteral("midiThru"));
    if (!thru.isUndefined()) {
        const bool listedThru = std::any_of(wanted.begin(), wanted.end(), [](const Route& r) {
            return r.source == Route::kRouter && r.destination == Route::kRouter;
        });
        if (!thru.isBool() || thru.toBool() != listedThru)
            return reader.fail(QStringLiteral("midiThru"), QStringLiteral("must be true exactly when the routes hold \"MIDI In -> MIDI Out\""));
    }
    if (ConfigEdit::makeRoutes(edited, wanted, error) != ConfigEdit::Result::Done)
        return false;
    image = edited.image();
    return true;
}

Difference diff(const ConfigImage& before, const ConfigImage& after)
{
    Difference d;
    const QStringList devicesBefore = devices(before), devicesAfter = devices(after);
    const QStringList routesBefore = routeLines(before), routesAfter = routeLines(after);
    d.devicesAdded = minus(devicesAfter, devicesBefore);
    d.devicesRemoved = minus(devicesBefore, devicesAfter);
    d.routesAdded = minus(routesAfter, routesBefore);
    d.routesRemoved = minus(routesBefore, routesAfter);
    for (std::size_t i = kReservedOffset; i < kFlagsOffset; ++i)
        d.reservedBytes += before.rawBytes()[i] != after.rawBytes()[i];
    d.flagBits = ((before.rawBytes()[kFlagsOffset] ^ after.rawBytes()[kFlagsOffset]) & ~kMidiThruOffBit) != 0;
    int differing = 0;
    for (std::size_t i = 0; i < kImageSize; ++i)
        differing += before.rawBytes()[i] != after.rawBytes()[i];
    d.identical = differing == 0;
    const bool explained = !d.devicesAdded.isEmpty() || !d.devicesRemoved.isEmpty() || !d.routesAdded.isEmpty()
        || !d.routesRemoved.isEmpty() || d.reservedBytes > 0 || d.flagBits
        || before.midiThruOff() != after.midiThruOff();
    d.otherBytes = explained ? 0 : differing;
    return d;
}

QString describe(const Difference& d)
{
    if (d.identical)
        return QStringLiteral("The configurations are identical.\n");
    QString text;
    for (const QString& line : d.devicesRemoved)
        text += QStringLiteral("- device ") + line + QLatin1Char('\n');
    for (const QString& line : d.devicesAdded)
        text += QStringLiteral("+ device ") + line + QLatin1Char('\n');
    for (const QString& line : d.routesRemoved)
        text += QStringLiteral("- route ") + line + QLatin1Char('\n');
    for (const QString& line : d.routesAdded)
        text += QStringLiteral("+ route ") + line + QLatin1Char('\n');
    if (d.reservedBytes > 0)
        text += QStringLiteral("reserved bytes differ (%1 of 71)\n").arg(d.reservedBytes);
    if (d.flagBits)
        text += QStringLiteral("flag bits other than MIDI thru differ\n");
    if (d.otherBytes > 0)
        text += QStringLiteral("%1 other bytes differ (outside the devices and routes in use)\n").arg(d.otherBytes);
    return text;
}

} // namespace ConfigText

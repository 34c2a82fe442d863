#include "cli/config_text.h"

#include "config/device_name.h"

#include <QJsonArray>
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
    return QStringLiteral("%1 / %2  %3  serial %4  %5 %6")
        .arg(hex4(device.vendorId), hex4(device.productId), decodeDeviceName(device.deviceName))
        .arg(device.serialNumber)
        .arg(device.ports())
        .arg(device.ports() == 1 ? QStringLiteral("port") : QStringLiteral("ports"));
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
                       {QStringLiteral("midiThru"), !image.midiThruOff()}};
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

#include "cli/config_edit.h"

#include "config/device_name.h"
#include "core/config_document.h"

#include <algorithm>
#include <set>

namespace ConfigEdit {
namespace {

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString listed(const QStringList& names)
{
    QStringList quotedNames;
    for (const QString& name : names)
        quotedNames << quoted(name);
    return quotedNames.isEmpty() ? QStringLiteral("(none)") : quotedNames.join(QStringLiteral(", "));
}

// The devices a reference names: "#S" the slot S as `show` prints it, else
// every device with that name.
std::vector<int> devicesNamed(const ConfigImage& image, const QString& reference)
{
    std::vector<int> found;
    const int n = image.deviceCount();
    if (reference.startsWith(QLatin1Char('#'))) {
        bool number = false;
        const int slot = reference.mid(1).toInt(&number);
        if (number && slot >= 0 && slot < n)
            found.push_back(slot);
        return found;
    }
    for (int d = 0; d < n; ++d)
        if (deviceName(image, d) == reference)
            found.push_back(d);
    return found;
}

std::set<std::pair<int, int>> routesOn(const ConfigImage& image)
{
    std::set<std::pair<int, int>> on;
    image.forEachRoute([&](const Route& route) { on.insert({route.source, route.destination}); });
    return on;
}

EditDescription described(const ConfigImage& image, const Route& route)
{
    return {EditKind::Route, portName(image, route.source, true), portName(image, route.destination, false)};
}
} // namespace

QStringList portNames(const ConfigImage& image, bool sources)
{
    QStringList names{portName(image, Route::kRouter, sources)};
    for (int g = 0; g < image.totalPorts(); ++g)
        names << portName(image, g, sources);
    return names;
}

QStringList deviceNames(const ConfigImage& image)
{
    QStringList names;
    for (int d = 0; d < image.deviceCount(); ++d)
        names << deviceName(image, d);
    return names;
}

bool findPort(const ConfigImage& image, const QString& name, bool source, int& port, QString& error)
{
    const QString side = source ? QStringLiteral("In") : QStringLiteral("Out");
    if (name == portName(image, Route::kRouter, source)) {
        port = Route::kRouter;
        return true;
    }
    // "DEVICE In K" or "DEVICE Out K": the device part may itself hold spaces.
    const QStringList words = name.split(QLatin1Char(' '));
    bool number = false;
    const int k = words.size() >= 3 ? words.last().toInt(&number) : 0;
    std::vector<int> devices;
    if (number && words[words.size() - 2] == side)
        devices = devicesNamed(image, words.mid(0, words.size() - 2).join(QLatin1Char(' ')));
    const auto fits = [&](int d) { return k >= 1 && k <= image.device(d).ports(); };
    devices.erase(std::remove_if(devices.begin(), devices.end(), [&](int d) { return !fits(d); }), devices.end());
    if (devices.size() == 1) {
        port = image.globalPort(devices.front(), k - 1);
        return true;
    }
    const QString what = source ? QStringLiteral("source") : QStringLiteral("destination");
    if (devices.empty())
        error = QStringLiteral("no %1 is named %2; the %1s are: %3").arg(what, quoted(name), listed(portNames(image, source)));
    else
        error = QStringLiteral("%1 devices make %2 %3; name the device by its slot, as in %4")
                    .arg(devices.size())
                    .arg(what, quoted(name), quoted(QStringLiteral("#%1 %2 %3").arg(devices.front()).arg(side).arg(k)));
    return false;
}

Result setRoutes(ConfigDocument& document, bool on, const std::vector<std::pair<QString, QString>>& routes, QString& error)
{
    const ConfigImage& image = document.image();
    std::vector<Route> wanted;
    for (const auto& [from, to] : routes) {
        Route route{};
        if (!findPort(image, from, true, route.source, error) || !findPort(image, to, false, route.destination, error))
            return Result::UnknownName;
        wanted.push_back(route);
    }
    std::set<std::pair<int, int>> target = routesOn(image);
    for (const Route& route : wanted) {
        if (on)
            target.insert({route.source, route.destination});
        else
            target.erase({route.source, route.destination});
    }
    std::vector<Route> all;
    for (const auto& [source, destination] : target)
        all.push_back({source, destination});
    return makeRoutes(document, all, error);
}

Result makeRoutes(ConfigDocument& document, const std::vector<Route>& wanted, QString& error)
{
    const ConfigImage before = document.image();
    const std::set<std::pair<int, int>> now = routesOn(before);
    std::set<std::pair<int, int>> target;
    for (const Route& route : wanted)
        target.insert({route.source, route.destination});
    // Routes go off first, so that a table that is full can take the new ones.
    std::vector<Route> switches;
    for (const auto& [source, destination] : now)
        if (!target.count({source, destination}))
            switches.push_back({source, destination});
    for (const auto& [source, destination] : target)
        if (!now.count({source, destination}))
            switches.push_back({source, destination});
    for (const Route& route : switches) {
        if (!document.toggle(route, described(document.image(), route))) {
            error = QStringLiteral("the route table is full: no room for %1 -> %2")
                        .arg(portName(before, route.source, true), portName(before, route.destination, false));
            document.replace(before, {EditKind::Open, {}, {}});
            return Result::TableFull;
        }
    }
    return Result::Done;
}

Result removeDevice(ConfigDocument& document, const QString& device, QString& error)
{
    const ConfigImage& image = document.image();
    const std::vector<int> found = devicesNamed(image, device);
    if (found.size() != 1) {
        error = found.empty() ? QStringLiteral("no device is named %1; the devices are: %2").arg(quoted(device), listed(deviceNames(image)))
                              : QStringLiteral("%1 devices are named %2; name the device by its slot, as in %3")
                                    .arg(found.size())
                                    .arg(quoted(device), quoted(QStringLiteral("#%1").arg(found.front())));
        return Result::UnknownName;
    }
    document.removeDevice(found.front(), {EditKind::RemoveDevice, deviceName(image, found.front()), {}});
    return Result::Done;
}

} // namespace ConfigEdit

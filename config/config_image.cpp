#include "config/config_image.h"

#include "link/little_endian.h"

#include <algorithm>
#include <cstring>

using LittleEndian::get16;
using LittleEndian::get32;

namespace {
constexpr int kMaskOffset = RouteField::kMasks;
} // namespace

ConfigImage ConfigImage::empty()
{
    ConfigImage image;
    std::uint8_t* bytes = image.rawBytes();
    std::fill(bytes + kRouteTableOffset, bytes + kRouteTableOffset + kRouteSlots * kRouteEntrySize, 0xFF);
    bytes[0] = 0xFF;
    bytes[1] = 0xFF;
    return image;
}

// A table without a terminator holds 32 devices: the slots end there.
int ConfigImage::deviceCount() const
{
    int n = 0;
    while (n < static_cast<int>(kDeviceSlots) && get16(deviceSlot(n)) != kDeviceTerminator)
        ++n;
    return n;
}

int ConfigImage::portsOf(int d) const
{
    const std::uint8_t count = deviceSlot(d)[DeviceField::kPortCount];
    return count > kMaxPorts ? kMaxPorts : count;
}

int ConfigImage::totalPorts() const
{
    const int n = deviceCount();
    int total = 0;
    for (int d = 0; d < n; ++d)
        total += portsOf(d);
    return total;
}

DeviceEntry ConfigImage::device(int d) const
{
    DeviceEntry e;
    if (d < 0 || d >= static_cast<int>(kDeviceSlots))
        return e;
    const std::uint8_t* p = deviceSlot(d);
    e.vendorId = get16(p + DeviceField::kVendorId);
    e.productId = get16(p + DeviceField::kProductId);
    e.serialNumber = get32(p + DeviceField::kSerialNumber);
    e.midiOutMask = p[DeviceField::kMidiOutMask];
    e.midiInMask = p[DeviceField::kMidiInMask];
    e.portCount = p[DeviceField::kPortCount];
    const char* name = reinterpret_cast<const char*>(p + DeviceField::kName);
    e.deviceName.assign(name, strnlen(name, kDeviceNameSize));
    return e;
}

void ConfigImage::setDevice(int slot, const DeviceEntry& e)
{
    if (slot < 0 || slot >= static_cast<int>(kDeviceSlots))
        return;
    std::uint8_t* p = deviceSlot(slot);
    std::memset(p, 0, kDeviceEntrySize);
    LittleEndian::put16(p + DeviceField::kVendorId, e.vendorId);
    LittleEndian::put16(p + DeviceField::kProductId, e.productId);
    LittleEndian::put32(p + DeviceField::kSerialNumber, e.serialNumber);
    p[DeviceField::kMidiOutMask] = e.midiOutMask;
    p[DeviceField::kMidiInMask] = e.midiInMask;
    p[DeviceField::kPortCount] = e.portCount;
    std::memcpy(p + DeviceField::kName, e.deviceName.data(), std::min(e.deviceName.size(), kDeviceNameSize - 1));
}

int ConfigImage::globalPort(int d, int k) const
{
    int g = 0;
    for (int i = 0; i < d; ++i)
        g += portsOf(i);
    return g + k;
}

PortRef ConfigImage::portOwner(int g) const
{
    const int n = deviceCount();
    int first = 0;
    for (int d = 0; d < n; ++d) {
        const int ports = portsOf(d);
        if (g >= first && g < first + ports)
            return {d, g - first};
        first += ports;
    }
    return {};
}

int ConfigImage::routeEntryCount() const
{
    int i = 0;
    while (i < static_cast<int>(kRouteSlots) && routeSlot(i)[0] != kRouteTerminator)
        ++i;
    return i;
}

void ConfigImage::forEachRoute(const std::function<void(const Route&)>& visitor) const
{
    if (!midiThruOff())
        visitor({Route::kRouter, Route::kRouter});

    const int n = deviceCount();
    int first[kDeviceSlots + 1] = {};
    for (int d = 0; d < n; ++d) {
        const DeviceEntry e = device(d);
        first[d + 1] = first[d] + portsOf(d);
        for (int k = 0; k < portsOf(d); ++k) {
            if (e.midiInMask >> k & 1)
                visitor({Route::kRouter, first[d] + k});
            if (e.midiOutMask >> k & 1)
                visitor({first[d] + k, Route::kRouter});
        }
    }

    const int entries = routeEntryCount();
    for (int i = 0; i < entries; ++i) {
        const std::uint8_t* entry = routeSlot(i);
        const int s = entry[RouteField::kSource];
        const int t = entry[RouteField::kDestination];
        if (s >= n || t >= n)
            continue;
        for (int j = 0; j < portsOf(s); ++j)
            for (int k = 0; k < portsOf(t); ++k)
                if (entry[kMaskOffset + j] >> k & 1)
                    visitor({first[s] + j, first[t] + k});
    }
}

bool ConfigImage::toggleRoute(int s, int j, int t, int k)
{
    const int slots = static_cast<int>(kDeviceSlots);
    if (s < 0 || s >= slots || t < 0 || t >= slots || j < 0 || j >= kMaxPorts || k < 0 || k >= kMaxPorts)
        return false;
    const auto bit = static_cast<std::uint8_t>(1u << k);
    const int entries = routeEntryCount();
    // A table from elsewhere may name the same pair of devices more than once:
    // a route on in any of its entries reads as on, so switching it off clears
    // it in all of them; switching it on sets it in the first.
    int first = -1;
    bool on = false;
    for (int i = 0; i < entries; ++i) {
        const std::uint8_t* entry = routeSlot(i);
        if (entry[RouteField::kSource] != s || entry[RouteField::kDestination] != t)
            continue;
        if (first < 0)
            first = i;
        on = on || (entry[kMaskOffset + j] & bit) != 0;
    }
    if (on) {
        for (int i = first; i < entries; ++i) {
            std::uint8_t* entry = routeSlot(i);
            if (entry[RouteField::kSource] == s && entry[RouteField::kDestination] == t)
                entry[kMaskOffset + j] &= static_cast<std::uint8_t>(~bit);
        }
        return true;
    }
    if (first >= 0) {
        routeSlot(first)[kMaskOffset + j] |= bit;
        return true;
    }
    if (entries == static_cast<int>(kRouteSlots))
        return false;
    std::uint8_t* entry = routeSlot(entries);
    entry[RouteField::kSource] = static_cast<std::uint8_t>(s);
    entry[RouteField::kDestination] = static_cast<std::uint8_t>(t);
    std::memset(entry + kMaskOffset, 0, kMaxPorts);
    entry[kMaskOffset + j] = bit;
    // The slot behind normally already reads as a terminator; make sure it does.
    if (entries + 1 < static_cast<int>(kRouteSlots))
        routeSlot(entries + 1)[RouteField::kSource] = kRouteTerminator;
    return true;
}

bool ConfigImage::routeOn(const Route& route) const
{
    const bool fromRouter = route.source == Route::kRouter;
    const bool toRouter = route.destination == Route::kRouter;
    if (fromRouter && toRouter)
        return !midiThruOff();
    const PortRef from = fromRouter ? PortRef{} : portOwner(route.source);
    const PortRef to = toRouter ? PortRef{} : portOwner(route.destination);
    if ((!fromRouter && from.device < 0) || (!toRouter && to.device < 0))
        return false;
    if (fromRouter)
        return (deviceSlot(to.device)[DeviceField::kMidiInMask] >> to.port & 1) != 0;
    if (toRouter)
        return (deviceSlot(from.device)[DeviceField::kMidiOutMask] >> from.port & 1) != 0;
    const int entries = routeEntryCount();
    for (int i = 0; i < entries; ++i) {
        const std::uint8_t* entry = routeSlot(i);
        if (entry[RouteField::kSource] == from.device && entry[RouteField::kDestination] == to.device
            && (entry[kMaskOffset + from.port] >> to.port & 1) != 0)
            return true;
    }
    return false;
}

bool ConfigImage::toggle(const Route& route)
{
    const bool fromRouter = route.source == Route::kRouter;
    const bool toRouter = route.destination == Route::kRouter;
    if (fromRouter && toRouter) {
        toggleMidiThru();
        return true;
    }
    const PortRef from = fromRouter ? PortRef{} : portOwner(route.source);
    const PortRef to = toRouter ? PortRef{} : portOwner(route.destination);
    if ((!fromRouter && from.device < 0) || (!toRouter && to.device < 0))
        return false;
    if (fromRouter) {
        toggleFromMidiIn(to.device, to.port);
        return true;
    }
    if (toRouter) {
        toggleToMidiOut(from.device, from.port);
        return true;
    }
    return toggleRoute(from.device, from.port, to.device, to.port);
}

void ConfigImage::toggleToMidiOut(int d, int j)
{
    if (d >= 0 && d < static_cast<int>(kDeviceSlots) && j >= 0 && j < kMaxPorts)
        deviceSlot(d)[DeviceField::kMidiOutMask] ^= static_cast<std::uint8_t>(1u << j);
}

void ConfigImage::toggleFromMidiIn(int d, int k)
{
    if (d >= 0 && d < static_cast<int>(kDeviceSlots) && k >= 0 && k < kMaxPorts)
        deviceSlot(d)[DeviceField::kMidiInMask] ^= static_cast<std::uint8_t>(1u << k);
}

void ConfigImage::toggleMidiThru()
{
    bytes_[kFlagsOffset] ^= kMidiThruOffBit;
}

void ConfigImage::removeDevice(int d)
{
    const int n = deviceCount();
    if (d < 0 || d >= n)
        return;

    // Device table: slots above move down; the last slot becomes (or stays) a terminator.
    std::uint8_t* table = deviceSlot(0);
    const int moved = (n < static_cast<int>(kDeviceSlots) ? n : n - 1) - d;
    std::memmove(table + d * kDeviceEntrySize, table + (d + 1) * kDeviceEntrySize, moved * kDeviceEntrySize);
    if (n == static_cast<int>(kDeviceSlots)) {
        std::uint8_t* last = deviceSlot(n - 1);
        last[0] = 0xFF;
        last[1] = 0xFF;
    }

    // Route table: entries naming d go; entries naming a device above d follow its
    // move down one slot, so every surviving route still joins the same two devices.
    int count = routeEntryCount();
    int i = 0;
    while (i < count) {
        std::uint8_t* entry = routeSlot(i);
        std::uint8_t& source = entry[RouteField::kSource];
        std::uint8_t& destination = entry[RouteField::kDestination];
        if (source == d || destination == d) {
            std::memmove(entry, entry + kRouteEntrySize, (count - i - 1) * kRouteEntrySize);
            --count;
            std::memset(routeSlot(count), 0xFF, kRouteEntrySize);
            continue;
        }
        if (source > d && source < n)
            --source;
        if (destination > d && destination < n)
            --destination;
        ++i;
    }
}

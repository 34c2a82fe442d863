// A configuration image from anywhere (a file, a router), then a run of edits
// chosen by further bytes: toggles at any cell and device removals.
#include "config/config_image.h"
#include "fuzz_support.h"

#include <cstdint>
#include <cstring>

namespace {
// The route entry that joins s to t, or -1; read from the raw bytes, not through the code under test.
int entryFor(const ConfigImage& image, int s, int t)
{
    for (int i = 0; i < static_cast<int>(kRouteSlots); ++i) {
        const std::uint8_t* entry = image.routeSlot(i);
        if (entry[0] == kRouteTerminator)
            return -1;
        if (entry[0] == s && entry[1] == t)
            return i;
    }
    return -1;
}

// Entries whose two devices are both below `count`, leaving out those that name `skip`.
int validEntries(const ConfigImage& image, int count, int skip)
{
    int valid = 0;
    for (int i = 0; i < image.routeEntryCount(); ++i) {
        const std::uint8_t* entry = image.routeSlot(i);
        if (entry[0] < count && entry[1] < count && entry[0] != skip && entry[1] != skip)
            ++valid;
    }
    return valid;
}

void checkReaders(const ConfigImage& image)
{
    const int n = image.deviceCount();
    const int ports = image.totalPorts();
    FUZZ_CHECK(n >= 0 && n <= static_cast<int>(kDeviceSlots));
    FUZZ_CHECK(ports >= 0 && ports <= n * kMaxPorts);
    FUZZ_CHECK(image.routeEntryCount() <= static_cast<int>(kRouteSlots));
    image.forEachRoute([&](const Route& r) {
        FUZZ_CHECK(r.source == Route::kRouter || (r.source >= 0 && r.source < ports));
        FUZZ_CHECK(r.destination == Route::kRouter || (r.destination >= 0 && r.destination < ports));
    });
    for (int g : {0, ports / 2, ports - 1, ports}) {
        if (g < 0 || g >= ports)
            continue;
        const PortRef owner = image.portOwner(g);
        FUZZ_CHECK(owner.device >= 0 && owner.device < n && owner.port >= 0 && owner.port < kMaxPorts);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < kImageSize)
        return 0;
    ConfigImage image;
    std::memcpy(image.rawBytes(), data, kImageSize);
    checkReaders(image);

    // Each edit takes five bytes: kind, then its arguments.
    for (std::size_t at = kImageSize; at + 5 <= size; at += 5) {
        const std::uint8_t* op = data + at;
        const int n = image.deviceCount();
        const int entries = image.routeEntryCount();
        switch (op[0] % 5) {
        case 0: {
            const int s = op[1] % 40, j = op[2] % 10, t = op[3] % 40, k = op[4] % 10;
            const bool inside = s < static_cast<int>(kDeviceSlots) && t < static_cast<int>(kDeviceSlots) && j < kMaxPorts
                && k < kMaxPorts;
            const bool existed = entryFor(image, s, t) >= 0;
            const bool changed = image.toggleRoute(s, j, t, k);
            FUZZ_CHECK(!changed || inside);
            if (changed && !existed) {
                FUZZ_CHECK(entryFor(image, s, t) >= 0);
                FUZZ_CHECK(image.routeEntryCount() == entries + 1);
            }
            if (!changed && inside)
                FUZZ_CHECK(!existed && entries == static_cast<int>(kRouteSlots));
            break;
        }
        case 1: {
            const int d = op[1] % 40;
            const ConfigImage before = image;
            image.removeDevice(d);
            if (d >= n) {
                FUZZ_CHECK(image == before);
                break;
            }
            FUZZ_CHECK(image.deviceCount() == n - 1);
            FUZZ_CHECK(image.routeEntryCount() <= entries);  // a removal never adds an entry
            // Every entry that joined two devices and did not name d still joins two devices.
            FUZZ_CHECK(validEntries(image, n - 1, -1) == validEntries(before, n, d));
            break;
        }
        case 2:
            image.toggleToMidiOut(op[1] % 40 - 4, op[2] % 12 - 2);
            break;
        case 3:
            image.toggleFromMidiIn(op[1] % 40 - 4, op[2] % 12 - 2);
            break;
        default:
            image.toggleMidiThru();
            break;
        }
        checkReaders(image);
    }
    return 0;
}

#include "config/config_image.h"
#include "config/device_name.h"
#include "sim/sim_router.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {
using RouteSet = std::set<std::pair<int, int>>;

RouteSet routes(const ConfigImage& image)
{
    RouteSet result;
    image.forEachRoute([&](const Route& r) { result.insert({r.source, r.destination}); });
    return result;
}

std::array<std::uint8_t, 10> slot(const ConfigImage& image, int i)
{
    std::array<std::uint8_t, 10> bytes;
    std::memcpy(bytes.data(), image.routeSlot(i), 10);
    return bytes;
}

// Devices with 2, 0 and 3 ports.
ConfigImage twoZeroThree()
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 1, 1, 1, 2, "A");
    putDevice(image, 1, 2, 2, 2, 0, "B");
    putDevice(image, 2, 3, 3, 3, 3, "C");
    return image;
}
constexpr int R = Route::kRouter;
} // namespace

TEST(ConfigImage, EmptyTableHasOnlyTheThruRoute)
{
    ConfigImage image = ConfigImage::empty();
    EXPECT_EQ(image.deviceCount(), 0);
    EXPECT_EQ(image.totalPorts(), 0);
    EXPECT_EQ(routes(image), (RouteSet{{R, R}}));
    image.rawBytes()[kFlagsOffset] = 0xFF;
    EXPECT_TRUE(routes(image).empty());
}

TEST(ConfigImage, GlobalPortNumberingSkipsDevicesWithoutPorts)
{
    const ConfigImage image = twoZeroThree();
    EXPECT_EQ(image.deviceCount(), 3);
    EXPECT_EQ(image.totalPorts(), 5);
    struct Case {
        int g, device, port;
    };
    const std::array<Case, 5> cases = {{{0, 0, 0}, {1, 0, 1}, {2, 2, 0}, {3, 2, 1}, {4, 2, 2}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.g);
        const PortRef owner = image.portOwner(c.g);
        EXPECT_EQ(owner.device, c.device);
        EXPECT_EQ(owner.port, c.port);
        EXPECT_EQ(image.globalPort(c.device, c.port), c.g);
    }
    EXPECT_EQ(image.portOwner(5).device, -1);
}

TEST(ConfigImage, ToggleAppendsIntoTheTerminatorSlotAndReusesTheEntry)
{
    ConfigImage image = twoZeroThree();
    putDevice(image, 1, 2, 2, 2, 6, "B");
    ASSERT_TRUE(image.toggleRoute(0, 2, 1, 5));
    EXPECT_EQ(slot(image, 0), (std::array<std::uint8_t, 10>{0, 1, 0, 0, 0x20, 0, 0, 0, 0, 0}));
    EXPECT_EQ(image.routeSlot(1)[0], kRouteTerminator);

    image.toggleRoute(0, 2, 1, 5);
    EXPECT_EQ(slot(image, 0), (std::array<std::uint8_t, 10>{0, 1, 0, 0, 0, 0, 0, 0, 0, 0}))
        << "switching the last route off keeps the entry";
    image.toggleRoute(0, 0, 1, 0);
    EXPECT_EQ(image.routeEntryCount(), 1);
    image.toggleRoute(1, 0, 0, 0);
    EXPECT_EQ(image.routeEntryCount(), 2) << "(1, 0) and (0, 1) are different pairs";
}

TEST(ConfigImage, FullRouteTableRefusesANewPairButStillTogglesExistingOnes)
{
    ConfigImage image = largestConfiguration();
    ASSERT_EQ(image.routeEntryCount(), 300);
    const ConfigImage before = image;
    EXPECT_FALSE(image.toggleRoute(31, 0, 31, 0));
    EXPECT_EQ(image, before);
    EXPECT_TRUE(image.toggleRoute(0, 0, 0, 7));
    EXPECT_NE(image, before);
}

TEST(ConfigImage, MidiTogglesFlipOneBitOnly)
{
    ConfigImage image = twoZeroThree();
    image.rawBytes()[kFlagsOffset] = 0xFF;
    image.toggleMidiThru();
    EXPECT_EQ(image.rawBytes()[kFlagsOffset], 0xFE);
    image.toggleMidiThru();
    EXPECT_EQ(image.rawBytes()[kFlagsOffset], 0xFF);

    image.toggleToMidiOut(2, 1);
    image.toggleFromMidiIn(0, 1);
    EXPECT_EQ(routes(image), (RouteSet{{3, R}, {R, 1}}));
    EXPECT_EQ(image.device(2).midiOutMask, 0x02);
    EXPECT_EQ(image.device(0).midiInMask, 0x02);
}

TEST(ConfigImage, ForEachRouteVisitsEveryKindAndIgnoresBitsBeyondThePorts)
{
    ConfigImage image = twoZeroThree();
    image.deviceSlot(0)[8] = 0xFF;  // bits 2..7 lie beyond its two ports
    image.deviceSlot(2)[9] = 0x01;
    image.toggleRoute(2, 2, 0, 1);
    image.routeSlot(0)[2 + 2] |= 0x80;  // destination port 7 of a 2-port device
    image.routeSlot(0)[2 + 5] = 0xFF;   // source port 5 of a 3-port device
    EXPECT_EQ(routes(image), (RouteSet{{R, R}, {0, R}, {1, R}, {R, 2}, {4, 1}}));
}

TEST(ConfigImage, RemovingADeviceShiftsSlotsAndKeepsEveryOtherRouteBetweenTheSameDevices)
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 0xA, 1, 1, 1, "A");
    putDevice(image, 1, 0xB, 2, 2, 1, "B");
    putDevice(image, 2, 0xC, 3, 3, 1, "C");
    image.toggleRoute(0, 0, 2, 0);
    image.toggleRoute(1, 0, 2, 0);
    image.toggleRoute(1, 0, 1, 0);
    image.toggleRoute(2, 0, 0, 0);
    image.rawBytes()[kReservedOffset] = 0x5A;
    image.rawBytes()[kFlagsOffset] = 0xF0;

    image.removeDevice(1);

    EXPECT_EQ(image.deviceCount(), 2);
    EXPECT_EQ(image.device(0).deviceName, "A");
    EXPECT_EQ(image.device(1).deviceName, "C");
    EXPECT_EQ(image.routeEntryCount(), 2);
    // A -> C and C -> A survive, in their order, renumbered with C's new slot.
    EXPECT_EQ(image.routeSlot(0)[0], 0);
    EXPECT_EQ(image.routeSlot(0)[1], 1);
    EXPECT_EQ(image.routeSlot(1)[0], 1);
    EXPECT_EQ(image.routeSlot(1)[1], 0);
    EXPECT_EQ(image.routeSlot(2)[0], kRouteTerminator);
    EXPECT_EQ(routes(image), (RouteSet{{R, R}, {0, 1}, {1, 0}}));
    EXPECT_EQ(image.rawBytes()[kReservedOffset], 0x5A);
    EXPECT_EQ(image.rawBytes()[kFlagsOffset], 0xF0);
}

TEST(ConfigImage, RemovingFromFullTablesKeepsThemTerminated)
{
    ConfigImage image = largestConfiguration();
    image.removeDevice(0);
    EXPECT_EQ(image.deviceCount(), 31);
    EXPECT_EQ(image.device(0).deviceName, "Device 2");
    EXPECT_LT(image.routeEntryCount(), 300);
    for (int i = 0; i < image.routeEntryCount(); ++i) {
        EXPECT_NE(image.routeSlot(i)[0], 0xFF);
        EXPECT_LT(image.routeSlot(i)[0], 31);
        EXPECT_LT(image.routeSlot(i)[1], 31);
    }
}

// Images come from files and routers: nothing in them may send a reader out of bounds.
TEST(ConfigImage, HostileImagesStayWithinBounds)
{
    ConfigImage zero;  // all zero: no terminator anywhere
    EXPECT_EQ(zero.deviceCount(), 32);
    EXPECT_EQ(zero.totalPorts(), 0);
    EXPECT_EQ(zero.routeEntryCount(), 300);
    const ConfigImage before = zero;
    EXPECT_FALSE(zero.toggleRoute(-1, 0, 0, 0));
    EXPECT_FALSE(zero.toggleRoute(0, 0, 32, 0));
    EXPECT_FALSE(zero.toggleRoute(0, 8, 0, 0));
    zero.toggleToMidiOut(32, 0);
    zero.toggleFromMidiIn(0, 8);
    EXPECT_EQ(zero, before);

    ConfigImage wide;
    std::memset(wide.rawBytes(), 0xC8, kImageSize);  // portCount 200, device indices 200
    EXPECT_EQ(wide.deviceCount(), 32);
    EXPECT_EQ(wide.totalPorts(), 32 * 8);
    EXPECT_EQ(wide.device(0).ports(), 8);
    EXPECT_EQ(wide.device(0).deviceName.size(), 21u);
    int count = 0;
    wide.forEachRoute([&](const Route& r) {
        ++count;
        EXPECT_LT(r.source, 256);
        EXPECT_LT(r.destination, 256);
    });
    EXPECT_EQ(count, 1 + 32 * 3 * 2) << "thru and the MIDI In/Out masks (0xC8: three bits); route entries name devices beyond the table";
    wide.removeDevice(5);
    EXPECT_EQ(wide.deviceCount(), 31);
}

TEST(ConfigImage, DeviceNameOfTwentyCharactersIsReadWholeAndStopsAtTheNul)
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 1, 2, 3, 1, "ABCDEFGHIJKLMNOPQRST");
    image.deviceSlot(0)[11 + 20] = 0;
    EXPECT_EQ(image.device(0).deviceName, "ABCDEFGHIJKLMNOPQRST");
    image.deviceSlot(0)[11 + 4] = 0;
    EXPECT_EQ(image.device(0).deviceName, "ABCD");
}

// The one naming of ports, for the window's words and qorvctl's alike.
TEST(ConfigImage, PortNamesNameTheDeviceOrItsSlot)
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 1, 1, 1, 2, "Keys");
    putDevice(image, 1, 2, 2, 2, 0, "No ports");
    putDevice(image, 2, 3, 3, 3, 3, "");
    struct Case {
        int port;
        bool source;
        const char* name;
    };
    const Case cases[] = {
        {Route::kRouter, true, "MIDI In"}, {Route::kRouter, false, "MIDI Out"}, {0, true, "Keys In 1"},
        {1, false, "Keys Out 2"},          {2, true, "Device 3 In 1"},          {4, false, "Device 3 Out 3"},
        {5, true, "MIDI In"},  // beyond the last port
    };
    for (const Case& c : cases)
        EXPECT_EQ(portName(image, c.port, c.source), QString::fromUtf8(c.name)) << c.port;
}

// A table from elsewhere may name the same pair of devices twice, both with a
// route on: switching it off must leave it off as every reader sees it, and on
// again sets it once.
TEST(ConfigImage, RouteOnInTwoEntriesOfAPairGoesOffInBoth)
{
    ConfigImage image = twoZeroThree();
    const std::uint8_t twice[] = {0, 2, 0x04, 0, 0, 0, 0, 0, 0, 0};  // device 0 port 1 -> device 2 port 3
    std::memcpy(image.routeSlot(0), twice, sizeof twice);
    std::memcpy(image.routeSlot(1), twice, sizeof twice);
    const Route route{image.globalPort(0, 0), image.globalPort(2, 2)};
    ASSERT_TRUE(routes(image).count({route.source, route.destination}));
    ASSERT_TRUE(image.routeOn(route));

    ASSERT_TRUE(image.toggle(route));
    EXPECT_FALSE(routes(image).count({route.source, route.destination}));
    EXPECT_FALSE(image.routeOn(route));
    EXPECT_EQ(image.routeSlot(0)[2], 0);
    EXPECT_EQ(image.routeSlot(1)[2], 0);

    ASSERT_TRUE(image.toggle(route));
    EXPECT_TRUE(routes(image).count({route.source, route.destination}));
    EXPECT_EQ(image.routeSlot(0)[2], 0x04) << "set in the first entry";
    EXPECT_EQ(image.routeSlot(1)[2], 0);
}

// routeOn answers as forEachRoute lists, for every cell of images of any bytes.
TEST(ConfigImage, RouteOnAgreesWithTheRoutesListed)
{
    std::uint32_t state = 7;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(state >> 16);
    };
    std::vector<ConfigImage> images = {sampleConfiguration(), largestConfiguration(), twoZeroThree()};
    for (int n = 0; n < 40; ++n) {
        ConfigImage image = n % 2 ? sampleConfiguration() : ConfigImage{};
        for (int i = 0; i < (n % 2 ? 60 : static_cast<int>(kImageSize)); ++i)
            image.rawBytes()[n % 2 ? (next() << 8 | next()) % kImageSize : i] = next();
        images.push_back(image);
    }
    for (std::size_t n = 0; n < images.size(); ++n) {
        SCOPED_TRACE(n);
        const ConfigImage& image = images[n];
        const RouteSet listed = routes(image);
        const int ports = image.totalPorts();
        for (int s = Route::kRouter; s < ports; ++s)
            for (int t = Route::kRouter; t < ports; ++t)
                ASSERT_EQ(image.routeOn({s, t}), listed.count({s, t}) == 1) << s << " -> " << t;
    }
}

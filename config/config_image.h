#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

constexpr std::size_t kImageSize = 4096;
constexpr std::size_t kDeviceSlots = 32;
constexpr std::size_t kDeviceEntrySize = 32;
constexpr std::size_t kRouteTableOffset = 1024;
constexpr std::size_t kRouteSlots = 300;
constexpr std::size_t kRouteEntrySize = 10;
constexpr std::size_t kReservedOffset = 4024;
constexpr std::size_t kFlagsOffset = 4095;
constexpr int kMaxPorts = 8;
constexpr std::size_t kDeviceNameSize = 21;
constexpr std::uint16_t kDeviceTerminator = 0xFFFF;
constexpr std::uint8_t kRouteTerminator = 255;
constexpr std::uint8_t kMidiThruOffBit = 0x01;

// Where each field of a 32-byte device entry lies; multi-byte fields are little-endian.
namespace DeviceField {
constexpr std::size_t kVendorId = 0;
constexpr std::size_t kProductId = 2;
constexpr std::size_t kSerialNumber = 4;
constexpr std::size_t kMidiOutMask = 8;
constexpr std::size_t kMidiInMask = 9;
constexpr std::size_t kPortCount = 10;
constexpr std::size_t kName = 11;  // kDeviceNameSize bytes, NUL-padded
} // namespace DeviceField

// A route entry: source slot, destination slot, then one mask per source port.
namespace RouteField {
constexpr std::size_t kSource = 0;
constexpr std::size_t kDestination = 1;
constexpr std::size_t kMasks = 2;
} // namespace RouteField

struct DeviceEntry {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint32_t serialNumber = 0;
    std::uint8_t midiOutMask = 0;
    std::uint8_t midiInMask = 0;
    std::uint8_t portCount = 0;   // as stored; ports() is what every reader uses
    std::string deviceName;       // up to the first NUL, never past the field

    int ports() const { return portCount > kMaxPorts ? kMaxPorts : portCount; }
};

struct PortRef {
    int device = -1;
    int port = -1;
};

// One switched-on route. kRouter stands for the router's own MIDI In (as source)
// or MIDI Out (as destination); otherwise the global port number.
struct Route {
    static constexpr int kRouter = -1;
    int source;
    int destination;
};

// The router's 4096-byte routing configuration, held as raw bytes and edited in place.
// Images come from files and routers we do not control, so every reader is bounded:
// at most 32 devices, at most 8 ports each, at most 300 route slots, and route
// entries naming a device beyond the table are passed over (but kept as bytes).
class ConfigImage {
public:
    ConfigImage() { bytes_.fill(0); }

    std::uint8_t* rawBytes() { return bytes_.data(); }
    const std::uint8_t* rawBytes() const { return bytes_.data(); }
    bool operator==(const ConfigImage& other) const { return bytes_ == other.bytes_; }
    bool operator!=(const ConfigImage& other) const { return !(*this == other); }

    int deviceCount() const;
    int totalPorts() const;
    DeviceEntry device(int d) const;
    int globalPort(int d, int k) const;
    PortRef portOwner(int g) const;
    void forEachRoute(const std::function<void(const Route&)>& visitor) const;
    bool midiThruOff() const { return bytes_[kFlagsOffset] & kMidiThruOffBit; }
    // Whether one route is on, as forEachRoute would list it.
    bool routeOn(const Route& route) const;

    // Switches one route of any kind: MIDI thru, from the router's MIDI In, to its
    // MIDI Out, or between two ports. False when nothing changed: a port that does
    // not exist, or a new entry needed while all 300 slots are in use.
    bool toggle(const Route& route);
    // False (and nothing changed) when a new entry is needed and all 300 slots are in use.
    // A route on in several entries of the same pair goes off in all of them.
    bool toggleRoute(int s, int j, int t, int k);
    void toggleToMidiOut(int d, int j);
    void toggleFromMidiIn(int d, int k);
    void toggleMidiThru();
    void removeDevice(int d);

    // Writes one device entry into a slot, the name cut to fit with its NUL.
    void setDevice(int slot, const DeviceEntry& entry);

    // Raw record access, for tests and tools that build images.
    std::uint8_t* deviceSlot(int slot) { return bytes_.data() + slot * kDeviceEntrySize; }
    std::uint8_t* routeSlot(int slot) { return bytes_.data() + kRouteTableOffset + slot * kRouteEntrySize; }
    const std::uint8_t* routeSlot(int slot) const { return bytes_.data() + kRouteTableOffset + slot * kRouteEntrySize; }
    int routeEntryCount() const;

    // An image with no devices, an empty route table and MIDI thru on.
    static ConfigImage empty();

private:
    const std::uint8_t* deviceSlot(int slot) const { return bytes_.data() + slot * kDeviceEntrySize; }
    int portsOf(int d) const;

    std::array<std::uint8_t, kImageSize> bytes_;
};

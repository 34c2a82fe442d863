#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// The narrow seam to the router: one open HID device, bytes only.
constexpr std::uint16_t kRouterVendorId = 0x04D8;
constexpr std::uint16_t kRouterProductId = 0xEFF6;
constexpr std::size_t kReportSize = 65;      // report ID + 64 data bytes
constexpr std::size_t kReportDataSize = 64;

class HidPort {
public:
    virtual ~HidPort() = default;  // closes the device
    // Writes one whole output report of kReportSize bytes, byte 0 the report ID.
    // Returns the library's result: the bytes written, negative when the write
    // failed (DeviceLink::write turns that into false and the device may be gone).
    virtual int write(const std::uint8_t* report) = 0;
    // Never blocks: 0 when no input report is waiting, the number of data bytes
    // copied (report ID stripped) when one was read, negative on error.
    virtual int read(std::uint8_t* buffer, std::size_t length) = 0;
    // As read(), but waits up to `milliseconds` for a report to arrive instead of
    // spinning; returns as soon as one is there.
    virtual int readTimeout(std::uint8_t* buffer, std::size_t length, int milliseconds)
    {
        (void)milliseconds;
        return read(buffer, length);
    }
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // Opens the first device with these IDs in non-blocking mode; null when none can be opened.
    virtual std::unique_ptr<HidPort> open(std::uint16_t vendorId, std::uint16_t productId) = 0;
    // Whether a device with these IDs is attached, without opening it: cheap
    // enough to ask about once a second.
    virtual bool isPresent(std::uint16_t vendorId, std::uint16_t productId) = 0;
};

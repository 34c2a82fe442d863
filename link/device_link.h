#pragma once
#include "link/hid_port.h"

#include <memory>

class Trace;

// The single connection to the router, or empty when offline.
class DeviceLink {
public:
    explicit DeviceLink(HidBackend& backend, Trace* trace = nullptr);

    bool open();   // true when the router could be opened; empty otherwise
    void close();
    bool isOpen() const { return port_ != nullptr; }
    // Whether the router is attached, without opening it.
    bool routerPresent() { return backend_.isPresent(kRouterVendorId, kRouterProductId); }

    // Writes one kReportSize-byte report. False when the link is empty or the
    // device refused it: the router has gone away.
    bool write(const std::uint8_t* report);
    // Non-blocking, or waiting up to `milliseconds` for a report; see HidPort.
    // Negative when the link is empty.
    int read(std::uint8_t* buffer, std::size_t length, int milliseconds = 0);

private:
    HidBackend& backend_;
    Trace* trace_;
    std::unique_ptr<HidPort> port_;
};

#pragma once
#include "link/hid_port.h"

// The real router through hidapi (hidraw on Linux).
class HidapiBackend final : public HidBackend {
public:
    std::unique_ptr<HidPort> open(std::uint16_t vendorId, std::uint16_t productId) override;
    bool isPresent(std::uint16_t vendorId, std::uint16_t productId) override;
};

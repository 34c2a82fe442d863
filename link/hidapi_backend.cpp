#include "link/hidapi_backend.h"

#include <hidapi.h>

namespace {
class HidapiPort final : public HidPort {
public:
    explicit HidapiPort(hid_device* device) : device_(device) {}
    ~HidapiPort() override { hid_close(device_); }

    int write(const std::uint8_t* report) override { return hid_write(device_, report, kReportSize); }
    int read(std::uint8_t* buffer, std::size_t length) override { return hid_read(device_, buffer, length); }
    int readTimeout(std::uint8_t* buffer, std::size_t length, int milliseconds) override
    {
        return hid_read_timeout(device_, buffer, length, milliseconds);
    }

private:
    hid_device* device_;
};
} // namespace

std::unique_ptr<HidPort> HidapiBackend::open(std::uint16_t vendorId, std::uint16_t productId)
{
    hid_device* device = hid_open(vendorId, productId, nullptr);
    if (!device)
        return nullptr;
    hid_set_nonblocking(device, 1);
    return std::make_unique<HidapiPort>(device);
}

bool HidapiBackend::isPresent(std::uint16_t vendorId, std::uint16_t productId)
{
    hid_device_info* devices = hid_enumerate(vendorId, productId);
    const bool present = devices != nullptr;
    hid_free_enumeration(devices);
    return present;
}

#include "link/device_link.h"

#include "link/trace.h"

DeviceLink::DeviceLink(HidBackend& backend, Trace* trace) : backend_(backend), trace_(trace) {}

bool DeviceLink::open()
{
    port_ = backend_.open(kRouterVendorId, kRouterProductId);
    return isOpen();
}

void DeviceLink::close()
{
    port_.reset();
}

bool DeviceLink::write(const std::uint8_t* report)
{
    if (!port_)
        return false;
    const int written = port_->write(report);
    if (trace_)
        trace_->report(Trace::Direction::Out, report, kReportSize);
    return written >= 0;
}

int DeviceLink::read(std::uint8_t* buffer, std::size_t length, int milliseconds)
{
    if (!port_)
        return -1;
    const int n = milliseconds > 0 ? port_->readTimeout(buffer, length, milliseconds) : port_->read(buffer, length);
    if (trace_ && n > 0)
        trace_->report(Trace::Direction::In, buffer, static_cast<std::size_t>(n));
    return n;
}

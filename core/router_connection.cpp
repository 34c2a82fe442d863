#include "core/router_connection.h"

#include "link/clock.h"

RouterConnection::RouterConnection(HidBackend& backend, MillisecondClock& clock, Trace* trace)
    : link_(backend, trace), clock_(clock)
{
}

void RouterConnection::close()
{
    reconnecting_ = false;
    if (link_.isOpen())
        link_.close();
}

void RouterConnection::closeLost()
{
    link_.close();
    lost_ = false;
    nextPlugCheck_ = clock_.now() + kPlugCheckInterval;
}

bool RouterConnection::reopenAfterRestart()
{
    if (link_.isOpen())
        link_.close();
    if (link_.open())
        return true;
    reconnecting_ = true;
    reconnectStarted_ = clock_.now();
    nextReconnect_ = reconnectStarted_ + kReconnectInterval;
    return false;
}

std::optional<bool> RouterConnection::retryReconnect()
{
    if (!reconnecting_)
        return std::nullopt;
    const std::uint32_t now = clock_.now();
    if (static_cast<std::int32_t>(now - nextReconnect_) < 0)
        return std::nullopt;
    const bool open = link_.open();
    if (open || now - reconnectStarted_ >= kReconnectPatience) {
        reconnecting_ = false;
        return open;
    }
    nextReconnect_ = now + kReconnectInterval;
    return std::nullopt;
}

RouterConnection::Plug RouterConnection::look()
{
    if (link_.isOpen()) {
        if (!lost_)
            return Plug::Nothing;
        link_.close();
        nextPlugCheck_ = clock_.now() + kPlugCheckInterval;
        return Plug::PulledOut;
    }
    const std::uint32_t now = clock_.now();
    if (static_cast<std::int32_t>(now - nextPlugCheck_) < 0)
        return Plug::Nothing;
    nextPlugCheck_ = now + kPlugCheckInterval;
    return link_.routerPresent() ? Plug::PluggedIn : Plug::Nothing;
}

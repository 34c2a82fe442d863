#pragma once
#include "link/device_link.h"

#include <cstdint>
#include <optional>

class HidBackend;
class MillisecondClock;
class Trace;

// The router's USB link and how it is kept: opened when asked, looked for
// again while the router restarts after an update, and, while watched, noticed
// when it is pulled out or plugged in. What runs on the link, and what is said
// about it, is the session's to decide.
class RouterConnection {
public:
    // After an update the router copies its flash and comes back on USB; it is
    // looked for this often, for this long, before it is called offline.
    static constexpr std::uint32_t kReconnectInterval = 250;
    static constexpr std::uint32_t kReconnectPatience = 10000;
    // How often an offline window looks for the router being plugged in: a
    // little under a second, so that a tick that comes once a second, give or
    // take its timer's slack, looks every time.
    static constexpr std::uint32_t kPlugCheckInterval = 900;

    RouterConnection(HidBackend& backend, MillisecondClock& clock, Trace* trace = nullptr);

    DeviceLink& link() { return link_; }
    bool isOpen() const { return link_.isOpen(); }
    // Closes the link if it is open; a reconnect under way ends.
    void close();
    // The link is gone: closed, and the next look for a router plugged in is a
    // plug-check interval away.
    void closeLost();

    // After the router restarts: opened at once, or else looked for again
    // every kReconnectInterval (retryReconnect) for kReconnectPatience.
    bool reopenAfterRestart();
    bool reconnecting() const { return reconnecting_; }
    // One look while reconnecting: nothing yet, or whether it opened (false:
    // the patience ran out). Either ends the reconnect.
    std::optional<bool> retryReconnect();

    // Watching, only while nothing runs on the link.
    void watch(bool on) { watching_ = on; }
    bool watching() const { return watching_; }
    // A failed read or write outside an update: the next look says pulled out.
    void markLost() { lost_ = true; }
    enum class Plug { Nothing, PulledOut, PluggedIn };
    // A link lost is closed here and reported once; an offline router is
    // looked for once a plug-check interval and reported when it is there.
    Plug look();
    // A failure seen during a tick counts for that tick's look only.
    void endTick() { lost_ = false; }

private:
    DeviceLink link_;
    MillisecondClock& clock_;
    bool reconnecting_ = false;
    std::uint32_t reconnectStarted_ = 0;
    std::uint32_t nextReconnect_ = 0;
    bool watching_ = false;
    bool lost_ = false;
    std::uint32_t nextPlugCheck_ = 0;
};

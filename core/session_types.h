#pragma once
#include "core/router_status.h"
#include "text/messages.h"

#include <QString>

#include <cstdint>

// What the next tick must act on.
enum class SessionMode : std::uint8_t { Idle = 0, RoutesModeSeen = 1, UpdateProgress = 2, CopyProgress = 3 };

// What the session needs from whoever shows it: the window, or a console.
class SessionView {
public:
    virtual ~SessionView() = default;
    // Adds a new last line to the log, in the language current at this moment.
    virtual void logMessage(const LogMessage& message) = 0;
    // One more step of a running update: the window adds a star at the log's caret.
    virtual void progressStep() {}
    // The router's status changed (see RouterStatus).
    virtual void statusChanged(const RouterStatus& status) = 0;
    // A failure the user must acknowledge (the error box).
    virtual void showError(const LogMessage& message) = 0;
    // A bootloader command got no good reply within its attempts. The window says
    // nothing about it; a console reports it.
    virtual void commandGaveUp(BootCommand /*command*/) {}
    // The session has work for the tick again (see Session::needsFastTick).
    virtual void tickNeeded() {}
};

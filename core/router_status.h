#pragma once
#include "firmware/update_types.h"

#include <cstdint>

// Where things stand, as the session publishes it after every change. The window
// derives its buttons from it and a console waits on it; nobody reads log text.
struct RouterStatus {
    enum class Mode { Unknown, Routes, Update };
    enum class Outcome { None, Updated, VerifyFailed, Stopped };

    bool linkOpen = false;
    bool exchangeReady = false;    // receive and send may be used
    Mode mode = Mode::Unknown;     // the firmware the router last said it runs
    int firmwareMajor = 0;         // as the bootloader reported it (signed)
    int firmwareMinor = 0;
    bool fileAccepted = false;     // a firmware file that can be programmed and verified is chosen
    bool updateRunning = false;    // from Erase to the end of the count-down after the Jump
    bool reconnecting = false;     // the end of an update waits for the router to come back
    Outcome outcome = Outcome::None;  // of the last update
    UpdateStop stop = UpdateStop::NoAnswer;  // why, when it stopped
    BootCommand stoppedCommand = BootCommand::Version;  // the command in flight when it stopped
    bool flashErased = false;      // it stopped after the Erase went out
    int routerCrc = 0;             // of the last Verify reply
    int toolCrc = 0;
    std::uint32_t recordsSent = 0;  // records of the file handed to Program packets in this run

    bool operator==(const RouterStatus& o) const
    {
        return linkOpen == o.linkOpen && exchangeReady == o.exchangeReady && mode == o.mode
            && firmwareMajor == o.firmwareMajor && firmwareMinor == o.firmwareMinor && fileAccepted == o.fileAccepted
            && updateRunning == o.updateRunning && reconnecting == o.reconnecting && outcome == o.outcome
            && stop == o.stop && stoppedCommand == o.stoppedCommand && flashErased == o.flashErased
            && routerCrc == o.routerCrc && toolCrc == o.toolCrc && recordsSent == o.recordsSent;
    }
    bool operator!=(const RouterStatus& o) const { return !(*this == o); }
};

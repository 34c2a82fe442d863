#pragma once
#include "link/boot_loader.h"
#include "link/boot_frame.h"

#include <utility>
#include <vector>

// Frames a packet the way the bootloader does, for replies a test injects by hand.
inline std::vector<std::uint8_t> bootFrame(std::vector<std::uint8_t> packet)
{
    return BootFrame::encode(std::move(packet));
}

struct RecordingListener : BootListener, BootReplyHandler {
    void routesModeSeen() override { ++routesMode; }
    void HandleBootReply(BootCommand code, const std::uint8_t* payload, std::size_t length) override
    {
        replies.push_back({static_cast<int>(code), std::vector<std::uint8_t>(payload, payload + length)});
    }
    void commandGaveUp(BootCommand command) override { gaveUp.push_back(static_cast<std::uint8_t>(command)); }

    int routesMode = 0;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> replies;
    std::vector<std::uint8_t> gaveUp;
};

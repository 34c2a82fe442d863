#pragma once
#include "link/boot_loader.h"
#include "link/crc16.h"

#include <utility>
#include <vector>

// Frames a packet the way the bootloader does, for replies a test injects by hand.
inline std::vector<std::uint8_t> bootFrame(std::vector<std::uint8_t> packet)
{
    const std::uint16_t crc = Crc16(packet.data(), packet.size());
    packet.push_back(static_cast<std::uint8_t>(crc));
    packet.push_back(static_cast<std::uint8_t>(crc >> 8));
    std::vector<std::uint8_t> frame{0x01};
    for (std::uint8_t b : packet) {
        if (b == 0x01 || b == 0x04 || b == 0x10)
            frame.push_back(0x10);
        frame.push_back(b);
    }
    frame.push_back(0x04);
    return frame;
}

struct RecordingListener : BootListener {
    void routesModeSeen() override { ++routesMode; }
    void HandleBootReply(int code, const std::uint8_t* payload, std::size_t length) override
    {
        replies.push_back({code, std::vector<std::uint8_t>(payload, payload + length)});
    }
    void commandGaveUp(std::uint8_t command) override { gaveUp.push_back(command); }

    int routesMode = 0;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> replies;
    std::vector<std::uint8_t> gaveUp;
};

#pragma once
#include "config/config_image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

class DeviceLink;

// The routes-mode request/reply exchange of the whole image: read requests
// 0x01 'r' and write requests 0x01 'w' with a 16-bit offset, one report each way.
// Both transfers block until done; the wait for a reply is bounded by a count of
// non-blocking reads, not by time.
class ConfigExchange {
public:
    static constexpr int kWaitReads = 10000;
    static constexpr int kMaxFailures = 4;
    static constexpr std::size_t kWriteBlock = 32;
    static constexpr std::size_t kMaxReadReply = 63;
    static constexpr std::uint8_t kReadCommand = 'r';
    static constexpr std::uint8_t kWriteCommand = 'w';
    static constexpr std::uint8_t kWriteAck = 2;

    // Called with the number of image bytes transferred so far.
    using Progress = std::function<void(std::size_t done)>;

    explicit ConfigExchange(DeviceLink& link);

    // Fills `image` with the router's configuration. False when the router stopped
    // answering; `image` then holds a partial copy that the caller must not use.
    bool receiveImage(std::uint8_t* image, const Progress& progress = {});
    // Writes `image` to the router block by block. False when the router stopped answering.
    bool sendImage(const std::uint8_t* image, const Progress& progress = {});

    void sendConfigRequest(const std::uint8_t* request, std::uint8_t length);

private:
    enum class Reply { None, Read, WriteAck };
    Reply waitForReply(Reply expected);
    void putHeader(std::uint8_t command, std::size_t offset);

    DeviceLink& link_;
    std::array<std::uint8_t, 36> request_{};
    std::array<std::uint8_t, 65> report_{};  // deliberately not cleared between requests
    std::array<std::uint8_t, 65> reply_{};
    int replyLength_ = 0;
};

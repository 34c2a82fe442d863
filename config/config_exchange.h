#pragma once
#include "config/config_image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

class DeviceLink;
class MillisecondClock;

// The routes-mode request/reply exchange of the whole image: read requests
// 0x01 'r' and write requests 0x01 'w' with a 16-bit offset, one report each way.
// Both transfers block until done.
class ConfigExchange {
public:
    // A reply wait ends with the reply, or once it has made kWaitReads reads and
    // kWaitMilliseconds have passed since the request: the count alone lasts a
    // few milliseconds on a fast machine, far less than a router may need. A router
    // that proves slower gets a longer wait, up to kLateReplyLimit.
    static constexpr int kWaitReads = 10000;
    static constexpr std::uint32_t kWaitMilliseconds = 100;
    static constexpr int kMaxFailures = 4;
    static constexpr int kDiscardLimit = 256;  // waiting reports dropped at most before a request
    // A reply later than this after its request is taken as lost for good.
    static constexpr std::uint32_t kLateReplyLimit = 1000;

    // Called with the number of image bytes transferred so far.
    using Progress = std::function<void(std::size_t done)>;

    ConfigExchange(DeviceLink& link, MillisecondClock& clock);

    // Fills `image` with the router's configuration. False when the router stopped
    // answering; `image` then holds a partial copy that the caller must not use.
    bool receiveImage(std::uint8_t* image, const Progress& progress = {});
    // Writes `image` to the router block by block; true only when every block was
    // acknowledged with its own offset. False when the router stopped answering.
    bool sendImage(const std::uint8_t* image, const Progress& progress = {});

    void sendConfigRequest(const std::uint8_t* request, std::uint8_t length);

private:
    enum class Reply { Read, WriteAck };
    bool waitForReply(Reply expected);
    bool isReply(Reply expected) const;
    // Sends the request after dropping what is already waiting, so that a reply
    // to an earlier request can never be taken for this one.
    void request(std::uint8_t length);
    void discardWaiting();
    void startTransfer();
    void requestAnswered();

    DeviceLink& link_;
    MillisecondClock& clock_;
    std::array<std::uint8_t, 36> request_{};
    std::array<std::uint8_t, 65> report_{};  // deliberately not cleared between requests
    std::array<std::uint8_t, 65> reply_{};
    std::array<std::uint8_t, 65> dropped_{};
    int replyLength_ = 0;

    // Requests of the current offset that went unanswered in their wait: a real
    // router may still answer each of them, late.
    int unanswered_ = 0;
    std::uint32_t firstSent_ = 0;
    std::uint32_t lastSent_ = 0;
    // After repeats, everything that arrives until this time is a late reply.
    bool draining_ = false;
    std::uint32_t drainUntil_ = 0;
    // The wait of this transfer: kWaitMilliseconds, lengthened for a router that
    // has shown itself slower, so that it is not asked twice for every block.
    std::uint32_t waitMilliseconds_ = kWaitMilliseconds;
};

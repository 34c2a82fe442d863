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
    // Read replies carry no offset, so a receive that saw anything irregular is
    // read again, and kept only when two reads agree byte for byte.
    static constexpr int kMaxImageReads = 3;
    // After the last reply, and while confirming after every reply, the exchange
    // waits this long at least (and twice the slowest reply) for stray copies.
    static constexpr std::uint32_t kQuietMinimum = 20;

    enum class Outcome {
        Done,
        NoAnswer,     // the router stopped answering; its failures ran out
        LinkLost,     // a read or write of the link failed: the router is gone
        Unconfirmed,  // a receive whose reads did not agree
    };

    // Called with the number of image bytes transferred so far.
    using Progress = std::function<void(std::size_t done)>;

    ConfigExchange(DeviceLink& link, MillisecondClock& clock);

    // Fills `image` with the router's configuration. False when it could not be
    // read for certain (see outcome()); `image` then holds bytes the caller must
    // not use.
    bool receiveImage(std::uint8_t* image, const Progress& progress = {});
    // Writes `image` to the router block by block; true only when every block was
    // acknowledged with its own offset.
    bool sendImage(const std::uint8_t* image, const Progress& progress = {});
    // How the last transfer ended.
    Outcome outcome() const { return outcome_; }
    // Whole reads of the image the last receive made: 1 when nothing irregular happened.
    int imageReads() const { return imageReads_; }

    // False when the link refused the write.
    bool sendConfigRequest(const std::uint8_t* request, std::uint8_t length);

private:
    enum class Reply { Read, WriteAck };
    Outcome readPass(std::uint8_t* image, const Progress& progress);
    Outcome waitForReply(Reply expected);
    bool isReply(Reply expected) const;
    // Sends the request after dropping what is already waiting, so that a reply
    // to an earlier request can never be taken for this one.
    bool request(std::uint8_t length);
    void discardWaiting();
    void startTransfer();
    void requestAnswered();
    // Waits until nothing has arrived for quiet_ milliseconds since `since`; what
    // arrives is dropped and makes the read irregular.
    void settle(std::uint32_t since);
    // Something arrived `lag` ms after the last reply: wait at least twice that.
    void lengthenQuiet(std::uint32_t lag);
    void noteIrregular() { irregular_ = true; }

    DeviceLink& link_;
    MillisecondClock& clock_;
    std::array<std::uint8_t, 36> request_{};
    std::array<std::uint8_t, 65> report_{};  // deliberately not cleared between requests
    std::array<std::uint8_t, 65> reply_{};
    std::array<std::uint8_t, 65> dropped_{};
    int replyLength_ = 0;
    std::size_t sendOffset_ = 0;  // of the block being written
    bool linkFailed_ = false;
    Outcome outcome_ = Outcome::Done;

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

    // The receive's confirmation: what looked wrong in this read, whether reads
    // now settle after each reply, and for how long.
    bool irregular_ = false;
    bool careful_ = false;
    std::uint32_t quiet_ = kQuietMinimum;
    std::uint32_t lastReplyAt_ = 0;
    std::uint32_t slowestReply_ = 0;
    int imageReads_ = 0;
    std::array<std::array<std::uint8_t, kImageSize>, kMaxImageReads - 1> rereads_{};
};

#pragma once
#include "config/config_image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class DeviceLink;
class MillisecondClock;

// The routes-mode request/reply exchange of the whole image: read requests
// 0x01 'r' and write requests 0x01 'w' with a 16-bit offset, one report each way.
// Both transfers block until done, and both are judged by content, never by
// how smoothly they went: a receive is kept only when two reads agree byte for
// byte, a send is done only when the router's image, read back, equals what
// was sent.
class ConfigExchange {
public:
    // A reply wait ends with the reply, or once it has made kWaitReads reads and
    // its time has passed: kWaitMilliseconds for the first try of a request,
    // twice as long for each further try, never more than kLateReplyLimit. A
    // router that proves slower gets longer waits from then on.
    static constexpr int kWaitReads = 10000;
    static constexpr std::uint32_t kWaitMilliseconds = 100;
    static constexpr int kMaxFailures = 4;
    static constexpr int kDiscardLimit = 256;  // waiting reports dropped at most before a request
    // A reply later than this after its request is taken as lost for good.
    static constexpr std::uint32_t kLateReplyLimit = 1000;
    // Reads of the image a receive makes at most before it gives up on agreement.
    static constexpr int kMaxImageReads = 8;
    // Read-backs of a send at most; the blocks that differ are written again
    // between them.
    static constexpr int kMaxSendChecks = 3;
    // The shortest pause that lets a reply's stray copies arrive and be dropped.
    static constexpr std::uint32_t kQuietMinimum = 20;

    enum class Outcome {
        Done,
        NoAnswer,     // the router stopped answering; its failures ran out
        LinkLost,     // a read or write of the link failed: the router is gone
        Unconfirmed,  // a receive whose reads never agreed
        WrongAck,     // a block was acknowledged, but always with another offset
        NotKept,      // a send whose read-back kept differing from what was sent
    };
    // What a transfer is doing: moving the image, or proving what it moved.
    enum class Phase { Transfer, Check };

    struct Step {
        std::size_t done = 0;
        std::size_t total = 0;  // grows when a proof needs another read
        Phase phase = Phase::Transfer;
    };
    using Progress = std::function<void(const Step&)>;

    // What a failed transfer leaves to say about it.
    struct Failure {
        Phase phase = Phase::Transfer;
        bool answeredAny = false;        // NoAnswer: did this transfer get any reply
        std::size_t bytesMoved = 0;      // NoAnswer: of the image, in the pass that went quiet
        std::size_t acknowledged = 0;    // WrongAck: the offset the router named ...
        std::size_t block = 0;           // ... for the block at this offset
        std::vector<std::size_t> blocksNotKept;  // NotKept: offsets, after the last read-back
    };

    ConfigExchange(DeviceLink& link, MillisecondClock& clock);

    // Fills `image` with the router's configuration; false when it could not be
    // read for certain (see outcome()), and `image` is then left as it was.
    bool receiveImage(std::uint8_t* image, const Progress& progress = {});
    // Writes `image` to the router block by block and reads it back; true only
    // when the router holds exactly `image`.
    bool sendImage(const std::uint8_t* image, const Progress& progress = {});
    // How the last transfer ended, and the details of a failure.
    Outcome outcome() const { return outcome_; }
    const Failure& failure() const { return failure_; }
    // Reads of the whole image the last receive made (or began): 2 when nothing
    // got in the way.
    int imageReads() const { return imageReads_; }

    // False when the link refused the write.
    bool sendConfigRequest(const std::uint8_t* request, std::uint8_t length);

private:
    enum class Reply { Read, WriteAck };
    using Image = std::array<std::uint8_t, kImageSize>;

    // How a read deals with replies that come more than once: not at all; by
    // dropping one copy after each reply; by letting the stream fall quiet
    // after each reply.
    enum class Care { None, OneCopy, Quiet };
    // One read of the whole image into `into`. Each reply overlaps the one before
    // it by `overlap` bytes, which must agree: a reply taken for another request
    // is caught there. Done with spoiled_ set when the read was abandoned.
    Outcome readPass(std::uint8_t* into, std::size_t overlap, Care care, const std::function<void(std::size_t)>& moved);
    static Care careAfter(int spoiledReads);
    // Writes the blocks whose flag is set; stops at the first block that fails.
    Outcome writeBlocks(const std::uint8_t* image, const std::array<bool, kImageSize / 32>& blocks,
                        const std::function<void()>& written);
    Outcome waitForReply(Reply expected);
    bool isReply(Reply expected) const;
    // Sends the request after dropping what is already waiting and what earlier
    // tries of the last request still owe, so that a reply to another request is
    // not taken for this one.
    bool request(std::uint8_t length);
    void discardWaiting();
    void collectOwed();
    void startTransfer();
    void startPass();
    void requestAnswered();
    // Something arrived that answers no request of this pass.
    void disturbed(std::uint32_t at);
    // The block being written was acknowledged with another offset.
    void wrongAck(std::size_t acknowledged);
    // Waits until nothing has arrived for quiet_ milliseconds since `since`,
    // dropping what arrives; with `enough`, no longer than until that many arrived.
    void settle(std::uint32_t since, int enough = 0);
    void lengthenQuiet(std::uint32_t lag);
    std::uint32_t tryWait() const;

    DeviceLink& link_;
    MillisecondClock& clock_;
    std::array<std::uint8_t, 36> request_{};
    std::array<std::uint8_t, 65> report_{};  // deliberately not cleared between requests
    std::array<std::uint8_t, 65> reply_{};
    std::array<std::uint8_t, 65> dropped_{};
    int replyLength_ = 0;
    std::size_t sendOffset_ = 0;  // of the block being written
    bool wrongAckSeen_ = false;   // for that block, since it was first sent
    bool linkFailed_ = false;
    Outcome outcome_ = Outcome::Done;
    Failure failure_;

    // Tries of the current request that went unanswered in their wait: a real
    // router may still answer each of them, late, with the same bytes.
    int unanswered_ = 0;
    int owed_ = 0;  // such late answers to collect before the next request
    std::uint32_t owedUntil_ = 0;
    std::uint32_t firstSent_ = 0;
    std::uint32_t lastSent_ = 0;
    // The base wait, lengthened for a router that has shown itself slower, so
    // that it is not asked twice for every block.
    std::uint32_t waitMilliseconds_ = kWaitMilliseconds;
    std::uint32_t slowestFirstTry_ = 0;  // latency of requests answered at their first try
    bool latencyKnown_ = false;
    std::uint32_t slowestReply_ = 0;
    std::uint32_t lastReplyAt_ = 0;
    std::uint32_t quiet_ = kQuietMinimum;
    bool answeredAny_ = false;

    // The current read: whether it has asked anything yet, and whether anything
    // arrived that it did not ask for (a spoiled read is never used).
    bool requested_ = false;
    bool spoiled_ = false;
    std::size_t lastTaken_ = 0;  // bytes of the last reply, for the next overlap
    int imageReads_ = 0;
    std::array<Image, kMaxImageReads> reads_{};
    std::array<bool, kMaxImageReads> usable_{};
    Image readBack_{};
};

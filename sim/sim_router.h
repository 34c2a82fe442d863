#pragma once
#include "config/config_image.h"
#include "firmware/flash_map.h"
#include "link/clock.h"
#include "link/boot_commands.h"
#include "link/boot_frame.h"
#include "link/hid_port.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// Faults the simulated router can be told to show.
struct SimFaults {
    bool noReply = false;          // reads nothing, answers nothing
    int replyDelayReads = 0;       // a reply can be read only after this many empty reads
    std::uint32_t replyDelayMs = 0;  // a reply can be read only this long after the request (needs `clock`)
    int readReplyCount = -1;       // the count byte of read replies (-1: the true count)
    int reportLength = 0;          // reads deliver at most this many bytes of a report (0: all 64)
    int refuseWriteAt = -1;        // a write to this offset is not stored and acknowledges the offset itself
    int refusals = 0;              // ... this many times (-1: always)
    int dropWriteAt = -1;          // a write to this offset is acknowledged as stored, but is not
    int drops = 0;                 // ... this many times (-1: always)
    int answersLeft = -1;          // stop answering after this many replies (-1: never stop)
    int ackOffBy = 0;              // write acknowledgements name the right offset plus this
    bool badCrc = false;           // bootloader replies carry a wrong CRC
    int splitReplyAt = 0;          // put only this many bytes of a bootloader reply in its first report
    bool doubleReply = false;      // two copies of a bootloader reply in one report
    bool corruptProgram = false;   // flip a bit of the first data byte it programs where Verify looks
    std::uint32_t duplicateAfterMs = 0;  // every reply comes a second time this long after the first (needs `clock`)
    int strayCopyOf = -1;          // routes-mode reply N (0 = the first) comes a second time ...
    std::uint32_t strayLagMs = 0;  // ... this long after the first (needs `clock`)
    int loseReply = -1;            // routes-mode reply N is never sent (a write is still stored)
    int changeAfterReads = -1;     // after answering this many read requests, the image becomes changeTo
    ConfigImage changeTo;
    int unplugAfter = -1;          // pulled out of USB right after this many more replies (-1: never)
    int loseProgramAck = -1;       // the acknowledgement of this Program packet (0 = the first) is lost, once
};

// A router that answers exactly as the real one must: the routing firmware's
// read and write requests, the routes-mode marker for any bootloader frame, and
// in update mode the bootloader's Version, Erase, Program, Verify and Jump.
class SimRouter {
public:
    enum class Mode { Absent, Routes, Update };

    explicit SimRouter(Mode mode = Mode::Routes);

    Mode mode;
    ConfigImage image;
    std::vector<std::uint8_t> flash;     // the same picture as the tool's flash image
    std::size_t bytesPerReply = 63;
    std::uint8_t versionMajor = 1;
    std::uint8_t versionMinor = 5;
    SimFaults faults;
    // How long the router stays away from USB after Jump while it copies its
    // flash; measured on `clock`, and 0 (back at once) without one.
    std::uint32_t restartMilliseconds = 0;
    MillisecondClock* clock = nullptr;
    // What a read with a time-out does while nothing is ready: a test advances its
    // fake clock here. Without it such a read returns at once.
    std::function<void(std::uint32_t milliseconds)> wait;
    // Called when a Jump arrives, before the router restarts (for checks of the flash).
    std::function<void()> onJump;

    // What the tool did, for tests.
    std::vector<std::array<std::uint8_t, kReportSize>> written;
    std::vector<std::uint8_t> bootCommands;   // code of every good frame received
    std::vector<std::vector<std::uint8_t>> bootPackets;  // every good packet, CRC removed
    std::vector<int> programRecords;          // records carried by each Program packet
    int opens = 0;

    void unplug() { unplugged_ = true; }
    void plugIn() { unplugged_ = false; }
    bool pluggedIn() const { return mode != Mode::Absent && !unplugged_ && !restarting(); }
    std::size_t pendingReports() const { return replies_.size(); }
    // Routes-mode replies sent (or lost) so far, and read requests answered.
    int routesReplies() const { return routesReplies_; }
    int readsAnswered() const { return readsAnswered_; }
    // Queues a raw input report, as if the router had sent it unasked.
    void pushReport(const std::vector<std::uint8_t>& data, int delayReads = 0);

    // The port side, used by SimBackend.
    unsigned generation() const { return generation_; }
    int write(unsigned generation, const std::uint8_t* report);
    int read(unsigned generation, std::uint8_t* buffer, std::size_t length, int milliseconds = 0);

private:
    void routesRequest(const std::uint8_t* data);
    void feedBootloader(const std::uint8_t* data, std::size_t count);
    void bootPacket(const std::uint8_t* packet, std::size_t length);
    void program(const std::uint8_t* records, std::size_t length);
    void replyFrame(const std::vector<std::uint8_t>& packet);
    bool answering();
    bool restarting() const;

    struct Pending {
        std::vector<std::uint8_t> data;
        int delay;
        std::uint32_t readyAt = 0;  // on `clock`, when replyDelayMs applies
        bool timed = false;
    };
    void queue(std::vector<std::uint8_t> report, int delayReads);
    void insertTimed(Pending pending);
    int takeReady(std::uint8_t* buffer, std::size_t length);
    std::deque<Pending> replies_;
    void routesReply(std::vector<std::uint8_t> reply);
    int routesReplies_ = 0;
    int readsAnswered_ = 0;
    bool unplugged_ = false;
    bool away_ = false;
    std::uint32_t backAt_ = 0;
    unsigned generation_ = 0;
    std::array<std::uint8_t, 1024> frameBuffer_{};
    BootFrameReceiver receiver_{frameBuffer_.data(), 1000};
    AddressBase base_;
};

class SimBackend final : public HidBackend {
public:
    explicit SimBackend(SimRouter& router) : router_(router) {}
    std::unique_ptr<HidPort> open(std::uint16_t vendorId, std::uint16_t productId) override;
    bool isPresent(std::uint16_t vendorId, std::uint16_t productId) override
    {
        return vendorId == kRouterVendorId && productId == kRouterProductId && router_.pluggedIn();
    }

private:
    SimRouter& router_;
};

// A configuration with a few devices and routes of every kind, for the demo mode,
// the pictures in the README and the benchmarks.
ConfigImage sampleConfiguration();
// 32 devices of 8 ports each, with many routes.
ConfigImage largestConfiguration();
// Writes one device entry into slot d.
void putDevice(ConfigImage& image, int d, std::uint16_t vid, std::uint16_t pid, std::uint32_t serial,
               std::uint8_t ports, const std::string& name, std::uint8_t outMask = 0, std::uint8_t inMask = 0);

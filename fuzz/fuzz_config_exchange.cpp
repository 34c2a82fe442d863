// The configuration exchange against a router whose timing and manners the
// fuzzer chooses: it answers every request truthfully, but late, twice, not at
// all, with a wrong acknowledgement, cut short, a copy much later, after junk
// and markers, storing a block it acknowledged or not, and its configuration
// may change under the exchange. A receive may end "received" only with an
// image the router really held; a send only when the router holds every byte
// sent; every exchange ends within a bounded number of reads.
#include "config/config_exchange.h"
#include "fuzz_support.h"
#include "link/clock.h"
#include "link/device_link.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <vector>

namespace {
struct Report {
    std::vector<std::uint8_t> bytes;
    std::uint32_t readyAt;
};

class ScriptedRouter {
public:
    ScriptedRouter(const std::uint8_t* script, std::size_t size, FakeClock& clock)
        : script_(script), size_(size), clock_(clock)
    {
        for (std::size_t i = 0; i < kImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(i * 7 + 3);
        held.push_back(image);
        const std::uint8_t header = size > 0 ? next() : 0;
        // A routes-mode marker or an old reply may be waiting when a transfer starts.
        if (header & 1)
            push({0x03, 0xAA, 0x55, 0xAA}, 0);
        if (header & 2)
            push({0x02, 0x20, 0x00}, 0);
        // Someone at the router's panel: the configuration changes after a chosen request.
        if (header & 4)
            changeAfter_ = 1 + next() * 2;
    }

    void request(const std::uint8_t* report)
    {
        const std::uint8_t length = report[1];
        const std::uint8_t* r = report + 2;
        if (length < 4 || r[0] != 0x01)
            return;
        const std::size_t offset = static_cast<std::size_t>(r[2] | r[3] << 8);
        if (++requests_ == changeAfter_) {
            for (std::size_t i = 0; i < kImageSize; ++i)
                image[i] = static_cast<std::uint8_t>(i * 13 + 5);
            held.push_back(image);
        }
        const std::uint8_t manner = next();
        // Replies leave in order: a reply is never ready before the one queued ahead of it.
        const std::uint32_t latency = (manner >> 3) * 10u;  // 0 .. 310 ms, within kLateReplyLimit
        std::uint32_t ready = clock_.now() + latency;
        if (!pending_.empty())
            ready = std::max(ready, pending_.back().readyAt);
        switch (manner & 7) {
        case 0:  // lost
            return;
        case 1:  // junk that is no reply, then the reply
            push({0x00, 0x01, 0x02}, ready);
            break;
        case 2:  // a report that is no reply of either kind, then the reply
            push({0x00, 0x02, 0x00}, ready);
            break;
        default:
            break;
        }
        std::vector<std::uint8_t> reply;
        if (r[1] == 'r' && offset < kImageSize) {
            const std::size_t n = std::min<std::size_t>(1 + next() % 63, kImageSize - offset);
            reply.assign(1 + n, static_cast<std::uint8_t>(n));
            std::copy_n(image.begin() + offset, n, reply.begin() + 1);
            if ((manner & 7) == 3)  // cut short: fewer bytes than its count says
                reply.resize(1 + next() % (n + 1));
        } else if (r[1] == 'w' && length == 36 && offset + 32 <= kImageSize) {
            std::size_t acknowledged = offset + 32;
            if ((manner & 7) == 4)  // refused: not stored, the old offset acknowledged
                acknowledged = offset;
            else if ((manner & 7) != 3)  // 3: acknowledged as stored, but lost
                std::copy_n(r + 4, 32, image.begin() + offset);
            if ((manner & 7) == 1)  // and acknowledged with an offset off by some amount
                acknowledged += static_cast<std::size_t>(next()) - 128;
            reply = {0x02, static_cast<std::uint8_t>(acknowledged), static_cast<std::uint8_t>(acknowledged >> 8)};
        } else {
            return;
        }
        push(reply, ready);
        if ((manner & 7) == 5)  // answered twice
            push(reply, ready);
        if ((manner & 7) == 7) {
            // Answered twice, the copy later; or followed by the routing firmware's marker.
            const std::uint8_t later = next();
            if (later & 1)
                push({0x03, 0xAA, 0x55, 0xAA}, ready + (later >> 1));
            else
                push(reply, ready + (later >> 1) * 4u);
        }
    }

    int read(std::uint8_t* buffer, std::size_t length, int milliseconds)
    {
        ++reads;
        if ((pending_.empty() || static_cast<std::int32_t>(clock_.now() - pending_.front().readyAt) < 0) && milliseconds > 0) {
            std::uint32_t wait = static_cast<std::uint32_t>(milliseconds);
            if (!pending_.empty())
                wait = std::min<std::uint32_t>(wait, pending_.front().readyAt - clock_.now());
            clock_.advance(wait);
        }
        if (pending_.empty() || static_cast<std::int32_t>(clock_.now() - pending_.front().readyAt) < 0)
            return 0;
        const Report report = pending_.front();
        pending_.pop_front();
        const std::size_t n = std::min(length, report.bytes.size());
        std::copy_n(report.bytes.begin(), n, buffer);
        return static_cast<int>(n);
    }

    std::array<std::uint8_t, kImageSize> image{};
    std::vector<std::array<std::uint8_t, kImageSize>> held;  // every image the router held, in turn
    long long reads = 0;  // a 64-bit count on every platform: the bound above needs it

private:
    // Past the end of the script the router is prompt and plain (latency 0, manner 6).
    std::uint8_t next() { return used_ < size_ ? script_[used_++] : 0x06; }
    void push(std::vector<std::uint8_t> bytes, std::uint32_t readyAt) { pending_.push_back({std::move(bytes), readyAt}); }

    const std::uint8_t* script_;
    std::size_t size_;
    std::size_t used_ = 0;
    long requests_ = 0;
    long changeAfter_ = -1;
    FakeClock& clock_;
    std::deque<Report> pending_;
};

class ScriptedPort final : public HidPort {
public:
    explicit ScriptedPort(ScriptedRouter& router) : router_(router) {}
    int write(const std::uint8_t* report) override
    {
        router_.request(report);
        return static_cast<int>(kReportSize);
    }
    int read(std::uint8_t* buffer, std::size_t length) override { return router_.read(buffer, length, 0); }
    int readTimeout(std::uint8_t* buffer, std::size_t length, int milliseconds) override
    {
        return router_.read(buffer, length, milliseconds);
    }

private:
    ScriptedRouter& router_;
};

class ScriptedBackend final : public HidBackend {
public:
    explicit ScriptedBackend(ScriptedRouter& router) : router_(router) {}
    std::unique_ptr<HidPort> open(std::uint16_t, std::uint16_t) override { return std::make_unique<ScriptedPort>(router_); }
    bool isPresent(std::uint16_t, std::uint16_t) override { return true; }

private:
    ScriptedRouter& router_;
};

// One pass over the image: 4096 one-byte replies at most, five tries each,
// every wait its reads plus its timed reads, the late answers collected, what
// is dropped before a request and the settling after a reply. A receive makes
// at most kMaxImageReads passes; a send writes and reads back at most
// kMaxSendChecks times, each read-back at most kMaxImageReads passes.
constexpr long long kPassBound = 4096LL * 5 * (ConfigExchange::kWaitReads + ConfigExchange::kLateReplyLimit + 8)
    + 4096LL * (3 * ConfigExchange::kDiscardLimit + 8);
constexpr long long kReadBound
    = (ConfigExchange::kMaxImageReads + ConfigExchange::kMaxSendChecks * (1 + ConfigExchange::kMaxImageReads)) * kPassBound;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    FakeClock clock;
    ScriptedRouter router(data + 1, size - 1, clock);
    ScriptedBackend backend(router);
    DeviceLink link(backend);
    FUZZ_CHECK(link.open());
    ConfigExchange exchange(link, clock);

    std::array<std::uint8_t, kImageSize> image{};
    if (data[0] & 1) {
        image.fill(0xEE);
        if (exchange.receiveImage(image.data()))
            FUZZ_CHECK(std::find(router.held.begin(), router.held.end(), image) != router.held.end());
        else
            FUZZ_CHECK(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xEE; }));
    } else {
        for (std::size_t i = 0; i < kImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(i * 11 + 1);
        if (exchange.sendImage(image.data()))
            FUZZ_CHECK(image == router.image);
    }
    FUZZ_CHECK(router.reads < kReadBound);
    return 0;
}

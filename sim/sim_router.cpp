#include "sim/sim_router.h"

#include "firmware/hex_manager.h"
#include "config/config_request.h"
#include "link/boot_frame.h"
#include "link/crc16.h"
#include "link/little_endian.h"

#include <algorithm>
#include <cstring>

namespace {
class SimPort final : public HidPort {
public:
    SimPort(SimRouter& router) : router_(router), generation_(router.generation()) {}
    int write(const std::uint8_t* report) override { return router_.write(generation_, report); }
    int read(std::uint8_t* buffer, std::size_t length) override { return router_.read(generation_, buffer, length); }
    int readTimeout(std::uint8_t* buffer, std::size_t length, int milliseconds) override
    {
        return router_.read(generation_, buffer, length, milliseconds);
    }

private:
    SimRouter& router_;
    unsigned generation_;
};
} // namespace

SimRouter::SimRouter(Mode m) : mode(m), image(sampleConfiguration()), flash(kFlashImageSize, 0xFF) {}

std::unique_ptr<HidPort> SimBackend::open(std::uint16_t vendorId, std::uint16_t productId)
{
    if (vendorId != kRouterVendorId || productId != kRouterProductId || !router_.pluggedIn())
        return nullptr;
    ++router_.opens;
    return std::make_unique<SimPort>(router_);
}

namespace {
// An input report as the router sends it: always its 64 data bytes.
std::vector<std::uint8_t> wholeReport(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> report(kReportDataSize, 0);
    std::copy_n(data.begin(), std::min(data.size(), report.size()), report.begin());
    return report;
}
} // namespace

void SimRouter::pushReport(const std::vector<std::uint8_t>& data, int delayReads)
{
    queue(wholeReport(data), delayReads);
}

void SimRouter::queue(std::vector<std::uint8_t> report, int delayReads)
{
    if (clock && faults.duplicateAfterMs > 0) {
        Pending copy{report, 0};
        copy.timed = true;
        copy.readyAt = clock->now() + faults.replyDelayMs + faults.duplicateAfterMs;
        insertTimed(std::move(copy));
    }
    Pending pending{std::move(report), delayReads};
    if (clock && faults.replyDelayMs > 0) {
        pending.timed = true;
        pending.readyAt = clock->now() + faults.replyDelayMs;
        insertTimed(std::move(pending));
        return;
    }
    replies_.push_back(std::move(pending));
}

// Reports reach the host in the order the router sends them: a timed one goes
// behind every report due no later than it.
void SimRouter::insertTimed(Pending pending)
{
    auto at = replies_.end();
    while (at != replies_.begin()) {
        const Pending& before = *(at - 1);
        if (!before.timed || static_cast<std::int32_t>(pending.readyAt - before.readyAt) >= 0)
            break;
        --at;
    }
    replies_.insert(at, std::move(pending));
}

bool SimRouter::restarting() const
{
    return away_ && static_cast<std::int32_t>(clock->now() - backAt_) < 0;
}

bool SimRouter::answering()
{
    if (faults.noReply || faults.answersLeft == 0)
        return false;
    if (faults.answersLeft > 0)
        --faults.answersLeft;
    if (faults.unplugAfter == 0)
        return false;
    if (faults.unplugAfter > 0 && --faults.unplugAfter == 0)
        unplugged_ = true;  // this reply still went out
    return true;
}

int SimRouter::write(unsigned generation, const std::uint8_t* report)
{
    if (!pluggedIn() || generation != generation_)
        return -1;
    std::array<std::uint8_t, kReportSize> copy;
    std::copy_n(report, kReportSize, copy.begin());
    written.push_back(copy);
    const std::uint8_t* data = report + 1;
    if (mode == Mode::Update) {
        feedBootloader(data, kReportDataSize);
    } else if (data[0] == BootFrame::kSoh) {
        // The routing firmware answers any bootloader frame with the marker.
        if (answering())
            pushReport({0x03, 0xAA, 0x55, 0xAA}, faults.replyDelayReads);
    } else {
        routesRequest(data);
    }
    return static_cast<int>(kReportSize);
}

int SimRouter::read(unsigned generation, std::uint8_t* buffer, std::size_t length, int milliseconds)
{
    if (!pluggedIn() || generation != generation_)
        return -1;
    const int n = takeReady(buffer, length);
    if (n != 0 || milliseconds <= 0 || !wait)
        return n;
    // Block as a real read would: until the front report is ready, at most `milliseconds`.
    std::uint32_t span = static_cast<std::uint32_t>(milliseconds);
    if (!replies_.empty() && replies_.front().timed && clock) {
        const std::int32_t until = static_cast<std::int32_t>(replies_.front().readyAt - clock->now());
        span = std::min<std::uint32_t>(span, static_cast<std::uint32_t>(std::max(until, 0)));
    }
    wait(span);
    return takeReady(buffer, length);
}

int SimRouter::takeReady(std::uint8_t* buffer, std::size_t length)
{
    if (replies_.empty())
        return 0;
    Pending& front = replies_.front();
    if (front.timed && clock && static_cast<std::int32_t>(clock->now() - front.readyAt) < 0)
        return 0;
    if (front.delay > 0) {
        --front.delay;
        return 0;
    }
    std::size_t n = std::min(length, front.data.size());
    if (faults.reportLength > 0)
        n = std::min(n, static_cast<std::size_t>(faults.reportLength));
    std::copy_n(front.data.begin(), n, buffer);
    replies_.pop_front();
    return static_cast<int>(n);
}

void SimRouter::routesReply(std::vector<std::uint8_t> reply)
{
    const int index = routesReplies_++;
    if (index == faults.loseReply)
        return;
    if (index == faults.strayCopyOf) {
        if (clock) {
            Pending copy{wholeReport(reply), 0};
            copy.timed = true;
            copy.readyAt = clock->now() + faults.replyDelayMs + faults.strayLagMs;
            insertTimed(std::move(copy));
        } else {
            pushReport(reply, faults.replyDelayReads);
        }
    }
    pushReport(reply, faults.replyDelayReads);
}

void SimRouter::routesRequest(const std::uint8_t* data)
{
    ConfigRequest::Decoded request;
    if (!ConfigRequest::decode(data, kReportDataSize, request) || request.offset >= kImageSize)
        return;
    const std::size_t offset = request.offset;
    if (request.command == ConfigRequest::kRead) {
        if (!answering())
            return;
        const std::size_t n = std::min({bytesPerReply, ConfigRequest::kMaxReadReply, kImageSize - offset});
        std::vector<std::uint8_t> reply = ConfigRequest::readReply(image.rawBytes() + offset, n);
        if (faults.readReplyCount >= 0)
            reply[0] = static_cast<std::uint8_t>(faults.readReplyCount);
        routesReply(std::move(reply));
        if (++readsAnswered_ == faults.changeAfterReads)
            image = faults.changeTo;
    } else if (offset + ConfigRequest::kWriteBlock <= kImageSize) {
        if (!answering())
            return;
        if (static_cast<int>(offset) == faults.refuseWriteAt && faults.refusals != 0) {
            if (faults.refusals > 0)
                --faults.refusals;
            routesReply(ConfigRequest::writeAck(offset));
            return;
        }
        if (static_cast<int>(offset) == faults.dropWriteAt && faults.drops != 0) {
            if (faults.drops > 0)
                --faults.drops;
        } else {
            std::copy_n(request.block, ConfigRequest::kWriteBlock, image.rawBytes() + offset);
        }
        routesReply(ConfigRequest::writeAck(offset + ConfigRequest::kWriteBlock + faults.ackOffBy));
    }
}

void SimRouter::feedBootloader(const std::uint8_t* data, std::size_t count)
{
    // Every complete frame of the report is taken, one after the other.
    while (count > 0) {
        const std::size_t used = receiver_.feed(data, count);
        data += used;
        count -= used;
        if (!receiver_.ready())
            break;
        receiver_.clearReady();
        const std::vector<std::uint8_t> packet(receiver_.packet(), receiver_.packet() + receiver_.count() - 2);
        bootPacket(packet.data(), packet.size());
    }
}

void SimRouter::bootPacket(const std::uint8_t* packet, std::size_t length)
{
    const std::uint8_t code = packet[0];
    bootCommands.push_back(code);
    bootPackets.emplace_back(packet, packet + length);
    switch (code) {
    case 1:
        replyFrame({1, versionMajor, versionMinor});
        break;
    case 2:
        std::fill(flash.begin(), flash.end(), 0xFF);
        base_ = AddressBase{};
        replyFrame({2});
        break;
    case 3:
        program(packet + 1, length - 1);
        if (faults.loseProgramAck == static_cast<int>(programRecords.size()) - 1) {
            faults.loseProgramAck = -1;
            break;
        }
        replyFrame({3});
        break;
    case 4: {
        VerifyRange range;
        if (!decodeVerifyPayload(packet + 1, length - 1, range))
            return;
        std::uint16_t crc = 0;
        if (range.start <= flash.size() && range.length <= flash.size() - range.start)
            crc = Crc16(flash.data() + range.start, range.length);
        std::vector<std::uint8_t> reply{4, 0, 0};
        LittleEndian::put16(reply.data() + 1, crc);
        replyFrame(reply);
        break;
    }
    case 5:
        if (onJump)
            onJump();
        // The new firmware starts: the bootloader's connection goes away and the
        // router comes back under the same IDs in routes mode.
        mode = Mode::Routes;
        ++generation_;
        replies_.clear();
        if (clock && restartMilliseconds > 0) {
            away_ = true;
            backAt_ = clock->now() + restartMilliseconds;
        }
        break;
    default:
        break;
    }
}

// Each data byte goes to its physical address, where the router has flash there;
// the first 4 KiB of program flash included, which Verify never covers.
void SimRouter::program(const std::uint8_t* records, std::size_t length)
{
    std::size_t i = 0;
    programRecords.push_back(0);
    while (i + 5 <= length) {
        ++programRecords.back();
        const std::uint8_t n = records[i];
        if (i + 5 + n > length)
            break;
        const std::uint8_t* r = records + i;
        if (r[3] == 0) {
            const std::uint32_t address = (static_cast<std::uint32_t>(r[1]) << 8 | r[2]) + base_.base();
            for (std::uint32_t k = 0; k < n; ++k) {
                const std::uint64_t at = static_cast<std::uint64_t>(address) + k;
                const FlashWindow window = flashWindowOf(at);
                if (window == FlashWindow::None)
                    continue;
                flash[flashOffsetOf(at)] = r[4 + k];
                if (faults.corruptProgram && window != FlashWindow::Reserved) {
                    flash[flashOffsetOf(at)] ^= 0x01;
                    faults.corruptProgram = false;
                }
            }
        }
        base_.apply(r[3], r + 4, n);
        i += 5u + n;
    }
}

void SimRouter::replyFrame(const std::vector<std::uint8_t>& packet)
{
    if (!answering())
        return;
    std::vector<std::uint8_t> frame = BootFrame::encode(packet);
    if (faults.badCrc) {
        // One bit of the code byte changed after the CRC was taken: a CRC-16 always
        // sees a single changed byte. The new value (0x41 and up) needs no escape.
        frame[frame[1] == BootFrame::kDle ? 2 : 1] ^= 0x40;
    }
    if (faults.doubleReply) {
        const std::vector<std::uint8_t> once = frame;
        frame.insert(frame.end(), once.begin(), once.end());
    }
    // A split puts the first bytes of the frame at the very end of a report, behind
    // filler, as a router that streams replies across reports would.
    std::size_t at = 0;
    if (faults.splitReplyAt > 0) {
        const std::size_t piece = std::min<std::size_t>(static_cast<std::size_t>(faults.splitReplyAt), frame.size());
        std::vector<std::uint8_t> report(kReportDataSize - piece, 0xFF);
        report.insert(report.end(), frame.begin(), frame.begin() + piece);
        queue(std::move(report), faults.replyDelayReads);
        at = piece;
    }
    while (at < frame.size()) {
        const std::size_t piece = std::min(kReportDataSize, frame.size() - at);
        std::vector<std::uint8_t> report(frame.begin() + at, frame.begin() + at + piece);
        report.resize(kReportDataSize, 0xFF);
        queue(std::move(report), at == 0 ? faults.replyDelayReads : 0);
        at += piece;
    }
}

void putDevice(ConfigImage& image, int d, std::uint16_t vid, std::uint16_t pid, std::uint32_t serial,
               std::uint8_t ports, const std::string& name, std::uint8_t outMask, std::uint8_t inMask)
{
    DeviceEntry entry;
    entry.vendorId = vid;
    entry.productId = pid;
    entry.serialNumber = serial;
    entry.midiOutMask = outMask;
    entry.midiInMask = inMask;
    entry.portCount = ports;
    entry.deviceName = name;
    image.setDevice(d, entry);
    if (d + 1 < static_cast<int>(kDeviceSlots)) {
        std::uint8_t* next = image.deviceSlot(d + 1);
        next[DeviceField::kVendorId] = 0xFF;
        next[DeviceField::kVendorId + 1] = 0xFF;
    }
}

ConfigImage sampleConfiguration()
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 0x0582, 0x0160, 1048577, 2, "Keys", 0x01, 0x00);
    putDevice(image, 1, 0x1235, 0x0032, 31337, 3, "Synth", 0x00, 0x04);
    putDevice(image, 2, 0x0A1B, 0x00FF, 4294967295u, 1, "Drum Machine", 0x00, 0x00);
    image.toggleRoute(0, 0, 1, 0);
    image.toggleRoute(0, 1, 1, 1);
    image.toggleRoute(1, 2, 2, 0);
    image.toggleRoute(2, 0, 0, 1);
    return image;
}

ConfigImage largestConfiguration()
{
    ConfigImage image = ConfigImage::empty();
    for (int d = 0; d < static_cast<int>(kDeviceSlots); ++d)
        putDevice(image, d, 0x1000 + d, 0x2000 + d, 1000u + d, 8, "Device " + std::to_string(d + 1), 0x55, 0xAA);
    // 300 pairs with a diagonal of routes each: the route table full.
    int entries = 0;
    for (int s = 0; s < static_cast<int>(kDeviceSlots) && entries < static_cast<int>(kRouteSlots); ++s)
        for (int t = 0; t < static_cast<int>(kDeviceSlots) && entries < static_cast<int>(kRouteSlots); ++t, ++entries)
            for (int j = 0; j < kMaxPorts; ++j)
                image.toggleRoute(s, j, t, (j + s + t) % kMaxPorts);
    return image;
}

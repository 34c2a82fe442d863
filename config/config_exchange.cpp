#include "config/config_exchange.h"

#include "link/clock.h"
#include "link/device_link.h"

#include <algorithm>
#include <cstring>

ConfigExchange::ConfigExchange(DeviceLink& link, MillisecondClock& clock) : link_(link), clock_(clock) {}

void ConfigExchange::sendConfigRequest(const std::uint8_t* request, std::uint8_t length)
{
    report_[0] = 0x00;
    report_[1] = length;
    std::memcpy(report_.data() + 2, request, length);
    link_.write(report_.data());
}

void ConfigExchange::putHeader(std::uint8_t command, std::size_t offset)
{
    request_[0] = 0x01;
    request_[1] = command;
    request_[2] = static_cast<std::uint8_t>(offset);
    request_[3] = static_cast<std::uint8_t>(offset >> 8);
}

void ConfigExchange::request(std::uint8_t length)
{
    std::array<std::uint8_t, 65> dropped{};
    for (int i = 0; i < kDiscardLimit && link_.read(dropped.data(), dropped.size()) > 0; ++i) {
    }
    // After repeats, the replies to the earlier copies of the last request may
    // still be on their way; they come about as late as the answered one did.
    while (lateExpected_ > 0 && static_cast<std::int32_t>(clock_.now() - lateDeadline_) < 0) {
        const int wait = static_cast<int>(lateDeadline_ - clock_.now());
        if (wait <= 0 || link_.read(dropped.data(), dropped.size(), wait) <= 0)
            break;
        --lateExpected_;
    }
    lateExpected_ = 0;
    const std::uint32_t now = clock_.now();
    if (unanswered_ == 0)
        firstSent_ = now;
    lastSent_ = now;
    sendConfigRequest(request_.data(), length);
}

void ConfigExchange::requestAnswered()
{
    if (unanswered_ > 0) {
        const std::uint32_t latency = clock_.now() - firstSent_;
        lateExpected_ = unanswered_;
        lateDeadline_ = lastSent_ + latency + kWaitMilliseconds;
    }
    unanswered_ = 0;
}

bool ConfigExchange::isReply(Reply expected) const
{
    if (expected == Reply::Read)
        return reply_[0] != 0;
    return reply_[0] == kWriteAck;
}

bool ConfigExchange::waitForReply(Reply expected)
{
    const std::uint32_t start = clock_.now();
    // Past the count, each read waits for the rest of the time instead of spinning.
    // The extra reads are bounded too, for a link whose waits return at once.
    for (int reads = 0; reads < kWaitReads + static_cast<int>(kWaitMilliseconds); ++reads) {
        const std::uint32_t elapsed = clock_.now() - start;
        int wait = 0;
        if (reads >= kWaitReads) {
            if (elapsed >= kWaitMilliseconds)
                break;
            wait = static_cast<int>(kWaitMilliseconds - elapsed);
        }
        replyLength_ = link_.read(reply_.data(), reply_.size(), wait);
        if (replyLength_ > 0 && isReply(expected))
            return true;
    }
    ++unanswered_;
    return false;
}

bool ConfigExchange::receiveImage(std::uint8_t* image, const Progress& progress)
{
    std::size_t offset = 0;
    int failures = 0;
    unanswered_ = lateExpected_ = 0;
    while (offset < kImageSize) {
        putHeader(kReadCommand, offset);
        request(4);
        if (waitForReply(Reply::Read)) {
            requestAnswered();
            // Never more than a reply can carry, than the report held, or than the image has room for.
            const std::size_t carried = std::min<std::size_t>(
                {reply_[0], kMaxReadReply, static_cast<std::size_t>(replyLength_ - 1), kImageSize - offset});
            // A reply that brings no image byte is no reply: counting it as one
            // would reset the failures and ask for the same offset for ever.
            if (carried > 0) {
                std::memcpy(image + offset, reply_.data() + 1, carried);
                offset += carried;
                failures = 0;
                if (progress)
                    progress(offset);
            }
        }
        // Raised after a reply too: the first request may go unanswered four times,
        // any later one only three.
        if (++failures > kMaxFailures)
            return false;
    }
    return true;
}

bool ConfigExchange::sendImage(const std::uint8_t* image, const Progress& progress)
{
    std::size_t offset = 0;
    int failures = 0;
    unanswered_ = lateExpected_ = 0;
    while (offset < kImageSize) {
        putHeader(kWriteCommand, offset);
        std::memcpy(request_.data() + 4, image + offset, kWriteBlock);
        request(4 + kWriteBlock);
        if (waitForReply(Reply::WriteAck)) {
            requestAnswered();
            const std::size_t acknowledged = static_cast<std::size_t>(reply_[1] | reply_[2] << 8);
            // Only an acknowledgement of this very block moves on; any other is a
            // failure of the block, which is sent again.
            if (acknowledged == offset + kWriteBlock) {
                offset += kWriteBlock;
                failures = 0;
                if (progress)
                    progress(offset);
            }
        }
        if (++failures > kMaxFailures)
            return false;
    }
    return true;
}

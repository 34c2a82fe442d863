#include "config/config_exchange.h"

#include "config/config_request.h"
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

void ConfigExchange::discardWaiting()
{
    for (int i = 0; i < kDiscardLimit && link_.read(dropped_.data(), dropped_.size()) > 0; ++i) {
    }
}

void ConfigExchange::startTransfer()
{
    unanswered_ = 0;
    draining_ = false;
    waitMilliseconds_ = kWaitMilliseconds;
}

void ConfigExchange::request(std::uint8_t length)
{
    discardWaiting();
    // After repeats, the earlier copies of the last request may still be answered,
    // and read replies carry no offset: whatever comes within kLateReplyLimit of
    // the last copy is dropped, so that none of it can be taken for this request.
    while (draining_) {
        const std::int32_t wait = static_cast<std::int32_t>(drainUntil_ - clock_.now());
        if (wait <= 0 || link_.read(dropped_.data(), dropped_.size(), wait) <= 0)
            draining_ = false;
    }
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
        waitMilliseconds_ = std::min(kLateReplyLimit, std::max(waitMilliseconds_, 2 * latency));
        draining_ = true;
        drainUntil_ = lastSent_ + kLateReplyLimit;
    }
    unanswered_ = 0;
}

bool ConfigExchange::isReply(Reply expected) const
{
    if (expected == Reply::Read)
        return reply_[0] != 0;
    return reply_[0] == ConfigRequest::kWriteAck;
}

bool ConfigExchange::waitForReply(Reply expected)
{
    const std::uint32_t start = clock_.now();
    // Past the count, each read waits for the rest of the time instead of spinning.
    // The extra reads are bounded too, for a link whose waits return at once.
    for (int reads = 0; reads < kWaitReads + static_cast<int>(waitMilliseconds_); ++reads) {
        const std::uint32_t elapsed = clock_.now() - start;
        int wait = 0;
        if (reads >= kWaitReads) {
            if (elapsed >= waitMilliseconds_)
                break;
            wait = static_cast<int>(waitMilliseconds_ - elapsed);
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
    startTransfer();
    while (offset < kImageSize) {
        request(static_cast<std::uint8_t>(ConfigRequest::encodeHeader(request_.data(), ConfigRequest::kRead, offset)));
        if (waitForReply(Reply::Read)) {
            requestAnswered();
            // Never more than a reply can carry, than the report held, or than the image has room for.
            const std::size_t carried = std::min<std::size_t>(
                {reply_[0], ConfigRequest::kMaxReadReply, static_cast<std::size_t>(replyLength_ - 1), kImageSize - offset});
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
    startTransfer();
    while (offset < kImageSize) {
        const std::size_t header = ConfigRequest::encodeHeader(request_.data(), ConfigRequest::kWrite, offset);
        std::memcpy(request_.data() + header, image + offset, ConfigRequest::kWriteBlock);
        request(static_cast<std::uint8_t>(header + ConfigRequest::kWriteBlock));
        if (waitForReply(Reply::WriteAck)) {
            requestAnswered();
            // Only an acknowledgement of this very block moves on; any other is a
            // failure of the block, which is sent again.
            if (ConfigRequest::ackOffset(reply_.data()) == offset + ConfigRequest::kWriteBlock) {
                offset += ConfigRequest::kWriteBlock;
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

#include "config/config_exchange.h"

#include "config/config_request.h"
#include "link/clock.h"
#include "link/device_link.h"

#include <algorithm>
#include <cstring>

ConfigExchange::ConfigExchange(DeviceLink& link, MillisecondClock& clock) : link_(link), clock_(clock) {}

bool ConfigExchange::sendConfigRequest(const std::uint8_t* request, std::uint8_t length)
{
    report_[0] = 0x00;
    report_[1] = length;
    std::memcpy(report_.data() + 2, request, length);
    if (!link_.write(report_.data()))
        linkFailed_ = true;
    return !linkFailed_;
}

void ConfigExchange::lengthenQuiet(std::uint32_t lag)
{
    quiet_ = std::min(kLateReplyLimit, std::max(quiet_, 2 * lag));
}

void ConfigExchange::discardWaiting()
{
    for (int i = 0; i < kDiscardLimit; ++i) {
        const int n = link_.read(dropped_.data(), dropped_.size());
        if (n < 0)
            linkFailed_ = true;
        if (n <= 0)
            break;
        // A report nobody asked for: a late copy of an earlier reply, or the
        // answer to something else. Either way this read is in doubt.
        noteIrregular();
        lengthenQuiet(clock_.now() - lastReplyAt_);
    }
}

void ConfigExchange::startTransfer()
{
    unanswered_ = 0;
    draining_ = false;
    linkFailed_ = false;
    irregular_ = false;
    waitMilliseconds_ = kWaitMilliseconds;
}

bool ConfigExchange::request(std::uint8_t length)
{
    discardWaiting();
    // After repeats, the earlier copies of the last request may still be answered,
    // and read replies carry no offset: whatever comes within kLateReplyLimit of
    // the last copy is dropped, so that none of it can be taken for this request.
    while (draining_ && !linkFailed_) {
        const std::int32_t wait = static_cast<std::int32_t>(drainUntil_ - clock_.now());
        const int n = wait > 0 ? link_.read(dropped_.data(), dropped_.size(), wait) : 0;
        if (n < 0)
            linkFailed_ = true;
        if (n <= 0)
            draining_ = false;
        else
            noteIrregular();
    }
    if (linkFailed_)
        return false;
    const std::uint32_t now = clock_.now();
    if (unanswered_ == 0)
        firstSent_ = now;
    lastSent_ = now;
    return sendConfigRequest(request_.data(), length);
}

void ConfigExchange::requestAnswered()
{
    const std::uint32_t now = clock_.now();
    slowestReply_ = std::max(slowestReply_, now - lastSent_);
    lastReplyAt_ = now;
    if (unanswered_ > 0) {
        const std::uint32_t latency = now - firstSent_;
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
    // An acknowledgement that names this block's own offset or an earlier one
    // answers an earlier block (a late copy): it says nothing about this one.
    return reply_[0] == ConfigRequest::kWriteAck && ConfigRequest::ackOffset(reply_.data()) > sendOffset_;
}

ConfigExchange::Outcome ConfigExchange::waitForReply(Reply expected)
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
        if (replyLength_ < 0) {
            linkFailed_ = true;
            return Outcome::LinkLost;
        }
        if (replyLength_ > 0) {
            if (isReply(expected))
                return Outcome::Done;
            noteIrregular();
        }
    }
    ++unanswered_;
    noteIrregular();
    return Outcome::NoAnswer;
}

void ConfigExchange::settle(std::uint32_t since)
{
    const std::uint32_t begin = clock_.now();
    std::uint32_t lastArrival = since;
    for (int i = 0; i < kDiscardLimit; ++i) {
        const std::uint32_t now = clock_.now();
        const std::int32_t left = static_cast<std::int32_t>(lastArrival + quiet_ - now);
        if (left <= 0 || now - begin >= kLateReplyLimit)
            break;
        const int n = link_.read(dropped_.data(), dropped_.size(), left);
        if (n < 0) {
            linkFailed_ = true;
            break;
        }
        if (n > 0) {
            noteIrregular();
            lastArrival = clock_.now();
            lengthenQuiet(lastArrival - lastReplyAt_);
        }
    }
}

ConfigExchange::Outcome ConfigExchange::readPass(std::uint8_t* image, const Progress& progress)
{
    static constexpr std::uint8_t kRoutesModeMarker[4] = {0x03, 0xAA, 0x55, 0xAA};
    std::size_t offset = 0;
    std::size_t lastCarried = 0;
    int failures = 0;
    startTransfer();
    // What the last read left in flight must not open this one.
    if (careful_)
        settle(clock_.now());
    while (offset < kImageSize) {
        if (!request(static_cast<std::uint8_t>(ConfigRequest::encodeHeader(request_.data(), ConfigRequest::kRead, offset))))
            return Outcome::LinkLost;
        const Outcome waited = waitForReply(Reply::Read);
        if (waited == Outcome::LinkLost)
            return waited;
        if (waited == Outcome::Done) {
            requestAnswered();
            const std::size_t remaining = kImageSize - offset;
            const std::size_t available = static_cast<std::size_t>(replyLength_ - 1);
            // A count the router could not have sent for this request, or the
            // marker the routing firmware sends to a bootloader frame: the report
            // may answer something else.
            if (reply_[0] > ConfigRequest::kMaxReadReply || reply_[0] > available || reply_[0] > remaining
                || (replyLength_ >= 4 && std::memcmp(reply_.data(), kRoutesModeMarker, 4) == 0))
                noteIrregular();
            // Never more than a reply can carry, than the report held, or than the image has room for.
            const std::size_t carried = std::min<std::size_t>({reply_[0], ConfigRequest::kMaxReadReply, available, remaining});
            if (carried > 0 && carried < std::min(lastCarried, remaining))
                noteIrregular();  // shorter than the blocks before it
            // A reply that brings no image byte is no reply: counting it as one
            // would reset the failures and ask for the same offset for ever.
            if (carried > 0) {
                std::memcpy(image + offset, reply_.data() + 1, carried);
                offset += carried;
                lastCarried = carried;
                failures = 0;
                if (progress)
                    progress(offset);
            }
            if (careful_)
                settle(lastReplyAt_);
            if (linkFailed_)
                return Outcome::LinkLost;
        }
        // Raised after a reply too: the first request may go unanswered four times,
        // any later one only three.
        if (++failures > kMaxFailures)
            return Outcome::NoAnswer;
    }
    // A reply taken for another request leaves the one it displaced still on its
    // way: whatever arrives in a short while after the last reply means doubt.
    lengthenQuiet(slowestReply_);
    settle(lastReplyAt_);
    return linkFailed_ ? Outcome::LinkLost : Outcome::Done;
}

bool ConfigExchange::receiveImage(std::uint8_t* image, const Progress& progress)
{
    careful_ = false;
    quiet_ = kQuietMinimum;
    slowestReply_ = 0;
    lastReplyAt_ = clock_.now();
    imageReads_ = 1;
    outcome_ = readPass(image, progress);
    if (outcome_ != Outcome::Done || !irregular_)
        return outcome_ == Outcome::Done;

    // Something was off: read again, this time letting every reply's stray
    // copies arrive and be dropped before the next request.
    careful_ = true;
    lengthenQuiet(slowestReply_);
    for (std::size_t k = 0; k < rereads_.size(); ++k) {
        ++imageReads_;
        outcome_ = readPass(rereads_[k].data(), progress);
        if (outcome_ != Outcome::Done)
            return false;
        if (std::memcmp(rereads_[k].data(), image, kImageSize) == 0)
            return true;
        for (std::size_t j = 0; j < k; ++j) {
            if (rereads_[j] == rereads_[k]) {
                std::memcpy(image, rereads_[k].data(), kImageSize);
                return true;
            }
        }
    }
    outcome_ = Outcome::Unconfirmed;
    return false;
}

bool ConfigExchange::sendImage(const std::uint8_t* image, const Progress& progress)
{
    std::size_t offset = 0;
    int failures = 0;
    startTransfer();
    outcome_ = Outcome::Done;
    while (offset < kImageSize) {
        sendOffset_ = offset;
        const std::size_t header = ConfigRequest::encodeHeader(request_.data(), ConfigRequest::kWrite, offset);
        std::memcpy(request_.data() + header, image + offset, ConfigRequest::kWriteBlock);
        if (!request(static_cast<std::uint8_t>(header + ConfigRequest::kWriteBlock))) {
            outcome_ = Outcome::LinkLost;
            return false;
        }
        const Outcome waited = waitForReply(Reply::WriteAck);
        if (waited == Outcome::LinkLost) {
            outcome_ = waited;
            return false;
        }
        if (waited == Outcome::Done) {
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
        if (++failures > kMaxFailures) {
            outcome_ = Outcome::NoAnswer;
            return false;
        }
    }
    return true;
}

#include "config/config_exchange.h"

#include "config/config_request.h"
#include "link/clock.h"
#include "link/device_link.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint8_t kRoutesModeMarker[4] = {0x03, 0xAA, 0x55, 0xAA};
constexpr std::size_t kBlocks = kImageSize / ConfigRequest::kWriteBlock;
} // namespace

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

void ConfigExchange::disturbed(std::uint32_t at)
{
    lengthenQuiet(at - lastReplyAt_);
    // What was waiting before this read asked anything belongs to what came before.
    if (requested_)
        spoiled_ = true;
}

void ConfigExchange::wrongAck(std::size_t acknowledged)
{
    wrongAckSeen_ = true;
    answeredAny_ = true;
    failure_.acknowledged = acknowledged;
    failure_.block = sendOffset_;
}

void ConfigExchange::discardWaiting()
{
    for (int i = 0; i < kDiscardLimit; ++i) {
        const int n = link_.read(dropped_.data(), dropped_.size());
        if (n < 0)
            linkFailed_ = true;
        if (n <= 0)
            break;
        disturbed(clock_.now());
    }
}

// The earlier tries of the request just answered asked for the same bytes; a
// router that answers each of them late would otherwise have those answers
// taken for the next requests. They are collected as they come, so an honest
// slow router costs one of its latencies here, not a fixed pause.
void ConfigExchange::collectOwed()
{
    while (owed_ > 0 && !linkFailed_) {
        const std::int32_t left = static_cast<std::int32_t>(owedUntil_ - clock_.now());
        const int n = left > 0 ? link_.read(dropped_.data(), dropped_.size(), left) : 0;
        if (n < 0)
            linkFailed_ = true;
        if (n <= 0)
            owed_ = 0;
        else
            --owed_;
    }
}

void ConfigExchange::startTransfer()
{
    linkFailed_ = false;
    failure_ = {};
    answeredAny_ = false;
    waitMilliseconds_ = kWaitMilliseconds;
    slowestFirstTry_ = 0;
    latencyKnown_ = false;
    slowestReply_ = 0;
    quiet_ = kQuietMinimum;
    lastReplyAt_ = clock_.now();
    owed_ = 0;
}

void ConfigExchange::startPass()
{
    unanswered_ = 0;
    requested_ = false;
    spoiled_ = false;
    lastTaken_ = 0;
}

std::uint32_t ConfigExchange::tryWait() const
{
    const int doublings = std::min(unanswered_, 4);
    return std::min(kLateReplyLimit, waitMilliseconds_ << doublings);
}

bool ConfigExchange::request(std::uint8_t length)
{
    discardWaiting();
    collectOwed();
    if (linkFailed_)
        return false;
    const std::uint32_t now = clock_.now();
    if (unanswered_ == 0)
        firstSent_ = now;
    lastSent_ = now;
    requested_ = true;
    return sendConfigRequest(request_.data(), length);
}

void ConfigExchange::requestAnswered()
{
    const std::uint32_t now = clock_.now();
    answeredAny_ = true;
    slowestReply_ = std::max(slowestReply_, now - lastSent_);
    lastReplyAt_ = now;
    if (unanswered_ == 0) {
        slowestFirstTry_ = std::max(slowestFirstTry_, now - lastSent_);
        latencyKnown_ = true;
    } else {
        // The reply may answer any of the tries; the first one gives the longest
        // latency it can have, and later requests get twice that to answer.
        waitMilliseconds_ = std::min(kLateReplyLimit, std::max(waitMilliseconds_, 2 * (now - firstSent_)));
        owed_ = unanswered_;
        const std::uint32_t span = latencyKnown_ ? std::min(kLateReplyLimit, 2 * slowestFirstTry_ + kQuietMinimum)
                                                 : kLateReplyLimit;
        owedUntil_ = lastSent_ + span;
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
    const std::uint32_t waitFor = tryWait();
    // Past the count, each read waits for the rest of the time instead of spinning.
    // The extra reads are bounded too, for a link whose waits return at once.
    for (int reads = 0; reads < kWaitReads + static_cast<int>(waitFor); ++reads) {
        const std::uint32_t elapsed = clock_.now() - start;
        int wait = 0;
        if (reads >= kWaitReads) {
            if (elapsed >= waitFor)
                break;
            wait = static_cast<int>(waitFor - elapsed);
        }
        replyLength_ = link_.read(reply_.data(), reply_.size(), wait);
        if (replyLength_ < 0) {
            linkFailed_ = true;
            return Outcome::LinkLost;
        }
        if (replyLength_ > 0) {
            if (isReply(expected))
                return Outcome::Done;
            if (expected == Reply::WriteAck && reply_[0] == ConfigRequest::kWriteAck)
                wrongAck(ConfigRequest::ackOffset(reply_.data()));
            disturbed(clock_.now());
        }
    }
    ++unanswered_;
    return Outcome::NoAnswer;
}

void ConfigExchange::settle(std::uint32_t since, int enough)
{
    const std::uint32_t begin = clock_.now();
    std::uint32_t lastArrival = since;
    for (int i = 0; i < kDiscardLimit && (enough == 0 || i < enough); ++i) {
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
            lastArrival = clock_.now();
            lengthenQuiet(lastArrival - lastReplyAt_);
        }
    }
}

// Reports that keep coming unasked mean replies come twice: each reply's copy
// is then dropped before the next request; and when even that is not enough,
// the stream is let fall quiet after every reply.
ConfigExchange::Care ConfigExchange::careAfter(int spoiledReads)
{
    return spoiledReads >= 4 ? Care::Quiet : spoiledReads >= 2 ? Care::OneCopy : Care::None;
}

ConfigExchange::Outcome ConfigExchange::readPass(std::uint8_t* into, std::size_t overlap, Care care,
                                                 const std::function<void(std::size_t)>& moved)
{
    startPass();
    std::size_t offset = 0;  // bytes of the image this read holds
    int failures = 0;
    // What the last read left in flight must not open this one.
    if (care != Care::None)
        settle(clock_.now());
    // A read that met a report it did not ask for stops at once, and the stream
    // is let fall quiet, so that the next read starts in step.
    auto abandon = [&] {
        spoiled_ = true;
        lengthenQuiet(slowestReply_);
        settle(clock_.now());
        return linkFailed_ ? Outcome::LinkLost : Outcome::Done;
    };
    while (offset < kImageSize) {
        // Each request starts inside what the last reply brought, never more than
        // half of it back: a router that sends few bytes a reply still gets on.
        const std::size_t shared = std::min({overlap, offset, lastTaken_ / 2});
        const std::size_t asked = offset - shared;
        const auto length = static_cast<std::uint8_t>(ConfigRequest::encodeHeader(request_.data(), ConfigRequest::kRead, asked));
        if (!request(length))
            return Outcome::LinkLost;
        if (spoiled_)
            return abandon();
        const Outcome waited = waitForReply(Reply::Read);
        if (waited == Outcome::LinkLost)
            return waited;
        if (spoiled_)
            return abandon();
        if (waited == Outcome::Done) {
            requestAnswered();
            const std::size_t remaining = kImageSize - asked;
            const std::size_t available = static_cast<std::size_t>(replyLength_ - 1);
            // A count the router could not have sent for this request, or the
            // marker the routing firmware sends to a bootloader frame: the report
            // answers something else.
            if (reply_[0] > ConfigRequest::kMaxReadReply || reply_[0] > available || reply_[0] > remaining
                || (replyLength_ >= 4 && std::memcmp(reply_.data(), kRoutesModeMarker, 4) == 0))
                return abandon();
            const std::size_t carried = reply_[0];
            // The overlap must repeat what this read already holds: a reply
            // that answers another request shows here.
            const std::size_t compared = std::min(carried, shared);
            if (std::memcmp(reply_.data() + 1, into + asked, compared) != 0)
                return abandon();
            // A reply that brings no new byte is no reply: counting it as one
            // would reset the failures and ask for the same offset for ever.
            if (carried > shared) {
                std::memcpy(into + offset, reply_.data() + 1 + shared, carried - shared);
                offset += carried - shared;
                lastTaken_ = carried;
                failures = 0;
                moved(offset);
            }
            if (care != Care::None)
                settle(lastReplyAt_, care == Care::OneCopy ? 1 : 0);
            if (linkFailed_)
                return Outcome::LinkLost;
        }
        // Raised after a reply too: the first request may go unanswered four times,
        // any later one only three.
        if (++failures > kMaxFailures) {
            failure_.bytesMoved = offset;
            return Outcome::NoAnswer;
        }
    }
    return Outcome::Done;
}

bool ConfigExchange::receiveImage(std::uint8_t* image, const Progress& progress)
{
    startTransfer();
    imageReads_ = 0;
    usable_.fill(false);
    int spoiledReads = 0;
    for (int k = 0; k < kMaxImageReads; ++k) {
        const Phase phase = k == 0 ? Phase::Transfer : Phase::Check;
        const std::size_t total = static_cast<std::size_t>(std::max(2, k + 1)) * kImageSize;
        const std::size_t before = static_cast<std::size_t>(k) * kImageSize;
        failure_.phase = phase;
        ++imageReads_;
        // The first read asks for the image as the router hands it out; each
        // further read overlaps its replies by one byte more than the read before
        // it, so no two reads split the image alike: a stream shifted by a stray
        // reply cannot repeat itself in another read.
        outcome_ = readPass(reads_[k].data(), static_cast<std::size_t>(k), careAfter(spoiledReads), [&](std::size_t offset) {
            if (progress)
                progress({before + offset, total, phase});
        });
        if (outcome_ != Outcome::Done) {
            failure_.answeredAny = answeredAny_;
            return false;
        }
        if (spoiled_) {
            ++spoiledReads;
            continue;
        }
        usable_[k] = true;
        for (int j = 0; j < k; ++j) {
            if (usable_[j] && reads_[j] == reads_[k]) {
                std::memcpy(image, reads_[k].data(), kImageSize);
                return true;
            }
        }
    }
    outcome_ = Outcome::Unconfirmed;
    return false;
}

ConfigExchange::Outcome ConfigExchange::writeBlocks(const std::uint8_t* image, const std::array<bool, kBlocks>& blocks,
                                                    const std::function<void()>& written)
{
    startPass();
    int failures = 0;
    wrongAckSeen_ = false;
    for (std::size_t block = 0; block < kBlocks;) {
        if (!blocks[block]) {
            ++block;
            continue;
        }
        const std::size_t offset = block * ConfigRequest::kWriteBlock;
        sendOffset_ = offset;
        const std::size_t header = ConfigRequest::encodeHeader(request_.data(), ConfigRequest::kWrite, offset);
        std::memcpy(request_.data() + header, image + offset, ConfigRequest::kWriteBlock);
        if (!request(static_cast<std::uint8_t>(header + ConfigRequest::kWriteBlock)))
            return Outcome::LinkLost;
        const Outcome waited = waitForReply(Reply::WriteAck);
        if (waited == Outcome::LinkLost)
            return waited;
        if (waited == Outcome::Done) {
            requestAnswered();
            // Only an acknowledgement of this very block moves on; any other is a
            // failure of the block, which is sent again.
            const std::size_t acknowledged = ConfigRequest::ackOffset(reply_.data());
            if (acknowledged == offset + ConfigRequest::kWriteBlock) {
                ++block;
                failures = 0;
                wrongAckSeen_ = false;
                written();
            } else {
                wrongAck(acknowledged);
            }
        }
        if (++failures > kMaxFailures) {
            failure_.bytesMoved = offset;
            return wrongAckSeen_ ? Outcome::WrongAck : Outcome::NoAnswer;
        }
    }
    return Outcome::Done;
}

bool ConfigExchange::sendImage(const std::uint8_t* image, const Progress& progress)
{
    startTransfer();
    std::array<bool, kBlocks> blocks;
    blocks.fill(true);
    std::size_t total = 2 * kImageSize;
    std::size_t done = 0;
    auto fail = [&](Outcome outcome) {
        outcome_ = outcome;
        failure_.answeredAny = answeredAny_;
        return false;
    };
    for (int check = 1;; ++check) {
        failure_.phase = Phase::Transfer;
        const Outcome written = writeBlocks(image, blocks, [&] {
            done += ConfigRequest::kWriteBlock;
            if (progress)
                progress({done, total, Phase::Transfer});
        });
        if (written != Outcome::Done)
            return fail(written);

        // An acknowledgement says the router took the block, not that it kept
        // it: what it holds is read back and compared.
        failure_.phase = Phase::Check;
        const std::size_t checkStart = done;
        int reads = 0;
        do {
            const Outcome read = readPass(readBack_.data(), 1, careAfter(reads), [&](std::size_t offset) {
                if (progress)
                    progress({checkStart + offset, total, Phase::Check});
            });
            if (read != Outcome::Done)
                return fail(read);
        } while (spoiled_ && ++reads < kMaxImageReads);
        if (spoiled_)
            return fail(Outcome::Unconfirmed);
        done = checkStart + kImageSize;

        failure_.blocksNotKept.clear();
        for (std::size_t block = 0; block < kBlocks; ++block) {
            const std::size_t offset = block * ConfigRequest::kWriteBlock;
            blocks[block] = std::memcmp(readBack_.data() + offset, image + offset, ConfigRequest::kWriteBlock) != 0;
            if (blocks[block])
                failure_.blocksNotKept.push_back(offset);
        }
        if (failure_.blocksNotKept.empty()) {
            outcome_ = Outcome::Done;
            return true;
        }
        if (check == kMaxSendChecks)
            return fail(Outcome::NotKept);
        // The blocks that differ are written again, then everything is read back again.
        total += failure_.blocksNotKept.size() * ConfigRequest::kWriteBlock + kImageSize;
    }
}

#include "config/config_exchange.h"

#include "link/device_link.h"

#include <algorithm>
#include <cstring>

ConfigExchange::ConfigExchange(DeviceLink& link) : link_(link) {}

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

ConfigExchange::Reply ConfigExchange::waitForReply(Reply expected)
{
    for (int i = 0; i < kWaitReads; ++i) {
        replyLength_ = link_.read(reply_.data(), reply_.size());
        if (replyLength_ <= 0)
            continue;
        if (expected == Reply::Read && reply_[0] != 0)
            return Reply::Read;
        if (expected == Reply::WriteAck && reply_[0] == kWriteAck)
            return Reply::WriteAck;
    }
    return Reply::None;
}

bool ConfigExchange::receiveImage(std::uint8_t* image, const Progress& progress)
{
    std::size_t offset = 0;
    int failures = 0;
    while (offset < kImageSize) {
        putHeader(kReadCommand, offset);
        sendConfigRequest(request_.data(), 4);
        if (waitForReply(Reply::Read) == Reply::Read) {
            // Never more than a reply can carry, than the report held, or than the image has room for.
            const std::size_t carried = std::min<std::size_t>(
                {reply_[0], kMaxReadReply, static_cast<std::size_t>(replyLength_ - 1), kImageSize - offset});
            std::memcpy(image + offset, reply_.data() + 1, carried);
            offset += carried;
            failures = 0;
            if (progress)
                progress(offset);
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
    while (offset < kImageSize) {
        putHeader(kWriteCommand, offset);
        std::memcpy(request_.data() + 4, image + offset, kWriteBlock);
        sendConfigRequest(request_.data(), 4 + kWriteBlock);
        if (waitForReply(Reply::WriteAck) == Reply::WriteAck) {
            offset += kWriteBlock;
            const std::size_t acknowledged = static_cast<std::size_t>(reply_[1] | reply_[2] << 8);
            // A wrong offset still moves on, but costs two counts instead of one.
            if (acknowledged == offset)
                failures = 0;
            else
                ++failures;
            if (progress)
                progress(offset);
        }
        if (++failures > kMaxFailures)
            return false;
    }
    return true;
}

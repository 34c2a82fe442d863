#include "link/boot_frame.h"

#include "link/crc16.h"
#include "link/little_endian.h"

namespace BootFrame {

std::size_t encode(std::uint8_t* packet, std::size_t length, std::uint8_t* out, std::size_t capacity)
{
    const std::uint16_t crc = Crc16(packet, length);
    LittleEndian::put16(packet + length, crc);
    length += 2;
    std::size_t at = 0;
    auto put = [&](std::uint8_t byte) {
        if (at < capacity)
            out[at] = byte;
        ++at;
    };
    put(kSoh);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t byte = packet[i];
        if (byte == kSoh || byte == kEot || byte == kDle)
            put(kDle);
        put(byte);
    }
    put(kEot);
    return at <= capacity ? at : 0;
}

std::vector<std::uint8_t> encode(std::vector<std::uint8_t> packet)
{
    const std::size_t length = packet.size();
    packet.resize(length + 2);
    std::vector<std::uint8_t> frame(2 * packet.size() + 2);
    frame.resize(encode(packet.data(), length, frame.data(), frame.size()));
    return frame;
}

} // namespace BootFrame

std::size_t BootFrameReceiver::feed(const std::uint8_t* bytes, std::size_t count)
{
    std::size_t i = 0;
    for (; i < count && !ready_; ++i) {
        const std::uint8_t byte = bytes[i];
        if (count_ >= limit_)
            count_ = 0;
        if (escapePending_) {
            buffer_[count_++] = byte;
            escapePending_ = false;
        } else if (byte == BootFrame::kSoh) {
            count_ = 0;
        } else if (byte == BootFrame::kDle) {
            escapePending_ = true;
        } else if (byte == BootFrame::kEot) {
            if (count_ > 2) {
                const std::uint16_t sent = LittleEndian::get16(buffer_ + count_ - 2);
                ready_ = Crc16(buffer_, count_ - 2u) == sent;
            }
        } else {
            buffer_[count_++] = byte;
        }
    }
    return i;
}

void BootFrameReceiver::reset()
{
    count_ = 0;
    escapePending_ = false;
    ready_ = false;
}

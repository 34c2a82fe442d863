#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A bootloader packet on the wire, both ways: 0x01 (SOH), the packet - code,
// payload, then the Crc16 of both, low byte first - with every byte equal to
// 0x01, 0x04 or 0x10 preceded by 0x10 (DLE), then 0x04 (EOT).
namespace BootFrame {
constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kDle = 0x10;

// Appends the CRC behind packet[0, length) (the caller leaves two bytes of room)
// and writes the escaped frame to `out`. Returns the frame's length, or 0 when it
// would not fit `capacity` (nothing is then promised about `out`).
std::size_t encode(std::uint8_t* packet, std::size_t length, std::uint8_t* out, std::size_t capacity);
// The same for a packet held in a vector (the simulated router, tools and tests).
std::vector<std::uint8_t> encode(std::vector<std::uint8_t> packet);
} // namespace BootFrame

// Reassembles frames from the bytes of input reports into a buffer its owner
// holds. A DLE at the end of one report escapes the first byte of the next, so
// the state lives across feeds. A frame is complete at an EOT with more than two
// bytes stored whose last two are the CRC of the others; an EOT that fails the
// check changes nothing.
class BootFrameReceiver {
public:
    // `limit` bytes of `buffer` are used; reaching it starts storing at 0 again.
    BootFrameReceiver(std::uint8_t* buffer, std::uint16_t limit) : buffer_(buffer), limit_(limit) {}

    // Takes bytes until a frame is complete; returns how many it took.
    std::size_t feed(const std::uint8_t* bytes, std::size_t count);
    bool ready() const { return ready_; }
    // Lets the next feed look for another frame.
    void clearReady() { ready_ = false; }
    // Forgets everything half received, a pending DLE included.
    void reset();

    // The complete frame's packet: code, payload and the two CRC bytes.
    const std::uint8_t* packet() const { return buffer_; }
    std::uint16_t count() const { return count_; }
    std::size_t payloadLength() const { return count_ >= 3 ? count_ - 3u : 0; }

private:
    std::uint8_t* buffer_;
    std::uint16_t limit_;
    std::uint16_t count_ = 0;
    bool escapePending_ = false;
    bool ready_ = false;
};

#pragma once
#include "link/little_endian.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The routes-mode exchange on the wire, one report each way. A request is 0x01,
// the command ('r' read, 'w' write), the offset (16 bits, low byte first) and, for
// a write, the 32 image bytes from that offset; its output report carries the
// request's length in byte 1 and the request from byte 2. A read reply is a count
// n (1 to 63) and n image bytes; a write acknowledgement is 2 and the offset that
// follows the stored block.
namespace ConfigRequest {
constexpr std::uint8_t kStart = 0x01;
constexpr std::uint8_t kRead = 'r';
constexpr std::uint8_t kWrite = 'w';
constexpr std::uint8_t kWriteAck = 2;
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kWriteBlock = 32;
constexpr std::size_t kMaxReadReply = 63;

// Writes the request's header; returns kHeaderSize.
inline std::size_t encodeHeader(std::uint8_t* request, std::uint8_t command, std::size_t offset)
{
    request[0] = kStart;
    request[1] = command;
    LittleEndian::put16(request + 2, static_cast<std::uint16_t>(offset));
    return kHeaderSize;
}

struct Decoded {
    std::uint8_t command = 0;
    std::size_t offset = 0;
    const std::uint8_t* block = nullptr;  // a write's 32 bytes
};

// Reads a request from an output report's data (its byte 1 on); false when it is none.
inline bool decode(const std::uint8_t* data, std::size_t size, Decoded& decoded)
{
    if (size < 1 + kHeaderSize)
        return false;
    const std::uint8_t length = data[0];
    const std::uint8_t* request = data + 1;
    if (length < kHeaderSize || request[0] != kStart || 1u + length > size)
        return false;
    decoded.command = request[1];
    decoded.offset = LittleEndian::get16(request + 2);
    decoded.block = length >= kHeaderSize + kWriteBlock ? request + kHeaderSize : nullptr;
    return decoded.command == kRead || (decoded.command == kWrite && decoded.block);
}

inline std::vector<std::uint8_t> readReply(const std::uint8_t* bytes, std::size_t count)
{
    std::vector<std::uint8_t> reply(1 + count);
    reply[0] = static_cast<std::uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i)
        reply[1 + i] = bytes[i];
    return reply;
}

inline std::vector<std::uint8_t> writeAck(std::size_t nextOffset)
{
    std::vector<std::uint8_t> ack{kWriteAck, 0, 0};
    LittleEndian::put16(ack.data() + 1, static_cast<std::uint16_t>(nextOffset));
    return ack;
}

// The offset an acknowledgement names.
inline std::size_t ackOffset(const std::uint8_t* reply)
{
    return LittleEndian::get16(reply + 1);
}
} // namespace ConfigRequest

#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// The bootloader's commands and the payloads the transport carries for them.
enum class BootCommand : std::uint8_t { Version = 1, Erase = 2, Program = 3, Verify = 4, Jump = 5 };

// The longest record a Program packet may carry: the pairs a 995-character line holds.
constexpr std::size_t kMaxRecordBytes = 497;

// What Verify asks the router to check: an image range and the CRC it must have.
struct VerifyRange {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint16_t crc = 0;
};

// The Verify payload: start, length (32 bits each) and the CRC (16 bits), each
// least significant byte first.
constexpr std::size_t kVerifyPayloadSize = 10;

inline std::array<std::uint8_t, kVerifyPayloadSize> encodeVerifyPayload(const VerifyRange& range)
{
    std::array<std::uint8_t, kVerifyPayloadSize> bytes{};
    std::size_t at = 0;
    for (std::uint32_t value : {range.start, range.length})
        for (int b = 0; b < 4; ++b)
            bytes[at++] = static_cast<std::uint8_t>(value >> (8 * b));
    bytes[at++] = static_cast<std::uint8_t>(range.crc);
    bytes[at++] = static_cast<std::uint8_t>(range.crc >> 8);
    return bytes;
}

// False when fewer than kVerifyPayloadSize bytes are given.
inline bool decodeVerifyPayload(const std::uint8_t* bytes, std::size_t count, VerifyRange& range)
{
    if (count < kVerifyPayloadSize)
        return false;
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8
            | static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    };
    range.start = u32(0);
    range.length = u32(4);
    range.crc = static_cast<std::uint16_t>(bytes[8] | bytes[9] << 8);
    return true;
}

// Where the transport takes what comes from the firmware file: the records of the
// Program packets and the range of the Verify command.
class FirmwarePayloads {
public:
    virtual ~FirmwarePayloads() = default;
    // Back to the first record; false when no file is held.
    virtual bool Rewind() = 0;
    // Writes the next record (at most `capacity` bytes) to `dest`; 0 once the records have ended.
    virtual std::uint16_t nextRecord(std::uint8_t* dest, std::size_t capacity) = 0;
    // The image range and its CRC, built afresh from the file; false when no file is held.
    virtual bool verifyRange(VerifyRange& range) = 0;
};

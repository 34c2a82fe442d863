#pragma once
#include "firmware/firmware_check.h"

#include <array>
#include <cstdint>

// The Verify command's payload: start, length (both 32 bits) and the CRC (16
// bits) of the image range, each least significant byte first.
constexpr std::size_t kVerifyPayloadSize = 10;

inline std::array<std::uint8_t, kVerifyPayloadSize> verifyPayload(const ImageRange& range)
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

#pragma once
#include <cstddef>
#include <cstdint>

// CRC-16/XMODEM bit by bit, straight from the polynomial: an oracle apart from
// the nibble table the program uses.
inline std::uint16_t referenceCrc(const std::uint8_t* bytes, std::size_t count)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

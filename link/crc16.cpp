#include "link/crc16.h"

namespace {
// Entry k is the carry-less product of k and 0x1021; the register is advanced
// a nibble at a time so the table stays small enough for the router's own code.
constexpr std::uint16_t kNibbleTable[16] = {
    0x0000, 0x1021, 0x2042, 0x3063, 0x4084, 0x50A5, 0x60C6, 0x70E7,
    0x8108, 0x9129, 0xA14A, 0xB16B, 0xC18C, 0xD1AD, 0xE1CE, 0xF1EF,
};

std::uint16_t step(std::uint16_t crc, unsigned nibble)
{
    return static_cast<std::uint16_t>(kNibbleTable[((crc >> 12) ^ nibble) & 0x0F] ^ (crc << 4));
}
} // namespace

std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc = step(crc, bytes[i] >> 4);
        crc = step(crc, bytes[i] & 0x0F);
    }
    return crc;
}

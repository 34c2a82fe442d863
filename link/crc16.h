#pragma once
#include <cstddef>
#include <cstdint>

// CRC-16/XMODEM (poly 0x1021, init 0, no reflection, no final XOR), the check
// the bootloader puts on every packet and the one it computes over its flash.
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count);

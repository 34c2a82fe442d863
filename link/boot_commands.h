#pragma once
#include "link/little_endian.h"

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
    LittleEndian::put32(bytes.data(), range.start);
    LittleEndian::put32(bytes.data() + 4, range.length);
    LittleEndian::put16(bytes.data() + 8, range.crc);
    return bytes;
}

// False when fewer than kVerifyPayloadSize bytes are given.
inline bool decodeVerifyPayload(const std::uint8_t* bytes, std::size_t count, VerifyRange& range)
{
    if (count < kVerifyPayloadSize)
        return false;
    range.start = LittleEndian::get32(bytes);
    range.length = LittleEndian::get32(bytes + 4);
    range.crc = LittleEndian::get16(bytes + 8);
    return true;
}

// The base in force for the addresses of data records, as set by the last
// extended address record: a type 04 (linear) or 02 (segment) record sets it,
// and any other record but data resets it to 0.
struct AddressBase {
    std::uint32_t linear = 0;
    std::uint32_t segment = 0;
    std::uint8_t type = 4;          // the record that restores it: 04 or 02
    std::uint8_t value[2] = {0, 0};  // its two data bytes

    std::uint32_t base() const { return linear + segment; }
    // Applies one record's type and data bytes (`count` of them), as the router does.
    void apply(std::uint8_t recordType, const std::uint8_t* data, std::size_t count)
    {
        if (recordType == 0)
            return;
        *this = AddressBase{};
        if ((recordType == 2 || recordType == 4) && count >= 2) {
            type = recordType;
            value[0] = data[0];
            value[1] = data[1];
            if (recordType == 2)
                segment = 16u * (data[0] * 256u + data[1]);
            else
                linear = static_cast<std::uint32_t>(data[0]) << 24 | static_cast<std::uint32_t>(data[1]) << 16;
        }
    }
};

// A record in binary form that sets `base` again: what a repeated Program packet
// carries first, so that it lands where its first sending did.
constexpr std::size_t kAddressRecordSize = 7;
inline std::array<std::uint8_t, kAddressRecordSize> addressRecord(const AddressBase& base)
{
    std::array<std::uint8_t, kAddressRecordSize> record = {2, 0, 0, base.type, base.value[0], base.value[1], 0};
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < record.size(); ++i)
        sum = static_cast<std::uint8_t>(sum + record[i]);
    record[6] = static_cast<std::uint8_t>(-sum);
    return record;
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

#include "firmware/hex_manager.h"

#include "link/crc16.h"

#include <algorithm>
#include <cstring>

namespace {
// At most 19 characters with the line break: the signature and one more before it.
constexpr int kSignatureLineLimit = 20;
constexpr std::size_t kSignatureLength = sizeof(kFirmwareSignature) - 1;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

CHexManager::CHexManager() : flash_(kFlashImageSize, 0xFF) {}

// Reads like fgets on a text stream: at most limit-1 characters, through the line
// feed. A CR right before the LF is dropped without counting, so CR LF and LF files
// cut long lines at the same place.
bool CHexManager::readLine(int limit)
{
    lineLength_ = 0;
    if (!held_ || limit < 2)
        return false;
    const std::size_t max = std::min<std::size_t>(static_cast<std::size_t>(limit - 1), line_.size());
    while (lineLength_ < max) {
        int c = file_.get();
        if (c == std::char_traits<char>::eof())
            break;
        if (c == '\r' && file_.peek() == '\n')
            c = file_.get();
        line_[lineLength_++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return lineLength_ > 0;
}

bool CHexManager::OpenHexFile(const std::filesystem::path& path)
{
    fileName_ = path;
    if (file_.is_open())
        file_.close();
    file_.clear();
    held_ = false;
    file_.open(path, std::ios::binary);
    if (!file_.is_open())
        return false;
    held_ = true;
    recordsEnded_ = false;
    if (!readLine(kSignatureLineLimit) || lineLength_ < kSignatureLength)
        return false;
    return std::memcmp(line_.data(), kFirmwareSignature, kSignatureLength) == 0;
}

bool CHexManager::Rewind()
{
    if (!held_)
        return false;
    file_.clear();
    file_.seekg(0);
    recordsEnded_ = false;
    readLine(kSignatureLineLimit);
    return true;
}

std::uint16_t CHexManager::ReadRecord(std::uint8_t* dest, std::size_t capacity, int lineLimit)
{
    // A line cut at the limit is no whole record, and its rest would not begin with
    // ':' anyway: the records end at such a line.
    const auto cut = [&] {
        return lineLength_ == static_cast<std::size_t>(lineLimit - 1) && line_[lineLength_ - 1] != '\n'
            && file_.peek() != std::char_traits<char>::eof();
    };
    if (recordsEnded_ || !readLine(lineLimit) || line_[0] != ':' || cut()) {
        recordsEnded_ = true;
        return 0;
    }
    // Only whole pairs of hexadecimal digits give bytes; anything else on the line
    // is passed over, and nothing past the line is ever read.
    std::size_t written = 0;
    for (std::size_t i = 1; i + 1 < lineLength_ && written < capacity; i += 2) {
        const char hi = line_[i];
        const char lo = line_[i + 1];
        if (hi == '\n' || lo == '\n')
            break;
        const int h = hexValue(hi);
        const int l = hexValue(lo);
        if (h >= 0 && l >= 0)
            dest[written++] = static_cast<std::uint8_t>(h * 16 + l);
    }
    if (written == 0)
        recordsEnded_ = true;
    return static_cast<std::uint16_t>(written);
}

bool CHexManager::BuildImage(ImageRange& range)
{
    range = ImageRange{};
    if (!Rewind())
        return false;
    std::fill(flash_.begin(), flash_.end(), 0xFF);

    std::uint32_t segmentBase = 0;
    std::uint32_t linearBase = 0;
    std::uint32_t low = 0xFFFFFFFF;
    std::uint32_t high = 0;
    std::array<std::uint8_t, kMaxRecordBytes> record{};

    while (const std::uint16_t size = ReadRecord(record.data(), record.size(), kImageLineLimit)) {
        auto dataByte = [&](std::size_t i) -> std::uint32_t { return 4 + i < size ? record[4 + i] : 0; };
        const std::uint8_t type = size > 3 ? record[3] : 0xFF;
        if (type == 0) {
            const std::uint32_t count = record[0];
            // A short line carries fewer data bytes than its count; its last byte is the checksum.
            const std::uint32_t present = size > 5 ? std::min<std::uint32_t>(count, size - 5u) : 0;
            const std::uint32_t address = (static_cast<std::uint32_t>(record[1]) << 8 | record[2]) + linearBase + segmentBase;
            const std::uint32_t offset = address >= kBootFlashBase
                ? address - kBootFlashBase + kBootFlashImageOffset
                : address - kProgramFlashBase;  // wraps for addresses below the program flash
            if (offset < kFirstImageOffset
                || static_cast<std::uint64_t>(offset) + count > kFlashImageSize)
                continue;
            high = std::max(high, offset + count);
            low = std::min(low, offset);
            std::copy_n(record.data() + 4, present, flash_.data() + offset);
        } else if (type == 2) {
            segmentBase = 16 * (dataByte(0) * 256 + dataByte(1));
            linearBase = 0;
        } else if (type == 4) {
            linearBase = dataByte(0) << 24 | dataByte(1) << 16;
            segmentBase = 0;
        } else {
            segmentBase = 0;
            linearBase = 0;
        }
    }

    if (low == 0xFFFFFFFF)
        return true;  // nothing lands in the image: an empty range with the CRC of no bytes
    range.start = low & ~3u;
    const std::uint32_t end = (high + 3) & ~3u;
    range.length = end - range.start;
    range.crc = Crc16(flash_.data() + range.start, range.length);
    return true;
}

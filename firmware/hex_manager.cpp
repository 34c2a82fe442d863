#include "firmware/hex_manager.h"

#include "link/crc16.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

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

CHexManager::CHexManager() = default;

const std::uint8_t* CHexManager::flashImage() const
{
    static const std::vector<std::uint8_t> erased(kFlashImageSize, 0xFF);
    return flash_.empty() ? erased.data() : flash_.data();
}

// Reads like fgets on a text stream: at most limit-1 characters, through the line
// feed. A CR right before the LF is dropped without counting, so CR LF and LF files
// cut long lines at the same place.
bool CHexManager::readLine(int limit)
{
    lineLength_ = 0;
    if (!held_ || limit < 2)
        return false;
    std::istream& in = *file_;
    const std::size_t max = std::min<std::size_t>(static_cast<std::size_t>(limit - 1), line_.size());
    while (lineLength_ < max) {
        int c = in.get();
        if (c == std::char_traits<char>::eof())
            break;
        if (c == '\r' && in.peek() == '\n')
            c = in.get();
        line_[lineLength_++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return lineLength_ > 0;
}

// True when the line just read stopped at the limit with more of it still to come.
bool CHexManager::lineWasCut(int limit)
{
    return lineLength_ == static_cast<std::size_t>(limit - 1) && line_[lineLength_ - 1] != '\n'
        && file_->peek() != std::char_traits<char>::eof();
}

bool CHexManager::open(std::unique_ptr<std::istream> stream)
{
    file_ = std::move(stream);
    held_ = true;
    rangeKnown_ = false;
    recordsEnded_ = false;
    if (!readLine(kSignatureLineLimit) || lineLength_ < kSignatureLength)
        return false;
    return std::memcmp(line_.data(), kFirmwareSignature, kSignatureLength) == 0;
}

bool CHexManager::OpenHexFile(const std::filesystem::path& path)
{
    fileName_ = path;
    file_.reset();
    held_ = false;
    // Read whole, once: what the check accepts is then exactly what the Program
    // packets carry and Verify covers, even if the file changes on disk meanwhile.
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return false;
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    return open(std::make_unique<std::istringstream>(std::move(contents), std::ios::binary));
}

bool CHexManager::OpenHexData(std::string contents, const std::filesystem::path& name)
{
    fileName_ = name;
    file_.reset();
    held_ = false;
    return open(std::make_unique<std::istringstream>(std::move(contents), std::ios::binary));
}

bool CHexManager::Rewind()
{
    if (!held_)
        return false;
    file_->clear();
    file_->seekg(0);
    recordsEnded_ = false;
    readLine(kSignatureLineLimit);
    return true;
}

std::uint16_t CHexManager::ReadRecord(std::uint8_t* dest, std::size_t capacity, int lineLimit)
{
    // A line cut at the limit is no whole record, and its rest would not begin with
    // ':' anyway: the records end at such a line.
    if (recordsEnded_ || !readLine(lineLimit) || line_[0] != ':' || lineWasCut(lineLimit)) {
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
    flash_.assign(kFlashImageSize, 0xFF);

    std::uint32_t segmentBase = 0;
    std::uint32_t linearBase = 0;
    std::uint32_t low = 0xFFFFFFFF;
    std::uint32_t high = 0;
    std::array<std::uint8_t, kMaxRecordBytes> record{};

    while (const std::uint16_t size = ReadRecord(record.data(), record.size())) {
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
                || static_cast<std::uint64_t>(offset) + count > kFlashImageSize) {
                range.outsideBytes += present;
                continue;
            }
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
        return true;  // nothing lands in the image: an empty range, which never verifies
    range.start = low & ~3u;
    const std::uint32_t end = (high + 3) & ~3u;
    range.length = end - range.start;
    range.crc = Crc16(flash_.data() + range.start, range.length);
    return true;
}

bool CHexManager::verifyRange(VerifyRange& range)
{
    if (!rangeKnown_) {
        if (!BuildImage(range_))
            return false;
        rangeKnown_ = true;
    }
    range = range_;
    return true;
}

namespace {
// What is wrong with one record line (the characters after ':', line break
// excluded). A sound record's bytes go to `record`.
FirmwareProblem recordProblem(const char* digits, std::size_t count, std::uint8_t* record)
{
    for (std::size_t i = 0; i < count; ++i)
        if (hexValue(digits[i]) < 0)
            return FirmwareProblem::NotHex;
    if (count % 2 != 0)
        return FirmwareProblem::OddDigits;
    const std::size_t bytes = count / 2;
    for (std::size_t i = 0; i < bytes && i < kMaxRecordBytes; ++i)
        record[i] = static_cast<std::uint8_t>(hexValue(digits[2 * i]) * 16 + hexValue(digits[2 * i + 1]));
    if (bytes < 5 || bytes > kMaxRecordBytes || bytes != record[0] + 5u)
        return FirmwareProblem::ByteCount;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        sum = static_cast<std::uint8_t>(sum + record[i]);
    if (sum != 0)
        return FirmwareProblem::Checksum;
    // The router reads address records by position: a short one would take its
    // checksum for part of the address.
    switch (record[3]) {
    case 0:
        return FirmwareProblem::None;
    case 1:
        return record[0] == 0 ? FirmwareProblem::None : FirmwareProblem::RecordLength;
    case 2:
    case 4:
        return record[0] == 2 ? FirmwareProblem::None : FirmwareProblem::RecordLength;
    case 3:
    case 5:
        return record[0] == 4 ? FirmwareProblem::None : FirmwareProblem::RecordLength;
    default:
        return FirmwareProblem::UnknownType;
    }
}
} // namespace

// Lays one data record out as the router programs it, byte by byte at its
// physical address, and says why it cannot be verified, if it cannot.
FirmwareProblem CHexManager::placeData(const std::uint8_t* record, const AddressBase& base)
{
    const std::uint32_t count = record[0];
    if (count == 0)
        return FirmwareProblem::None;
    // The 16-bit address plus the base, as the router adds them (32 bits).
    const std::uint32_t address = (static_cast<std::uint32_t>(record[1]) << 8 | record[2]) + base.base();
    const FlashWindow window = flashWindowOf(address);
    if (flashWindowOf(static_cast<std::uint64_t>(address) + count - 1) != window)
        return FirmwareProblem::Straddles;
    if (window == FlashWindow::None) {
        // The image build maps addresses just past the program flash onto the
        // boot flash: the router has nothing there to verify.
        const std::uint32_t offset = address >= kBootFlashBase ? address - kBootFlashBase + kBootFlashImageOffset
                                                               : address - kProgramFlashBase;
        const bool mapped = offset >= kFirstImageOffset && static_cast<std::uint64_t>(offset) + count <= kFlashImageSize;
        return mapped ? FirmwareProblem::OutsideFlash : FirmwareProblem::None;
    }
    const std::uint32_t offset = flashOffsetOf(address);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t value = record[4 + i];
        if (programmed_[offset + i] && flash_[offset + i] != value)
            return FirmwareProblem::Overlap;
        programmed_[offset + i] = true;
        flash_[offset + i] = value;
    }
    return FirmwareProblem::None;
}

FirmwareCheck CHexManager::Check()
{
    FirmwareCheck result;
    auto fail = [&](FirmwareProblem problem, int line) {
        result.problem = problem;
        result.line = line;
        return result;
    };
    if (!Rewind())
        return fail(FirmwareProblem::NoData, 0);
    // With 19 characters or more the signature line's rest would be read as a line
    // of its own, which ends the records before the first one.
    if (lineLength_ > 0 && line_[lineLength_ - 1] != '\n' && file_->peek() != std::char_traits<char>::eof()) {
        const bool crOnly = std::find(line_.begin(), line_.begin() + lineLength_, '\r') != line_.begin() + lineLength_;
        return fail(crOnly ? FirmwareProblem::CrOnlyLineEnds : FirmwareProblem::SignatureLineTooLong, 1);
    }

    programmed_.assign(kFlashImageSize, false);
    flash_.assign(kFlashImageSize, 0xFF);
    AddressBase base;
    std::array<std::uint8_t, kMaxRecordBytes> record{};
    int line = 1;
    int firstNonRecord = 0;
    bool sawEnd = false;
    while (readLine(kProgramLineLimit)) {
        ++line;
        const bool isRecord = line_[0] == ':';
        if (isRecord && firstNonRecord != 0)
            return fail(FirmwareProblem::NotARecord, firstNonRecord);
        if (lineWasCut(kProgramLineLimit)) {
            if (isRecord)
                return fail(FirmwareProblem::LineTooLong, line);
            // Passed over whole, so the line count stays that of the file.
            while (line_[lineLength_ - 1] != '\n' && readLine(kProgramLineLimit)) {
            }
        }
        if (!isRecord) {
            if (firstNonRecord == 0)
                firstNonRecord = line;
            continue;
        }
        const std::size_t digits = lineLength_ - 1 - (line_[lineLength_ - 1] == '\n' ? 1 : 0);
        FirmwareProblem problem = recordProblem(line_.data() + 1, digits, record.data());
        if (problem == FirmwareProblem::None && record[3] == 0)
            problem = placeData(record.data(), base);
        if (problem != FirmwareProblem::None)
            return fail(problem, line);
        base.apply(record[3], record.data() + 4, record[0]);
        sawEnd = sawEnd || record[3] == 1;
        ++result.records;
    }
    if (!sawEnd)
        return fail(FirmwareProblem::NoEndRecord, 0);
    BuildImage(result.range);
    // The held contents never change: Verify carries this range, built once.
    range_ = result.range;
    rangeKnown_ = true;
    if (result.range.length == 0)
        return fail(FirmwareProblem::NoData, 0);
    return result;
}

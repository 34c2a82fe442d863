#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

constexpr std::uint32_t kFlashImageSize = 0x20C00;     // program flash + boot flash
constexpr std::uint32_t kProgramFlashBase = 0x1D000000;
constexpr std::uint32_t kBootFlashBase = 0x1FC00000;
constexpr std::uint32_t kBootFlashImageOffset = 0x20000;
constexpr std::uint32_t kFirstImageOffset = 0x1000;    // the router's own first 4 KiB are never built
constexpr int kProgramLineLimit = 995;                 // limits count the line break, as in fgets
constexpr int kImageLineLimit = 255;
constexpr std::size_t kMaxRecordBytes = 497;           // most pairs a 995-character line can hold
inline constexpr char kFirmwareSignature[] = "QORV-Marbeno Soft";

struct ImageRange {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint16_t crc = 0;
};

// Owns the chosen firmware file: a signature line followed by Intel HEX records.
class CHexManager {
public:
    CHexManager();

    // Opens the file and checks its signature line. A file that opens stays held even
    // when its signature is wrong (it is replaced at the next choice).
    bool OpenHexFile(const std::filesystem::path& path);
    bool holdsFile() const { return held_; }
    const std::filesystem::path& fileName() const { return fileName_; }

    // Back to the first record. False when no file is held.
    bool Rewind();
    // Reads the next line and writes the record's bytes (at most `capacity`) to `dest`.
    // Returns the number written; 0 once the records have ended, until the next Rewind.
    std::uint16_t ReadRecord(std::uint8_t* dest, std::size_t capacity, int lineLimit);
    // Builds the flash picture from every record and returns its range. False when no file is held.
    bool BuildImage(ImageRange& range);

    const std::uint8_t* flashImage() const { return flash_.data(); }

private:
    bool readLine(int limit);

    std::filesystem::path fileName_;
    std::ifstream file_;
    bool held_ = false;
    bool recordsEnded_ = false;
    std::array<char, 1000> line_{};
    std::size_t lineLength_ = 0;
    std::vector<std::uint8_t> flash_;  // kFlashImageSize bytes, allocated once
};

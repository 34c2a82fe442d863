#pragma once
#include "firmware/firmware_check.h"
#include "firmware/flash_map.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <vector>

// Limits count the line break, as in fgets. The image build reads with the same
// limit as the Program packets, so both see the same records.
constexpr int kProgramLineLimit = 995;
inline constexpr char kFirmwareSignature[] = "QORV-Marbeno Soft";

// Owns the chosen firmware file: a signature line followed by Intel HEX records.
class CHexManager final : public FirmwarePayloads {
public:
    CHexManager();

    // Reads the file into memory, once, and checks its signature line. A file that
    // opens stays held even when its signature is wrong (it is replaced at the next choice).
    bool OpenHexFile(const std::filesystem::path& path);
    // The same, for a file already in memory (the fuzzers and tools use it).
    bool OpenHexData(std::string contents, const std::filesystem::path& name = {});
    bool holdsFile() const { return held_; }
    const std::filesystem::path& fileName() const { return fileName_; }

    // Back to the first record. False when no file is held.
    bool Rewind() override;
    // Reads the next line and writes the record's bytes (at most `capacity`) to `dest`.
    // Returns the number written; 0 once the records have ended, until the next Rewind.
    std::uint16_t ReadRecord(std::uint8_t* dest, std::size_t capacity, int lineLimit = kProgramLineLimit);
    // Builds the flash picture from every record and returns its range. False when no file is held.
    bool BuildImage(ImageRange& range);
    // Reads the whole held file as an update would and reports the first reason it
    // could not be programmed and verified whole. Leaves the read position at the end.
    FirmwareCheck Check();

    // FirmwarePayloads
    std::uint16_t nextRecord(std::uint8_t* dest, std::size_t capacity) override { return ReadRecord(dest, capacity); }
    // The range of the held contents, built at their first need (their Check
    // builds it) and kept while they are held.
    bool verifyRange(VerifyRange& range) override;

    // kFlashImageSize bytes: the last image built, all 0xFF before the first.
    const std::uint8_t* flashImage() const;

private:
    bool open(std::unique_ptr<std::istream> stream);
    bool readLine(int limit);
    bool lineWasCut(int limit);
    FirmwareProblem placeData(const std::uint8_t* record, const AddressBase& base);

    std::filesystem::path fileName_;
    std::unique_ptr<std::istream> file_;
    bool held_ = false;
    bool recordsEnded_ = false;
    std::array<char, 1000> line_{};
    std::size_t lineLength_ = 0;
    ImageRange range_;
    bool rangeKnown_ = false;
    // kFlashImageSize bytes each, allocated the first time a file is checked or
    // built: most runs never update, and start-up need not fill them.
    std::vector<std::uint8_t> flash_;
    // Which bytes of the flash the records program, for Check.
    std::vector<bool> programmed_;
};

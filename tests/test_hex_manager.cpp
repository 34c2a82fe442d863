#include "firmware/hex_manager.h"
#include "hex_helpers.h"
#include "reference_crc.h"

#include <gtest/gtest.h>

#include <array>

namespace {
class HexManagerTest : public ::testing::Test {
protected:
    ImageRange build(const std::vector<std::string>& lines, const std::string& eol = "\r\n")
    {
        const QString path = writeFirmware(dir, QStringLiteral("fw.hex"), lines, eol);
        EXPECT_TRUE(hex.OpenHexFile(fsPath(path)));
        ImageRange range;
        EXPECT_TRUE(hex.BuildImage(range));
        return range;
    }
    std::vector<std::vector<std::uint8_t>> records(int limit = kProgramLineLimit)
    {
        std::vector<std::vector<std::uint8_t>> result;
        EXPECT_TRUE(hex.Rewind());
        std::array<std::uint8_t, kMaxRecordBytes> buffer{};
        while (const std::uint16_t n = hex.ReadRecord(buffer.data(), buffer.size(), limit))
            result.emplace_back(buffer.begin(), buffer.begin() + n);
        return result;
    }

    QTemporaryDir dir;
    CHexManager hex;
};
} // namespace

TEST_F(HexManagerTest, SignatureLine)
{
    struct Case {
        const char* name;
        std::string signature;
        std::string eol;
        bool accepted;
        std::size_t records;
    };
    const std::array<Case, 7> cases = {{
        {"CR LF", "QORV-Marbeno Soft", "\r\n", true, 1},
        {"LF", "QORV-Marbeno Soft", "\n", true, 1},
        {"one more character", "QORV-Marbeno Soft!", "\n", true, 1},
        {"case differs", "QORV-MARBENO Soft", "\n", false, 0},
        {"sixteen characters", "QORV-Marbeno Sof", "\n", false, 0},
        // The 20th character starts the next line, which is not a record.
        {"three more characters", "QORV-Marbeno Soft v2", "\n", true, 0},
        {"empty file", "", "", false, 0},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> lines = c.eol.empty() ? std::vector<std::string>{}
                                                             : std::vector<std::string>{hexRecord(0, 0x1000, {1, 2})};
        const QString path = writeFirmware(dir, QString::fromLatin1(c.name), lines, c.eol, c.signature);
        EXPECT_EQ(hex.OpenHexFile(fsPath(path)), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(records().size(), c.records);
        }
    }
}

TEST_F(HexManagerTest, EmptyFileIsRefusedRightAfterAValidOne)
{
    ASSERT_TRUE(hex.OpenHexFile(fsPath(writeFirmware(dir, QStringLiteral("good.hex"), {hexRecord(1, 0, {})}))));
    QFile empty(dir.filePath(QStringLiteral("empty.hex")));
    empty.open(QIODevice::WriteOnly);
    empty.close();
    EXPECT_FALSE(hex.OpenHexFile(fsPath(empty.fileName())));
    EXPECT_FALSE(hex.OpenHexFile(fsPath(dir.filePath(QStringLiteral("absent.hex")))));
    EXPECT_FALSE(hex.holdsFile());
    EXPECT_FALSE(hex.Rewind());
}

TEST_F(HexManagerTest, ImageRanges)
{
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::uint32_t start;
        std::uint32_t length;
    };
    const std::vector<Case> cases = {
        {"both windows", {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(16)), linearRecord(0x1FC0),
                          hexRecord(0, 0x0BF0, ramp(16))}, 0x1000, 0x1FC00},
        {"three bytes", {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(3))}, 0x1000, 4},
        {"two bytes at 0x1006", {linearRecord(0x1D00), hexRecord(0, 0x1006, ramp(2))}, 0x1004, 4},
        {"first 4 KiB skipped", {linearRecord(0x1D00), hexRecord(0, 0x0800, ramp(16)), hexRecord(0, 0x2000, ramp(4))},
         0x2000, 4},
        {"linear 1FC0 + 0x0100", {linearRecord(0x1FC0), hexRecord(0, 0x0100, ramp(4))}, 0x20100, 4},
        {"segment 1234 lands below the program flash", {hexRecord(2, 0, {0x12, 0x34}), hexRecord(0, 0x2000, ramp(4))}, 0, 0},
        {"type 5 clears the base", {linearRecord(0x1D00), hexRecord(5, 0, {0, 0, 0, 0}), hexRecord(0, 0x2000, ramp(4))},
         0, 0},
        {"past the boot window", {linearRecord(0x1FC0), hexRecord(0, 0x0BF8, ramp(16))}, 0, 0},
        {"no data at all", {hexRecord(1, 0, {})}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ImageRange range = build(c.lines);
        EXPECT_EQ(range.start, c.start);
        EXPECT_EQ(range.length, c.length);
        EXPECT_EQ(range.crc, referenceCrc(hex.flashImage() + range.start, range.length));
    }
}

TEST_F(HexManagerTest, DataLandsWhereTheAddressWindowsSay)
{
    build({linearRecord(0x1D00), hexRecord(0, 0x2000, {0xAA, 0xBB}), linearRecord(0x1FC0),
           hexRecord(0, 0x0100, {0xCC})});
    EXPECT_EQ(hex.flashImage()[0x2000], 0xAA);
    EXPECT_EQ(hex.flashImage()[0x2001], 0xBB);
    EXPECT_EQ(hex.flashImage()[0x20100], 0xCC);
    EXPECT_EQ(hex.flashImage()[0x2002], 0xFF);
}

TEST_F(HexManagerTest, LineEndingsDoNotMatter)
{
    std::vector<std::string> lines = {linearRecord(0x1D00)};
    for (int i = 0; i < 40; ++i)
        lines.push_back(hexRecord(0, static_cast<std::uint16_t>(0x1000 + 16 * i), ramp(16, static_cast<std::uint8_t>(i))));
    lines.push_back(hexRecord(1, 0, {}));
    const ImageRange crlf = build(lines, "\r\n");
    const auto crlfRecords = records();
    const ImageRange lf = build(lines, "\n");
    EXPECT_EQ(crlf.crc, lf.crc);
    EXPECT_EQ(crlf.length, lf.length);
    EXPECT_EQ(crlfRecords, records());
    EXPECT_EQ(crlfRecords.size(), lines.size()) << "a final line break repeats no record";
}

TEST_F(HexManagerTest, BlankLineEndsTheRecordsForEveryReader)
{
    build({linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(4)), "", hexRecord(0, 0x3000, ramp(4))});
    EXPECT_EQ(records().size(), 2u);
    ImageRange range;
    hex.BuildImage(range);
    EXPECT_EQ(range.length, 4u);
}

TEST_F(HexManagerTest, RecordsAreUsedAsTheyStand)
{
    std::string badChecksum = hexRecord(0, 0x1000, {1, 2, 3, 4});
    badChecksum.back() = badChecksum.back() == '0' ? '1' : '0';
    build({linearRecord(0x1D00), badChecksum});
    EXPECT_EQ(hex.flashImage()[0x1003], 4);
    const auto got = records();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].size(), 9u);
}

TEST_F(HexManagerTest, MalformedLinesGiveOnlyTheirWellFormedPairs)
{
    struct Case {
        const char* name;
        std::string line;
        std::vector<std::uint8_t> bytes;
    };
    const std::array<Case, 4> cases = {{
        {"odd digit count", ":0102030", {0x01, 0x02, 0x03}},
        {"stray characters", ":01zz02", {0x01, 0x02}},
        {"lower case", ":0aff", {0x0A, 0xFF}},
        {"count larger than the data", ":10100000AABB", {0x10, 0x10, 0x00, 0x00, 0xAA, 0xBB}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFirmware(dir, QStringLiteral("m.hex"), {c.line});
        ASSERT_TRUE(hex.OpenHexFile(fsPath(dir.filePath(QStringLiteral("m.hex")))));
        const auto got = records();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], c.bytes);
    }
    // A data record that claims more bytes than its line holds copies only what is there.
    ImageRange range = build({linearRecord(0x1D00), ":10100000AABBCC"});
    EXPECT_EQ(hex.flashImage()[0x1000], 0xAA);
    EXPECT_EQ(hex.flashImage()[0x1001], 0xBB);
    EXPECT_EQ(hex.flashImage()[0x1002], 0xFF);
    EXPECT_EQ(range.length, 16u);
}

// Records longer than 121 data bytes are legal and common; the image build must
// read them exactly as the Program packets do, or Verify covers only part of what is sent.
TEST_F(HexManagerTest, LongRecordsReachTheImageAsTheyReachThePackets)
{
    for (std::size_t size : {122u, 128u, 255u}) {
        SCOPED_TRACE(size);
        const std::vector<std::string> lines = {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(4)),
                                                hexRecord(0, 0x2000, ramp(size, 7)), hexRecord(0, 0x3000, ramp(4, 9)),
                                                hexRecord(1, 0, {})};
        const ImageRange range = build(lines);
        EXPECT_EQ(range.start, 0x1000u);
        EXPECT_EQ(range.length, 0x3004u - 0x1000u);
        EXPECT_EQ(hex.flashImage()[0x2000 + size - 1], static_cast<std::uint8_t>(7 + size - 1));
        EXPECT_EQ(hex.flashImage()[0x3003], 12);
        EXPECT_EQ(records().size(), lines.size());
        EXPECT_TRUE(hex.Check().ok());
    }
}

// Written by hand from the file: 31 32 33 at 0x1D001000, padded with FF to a
// whole word, and CRC-16/XMODEM of 31 32 33 FF = 0xBFAE.
TEST_F(HexManagerTest, KnownFileGivesItsRangeAndCrc)
{
    ASSERT_TRUE(hex.OpenHexData("QORV-Marbeno Soft\r\n:020000041D00DD\r\n:0310000031323357\r\n:00000001FF\r\n"));
    const FirmwareCheck check = hex.Check();
    ASSERT_TRUE(check.ok());
    EXPECT_EQ(check.records, 3u);
    EXPECT_EQ(check.range.start, 0x1000u);
    EXPECT_EQ(check.range.length, 4u);
    EXPECT_EQ(check.range.crc, 0xBFAE);
    EXPECT_EQ(check.range.outsideBytes, 0u);
}

// Every way a file can fail to be programmed and verified whole, through the check
// that the window and qorvctl both run when a file is chosen.
TEST_F(HexManagerTest, FirmwareCheckVerdicts)
{
    const std::string ext = linearRecord(0x1D00);
    const std::string data = hexRecord(0, 0x1000, ramp(16));
    const std::string data2 = hexRecord(0, 0x1010, ramp(16));
    const std::string eof = hexRecord(1, 0, {});
    std::string badSum = data;
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    const std::string sig = "QORV-Marbeno Soft";
    auto file = [](const std::string& signature, const std::vector<std::string>& lines, const std::string& eol = "\n") {
        std::string text = signature + eol;
        for (const std::string& line : lines)
            text += line + eol;
        return text;
    };
    struct Case {
        const char* name;
        std::string text;
        FirmwareProblem problem;
        int line;
    };
    const std::vector<Case> cases = {
        {"valid", file(sig, {ext, data, data2, eof}), FirmwareProblem::None, 0},
        {"valid, CR LF and a blank line after the end", file(sig, {ext, data, eof, ""}, "\r\n"), FirmwareProblem::None, 0},
        {"short record then long", file(sig, {ext, data, hexRecord(0, 0x1010, ramp(255)), eof}), FirmwareProblem::None, 0},
        {"blank line mid-file", file(sig, {ext, data, "", data2, eof}), FirmwareProblem::NotARecord, 4},
        {"indented record", file(sig, {ext, data, " " + data2, eof}), FirmwareProblem::NotARecord, 4},
        {"blank first record line", file(sig, {"", ext, data, eof}), FirmwareProblem::NotARecord, 2},
        {"wrong checksum", file(sig, {ext, badSum, eof}), FirmwareProblem::Checksum, 3},
        {"odd digits", file(sig, {ext, data + "0", eof}), FirmwareProblem::OddDigits, 3},
        {"non-hex character", file(sig, {ext, ":1010000G" + data.substr(9), eof}), FirmwareProblem::NotHex, 3},
        {"byte count too big", file(sig, {ext, ":0510000001020304E1", eof}), FirmwareProblem::ByteCount, 3},
        {"byte count too small", file(sig, {ext, ":0310000001020304E3", eof}), FirmwareProblem::ByteCount, 3},
        {"colon alone", file(sig, {ext, ":", eof}), FirmwareProblem::ByteCount, 3},
        {"longer than a Program line", file(sig, {ext, ":" + std::string(1000, '0'), eof}), FirmwareProblem::LineTooLong, 3},
        {"no end-of-file record", file(sig, {ext, data}), FirmwareProblem::NoEndRecord, 0},
        {"data only below 0x1000", file(sig, {ext, hexRecord(0, 0x0800, ramp(16)), eof}), FirmwareProblem::NoData, 0},
        {"data outside both windows", file(sig, {hexRecord(0, 0x2000, ramp(16)), eof}), FirmwareProblem::NoData, 0},
        {"signature only", file(sig, {}), FirmwareProblem::NoEndRecord, 0},
        {"signature of 19 characters", file(sig + "v2", {ext, data, eof}), FirmwareProblem::SignatureLineTooLong, 1},
        {"signature of 20 characters", file(sig + " v2", {ext, data, eof}), FirmwareProblem::SignatureLineTooLong, 1},
        {"CR-only line ends", file(sig, {ext, data, eof}, "\r"), FirmwareProblem::CrOnlyLineEnds, 1},
        // Where every byte lands, as the router lays it out.
        {"the same bytes written twice", file(sig, {ext, data, data, eof}), FirmwareProblem::None, 0},
        {"other data over written bytes", file(sig, {ext, data, hexRecord(0, 0x100F, ramp(4, 0x80)), eof}), FirmwareProblem::Overlap, 4},
        {"type 04 with no data bytes", file(sig, {":00000004FC", data, eof}), FirmwareProblem::RecordLength, 2},
        {"type 04 with one data byte", file(sig, {hexRecord(4, 0, {0x1D}), data, eof}), FirmwareProblem::RecordLength, 2},
        {"type 02 with three data bytes", file(sig, {hexRecord(2, 0, {0, 0, 0}), eof}), FirmwareProblem::RecordLength, 2},
        {"type 05 with two data bytes", file(sig, {ext, data, hexRecord(5, 0, {0, 0}), eof}), FirmwareProblem::RecordLength, 4},
        {"end record with data", file(sig, {ext, data, hexRecord(1, 0, {0})}), FirmwareProblem::RecordLength, 4},
        {"unknown record type", file(sig, {ext, data, hexRecord(6, 0, {}), eof}), FirmwareProblem::UnknownType, 4},
        {"across 0x1D001000", file(sig, {ext, hexRecord(0, 0x0FF8, ramp(16)), eof}), FirmwareProblem::Straddles, 3},
        {"across the end of program flash", file(sig, {linearRecord(0x1D01), hexRecord(0, 0xFFF8, ramp(16)), eof}),
         FirmwareProblem::Straddles, 3},
        {"across the end of the boot window", file(sig, {ext, data, linearRecord(0x1FC0), hexRecord(0, 0x0BF8, ramp(16)), eof}),
         FirmwareProblem::Straddles, 5},
        {"into the boot window from below", file(sig, {ext, data, linearRecord(0x1FBF), hexRecord(0, 0xFFF8, ramp(16)), eof}),
         FirmwareProblem::Straddles, 5},
        {"just past program flash, read as boot flash", file(sig, {ext, data, linearRecord(0x1D02), hexRecord(0, 0x0100, ramp(16)), eof}),
         FirmwareProblem::OutsideFlash, 5},
        {"ends exactly at the boot window's end", file(sig, {ext, data, linearRecord(0x1FC0), hexRecord(0, 0x0BF0, ramp(16)), eof}),
         FirmwareProblem::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(hex.OpenHexData(c.text));
        const FirmwareCheck check = hex.Check();
        EXPECT_EQ(check.problem, c.problem);
        EXPECT_EQ(check.line, c.line);
        if (check.ok()) {
            // What passes gives a range that covers every data byte the packets carry.
            EXPECT_GT(check.range.length, 0u);
            EXPECT_EQ(check.records, records().size());
        }
    }
}

TEST_F(HexManagerTest, DataOutsideTheWindowsIsCountedNotRefused)
{
    // Configuration words below 0x1000 and past the boot window travel but are not verified.
    ASSERT_TRUE(hex.OpenHexData("QORV-Marbeno Soft\n" + linearRecord(0x1D00) + "\n" + hexRecord(0, 0x0800, ramp(8)) + "\n"
                                + hexRecord(0, 0x1000, ramp(16)) + "\n" + linearRecord(0x1FC0) + "\n"
                                + hexRecord(0, 0x0C00, ramp(8)) + "\n" + hexRecord(1, 0, {}) + "\n"));
    const FirmwareCheck check = hex.Check();
    ASSERT_TRUE(check.ok());
    EXPECT_EQ(check.range.outsideBytes, 16u);
    EXPECT_EQ(check.range.start, 0x1000u);
    EXPECT_EQ(check.range.length, 16u);
}

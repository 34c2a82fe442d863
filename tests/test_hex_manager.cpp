#include "firmware/hex_manager.h"
#include "hex_helpers.h"
#include "link/crc16.h"

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
        EXPECT_EQ(range.crc, Crc16(hex.flashImage() + range.start, range.length));
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

TEST_F(HexManagerTest, LongRecordsEndTheImageBuildButNotThePackets)
{
    // 122 data bytes: 255 characters before the line break, past the image build's limit.
    build({linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(4)), hexRecord(0, 0x2000, ramp(122)),
           hexRecord(0, 0x3000, ramp(4))});
    ImageRange range;
    hex.BuildImage(range);
    EXPECT_EQ(range.length, 4u);
    EXPECT_EQ(records(kProgramLineLimit).size(), 4u);
    EXPECT_EQ(records(kImageLineLimit).size(), 2u);
}

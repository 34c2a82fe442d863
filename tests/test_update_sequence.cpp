#include "boot_helpers.h"
#include "core/session.h"
#include "hex_helpers.h"
#include "link/clock.h"
#include "recording_view.h"
#include "sim/sim_router.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session.useWorkFolder(dir.path());
        session.connect();
    }
    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            session.tick();
            clock.advance(1);
        }
    }
    void choose(const QString& path)
    {
        const std::filesystem::path file = fsPath(path);
        session.update.chooseFile(&file, path);
    }
    // A firmware of `count` records: an extended address and data records, then end of file.
    QString firmware(int dataRecords, std::size_t dataBytes = 16)
    {
        std::vector<std::string> lines = {linearRecord(0x1D00)};
        for (int i = 0; i < dataRecords; ++i)
            lines.push_back(hexRecord(0, static_cast<std::uint16_t>(0x1000 + dataBytes * i),
                                      ramp(dataBytes, static_cast<std::uint8_t>(i))));
        lines.push_back(hexRecord(1, 0, {}));
        return writeFirmware(dir, QStringLiteral("fw.hex"), lines);
    }
    int count(std::uint8_t command) const
    {
        return static_cast<int>(std::count(router.bootCommands.begin(), router.bootCommands.end(), command));
    }

    QTemporaryDir dir;
    SimRouter router{SimRouter::Mode::Update};
    SimBackend backend{router};
    FakeClock clock{5000};
    RecordingView view;
    Session session{backend, clock, view};
};
} // namespace

TEST_F(UpdateTest, VersionReplyShowsUpdateModeAndSwitchesButtons)
{
    tick(3);
    ASSERT_EQ(view.ids(), (std::vector<Msg>{Msg::Connected, Msg::UpdateMode}));
    EXPECT_EQ(view.log[1].a, 1);
    EXPECT_EQ(view.log[1].b, 5);
    EXPECT_TRUE(view.enabled(Button::HexFile));
    EXPECT_FALSE(view.enabled(Button::Recibir));
    EXPECT_FALSE(view.enabled(Button::Enviar));
    EXPECT_EQ(count(1), 1);
    EXPECT_EQ(session.boot.attemptsLeft(), 0);
}

TEST_F(UpdateTest, VersionBytesAreSigned)
{
    router.versionMajor = 0x80;
    router.versionMinor = 0xFF;
    tick(3);
    ASSERT_EQ(view.log.size(), 2u);
    EXPECT_EQ(view.log[1].a, -128);
    EXPECT_EQ(view.log[1].b, -1);
}

// The whole chained update through the tick, against the zero-latency router.
TEST_F(UpdateTest, ChainedUpdateRunsToTheEndAndReconnectsInRoutesMode)
{
    tick(3);
    choose(firmware(40));
    EXPECT_TRUE(view.enabled(Button::Todo));
    view.log.clear();
    session.update.startUpdate();
    EXPECT_EQ(session.state.mode, SessionMode::UpdateProgress);
    int ticks = 0;
    while (session.state.mode != SessionMode::Idle && ticks < 10000) {
        tick();
        ++ticks;
    }
    const std::vector<Msg> expected = {Msg::Erasing,      Msg::Erased,   Msg::SendingFirmware, Msg::FirmwareSent,
                                       Msg::Verifying,    Msg::CrcLine,  Msg::VerifyComplete,  Msg::Copying,
                                       Msg::Updated,      Msg::Connected};
    EXPECT_EQ(view.ids(), expected);
    const LogMessage& crc = view.log[5];
    EXPECT_EQ(crc.a, crc.b);
    EXPECT_EQ(router.programRecords, (std::vector<int>{11, 11, 11, 9}));
    EXPECT_TRUE(std::equal(router.flash.begin() + 0x1000, router.flash.begin() + 0x1000 + 40 * 16,
                           session.boot.hexManager().flashImage() + 0x1000));
    EXPECT_EQ(count(5), 1);
    EXPECT_EQ(router.mode, SimRouter::Mode::Routes);
    // Reconnected without a Version command, the router's marker never comes: no routes-mode line.
    const std::size_t framesBefore = router.written.size();
    tick(100);
    EXPECT_EQ(router.written.size(), framesBefore);
    EXPECT_EQ(view.ids().back(), Msg::Connected);
    EXPECT_TRUE(view.enabled(Button::Recibir));
    EXPECT_FALSE(view.enabled(Button::HexFile));
    EXPECT_FALSE(view.enabled(Button::Todo));
    EXPECT_GE(view.stars, 15);
}

TEST_F(UpdateTest, RecordsGoOutElevenToAPacket)
{
    // 23 data records + extended address + end of file = 25 records: 11, 11, 3.
    tick(3);
    choose(firmware(23));
    session.update.program();
    tick(20);
    EXPECT_EQ(router.programRecords, (std::vector<int>{11, 11, 3}));
    EXPECT_EQ(view.ids().back(), Msg::FirmwareSent);

    // 22 records: the reply to the second packet finds none left.
    router.programRecords.clear();
    choose(firmware(20));
    session.update.program();
    tick(20);
    EXPECT_EQ(router.programRecords, (std::vector<int>{11, 11}));
}

TEST_F(UpdateTest, VerifyPacketCarriesTheImageRangeLittleEndian)
{
    tick(3);
    const QString path = writeFirmware(dir, QStringLiteral("two.hex"),
                                       {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(16)), linearRecord(0x1FC0),
                                        hexRecord(0, 0x0BF0, ramp(16))});
    choose(path);
    std::uint16_t crc = 0;
    ASSERT_TRUE(session.boot.ImageCrc(crc));
    session.update.verify();
    tick(2);
    ASSERT_FALSE(router.bootPackets.empty());
    const std::vector<std::uint8_t> expected = {4,    0x00, 0x10, 0x00, 0x00, 0x00, 0xFC, 0x01, 0x00,
                                                static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8)};
    EXPECT_EQ(router.bootPackets.back(), expected);
}

TEST_F(UpdateTest, MismatchStopsBeforeTheJump)
{
    tick(3);
    choose(firmware(30));
    router.faults.corruptProgram = true;
    session.update.startUpdate();
    for (int i = 0; i < 2000 && session.state.mode != SessionMode::Idle; ++i)
        tick();
    EXPECT_EQ(view.ids().back(), Msg::VerifyFailed);
    EXPECT_EQ(session.state.mode, SessionMode::Idle);
    EXPECT_EQ(count(5), 0);
    EXPECT_FALSE(session.update.updateAll());
    EXPECT_EQ(router.mode, SimRouter::Mode::Update);
}

TEST_F(UpdateTest, UnaskedVerifyReplyWithoutAFileNeverMatches)
{
    tick(3);
    view.log.clear();
    router.pushReport(bootFrame({4, 0x00, 0x00}));  // the CRC of nothing, 0
    tick();
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::CrcLine, Msg::VerifyFailed}));
    EXPECT_EQ(count(5), 0);
}

TEST_F(UpdateTest, CancelledDialogRefusesButKeepsTheFileHeld)
{
    tick(3);
    const QString path = firmware(2);
    choose(path);
    session.update.chooseFile(nullptr, path);
    EXPECT_EQ(view.log.back().id, Msg::HexFileRefused);
    EXPECT_EQ(view.log.back().text, path);
    EXPECT_FALSE(view.enabled(Button::Todo));
    EXPECT_TRUE(session.boot.hexManager().holdsFile());
}

TEST_F(UpdateTest, FileWithoutRecordsStopsAfterTheErase)
{
    tick(3);
    choose(writeFirmware(dir, QStringLiteral("none.hex"), {}));
    view.log.clear();
    session.update.startUpdate();
    tick(200);
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Erasing, Msg::Erased, Msg::SendingFirmware}));
    EXPECT_EQ(count(3), 0);
}

// Records of 255 data bytes cannot go eleven to a packet: each packet ends before
// a record that would overflow the frame buffer, and every record still arrives.
TEST_F(UpdateTest, LongRecordsNeverOverflowThePacket)
{
    tick(3);
    std::vector<std::string> lines = {linearRecord(0x1D00)};
    for (int i = 0; i < 12; ++i)
        lines.push_back(hexRecord(0, static_cast<std::uint16_t>(0x1000 + 255 * i),
                                  std::vector<std::uint8_t>(255, i % 2 ? 0xF0 : 0x10)));
    choose(writeFirmware(dir, QStringLiteral("long.hex"), lines));
    session.update.program();
    tick(40);
    int total = 0;
    for (int records : router.programRecords)
        total += records;
    EXPECT_EQ(total, 13);
    EXPECT_GT(router.programRecords.size(), 2u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(router.flash[0x1000 + 255 * i + 254], i % 2 ? 0xF0 : 0x10) << i;
}

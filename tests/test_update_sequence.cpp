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
        session.preferences().useWorkFolder(dir.path());
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
        session.chooseFirmware(&file, path);
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
    EXPECT_FALSE(view.enabled(Button::Receive));
    EXPECT_FALSE(view.enabled(Button::Send));
    tick(2000);
    EXPECT_EQ(count(1), 1) << "no further Version is sent";
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
    EXPECT_TRUE(view.enabled(Button::Update));
    view.log.clear();
    session.update().startUpdate();
    EXPECT_EQ(session.mode(), SessionMode::UpdateProgress);
    int ticks = 0;
    while (session.mode() != SessionMode::Idle && ticks < 10000) {
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
    // Record i (linear base 0x1D00, address 0x1000 + 16 i) lands 0x1000 + 16 i into
    // the flash image, program flash starting at 0x1D000000.
    for (int i = 0; i < 40; ++i) {
        const std::vector<std::uint8_t> data = ramp(16, static_cast<std::uint8_t>(i));
        ASSERT_TRUE(std::equal(data.begin(), data.end(), router.flash.begin() + 0x1000 + 16 * i)) << i;
    }
    EXPECT_EQ(count(5), 1);
    EXPECT_EQ(router.mode, SimRouter::Mode::Routes);
    // Reconnected without a Version command, the router's marker never comes: no routes-mode line.
    const std::size_t framesBefore = router.written.size();
    tick(100);
    EXPECT_EQ(router.written.size(), framesBefore);
    EXPECT_EQ(view.ids().back(), Msg::Connected);
    EXPECT_TRUE(view.enabled(Button::Receive));
    EXPECT_FALSE(view.enabled(Button::HexFile));
    EXPECT_FALSE(view.enabled(Button::Update));
    EXPECT_GE(view.stars, 15);
}

TEST_F(UpdateTest, RecordsGoOutElevenToAPacket)
{
    // 23 data records + extended address + end of file = 25 records: 11, 11, 3.
    tick(3);
    choose(firmware(23));
    session.update().program();
    tick(20);
    EXPECT_EQ(router.programRecords, (std::vector<int>{11, 11, 3}));
    EXPECT_EQ(view.ids().back(), Msg::FirmwareSent);

    // 22 records: the reply to the second packet finds none left.
    router.programRecords.clear();
    choose(firmware(20));
    session.update().program();
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
    session.update().verify();
    tick(2);
    ASSERT_FALSE(router.bootPackets.empty());
    // Worked out apart from the code: 00..0F at 0x1000 and at 0x20BF0, FF between,
    // give CRC-16/XMODEM 0xD4F0 over 0x1000..0x20C00.
    const std::vector<std::uint8_t> expected = {4, 0x00, 0x10, 0x00, 0x00, 0x00, 0xFC, 0x01, 0x00, 0xF0, 0xD4};
    EXPECT_EQ(router.bootPackets.back(), expected);
}

TEST_F(UpdateTest, MismatchStopsBeforeTheJump)
{
    tick(3);
    choose(firmware(30));
    router.faults.corruptProgram = true;
    session.update().startUpdate();
    for (int i = 0; i < 2000 && session.mode() != SessionMode::Idle; ++i)
        tick();
    EXPECT_EQ(view.ids().back(), Msg::VerifyFailed);
    EXPECT_EQ(session.mode(), SessionMode::Idle);
    EXPECT_EQ(count(5), 0);
    EXPECT_FALSE(session.status().updateRunning);
    EXPECT_EQ(router.mode, SimRouter::Mode::Update);
}

TEST_F(UpdateTest, VerifyWithoutAFileNeverMatches)
{
    tick(3);
    view.log.clear();
    session.update().verify();  // the router answers with the CRC of nothing, 0
    tick(3);
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::CrcLine, Msg::VerifyFailed}));
    EXPECT_EQ(count(5), 0);

    // A Verify reply nobody asked for answers no command: it is ignored.
    view.log.clear();
    router.pushReport(bootFrame({4, 0x00, 0x00}));
    session.update().queueVersion();
    tick(3);
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::UpdateMode}));
}

TEST_F(UpdateTest, CancelledDialogRefusesButKeepsTheFileHeld)
{
    tick(3);
    const QString path = firmware(2);
    choose(path);
    session.chooseFirmware(nullptr, path);
    EXPECT_EQ(view.log.back().id, Msg::HexFileRefused);
    EXPECT_EQ(view.log.back().text, path);
    EXPECT_FALSE(view.enabled(Button::Update));
    // Held: a Program command still finds its records.
    session.update().program();
    tick(10);
    EXPECT_EQ(count(3), 1);
}

// The file passed its check, then changed on disk before the update: no Program
// packet can be built after the Erase, and the update says so and ends.
// The file is read once, when it is chosen: a file changed on disk before the
// update starts cannot put unchecked records into the flash, nor end the update
// half way for want of them.
TEST_F(UpdateTest, FileChangedOnDiskAfterItWasChosenIsProgrammedAsChecked)
{
    tick(3);
    const QString path = firmware(4);
    choose(path);
    ASSERT_TRUE(view.enabled(Button::Update));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("QORV-Marbeno Soft\r\n");
    file.close();
    view.log.clear();
    session.update().startUpdate();
    for (int ticks = 0; session.mode() != SessionMode::Idle && ticks < 10000; ++ticks)
        tick();
    EXPECT_EQ(session.status().outcome, RouterStatus::Outcome::Updated);
    // Linear base 0x1D00 and address 0x1000 + 16 i: program flash starts at
    // 0x1D000000, so record i lands at image offset 0x1000 + 16 i.
    for (int i = 0; i < 4; ++i) {
        const std::vector<std::uint8_t> data = ramp(16, static_cast<std::uint8_t>(i));
        EXPECT_TRUE(std::equal(data.begin(), data.end(), router.flash.begin() + 0x1000 + 16 * i)) << i;
    }
    EXPECT_EQ(router.flash[0x1000 + 4 * 16], 0xFF);
}

TEST_F(UpdateTest, RefusedFileNamesItsProblemAndNeverErases)
{
    tick(3);
    const QString path = writeFirmware(dir, QStringLiteral("cut.hex"), {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(16))});
    choose(path);
    ASSERT_EQ(view.log.size(), 4u);
    EXPECT_EQ(view.log[2].id, Msg::HexFileRefused);
    EXPECT_EQ(view.log[3].id, Msg::FirmwareProblem);
    EXPECT_EQ(view.log[3].problem, FirmwareProblem::NoEndRecord);
    EXPECT_FALSE(view.enabled(Button::Update));
    session.update().startUpdate();
    tick(50);
    EXPECT_EQ(count(2), 0);
    EXPECT_EQ(session.mode(), SessionMode::Idle);
}

// A file of 128-byte records with one flash byte corrupted while programming:
// every record must be inside the verified range, so the update fails.
TEST_F(UpdateTest, LongRecordFileWithACorruptedByteNeverJumps)
{
    tick(3);
    std::vector<std::string> lines = {linearRecord(0x1D00)};
    for (int i = 0; i < 8; ++i)
        lines.push_back(hexRecord(0, static_cast<std::uint16_t>(0x1000 + 128 * i), ramp(128, static_cast<std::uint8_t>(i))));
    lines.push_back(hexRecord(1, 0, {}));
    choose(writeFirmware(dir, QStringLiteral("long.hex"), lines));
    ASSERT_TRUE(view.enabled(Button::Update));
    // Corrupt a byte of the last record only, past where a 121-byte image build stopped.
    session.update().startUpdate();
    for (int i = 0; i < 4000 && count(4) == 0; ++i) {
        tick();
        if (count(3) > 0)
            router.flash[0x1000 + 128 * 7 + 5] ^= 0x40;
    }
    for (int i = 0; i < 200 && session.mode() != SessionMode::Idle; ++i)
        tick();
    EXPECT_EQ(view.ids().back(), Msg::VerifyFailed);
    EXPECT_EQ(count(5), 0);
    EXPECT_EQ(router.mode, SimRouter::Mode::Update);
}

TEST_F(UpdateTest, RouterThatStopsAnsweringStopsTheUpdate)
{
    tick(3);
    choose(firmware(40));
    router.faults.answersLeft = 2;  // the Erase reply and one Program acknowledgement
    view.log.clear();
    session.update().startUpdate();
    int ticks = 0;
    while (session.mode() != SessionMode::Idle && ticks < 100000) {
        tick();
        ++ticks;
    }
    ASSERT_GE(view.log.size(), 2u);
    EXPECT_EQ(view.ids().back(), Msg::FlashLeftErased);
    EXPECT_EQ(view.log[view.log.size() - 2].id, Msg::UpdateStopped);
    EXPECT_EQ(view.log[view.log.size() - 2].stop, UpdateStop::NoAnswer);
    EXPECT_LT(ticks, 3 * 500 + 100) << "three Program attempts, 500 ms apart";
    EXPECT_TRUE(view.enabled(Button::HexFile));
    EXPECT_TRUE(view.enabled(Button::Update));
    // A late acknowledgement after the stop continues nothing.
    const std::size_t packets = router.bootPackets.size();
    router.faults.answersLeft = -1;
    router.pushReport(bootFrame({3}));
    router.pushReport(bootFrame({2}));
    tick(600);
    EXPECT_EQ(router.bootPackets.size(), packets);
    EXPECT_EQ(view.ids().back(), Msg::FlashLeftErased);
}

// Replies of an earlier update left waiting, or arriving late, must not stand in
// for this update's: no Jump unless the new flash verifies.
TEST_F(UpdateTest, StaleRepliesNeverStartTheFirmware)
{
    tick(3);
    choose(firmware(30));
    // The CRC the tool expects, read from the file by a reader of the test's own.
    CHexManager reference;
    ASSERT_TRUE(reference.OpenHexFile(fsPath(dir.filePath(QStringLiteral("fw.hex")))));
    VerifyRange range;
    ASSERT_TRUE(reference.verifyRange(range));
    const std::uint16_t crc = range.crc;
    const std::vector<std::uint8_t> staleVerify = bootFrame({4, static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8)});
    for (int delay : {0, 40}) {
        SCOPED_TRACE(delay);
        router.faults.corruptProgram = true;
        router.pushReport(bootFrame({3}), delay);
        router.pushReport(staleVerify, delay);
        view.log.clear();
        session.update().startUpdate();
        for (int i = 0; i < 3000 && session.mode() != SessionMode::Idle; ++i)
            tick();
        EXPECT_EQ(view.ids().back(), Msg::VerifyFailed);
        EXPECT_EQ(count(5), 0);
        EXPECT_EQ(router.mode, SimRouter::Mode::Update);
    }
}

TEST_F(UpdateTest, EmptyRangeNeverVerifies)
{
    tick(3);
    // Chosen, then rewritten on disk to a file whose data never reaches the image.
    const QString path = firmware(2);
    choose(path);
    writeFirmware(dir, QStringLiteral("fw.hex"), {hexRecord(0, 0x0100, ramp(4)), hexRecord(1, 0, {})});
    view.log.clear();
    router.pushReport(bootFrame({4, 0x00, 0x00}));  // the CRC of no bytes
    session.update().verify();
    tick(3);
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::CrcLine, Msg::VerifyFailed}));
}

// A real router is gone from USB for seconds after the Jump while it copies its flash.
TEST_F(UpdateTest, EndOfUpdateWaitsForTheRouterToComeBack)
{
    struct Case {
        std::uint32_t away;
        Msg last;
    };
    for (const Case& c : {Case{3000, Msg::Connected}, Case{30000, Msg::Offline}}) {
        SCOPED_TRACE(c.away);
        router.mode = SimRouter::Mode::Update;
        session.connect();
        tick(3);
        router.clock = &clock;
        router.restartMilliseconds = c.away;
        choose(firmware(20));
        view.log.clear();
        session.update().startUpdate();
        int ticks = 0;
        while ((session.mode() != SessionMode::Idle || session.status().reconnecting) && ticks < 60000) {
            tick();
            ++ticks;
        }
        const std::vector<Msg> ids = view.ids();
        ASSERT_GE(ids.size(), 2u);
        EXPECT_EQ(ids[ids.size() - 2], Msg::Updated);
        EXPECT_EQ(ids.back(), c.last);
        EXPECT_EQ(session.isOpen(), c.last == Msg::Connected);
        EXPECT_EQ(view.enabled(Button::Receive), c.last == Msg::Connected);
    }
}

// The user presses Conectar during the count-down after a verified update (the
// router is back early, in routes mode): the update still ends, once.
TEST_F(UpdateTest, ConnectDuringTheCountDownKeepsTheUpdatesEnd)
{
    tick(3);
    choose(firmware(20));
    session.update().startUpdate();
    for (int i = 0; i < 10000 && session.mode() != SessionMode::CopyProgress; ++i)
        tick();
    ASSERT_EQ(session.mode(), SessionMode::CopyProgress);
    ASSERT_EQ(router.mode, SimRouter::Mode::Routes);
    tick(30);
    view.log.clear();
    session.connect();
    int ticks = 0;
    while ((session.mode() != SessionMode::Idle || session.status().reconnecting) && ticks < 10000) {
        tick();
        ++ticks;
    }
    tick(100);
    const std::vector<Msg> ids = view.ids();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), Msg::Updated), 1) << "QORV actualizado, once";
    EXPECT_FALSE(session.status().updateRunning);
    EXPECT_EQ(session.status().outcome, RouterStatus::Outcome::Updated);
    EXPECT_EQ(session.mode(), SessionMode::Idle);
    EXPECT_TRUE(session.isOpen());
    EXPECT_TRUE(view.enabled(Button::Receive));
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
    session.update().program();
    tick(40);
    int total = 0;
    for (int records : router.programRecords)
        total += records;
    EXPECT_EQ(total, 13);
    EXPECT_GT(router.programRecords.size(), 2u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(router.flash[0x1000 + 255 * i + 254], i % 2 ? 0xF0 : 0x10) << i;
}

// A Program packet that carries an address record in its middle loses its
// acknowledgement and is sent again. The router keeps the base of the last
// address record it took, so the repeat must first set the base the packet
// started under: the flash ends equal to the file's image and the update ends.
TEST_F(UpdateTest, RepeatedPacketLandsWhereItsFirstSendingDid)
{
    tick(3);
    // 15 records under base 0x1D01, then base 0x1D00 and 20 records: the second
    // packet (records 11 to 21) starts under 0x1D01 and switches in its middle.
    // Sent again under 0x1D00, its first records would land at 0x1D0020A0.
    std::vector<std::string> lines = {linearRecord(0x1D01)};
    for (int i = 0; i < 15; ++i)
        lines.push_back(hexRecord(0, static_cast<std::uint16_t>(0x2000 + 16 * i), ramp(16, static_cast<std::uint8_t>(i))));
    lines.push_back(linearRecord(0x1D00));
    for (int i = 0; i < 20; ++i)
        lines.push_back(hexRecord(0, static_cast<std::uint16_t>(0x1000 + 16 * i), ramp(16, static_cast<std::uint8_t>(0x40 + i))));
    lines.push_back(hexRecord(1, 0, {}));
    const QString path = writeFirmware(dir, QStringLiteral("two-bases.hex"), lines);

    for (int lost : {0, 1}) {
        SCOPED_TRACE(lost);
        choose(path);
        ASSERT_TRUE(view.enabled(Button::Update));
        router.faults.loseProgramAck = lost;
        router.programRecords.clear();
        view.log.clear();
        session.update().startUpdate();
        for (int i = 0; i < 20000 && session.mode() != SessionMode::Idle; ++i)
            tick();
        EXPECT_EQ(router.programRecords.size(), 5u) << "four packets, one of them twice";
        // The router's flash against the file, at literal addresses 0x1D012000 and 0x1D001000.
        EXPECT_EQ(router.flash[0x12000], 0x00);
        EXPECT_EQ(router.flash[0x12000 + 16 * 14 + 15], 14 + 15);
        EXPECT_EQ(router.flash[0x1000], 0x40);
        EXPECT_EQ(router.flash[0x1000 + 16 * 19 + 15], 0x40 + 19 + 15);
        EXPECT_EQ(router.flash[0x2000 + 16 * 10], 0xFF) << "no record of the repeat under the wrong base";
        // And nothing else: the picture of the file worked out by hand.
        std::vector<std::uint8_t> expected(router.flash.size(), 0xFF);
        for (int i = 0; i < 15; ++i)
            for (int k = 0; k < 16; ++k)
                expected[0x12000 + 16 * i + k] = static_cast<std::uint8_t>(i + k);
        for (int i = 0; i < 20; ++i)
            for (int k = 0; k < 16; ++k)
                expected[0x1000 + 16 * i + k] = static_cast<std::uint8_t>(0x40 + i + k);
        EXPECT_TRUE(std::equal(router.flash.begin() + 0x1000, router.flash.end(), expected.begin() + 0x1000));
        const std::vector<Msg> ids = view.ids();
        EXPECT_NE(std::find(ids.begin(), ids.end(), Msg::VerifyComplete), ids.end());
        EXPECT_NE(std::find(ids.begin(), ids.end(), Msg::Updated), ids.end());
        // Back to the bootloader for the next round.
        router.mode = SimRouter::Mode::Update;
        session.connect();
        tick(3);
    }
}

// A router pulled out during an update stops it at once, and the log says what
// the router holds: untouched before the Erase went out, erased after.
TEST_F(UpdateTest, UnpluggedRouterStopsTheUpdateAtOnce)
{
    struct Case {
        const char* name;
        int ticksBeforeUnplug;  // after "Actualizar"
        Msg holds;
    };
    const std::array<Case, 3> cases = {{
        {"before the Erase went out", 0, Msg::FirmwareUntouched},
        {"after the Erase went out", 1, Msg::FlashLeftErased},
        {"while programming", 30, Msg::FlashLeftErased},
    }};
    const QString path = firmware(60);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.plugIn();
        router.mode = SimRouter::Mode::Update;
        router.faults.replyDelayMs = 0;
        router.clock = &clock;
        router.faults.replyDelayMs = 5;  // a router that takes a few ms for each reply
        session.connect();
        tick(20);
        choose(path);
        ASSERT_TRUE(view.enabled(Button::Update));
        view.log.clear();
        session.update().startUpdate();
        tick(c.ticksBeforeUnplug);
        router.unplug();
        tick(3);
        const std::vector<Msg> ids = view.ids();
        ASSERT_GE(ids.size(), 3u);
        EXPECT_EQ(ids[ids.size() - 3], Msg::UpdateStopped);
        EXPECT_EQ(view.log[ids.size() - 3].stop, UpdateStop::RouterGone);
        EXPECT_EQ(ids[ids.size() - 2], c.holds);
        EXPECT_EQ(ids.back(), Msg::Offline);
        EXPECT_EQ(session.mode(), SessionMode::Idle);
        EXPECT_FALSE(session.isOpen());
        EXPECT_EQ(session.status().flashErased, c.holds == Msg::FlashLeftErased);
    }
}

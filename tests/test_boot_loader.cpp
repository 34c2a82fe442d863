#include "boot_helpers.h"
#include "firmware/hex_manager.h"
#include "link/clock.h"
#include "link/device_link.h"
#include "link/trace.h"
#include "sim/sim_router.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include <array>
#include <cstdio>
#include <fstream>

namespace {
using Bytes = std::vector<std::uint8_t>;

class BootLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(link.open());
        boot.ClearTransmit();
    }
    void tick()
    {
        boot.PollReceive();
        boot.ServiceTransmit();
    }
    Bytes frame() const { return Bytes(boot.transmitBuffer(), boot.transmitBuffer() + boot.transmitLength()); }

    SimRouter router{SimRouter::Mode::Update};
    SimBackend backend{router};
    DeviceLink link{backend};
    FakeClock clock{1000};
    RecordingListener listener;
    CHexManager hex;
    CBootLoader boot{link, clock, listener, hex, &listener};
};
} // namespace

TEST_F(BootLoaderTest, CommandFramesOnTheWire)
{
    struct Case {
        std::uint8_t code;
        Bytes frame;
    };
    const std::array<Case, 3> cases = {{
        {1, {0x01, 0x10, 0x01, 0x21, 0x10, 0x10, 0x04}},
        {2, {0x01, 0x02, 0x42, 0x20, 0x04}},
        {5, {0x01, 0x05, 0xA5, 0x50, 0x04}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.code));
        ASSERT_TRUE(boot.SendCommand(c.code, 3, 400));
        EXPECT_EQ(frame(), c.frame);
        EXPECT_EQ(boot.lastCommand(), std::optional<BootCommand>(static_cast<BootCommand>(c.code)));
    }
}

TEST_F(BootLoaderTest, VersionGoesOutAsOneReportPaddedWithFF)
{
    ASSERT_TRUE(boot.SendCommand(1, 3, 400));
    tick();
    ASSERT_EQ(router.written.size(), 1u);
    std::array<std::uint8_t, 65> expected;
    expected.fill(0xFF);
    const Bytes head = {0x00, 0x01, 0x10, 0x01, 0x21, 0x10, 0x10, 0x04};
    std::copy(head.begin(), head.end(), expected.begin());
    EXPECT_EQ(router.written[0], expected);
}

// A code the bootloader does not know is refused and changes nothing: the
// Version queued before it is still what the router is sent, and answered.
TEST_F(BootLoaderTest, UnknownCodesAreRefusedAndChangeNothing)
{
    for (std::uint8_t code : {0, 6, 255}) {
        SCOPED_TRACE(int(code));
        router.written.clear();
        router.bootCommands.clear();
        ASSERT_TRUE(boot.SendCommand(1, 3, 400));
        const Bytes version = frame();
        EXPECT_FALSE(boot.SendCommand(code, 3, 400));
        EXPECT_EQ(frame(), version);
        EXPECT_EQ(boot.lastCommand(), std::optional<BootCommand>(BootCommand::Version));
        EXPECT_EQ(boot.attemptsLeft(), 3);
        tick();
        EXPECT_EQ(router.bootCommands, std::vector<std::uint8_t>{1}) << "the router got the Version, whole";
        for (int i = 0; i < 5 && boot.transmitState() != CBootLoader::TransmitState::Idle; ++i) {
            clock.advance(10);
            tick();
        }
        EXPECT_EQ(boot.transmitState(), CBootLoader::TransmitState::Idle) << "and its reply ended it";
    }
}

TEST_F(BootLoaderTest, JumpIsWrittenOnceWithItsOwnTimeoutWhateverItIsGiven)
{
    router.faults.noReply = true;
    ASSERT_TRUE(boot.SendCommand(5, 3, 7000));
    EXPECT_EQ(boot.attemptsLeft(), 1);
    tick();
    clock.advance(20);
    tick();
    clock.advance(8000);
    tick();
    EXPECT_EQ(router.written.size(), 1u);
    EXPECT_EQ(boot.transmitState(), CBootLoader::TransmitState::Idle);
}

// Three writes, each more than the time-out after the one before, also across the
// 32-bit counter's wrap-around; then idle on the very next tick, and a late good
// reply is still taken.
TEST_F(BootLoaderTest, RetriesByTimeoutThenGivesUpButStillTakesALateReply)
{
    for (std::uint32_t start : {1000u, 0xFFFFFF00u}) {
        SCOPED_TRACE(start);
        router.written.clear();
        listener = RecordingListener{};
        router.faults.noReply = true;
        clock.set(start);
        ASSERT_TRUE(boot.SendCommand(1, 3, 400));
        tick();
        ASSERT_EQ(router.written.size(), 1u);
        clock.advance(400);
        tick();
        EXPECT_EQ(router.written.size(), 1u) << "exactly the time-out is not yet past it";
        clock.advance(1);
        tick();
        EXPECT_EQ(router.written.size(), 2u);
        clock.advance(401);
        tick();
        EXPECT_EQ(router.written.size(), 3u);
        EXPECT_EQ(boot.transmitState(), CBootLoader::TransmitState::Waiting);
        tick();
        EXPECT_EQ(boot.transmitState(), CBootLoader::TransmitState::Idle);
        clock.advance(5000);
        tick();
        EXPECT_EQ(router.written.size(), 3u);
        EXPECT_EQ(listener.gaveUp, Bytes{1});

        router.pushReport(bootFrame({1, 2, 10}));
        tick();
        ASSERT_EQ(listener.replies.size(), 1u);
        EXPECT_EQ(listener.replies[0].first, 1);
        EXPECT_EQ(listener.replies[0].second, (Bytes{2, 10}));
    }
}

TEST_F(BootLoaderTest, ReplySplitWithItsEscapeAtTheEndOfAReportIsReassembled)
{
    router.faults.splitReplyAt = 2;  // "01 10": the escape of the reply code ends the report
    ASSERT_TRUE(boot.SendCommand(1, 3, 400));
    tick();                       // sends
    tick();                       // reads "01 10": the escape is still pending
    EXPECT_TRUE(listener.replies.empty());
    tick();
    ASSERT_EQ(listener.replies.size(), 1u);
    EXPECT_EQ(listener.replies[0].first, 1);
    EXPECT_EQ(listener.replies[0].second, (Bytes{1, 5}));
}

TEST_F(BootLoaderTest, OnlyTheFirstOfTwoRepliesInOneReportIsDispatched)
{
    router.faults.doubleReply = true;
    ASSERT_TRUE(boot.SendCommand(1, 3, 400));
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_EQ(listener.replies.size(), 1u);
}

TEST_F(BootLoaderTest, ReplyWithBadCrcIsDroppedAndTheCommandSentAgain)
{
    router.faults.badCrc = true;
    ASSERT_TRUE(boot.SendCommand(2, 3, 400));
    tick();
    tick();
    EXPECT_TRUE(listener.replies.empty());
    clock.advance(401);
    tick();
    EXPECT_EQ(router.written.size(), 2u);
    EXPECT_TRUE(listener.replies.empty());
}

TEST_F(BootLoaderTest, RoutesModeMarkerWinsEvenDuringAnUpdateAndIsNotReceived)
{
    Bytes report = {0x03, 0xAA, 0x55, 0xAA};
    const Bytes reply = bootFrame({2});
    report.insert(report.end(), reply.begin(), reply.end());
    router.pushReport(report);
    tick();
    EXPECT_EQ(listener.routesMode, 1);
    EXPECT_TRUE(listener.replies.empty());
    EXPECT_EQ(boot.receiveCount(), 0);
}

TEST_F(BootLoaderTest, GarbageBeforeAFrameAndOverlongRepliesNeverOverrunTheBuffer)
{
    router.faults.noReply = true;
    ASSERT_TRUE(boot.SendCommand(1, 3, 400));
    tick();
    Bytes junk(64, 0x55);
    for (int i = 0; i < 10; ++i)
        router.pushReport(junk);  // 640 bytes with no start byte
    router.pushReport(bootFrame({1, 3, 7}));
    for (int i = 0; i < 11; ++i) {
        tick();
        EXPECT_LE(boot.receiveCount(), CBootLoader::kReceiveLimit);
    }
    ASSERT_EQ(listener.replies.size(), 1u);
    EXPECT_EQ(listener.replies[0].second, (Bytes{3, 7}));
}

TEST(Trace, OneLinePerReportBothWays)
{
    QTemporaryDir dir;  // never a shared fixed name: another user's run may own it
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("qorv_trace.txt")).toStdString();
    SimRouter router(SimRouter::Mode::Routes);
    SimBackend backend(router);
    FakeClock clock(1234);
    {
        Trace trace(path, clock);
        ASSERT_TRUE(trace.isOpen());
        DeviceLink link(backend, &trace);
        RecordingListener listener;
        CHexManager hex;
        CBootLoader boot(link, clock, listener, hex, &listener);
        ASSERT_TRUE(link.open());
        boot.SendCommand(1, 3, 400);
        boot.ServiceTransmit();
        boot.PollReceive();
        boot.PollReceive();  // nothing waiting: no line
    }
    std::ifstream in(path);
    std::string out, reply, extra;
    std::getline(in, out);
    std::getline(in, reply);
    EXPECT_EQ(out.substr(0, 38), "out 1234 00 01 10 01 21 10 10 04 FF FF");
    EXPECT_EQ(out.size(), 9 + 65 * 3 - 1);
    EXPECT_EQ(reply.substr(0, 20), "in  1234 03 AA 55 AA");
    EXPECT_FALSE(std::getline(in, extra));
}

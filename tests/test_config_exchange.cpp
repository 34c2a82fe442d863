#include "config/config_exchange.h"
#include "core/session.h"
#include "link/clock.h"
#include "link/device_link.h"
#include "recording_view.h"
#include "sim/sim_router.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {
using Bytes = std::vector<std::uint8_t>;

class ExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        router.clock = &clock;
        router.wait = [this](std::uint32_t ms) { clock.advance(ms); };
        ASSERT_TRUE(link.open());
    }
    bool sameAsRouter() const { return std::memcmp(image.data(), router.image.rawBytes(), kImageSize) == 0; }

    // Offsets named by the read requests the router saw.
    std::vector<int> readOffsets() const
    {
        std::vector<int> offsets;
        for (const auto& report : router.written)
            if (report[2] == 0x01 && report[3] == 'r')
                offsets.push_back(report[4] | report[5] << 8);
        return offsets;
    }

    SimRouter router{SimRouter::Mode::Routes};
    SimBackend backend{router};
    DeviceLink link{backend};
    FakeClock clock{1000};
    ConfigExchange exchange{link, clock};
    std::array<std::uint8_t, kImageSize> image{};
};
} // namespace

TEST_F(ExchangeTest, ReceiveTakesWhateverCountTheRouterSends)
{
    for (std::size_t perReply : {63u, 32u, 1u}) {
        SCOPED_TRACE(perReply);
        router.written.clear();
        router.bytesPerReply = perReply;
        image.fill(0);
        ASSERT_TRUE(exchange.receiveImage(image.data()));
        EXPECT_EQ(std::memcmp(image.data(), router.image.rawBytes(), kImageSize), 0);
        EXPECT_EQ(router.written.size(), (kImageSize + perReply - 1) / perReply);
    }
    // 32 bytes a reply: exactly 128 requests, 0x0000 ... 0x0FE0.
    router.written.clear();
    router.bytesPerReply = 32;
    ASSERT_TRUE(exchange.receiveImage(image.data()));
    const std::vector<int> offsets = readOffsets();
    ASSERT_EQ(offsets.size(), 128u);
    for (std::size_t i = 0; i < offsets.size(); ++i)
        EXPECT_EQ(offsets[i], static_cast<int>(i * 32));
    const auto& last = router.written.back();
    EXPECT_EQ((Bytes{last[0], last[1], last[2], last[3], last[4], last[5]}), (Bytes{0x00, 0x04, 0x01, 0x72, 0xE0, 0x0F}));
}

TEST_F(ExchangeTest, SendWritesTheWholeImageInThirtyTwoByteBlocks)
{
    for (std::size_t i = 0; i < kImageSize; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(exchange.sendImage(image.data()));
    EXPECT_EQ(std::memcmp(router.image.rawBytes(), image.data(), kImageSize), 0);
    ASSERT_EQ(router.written.size(), 128u);
    const auto& first = router.written.front();
    EXPECT_EQ((Bytes{first[0], first[1], first[2], first[3], first[4], first[5]}), (Bytes{0x00, 0x24, 0x01, 0x77, 0x00, 0x00}));
    EXPECT_EQ(std::memcmp(first.data() + 6, image.data(), 32), 0);
}

TEST_F(ExchangeTest, FailureCountingOfBothDirections)
{
    struct Case {
        const char* name;
        bool receive;
        int answers;         // replies before the router goes silent (-1: never silent)
        bool wrongAck;
        std::size_t requests;  // reports written before giving up
    };
    const std::array<Case, 4> cases = {{
        {"no answer at all: five read requests", true, 0, false, 5},
        {"silent after two replies: the third request and three repeats", true, 2, false, 2 + 4},
        {"acknowledgements always wrong: the first block five times", false, -1, true, 5},
        {"silent after one acknowledgement", false, 1, false, 1 + 4},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.written.clear();
        router.faults.answersLeft = c.answers;
        router.faults.wrongAckOffset = c.wrongAck;
        const bool done = c.receive ? exchange.receiveImage(image.data()) : exchange.sendImage(image.data());
        EXPECT_FALSE(done);
        EXPECT_EQ(router.written.size(), c.requests);
    }
}

// A wait lasts 10000 reads and at least 100 ms. A reply in that time costs no
// repeat; a later one does, yet every block still lands at its own offset.
TEST_F(ExchangeTest, SlowRepliesLandAtTheirOwnOffsets)
{
    struct Case {
        const char* name;
        int delayReads;
        std::uint32_t delayMs;
        bool repeats;
    };
    const std::array<Case, 5> cases = {{
        {"after 9999 reads", 9999, 0, false},
        {"after 10000 reads, within 100 ms", 10000, 0, false},
        {"after 20 ms", 0, 20, false},
        {"after 99 ms", 0, 99, false},
        {"after 150 ms, every request", 0, 150, true},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.written.clear();
        router.faults.replyDelayReads = c.delayReads;
        router.faults.replyDelayMs = c.delayMs;
        router.bytesPerReply = 32;
        image.fill(0);
        ASSERT_TRUE(exchange.receiveImage(image.data()));
        EXPECT_TRUE(sameAsRouter()) << "no reply may land at another request's offset";
        EXPECT_EQ(router.written.size() > 128u, c.repeats);
        if (c.repeats) {
            EXPECT_EQ(readOffsets()[1], 0) << "the unanswered request is sent again with the same offset";
        }

        for (std::size_t i = 0; i < kImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(i * 3 + c.delayMs);
        ASSERT_TRUE(exchange.sendImage(image.data()));
        EXPECT_TRUE(sameAsRouter());
    }
}

// What is already waiting when a transfer starts (a routes-mode marker, a reply
// nobody read) is dropped, not taken for the first reply; the receive that saw
// it reads the image a second time to confirm it.
TEST_F(ExchangeTest, InputWaitingBeforeARequestIsNotItsReply)
{
    router.bytesPerReply = 32;
    router.pushReport({0x03, 0xAA, 0x55, 0xAA});
    ASSERT_TRUE(exchange.receiveImage(image.data()));
    EXPECT_TRUE(sameAsRouter());
    EXPECT_EQ(exchange.imageReads(), 2);
    EXPECT_EQ(router.written.size(), 2 * 128u);

    router.pushReport({0x02, 0x20, 0x00});  // an old acknowledgement of the first block
    router.faults.refuseWriteAt = 0;
    router.faults.refusals = -1;
    image.fill(0x5A);
    EXPECT_FALSE(exchange.sendImage(image.data()));
}

// A block the router did not store is never reported as sent.
TEST_F(ExchangeTest, OnlyTheRightAcknowledgementMovesOn)
{
    for (int refusals : {1, 3, -1}) {  // three failures in a row are borne after a stored block
        SCOPED_TRACE(refusals);
        router.image = ConfigImage{};
        router.faults.refuseWriteAt = 0x240;
        router.faults.refusals = refusals;
        for (std::size_t i = 0; i < kImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(i * 5 + 1);
        const bool done = exchange.sendImage(image.data());
        EXPECT_EQ(done, refusals != -1);
        if (done) {
            EXPECT_TRUE(sameAsRouter());
        } else {
            EXPECT_EQ(router.image.rawBytes()[0x240], 0) << "the refused block";
        }
    }
}

// A report too short to carry an image byte must not reset the failure count.
TEST_F(ExchangeTest, RepliesWithoutImageBytesCountAsNoReply)
{
    router.faults.reportLength = 1;
    EXPECT_FALSE(exchange.receiveImage(image.data()));
    EXPECT_EQ(router.written.size(), 5u);
}

TEST_F(ExchangeTest, ReportsThatAreNotRepliesArePassedOverWhileWaiting)
{
    // Byte 0 = 0 is no read reply; byte 0 = 1 or 3 is no acknowledgement. They
    // arrive after the request, during the wait.
    router.pushReport({0x00, 0xAA, 0xAA}, 1);
    ASSERT_TRUE(exchange.receiveImage(image.data()));
    EXPECT_TRUE(sameAsRouter());
    EXPECT_EQ(router.written.size(), 2 * 66u) << "no request repeated; the image read once more to confirm it";

    router.written.clear();
    router.pushReport({0x01, 0x20, 0x00}, 1);
    router.pushReport({0x03, 0x20, 0x00});
    image.fill(0x42);
    ASSERT_TRUE(exchange.sendImage(image.data()));
    EXPECT_EQ(router.written.size(), 128u);
    EXPECT_TRUE(sameAsRouter());
}

TEST_F(ExchangeTest, OversizedOrOverrunningReadRepliesNeverWriteOutsideTheImage)
{
    // Every request answered with a count of 200: at most 63, and at most what is left.
    router.faults.readReplyCount = 200;
    std::vector<std::uint8_t> guarded(kImageSize + 64, 0x00);
    ASSERT_TRUE(exchange.receiveImage(guarded.data()));
    EXPECT_EQ(std::memcmp(guarded.data(), router.image.rawBytes(), kImageSize), 0);
    for (std::size_t i = kImageSize; i < guarded.size(); ++i)
        ASSERT_EQ(guarded[i], 0x00) << i;
}

namespace {
// A session in a work folder of its own, over a simulated router.
class ExchangeSession : public ::testing::Test {
protected:
    void SetUp() override { session.useWorkFolder(folder.path()); }
    // Replies take `ms` of the fake clock, which a waiting read advances.
    void slowReplies(std::uint32_t ms)
    {
        router.clock = &clock;
        router.wait = [this](std::uint32_t waited) { clock.advance(waited); };
        router.faults.replyDelayMs = ms;
    }

    QTemporaryDir folder;
    SimRouter router;
    SimBackend backend{router};
    FakeClock clock;
    RecordingView view;
    Session session{backend, clock, view};
};
} // namespace

// Through the session: a transfer that gives up leaves the image and "last.qorv"
// exactly as they were; a complete one replaces both.
TEST_F(ExchangeSession, ReceiveReplacesImageAndLastFileOnlyWhenComplete)
{
    ASSERT_TRUE(session.ConnectDevice());

    const ConfigImage before = ConfigImage::empty();
    session.document().load(before);
    router.faults.answersLeft = 30;
    session.receiveConfiguration();
    EXPECT_EQ(session.image(), before);
    EXPECT_FALSE(QFile::exists(session.lastConfigPath()));
    EXPECT_EQ(view.ids().back(), Msg::Offline);
    EXPECT_FALSE(view.enabled(Button::Receive));
    EXPECT_FALSE(view.enabled(Button::Send));
    EXPECT_FALSE(session.document().canUndo()) << "nothing on screen was replaced";
    EXPECT_TRUE(session.isOpen());

    router.faults.answersLeft = -1;
    session.receiveConfiguration();
    EXPECT_EQ(session.image(), router.image);
    EXPECT_EQ(view.ids().back(), Msg::ConfigReceived);
    EXPECT_TRUE(session.document().canUndo()) << "the received image replaced the one on screen";
    EXPECT_FALSE(session.document().modified()) << "and is what the router holds";
    QFile last(session.lastConfigPath());
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    EXPECT_EQ(last.readAll(), QByteArray(reinterpret_cast<const char*>(router.image.rawBytes()), kImageSize));

    // And back: an edit-free send leaves the router with the same bytes.
    router.image = ConfigImage{};
    session.sendConfiguration();
    EXPECT_EQ(router.image, session.image());
    EXPECT_EQ(view.ids().back(), Msg::ConfigSent);
}

// A router slower than the wait: what is received and kept in "last.qorv" is
// the router's image byte for byte.
TEST_F(ExchangeSession, SlowRouterNeverLeavesAShiftedImage)
{
    slowReplies(130);
    ASSERT_TRUE(session.ConnectDevice());
    session.receiveConfiguration();
    ASSERT_EQ(view.ids().back(), Msg::ConfigReceived);
    EXPECT_EQ(session.image(), router.image);
    QFile last(session.lastConfigPath());
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    EXPECT_EQ(last.readAll(), QByteArray(reinterpret_cast<const char*>(router.image.rawBytes()), kImageSize));
}

// A router that sends every reply twice, the copy arriving later, perhaps after
// the next request went out. Read replies carry no offset: the receive either
// ends with the router's exact image or fails; the send always ends with the
// router holding the image (its acknowledgements carry the offset).
TEST_F(ExchangeTest, RepliesDeliveredTwiceNeverShiftTheImage)
{
    struct Case {
        std::uint32_t latency;  // of every reply
        std::uint32_t copyAfter;
    };
    const std::array<Case, 9> cases = {{
        {0, 1}, {0, 30}, {0, 150}, {2, 1}, {2, 5}, {2, 60}, {20, 10}, {20, 45}, {20, 300},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.latency << " ms a reply, copy " << c.copyAfter << " ms later");
        router.faults.replyDelayMs = c.latency;
        router.faults.duplicateAfterMs = c.copyAfter;
        clock.advance(2000);  // what the last case left in flight is long gone
        link.read(image.data(), image.size(), 2000);
        image.fill(0xEE);
        if (exchange.receiveImage(image.data()))
            EXPECT_TRUE(sameAsRouter());
        else
            EXPECT_EQ(exchange.outcome(), ConfigExchange::Outcome::Unconfirmed);
        EXPECT_EQ(exchange.outcome(), ConfigExchange::Outcome::Done) << "a router that answers is read in the end";

        for (std::size_t i = 0; i < kImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(i * 11 + c.copyAfter);
        clock.advance(2000);
        ASSERT_TRUE(exchange.sendImage(image.data()));
        EXPECT_TRUE(sameAsRouter());
    }
}

// A prompt, honest router is read once, with exactly the requests of one read.
TEST_F(ExchangeTest, HonestRouterIsReadOnce)
{
    ASSERT_TRUE(exchange.receiveImage(image.data()));
    EXPECT_TRUE(sameAsRouter());
    EXPECT_EQ(exchange.imageReads(), 1);
    EXPECT_EQ(router.written.size(), 66u);
}

// A router pulled out in the middle of a transfer: it ends at once, without
// the failures' repeats, and says why.
TEST_F(ExchangeTest, UnplugEndsATransferAtOnce)
{
    for (bool receive : {true, false}) {
        SCOPED_TRACE(receive ? "receive" : "send");
        router.plugIn();
        link.close();
        ASSERT_TRUE(link.open());
        router.written.clear();
        router.faults.unplugAfter = 10;
        EXPECT_FALSE(receive ? exchange.receiveImage(image.data()) : exchange.sendImage(image.data()));
        EXPECT_EQ(exchange.outcome(), ConfigExchange::Outcome::LinkLost);
        EXPECT_EQ(router.written.size(), 10u) << "nothing repeated to a router that is gone";
    }
}

// The mode probe of a slow router is repeated; the answer to the repeat arrives
// while the user already asked for the configuration. It never becomes image
// bytes: what is kept is the router's image, read once.
TEST_F(ExchangeSession, SlowProbeAnswerNeverReachesTheReceive)
{
    router.image = ConfigImage::empty();
    slowReplies(450);  // busy at first: the Version frame goes out twice
    session.connect();
    while (session.status().mode != RouterStatus::Mode::Routes) {
        session.tick();
        clock.advance(1);
    }
    ASSERT_EQ(router.bootCommands.size(), 0u);  // routes mode: frames are answered with the marker
    router.faults.replyDelayMs = 0;
    router.written.clear();
    ASSERT_TRUE(session.receiveConfiguration());
    EXPECT_EQ(session.image(), router.image);
    EXPECT_EQ(router.written.size(), 66u) << "read once: the marker was taken before the exchange";
    QFile last(session.lastConfigPath());
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    EXPECT_EQ(last.readAll(), QByteArray(reinterpret_cast<const char*>(router.image.rawBytes()), kImageSize));
}

// Unplugged during a transfer: one "QORV desconectado", the link closed, the
// image and "last.qorv" untouched, and a send says the router may hold half.
TEST_F(ExchangeSession, UnplugDuringATransferIsSaidOnceAndKeepsTheImage)
{
    session.watchForRouter(true);
    const ConfigImage before = ConfigImage::empty();
    session.document().load(before);

    for (bool receive : {true, false}) {
        SCOPED_TRACE(receive ? "receive" : "send");
        router.plugIn();
        ASSERT_TRUE(session.ConnectDevice());
        view.log.clear();
        router.written.clear();
        router.faults.unplugAfter = 20;
        EXPECT_FALSE(receive ? session.receiveConfiguration() : session.sendConfiguration());
        EXPECT_EQ(router.written.size(), 20u) << "nothing repeated to a router that is gone";
        for (int i = 0; i < 20; ++i) {
            session.tick();
            clock.advance(1);
        }
        EXPECT_FALSE(session.isOpen());
        EXPECT_EQ(session.image(), before);
        EXPECT_FALSE(QFile::exists(session.lastConfigPath()));
        std::vector<Msg> expected = {Msg::Offline};
        if (!receive)
            expected.push_back(Msg::ConfigPartlyWritten);
        EXPECT_EQ(view.ids(), expected);
        EXPECT_FALSE(view.enabled(Button::Receive));
    }
}

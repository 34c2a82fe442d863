#include "config/config_exchange.h"
#include "core/session.h"
#include "exchange_faults.h"
#include "link/clock.h"
#include "link/device_link.h"
#include "recording_view.h"
#include "sim/sim_router.h"
#include "text/texts.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
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

// The first read asks for the image as the router hands it out; the second,
// which must agree with it, starts each request one byte inside the reply
// before it.
TEST_F(ExchangeTest, ReceiveTakesWhateverCountTheRouterSendsAndReadsTwice)
{
    for (std::size_t perReply : {63u, 32u, 1u}) {
        SCOPED_TRACE(perReply);
        router.written.clear();
        router.bytesPerReply = perReply;
        image.fill(0);
        ASSERT_TRUE(exchange.receiveImage(image.data()));
        EXPECT_TRUE(sameAsRouter());
        EXPECT_EQ(exchange.imageReads(), 2);
        const std::size_t first = (kImageSize + perReply - 1) / perReply;
        const std::size_t step = perReply > 1 ? perReply - 1 : 1;
        const std::size_t second = perReply > 1 ? 1 + (kImageSize - perReply + step - 1) / step : kImageSize;
        const std::vector<int> offsets = readOffsets();
        ASSERT_EQ(offsets.size(), first + second);
        for (std::size_t i = 0; i < first; ++i)
            ASSERT_EQ(offsets[i], static_cast<int>(i * perReply)) << i;
        for (std::size_t i = 0; i < second; ++i)
            ASSERT_EQ(offsets[first + i], static_cast<int>(i * step)) << i;
        if (perReply == 32) {
            // The first read is exactly 128 requests, 0x0000 ... 0x0FE0.
            const auto& last = router.written[127];
            EXPECT_EQ((Bytes{last[0], last[1], last[2], last[3], last[4], last[5]}),
                      (Bytes{0x00, 0x04, 0x01, 0x72, 0xE0, 0x0F}));
        }
    }
}

// 128 writes, then the image read back.
TEST_F(ExchangeTest, SendWritesTheWholeImageInThirtyTwoByteBlocksAndReadsItBack)
{
    for (std::size_t i = 0; i < kImageSize; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(exchange.sendImage(image.data()));
    EXPECT_TRUE(sameAsRouter());
    ASSERT_EQ(router.written.size(), 128u + 67u);
    const auto& first = router.written.front();
    EXPECT_EQ((Bytes{first[0], first[1], first[2], first[3], first[4], first[5]}), (Bytes{0x00, 0x24, 0x01, 0x77, 0x00, 0x00}));
    EXPECT_EQ(std::memcmp(first.data() + 6, image.data(), 32), 0);
    EXPECT_EQ(readOffsets().size(), 67u);
}

TEST_F(ExchangeTest, FailureCountingOfBothDirections)
{
    using Outcome = ConfigExchange::Outcome;
    struct Case {
        const char* name;
        bool receive;
        int answers;         // replies before the router goes silent (-1: never silent)
        int ackOffBy;
        std::size_t requests;  // reports written before giving up
        Outcome outcome;
        std::size_t bytesMoved;
    };
    const std::array<Case, 5> cases = {{
        {"no answer at all: five read requests", true, 0, 0, 5, Outcome::NoAnswer, 0},
        {"silent after two replies: the third request and three repeats", true, 2, 0, 2 + 4, Outcome::NoAnswer, 126},
        {"acknowledgements always a block ahead: the first block five times", false, -1, 32, 5, Outcome::WrongAck, 0},
        {"acknowledgements naming the block itself", false, -1, -32, 5, Outcome::WrongAck, 0},
        {"silent after one acknowledgement", false, 1, 0, 1 + 4, Outcome::NoAnswer, 32},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.written.clear();
        router.faults.answersLeft = c.answers;
        router.faults.ackOffBy = c.ackOffBy;
        image.fill(0xEE);
        const bool done = c.receive ? exchange.receiveImage(image.data()) : exchange.sendImage(image.data());
        EXPECT_FALSE(done);
        if (c.receive) {
            EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xEE; }))
                << "a receive that gave up leaves the image as it was";
        }
        EXPECT_EQ(router.written.size(), c.requests);
        EXPECT_EQ(exchange.outcome(), c.outcome);
        EXPECT_EQ(exchange.failure().bytesMoved, c.bytesMoved);
        EXPECT_EQ(exchange.failure().answeredAny, c.answers != 0);
        if (c.outcome == Outcome::WrongAck) {
            EXPECT_EQ(exchange.failure().acknowledged, static_cast<std::size_t>(32 + c.ackOffBy));
            EXPECT_EQ(exchange.failure().block, 0u);
        }
    }
}

// However slow the router, up to the latest reply it may send, the receive gets
// its image with two reads' worth of requests and about two reads' worth of
// time: a slow router pays for its first request's repeats once, never a wait
// for every block.
TEST_F(ExchangeTest, SlowRouterIsReadInTwiceItsTimeAtAnyLatency)
{
    router.image = largestConfiguration();
    struct Case {
        int delayReads;
        std::uint32_t delayMs;
    };
    const std::array<Case, 10> cases = {{
        {9999, 0}, {10000, 0}, {0, 2}, {0, 20}, {0, 95}, {0, 105}, {0, 150}, {0, 400}, {0, 900}, {0, 1000},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.delayReads << " reads, " << c.delayMs << " ms a reply");
        router.written.clear();
        router.faults.replyDelayReads = c.delayReads;
        router.faults.replyDelayMs = c.delayMs;
        clock.advance(3000);  // what the last case left in flight is long gone
        link.read(image.data(), image.size(), 3000);
        link.read(image.data(), image.size(), 3000);
        image.fill(0xEE);
        const std::uint32_t start = clock.now();
        ASSERT_TRUE(exchange.receiveImage(image.data()));
        const std::uint32_t took = clock.now() - start;
        EXPECT_TRUE(sameAsRouter()) << "no reply may land at another request's offset";
        EXPECT_EQ(exchange.imageReads(), 2);
        EXPECT_LE(router.written.size(), 66u + 67u + 4u) << "only the first request may be repeated";
        EXPECT_LE(took, 133 * c.delayMs + 2 * c.delayMs + 200) << "two reads' time and the first request's repeats";

        for (std::size_t i = 0; i < kImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(i * 3 + c.delayMs);
        ASSERT_TRUE(exchange.sendImage(image.data()));
        EXPECT_TRUE(sameAsRouter());
    }
}

// What is already waiting when a transfer starts (a routes-mode marker, a reply
// nobody read) is dropped, not taken for the first reply.
TEST_F(ExchangeTest, InputWaitingBeforeARequestIsNotItsReply)
{
    router.bytesPerReply = 32;
    router.pushReport({0x03, 0xAA, 0x55, 0xAA});
    ASSERT_TRUE(exchange.receiveImage(image.data()));
    EXPECT_TRUE(sameAsRouter());
    EXPECT_EQ(exchange.imageReads(), 2);

    router.pushReport({0x02, 0x20, 0x00});  // an old acknowledgement of the first block
    router.faults.refuseWriteAt = 0;
    router.faults.refusals = -1;
    image.fill(0x5A);
    EXPECT_FALSE(exchange.sendImage(image.data()));
    EXPECT_EQ(exchange.outcome(), ConfigExchange::Outcome::WrongAck);
    EXPECT_NE(router.image.rawBytes()[0], 0x5A);
}

// Faults of a router that answers, each checked by what the receive is left
// with: the router's exact image, or a failure that changed nothing. Read
// replies carry no offset, so a stray copy of one, followed later by a lost
// reply, shifts the stream between the two while every count looks normal.
TEST_F(ExchangeTest, ReceiveEndsWithTheRoutersImageOrChangesNothing)
{
    struct Case {
        const char* name;
        std::size_t perReply;
        std::uint32_t latency;
        int strayCopyOf;
        std::uint32_t strayLag;
        int loseReply;
        int changeAfterReads;
        bool received;
    };
    const std::array<Case, 14> cases = {{
        {"a stray copy, then a lost reply", 63, 20, 10, 5, 30, -1, true},
        {"a stray copy, then a lost reply, 32-byte replies", 32, 20, 10, 5, 60, -1, true},
        {"a stray copy overtaking the next reply", 63, 20, 10, 30, -1, -1, true},
        {"a stray copy much later", 63, 20, 10, 300, -1, -1, true},
        {"a stray copy at once, prompt router", 63, 0, 10, 0, -1, -1, true},
        {"a stray copy in the second read", 63, 2, 80, 1, 100, -1, true},
        {"a stray copy of the first read's last reply", 63, 20, 65, 25, -1, -1, true},
        {"a lost reply", 63, 2, 40, 0, 40, -1, true},
        {"a lost reply only", 32, 0, -1, 0, 17, -1, true},
        {"changed during the first read", 63, 2, -1, 0, -1, 20, true},
        {"changed during the second read", 63, 2, -1, 0, -1, 90, true},
        {"changed between the reads", 63, 2, -1, 0, -1, 66, true},
        {"changed, with a stray copy", 63, 20, 5, 5, 50, 30, true},
        {"one-byte replies, a stray copy then a lost reply", 1, 0, 100, 0, 2000, -1, true},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.image = sampleConfiguration();
        router.bytesPerReply = c.perReply;
        router.faults = SimFaults{};
        router.faults.replyDelayMs = c.latency;
        router.faults.strayCopyOf = c.strayCopyOf < 0 ? -1 : c.strayCopyOf + router.routesReplies();
        router.faults.strayLagMs = c.strayLag;
        router.faults.loseReply = c.loseReply < 0 ? -1 : c.loseReply + router.routesReplies();
        router.faults.changeAfterReads = c.changeAfterReads < 0 ? -1 : c.changeAfterReads + router.readsAnswered();
        router.faults.changeTo = largestConfiguration();
        clock.advance(3000);
        link.read(image.data(), image.size(), 3000);
        image.fill(0xEE);
        const bool received = exchange.receiveImage(image.data());
        EXPECT_EQ(received, c.received) << static_cast<int>(exchange.outcome());
        if (received)
            EXPECT_TRUE(sameAsRouter()) << "the image the router holds, never a mixture or a shifted stream";
        else
            EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0xEE; }));
        EXPECT_LE(exchange.imageReads(), ConfigExchange::kMaxImageReads);
    }
}
// A send is done only when the router, read back, holds what was sent: each
// case is judged by the router's image.
TEST_F(ExchangeTest, SendIsDoneOnlyWhenTheRouterHoldsTheImage)
{
    using Outcome = ConfigExchange::Outcome;
    struct Case {
        const char* name;
        int dropWriteAt;   // acknowledged, not stored
        int drops;
        int refuseWriteAt;  // acknowledged with its own offset, not stored
        int refusals;
        int loseReply;
        int strayCopyOf;
        Outcome outcome;
        std::vector<std::size_t> notKept;
    };
    const std::array<Case, 7> cases = {{
        {"a block acknowledged but not stored, once", 0x240, 1, -1, 0, -1, -1, Outcome::Done, {}},
        {"a block acknowledged but not stored, twice", 0x240, 2, -1, 0, -1, -1, Outcome::Done, {}},
        {"a block never stored", 0x240, -1, -1, 0, -1, -1, Outcome::NotKept, {0x240}},
        {"a block refused three times in a row", -1, 0, 0x240, 3, -1, -1, Outcome::Done, {}},
        {"a block always refused", -1, 0, 0x240, -1, -1, -1, Outcome::WrongAck, {}},
        {"an acknowledgement lost", -1, 0, -1, 0, 20, -1, Outcome::Done, {}},
        {"a stray copy of a read-back reply", -1, 0, -1, 0, -1, 140, Outcome::Done, {}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ConfigImage before = ConfigImage{};
        router.image = before;
        router.faults = SimFaults{};
        router.faults.replyDelayMs = 2;
        router.faults.dropWriteAt = c.dropWriteAt;
        router.faults.drops = c.drops;
        router.faults.refuseWriteAt = c.refuseWriteAt;
        router.faults.refusals = c.refusals;
        router.faults.loseReply = c.loseReply < 0 ? -1 : c.loseReply + router.routesReplies();
        router.faults.strayCopyOf = c.strayCopyOf < 0 ? -1 : c.strayCopyOf + router.routesReplies();
        router.faults.strayLagMs = 1;
        clock.advance(3000);
        link.read(image.data(), image.size(), 3000);
        for (std::size_t i = 0; i < kImageSize; ++i)
            image[i] = static_cast<std::uint8_t>(i * 5 + 1);
        const bool done = exchange.sendImage(image.data());
        EXPECT_EQ(exchange.outcome(), c.outcome);
        EXPECT_EQ(done, c.outcome == Outcome::Done);
        if (done) {
            EXPECT_TRUE(sameAsRouter());
            continue;
        }
        EXPECT_EQ(exchange.failure().blocksNotKept, c.notKept);
        // The router is left with every block but the one that would not stick.
        const std::size_t bad = static_cast<std::size_t>(c.dropWriteAt >= 0 ? c.dropWriteAt : c.refuseWriteAt);
        EXPECT_EQ(std::memcmp(router.image.rawBytes() + bad, before.rawBytes() + bad, 32), 0);
        EXPECT_EQ(std::memcmp(router.image.rawBytes(), image.data(), bad), 0);
    }
}

// Reports that are no reply (byte 0 = 0 during a receive; 1 or 3 during a
// send) are passed over; a receive that met one does not use that read.
TEST_F(ExchangeTest, ReportsThatAreNotRepliesArePassedOverWhileWaiting)
{
    router.pushReport({0x00, 0xAA, 0xAA}, 1);
    ASSERT_TRUE(exchange.receiveImage(image.data()));
    EXPECT_TRUE(sameAsRouter());
    EXPECT_EQ(exchange.imageReads(), 3) << "the read that met it is read again";

    router.written.clear();
    router.pushReport({0x01, 0x20, 0x00}, 1);
    router.pushReport({0x03, 0x20, 0x00});
    image.fill(0x42);
    ASSERT_TRUE(exchange.sendImage(image.data()));
    EXPECT_EQ(router.written.size(), 128u + 67u) << "no block written twice";
    EXPECT_TRUE(sameAsRouter());
}

// Replies no router could send for their request (too long for the report,
// longer than 63, past the image's end, or carrying no byte) never write
// outside the image, never loop, and end in a failure that keeps nothing.
TEST_F(ExchangeTest, ImpossibleReadRepliesNeverWriteOutsideTheImage)
{
    struct Case {
        const char* name;
        int readReplyCount;
        int reportLength;
    };
    const std::array<Case, 3> cases = {{
        {"a count of 200", 200, 0},
        {"a count of 64", 64, 0},
        {"a report of its count alone", -1, 1},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.written.clear();
        router.faults.readReplyCount = c.readReplyCount;
        router.faults.reportLength = c.reportLength;
        std::vector<std::uint8_t> guarded(kImageSize + 64, 0x00);
        EXPECT_FALSE(exchange.receiveImage(guarded.data()));
        EXPECT_TRUE(std::all_of(guarded.begin(), guarded.end(), [](std::uint8_t b) { return b == 0x00; }));
        EXPECT_LE(router.written.size(), static_cast<std::size_t>(ConfigExchange::kMaxImageReads * 5));
    }
}

// The bar runs once to its end on an honest router, and names its phases:
// the transfer, then the proof.
TEST_F(ExchangeTest, ProgressCountsTheWholeProof)
{
    for (bool receive : {true, false}) {
        SCOPED_TRACE(receive ? "receive" : "send");
        std::vector<ConfigExchange::Step> steps;
        auto record = [&](const ConfigExchange::Step& step) { steps.push_back(step); };
        ASSERT_TRUE(receive ? exchange.receiveImage(image.data(), record) : exchange.sendImage(image.data(), record));
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back().done, steps.back().total);
        EXPECT_EQ(steps.back().total, 2 * kImageSize);
        EXPECT_EQ(steps.front().phase, ConfigExchange::Phase::Transfer);
        EXPECT_EQ(steps.back().phase, ConfigExchange::Phase::Check);
        for (std::size_t i = 1; i < steps.size(); ++i)
            ASSERT_GT(steps[i].done, steps[i - 1].done) << "the bar never steps back";
        const auto checking = std::find_if(steps.begin(), steps.end(),
                                           [](const auto& s) { return s.phase == ConfigExchange::Phase::Check; });
        EXPECT_EQ(checking->done, kImageSize + (receive ? 63u : 63u)) << "the check begins where the transfer ended";
    }
}

namespace {
// A session in a work folder of its own, over a simulated router.
class ExchangeSession : public ::testing::Test {
protected:
    void SetUp() override { session.preferences().useWorkFolder(folder.path()); }
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
    EXPECT_FALSE(QFile::exists(session.preferences().lastConfigPath()));
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
    QFile last(session.preferences().lastConfigPath());
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    EXPECT_EQ(last.readAll(), QByteArray(reinterpret_cast<const char*>(router.image.rawBytes()), kImageSize));

    // And back: an edit-free send leaves the router with the same bytes.
    router.image = ConfigImage{};
    session.sendConfiguration();
    EXPECT_EQ(router.image, session.image());
    EXPECT_EQ(view.ids().back(), Msg::ConfigSent);
}

// What the log says of each way an exchange can fail, in both languages; the
// buttons stay usable when the router answered, however wrongly.
TEST_F(ExchangeSession, EveryFailureSaysWhatHappened)
{
    struct Case {
        const char* name;
        ExchangeFault fault;
        std::vector<Msg> log;
        const char* english;  // the first line
        bool buttons;
    };
    const std::array<Case, 6> cases = {{
        {"quiet during the second read", {true, 66 + 10, 0, -1}, {Msg::StoppedAnswering, Msg::Offline},
         "The QORV stopped answering after 621 of 4096 bytes", false},
        {"quiet after the probe", {true, 0, 0, -1}, {Msg::QuietAfterProbe, Msg::Offline},
         "The QORV answered when connected, but does not answer configuration requests", false},
        {"quiet half way", {true, 9, 0, -1}, {Msg::StoppedAnswering, Msg::Offline}, "The QORV stopped answering after 567 of 4096 bytes",
         false},
        {"wrong acknowledgements", {false, -1, 32, -1}, {Msg::WrongAck, Msg::Offline, Msg::ConfigPartlyWritten},
         "The QORV acknowledged offset 0x0040 for the block at 0x0000", false},
        {"a block that will not stick", {false, -1, 0, 0x20}, {Msg::BlocksNotKept, Msg::ConfigPartlyWritten},
         "The QORV did not keep the blocks at 0x0020", true},
        {"quiet while read back", {false, 128 + 1, 0, -1}, {Msg::StoppedWhileChecking, Msg::Offline, Msg::ConfigPartlyWritten},
         "The QORV stopped answering while what was sent was being checked (after reading 63 of 4096 bytes)", false},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.faults = SimFaults{};
        router.image = ConfigImage{};
        session.document().load(sampleConfiguration());
        session.connect();
        while (session.status().mode != RouterStatus::Mode::Routes) {
            session.tick();
            clock.advance(1);
        }
        view.log.clear();
        router.faults = c.fault.faults();
        EXPECT_FALSE(c.fault.receive ? session.receiveConfiguration() : session.sendConfiguration());
        EXPECT_EQ(view.ids(), c.log);
        ASSERT_FALSE(view.log.empty());
        EXPECT_EQ(messageText(view.log[0], UiLanguage::English).toStdString(), c.english);
        EXPECT_FALSE(messageText(view.log[0], UiLanguage::Spanish).contains(QLatin1Char('%')));
        EXPECT_EQ(view.enabled(Button::Send), c.buttons);
        EXPECT_EQ(session.image(), sampleConfiguration()) << "the configuration on screen is kept";
    }
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
    QFile last(session.preferences().lastConfigPath());
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
    EXPECT_EQ(router.written.size(), 66u + 67u) << "two reads that agreed: the marker was taken before the exchange";
    QFile last(session.preferences().lastConfigPath());
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
        EXPECT_FALSE(QFile::exists(session.preferences().lastConfigPath()));
        std::vector<Msg> expected = {Msg::Offline};
        if (!receive)
            expected.push_back(Msg::ConfigPartlyWritten);
        EXPECT_EQ(view.ids(), expected);
        EXPECT_FALSE(view.enabled(Button::Receive));
    }
}

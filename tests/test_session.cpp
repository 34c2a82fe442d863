#include "core/session.h"
#include "core/work_folder.h"
#include "link/clock.h"
#include "hex_helpers.h"
#include "recording_view.h"
#include "sim/sim_router.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { session.preferences().useWorkFolder(dir.path()); }

    QTemporaryDir dir;
    SimRouter router{SimRouter::Mode::Routes};
    SimBackend backend{router};
    FakeClock clock;
    RecordingView view;
    Session session{backend, clock, view};
};
} // namespace

// Connecting again to a router that is no longer there disables what the
// connection had enabled, and the tick then sends nothing.
TEST_F(SessionTest, OfflineRouterLeavesTheLinkEmptyAndTheTickIdle)
{
    session.connect();
    ASSERT_TRUE(view.enabled(Button::Receive));
    router.mode = SimRouter::Mode::Absent;
    view.log.clear();
    router.written.clear();
    session.connect();
    EXPECT_EQ(view.ids(), std::vector<Msg>{Msg::Offline});
    EXPECT_FALSE(view.enabled(Button::Receive));
    EXPECT_FALSE(view.enabled(Button::Send));
    EXPECT_FALSE(session.isOpen());
    for (int i = 0; i < 1000; ++i) {
        session.tick();
        clock.advance(1);
    }
    EXPECT_TRUE(router.written.empty());
}

TEST_F(SessionTest, RoutesModeIsActedOnExactlyOnce)
{
    session.connect();
    EXPECT_TRUE(router.written.empty()) << "the Version command waits for the tick";
    for (int i = 0; i < 5; ++i)
        session.tick();
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Connected, Msg::RoutesMode}));
    EXPECT_TRUE(view.enabled(Button::Receive));
    EXPECT_TRUE(view.enabled(Button::Send));
    EXPECT_FALSE(view.enabled(Button::HexFile));
    EXPECT_FALSE(view.enabled(Button::Update));
    EXPECT_EQ(session.mode(), SessionMode::Idle);
    clock.advance(1000);
    session.tick();
    EXPECT_EQ(router.written.size(), 1u);
}

TEST_F(SessionTest, ConnectingAgainClosesReopensAndAsksAgain)
{
    router.faults.noReply = true;
    session.connect();
    session.tick();
    session.connect();
    EXPECT_EQ(router.opens, 2);
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Connected, Msg::Connected}));
    // The new Version goes out once the first one's time-out has passed.
    clock.advance(401);
    session.tick();
    ASSERT_EQ(router.written.size(), 2u);
    EXPECT_EQ(router.written[1], router.written[0]);

    router.unplug();
    session.tick();  // reads fail and deliver nothing; the link stays open
    EXPECT_TRUE(session.isOpen());
    session.connect();
    EXPECT_FALSE(session.isOpen());
    EXPECT_EQ(view.ids().back(), Msg::Offline);
}

// Starts a chained update of a small valid firmware against the simulated bootloader.
void startSmallUpdate(Session& session, SimRouter& router, const QTemporaryDir& dir, FakeClock& clock)
{
    router.mode = SimRouter::Mode::Update;
    session.connect();
    for (int i = 0; i < 3; ++i) {
        session.tick();
        clock.advance(1);
    }
    const QString path = writeFirmware(dir, QStringLiteral("fw.hex"),
                                       {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(16)), hexRecord(1, 0, {})});
    const std::filesystem::path file = fsPath(path);
    session.chooseFirmware(&file, path);
    ASSERT_TRUE(session.status().fileAccepted);
    session.update().startUpdate();
}

TEST_F(SessionTest, ProgressStarsEveryTwentySixTicks)
{
    router.faults.noReply = true;  // the Erase stays unanswered: the update shows progress
    startSmallUpdate(session, router, dir, clock);
    ASSERT_EQ(session.mode(), SessionMode::UpdateProgress);
    std::vector<int> starTicks;
    for (int t = 1; t <= 80; ++t) {
        const int before = view.stars;
        session.tick();
        clock.advance(1);
        if (view.stars != before)
            starTicks.push_back(t);
    }
    EXPECT_EQ(starTicks, (std::vector<int>{26, 52, 78}));
}

TEST_F(SessionTest, CopyProgressEndsOnTheFifteenthStarAndReconnectsWithoutVersion)
{
    startSmallUpdate(session, router, dir, clock);
    for (int i = 0; i < 200 && session.mode() != SessionMode::CopyProgress; ++i) {
        session.tick();
        clock.advance(1);
    }
    ASSERT_EQ(session.mode(), SessionMode::CopyProgress);
    const std::size_t writes = router.written.size();
    view.log.clear();
    const int stars = view.stars;
    int ticks = 0;
    while (session.mode() == SessionMode::CopyProgress && ticks < 1000) {
        session.tick();
        clock.advance(1);
        ++ticks;
    }
    EXPECT_EQ(view.stars - stars, 15);
    EXPECT_LE(ticks, 15 * 26);
    EXPECT_GT(ticks, 14 * 26);
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Updated, Msg::Connected}));
    for (int i = 0; i < 1000; ++i)
        session.tick();
    EXPECT_EQ(router.written.size(), writes) << "no Version after the reconnection";
    EXPECT_EQ(session.status().mode, RouterStatus::Mode::Routes);
    EXPECT_EQ(session.status().outcome, RouterStatus::Outcome::Updated);
}

// Not back after the count-down: looked for every 250 ms, called offline once 10 s have passed.
TEST_F(SessionTest, RouterThatNeverComesBackIsCalledOffline)
{
    router.clock = &clock;
    router.restartMilliseconds = 60000;
    startSmallUpdate(session, router, dir, clock);
    for (int i = 0; i < 2000 && view.ids().back() != Msg::Updated; ++i) {
        session.tick();
        clock.advance(1);
    }
    ASSERT_EQ(view.ids().back(), Msg::Updated);
    EXPECT_TRUE(session.status().reconnecting);
    EXPECT_FALSE(view.enabled(Button::Receive));
    const int opens = router.opens;
    // The tick that logged "QORV actualizado" ran at T, and the clock is now T + 1.
    for (int ms = 2; ms < 10000; ++ms) {
        clock.advance(1);
        session.tick();
    }
    EXPECT_EQ(view.ids().back(), Msg::Updated);
    EXPECT_EQ(router.opens, opens) << "a router away from USB cannot be opened";
    clock.advance(1);
    session.tick();
    EXPECT_EQ(view.ids().back(), Msg::Offline);
    EXPECT_FALSE(session.status().reconnecting);
    EXPECT_FALSE(session.isOpen());
    EXPECT_FALSE(view.enabled(Button::Receive));
}

TEST(WorkFolder, FirstRunCopiesTheDefaultOnlyOnce)
{
    QTemporaryDir home;
    QTemporaryDir program;
    QFile seed(QDir(program.path()).filePath(QStringLiteral("last.qorv")));
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.write("seed");
    seed.close();

    const QString folder = workFolderPath(QString(), home.path());
    EXPECT_EQ(folder, home.path() + QStringLiteral("/QORVConfig"));
    prepareWorkFolder(folder, program.path());
    QFile copied(QDir(folder).filePath(QStringLiteral("last.qorv")));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray("seed"));
    copied.close();

    QFile::remove(copied.fileName());
    prepareWorkFolder(folder, program.path());
    EXPECT_FALSE(QFile::exists(copied.fileName())) << "an existing folder is left alone";
}

// HOMEPATH, where the system sets it, comes before the home folder, written
// with the system's separators, a trailing one or not.
TEST(WorkFolder, HomePathWinsOverTheHomeFolder)
{
    const struct {
        const char* homePath;
        const char* expected;
    } cases[] = {
        {"", "/home/x/QORVConfig"},
        {"/Users/José", "/Users/José/QORVConfig"},
        {"/Users/bob/", "/Users/bob/QORVConfig"},
    };
    for (const auto& c : cases) {
        const QString homePath = QDir::toNativeSeparators(QString::fromUtf8(c.homePath));
        EXPECT_EQ(workFolderPath(homePath, QStringLiteral("/home/x")), QString::fromUtf8(c.expected)) << c.homePath;
    }
}

TEST(WorkFolder, HomePathCountsOnlyOnWindows)
{
    const QByteArray saved = qgetenv("HOMEPATH");
    const QString home = QString::fromUtf8("\\Users\\José Müller");
    qputenv("HOMEPATH", home.toLocal8Bit());
#ifdef Q_OS_WIN
    EXPECT_EQ(homePathVariable(), home);
    EXPECT_EQ(workFolderPath(homePathVariable(), QString()), QString::fromUtf8("/Users/José Müller/QORVConfig"));
#else
    EXPECT_TRUE(homePathVariable().isEmpty()) << "elsewhere the work folder is ~/QORVConfig";
    EXPECT_EQ(workFolderPath(homePathVariable(), QStringLiteral("/home/bob")), QStringLiteral("/home/bob/QORVConfig"));
#endif
    qputenv("HOMEPATH", saved);
}

#include "core/session.h"
#include "core/work_folder.h"
#include "link/clock.h"
#include "recording_view.h"
#include "sim/sim_router.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { session.useWorkFolder(dir.path()); }

    QTemporaryDir dir;
    SimRouter router{SimRouter::Mode::Routes};
    SimBackend backend{router};
    FakeClock clock;
    RecordingView view;
    Session session{backend, clock, view};
};
} // namespace

TEST_F(SessionTest, OfflineRouterLeavesTheLinkEmptyAndTheTickIdle)
{
    router.mode = SimRouter::Mode::Absent;
    session.connect();
    EXPECT_EQ(view.ids(), std::vector<Msg>{Msg::Offline});
    EXPECT_FALSE(view.enabled(Button::Recibir));
    EXPECT_FALSE(session.link.isOpen());
    session.tick();
    EXPECT_TRUE(router.written.empty());
}

TEST_F(SessionTest, RoutesModeIsActedOnExactlyOnce)
{
    session.connect();
    EXPECT_TRUE(router.written.empty()) << "the Version command waits for the tick";
    for (int i = 0; i < 5; ++i)
        session.tick();
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Connected, Msg::RoutesMode}));
    EXPECT_TRUE(view.enabled(Button::Recibir));
    EXPECT_TRUE(view.enabled(Button::Enviar));
    EXPECT_FALSE(view.enabled(Button::HexFile));
    EXPECT_FALSE(view.enabled(Button::Todo));
    EXPECT_EQ(session.state.mode, SessionMode::Idle);
    EXPECT_EQ(session.boot.attemptsLeft(), 0) << "no further Version is sent";
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
    EXPECT_TRUE(session.link.isOpen());
    session.connect();
    EXPECT_FALSE(session.link.isOpen());
    EXPECT_EQ(view.ids().back(), Msg::Offline);
}

TEST_F(SessionTest, ProgressStarsEveryTwentySixTicks)
{
    session.state.mode = SessionMode::UpdateProgress;
    std::vector<int> starTicks;
    for (int t = 1; t <= 80; ++t) {
        const int before = view.stars;
        session.tick();
        if (view.stars != before)
            starTicks.push_back(t);
    }
    EXPECT_EQ(starTicks, (std::vector<int>{26, 52, 78}));
}

TEST_F(SessionTest, CopyProgressEndsOnTheFifteenthStarAndReconnectsWithoutVersion)
{
    session.connect();
    session.tick();
    session.tick();  // routes mode seen and logged
    const std::size_t writes = router.written.size();
    view.log.clear();
    session.state.mode = SessionMode::CopyProgress;
    session.state.copyCountdown = 14;
    session.state.progressDelay = 25;
    int ticks = 0;
    while (session.state.mode == SessionMode::CopyProgress) {
        session.tick();
        ++ticks;
    }
    EXPECT_EQ(view.stars, 15);
    EXPECT_EQ(ticks, 15 * 26);
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Updated, Msg::Connected}));
    EXPECT_EQ(router.opens, 2);
    for (int i = 0; i < 1000; ++i)
        session.tick();
    EXPECT_EQ(router.written.size(), writes);

    // Not back yet: offline, and polling stops.
    view.log.clear();
    router.mode = SimRouter::Mode::Absent;
    session.state.mode = SessionMode::CopyProgress;
    session.state.copyCountdown = 0;
    session.state.progressDelay = 0;
    session.tick();
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Updated}));
    EXPECT_TRUE(session.reconnecting());
    // Looked for every 250 ms; called offline once 10 s have passed.
    const int opens = router.opens;
    for (int ms = 0; ms < 9999; ++ms) {
        clock.advance(1);
        session.tick();
    }
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Updated}));
    EXPECT_EQ(router.opens, opens);
    clock.advance(1);
    session.tick();
    EXPECT_EQ(view.ids(), (std::vector<Msg>{Msg::Updated, Msg::Offline}));
    EXPECT_FALSE(session.reconnecting());
    EXPECT_FALSE(session.link.isOpen());
    EXPECT_FALSE(view.enabled(Button::Recibir));
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

TEST(WorkFolder, HomePathWinsOverTheHomeFolderWhateverItsLength)
{
    const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('a'));
    EXPECT_EQ(workFolderPath(longPath, QStringLiteral("/home/x")), longPath + QStringLiteral("/QORVConfig"));
}

TEST(WorkFolder, HomePathCountsOnlyOnWindows)
{
    const QByteArray saved = qgetenv("HOMEPATH");
    qputenv("HOMEPATH", "\\Users\\bob");
#ifdef Q_OS_WIN
    EXPECT_EQ(homePathVariable(), QStringLiteral("\\Users\\bob"));
#else
    EXPECT_TRUE(homePathVariable().isEmpty()) << "elsewhere the work folder is ~/QORVConfig";
    EXPECT_EQ(workFolderPath(homePathVariable(), QStringLiteral("/home/bob")), QStringLiteral("/home/bob/QORVConfig"));
#endif
    qputenv("HOMEPATH", saved);
}

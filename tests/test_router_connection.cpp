// How the link to the router is kept, on the clock: looked for again while the
// router restarts, given up after its patience, and, while watched, a router
// pulled out or plugged in noticed once, at the plug-check interval.
#include "core/router_connection.h"
#include "link/clock.h"
#include "sim/sim_router.h"

#include <gtest/gtest.h>

#include <optional>

namespace {
class RouterConnectionTest : public ::testing::Test {
protected:
    // Runs the connection's reconnect looks for `ms`, a millisecond at a time,
    // until one of them ends it; the answer and when it came.
    std::pair<std::optional<bool>, std::uint32_t> retryFor(std::uint32_t ms)
    {
        const std::uint32_t start = clock.now();
        while (clock.now() - start <= ms) {
            if (const std::optional<bool> opened = connection.retryReconnect())
                return {opened, clock.now() - start};
            clock.advance(1);
        }
        return {std::nullopt, ms};
    }

    SimRouter router{SimRouter::Mode::Routes};
    SimBackend backend{router};
    FakeClock clock{100};
    RouterConnection connection{backend, clock};
};
} // namespace

TEST_F(RouterConnectionTest, AfterARestartTheRouterIsLookedForUntilItsPatienceRunsOut)
{
    ASSERT_TRUE(connection.link().open());
    EXPECT_TRUE(connection.reopenAfterRestart()) << "a router back at once is opened at once";
    EXPECT_FALSE(connection.reconnecting());

    // Back after 1.1 s: found at the first look after that, a reconnect interval apart.
    router.unplug();
    EXPECT_FALSE(connection.reopenAfterRestart());
    EXPECT_FALSE(connection.isOpen());
    EXPECT_TRUE(connection.reconnecting());
    EXPECT_EQ(retryFor(1099).first, std::nullopt);
    router.plugIn();
    const auto [opened, after] = retryFor(RouterConnection::kReconnectInterval);
    EXPECT_EQ(opened, std::optional<bool>(true));
    EXPECT_LE(after, RouterConnection::kReconnectInterval);
    EXPECT_TRUE(connection.isOpen());
    EXPECT_FALSE(connection.reconnecting());

    // Never back: given up once the patience has passed, and not before.
    router.unplug();
    EXPECT_FALSE(connection.reopenAfterRestart());
    const auto [gaveUp, when] = retryFor(2 * RouterConnection::kReconnectPatience);
    EXPECT_EQ(gaveUp, std::optional<bool>(false));
    EXPECT_GE(when, RouterConnection::kReconnectPatience);
    EXPECT_LT(when, RouterConnection::kReconnectPatience + RouterConnection::kReconnectInterval);
    EXPECT_FALSE(connection.reconnecting());
    EXPECT_FALSE(connection.isOpen());
}

TEST_F(RouterConnectionTest, APlugChangeIsNoticedOnce)
{
    ASSERT_TRUE(connection.link().open());
    EXPECT_EQ(connection.look(), RouterConnection::Plug::Nothing) << "open and well";

    // A failed write during a tick: that tick's look reports it, once.
    router.unplug();
    connection.markLost();
    EXPECT_EQ(connection.look(), RouterConnection::Plug::PulledOut);
    EXPECT_FALSE(connection.isOpen());
    connection.endTick();
    EXPECT_EQ(connection.look(), RouterConnection::Plug::Nothing);

    // Plugged in again: seen at the next plug check, not before.
    router.plugIn();
    clock.advance(RouterConnection::kPlugCheckInterval - 1);
    EXPECT_EQ(connection.look(), RouterConnection::Plug::Nothing);
    clock.advance(1);
    EXPECT_EQ(connection.look(), RouterConnection::Plug::PluggedIn);
    EXPECT_FALSE(connection.isOpen()) << "opening is the caller's to decide";

    // A failure that was not this tick's is forgotten.
    ASSERT_TRUE(connection.link().open());
    connection.markLost();
    connection.endTick();
    EXPECT_EQ(connection.look(), RouterConnection::Plug::Nothing);
}

// What a proven receive and a proven send cost in wall time against a router
// that takes a given time for each reply, next to what one unproven read (66
// requests of 63 bytes) and one unproven send (128 blocks) would take at that
// latency. The time is the simulated router's clock, so it holds on any
// machine; at 0 ms a reply the requests on the wire are the cost.
#include "config/config_exchange.h"
#include "link/clock.h"
#include "link/device_link.h"
#include "sim/sim_router.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {
constexpr double kOneRead = 66;    // requests of a read that proves nothing
constexpr double kOneSend = 128;   // blocks of a send that reads nothing back

enum Fault { Honest, StrayCopy, StrayThenLost, EveryReplyTwice };

struct Rig {
    explicit Rig(std::uint32_t latency)
    {
        router.image = largestConfiguration();
        router.clock = &clock;
        router.wait = [this](std::uint32_t ms) { clock.advance(ms); };
        router.faults.replyDelayMs = latency;
        link.open();
    }
    SimRouter router;
    FakeClock clock;
    SimBackend backend{router};
    DeviceLink link{backend};
    ConfigExchange exchange{link, clock};
    std::array<std::uint8_t, kImageSize> image{};
};

void report(benchmark::State& state, double requests, double ms, double latency, double reference)
{
    state.counters["requests"] = requests;
    state.counters["sim_ms"] = ms;
    state.counters["x_unproven"] = latency > 0 ? ms / (reference * latency) : requests / reference;
}

void receive(benchmark::State& state)
{
    const auto latency = static_cast<std::uint32_t>(state.range(0));
    const auto fault = static_cast<Fault>(state.range(1));
    Rig rig(latency);
    double requests = 0, ms = 0;
    int reads = 0;
    for (auto _ : state) {
        rig.clock.advance(5000);
        rig.link.read(rig.image.data(), rig.image.size(), 5000);
        rig.router.faults.strayCopyOf = fault == StrayCopy || fault == StrayThenLost ? rig.router.routesReplies() + 20 : -1;
        rig.router.faults.strayLagMs = 1;
        rig.router.faults.loseReply = fault == StrayThenLost ? rig.router.routesReplies() + 40 : -1;
        rig.router.faults.duplicateAfterMs = fault == EveryReplyTwice ? 1 : 0;
        const std::size_t before = rig.router.written.size();
        const std::uint32_t start = rig.clock.now();
        if (!rig.exchange.receiveImage(rig.image.data())
            || std::memcmp(rig.image.data(), rig.router.image.rawBytes(), kImageSize) != 0)
            state.SkipWithError("the receive failed");
        ms = rig.clock.now() - start;
        requests = static_cast<double>(rig.router.written.size() - before);
        reads = rig.exchange.imageReads();
        state.SetIterationTime(ms / 1000.0);
    }
    report(state, requests, ms, latency, kOneRead);
    state.counters["image_reads"] = reads;
}

void send(benchmark::State& state)
{
    const auto latency = static_cast<std::uint32_t>(state.range(0));
    Rig rig(latency);
    double requests = 0, ms = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < kImageSize; ++i)
            rig.image[i] = static_cast<std::uint8_t>(i * 5 + rig.router.written.size());
        const std::size_t before = rig.router.written.size();
        const std::uint32_t start = rig.clock.now();
        if (!rig.exchange.sendImage(rig.image.data()))
            state.SkipWithError("the send failed");
        ms = rig.clock.now() - start;
        requests = static_cast<double>(rig.router.written.size() - before);
        state.SetIterationTime(ms / 1000.0);
    }
    report(state, requests, ms, latency, kOneSend);
}
} // namespace

BENCHMARK(receive)
    ->ArgNames({"ms_per_reply", "fault"})
    ->ArgsProduct({{0, 2, 20, 150}, {Honest, StrayCopy, StrayThenLost, EveryReplyTwice}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// No step in time at any latency up to the latest reply a router may send.
BENCHMARK(receive)
    ->ArgNames({"ms_per_reply", "fault"})
    ->ArgsProduct({{50, 90, 99, 100, 101, 110, 200, 400, 600, 800, 990, 1000}, {Honest}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK(send)
    ->ArgNames({"ms_per_reply"})
    ->ArgsProduct({{0, 2, 20, 150}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

BENCHMARK_MAIN();

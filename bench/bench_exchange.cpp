// What reading the configuration costs in wall time against a router that takes
// 0, 2 or 20 ms for each reply: once from an honest router, and with the second
// read that confirms a receive in doubt (a stray report waiting before the first
// request). The time is the simulated router's clock, so it holds on any machine.
#include "config/config_exchange.h"
#include "link/clock.h"
#include "link/device_link.h"
#include "sim/sim_router.h"

#include <benchmark/benchmark.h>

namespace {
void receive(benchmark::State& state)
{
    const auto latency = static_cast<std::uint32_t>(state.range(0));
    const bool inDoubt = state.range(1) != 0;
    SimRouter router;
    FakeClock clock;
    router.clock = &clock;
    router.wait = [&](std::uint32_t ms) { clock.advance(ms); };
    router.faults.replyDelayMs = latency;
    SimBackend backend(router);
    DeviceLink link(backend);
    link.open();
    ConfigExchange exchange(link, clock);
    std::array<std::uint8_t, kImageSize> image{};
    int reads = 0;
    for (auto _ : state) {
        if (inDoubt) {
            router.pushReport({0x03, 0xAA, 0x55, 0xAA});
            clock.advance(latency);  // it waits when the receive begins
        }
        const std::uint32_t start = clock.now();
        if (!exchange.receiveImage(image.data()))
            state.SkipWithError("the receive failed");
        state.SetIterationTime((clock.now() - start) / 1000.0);
        reads = exchange.imageReads();
    }
    state.counters["image reads"] = reads;
}
} // namespace

BENCHMARK(receive)
    ->ArgNames({"ms_per_reply", "confirmed"})
    ->ArgsProduct({{0, 2, 20}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();

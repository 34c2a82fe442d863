// A firmware file that fills the whole 128 KiB program flash with 16-byte records:
// the image build, its CRC, and a complete update through the tick.
#include "core/session.h"
#include "firmware/hex_manager.h"
#include "link/clock.h"
#include "link/crc16.h"
#include "sim/sim_router.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <numeric>
#include <string>

namespace {
std::string record(std::uint8_t type, std::uint16_t address, const std::uint8_t* data, std::size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::uint8_t sum = static_cast<std::uint8_t>(n + (address >> 8) + address + type);
    std::string line = ":";
    auto put = [&](std::uint8_t b) {
        line += digits[b >> 4];
        line += digits[b & 15];
    };
    put(static_cast<std::uint8_t>(n));
    put(static_cast<std::uint8_t>(address >> 8));
    put(static_cast<std::uint8_t>(address));
    put(type);
    for (std::size_t i = 0; i < n; ++i) {
        put(data[i]);
        sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    put(static_cast<std::uint8_t>(-sum));
    return line + "\r\n";
}

const QString& firmwarePath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        std::string text = "QORV-Marbeno Soft\r\n";
        const std::uint8_t upper[2] = {0x1D, 0x00};
        text += record(4, 0, upper, 2);
        std::uint8_t data[16];
        for (std::uint32_t offset = 0x1000; offset < 0x20000; offset += 16) {
            if (offset % 0x10000 == 0) {
                const std::uint8_t next[2] = {0x1D, static_cast<std::uint8_t>(offset >> 16)};
                text += record(4, 0, next, 2);
            }
            for (int i = 0; i < 16; ++i)
                data[i] = static_cast<std::uint8_t>(offset * 7 + i);
            text += record(0, static_cast<std::uint16_t>(offset), data, 16);
        }
        text += record(1, 0, nullptr, 0);
        const QString file = dir.filePath(QStringLiteral("full.hex"));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(text.data(), static_cast<qint64>(text.size()));
        return file;
    }();
    return path;
}

std::filesystem::path fsPath(const QString& path) { return std::filesystem::path(path.toStdU16String()); }

void BM_BuildImage(benchmark::State& state)
{
    CHexManager hex;
    hex.OpenHexFile(fsPath(firmwarePath()));
    ImageRange range;
    for (auto _ : state) {
        hex.BuildImage(range);
        benchmark::DoNotOptimize(range);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * range.length);
}
BENCHMARK(BM_BuildImage)->Unit(benchmark::kMillisecond);

void BM_Crc16WholeFlashImage(benchmark::State& state)
{
    std::vector<std::uint8_t> image(kFlashImageSize, 0x5A);
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc16(image.data(), image.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFlashImageSize);
}
BENCHMARK(BM_Crc16WholeFlashImage)->Unit(benchmark::kMicrosecond);

// A plain pass over the same bytes, to compare the two above with.
void BM_PlainPassOverFlashImage(benchmark::State& state)
{
    std::vector<std::uint8_t> image(kFlashImageSize, 0x5A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(image.data());
        benchmark::DoNotOptimize(std::accumulate(image.begin(), image.end(), 0u));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFlashImageSize);
}
BENCHMARK(BM_PlainPassOverFlashImage)->Unit(benchmark::kMicrosecond);

class NullView final : public SessionView {
public:
    void logMessage(const LogMessage& m) override
    {
        last = m.id;
        updated = updated || m.id == Msg::Updated;
        verified = verified || m.id == Msg::VerifyComplete;
    }
    void statusChanged(const RouterStatus&) override {}
    void showError(const LogMessage&) override {}
    Msg last = Msg::Offline;
    bool updated = false;
    bool verified = false;
};

// Ticks from "Update" to "QORV updated" against the zero-latency simulated router.
void reportUpdateTicks()
{
    QTemporaryDir folder;
    SimRouter router(SimRouter::Mode::Update);
    SimBackend backend(router);
    FakeClock clock;
    NullView view;
    Session session(backend, clock, view);
    session.preferences().useWorkFolder(folder.path());
    session.connect();
    for (int i = 0; i < 3; ++i)
        session.tick();
    const std::filesystem::path file = fsPath(firmwarePath());
    session.chooseFirmware(&file, firmwarePath());
    session.update().startUpdate();
    long ticks = 0;
    std::size_t programPackets = 0;
    long programmingTicks = 0;
    while (!view.updated && ticks < 1000000) {
        const bool programming = !router.programRecords.empty() && view.last == Msg::SendingFirmware;
        session.tick();
        clock.advance(1);
        ++ticks;
        if (programming)
            ++programmingTicks;
        programPackets = router.programRecords.size();
    }
    std::printf("complete update of %zu Program packets: %ld ticks from Update to QORV updated, "
                "%.2f ticks per Program packet, flash %s\n",
                programPackets, ticks, programPackets ? double(programmingTicks) / programPackets : 0.0,
                view.verified && view.updated ? "verified and started" : "NOT finished");
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    reportUpdateTicks();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

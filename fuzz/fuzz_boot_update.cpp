// The bootloader transport and a whole update: the fuzzer's bytes arrive as
// 64-byte input reports among the simulated router's own replies while the tick
// runs. The Jump may go out only over a flash that equals the image in the
// verified range, and every update ends.
#include "core/session.h"
#include "fuzz_support.h"
#include "hex_helpers.h"
#include "link/clock.h"
#include "sim/sim_router.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {
class SilentView final : public SessionView {
public:
    void logMessage(const LogMessage& message) override { sawUpdated = sawUpdated || message.id == Msg::Updated; }
    void statusChanged(const RouterStatus&) override {}
    void showError(const LogMessage&) override {}
    bool sawUpdated = false;
};

// A small firmware, written once for the whole run.
const std::filesystem::path& firmwareFile()
{
    static QTemporaryDir dir;
    static const std::filesystem::path path = [] {
        std::vector<std::string> lines = {linearRecord(0x1D00)};
        for (int i = 0; i < 24; ++i)
            lines.push_back(hexRecord(0, static_cast<std::uint16_t>(0x1000 + 16 * i), ramp(16, static_cast<std::uint8_t>(16 * i))));
        lines.push_back(hexRecord(1, 0, {}));
        return fsPath(writeFirmware(dir, QStringLiteral("fw.hex"), lines));
    }();
    return path;
}

// The file's image, built once by a reader of its own.
struct Reference {
    ImageRange range;
    std::vector<std::uint8_t> flash;
};
const Reference& reference()
{
    static const Reference built = [] {
        Reference r;
        CHexManager hex;
        hex.OpenHexFile(firmwareFile());
        hex.BuildImage(r.range);
        r.flash.assign(hex.flashImage(), hex.flashImage() + kFlashImageSize);
        return r;
    }();
    return built;
}

constexpr int kTickLimit = 40000;       // ticks of 10 ms: longer than any update with its retries
constexpr std::uint32_t kTickMilliseconds = 10;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte spaces the injected reports; the rest are their bytes.
    const int every = 1 + data[0] % 16;
    std::vector<std::vector<std::uint8_t>> reports;
    for (std::size_t at = 1; at < size; at += kReportDataSize)
        reports.emplace_back(data + at, data + std::min(size, at + kReportDataSize));

    SimRouter router(SimRouter::Mode::Update);
    SimBackend backend(router);
    FakeClock clock;
    SilentView view;
    Session session(backend, clock, view);
    bool jumped = false;
    router.onJump = [&] {
        // Judged against the file as a reader of its own builds it.
        const ImageRange& range = reference().range;
        FUZZ_CHECK(range.length > 0);
        FUZZ_CHECK(std::equal(router.flash.begin() + range.start, router.flash.begin() + range.start + range.length,
                              reference().flash.begin() + range.start));
        jumped = true;
    };

    session.connect();
    for (int i = 0; i < 5; ++i) {
        session.tick();
        clock.advance(kTickMilliseconds);
    }
    const std::filesystem::path& file = firmwareFile();
    session.chooseFirmware(&file, QString());
    session.update().startUpdate();

    std::size_t next = 0;
    int ticks = 0;
    for (; ticks < kTickLimit; ++ticks) {
        if (next < reports.size() && ticks % every == 0)
            router.pushReport(reports[next++]);
        session.tick();
        clock.advance(kTickMilliseconds);
        const bool running = session.mode() != SessionMode::Idle || session.status().updateRunning || session.status().reconnecting;
        if (!running && next >= reports.size())
            break;
    }
    FUZZ_CHECK(ticks < kTickLimit);  // every update ends: success, failure or stop
    FUZZ_CHECK(!jumped || view.sawUpdated);
    return 0;
}

// A firmware file as bytes: the check made when a file is chosen, its records,
// the image build, the Verify range and every Program packet an update would send.
#include "firmware/hex_manager.h"
#include "fuzz_support.h"
#include "link/boot_loader.h"
#include "link/clock.h"
#include "link/crc16.h"
#include "link/device_link.h"

#include <vector>

#include <array>
#include <cstdint>
#include <string>

namespace {
struct Listener : BootListener, BootReplyHandler {
    void routesModeSeen() override {}
    void HandleBootReply(BootCommand code, const std::uint8_t*, std::size_t) override
    {
        recordsUsedUp = code == BootCommand::Program;
    }
    bool recordsUsedUp = false;
};

// Where a data record's bytes belong, worked out again here from the Intel HEX
// rules rather than taken from the code under test.
struct Oracle {
    std::uint32_t segment = 0, linear = 0, outside = 0;
    bool inside(std::uint32_t offset, std::uint32_t count) const
    {
        return offset >= kFirstImageOffset && static_cast<std::uint64_t>(offset) + count <= kFlashImageSize;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzNullBackend backend;
    static DeviceLink link(backend);
    static FakeClock clock;
    static Listener listener;
    static CHexManager hex;
    static CBootLoader boot(link, clock, listener, hex, &listener);

    if (!hex.OpenHexData(std::string(reinterpret_cast<const char*>(data), size)))
        return 0;
    const FirmwareCheck check = hex.Check();
    if (!check.ok())
        return 0;  // refused: the window and qorvctl send nothing for it

    // Every data byte the packets carry lies in the verified range or is counted outside it.
    FUZZ_CHECK(check.range.length > 0);
    FUZZ_CHECK(check.range.start % 4 == 0 && check.range.length % 4 == 0);
    FUZZ_CHECK(static_cast<std::uint64_t>(check.range.start) + check.range.length <= kFlashImageSize);
    Oracle oracle;
    // The router's flash as a correct router programs it: every byte at its
    // physical address, where there is flash, the last write winning.
    static std::vector<std::uint8_t> routerFlash(kFlashImageSize);
    std::fill(routerFlash.begin(), routerFlash.end(), 0xFF);
    std::array<std::uint8_t, kMaxRecordBytes> record{};
    std::uint32_t records = 0;
    FUZZ_CHECK(hex.Rewind());
    while (const std::uint16_t n = hex.ReadRecord(record.data(), record.size())) {
        ++records;
        FUZZ_CHECK(n >= 5 && n == record[0] + 5u);
        const std::uint8_t type = record[3];
        if (type == 0) {
            const std::uint32_t address = (record[1] << 8 | record[2]) + oracle.linear + oracle.segment;
            const std::uint32_t offset = address >= kBootFlashBase ? address - kBootFlashBase + kBootFlashImageOffset
                                                                   : address - kProgramFlashBase;
            if (oracle.inside(offset, record[0]))
                FUZZ_CHECK(offset >= check.range.start && offset + record[0] <= check.range.start + check.range.length);
            else
                oracle.outside += record[0];
            for (std::uint32_t i = 0; i < record[0]; ++i) {
                const std::uint64_t at = static_cast<std::uint64_t>(address) + i;
                std::int64_t physical = -1;
                if (at >= 0x1D000000u && at < 0x1D020000u)
                    physical = static_cast<std::int64_t>(at - 0x1D000000u);
                else if (at >= 0x1FC00000u && at < 0x1FC00C00u)
                    physical = static_cast<std::int64_t>(at - 0x1FC00000u + 0x20000u);
                if (physical < 0)
                    continue;
                routerFlash[static_cast<std::size_t>(physical)] = record[4 + i];
                // Every byte programmed past the first 4 KiB is one that Verify checks.
                if (physical >= 0x1000)
                    FUZZ_CHECK(physical >= check.range.start && physical < check.range.start + check.range.length);
            }
        } else if (type == 2) {
            oracle.segment = 16u * (record[4] * 256u + record[5]);
            oracle.linear = 0;
        } else if (type == 4) {
            oracle.linear = static_cast<std::uint32_t>(record[4]) << 24 | static_cast<std::uint32_t>(record[5]) << 16;
            oracle.segment = 0;
        } else {
            oracle.segment = oracle.linear = 0;
        }
    }
    FUZZ_CHECK(records == check.records);
    FUZZ_CHECK(oracle.outside == check.range.outsideBytes);
    // A file the check accepts verifies on a correct router.
    FUZZ_CHECK(Crc16(routerFlash.data() + check.range.start, check.range.length) == check.range.crc);

    // The packets of a programming run: each fits its buffers, together they carry every record.
    listener.recordsUsedUp = false;
    FUZZ_CHECK(boot.SendCommand(3, 3, 500));
    static const std::uint8_t kProgramAck[] = {0x01, 0x03, 0x63, 0x30, 0x04};  // code 3 and its CRC
    for (int packets = 0; !listener.recordsUsedUp; ++packets) {
        FUZZ_CHECK(packets <= static_cast<int>(records));
        FUZZ_CHECK(boot.transmitLength() <= CBootLoader::kBufferSize);
        boot.FeedReceiver(kProgramAck, sizeof kProgramAck);
        boot.DispatchReply();
    }
    FUZZ_CHECK(boot.programmedRecords() == records);
    return 0;
}

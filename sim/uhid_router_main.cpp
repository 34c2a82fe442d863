// The simulated router as a kernel HID device: created through Linux's uhid
// driver, it shows up as a /dev/hidraw node that the shipped programs open
// through the system's hidapi, exactly as they open a real router. The router
// logic is the in-process SimRouter; this program only carries its reports
// between the kernel and it. Linux only, by nature.
#include "config/config_image.h"
#include "link/clock.h"
#include "link/hid_port.h"
#include "sim/sim_router.h"

#include <linux/uhid.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: qorv-uhid-router [OPTION]...\n"
    "Creates the simulated QORV router (vendor 04D8, product EFF6) as a HID device\n"
    "through /dev/uhid and answers for it until SIGTERM or SIGINT.\n"
    "  --mode routes|update     the firmware running (routes)\n"
    "  --image FILE.qorv        the configuration it holds (the sample configuration)\n"
    "  --save FILE.qorv         where to write the configuration it holds on exit\n"
    "  --save-flash FILE        where to write its flash image on exit\n"
    "  --no-reply               answers nothing\n"
    "  --reply-delay-ms N       every reply comes N ms after its request\n"
    "  --wrong-ack              write acknowledgements name the wrong offset\n"
    "  --unplug-after N         leaves USB right after N more replies\n"
    "  --replug-after-ms N      ... and comes back N ms later\n"
    "  --restart-ms N           after the Jump it is away from USB for N ms (2000)\n"
    "Each time the device appears or goes, a line on standard output says so.\n";

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

// Vendor-defined, one 64-byte input and one 64-byte output report, no report IDs:
// what the router's firmware and bootloader both declare.
const std::uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF,  // usage page: vendor defined
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection: application
    0x15, 0x00,        //   logical minimum 0
    0x26, 0xFF, 0x00,  //   logical maximum 255
    0x75, 0x08,        //   report size: 8 bits
    0x95, 0x40,        //   report count: 64
    0x09, 0x01,        //   usage 1
    0x81, 0x02,        //   input: data, variable, absolute
    0x95, 0x40,        //   report count: 64
    0x09, 0x01,        //   usage 1
    0x91, 0x02,        //   output: data, variable, absolute
    0xC0,              // end collection
};

bool send(int fd, const uhid_event& event)
{
    const ssize_t n = ::write(fd, &event, sizeof event);
    if (n != static_cast<ssize_t>(sizeof event)) {
        std::fprintf(stderr, "qorv-uhid-router: writing to /dev/uhid failed: %s\n", std::strerror(errno));
        return false;
    }
    return true;
}

bool createDevice(int fd)
{
    uhid_event event{};
    event.type = UHID_CREATE2;
    std::snprintf(reinterpret_cast<char*>(event.u.create2.name), sizeof event.u.create2.name, "QORV USB MIDI router");
    std::snprintf(reinterpret_cast<char*>(event.u.create2.phys), sizeof event.u.create2.phys, "qorv-uhid-router");
    event.u.create2.rd_size = sizeof kReportDescriptor;
    event.u.create2.bus = 0x03;  // USB
    event.u.create2.vendor = kRouterVendorId;
    event.u.create2.product = kRouterProductId;
    std::memcpy(event.u.create2.rd_data, kReportDescriptor, sizeof kReportDescriptor);
    return send(fd, event);
}

bool destroyDevice(int fd)
{
    uhid_event event{};
    event.type = UHID_DESTROY;
    return send(fd, event);
}

bool sendInput(int fd, const std::uint8_t* data, std::size_t length)
{
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size = static_cast<std::uint16_t>(kReportDataSize);
    std::memcpy(event.u.input2.data, data, std::min(length, kReportDataSize));
    return send(fd, event);
}

bool readWhole(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void writeWhole(const std::string& path, const std::uint8_t* bytes, std::size_t length)
{
    if (path.empty())
        return;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(length));
    if (!out)
        std::fprintf(stderr, "qorv-uhid-router: could not write %s\n", path.c_str());
}

struct Options {
    SimRouter::Mode mode = SimRouter::Mode::Routes;
    std::string image;
    std::string save;
    std::string saveFlash;
    long replugAfterMs = -1;
    SimFaults faults;
    std::uint32_t restartMs = 2000;
};

bool number(const char* text, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= 0 && value <= 100000000;
}

// Returns 0 when the options were read, else the exit code.
int parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        long value = 0;
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (option == "--no-reply") {
            options.faults.noReply = true;
        } else if (option == "--wrong-ack") {
            options.faults.ackOffBy = 32;
        } else if (option == "--mode" && hasValue) {
            const std::string mode = argv[++i];
            if (mode != "routes" && mode != "update")
                return 2;
            options.mode = mode == "routes" ? SimRouter::Mode::Routes : SimRouter::Mode::Update;
        } else if (option == "--image" && hasValue) {
            options.image = argv[++i];
        } else if (option == "--save" && hasValue) {
            options.save = argv[++i];
        } else if (option == "--save-flash" && hasValue) {
            options.saveFlash = argv[++i];
        } else if (hasValue && number(argv[i + 1], value)
                   && (option == "--reply-delay-ms" || option == "--unplug-after"
                       || option == "--replug-after-ms" || option == "--restart-ms")) {
            ++i;
            if (option == "--reply-delay-ms")
                options.faults.replyDelayMs = static_cast<std::uint32_t>(value);
            else if (option == "--unplug-after")
                options.faults.unplugAfter = static_cast<int>(value);
            else if (option == "--replug-after-ms")
                options.replugAfterMs = value;
            else
                options.restartMs = static_cast<std::uint32_t>(value);
        } else {
            return 2;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const int parsed = parse(argc, argv, options); parsed != 0) {
        if (parsed > 0)
            std::fputs(kUsage, stderr);
        return parsed > 0 ? parsed : 0;
    }

    SteadyClock clock;
    SimRouter router(options.mode);
    router.clock = &clock;
    router.restartMilliseconds = options.restartMs;
    router.faults = options.faults;
    if (!options.image.empty()) {
        std::vector<std::uint8_t> bytes;
        if (!readWhole(options.image, bytes) || bytes.size() != kImageSize) {
            std::fprintf(stderr, "qorv-uhid-router: %s is not a %zu-byte configuration\n", options.image.c_str(), kImageSize);
            return 2;
        }
        std::copy(bytes.begin(), bytes.end(), router.image.rawBytes());
    }

    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "qorv-uhid-router: cannot open /dev/uhid: %s (load the uhid module; needs root)\n",
                     std::strerror(errno));
        return 1;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // The kernel device stands for one connection of the router: it is
    // destroyed when the router leaves USB (unplug, restart after the Jump) and
    // created anew, under a new node, when it comes back.
    bool present = false;
    unsigned generation = 0;
    std::uint32_t unpluggedAt = 0;
    int status = 0;
    while (!stopRequested) {
        const bool wanted = router.pluggedIn();
        if (present && (!wanted || router.generation() != generation)) {
            if (!destroyDevice(fd)) {
                status = 1;
                break;
            }
            present = false;
            unpluggedAt = clock.now();
            std::printf("gone\n");
        }
        if (!present && wanted) {
            if (!createDevice(fd)) {
                status = 1;
                break;
            }
            present = true;
            generation = router.generation();
            std::printf("plugged in (%s mode)\n", router.mode == SimRouter::Mode::Update ? "update" : "routes");
        }
        if (!present && !wanted && options.replugAfterMs >= 0 && router.mode != SimRouter::Mode::Absent
            && clock.now() - unpluggedAt >= static_cast<std::uint32_t>(options.replugAfterMs)) {
            router.faults.unplugAfter = -1;
            router.plugIn();
        }

        // Replies waiting for their time are looked at every millisecond; otherwise
        // (idle, or away from USB until a restart or re-plug is due) 20 ms will do.
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, present && router.pendingReports() > 0 ? 1 : 20);
        if (ready < 0 && errno != EINTR) {
            std::perror("qorv-uhid-router: poll");
            status = 1;
            break;
        }
        if (ready > 0) {
            uhid_event event{};
            const ssize_t n = ::read(fd, &event, sizeof event);
            if (n < 0 && errno != EINTR && errno != EAGAIN) {
                std::perror("qorv-uhid-router: reading /dev/uhid");
                status = 1;
                break;
            }
            if (n > 0 && event.type == UHID_OUTPUT && present) {
                // hidraw hands over the whole write, the report ID (0) first.
                std::uint8_t report[kReportSize] = {};
                std::memcpy(report, event.u.output.data, std::min<std::size_t>(event.u.output.size, kReportSize));
                router.write(generation, report);
            }
        }
        std::uint8_t reply[kReportDataSize];
        while (present) {
            const int got = router.read(generation, reply, sizeof reply);
            if (got <= 0)
                break;
            if (!sendInput(fd, reply, static_cast<std::size_t>(got))) {
                status = 1;
                break;
            }
        }
    }
    if (present)
        destroyDevice(fd);
    ::close(fd);
    writeWhole(options.save, router.image.rawBytes(), kImageSize);
    writeWhole(options.saveFlash, router.flash.data(), router.flash.size());
    return status;
}

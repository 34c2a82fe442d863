#pragma once
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

class HidBackend;
class MillisecondClock;
class Trace;

// Exit codes of qorvctl.
enum ExitCode : int {
    kExitOk = 0,
    kExitDifferent = 1,     // diff: the files differ
    kExitUsage = 2,
    kExitFile = 3,          // a file cannot be read or written, or is refused
    kExitNoRouter = 4,      // no router, or it cannot be opened
    kExitWrongMode = 5,     // the router runs the other firmware
    kExitNoAnswer = 6,      // the router stopped answering; retries ran out
    kExitVerifyFailed = 7,  // the flash did not verify; the new firmware was not started
    kExitNotBack = 8,       // updated and started, but the router did not come back on USB
    kExitNotKept = 9,       // send: read back, the router does not hold what was sent
};

// Where the commands that talk to the router get the router, the time and the terminal.
struct RouterAccess {
    HidBackend* backend = nullptr;
    MillisecondClock* clock = nullptr;
    Trace* trace = nullptr;
    std::function<void()> pause;      // waits about one millisecond
    std::FILE* in = stdin;            // `send -` reads the configuration from here
    std::FILE* out = stdout;          // `receive -` writes it here
    std::FILE* err = stderr;
    bool terminal = false;            // progress as a redrawn bar instead of plain lines
    QString simulated;                // the QORV_SIMULATE value in use, if any
};

// Where an edit command finds the configuration and puts it back: a file, or
// the router itself (received and sent, both proven).
struct EditTarget {
    QString path;
    bool router = false;
};

namespace Commands {
int show(const QString& path, bool json, std::FILE* out, std::FILE* err);
int diff(const QString& first, const QString& second, std::FILE* out, std::FILE* err);
int hexInfo(const QString& path, bool json, std::FILE* out, std::FILE* err);
// PATH "-" is standard output for receive, standard input for send.
int receive(const QString& path, const RouterAccess& access);
int send(const QString& path, const RouterAccess& access);
int update(const QString& path, const RouterAccess& access);
int doctor(const RouterAccess& access);
// Switches routes named as `show` prints them: each pair a source and a destination.
int route(const EditTarget& target, bool on, const QStringList& names, const RouterAccess& access);
// Removes a device, by name or by its slot ("#0"), with its routes.
int remove(const EditTarget& target, const QString& device, const RouterAccess& access);
// Builds a configuration file from the JSON that show --json prints.
int import(const QString& json, const QString& path, std::FILE* out, std::FILE* err);
// The names a configuration gives its sources, destinations or devices, one a
// line (for shell completion).
int names(const QString& path, const QString& kind, std::FILE* out, std::FILE* err);
} // namespace Commands

#pragma once
#include <QString>

#include <cstdint>
#include <utility>

// What the next tick must act on.
enum class SessionMode : std::uint8_t { Idle = 0, RoutesModeSeen = 1, UpdateProgress = 2, CopyProgress = 3 };

enum class UiLanguage : int { Spanish = 0, English = 1 };

// The four buttons whose state the session switches; the others are always enabled.
enum class Button { Recibir, Enviar, HexFile, Todo };

// Every message the program writes, by meaning. The texts of both languages live
// in one table of the user interface and are chosen when a message is written.
enum class Msg {
    Connected,
    Offline,
    RoutesMode,
    Updated,
    ConfigReceived,
    ConfigSent,
    UpdateMode,        // a = major, b = minor
    HexFileAccepted,   // text = file name
    HexFileRefused,    // text = file name
    Erasing,
    Erased,
    SendingFirmware,
    FirmwareSent,
    Verifying,
    CrcLine,           // a = the router's CRC, b = the tool's CRC
    VerifyComplete,
    Copying,
    VerifyFailed,
    UnableToSave,      // text = file name
    UnableToWrite,     // text = settings file name; shown in the error box
    FirmwareProblem,   // a = FirmwareProblem, b = line (0: none); follows HexFileRefused
    UpdateStopped,     // a = UpdateStop
    RouteTableFull,
};

// Why a running update ended before its Verify.
enum class UpdateStop : int {
    NoAnswer = 0,   // a command ran out of attempts
    NoRecord = 1,   // no Program packet could be built after the Erase
};

struct LogMessage {
    LogMessage(Msg message, int first = 0, int second = 0, QString name = {})
        : id(message), a(first), b(second), text(std::move(name)) {}
    LogMessage(Msg message, QString name) : LogMessage(message, 0, 0, std::move(name)) {}

    Msg id;
    int a;
    int b;
    QString text;
};

// What the session needs from whoever shows it: the window, or a console.
class SessionView {
public:
    virtual ~SessionView() = default;
    // Adds a new last line to the log, in the language current at this moment.
    virtual void appendLog(const LogMessage& message) = 0;
    // Adds text at the log's caret, with no line break.
    virtual void insertLogText(const QString& text) = 0;
    virtual void setButtonEnabled(Button button, bool enabled) = 0;
    // Refills both grids from the configuration image.
    virtual void rebuildGrids() = 0;
    // A failure the user must acknowledge (the error box).
    virtual void showError(const LogMessage& message) = 0;
    // A bootloader command (1 to 4) got no good reply within its attempts. The
    // window says nothing about it; a console reports it.
    virtual void commandGaveUp(std::uint8_t /*command*/) {}
    // The session has work for the tick again (see Session::needsFastTick).
    virtual void tickNeeded() {}
};

// The state the session loop shares with the update sequence.
struct SessionState {
    SessionMode mode = SessionMode::Idle;
    std::int32_t progressDelay = 25;
    std::int32_t copyCountdown = 0;
};

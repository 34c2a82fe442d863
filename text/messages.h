#pragma once
#include "firmware/firmware_check.h"
#include "firmware/update_types.h"

#include <QString>

#include <cstdint>
#include <utility>

// The interface languages. The stored setting is the number: 0 Spanish, and any
// other value English.
enum class UiLanguage : int { Spanish = 0, English = 1 };

// Every message the program writes, by meaning. The texts of all languages live
// in one table (texts.cpp) and are chosen when a message is written.
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
    UnableToSave,      // text = file name, detail = the system's reason
    UnableToWrite,     // text = settings file name; shown in the error box
    FirmwareProblem,   // problem, b = line (0: none); follows HexFileRefused
    UpdateStopped,     // stop
    RouteTableFull,
    FlashLeftErased,     // after UpdateStopped, when the Erase had gone out
    FirmwareUntouched,   // after UpdateStopped, when it had not
    ConfigPartlyWritten, // after a send that did not finish
    ReceiveUnconfirmed,  // two reads of the configuration did not agree
    UnableToOpen,        // text = file name
    WrongConfigSize,     // text = file name, a = its size
    NoConfigAnswer,      // a receive or send got no reply at all
    QuietAfterProbe,     // ... from a router that answered when connected
    StoppedAnswering,    // a = image bytes moved before it went quiet
    StoppedWhileChecking,  // a = bytes read back before it went quiet
    WrongAck,            // a = the offset acknowledged, b = the block's offset
    BlocksNotKept,       // text = the blocks' offsets
    SendUnconfirmed,     // the read-backs of a send did not agree
};

// One message and what it mentions. A message without details is built from its
// Msg alone; each message that carries details has a constructor naming them.
struct LogMessage {
    LogMessage(Msg message) : id(message) {}  // NOLINT: a bare Msg is a whole message
    // HexFileAccepted, HexFileRefused, UnableToWrite, UnableToOpen.
    static LogMessage aboutFile(Msg message, QString file) { return {message, 0, 0, std::move(file)}; }
    static LogMessage updateMode(int major, int minor) { return {Msg::UpdateMode, major, minor}; }
    static LogMessage crcLine(int routerCrc, int toolCrc) { return {Msg::CrcLine, routerCrc, toolCrc}; }
    // `line` 0 when the problem belongs to no line.
    static LogMessage firmwareProblem(FirmwareProblem problem, int line)
    {
        LogMessage message{Msg::FirmwareProblem, 0, line};
        message.problem = problem;
        return message;
    }
    static LogMessage updateStopped(UpdateStop stop)
    {
        LogMessage message{Msg::UpdateStopped, 0, 0};
        message.stop = stop;
        return message;
    }
    static LogMessage wrongConfigSize(QString file, int size) { return {Msg::WrongConfigSize, size, 0, std::move(file)}; }
    static LogMessage unableToSave(QString file, QString reason)
    {
        LogMessage message{Msg::UnableToSave, 0, 0, std::move(file)};
        message.detail = std::move(reason);
        return message;
    }
    // `checking`: it went quiet while what it had been sent was read back.
    static LogMessage stoppedAnswering(bool checking, int bytes)
    {
        return {checking ? Msg::StoppedWhileChecking : Msg::StoppedAnswering, bytes, 0};
    }
    static LogMessage wrongAck(int acknowledged, int block) { return {Msg::WrongAck, acknowledged, block}; }
    static LogMessage blocksNotKept(QString offsets) { return {Msg::BlocksNotKept, 0, 0, std::move(offsets)}; }

    Msg id;
    // The details, by message as the constructors above name them: numbers,
    // names, and the update's own reasons.
    int a = 0;
    int b = 0;
    QString text;
    QString detail;
    FirmwareProblem problem = FirmwareProblem::None;
    UpdateStop stop = UpdateStop::NoAnswer;

private:
    LogMessage(Msg message, int first, int second, QString name = {})
        : id(message), a(first), b(second), text(std::move(name)) {}
};

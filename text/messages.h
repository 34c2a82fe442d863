#pragma once
#include <QString>

#include <cstdint>
#include <utility>

// The interface languages. The stored setting is the number: 0 Spanish, and any
// other value English.
enum class UiLanguage : int { Spanish = 0, English = 1 };
constexpr int kLanguageCount = 2;

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
    UnableToSave,      // text = file name
    UnableToWrite,     // text = settings file name; shown in the error box
    FirmwareProblem,   // a = FirmwareProblem, b = line (0: none); follows HexFileRefused
    UpdateStopped,     // a = UpdateStop
    RouteTableFull,
    FlashLeftErased,     // after UpdateStopped, when the Erase had gone out
    FirmwareUntouched,   // after UpdateStopped, when it had not
    ConfigPartlyWritten, // after a send that did not finish
    ReceiveUnconfirmed,  // two reads of the configuration did not agree
    UnableToOpen,        // text = file name
    WrongConfigSize,     // text = file name, a = its size
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

#pragma once
#include "firmware/firmware_check.h"
#include "firmware/update_sequence.h"
#include "text/messages.h"

#include <QString>

#include <array>

// Every text the user sees, in every language, in one table.

enum class Text {
    Conectar,
    FVer,
    HexFile,
    Todo,
    Enviar,
    Recibir,
    Abrir,
    Guardar,
    MenuIdioma,
    MenuEspanol,
    MenuEnglish,
    HeaderVidPid,
    HeaderDevice,
    HeaderSerial,
    HeaderPorts,
    HeaderColor,
    RemoveQuestion,   // %1 = device name
    RemoveTitle,
    MenuEdicion,
    Undo,
    Redo,
    UndoRoute,        // %1 = source, %2 = destination
    UndoRemove,       // %1 = device name
    UndoOpen,         // %1 = file name
    UndoReceive,
    RouteOn,
    RouteOff,
    QuitQuestion,
    QuitTitle,
    // Names for assistive technology.
    NameMatrix,
    NameDevices,
    NameLog,
    ColorOf,          // %1 = device name
    RemoveOf,         // %1 = device name
};

// The languages the window offers, in menu order: adding one is an entry here,
// a value of UiLanguage and a column in each table of texts.cpp.
struct LanguageInfo {
    UiLanguage language;
    const char* code;     // ISO 639-1
    Text menuCaption;     // the menu item that picks it
};
inline constexpr std::array<LanguageInfo, kLanguageCount> kLanguages = {{
    {UiLanguage::Spanish, "es", Text::MenuEspanol},
    {UiLanguage::English, "en", Text::MenuEnglish},
}};

// What the window shows before any language switch (its own form texts).
QString formText(Text text);
QString uiText(Text text, UiLanguage language);
QString messageText(const LogMessage& message, UiLanguage language);
// The line that tells why a firmware file was refused.
QString firmwareProblemText(const FirmwareCheck& check, UiLanguage language);

// Texts that are the same in every language and never change.
namespace FixedText {
inline const QString kTitle = QStringLiteral("Marbeno Soft  - QORV Config");
inline const QString kFirmwareCaption = QStringLiteral("  Firmware  ");
inline const QString kRoutesCaption = QString::fromUtf8("  Configuración de rutas  ");
inline const QString kLogFirstLine = QStringLiteral("Marbeno Soft QORV config");
inline const QString kConfigFilter = QStringLiteral("QORV config|*.qorv");
inline const QString kHexFilter = QStringLiteral("Archivos Hex|*.hex");
}

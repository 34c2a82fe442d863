#pragma once
#include "firmware/firmware_check.h"
#include "firmware/update_types.h"
#include "text/messages.h"

#include <QString>

#include <array>
#include <cstddef>

// Every text the user sees, in every language, in one table.

enum class Text {
    Connect,
    CurrentVersion,
    HexFile,
    Update,
    Send,
    Receive,
    Open,
    Save,
    MenuLanguage,
    MenuSpanish,
    MenuEnglish,
    HeaderVidPid,
    HeaderDevice,
    HeaderSerial,
    HeaderPorts,
    HeaderColor,
    RemoveQuestion,   // %1 = device name
    RemoveTitle,
    MenuEdit,
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
    // The proof of a receive or send: the router's image read again and compared.
    Checking,
};

// The flags the language menu shows; each is drawn in ui/pictures.cpp.
enum class Flag { Spain, UnitedKingdom };

// The languages the window offers, in menu order, one row each: its stored
// number (the row's place), code, menu item and flag. Adding one is a row here,
// a value of UiLanguage, a column in each table of texts.cpp (the build fails
// while a text is missing) and, for a new flag, its picture.
struct LanguageInfo {
    UiLanguage language;
    const char* code;     // ISO 639-1
    Text menuCaption;     // the menu item that picks it
    Flag flag;
};
inline constexpr std::array kLanguages = {
    LanguageInfo{UiLanguage::Spanish, "es", Text::MenuSpanish, Flag::Spain},
    LanguageInfo{UiLanguage::English, "en", Text::MenuEnglish, Flag::UnitedKingdom},
};
// How many languages there are is how many rows the table has.
inline constexpr int kLanguageCount = static_cast<int>(kLanguages.size());
static_assert([] {
    for (std::size_t i = 0; i < kLanguages.size(); ++i)
        if (static_cast<std::size_t>(kLanguages[i].language) != i)
            return false;
    return true;
}(), "each language's row is its stored number");

// The language a stored setting names: its row, and English for any number
// that names none (0 has always meant Spanish, any other number English).
constexpr UiLanguage languageFromSetting(long long stored)
{
    return stored >= 0 && stored < static_cast<long long>(kLanguages.size())
        ? kLanguages[static_cast<std::size_t>(stored)].language
        : UiLanguage::English;
}
constexpr const LanguageInfo& languageInfo(UiLanguage language)
{
    return kLanguages[static_cast<std::size_t>(language)];
}

// What the window shows before any language switch (its own form texts).
// An offset into the image as the messages write it: 0x0240.
QString offsetText(std::size_t offset);
QString formText(Text text);
QString uiText(Text text, UiLanguage language);
QString messageText(const LogMessage& message, UiLanguage language);
// The line that tells why a firmware file was refused.
QString firmwareProblemText(const FirmwareCheck& check, UiLanguage language);
// A colour as a screen reader says it: its plain name where one is exactly it,
// else its hex value ("#1E90FF").
QString colorName(int red, int green, int blue, UiLanguage language);

// Texts that are the same in every language and never change.
namespace FixedText {
inline const QString kTitle = QStringLiteral("Marbeno Soft  - QORV Config");
inline const QString kFirmwareCaption = QStringLiteral("  Firmware  ");
inline const QString kRoutesCaption = QString::fromUtf8("  Configuración de rutas  ");
inline const QString kLogFirstLine = QStringLiteral("Marbeno Soft QORV config");
inline const QString kConfigFilter = QStringLiteral("QORV config|*.qorv");
inline const QString kHexFilter = QStringLiteral("Archivos Hex|*.hex");
}

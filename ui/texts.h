#pragma once
#include "core/session_types.h"
#include "firmware/firmware_check.h"

#include <QString>

// Every text the user sees, in both languages, in one table.

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
};

// What the window shows before any language switch (its own form texts).
QString formText(Text text);
QString uiText(Text text, UiLanguage language);
QString messageText(const LogMessage& message, UiLanguage language);
// The line that tells why a firmware file was refused.
QString firmwareProblemText(const FirmwareCheck& check, UiLanguage language);

// Texts that are the same in both languages and never change.
namespace FixedText {
inline const QString kTitle = QStringLiteral("Marbeno Soft  - QORV Config");
inline const QString kFirmwareCaption = QStringLiteral("  Firmware  ");
inline const QString kRoutesCaption = QString::fromUtf8("  Configuración de rutas  ");
inline const QString kLogFirstLine = QStringLiteral("Marbeno Soft QORV config");
inline const QString kConfigFilter = QStringLiteral("QORV config|*.qorv");
inline const QString kHexFilter = QStringLiteral("Archivos Hex|*.hex");
}

#include "text/texts.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstddef>

namespace {
// One row per key, one column per language, in the order of UiLanguage.
struct Entry {
    const char* form;     // before any switch; null when the window has no such text
    std::array<const char*, kLanguageCount> text;
};

// A row names its key, so a table looked up by position cannot hold its rows
// in another order than their keys': the build checks each table (inOrder).
template <typename Key>
struct Keyed {
    Key key;
    Entry entry;
};

template <typename Key, std::size_t N>
constexpr bool inOrder(const std::array<Keyed<Key>, N>& table)
{
    for (std::size_t i = 0; i < N; ++i)
        if (static_cast<std::size_t>(table[i].key) != i)
            return false;
    return true;
}

// Indexed by Text.
constexpr std::array<Keyed<Text>, 35> kTexts = {{
    {Text::Connect, {"Conectar", {"Conectar", "Connect"}}},
    {Text::CurrentVersion, {"Versión actual", {"Versión actual", "Current version"}}},
    {Text::HexFile, {"Archivo HEX", {"Archivo Hex", "Hex File"}}},
    {Text::Update, {"Actualizar", {"Actualizar", "Update"}}},
    {Text::Send, {"Enviar", {"Enviar", "Send"}}},
    {Text::Receive, {"Recibir", {"Recibir", "Receive"}}},
    {Text::Open, {"Abrir", {"Abrir", "Open"}}},
    {Text::Save, {"Guardar", {"Guardar", "Save"}}},
    {Text::MenuLanguage, {"Idioma", {"Idioma", "Language"}}},
    {Text::MenuSpanish, {"Español", {"Español", "Spanish"}}},
    {Text::MenuEnglish, {"English", {"Inglés", "English"}}},
    {Text::HeaderVidPid, {nullptr, {"VID & PID", "VID & PID"}}},
    {Text::HeaderDevice, {nullptr, {"Dispositivo", "Device"}}},
    {Text::HeaderSerial, {nullptr, {"Nºserie", "Serial num"}}},
    {Text::HeaderPorts, {nullptr, {"Puertos", "Ports"}}},
    {Text::HeaderColor, {nullptr, {"Color", "Color"}}},
    {Text::RemoveQuestion, {nullptr, {"¿Quiere eliminar %1?", "Do you want to remove %1?"}}},
    {Text::RemoveTitle, {nullptr, {"Eliminar dispositivo", "Remove device"}}},
    {Text::MenuEdit, {nullptr, {"Edición", "Edit"}}},
    {Text::Undo, {nullptr, {"Deshacer", "Undo"}}},
    {Text::Redo, {nullptr, {"Rehacer", "Redo"}}},
    {Text::UndoRoute, {nullptr, {"ruta %1 → %2", "route %1 → %2"}}},
    {Text::UndoRemove, {nullptr, {"eliminar %1", "remove %1"}}},
    {Text::UndoOpen, {nullptr, {"abrir %1", "open %1"}}},
    {Text::UndoReceive, {nullptr, {"recibir la configuración", "receive the configuration"}}},
    {Text::RouteOn, {nullptr, {"activa", "on"}}},
    {Text::RouteOff, {nullptr, {"inactiva", "off"}}},
    {Text::QuitQuestion, {nullptr, {"La configuración en pantalla no se ha enviado ni guardado. ¿Salir y perder los cambios?",
               "The configuration on screen has not been sent or saved. Quit and lose the changes?"}}},
    {Text::QuitTitle, {nullptr, {"Cambios sin enviar", "Unsent changes"}}},
    {Text::NameMatrix, {"Matriz de rutas", {"Matriz de rutas", "Routing matrix"}}},
    {Text::NameDevices, {"Dispositivos", {"Dispositivos", "Devices"}}},
    {Text::NameLog, {"Registro", {"Registro", "Log"}}},
    {Text::ColorOf, {nullptr, {"Color de %1", "Color of %1"}}},
    {Text::RemoveOf, {nullptr, {"Eliminar %1", "Remove %1"}}},
    {Text::Checking, {nullptr, {"comprobando", "verifying"}}},
}};
static_assert(kTexts.size() == static_cast<std::size_t>(Text::Checking) + 1, "one entry per Text");

// Every entry has a text in every language, or in none (a value that shows
// nothing): a row written before a language was added leaves its new column
// empty, and the build stops here.
template <typename Key, std::size_t N>
constexpr bool complete(const std::array<Keyed<Key>, N>& table)
{
    for (const Keyed<Key>& row : table) {
        int filled = 0;
        for (const char* text : row.entry.text)
            filled += text != nullptr && text[0] != '\0';
        if (filled != 0 && filled != kLanguageCount)
            return false;
    }
    return true;
}
static_assert(complete(kTexts), "a text is missing in some language");
static_assert(inOrder(kTexts), "each text's row is its key's place");

// Indexed by Msg. %1 and %2 are filled per message below.
constexpr std::array<Keyed<Msg>, 36> kMessages = {{
    {Msg::Connected, {nullptr, {"QORV CONECTADO", "QORV CONNECTED"}}},
    {Msg::Offline, {nullptr, {"QORV desconectado", "QORV offline"}}},
    {Msg::RoutesMode, {nullptr, {"QORV en modo rutas", "QORV in routes mode"}}},
    {Msg::Updated, {nullptr, {"QORV actualizado", "QORV updated"}}},
    {Msg::ConfigReceived, {nullptr, {"Configuración recibida", "Received configuration"}}},
    {Msg::ConfigSent, {nullptr, {"Configuración enviada", "Configuration sent"}}},
    {Msg::UpdateMode, {nullptr, {"QORV en modo Actualización\r\nQORV Firmware Version: %1.%2", "QORV in update mode\r\nQORV Firmware Version: %1.%2"}}},
    {Msg::HexFileAccepted, {nullptr, {"Archivo hex: %1", "Hex file: %1"}}},
    {Msg::HexFileRefused, {nullptr, {"%1 no es un firmware válido para el QORV.", "%1 is not a valid firmware for QORV."}}},
    {Msg::Erasing, {nullptr, {"Borrando flash\r\n", "Erasing flash\r\n"}}},
    {Msg::Erased, {nullptr, {"Flash borrada", "Flash erased"}}},
    {Msg::SendingFirmware, {nullptr, {"Enviando nuevo firmware\r\n", "Sending new firmware\r\n"}}},
    {Msg::FirmwareSent, {nullptr, {"Firmware enviado", "Firmware sent"}}},
    {Msg::Verifying, {nullptr, {"Verificando\r\n", "verifying\r\n"}}},
    {Msg::CrcLine, {nullptr, {"crc=%1 crcT=%2", "crc=%1 crcT=%2"}}},
    {Msg::VerifyComplete, {nullptr, {"Verificación completa", "Complete verification"}}},
    {Msg::Copying, {nullptr, {"Copiando flash\r\n", "Copying flash\r\n"}}},
    {Msg::VerifyFailed, {nullptr, {"Error en la verificación", "Verification failed"}}},
    {Msg::UnableToSave, {nullptr, {"No se pudo guardar %1: %2", "Unable to save %1: %2"}}},
    {Msg::UnableToWrite, {nullptr, {"Unable to write to %1", "Unable to write to %1"}}},
    {Msg::FirmwareProblem, {nullptr, {"%1", "%1"}}},  // the text comes from kFirmwareProblems
    {Msg::UpdateStopped, {nullptr, {"%1", "%1"}}},  // the text comes from kUpdateStops
    {Msg::RouteTableFull, {nullptr, {"Tabla de rutas llena: no cabe otra ruta", "Route table full: no room for another route"}}},
    {Msg::FlashLeftErased, {nullptr, {"La flash quedó borrada; el QORV espera en su cargador: repite la actualización",
               "The flash was erased; the router waits in its bootloader: run the update again"}}},
    {Msg::FirmwareUntouched, {nullptr, {"El firmware del QORV no se ha tocado", "The router's firmware was not touched"}}},
    {Msg::ConfigPartlyWritten, {nullptr, {"La configuración del QORV puede haber quedado escrita a medias", "The configuration may be partly written"}}},
    {Msg::ReceiveUnconfirmed, {nullptr, {"No se pudo confirmar la configuración recibida: las lecturas no coinciden; no se ha guardado nada",
               "The received configuration could not be confirmed: the reads disagree; nothing was kept"}}},
    {Msg::UnableToOpen, {nullptr, {"No se pudo abrir %1", "Unable to open %1"}}},
    {Msg::WrongConfigSize, {nullptr, {"%1 tiene %2 bytes; una configuración tiene exactamente 4096: no se ha abierto",
               "%1 holds %2 bytes; a configuration is exactly 4096: it was not opened"}}},
    {Msg::NoConfigAnswer, {nullptr, {"El QORV no responde a las peticiones de configuración", "The QORV does not answer configuration requests"}}},
    {Msg::QuietAfterProbe, {nullptr, {"El QORV respondió al conectar, pero no responde a las peticiones de configuración",
               "The QORV answered when connected, but does not answer configuration requests"}}},
    {Msg::StoppedAnswering, {nullptr, {"El QORV dejó de responder tras %1 de 4096 bytes", "The QORV stopped answering after %1 of 4096 bytes"}}},
    {Msg::StoppedWhileChecking, {nullptr, {"El QORV dejó de responder mientras se comprobaba lo enviado (tras leer %1 de 4096 bytes)",
               "The QORV stopped answering while what was sent was being checked (after reading %1 of 4096 bytes)"}}},
    {Msg::WrongAck, {nullptr, {"El QORV confirmó el offset %1 para el bloque en %2", "The QORV acknowledged offset %1 for the block at %2"}}},
    {Msg::BlocksNotKept, {nullptr, {"El QORV no conservó los bloques en %1", "The QORV did not keep the blocks at %1"}}},
    {Msg::SendUnconfirmed, {nullptr, {"No se pudo comprobar la configuración enviada: las lecturas no coinciden",
               "The configuration sent could not be checked: the reads disagree"}}},
}};
static_assert(kMessages.size() == static_cast<std::size_t>(Msg::SendUnconfirmed) + 1, "one entry per Msg");
static_assert(complete(kMessages), "a message is missing in some language");
static_assert(inOrder(kMessages), "each message's row is its key's place");

// Indexed by FirmwareProblem; %1 is the line number.
constexpr std::array<Keyed<FirmwareProblem>, 16> kFirmwareProblems = {{
    {FirmwareProblem::None, {nullptr, {"", ""}}},
    {FirmwareProblem::SignatureLineTooLong, {nullptr, {"Línea 1: la primera línea tiene más de 18 caracteres.", "Line 1: the first line is longer than 18 characters."}}},
    {FirmwareProblem::NotHex, {nullptr, {"Línea %1: un carácter que no es un dígito hexadecimal.", "Line %1: a character that is not a hexadecimal digit."}}},
    {FirmwareProblem::OddDigits, {nullptr, {"Línea %1: número impar de dígitos hexadecimales.", "Line %1: an odd number of hexadecimal digits."}}},
    {FirmwareProblem::ByteCount, {nullptr, {"Línea %1: el número de bytes no coincide con la longitud de la línea.", "Line %1: the byte count disagrees with the length of the line."}}},
    {FirmwareProblem::Checksum, {nullptr, {"Línea %1: suma de comprobación incorrecta.", "Line %1: wrong checksum."}}},
    {FirmwareProblem::LineTooLong, {nullptr, {"Línea %1: demasiado larga para un registro.", "Line %1: too long for a record."}}},
    {FirmwareProblem::NotARecord, {nullptr, {"Línea %1: no es un registro y le siguen más registros.", "Line %1: not a record, and more records follow it."}}},
    {FirmwareProblem::NoEndRecord, {nullptr, {"Falta el registro de fin de archivo (tipo 01): el archivo parece cortado.", "No end-of-file record (type 01): the file seems cut short."}}},
    {FirmwareProblem::NoData, {nullptr, {"Ningún dato llega a la flash que se verifica: no habría nada que verificar.", "No data reaches the flash that is verified: there would be nothing to verify."}}},
    {FirmwareProblem::CrOnlyLineEnds, {nullptr, {"Línea 1: las líneas terminan solo con CR; guarde el archivo con finales LF o CR LF.", "Line 1: the lines end in CR alone; save the file with LF or CR LF line ends."}}},
    {FirmwareProblem::RecordLength, {nullptr, {"Línea %1: el número de bytes no corresponde al tipo de registro.", "Line %1: the byte count is wrong for the record's type."}}},
    {FirmwareProblem::UnknownType, {nullptr, {"Línea %1: tipo de registro desconocido.", "Line %1: an unknown record type."}}},
    {FirmwareProblem::Overlap, {nullptr, {"Línea %1: escribe otros datos sobre bytes que ya escribió un registro anterior.", "Line %1: writes other data over bytes an earlier record wrote."}}},
    {FirmwareProblem::Straddles, {nullptr, {"Línea %1: el registro cruza el borde de una ventana de la flash.", "Line %1: the record runs across the edge of a flash window."}}},
    {FirmwareProblem::OutsideFlash, {nullptr, {"Línea %1: datos fuera de la flash del QORV que se verificarían como flash de arranque.", "Line %1: data outside the router's flash that would be verified as boot flash."}}},
}};
static_assert(complete(kFirmwareProblems), "a firmware problem is missing in some language");
static_assert(inOrder(kFirmwareProblems), "each firmware problem's row is its key's place");
static_assert(kFirmwareProblems.size() == static_cast<std::size_t>(FirmwareProblem::OutsideFlash) + 1,
              "one entry per FirmwareProblem");

// Indexed by UpdateStop.
constexpr std::array<Keyed<UpdateStop>, 3> kUpdateStops = {{
    {UpdateStop::NoAnswer, {nullptr, {"Actualización detenida: el QORV no responde", "Update stopped: the QORV does not answer"}}},
    {UpdateStop::NoRecord, {nullptr, {"Actualización detenida: el archivo no dio ningún registro", "Update stopped: the file gave no record"}}},
    {UpdateStop::RouterGone, {nullptr, {"Actualización detenida: el QORV se ha desconectado", "Update stopped: the QORV was disconnected"}}},
}};
static_assert(kUpdateStops.size() == static_cast<std::size_t>(UpdateStop::RouterGone) + 1, "one entry per UpdateStop");
static_assert(complete(kUpdateStops), "an update stop is missing in some language");
static_assert(inOrder(kUpdateStops), "each update stop's row is its key's place");

template <typename Table>
const Entry& row(const Table& table, int index)
{
    return table[static_cast<std::size_t>(index) < table.size() ? static_cast<std::size_t>(index) : 0].entry;
}

QString pick(const Entry& entry, UiLanguage language)
{
    const int column = static_cast<int>(language);
    return QString::fromUtf8(entry.text[column >= 0 && column < kLanguageCount ? column : 0]);
}
} // namespace

QString offsetText(std::size_t offset)
{
    return QStringLiteral("0x") + QString::number(static_cast<qulonglong>(offset), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

QString formText(Text text)
{
    const Entry& entry = kTexts[static_cast<std::size_t>(text)].entry;
    return QString::fromUtf8(entry.form ? entry.form : entry.text[0]);
}

QString uiText(Text text, UiLanguage language)
{
    return pick(kTexts[static_cast<std::size_t>(text)].entry, language);
}

QString messageText(const LogMessage& message, UiLanguage language)
{
    const QString pattern = pick(kMessages[static_cast<std::size_t>(message.id)].entry, language);
    switch (message.id) {
    case Msg::UpdateMode:
        return pattern.arg(message.a).arg(message.b, 2, 10, QLatin1Char('0'));
    case Msg::CrcLine:
        return pattern.arg(QString::number(message.a, 16).toUpper(), QString::number(message.b, 16).toUpper());
    case Msg::HexFileAccepted:
    case Msg::HexFileRefused:
    case Msg::UnableToWrite:
    case Msg::UnableToOpen:
    case Msg::BlocksNotKept:
        return pattern.arg(message.text);
    case Msg::UnableToSave:
        return pattern.arg(message.text, message.detail);
    case Msg::StoppedAnswering:
    case Msg::StoppedWhileChecking:
        return pattern.arg(message.a);
    case Msg::WrongAck:
        return pattern.arg(offsetText(message.a), offsetText(message.b));
    case Msg::WrongConfigSize:
        return pattern.arg(message.text, QString::number(message.a));
    case Msg::FirmwareProblem: {
        const QString problem = pick(row(kFirmwareProblems, static_cast<int>(message.problem)), language);
        return problem.contains(QLatin1String("%1")) ? problem.arg(message.b) : problem;
    }
    case Msg::UpdateStopped:
        return pick(row(kUpdateStops, static_cast<int>(message.stop)), language);
    default:
        return pattern;
    }
}

QString firmwareProblemText(const FirmwareCheck& check, UiLanguage language)
{
    return messageText(LogMessage::firmwareProblem(check.problem, check.line), language);
}

namespace {
struct NamedColor {
    std::uint32_t rgb;  // 0xRRGGBB
    std::array<const char*, kLanguageCount> name;
};
// The colours of the basic palettes, which the colour dialog offers first.
constexpr std::array<NamedColor, 17> kNamedColors = {{
    {0x000000, {"negro", "black"}},
    {0xFFFFFF, {"blanco", "white"}},
    {0xFF0000, {"rojo", "red"}},
    {0x00FF00, {"verde", "green"}},
    {0x0000FF, {"azul", "blue"}},
    {0xFFFF00, {"amarillo", "yellow"}},
    {0x00FFFF, {"cian", "cyan"}},
    {0xFF00FF, {"magenta", "magenta"}},
    {0xC0C0C0, {"gris claro", "light grey"}},
    {0x808080, {"gris", "grey"}},
    {0x800000, {"granate", "maroon"}},
    {0x808000, {"oliva", "olive"}},
    {0x008000, {"verde oscuro", "dark green"}},
    {0x800080, {"morado", "purple"}},
    {0x008080, {"verde azulado", "teal"}},
    {0x000080, {"azul marino", "navy blue"}},
    {0xFFA500, {"naranja", "orange"}},
}};
} // namespace

QString colorName(int red, int green, int blue, UiLanguage language)
{
    const auto part = [](int value) { return static_cast<std::uint32_t>(std::clamp(value, 0, 255)); };
    const std::uint32_t rgb = part(red) << 16 | part(green) << 8 | part(blue);
    for (const NamedColor& named : kNamedColors) {
        if (named.rgb == rgb)
            return QString::fromUtf8(named.name[static_cast<std::size_t>(language)]);
    }
    return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
}

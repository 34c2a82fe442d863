#include "config/device_name.h"

#include <array>

namespace {
// 0x80-0x9F of code page 1252; the five bytes it leaves undefined keep their
// Latin-1 control characters.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

QString decodeDeviceName(const std::string& bytes)
{
    QString name;
    name.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        name.append(byte >= 0x80 && byte <= 0x9F ? QChar(kHighControls[byte - 0x80]) : QChar(byte));
    }
    return name;
}

QString deviceName(const ConfigImage& image, int device)
{
    const QString text = decodeDeviceName(image.device(device).deviceName);
    return text.isEmpty() ? QStringLiteral("Device %1").arg(device + 1) : text;
}

QString portName(const ConfigImage& image, int globalPort, bool source)
{
    const QString side = source ? QStringLiteral("In") : QStringLiteral("Out");
    const PortRef owner = globalPort == Route::kRouter ? PortRef{} : image.portOwner(globalPort);
    if (owner.device < 0)
        return QStringLiteral("MIDI ") + side;
    // One arg() for all three: a name may itself hold "%3".
    return QStringLiteral("%1 %2 %3").arg(deviceName(image, owner.device), side, QString::number(owner.port + 1));
}

#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One Intel HEX record line, checksum included.
inline std::string hexRecord(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                                       static_cast<std::uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes)
        sum = static_cast<std::uint8_t>(sum + b);
    bytes.push_back(static_cast<std::uint8_t>(-sum));
    std::string line = ":";
    static const char digits[] = "0123456789ABCDEF";
    for (std::uint8_t b : bytes) {
        line += digits[b >> 4];
        line += digits[b & 15];
    }
    return line;
}

inline std::string linearRecord(std::uint16_t upper)
{
    return hexRecord(4, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
}

inline std::vector<std::uint8_t> ramp(std::size_t count, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> data(count);
    for (std::size_t i = 0; i < count; ++i)
        data[i] = static_cast<std::uint8_t>(first + i);
    return data;
}

// A firmware file: the signature line, then the given lines, each ended by `eol`.
inline QString writeFirmware(const QTemporaryDir& dir, const QString& name, const std::vector<std::string>& lines,
                             const std::string& eol = "\r\n", const std::string& signature = "QORV-Marbeno Soft")
{
    std::string text = signature + eol;
    for (const std::string& line : lines)
        text += line + eol;
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

inline std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

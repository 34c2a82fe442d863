#pragma once
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class QSettings;

constexpr int kColorCount = 32;
// Colours as 0x00BBGGRR, one per device slot.
using ColorTable = std::array<std::uint32_t, kColorCount>;

// The settings file ".\qorv.ini": device colours and the interface language,
// written key by key the moment they change.
class Settings {
public:
    static constexpr const char* kFileName = "qorv.ini";

    explicit Settings(const QString& path);
    virtual ~Settings();

    static std::uint32_t defaultColor(int slot) { return static_cast<std::uint32_t>(slot) * 65792u; }
    static QString colorKey(int slot);   // "Colores/color<slot + 1>"

    void readColorTable(ColorTable& colors) const;
    // The number as stored (0 when there is none); which language it names is
    // the language table's to say.
    qint64 readLanguage() const;
    // Both return false when the file could not be written.
    bool writeColor(int slot, std::uint32_t color);
    bool writeLanguage(int language);

    QString fileName() const { return path_; }

protected:
    // Writes one key to the file at once; false when the file could not be written.
    virtual bool write(const QString& key, qint64 value);

private:
    QString path_;
    std::unique_ptr<QSettings> settings_;
};

#include "config/settings.h"

#include <QSettings>

namespace {
const QString kLanguageKey = QStringLiteral("Idioma/Idioma");

qint64 readInteger(const QSettings& settings, const QString& key, qint64 fallback)
{
    bool ok = false;
    const qint64 value = settings.value(key).toString().trimmed().toLongLong(&ok);
    return ok ? value : fallback;
}
} // namespace

Settings::Settings(const QString& path)
    : path_(path), settings_(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

Settings::~Settings() = default;

QString Settings::colorKey(int slot)
{
    return QStringLiteral("Colores/color%1").arg(slot + 1);
}

void Settings::readColorTable(ColorTable& colors) const
{
    for (int slot = 0; slot < kColorCount; ++slot)
        colors[slot] = static_cast<std::uint32_t>(readInteger(*settings_, colorKey(slot), defaultColor(slot)));
}

qint64 Settings::readLanguage() const
{
    return readInteger(*settings_, kLanguageKey, 0);
}

bool Settings::writeColor(int slot, std::uint32_t color)
{
    if (slot < 0 || slot >= kColorCount)
        return false;
    return write(colorKey(slot), color);
}

bool Settings::writeLanguage(int language)
{
    return write(kLanguageKey, language);
}

bool Settings::write(const QString& key, qint64 value)
{
    settings_->setValue(key, value);
    settings_->sync();
    if (settings_->status() == QSettings::NoError)
        return true;
    // QSettings keeps reporting its first problem, and a hand-edited file (a
    // comment, a byte-order mark, a stray line) is a FormatError although the
    // write goes through. Start afresh and judge by what the file now holds.
    settings_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
    return settings_->status() != QSettings::AccessError && readInteger(*settings_, key, ~value) == value;
}

#include "core/preferences.h"

#include "text/texts.h"

#include <QDir>

Preferences::Preferences(ErrorReport showError) : showError_(std::move(showError))
{
    for (int slot = 0; slot < kColorCount; ++slot)
        colors_[slot] = Settings::defaultColor(slot);
}

Preferences::~Preferences() = default;

void Preferences::useWorkFolder(const QString& folder, std::unique_ptr<Settings> settings)
{
    workFolder_ = folder;
    settings_ = settings ? std::move(settings) : std::make_unique<Settings>(settingsPath());
}

QString Preferences::lastConfigPath() const
{
    return QDir(workFolder_).filePath(QStringLiteral("last.qorv"));
}

QString Preferences::settingsPath() const
{
    return QDir(workFolder_).filePath(QString::fromLatin1(Settings::kFileName));
}

void Preferences::load()
{
    if (settings_)
        settings_->readColorTable(colors_);
}

UiLanguage Preferences::storedLanguage() const
{
    return languageFromSetting(settings_ ? settings_->readLanguage() : 0);
}

bool Preferences::setColor(int slot, std::uint32_t color)
{
    if (slot < 0 || slot >= kColorCount)
        return false;
    colors_[slot] = color;
    if (settings_ && settings_->writeColor(slot, color))
        return true;
    showError_(LogMessage::aboutFile(Msg::UnableToWrite, settingsPath()));
    return false;
}

bool Preferences::setLanguage(UiLanguage newLanguage)
{
    if (!settings_ || !settings_->writeLanguage(static_cast<int>(newLanguage))) {
        showError_(LogMessage::aboutFile(Msg::UnableToWrite, settingsPath()));
        return false;
    }
    language_ = newLanguage;
    return true;
}

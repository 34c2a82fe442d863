#pragma once
#include "config/settings.h"
#include "text/messages.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// What the user chose and the program keeps between runs: the work folder
// that holds "last.qorv" and the settings file, each device slot's colour, and
// the window's language. A choice that cannot be stored says so through
// `showError` (the error box) and lasts for this run where that is safe.
class Preferences {
public:
    using ErrorReport = std::function<void(const LogMessage&)>;

    explicit Preferences(ErrorReport showError);
    ~Preferences();

    // The settings object defaults to the INI file in the folder.
    void useWorkFolder(const QString& folder, std::unique_ptr<Settings> settings = nullptr);
    void load();
    UiLanguage storedLanguage() const;

    const ColorTable& colors() const { return colors_; }
    UiLanguage language() const { return language_; }
    // A colour is kept for this run even when it cannot be stored.
    bool setColor(int slot, std::uint32_t color);
    // Written first; when it cannot be, the language stays as it was.
    bool setLanguage(UiLanguage language);

    QString workFolder() const { return workFolder_; }
    QString lastConfigPath() const;
    QString settingsPath() const;

private:
    ErrorReport showError_;
    ColorTable colors_{};
    UiLanguage language_ = UiLanguage::Spanish;
    QString workFolder_;
    std::unique_ptr<Settings> settings_;
};

#pragma once
#include "config/config_image.h"
#include "config/settings.h"
#include "core/session_types.h"
#include "firmware/update_sequence.h"
#include "link/boot_loader.h"
#include "link/device_link.h"

#include <QString>

#include <memory>

class HidBackend;
class MillisecondClock;
class Trace;

// Everything the program keeps for the whole run, in one owned object, and the
// logic that does not depend on a window: connecting, the 1 ms tick, the
// configuration exchange, files, settings and the firmware update.
class Session final : public BootListener {
public:
    static constexpr std::int32_t kProgressDelay = 25;

    Session(HidBackend& backend, MillisecondClock& clock, SessionView& view, Trace* trace = nullptr);
    ~Session() override;

    // Start-up pieces, in the order the window runs them.
    // The settings object defaults to the INI file in the folder.
    void useWorkFolder(const QString& folder, std::unique_ptr<Settings> settings = nullptr);
    void loadSettings();
    void loadLastConfiguration();
    int storedLanguage() const;  // 0 Spanish, 1 English

    void connect();         // close if open, open again, and ask the bootloader for its version
    bool ConnectDevice();
    void tick();

    void receiveConfiguration();
    void sendConfiguration();
    void openConfiguration(const QString& path);  // the caller rebuilds the grids
    void saveConfiguration(const QString& path);

    bool setColor(int slot, std::uint32_t color);
    bool setLanguage(UiLanguage language);

    QString workFolder() const { return workFolder_; }
    QString lastConfigPath() const;
    QString settingsPath() const;

    // BootListener
    void routesModeSeen() override;
    void commandGaveUp(std::uint8_t command) override;
    void HandleBootReply(int code, const std::uint8_t* payload, std::size_t length) override;

    ConfigImage image;
    ColorTable colors{};
    UiLanguage language = UiLanguage::Spanish;
    SessionState state;
    DeviceLink link;
    CBootLoader boot;
    UpdateSequence update;

private:
    bool starOnTick();  // true on the tick that printed a star
    void exchangeGaveUp();

    SessionView& view_;
    QString workFolder_;
    std::unique_ptr<Settings> settings_;
};

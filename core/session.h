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
    // After an update the router copies its flash and comes back on USB; it is
    // looked for this often, for this long, before it is called offline.
    static constexpr std::uint32_t kReconnectInterval = 250;
    static constexpr std::uint32_t kReconnectPatience = 10000;

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

    // True while the end of an update waits for the router to come back.
    bool reconnecting() const { return reconnecting_; }
    // False while nothing is queued, sent, awaited or counted down: the tick may
    // then run slowly. It must run every millisecond again the moment a command is
    // queued (SessionView::tickNeeded says so), so an update still sends a packet a tick.
    bool needsFastTick() const;

    QString workFolder() const { return workFolder_; }
    QString lastConfigPath() const;
    QString settingsPath() const;

    // BootListener
    void routesModeSeen() override;
    void commandGaveUp(std::uint8_t command) override;
    void commandQueued() override;
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
    void announceLink(bool open);
    void finishUpdate();
    void retryReconnect();

    SessionView& view_;
    MillisecondClock& clock_;
    bool reconnecting_ = false;
    std::uint32_t reconnectStarted_ = 0;
    std::uint32_t nextReconnect_ = 0;
    QString workFolder_;
    std::unique_ptr<Settings> settings_;
};

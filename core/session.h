#pragma once
#include "config/config_exchange.h"
#include "config/config_image.h"
#include "config/settings.h"
#include "core/config_document.h"
#include "core/preferences.h"
#include "core/router_connection.h"
#include "core/router_status.h"
#include "core/session_types.h"
#include "firmware/hex_manager.h"
#include "firmware/update_sequence.h"
#include "link/boot_loader.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <memory>

class HidBackend;
class MillisecondClock;
class Trace;

// Everything the program keeps for the whole run, in one owned object, and the
// logic that does not depend on a window: connecting, the 1 ms tick, the
// configuration exchange, files and the firmware update; the preferences kept
// between runs are its Preferences. Faces act
// through its intents and learn where things stand from the RouterStatus it
// publishes to its SessionView.
class Session final : private BootListener, private UpdateListener {
public:
    static constexpr std::int32_t kProgressDelay = 25;
    static constexpr std::int32_t kCopyCountdown = 14;

    Session(HidBackend& backend, MillisecondClock& clock, SessionView& view, Trace* trace = nullptr);
    ~Session() override;

    // The work folder, colours and language, kept between runs.
    Preferences& preferences() { return preferences_; }
    const Preferences& preferences() const { return preferences_; }
    // The configuration last received, saved or shipped, from the work folder.
    void loadLastConfiguration();

    // Connecting and the tick.
    void connect();         // close if open, open again, and ask the bootloader for its version
    bool ConnectDevice();
    void tick();
    // False while nothing is queued, sent, awaited or counted down: the tick may
    // then run slowly. It must run every millisecond again the moment a command is
    // queued (SessionView::tickNeeded says so), so an update still sends a packet a tick.
    bool needsFastTick() const;
    // While on, an offline session connects by itself when the router is plugged
    // in, and a router that goes away while nothing runs is reported offline.
    // Never during a configuration exchange or an update.
    void watchForRouter(bool on) { connection_.watch(on); }

    // The configuration being edited: its route and device edits, undo and redo
    // are the document's; receiving, sending, opening and saving are here.
    ConfigDocument& document() { return document_; }
    const ConfigImage& image() const { return document_.image(); }
    // Each true when it completed. A received configuration replaces the one on
    // screen as an edit that can be undone.
    bool receiveConfiguration();
    bool sendConfiguration();
    // The router's image into `image`, or `image` into the router, with the
    // messages and status of a failure; the window and qorvctl both go through
    // these. `image` is left as it was unless the receive succeeded.
    // A receive is kept only when two reads of the router agree; a send is done
    // only when the router, read back, holds exactly `image`.
    using ExchangeProgress = ConfigExchange::Progress;
    using ExchangeStep = ConfigExchange::Step;
    using ExchangePhase = ConfigExchange::Phase;
    using ExchangeOutcome = ConfigExchange::Outcome;
    using ExchangeFailure = ConfigExchange::Failure;
    static constexpr int kSendChecks = ConfigExchange::kMaxSendChecks;
    ExchangeOutcome readRouterImage(ConfigImage& image, const ExchangeProgress& progress = {});
    ExchangeOutcome writeRouterImage(const ConfigImage& image, const ExchangeProgress& progress = {});
    // What the last failed exchange leaves to say (see ConfigExchange::Failure).
    const ExchangeFailure& exchangeFailure() const { return exchangeFailure_; }
    // Only a file of exactly one image replaces it; anything else is logged and
    // changes nothing.
    bool openConfiguration(const QString& path);
    bool saveConfiguration(const QString& path);

    // The firmware update: its commands are the update's own; choosing the
    // file is here, because the log names it as the user chose it.
    UpdateSequence& update() { return update_; }
    // `shownName` is how the log names the file; null `chosen`: the dialog was cancelled.
    void chooseFirmware(const std::filesystem::path* chosen, const QString& shownName);
    const FirmwareCheck& firmwareCheck() const { return update_.lastCheck(); }

    const RouterStatus& status() const { return status_; }
    SessionMode mode() const { return mode_; }
    bool isOpen() const { return connection_.isOpen(); }

private:
    // BootListener
    void routesModeSeen() override;
    void commandGaveUp(BootCommand command) override;
    void commandQueued() override;
    void linkFailed() override;
    // UpdateListener
    void updateEvent(const UpdateEvent& event) override;

    bool starOnTick();  // true on the tick that printed a star
    void exchangeFailed(const ConfigExchange& exchange, bool sending);
    void dropLink();
    void announceLink(bool open);
    void finishUpdate();
    void publish();
    void watchLink();

    SessionView& view_;
    MillisecondClock& clock_;
    Preferences preferences_;
    ConfigDocument document_;
    RouterConnection connection_;
    CHexManager hex_;
    // The transport is built first; the update, built on it, is then given
    // the bootloader's replies.
    CBootLoader boot_;
    UpdateSequence update_;

    SessionMode mode_ = SessionMode::Idle;
    std::int32_t progressDelay_ = kProgressDelay;
    std::int32_t copyCountdown_ = 0;
    QString firmwareName_;

    RouterStatus status_;
    RouterStatus published_;
    ConfigExchange::Failure exchangeFailure_;
};

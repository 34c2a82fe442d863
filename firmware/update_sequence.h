#pragma once
#include "firmware/firmware_check.h"
#include "firmware/update_types.h"
#include "link/boot_loader.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

class CHexManager;

// What happened in the update, in the order it happened; the listener turns each
// into its log line and into the session's state.
struct UpdateEvent {
    enum class Kind {
        Version,          // major, minor
        FileAccepted,
        FileRefused,      // check: the first problem (None when the file could not be read)
        Erasing,          // a chained update started
        Erased,
        SendingFirmware,
        FirmwareSent,
        Verifying,
        Verified,         // routerCrc, toolCrc, match
        Copying,          // the Jump is queued: the router copies its new firmware
        VerifyFailed,
        Stopped,          // stop
    };
    explicit UpdateEvent(Kind what) : kind(what) {}

    Kind kind;
    int major = 0;
    int minor = 0;
    int routerCrc = 0;
    int toolCrc = 0;
    bool match = false;
    FirmwareCheck check;
    UpdateStop stop = UpdateStop::NoAnswer;
    // Stopped: the Erase had gone out, so the router holds no firmware and waits
    // in its bootloader for another update.
    bool flashErased = false;
    // Stopped: the command that got no answer.
    BootCommand command = BootCommand::Version;
};

class UpdateListener {
public:
    virtual ~UpdateListener() = default;
    virtual void updateEvent(const UpdateEvent& event) = 0;
};

// The firmware update in one place: the chosen file, the single bootloader
// commands, and the chained update driven by the bootloader's replies,
// which the transport hands here: Erase, Program packets until the records run
// out, Verify against the file's own CRC, and Jump on a match.
class UpdateSequence final : public BootReplyHandler {
public:
    UpdateSequence(CBootLoader& boot, CHexManager& file, UpdateListener& listener);

    // Asks the bootloader for its version.
    void queueVersion();
    // Null when no file was chosen. The file is taken only when every record in it
    // can be programmed and verified.
    void chooseFile(const std::filesystem::path* chosen);
    // The whole update, chained: Erase, Program, Verify, and Jump on a match.
    void startUpdate();
    // Single commands.
    void erase();
    void program();
    void verify();
    void jump();

    void HandleBootReply(BootCommand code, const std::uint8_t* payload, std::size_t length) override;
    // A command of the running update got no answer within its attempts.
    void commandGaveUp();
    // The link failed while an update ran: it stops at once.
    void linkFailed();
    // The routing firmware answered: the chosen file no longer enables an update.
    void routesModeSeen() { fileAccepted_ = false; }

    bool updateAll() const { return UpdateAll; }
    bool fileAccepted() const { return fileAccepted_; }
    // What the check of the last chosen file found.
    const FirmwareCheck& lastCheck() const { return lastCheck_; }

private:
    void report(UpdateEvent::Kind kind);
    // Ends a running update that cannot go on, and says why.
    void stop(UpdateStop reason);

    CBootLoader& boot_;
    CHexManager& file_;
    UpdateListener& listener_;
    bool UpdateAll = false;
    bool fileAccepted_ = false;
    FirmwareCheck lastCheck_;
};

#pragma once
#include "core/session_types.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

class CBootLoader;

// The firmware buttons and the chained update driven by the bootloader's replies:
// Erase, Program packets until the records run out, Verify, and Jump on a match.
class UpdateSequence {
public:
    UpdateSequence(CBootLoader& boot, SessionView& view, SessionState& state);

    void queueVersion();                                   // botonFVer
    // botonHexFile; null when the dialog was cancelled. `shownName` is what the log names.
    void chooseFile(const std::filesystem::path* chosen, const QString& shownName);
    void startUpdate();                                    // botonTodo
    void erase();
    void program();
    void verify();
    void jump();

    void HandleBootReply(int code, const std::uint8_t* payload, std::size_t length);
    bool updateAll() const { return UpdateAll; }
    // A command of the running update got no answer within its attempts.
    void commandGaveUp();

    static constexpr std::int32_t kCopyCountdown = 14;

private:
    // Ends a running update that cannot go on, says why, and leaves the buttons
    // so that the user can start again.
    void stop(UpdateStop reason);

    CBootLoader& boot_;
    SessionView& view_;
    SessionState& state_;
    bool UpdateAll = false;
    bool fileAccepted_ = false;
};

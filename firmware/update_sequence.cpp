#include "firmware/update_sequence.h"

#include "firmware/hex_manager.h"
#include "link/boot_loader.h"
#include "link/little_endian.h"

namespace {
struct CommandTiming {
    std::uint16_t attempts;
    std::uint16_t timeout;
};
constexpr CommandTiming kVersion{3, 400};
constexpr CommandTiming kUpdateErase{3, 7000};
constexpr CommandTiming kErase{3, 5000};
constexpr CommandTiming kProgram{3, 500};
constexpr CommandTiming kVerify{3, 7000};
constexpr CommandTiming kJump{1, 10};

bool send(CBootLoader& boot, BootCommand command, CommandTiming timing)
{
    return boot.SendCommand(command, timing.attempts, timing.timeout);
}
} // namespace

UpdateSequence::UpdateSequence(CBootLoader& boot, CHexManager& file, UpdateListener& listener)
    : boot_(boot), file_(file), listener_(listener)
{
}

void UpdateSequence::queueVersion() { send(boot_, BootCommand::Version, kVersion); }
void UpdateSequence::erase() { send(boot_, BootCommand::Erase, kErase); }
void UpdateSequence::program() { send(boot_, BootCommand::Program, kProgram); }
void UpdateSequence::verify() { send(boot_, BootCommand::Verify, kVerify); }
void UpdateSequence::jump() { send(boot_, BootCommand::Jump, kJump); }

void UpdateSequence::report(UpdateEvent::Kind kind)
{
    listener_.updateEvent(UpdateEvent(kind));
}

void UpdateSequence::chooseFile(const std::filesystem::path* chosen)
{
    // A file is taken only when every record in it can be programmed and verified:
    // anything less could end in a success over flash that was never checked.
    UpdateEvent event(UpdateEvent::Kind::FileRefused);
    const bool opened = chosen && file_.OpenHexFile(*chosen);
    if (opened)
        event.check = file_.Check();
    fileAccepted_ = opened && event.check.ok();
    lastCheck_ = event.check;
    if (fileAccepted_)
        event.kind = UpdateEvent::Kind::FileAccepted;
    listener_.updateEvent(event);
}

void UpdateSequence::stop(UpdateStop reason)
{
    UpdateEvent event(UpdateEvent::Kind::Stopped);
    event.stop = reason;
    // With no command known, the flash is taken to be erased: the safe thing to say.
    const std::optional<BootCommand> command = boot_.lastCommand();
    event.command = command.value_or(BootCommand::Erase);
    // An Erase that never went out left the flash as it was.
    event.flashErased = !(command == BootCommand::Erase && boot_.transmissions() == 0);
    UpdateAll = false;
    boot_.Forget();
    listener_.updateEvent(event);
}

void UpdateSequence::commandGaveUp()
{
    if (UpdateAll)
        stop(UpdateStop::NoAnswer);
}

void UpdateSequence::linkFailed()
{
    if (UpdateAll)
        stop(UpdateStop::RouterGone);
}

void UpdateSequence::startUpdate()
{
    if (!fileAccepted_)
        return;
    // Replies still waiting from an earlier attempt or update must not drive this one.
    boot_.DiscardInput();
    UpdateAll = true;
    send(boot_, BootCommand::Erase, kUpdateErase);
    report(UpdateEvent::Kind::Erasing);
}

void UpdateSequence::HandleBootReply(BootCommand code, const std::uint8_t* payload, std::size_t length)
{
    auto byte = [&](std::size_t i) -> std::uint8_t { return i < length ? payload[i] : 0; };
    switch (code) {
    case BootCommand::Version: {
        boot_.ClearTransmit();
        UpdateEvent event(UpdateEvent::Kind::Version);
        event.major = static_cast<std::int8_t>(byte(0));
        event.minor = static_cast<std::int8_t>(byte(1));
        listener_.updateEvent(event);
        break;
    }
    case BootCommand::Erase:
        report(UpdateEvent::Kind::Erased);
        if (UpdateAll) {
            if (!send(boot_, BootCommand::Program, kProgram)) {
                stop(UpdateStop::NoRecord);
                break;
            }
            report(UpdateEvent::Kind::SendingFirmware);
        }
        break;
    case BootCommand::Program:
        report(UpdateEvent::Kind::FirmwareSent);
        if (UpdateAll) {
            send(boot_, BootCommand::Verify, kVerify);
            report(UpdateEvent::Kind::Verifying);
        }
        break;
    case BootCommand::Verify: {
        UpdateEvent event(UpdateEvent::Kind::Verified);
        const std::uint8_t crc[2] = {byte(0), byte(1)};
        event.routerCrc = LittleEndian::get16(crc);
        std::uint16_t toolCrc = 0;
        std::uint32_t covered = 0;
        // Without a firmware file, or with an empty range, nothing was compared:
        // never a match.
        const bool held = boot_.ImageCrc(toolCrc, covered);
        event.toolCrc = toolCrc;
        event.match = held && covered > 0 && event.routerCrc == toolCrc;
        const bool match = event.match;
        listener_.updateEvent(event);
        const bool chained = UpdateAll;
        UpdateAll = false;
        if (!match) {
            report(UpdateEvent::Kind::VerifyFailed);
            break;
        }
        if (chained) {
            send(boot_, BootCommand::Jump, kJump);
            report(UpdateEvent::Kind::Copying);
        }
        break;
    }
    case BootCommand::Jump:
        break;
    }
}

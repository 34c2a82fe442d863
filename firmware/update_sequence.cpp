#include "firmware/update_sequence.h"

#include "link/boot_loader.h"

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
    return boot.SendCommand(static_cast<std::uint8_t>(command), timing.attempts, timing.timeout);
}
} // namespace

UpdateSequence::UpdateSequence(CBootLoader& boot, SessionView& view, SessionState& state)
    : boot_(boot), view_(view), state_(state)
{
}

void UpdateSequence::queueVersion() { send(boot_, BootCommand::Version, kVersion); }
void UpdateSequence::erase() { send(boot_, BootCommand::Erase, kErase); }
void UpdateSequence::program() { send(boot_, BootCommand::Program, kProgram); }
void UpdateSequence::verify() { send(boot_, BootCommand::Verify, kVerify); }
void UpdateSequence::jump() { send(boot_, BootCommand::Jump, kJump); }

void UpdateSequence::chooseFile(const std::filesystem::path* chosen, const QString& shownName)
{
    // A file is taken only when every record in it can be programmed and verified:
    // anything less could end in a success over flash that was never checked.
    FirmwareCheck check;
    const bool opened = chosen && boot_.OpenHexFile(*chosen);
    if (opened)
        check = boot_.hexManager().Check();
    fileAccepted_ = opened && check.ok();
    if (fileAccepted_) {
        view_.appendLog({Msg::HexFileAccepted, shownName});
        view_.setButtonEnabled(Button::Todo, true);
        return;
    }
    view_.appendLog({Msg::HexFileRefused, shownName});
    if (opened)
        view_.appendLog({Msg::FirmwareProblem, static_cast<int>(check.problem), check.line});
    view_.setButtonEnabled(Button::Todo, false);
}

void UpdateSequence::stop(UpdateStop reason)
{
    UpdateAll = false;
    boot_.Forget();
    state_.mode = SessionMode::Idle;
    view_.appendLog({Msg::UpdateStopped, static_cast<int>(reason)});
    view_.setButtonEnabled(Button::HexFile, true);
    view_.setButtonEnabled(Button::Todo, fileAccepted_);
}

void UpdateSequence::commandGaveUp()
{
    if (UpdateAll)
        stop(UpdateStop::NoAnswer);
}

void UpdateSequence::startUpdate()
{
    if (!fileAccepted_)
        return;
    // Replies still waiting from an earlier attempt or update must not drive this one.
    boot_.DiscardInput();
    UpdateAll = true;
    send(boot_, BootCommand::Erase, kUpdateErase);
    view_.appendLog({Msg::Erasing});
    state_.mode = SessionMode::UpdateProgress;
}

void UpdateSequence::HandleBootReply(int code, const std::uint8_t* payload, std::size_t length)
{
    auto byte = [&](std::size_t i) -> std::uint8_t { return i < length ? payload[i] : 0; };
    switch (code) {
    case 1:
        view_.appendLog({Msg::UpdateMode, static_cast<std::int8_t>(byte(0)), static_cast<std::int8_t>(byte(1))});
        view_.setButtonEnabled(Button::HexFile, true);
        view_.setButtonEnabled(Button::Recibir, false);
        view_.setButtonEnabled(Button::Enviar, false);
        boot_.ClearTransmit();
        break;
    case 2:
        view_.appendLog({Msg::Erased});
        if (UpdateAll) {
            if (!send(boot_, BootCommand::Program, kProgram)) {
                stop(UpdateStop::NoRecord);
                break;
            }
            view_.appendLog({Msg::SendingFirmware});
        }
        break;
    case 3:
        view_.appendLog({Msg::FirmwareSent});
        if (UpdateAll) {
            send(boot_, BootCommand::Verify, kVerify);
            view_.appendLog({Msg::Verifying});
        }
        break;
    case 4: {
        const int routerCrc = byte(0) + 256 * byte(1);
        std::uint16_t toolCrc = 0;
        std::uint32_t covered = 0;
        // Without a firmware file, or with an empty range, nothing was compared:
        // never a match.
        const bool held = boot_.ImageCrc(toolCrc, covered);
        view_.appendLog({Msg::CrcLine, routerCrc, toolCrc});
        if (held && covered > 0 && routerCrc == toolCrc) {
            view_.appendLog({Msg::VerifyComplete});
            if (UpdateAll) {
                view_.appendLog({Msg::Copying});
                send(boot_, BootCommand::Jump, kJump);
                state_.mode = SessionMode::CopyProgress;
                state_.copyCountdown = kCopyCountdown;
            }
        } else {
            view_.appendLog({Msg::VerifyFailed});
            state_.mode = SessionMode::Idle;
        }
        UpdateAll = false;
        break;
    }
    default:
        break;
    }
}

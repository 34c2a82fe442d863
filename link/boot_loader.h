#pragma once
#include "link/boot_commands.h"
#include "link/boot_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

class DeviceLink;
class MillisecondClock;

// Where the transport hands the bootloader's replies: the update that sent the commands.
class BootReplyHandler {
public:
    virtual ~BootReplyHandler() = default;
    // A complete reply with a good CRC to the command last queued; payload is the
    // reply after its code byte.
    virtual void HandleBootReply(BootCommand code, const std::uint8_t* payload, std::size_t length) = 0;
};

// What the transport tells whoever holds the connection.
class BootListener {
public:
    virtual ~BootListener() = default;
    // An input report began with the routes-mode marker: the routing firmware answered.
    virtual void routesModeSeen() = 0;
    // The attempts of the last command ran out without a good reply.
    virtual void commandGaveUp(BootCommand /*lastCommand*/) {}
    // A command was queued: the tick has something to send.
    virtual void commandQueued() {}
    // A read or write of the link failed: the device may be gone.
    virtual void linkFailed() {}
};

// The framed, CRC-checked packet transport of the bootloader. Commands are only
// queued by SendCommand; the tick calls PollReceive and then ServiceTransmit.
class CBootLoader {
public:
    static constexpr std::size_t kBufferSize = 1000;
    static constexpr std::size_t kReceiveBufferSize = 256;
    static constexpr std::uint16_t kReceiveLimit = 253;
    static constexpr std::size_t kReadRequest = 245;
    static constexpr int kDiscardLimit = 256;  // reports dropped at most by DiscardInput
    static constexpr int kRecordsPerPacket = 11;
    // Code, records and CRC must survive escaping every byte: 2 + 2 * 499 = 1000,
    // with room for the address record a repeat carries first.
    static constexpr std::size_t kMaxPacketWithCrc = (kBufferSize - 2) / 2;

    enum class TransmitState : std::uint32_t { Idle = 0, Waiting = 1 };

    // The Program and Verify payloads come from `firmware`, the chosen file.
    // Replies go to `replies` once there is one (setReplyHandler): the update
    // that handles them is built on this transport, so it comes after it.
    CBootLoader(DeviceLink& link, MillisecondClock& clock, BootListener& listener, FirmwarePayloads& firmware,
                BootReplyHandler* replies = nullptr);
    void setReplyHandler(BootReplyHandler* replies) { replies_ = replies; }

    // The bootloader's entry by code: a code it does not know is refused and
    // changes nothing, a command already queued included.
    bool SendCommand(std::uint8_t code, std::uint16_t attempts, std::uint16_t timeout);
    bool SendCommand(BootCommand command, std::uint16_t attempts, std::uint16_t timeout);
    void ServiceTransmit();
    void PollReceive();
    void ClearTransmit();
    void FeedReceiver(const std::uint8_t* bytes, std::size_t count);
    void DispatchReply();
    void WriteStream(const std::uint8_t* bytes, std::size_t count);
    int ReadReport(std::uint8_t* buffer, std::size_t length);

    // The tool's CRC of the firmware image and the length it covers, as the
    // last Verify packet carried them (computed once, from the chosen file, when
    // it was built); false when no file was held then, or before any Verify.
    // Asked when a Verify reply arrives.
    bool ImageCrc(std::uint16_t& crc, std::uint32_t& length) const;

    // Drops every input report already waiting and any half-received reply, so
    // that nothing sent before this moment can pass for an answer to what follows.
    void DiscardInput();
    // Stops the pending command and forgets it: a late reply to it is ignored.
    void Forget();
    // Before another reader takes the link: waits for what the last command still
    // owes (a reply to each transmission that got none yet), at most `patience` ms
    // after its last transmission, and drops it. A routes-mode marker among it is
    // reported as usual. The mode probe's repeats are answered this way too.
    void SettleOwedReplies(std::uint32_t patience);
    // Transmissions of the last command that no reply has answered yet.
    int owedReplies() const { return Transmissions - Answers; }
    // Whole frames of the last command written so far.
    int transmissions() const { return Transmissions; }

    // Read access for the session and for tests.
    const std::uint8_t* transmitBuffer() const { return TransmitBuffer.data(); }
    std::uint16_t transmitLength() const { return TransmitLength; }
    std::uint16_t attemptsLeft() const { return AttemptsLeft; }
    TransmitState transmitState() const { return State; }
    // The command last queued and not forgotten; none before the first or after Forget.
    std::optional<BootCommand> lastCommand() const { return LastCommand; }
    std::uint16_t receiveCount() const { return Receiver.count(); }
    // Records handed to Program packets since the last programming run began.
    std::size_t programmedRecords() const { return ProgrammedRecords; }

private:
    std::size_t appendRecords(std::size_t length);
    bool isRoutesModeMarker(std::size_t count) const;
    std::uint16_t nextRecord();

    DeviceLink& link_;
    MillisecondClock& clock_;
    BootListener& listener_;
    BootReplyHandler* replies_;
    FirmwarePayloads& firmware_;

    std::array<std::uint8_t, kBufferSize> TransmitBuffer{};
    std::uint16_t TransmitLength = 0;
    std::array<std::uint8_t, kReceiveBufferSize> ReceiveBuffer{};
    // ReceiveCount, EscapePending and ReplyReady live in the frame receiver.
    BootFrameReceiver Receiver{ReceiveBuffer.data(), kReceiveLimit};
    std::uint16_t AttemptsLeft = 0;
    std::optional<BootCommand> LastCommand;
    bool NoAnswer = false;
    TransmitState State = TransmitState::Idle;
    std::uint16_t SavedAttempts = 0;
    std::uint16_t ReplyTimeout = 0;
    bool RewindOnProgram = true;

    std::array<std::uint8_t, kBufferSize> PacketBuffer{};
    std::uint32_t NextSendTime = 0;
    std::array<std::uint8_t, kReceiveBufferSize> ReportBuffer{};
    std::array<std::uint8_t, 65> OutputReport{};
    // A record that did not fit the previous packet opens the next one.
    std::array<std::uint8_t, kMaxRecordBytes> CarriedRecord{};
    std::uint16_t CarriedLength = 0;
    std::size_t ProgrammedRecords = 0;
    VerifyRange VerifySent;    // what the last Verify packet asked the router to check
    bool VerifyKnown = false;  // it came from a file
    // The frame in TransmitBuffer has not been written yet.
    bool FreshFrame = false;
    int Transmissions = 0;  // of the last command
    int Answers = 0;        // replies or markers seen since it was queued
    std::uint32_t LastTransmission = 0;
    // The router keeps the address base of the last address record it took: a
    // Program packet written again must first set the base that was in force
    // when it was first written, or its records land elsewhere. Its repeats go
    // out from ResendBuffer, which carries that record first.
    AddressBase RunBase;  // in force after the last packet built
    std::array<std::uint8_t, kBufferSize> ResendPacket{};
    std::array<std::uint8_t, kBufferSize> ResendBuffer{};
    std::uint16_t ResendLength = 0;
};

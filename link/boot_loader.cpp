#include "link/boot_loader.h"

#include "link/clock.h"
#include "link/crc16.h"
#include "link/device_link.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint8_t kRoutesModeMarker[4] = {0x03, 0xAA, 0x55, 0xAA};
}

CBootLoader::CBootLoader(DeviceLink& link, MillisecondClock& clock, BootListener& listener, FirmwarePayloads& firmware,
                         BootReplyHandler* replies)
    : link_(link), clock_(clock), listener_(listener), replies_(replies), firmware_(firmware)
{
}

std::uint16_t CBootLoader::nextRecord()
{
    if (CarriedLength == 0)
        CarriedLength = firmware_.nextRecord(CarriedRecord.data(), CarriedRecord.size());
    return CarriedLength;
}

// Appends up to eleven whole records behind the code byte. A record that would push
// the escaped frame past the transmit buffer stays carried for the next packet.
std::size_t CBootLoader::appendRecords(std::size_t length)
{
    for (int i = 0; i < kRecordsPerPacket; ++i) {
        const std::uint16_t size = nextRecord();
        if (size == 0 || length + size + 2 + kAddressRecordSize > kMaxPacketWithCrc)
            break;
        std::memcpy(PacketBuffer.data() + length, CarriedRecord.data(), size);
        length += size;
        if (size >= 4)
            RunBase.apply(CarriedRecord[3], CarriedRecord.data() + 4, static_cast<std::size_t>(size - 4));
        CarriedLength = 0;
        ++ProgrammedRecords;
    }
    return length;
}

bool CBootLoader::SendCommand(std::uint8_t code, std::uint16_t attempts, std::uint16_t timeout)
{
    switch (static_cast<BootCommand>(code)) {
    case BootCommand::Version:
    case BootCommand::Erase:
    case BootCommand::Program:
    case BootCommand::Verify:
    case BootCommand::Jump:
        return SendCommand(static_cast<BootCommand>(code), attempts, timeout);
    }
    return false;
}

bool CBootLoader::SendCommand(BootCommand command, std::uint16_t attempts, std::uint16_t timeout)
{
    const auto code = static_cast<std::uint8_t>(command);
    TransmitLength = 0;
    ResendLength = 0;
    Transmissions = 0;
    Answers = 0;
    LastCommand = command;
    PacketBuffer[0] = code;
    std::size_t length = 1;
    AddressBase startBase = RunBase;

    switch (command) {
    case BootCommand::Version:
    case BootCommand::Erase:
        break;
    case BootCommand::Program:
        if (RewindOnProgram) {
            CarriedLength = 0;
            ProgrammedRecords = 0;
            RunBase = AddressBase{};
            startBase = RunBase;
            if (!firmware_.Rewind())
                return false;
        }
        length = appendRecords(length);
        if (length == 1)
            return false;
        break;
    case BootCommand::Verify: {
        // The range and CRC asked for are kept: its reply is compared with them.
        VerifySent = VerifyRange{};
        VerifyKnown = firmware_.verifyRange(VerifySent);
        for (std::uint8_t byte : encodeVerifyPayload(VerifySent))
            PacketBuffer[length++] = byte;
        break;
    }
    case BootCommand::Jump:
        attempts = 1;
        timeout = 10;
        break;
    }

    AttemptsLeft = attempts;
    SavedAttempts = attempts;
    ReplyTimeout = timeout;

    TransmitLength = static_cast<std::uint16_t>(
        BootFrame::encode(PacketBuffer.data(), length, TransmitBuffer.data(), TransmitBuffer.size()));
    if (command == BootCommand::Program) {
        const auto prefix = addressRecord(startBase);
        ResendPacket[0] = code;
        std::memcpy(ResendPacket.data() + 1, prefix.data(), prefix.size());
        std::memcpy(ResendPacket.data() + 1 + prefix.size(), PacketBuffer.data() + 1, length - 1);
        ResendLength = static_cast<std::uint16_t>(
            BootFrame::encode(ResendPacket.data(), length + prefix.size(), ResendBuffer.data(), ResendBuffer.size()));
    }
    FreshFrame = true;
    listener_.commandQueued();
    return true;
}

void CBootLoader::ServiceTransmit()
{
    // Whatever waits before a new command's first transmission answers an earlier
    // one (a repeat's late reply, a second copy); it must not count for this one.
    const auto writeFrame = [this] {
        if (FreshFrame) {
            DiscardInput();
            FreshFrame = false;
            WriteStream(TransmitBuffer.data(), TransmitLength);
        } else if (ResendLength > 0) {
            WriteStream(ResendBuffer.data(), ResendLength);
        } else {
            WriteStream(TransmitBuffer.data(), TransmitLength);
        }
    };
    // The count and the state move before the write: a write that fails may
    // make the listener forget the command.
    if (State == TransmitState::Idle) {
        if (AttemptsLeft > 0) {
            --AttemptsLeft;
            State = TransmitState::Waiting;
            NextSendTime = clock_.now() + ReplyTimeout;
            writeFrame();
        }
        return;
    }
    if (AttemptsLeft > 0) {
        const std::uint32_t now = clock_.now();
        // Signed view of the unsigned difference: past due once now has gone beyond
        // NextSendTime, whatever the counter's wrap-around did in between.
        if (static_cast<std::int32_t>(now - NextSendTime) > 0) {
            NextSendTime = now + ReplyTimeout;
            --AttemptsLeft;
            writeFrame();
        }
    } else {
        NoAnswer = true;
        State = TransmitState::Idle;
    }
}

void CBootLoader::WriteStream(const std::uint8_t* bytes, std::size_t count)
{
    for (std::size_t sent = 0; sent < count; sent += kReportDataSize) {
        OutputReport.fill(0xFF);
        OutputReport[0] = 0x00;
        const std::size_t piece = std::min(kReportDataSize, count - sent);
        std::memcpy(OutputReport.data() + 1, bytes + sent, piece);
        if (!link_.write(OutputReport.data())) {
            listener_.linkFailed();
            return;
        }
    }
    ++Transmissions;
    LastTransmission = clock_.now();
}

int CBootLoader::ReadReport(std::uint8_t* buffer, std::size_t length)
{
    return link_.read(buffer, length);
}

void CBootLoader::PollReceive()
{
    const int read = ReadReport(ReportBuffer.data(), kReadRequest);
    if (read < 0)
        listener_.linkFailed();
    const std::size_t count = read > 0 ? std::min<std::size_t>(static_cast<std::size_t>(read), kReadRequest) : 0;
    if (isRoutesModeMarker(count)) {
        ++Answers;
        listener_.routesModeSeen();
        return;
    }
    FeedReceiver(ReportBuffer.data(), count);
    if (Receiver.ready()) {
        Receiver.clearReady();
        // Only the command last queued is answered; a reply of another type is a
        // late one and leaves the pending command alone. A late reply of the right
        // type after the attempts ran out still counts.
        if (LastCommand && ReceiveBuffer[0] == static_cast<std::uint8_t>(*LastCommand)) {
            ++Answers;
            ClearTransmit();
            DispatchReply();
        }
    } else if (NoAnswer) {
        NoAnswer = false;
        if (LastCommand)
            listener_.commandGaveUp(*LastCommand);
    }
}

// Stops at the end of the first complete reply: the rest of that read is dropped.
void CBootLoader::FeedReceiver(const std::uint8_t* bytes, std::size_t count)
{
    Receiver.feed(bytes, count);
}

void CBootLoader::DispatchReply()
{
    const auto code = static_cast<BootCommand>(ReceiveBuffer[0]);
    const std::uint8_t* payload = ReceiveBuffer.data() + 1;
    const std::size_t length = Receiver.payloadLength();
    switch (code) {
    case BootCommand::Version:
    case BootCommand::Erase:
    case BootCommand::Verify:
        if (replies_)
            replies_->HandleBootReply(code, payload, length);
        break;
    case BootCommand::Program:
        // The next packet goes out at once; the update hears of Program only
        // when the records have run out.
        RewindOnProgram = false;
        if (!SendCommand(BootCommand::Program, SavedAttempts, ReplyTimeout) && replies_)
            replies_->HandleBootReply(code, payload, length);
        RewindOnProgram = true;
        break;
    case BootCommand::Jump:
        break;
    }
}

void CBootLoader::ClearTransmit()
{
    State = TransmitState::Idle;
    AttemptsLeft = 0;
}

bool CBootLoader::ImageCrc(std::uint16_t& crc, std::uint32_t& length) const
{
    crc = VerifySent.crc;
    length = VerifySent.length;
    return VerifyKnown;
}

void CBootLoader::DiscardInput()
{
    // Bounded: a device that never stops sending cannot hold the tick here.
    for (int i = 0; i < kDiscardLimit; ++i)
        if (ReadReport(ReportBuffer.data(), kReadRequest) <= 0)
            break;
    Receiver.reset();
}

bool CBootLoader::isRoutesModeMarker(std::size_t count) const
{
    return count >= 4 && std::memcmp(ReportBuffer.data(), kRoutesModeMarker, 4) == 0;
}

void CBootLoader::SettleOwedReplies(std::uint32_t patience)
{
    // Bounded in reads as well as in time, for a link whose waits return at once.
    for (std::uint32_t reads = 0; owedReplies() > 0 && reads < patience + kDiscardLimit; ++reads) {
        const std::int32_t left = static_cast<std::int32_t>(LastTransmission + patience - clock_.now());
        if (left <= 0)
            break;
        const int read = link_.read(ReportBuffer.data(), kReadRequest, left);
        if (read < 0)
            break;
        if (read > 0 && isRoutesModeMarker(static_cast<std::size_t>(read))) {
            ++Answers;
            listener_.routesModeSeen();
        }
    }
    Receiver.reset();
}

void CBootLoader::Forget()
{
    ClearTransmit();
    LastCommand.reset();
    NoAnswer = false;
    FreshFrame = false;
}

#include "core/session.h"

#include "config/config_files.h"
#include "link/clock.h"
#include "text/texts.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstdint>

Session::Session(HidBackend& backend, MillisecondClock& clock, SessionView& view, Trace* trace)
    : view_(view), clock_(clock), preferences_([&view](const LogMessage& message) { view.showError(message); }),
      connection_(backend, clock, trace), boot_(connection_.link(), clock, *this, hex_),
      update_(boot_, hex_, *this)
{
    boot_.setReplyHandler(&update_);
    boot_.ClearTransmit();
}

Session::~Session() = default;

void Session::loadLastConfiguration()
{
    ConfigImage image = document_.image();
    readImageFile(preferences_.lastConfigPath(), image);
    document_.load(image);
}

void Session::publish()
{
    status_.linkOpen = connection_.isOpen();
    status_.reconnecting = connection_.reconnecting();
    status_.fileAccepted = update_.fileAccepted();
    status_.recordsSent = static_cast<std::uint32_t>(boot_.programmedRecords());
    if (status_ == published_)
        return;
    published_ = status_;
    view_.statusChanged(status_);
}

void Session::announceLink(bool open)
{
    view_.logMessage(open ? Msg::Connected : Msg::Offline);
    status_.exchangeReady = open;
    publish();
}

bool Session::ConnectDevice()
{
    const bool open = connection_.link().open();
    announceLink(open);
    return open;
}

void Session::connect()
{
    connection_.close();
    if (ConnectDevice())
        update_.queueVersion();
    publish();
}

bool Session::starOnTick()
{
    if (progressDelay_ != 0) {
        --progressDelay_;
        return false;
    }
    view_.progressStep();
    progressDelay_ = kProgressDelay;
    return true;
}

void Session::tick()
{
    switch (mode_) {
    case SessionMode::RoutesModeSeen:
        view_.logMessage(Msg::RoutesMode);
        mode_ = SessionMode::Idle;
        status_.mode = RouterStatus::Mode::Routes;
        status_.exchangeReady = true;
        update_.routesModeSeen();
        boot_.ClearTransmit();
        break;
    case SessionMode::UpdateProgress:
        starOnTick();
        break;
    case SessionMode::CopyProgress:
        if (!starOnTick())
            break;
        if (copyCountdown_ != 0) {
            --copyCountdown_;
            break;
        }
        finishUpdate();
        break;
    case SessionMode::Idle:
        break;
    }
    if (const std::optional<bool> opened = connection_.retryReconnect())
        announceLink(*opened);
    if (connection_.isOpen()) {
        boot_.PollReceive();
        boot_.ServiceTransmit();
    }
    if (connection_.watching())
        watchLink();
    connection_.endTick();
    publish();
}

// Only while nothing runs: an update has its own ways with a router that goes
// away (its retries, the wait after the Jump), and an exchange holds the tick.
void Session::watchLink()
{
    if (mode_ != SessionMode::Idle || update_.updateAll() || connection_.reconnecting())
        return;
    switch (connection_.look()) {
    case RouterConnection::Plug::PulledOut:
        boot_.Forget();
        announceLink(false);
        break;
    case RouterConnection::Plug::PluggedIn:
        connect();
        break;
    case RouterConnection::Plug::Nothing:
        break;
    }
}

bool Session::needsFastTick() const
{
    return mode_ != SessionMode::Idle || connection_.reconnecting() || boot_.attemptsLeft() > 0
        || boot_.transmitState() == CBootLoader::TransmitState::Waiting;
}

// The count-down is over, but a real router may still be copying its flash: it is
// looked for again every kReconnectInterval until kReconnectPatience has passed.
void Session::finishUpdate()
{
    view_.logMessage(Msg::Updated);
    status_.mode = RouterStatus::Mode::Routes;
    status_.updateRunning = false;
    status_.outcome = RouterStatus::Outcome::Updated;
    update_.routesModeSeen();
    mode_ = SessionMode::Idle;
    if (connection_.reopenAfterRestart()) {
        announceLink(true);
        return;
    }
    status_.exchangeReady = false;
}

void Session::routesModeSeen()
{
    // During the count-down after an update a connect the user pressed is
    // answered by the new firmware's marker; the update's own end reports the
    // router then, and must not be lost to it.
    if (mode_ == SessionMode::CopyProgress)
        return;
    mode_ = SessionMode::RoutesModeSeen;
}

void Session::commandGaveUp(BootCommand command)
{
    // A Jump is sent once and never answered: the router restarts.
    if (command == BootCommand::Jump)
        return;
    view_.commandGaveUp(command);
    update_.commandGaveUp();
}

void Session::commandQueued()
{
    view_.tickNeeded();
}

void Session::chooseFirmware(const std::filesystem::path* chosen, const QString& shownName)
{
    firmwareName_ = shownName;
    update_.chooseFile(chosen);
}

namespace {
// The log line of each step of an update that says no more than its name.
struct StepLine {
    UpdateEvent::Kind step;
    Msg line;
};
constexpr StepLine kStepLines[] = {
    {UpdateEvent::Kind::Erasing, Msg::Erasing},
    {UpdateEvent::Kind::Erased, Msg::Erased},
    {UpdateEvent::Kind::SendingFirmware, Msg::SendingFirmware},
    {UpdateEvent::Kind::FirmwareSent, Msg::FirmwareSent},
    {UpdateEvent::Kind::Verifying, Msg::Verifying},
    {UpdateEvent::Kind::Copying, Msg::Copying},
    {UpdateEvent::Kind::VerifyFailed, Msg::VerifyFailed},
};
} // namespace

// Each step is logged first, then changes what the session shows.
void Session::updateEvent(const UpdateEvent& event)
{
    using Kind = UpdateEvent::Kind;
    for (const StepLine& step : kStepLines)
        if (step.step == event.kind)
            view_.logMessage(step.line);
    switch (event.kind) {
    case Kind::Version:
        view_.logMessage(LogMessage::updateMode(event.major, event.minor));
        status_.mode = RouterStatus::Mode::Update;
        status_.firmwareMajor = event.major;
        status_.firmwareMinor = event.minor;
        status_.exchangeReady = false;
        break;
    case Kind::FileAccepted:
        view_.logMessage(LogMessage::aboutFile(Msg::HexFileAccepted, firmwareName_));
        break;
    case Kind::FileRefused:
        view_.logMessage(LogMessage::aboutFile(Msg::HexFileRefused, firmwareName_));
        if (!event.check.ok())
            view_.logMessage(LogMessage::firmwareProblem(event.check.problem, event.check.line));
        break;
    case Kind::Erasing:
        mode_ = SessionMode::UpdateProgress;
        status_.updateRunning = true;
        status_.outcome = RouterStatus::Outcome::None;
        break;
    case Kind::Verified:
        view_.logMessage(LogMessage::crcLine(event.routerCrc, event.toolCrc));
        if (event.match)
            view_.logMessage(Msg::VerifyComplete);
        status_.routerCrc = event.routerCrc;
        status_.toolCrc = event.toolCrc;
        break;
    case Kind::Copying:
        mode_ = SessionMode::CopyProgress;
        copyCountdown_ = kCopyCountdown;
        break;
    case Kind::VerifyFailed:
        mode_ = SessionMode::Idle;
        status_.updateRunning = false;
        status_.outcome = RouterStatus::Outcome::VerifyFailed;
        break;
    case Kind::Stopped:
        mode_ = SessionMode::Idle;
        view_.logMessage(LogMessage::updateStopped(event.stop));
        view_.logMessage(event.flashErased ? Msg::FlashLeftErased : Msg::FirmwareUntouched);
        status_.updateRunning = false;
        status_.outcome = RouterStatus::Outcome::Stopped;
        status_.stop = event.stop;
        status_.stoppedCommand = event.command;
        status_.flashErased = event.flashErased;
        break;
    case Kind::Erased:
    case Kind::SendingFirmware:
    case Kind::FirmwareSent:
    case Kind::Verifying:
        break;
    }
    publish();
}

// A router that stopped answering keeps its link, as the design has it: the user
// reconnects to enable the exchange again. One that is gone loses it. Every
// failure first says what went wrong.
void Session::exchangeFailed(const ConfigExchange& exchange, bool sending)
{
    const ConfigExchange::Failure& failure = exchange.failure();
    exchangeFailure_ = failure;
    switch (exchange.outcome()) {
    case ConfigExchange::Outcome::LinkLost:
        dropLink();
        break;
    case ConfigExchange::Outcome::NoAnswer:
    case ConfigExchange::Outcome::WrongAck:
        if (exchange.outcome() == ConfigExchange::Outcome::WrongAck)
            view_.logMessage(LogMessage::wrongAck(static_cast<int>(failure.acknowledged), static_cast<int>(failure.block)));
        else if (!failure.answeredAny)
            view_.logMessage(status_.mode == RouterStatus::Mode::Routes ? Msg::QuietAfterProbe : Msg::NoConfigAnswer);
        else
            view_.logMessage(LogMessage::stoppedAnswering(sending && failure.phase == ConfigExchange::Phase::Check,
                                                          static_cast<int>(failure.bytesMoved)));
        view_.logMessage(Msg::Offline);
        status_.exchangeReady = false;
        break;
    case ConfigExchange::Outcome::NotKept: {
        QStringList offsets;
        for (std::size_t offset : failure.blocksNotKept)
            offsets << offsetText(offset);
        view_.logMessage(LogMessage::blocksNotKept(offsets.join(QStringLiteral(", "))));
        break;
    }
    case ConfigExchange::Outcome::Unconfirmed:
        view_.logMessage(sending ? Msg::SendUnconfirmed : Msg::ReceiveUnconfirmed);
        break;
    case ConfigExchange::Outcome::Done:
        return;
    }
    if (sending)
        view_.logMessage(Msg::ConfigPartlyWritten);
    publish();
}

// The router is gone: its link is closed and that is said once.
void Session::dropLink()
{
    connection_.closeLost();
    boot_.Forget();
    announceLink(false);
}

void Session::linkFailed()
{
    if (!update_.updateAll()) {
        connection_.markLost();
        return;
    }
    // An update stops at once: there is nobody left to answer its retries.
    update_.linkFailed();
    dropLink();
}

ConfigExchange::Outcome Session::readRouterImage(ConfigImage& image, const ExchangeProgress& progress)
{
    // The mode probe may still owe the routing firmware's marker to a repeat of
    // its frame: it must not reach the exchange as image bytes.
    boot_.SettleOwedReplies(ConfigExchange::kLateReplyLimit);
    // Into a copy: a transfer that gives up half way must not leave a mixture behind.
    ConfigImage staging = image;
    ConfigExchange exchange(connection_.link(), clock_);
    if (!exchange.receiveImage(staging.rawBytes(), progress)) {
        exchangeFailed(exchange, false);
        return exchange.outcome();
    }
    image = staging;
    return ConfigExchange::Outcome::Done;
}

ConfigExchange::Outcome Session::writeRouterImage(const ConfigImage& image, const ExchangeProgress& progress)
{
    boot_.SettleOwedReplies(ConfigExchange::kLateReplyLimit);
    ConfigExchange exchange(connection_.link(), clock_);
    if (!exchange.sendImage(image.rawBytes(), progress)) {
        exchangeFailed(exchange, true);
        return exchange.outcome();
    }
    return ConfigExchange::Outcome::Done;
}

bool Session::receiveConfiguration()
{
    ConfigImage received = document_.image();
    if (readRouterImage(received) != ConfigExchange::Outcome::Done)
        return false;
    document_.replaceStored(received, {EditKind::Receive, {}, {}});
    saveConfiguration(preferences_.lastConfigPath());
    view_.logMessage(Msg::ConfigReceived);
    return true;
}

bool Session::sendConfiguration()
{
    if (writeRouterImage(document_.image()) != ConfigExchange::Outcome::Done)
        return false;
    document_.markStored();
    view_.logMessage(Msg::ConfigSent);
    return true;
}

bool Session::openConfiguration(const QString& path)
{
    ConfigImage image;
    const ConfigurationRead read = readConfigurationFile(path, image);
    switch (read.result) {
    case ConfigurationRead::Result::Read:
        document_.replace(image, {EditKind::Open, QFileInfo(path).fileName(), {}});
        return true;
    case ConfigurationRead::Result::Unreadable:
        view_.logMessage(LogMessage::aboutFile(Msg::UnableToOpen, QDir::toNativeSeparators(path)));
        return false;
    case ConfigurationRead::Result::WrongSize:
        view_.logMessage(LogMessage::wrongConfigSize(QDir::toNativeSeparators(path),
                                                    static_cast<int>(std::min<qint64>(read.size, INT32_MAX))));
        return false;
    }
    return false;
}

bool Session::saveConfiguration(const QString& path)
{
    QString why;
    if (writeImageFile(path, document_.image(), &why)) {
        document_.markStored();
        return true;
    }
    view_.logMessage(LogMessage::unableToSave(QDir::toNativeSeparators(path), why));
    return false;
}

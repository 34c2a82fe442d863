#include "core/session.h"

#include "config/config_exchange.h"
#include "config/config_files.h"
#include "link/clock.h"

#include <QDir>

Session::Session(HidBackend& backend, MillisecondClock& clock, SessionView& view, Trace* trace)
    : link(backend, trace), boot(link, clock, *this), update(boot, view, state), view_(view), clock_(clock)
{
    for (int slot = 0; slot < kColorCount; ++slot)
        colors[slot] = Settings::defaultColor(slot);
    boot.ClearTransmit();
}

Session::~Session() = default;

void Session::useWorkFolder(const QString& folder, std::unique_ptr<Settings> settings)
{
    workFolder_ = folder;
    settings_ = settings ? std::move(settings) : std::make_unique<Settings>(settingsPath());
}

QString Session::lastConfigPath() const
{
    return QDir(workFolder_).filePath(QStringLiteral("last.qorv"));
}

QString Session::settingsPath() const
{
    return QDir(workFolder_).filePath(QString::fromLatin1(Settings::kFileName));
}

void Session::loadSettings()
{
    settings_->readColorTable(colors);
}

int Session::storedLanguage() const
{
    return settings_ ? settings_->readLanguage() : 0;
}

void Session::loadLastConfiguration()
{
    readImageFile(lastConfigPath(), image);
}

bool Session::setColor(int slot, std::uint32_t color)
{
    if (slot < 0 || slot >= kColorCount)
        return false;
    colors[slot] = color;
    if (settings_ && settings_->writeColor(slot, color))
        return true;
    view_.showError({Msg::UnableToWrite, settingsPath()});
    return false;
}

// The stored copy is written first; when it cannot be, the language stays as it was.
bool Session::setLanguage(UiLanguage newLanguage)
{
    if (!settings_ || !settings_->writeLanguage(static_cast<int>(newLanguage))) {
        view_.showError({Msg::UnableToWrite, settingsPath()});
        return false;
    }
    language = newLanguage;
    return true;
}

void Session::announceLink(bool open)
{
    view_.appendLog({open ? Msg::Connected : Msg::Offline});
    view_.setButtonEnabled(Button::Recibir, open);
    view_.setButtonEnabled(Button::Enviar, open);
}

bool Session::ConnectDevice()
{
    const bool open = link.open();
    announceLink(open);
    return open;
}

void Session::connect()
{
    reconnecting_ = false;
    if (link.isOpen())
        link.close();
    if (ConnectDevice())
        update.queueVersion();
}

bool Session::starOnTick()
{
    if (state.progressDelay != 0) {
        --state.progressDelay;
        return false;
    }
    view_.insertLogText(QStringLiteral("*"));
    state.progressDelay = kProgressDelay;
    return true;
}

void Session::tick()
{
    switch (state.mode) {
    case SessionMode::RoutesModeSeen:
        view_.appendLog({Msg::RoutesMode});
        state.mode = SessionMode::Idle;
        view_.setButtonEnabled(Button::Recibir, true);
        view_.setButtonEnabled(Button::Enviar, true);
        view_.setButtonEnabled(Button::HexFile, false);
        view_.setButtonEnabled(Button::Todo, false);
        boot.ClearTransmit();
        break;
    case SessionMode::UpdateProgress:
        starOnTick();
        break;
    case SessionMode::CopyProgress:
        if (!starOnTick())
            break;
        if (state.copyCountdown != 0) {
            --state.copyCountdown;
            break;
        }
        finishUpdate();
        break;
    case SessionMode::Idle:
        break;
    }
    if (reconnecting_)
        retryReconnect();
    if (link.isOpen()) {
        boot.PollReceive();
        boot.ServiceTransmit();
    }
}

// The count-down is over, but a real router may still be copying its flash: it is
// looked for again every kReconnectInterval until kReconnectPatience has passed.
void Session::finishUpdate()
{
    view_.appendLog({Msg::Updated});
    view_.setButtonEnabled(Button::HexFile, false);
    view_.setButtonEnabled(Button::Todo, false);
    state.mode = SessionMode::Idle;
    if (link.isOpen())
        link.close();
    if (link.open()) {
        announceLink(true);
        return;
    }
    view_.setButtonEnabled(Button::Recibir, false);
    view_.setButtonEnabled(Button::Enviar, false);
    reconnecting_ = true;
    reconnectStarted_ = clock_.now();
    nextReconnect_ = reconnectStarted_ + kReconnectInterval;
}

void Session::retryReconnect()
{
    const std::uint32_t now = clock_.now();
    if (static_cast<std::int32_t>(now - nextReconnect_) < 0)
        return;
    const bool open = link.open();
    if (open || now - reconnectStarted_ >= kReconnectPatience) {
        reconnecting_ = false;
        announceLink(open);
        return;
    }
    nextReconnect_ = now + kReconnectInterval;
}

bool Session::needsFastTick() const
{
    return state.mode != SessionMode::Idle || reconnecting_ || boot.attemptsLeft() > 0
        || boot.transmitState() == CBootLoader::TransmitState::Waiting;
}

void Session::commandQueued()
{
    view_.tickNeeded();
}

void Session::routesModeSeen()
{
    state.mode = SessionMode::RoutesModeSeen;
}

void Session::commandGaveUp(std::uint8_t command)
{
    if (command < 1 || command > 4)
        return;
    view_.commandGaveUp(command);
    update.commandGaveUp();
}

void Session::HandleBootReply(int code, const std::uint8_t* payload, std::size_t length)
{
    update.HandleBootReply(code, payload, length);
}

// The link stays open: the user reconnects to enable the exchange again.
void Session::exchangeGaveUp()
{
    view_.appendLog({Msg::Offline});
    view_.setButtonEnabled(Button::Recibir, false);
    view_.setButtonEnabled(Button::Enviar, false);
}

void Session::receiveConfiguration()
{
    // Into a copy: a transfer that gives up half way must not leave a mixture behind.
    ConfigImage staging = image;
    ConfigExchange exchange(link, clock_);
    if (!exchange.receiveImage(staging.rawBytes())) {
        exchangeGaveUp();
        return;
    }
    image = staging;
    saveConfiguration(lastConfigPath());
    view_.appendLog({Msg::ConfigReceived});
    view_.rebuildGrids();
}

void Session::sendConfiguration()
{
    ConfigExchange exchange(link, clock_);
    if (!exchange.sendImage(image.rawBytes())) {
        exchangeGaveUp();
        return;
    }
    view_.appendLog({Msg::ConfigSent});
}

void Session::openConfiguration(const QString& path)
{
    readImageFile(path, image);
}

void Session::saveConfiguration(const QString& path)
{
    if (!writeImageFile(path, image))
        view_.appendLog({Msg::UnableToSave, QDir::toNativeSeparators(path)});
}

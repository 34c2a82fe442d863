#include "cli/commands.h"

#include "cli/config_edit.h"
#include "cli/config_text.h"
#include "cli/platform.h"
#include "config/config_files.h"
#include "core/config_document.h"
#include "core/session.h"
#include "firmware/hex_manager.h"
#include "link/boot_commands.h"
#include "link/clock.h"
#include "text/texts.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <array>
#include <memory>
#include <cerrno>
#include <cstring>
#include <set>

namespace {
constexpr std::uint32_t kProbeMilliseconds = 1500;     // three Version attempts, 400 ms apart, and a margin
constexpr std::uint32_t kUpdateMilliseconds = 30 * 60 * 1000;

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// JSON is UTF-8 whatever the terminal's code page (on Windows the local 8-bit
// encoding is not): written as its bytes.
void printJson(std::FILE* stream, const QJsonObject& object)
{
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stream);
    std::fflush(stream);
}

// The one reader of configuration files, strict here: a configuration is
// exactly kImageSize bytes, and anything else is refused rather than shown
// half made up. False (with the reason on `err`) when refused.
bool readConfiguration(const QString& path, ConfigImage& image, std::FILE* err, const char* nothingDone = "")
{
    const ConfigurationRead read = readConfigurationFile(path, image);
    switch (read.result) {
    case ConfigurationRead::Result::Read:
        return true;
    case ConfigurationRead::Result::Unreadable:
        print(err, QStringLiteral("qorvctl: cannot read %1\n").arg(path));
        return false;
    case ConfigurationRead::Result::WrongSize:
        print(err, QStringLiteral("qorvctl: %1 holds %2 bytes; a configuration is exactly %3 bytes.%4\n")
                       .arg(path).arg(read.size).arg(kImageSize).arg(QLatin1String(nothingDone)));
        return false;
    }
    return false;
}

// Why a firmware file was refused, for a terminal.
QString refusal(const QString& path, const FirmwareCheck& check, bool signatureOk)
{
    if (!signatureOk)
        return QStringLiteral("qorvctl: %1 is not a valid firmware for QORV (its first line must begin with \"%2\")\n")
            .arg(path, QString::fromLatin1(kFirmwareSignature));
    return QStringLiteral("qorvctl: %1 is not a valid firmware for QORV. %2\n")
        .arg(path, firmwareProblemText(check, UiLanguage::English));
}

QString commandName(BootCommand command)
{
    switch (command) {
    case BootCommand::Version:
        return QStringLiteral("Version");
    case BootCommand::Erase:
        return QStringLiteral("Erase");
    case BootCommand::Program:
        return QStringLiteral("Program");
    case BootCommand::Verify:
        return QStringLiteral("Verify");
    case BootCommand::Jump:
        return QStringLiteral("Jump");
    }
    return QString();
}

QString hexNumber(std::uint32_t value, int digits)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// Shows how far a transfer has come: a bar redrawn in place on a terminal, a line
// every tenth otherwise.
class Progress {
public:
    Progress(const RouterAccess& access, QString label, std::size_t total)
        : access_(access), base_(label), label_(std::move(label)), total_(total ? total : 1), start_(access.clock->now())
    {
    }
    // A transfer's step: its total may grow, and its phase names the label.
    void update(const Session::ExchangeStep& step)
    {
        total_ = step.total ? step.total : 1;
        const QString label = step.phase == Session::ExchangePhase::Check
            ? QStringLiteral("%1, %2").arg(base_, uiText(Text::Checking, UiLanguage::English))
            : base_;
        if (label != label_)
            lastTenth_ = -1;
        label_ = label;
        update(step.done);
    }
    void update(std::size_t done)
    {
        const int percent = static_cast<int>(std::min<std::size_t>(done, total_) * 100 / total_);
        const double seconds = (access_.clock->now() - start_) / 1000.0;
        if (access_.terminal) {
            const int filled = percent * 30 / 100;
            print(access_.err, QStringLiteral("\r%1 [%2%3] %4%  %5 s").arg(label_, QString(filled, QLatin1Char('#')),
                                                                           QString(30 - filled, QLatin1Char('.')))
                                   .arg(percent, 3).arg(seconds, 0, 'f', 1));
        } else if (percent / 10 != lastTenth_) {
            lastTenth_ = percent / 10;
            print(access_.err, QStringLiteral("%1: %2% (%3 s)\n").arg(label_).arg(percent).arg(seconds, 0, 'f', 1));
        }
    }
    void finish()
    {
        if (access_.terminal)
            print(access_.err, QStringLiteral("\n"));
    }

private:
    const RouterAccess& access_;
    QString base_;
    QString label_;
    std::size_t total_;
    std::uint32_t start_;
    int lastTenth_ = -1;
};

// Prints the session's messages in English, as the window would log them, and
// keeps the status the session publishes.
class ConsoleView final : public SessionView {
public:
    explicit ConsoleView(std::FILE* stream) : stream_(stream) {}

    void logMessage(const LogMessage& message) override
    {
        if (echo)
            print(stream_, messageText(message, UiLanguage::English).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed()
                               + QLatin1Char('\n'));
    }
    void statusChanged(const RouterStatus& published) override { status = published; }
    void showError(const LogMessage& message) override { print(stream_, messageText(message, UiLanguage::English) + '\n'); }
    void commandGaveUp(BootCommand) override { gaveUp = true; }

    bool echo = false;
    bool gaveUp = false;
    RouterStatus status;

private:
    std::FILE* stream_;
};

enum class RouterMode { Absent, Routes, Update, Silent };

QString versionText(const RouterStatus& status)
{
    return QStringLiteral("%1.%2").arg(status.firmwareMajor).arg(status.firmwareMinor, 2, 10, QLatin1Char('0'));
}

// Opens the router and asks which firmware answers, as the window's connect button does.
RouterMode probe(Session& session, ConsoleView& view, const RouterAccess& access)
{
    if (!session.ConnectDevice())
        return RouterMode::Absent;
    session.update().queueVersion();
    const std::uint32_t start = access.clock->now();
    while (access.clock->now() - start < kProbeMilliseconds) {
        session.tick();
        if (view.status.mode == RouterStatus::Mode::Routes)
            return RouterMode::Routes;
        if (view.status.mode == RouterStatus::Mode::Update)
            return RouterMode::Update;
        if (view.gaveUp)
            return RouterMode::Silent;
        access.pause();
    }
    return RouterMode::Silent;
}

int modeError(RouterMode mode, RouterMode wanted, const RouterAccess& access)
{
    switch (mode) {
    case RouterMode::Absent:
        print(access.err, QStringLiteral("qorvctl: no QORV router found (vendor 04D8, product EFF6); "
                                         "try 'qorvctl doctor'\n"));
        return kExitNoRouter;
    case RouterMode::Silent:
        print(access.err, QStringLiteral("qorvctl: the router does not answer\n"));
        return kExitNoAnswer;
    default:
        break;
    }
    if (mode == wanted)
        return kExitOk;
    print(access.err, wanted == RouterMode::Routes
                          ? QStringLiteral("qorvctl: the router runs its bootloader (update mode), not its routing firmware\n")
                          : QStringLiteral("qorvctl: the router runs its routing firmware, not its bootloader (update mode)\n"));
    return kExitWrongMode;
}

struct Connection {
    explicit Connection(const RouterAccess& access)
        : view(access.err), session(*access.backend, *access.clock, view, access.trace)
    {
        session.preferences().useWorkFolder(scratch.path());  // nothing of the window's work folder is touched
    }
    QTemporaryDir scratch;
    ConsoleView view;
    Session session;
};
} // namespace

namespace Commands {

int show(const QString& path, bool json, std::FILE* out, std::FILE* err)
{
    ConfigImage image;
    if (!readConfiguration(path, image, err))
        return kExitFile;
    if (json)
        printJson(out, ConfigText::toJson(image));
    else
        print(out, ConfigText::show(image));
    return kExitOk;
}

int diff(const QString& first, const QString& second, std::FILE* out, std::FILE* err)
{
    ConfigImage a, b;
    if (!readConfiguration(first, a, err) || !readConfiguration(second, b, err))
        return kExitFile;
    const ConfigText::Difference difference = ConfigText::diff(a, b);
    print(out, ConfigText::describe(difference));
    return difference.identical ? kExitOk : kExitDifferent;
}

int hexInfo(const QString& path, bool json, std::FILE* out, std::FILE* err)
{
    CHexManager hex;
    if (!QFileInfo::exists(path)) {
        print(err, QStringLiteral("qorvctl: cannot read %1\n").arg(path));
        return kExitFile;
    }
    const bool signatureOk = hex.OpenHexFile(std::filesystem::path(path.toStdU16String()));
    const FirmwareCheck check = hex.Check();
    if (!signatureOk || !check.ok()) {
        print(err, refusal(path, check, signatureOk));
        return kExitFile;
    }
    const ImageRange& range = check.range;
    QStringList payload;
    for (std::uint8_t byte : encodeVerifyPayload(range))
        payload << QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    if (json) {
        printJson(out, QJsonObject{
                           {QStringLiteral("file"), path},
                           {QStringLiteral("records"), static_cast<qint64>(check.records)},
                           {QStringLiteral("start"), static_cast<qint64>(range.start)},
                           {QStringLiteral("length"), static_cast<qint64>(range.length)},
                           {QStringLiteral("crc"), range.crc},
                           {QStringLiteral("unverifiedBytes"), static_cast<qint64>(range.outsideBytes)},
                           {QStringLiteral("verifyPayload"), payload.join(QLatin1Char(' '))},
                       });
        return kExitOk;
    }
    print(out, QStringLiteral("file:           %1\n"
                              "signature:      ok\n"
                              "records:        %2\n"
                              "image start:    %3\n"
                              "image length:   %4\n"
                              "crc:            %5\n"
                              "unverified:     %6 data bytes outside the verified range\n"
                              "verify payload: %7\n")
                   .arg(path)
                   .arg(check.records)
                   .arg(hexNumber(range.start, 8), hexNumber(range.length, 8), hexNumber(range.crc, 4))
                   .arg(range.outsideBytes)
                   .arg(payload.join(QLatin1Char(' '))));
    return kExitOk;
}

// What a failed exchange tells the terminal.
int exchangeError(Session& session, Session::ExchangeOutcome outcome, bool sending, const RouterAccess& access)
{
    const Session::ExchangeFailure& failure = session.exchangeFailure();
    const QString router = sending ? QStringLiteral("; its configuration may be partly written")
                                   : QStringLiteral("; nothing was written");
    switch (outcome) {
    case Session::ExchangeOutcome::LinkLost:
        print(access.err, QStringLiteral("qorvctl: the router was disconnected%1\n").arg(router));
        return kExitNoRouter;
    case Session::ExchangeOutcome::Unconfirmed:
        print(access.err, sending ? QStringLiteral("qorvctl: the configuration was written, but reading it back to check it "
                                                   "never gave the same bytes twice; it may be partly written\n")
                                  : QStringLiteral("qorvctl: the router's configuration could not be confirmed: "
                                                   "its reads never agreed; nothing was written\n"));
        return kExitNoAnswer;
    case Session::ExchangeOutcome::WrongAck:
        print(access.err, QStringLiteral("qorvctl: the router acknowledged offset %1 for the block at %2%3\n")
                              .arg(offsetText(failure.acknowledged), offsetText(failure.block), router));
        return kExitNoAnswer;
    case Session::ExchangeOutcome::NotKept: {
        QStringList blocks;
        for (std::size_t offset : failure.blocksNotKept)
            blocks << offsetText(offset);
        print(access.err, QStringLiteral("qorvctl: read back after %1 writes, the router does not hold the blocks at %2 "
                                         "(32 bytes each); it now holds a partly written configuration\n")
                              .arg(Session::kSendChecks)
                              .arg(blocks.join(QStringLiteral(", "))));
        return kExitNotKept;
    }
    default:
        if (!failure.answeredAny)
            print(access.err, QStringLiteral("qorvctl: the router answered when connected, but does not answer "
                                             "configuration requests%1\n").arg(router));
        else if (sending && failure.phase == Session::ExchangePhase::Check)
            print(access.err, QStringLiteral("qorvctl: every block was acknowledged, but the router stopped answering "
                                             "while it was read back to check it (after %1 of %2 bytes)%3\n")
                                  .arg(failure.bytesMoved).arg(kImageSize).arg(router));
        else
            print(access.err, QStringLiteral("qorvctl: the router stopped answering after %1 of %2 bytes%3\n")
                                  .arg(failure.bytesMoved).arg(kImageSize).arg(router));
        return kExitNoAnswer;
    }
}

// The router's configuration into `image`, or `image` into the router, with
// a progress bar on the terminal.
Session::ExchangeOutcome transfer(Session& session, ConfigImage& image, bool sending, const RouterAccess& access)
{
    Progress progress(access, sending ? QStringLiteral("send") : QStringLiteral("receive"), kImageSize);
    const Session::ExchangeProgress shown = [&](const Session::ExchangeStep& step) { progress.update(step); };
    const Session::ExchangeOutcome outcome = sending ? session.writeRouterImage(image, shown) : session.readRouterImage(image, shown);
    progress.finish();
    return outcome;
}

bool isStandardStream(const QString& path)
{
    return path == QLatin1String("-");
}

int receive(const QString& path, const RouterAccess& access)
{
    Connection c(access);
    if (const int error = modeError(probe(c.session, c.view, access), RouterMode::Routes, access))
        return error;
    ConfigImage image;
    const Session::ExchangeOutcome outcome = transfer(c.session, image, false, access);
    if (outcome != Session::ExchangeOutcome::Done)
        return exchangeError(c.session, outcome, false, access);
    if (isStandardStream(path)) {
        Platform::setBinary(access.out);
        const bool written = std::fwrite(image.rawBytes(), 1, kImageSize, access.out) == kImageSize
            && std::fflush(access.out) == 0 && !std::ferror(access.out);
        if (!written) {
            print(access.err, QStringLiteral("qorvctl: unable to write the configuration to standard output: %1\n")
                                  .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return kExitFile;
        }
        print(access.err, QStringLiteral("Received configuration into standard output\n"));
        return kExitOk;
    }
    QString why;
    if (!writeImageFile(path, image, &why)) {
        print(access.err, QStringLiteral("qorvctl: unable to save %1: %2\n").arg(path, why));
        return kExitFile;
    }
    print(access.out, QStringLiteral("Received configuration into %1\n").arg(path));
    return kExitOk;
}

// Reads one configuration from standard input: exactly kImageSize bytes.
bool readStandardInput(ConfigImage& image, const RouterAccess& access)
{
    Platform::setBinary(access.in);
    QByteArray bytes;
    char buffer[4096];
    while (bytes.size() <= static_cast<qsizetype>(kImageSize)) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, access.in);
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<qsizetype>(n));
    }
    if (std::ferror(access.in)) {
        print(access.err, QStringLiteral("qorvctl: cannot read standard input. Nothing was sent.\n"));
        return false;
    }
    if (bytes.size() != static_cast<qsizetype>(kImageSize)) {
        print(access.err, QStringLiteral("qorvctl: standard input holds %1%2 bytes; a configuration is exactly %3 bytes. "
                                         "Nothing was sent.\n")
                              .arg(bytes.size() > static_cast<qsizetype>(kImageSize) ? QStringLiteral("more than ") : QString())
                              .arg(std::min<qsizetype>(bytes.size(), kImageSize))
                              .arg(kImageSize));
        return false;
    }
    std::memcpy(image.rawBytes(), bytes.constData(), kImageSize);
    return true;
}

int send(const QString& path, const RouterAccess& access)
{
    ConfigImage image;
    if (isStandardStream(path) ? !readStandardInput(image, access)
                               : !readConfiguration(path, image, access.err, " Nothing was sent."))
        return kExitFile;
    Connection c(access);
    if (const int error = modeError(probe(c.session, c.view, access), RouterMode::Routes, access))
        return error;
    const Session::ExchangeOutcome outcome = transfer(c.session, image, true, access);
    if (outcome != Session::ExchangeOutcome::Done)
        return exchangeError(c.session, outcome, true, access);
    print(access.out, QStringLiteral("Configuration sent, and read back the same\n"));
    return kExitOk;
}

int update(const QString& path, const RouterAccess& access)
{
    Connection c(access);
    if (const int error = modeError(probe(c.session, c.view, access), RouterMode::Update, access))
        return error;
    print(access.out, QStringLiteral("Router firmware version %1\n").arg(versionText(c.view.status)));

    const std::filesystem::path file(path.toStdU16String());
    c.session.chooseFirmware(&file, path);
    if (!c.view.status.fileAccepted) {
        // The check runs only on a file whose signature is right.
        const FirmwareCheck& check = c.session.firmwareCheck();
        print(access.err, QFileInfo::exists(path) ? refusal(path, check, !check.ok())
                                                  : QStringLiteral("qorvctl: cannot read %1\n").arg(path));
        return kExitFile;
    }

    c.view.echo = !access.terminal;
    c.session.update().startUpdate();
    Progress progress(access, QStringLiteral("update"), c.session.firmwareCheck().records);
    const std::uint32_t start = access.clock->now();
    // Done once the router has been looked for after the Jump, found or not.
    while (c.view.status.outcome != RouterStatus::Outcome::Updated || c.view.status.reconnecting) {
        const RouterStatus& status = c.view.status;
        if (status.outcome == RouterStatus::Outcome::VerifyFailed) {
            progress.finish();
            print(access.err, QStringLiteral("qorvctl: verification failed (%1); the new firmware was not started\n")
                                  .arg(messageText(LogMessage::crcLine(status.routerCrc, status.toolCrc), UiLanguage::English)));
            return kExitVerifyFailed;
        }
        if (status.outcome == RouterStatus::Outcome::Stopped) {
            progress.finish();
            QString why = messageText(LogMessage::updateStopped(status.stop), UiLanguage::English);
            if (status.stop == UpdateStop::NoAnswer)
                why += QStringLiteral(" (the %1 got no answer)").arg(commandName(status.stoppedCommand));
            print(access.err, QStringLiteral("qorvctl: %1. %2.\n")
                                  .arg(why, messageText({status.flashErased ? Msg::FlashLeftErased : Msg::FirmwareUntouched},
                                                        UiLanguage::English)));
            return status.stop == UpdateStop::RouterGone ? kExitNoRouter : kExitNoAnswer;
        }
        if (access.clock->now() - start > kUpdateMilliseconds) {
            progress.finish();
            print(access.err, QStringLiteral("qorvctl: the update did not finish in time\n"));
            return kExitNoAnswer;
        }
        c.session.tick();
        progress.update(c.view.status.recordsSent);
        access.pause();
    }
    progress.finish();
    if (!c.session.isOpen()) {
        print(access.err, QStringLiteral("qorvctl: QORV updated and started, but the router has not come back on USB; "
                                         "unplug it and plug it in again\n"));
        return kExitNotBack;
    }
    print(access.out, QStringLiteral("QORV updated; the router is connected again\n"));
    return kExitOk;
}

int doctor(const RouterAccess& access)
{
    int result = kExitOk;
    auto say = [&](const QString& text) { print(access.out, text + QLatin1Char('\n')); };
    if (!access.simulated.isEmpty()) {
        say(QStringLiteral("Using the simulated router (QORV_SIMULATE=%1).").arg(access.simulated));
    } else if (Platform::canListHidNodes()) {
        const QList<Platform::HidNode> nodes = Platform::hidNodes(kRouterVendorId, kRouterProductId);
        const QStringList rules = Platform::udevRulesFor(kRouterVendorId, kRouterProductId);
        if (nodes.isEmpty())
            say(QStringLiteral("No QORV router is attached: no hidraw device has vendor 04d8, product eff6. "
                               "Check the USB cable."));
        for (const Platform::HidNode& node : nodes)
            say(QStringLiteral("Attached: %1 (%2)").arg(node.path, node.readable && node.writable
                                                                        ? QStringLiteral("readable and writable")
                                                                        : QStringLiteral("no permission to open it")));
        say(rules.isEmpty() ? QStringLiteral("udev rule: none installed for 04d8:eff6")
                            : QStringLiteral("udev rule: %1").arg(rules.join(QStringLiteral(", "))));
        const bool denied = std::any_of(nodes.begin(), nodes.end(),
                                        [](const Platform::HidNode& n) { return !(n.readable && n.writable); });
        if (denied) {
            say(QStringLiteral("To let your user open the router, run:"));
            say(QStringLiteral("  echo '%1' | sudo tee /etc/udev/rules.d/70-qorv.rules && "
                               "sudo udevadm control --reload-rules && sudo udevadm trigger")
                    .arg(QLatin1String(Platform::kUdevRule)));
            say(QStringLiteral("then unplug the router and plug it in again."));
        }
    }

    Connection c(access);
    switch (probe(c.session, c.view, access)) {
    case RouterMode::Absent:
        say(QStringLiteral("The router cannot be opened."));
        result = kExitNoRouter;
        break;
    case RouterMode::Silent:
        say(QStringLiteral("The router opens but does not answer."));
        result = kExitNoAnswer;
        break;
    case RouterMode::Routes:
        say(QStringLiteral("The router answers in routes mode (routing firmware running)."));
        break;
    case RouterMode::Update:
        say(QStringLiteral("The router answers in update mode (bootloader running), firmware version %1.")
                .arg(versionText(c.view.status)));
        break;
    }
    return result;
}

namespace {
// Reads the configuration the target holds, lets `edit` change it, and puts it
// back: a file with the checked write, the router with a proven send. Nothing
// is written when the edit is refused or changes nothing.
int editConfiguration(const EditTarget& target, const RouterAccess& access,
                      const std::function<ConfigEdit::Result(ConfigDocument&, QString&)>& edit)
{
    ConfigImage before;
    std::unique_ptr<Connection> c;
    if (target.router) {
        c = std::make_unique<Connection>(access);
        if (const int error = modeError(probe(c->session, c->view, access), RouterMode::Routes, access))
            return error;
        const Session::ExchangeOutcome outcome = transfer(c->session, before, false, access);
        if (outcome != Session::ExchangeOutcome::Done)
            return exchangeError(c->session, outcome, false, access);
    } else if (!readConfiguration(target.path, before, access.err, " Nothing was changed.")) {
        return kExitFile;
    }
    ConfigDocument document;
    document.load(before);
    QString error;
    switch (edit(document, error)) {
    case ConfigEdit::Result::UnknownName:
        print(access.err, QStringLiteral("qorvctl: %1. Nothing was changed.\n").arg(error));
        return kExitUsage;
    case ConfigEdit::Result::TableFull:
        print(access.err, QStringLiteral("qorvctl: %1. Nothing was changed.\n").arg(error));
        return kExitFile;
    case ConfigEdit::Result::Done:
        break;
    }
    ConfigImage after = document.image();
    if (after == before) {
        print(access.out, QStringLiteral("Nothing to change.\n"));
        return kExitOk;
    }
    if (target.router) {
        const Session::ExchangeOutcome outcome = transfer(c->session, after, true, access);
        if (outcome != Session::ExchangeOutcome::Done)
            return exchangeError(c->session, outcome, true, access);
    } else {
        QString why;
        if (!writeImageFile(target.path, after, &why)) {
            print(access.err, QStringLiteral("qorvctl: unable to save %1: %2\n").arg(target.path, why));
            return kExitFile;
        }
    }
    print(access.out, ConfigText::describe(ConfigText::diff(before, after)));
    return kExitOk;
}
} // namespace

int route(const EditTarget& target, bool on, const QStringList& names, const RouterAccess& access)
{
    std::vector<std::pair<QString, QString>> routes;
    for (qsizetype i = 0; i + 1 < names.size(); i += 2)
        routes.emplace_back(names[i], names[i + 1]);
    return editConfiguration(target, access, [&](ConfigDocument& document, QString& error) {
        return ConfigEdit::setRoutes(document, on, routes, error);
    });
}

int remove(const EditTarget& target, const QString& device, const RouterAccess& access)
{
    return editConfiguration(target, access, [&](ConfigDocument& document, QString& error) {
        return ConfigEdit::removeDevice(document, device, error);
    });
}

int import(const QString& json, const QString& path, std::FILE* out, std::FILE* err)
{
    QFile file(json);
    if (!file.open(QIODevice::ReadOnly)) {
        print(err, QStringLiteral("qorvctl: cannot read %1: %2\n").arg(json, file.errorString()));
        return kExitFile;
    }
    ConfigImage image;
    QString error;
    if (!ConfigText::fromJson(file.readAll(), image, error)) {
        print(err, QStringLiteral("qorvctl: %1, %2. Nothing was written.\n").arg(json, error));
        return kExitFile;
    }
    QString why;
    if (!writeImageFile(path, image, &why)) {
        print(err, QStringLiteral("qorvctl: unable to save %1: %2\n").arg(path, why));
        return kExitFile;
    }
    print(out, QStringLiteral("Wrote %1\n").arg(path));
    return kExitOk;
}

int names(const QString& path, const QString& kind, std::FILE* out, std::FILE* err)
{
    ConfigImage image;
    if (!readConfiguration(path, image, err))
        return kExitFile;
    QStringList list;
    if (kind == QLatin1String("sources") || kind == QLatin1String("destinations"))
        list = ConfigEdit::portNames(image, kind == QLatin1String("sources"));
    else if (kind == QLatin1String("devices"))
        list = ConfigEdit::deviceNames(image);
    else {
        print(err, QStringLiteral("qorvctl: names lists sources, destinations or devices\n"));
        return kExitUsage;
    }
    for (const QString& name : list)
        print(out, name + QLatin1Char('\n'));
    return kExitOk;
}

} // namespace Commands

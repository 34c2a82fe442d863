#include "cli/commands.h"
#include "cli/config_text.h"
#include "core/config_document.h"
#include "cli/platform.h"
#include "config/config_files.h"
#include "exchange_faults.h"
#include "hex_helpers.h"
#include "link/clock.h"
#include "sim/sim_router.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#if defined(Q_OS_LINUX)
#include <unistd.h>
#endif

namespace {
// A stream whose text a test can read back.
class Capture {
public:
    Capture() : file_(std::tmpfile()) {}
    ~Capture() { std::fclose(file_); }
    std::FILE* stream() { return file_; }
    QString text() { return QString::fromLocal8Bit(bytes()); }
    QByteArray bytes()
    {
        std::fflush(file_);
        std::rewind(file_);
        QByteArray bytes;
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file_))
            bytes.append(buffer, static_cast<qsizetype>(n));
        return bytes;
    }
    // Replaces what the stream holds and rewinds it, for a command to read.
    void fill(const QByteArray& bytes)
    {
        std::fclose(file_);
        file_ = std::tmpfile();
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), file_);
        std::rewind(file_);
    }

private:
    std::FILE* file_;
};

class CliTest : public ::testing::Test {
protected:
    RouterAccess access()
    {
        RouterAccess a;
        a.backend = &backend;
        a.clock = &clock;
        a.pause = [this] { clock.advance(1); };
        a.in = in.stream();
        a.out = out.stream();
        a.err = err.stream();
        return a;
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString firmware(int dataRecords)
    {
        std::vector<std::string> lines = {linearRecord(0x1D00)};
        for (int i = 0; i < dataRecords; ++i)
            lines.push_back(hexRecord(0, static_cast<std::uint16_t>(0x1000 + 16 * i), ramp(16, static_cast<std::uint8_t>(i))));
        lines.push_back(hexRecord(1, 0, {}));
        return writeFirmware(dir, QStringLiteral("fw.hex"), lines);
    }

    QTemporaryDir dir;
    SimRouter router{SimRouter::Mode::Routes};
    SimBackend backend{router};
    FakeClock clock{1};
    Capture in;
    Capture out;
    Capture err;
};

QByteArray bytesOf(const ConfigImage& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.rawBytes()), kImageSize);
}
} // namespace

TEST_F(CliTest, ShowListsDevicesAndEveryKindOfRoute)
{
    writeImageFile(path(QStringLiteral("a.qorv")), sampleConfiguration());
    ASSERT_EQ(Commands::show(path(QStringLiteral("a.qorv")), false, out.stream(), err.stream()), kExitOk);
    const QString text = out.text();
    for (const char* line : {"0582 / 0160  Keys  serial 1048577  2 ports", "0A1B / 00FF  Drum Machine  serial 4294967295  1 port",
                             "MIDI In -> MIDI Out", "Keys In 1 -> MIDI Out", "MIDI In -> Synth Out 3",
                             "Keys In 2 -> Synth Out 2", "Drum Machine In 1 -> Keys Out 2"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(line))) << line << "\n" << text.toStdString();
}

TEST_F(CliTest, ShowAsJson)
{
    writeImageFile(path(QStringLiteral("a.qorv")), sampleConfiguration());
    ASSERT_EQ(Commands::show(path(QStringLiteral("a.qorv")), true, out.stream(), err.stream()), kExitOk);
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(out.text().toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    const QJsonArray devices = root.value(QStringLiteral("devices")).toArray();
    ASSERT_EQ(devices.size(), 3);
    EXPECT_EQ(devices[2].toObject().value(QStringLiteral("serial")).toDouble(), 4294967295.0);
    EXPECT_EQ(devices[1].toObject().value(QStringLiteral("vendorId")).toString(), QStringLiteral("1235"));
    const QJsonArray routes = root.value(QStringLiteral("routes")).toArray();
    EXPECT_EQ(routes.size(), 7);
    const QJsonObject toMidiOut = routes[1].toObject();
    EXPECT_EQ(toMidiOut.value(QStringLiteral("to")).toString(), QStringLiteral("router"));
    EXPECT_EQ(toMidiOut.value(QStringLiteral("from")).toObject().value(QStringLiteral("port")).toInt(), 1);
    EXPECT_TRUE(root.value(QStringLiteral("midiThru")).toBool());
}

TEST_F(CliTest, DiffNamesRoutesAndOtherBytes)
{
    ConfigImage a = sampleConfiguration();
    ConfigImage b = a;
    b.toggleRoute(1, 0, 0, 0);            // Synth In 1 -> Keys Out 1 added
    b.toggleRoute(0, 1, 1, 1);            // Keys In 2 -> Synth Out 2 removed
    b.rawBytes()[kReservedOffset + 3] = 0x99;
    writeImageFile(path(QStringLiteral("a.qorv")), a);
    writeImageFile(path(QStringLiteral("b.qorv")), b);
    EXPECT_EQ(Commands::diff(path(QStringLiteral("a.qorv")), path(QStringLiteral("b.qorv")), out.stream(), err.stream()),
              kExitDifferent);
    const QString text = out.text();
    EXPECT_TRUE(text.contains(QStringLiteral("+ route Synth In 1 -> Keys Out 1")));
    EXPECT_TRUE(text.contains(QStringLiteral("- route Keys In 2 -> Synth Out 2")));
    EXPECT_TRUE(text.contains(QStringLiteral("reserved bytes differ (1 of 71)")));
    EXPECT_FALSE(text.contains(QStringLiteral("device")));

    Capture again;
    EXPECT_EQ(Commands::diff(path(QStringLiteral("a.qorv")), path(QStringLiteral("a.qorv")), again.stream(), err.stream()),
              kExitOk);
    EXPECT_EQ(Commands::diff(path(QStringLiteral("a.qorv")), path(QStringLiteral("none.qorv")), again.stream(), err.stream()),
              kExitFile);

    ConfigImage c = a;
    c.removeDevice(2);
    const ConfigText::Difference removed = ConfigText::diff(a, c);
    EXPECT_EQ(removed.devicesRemoved, QStringList{QStringLiteral("0A1B / 00FF  Drum Machine  serial 4294967295  1 port")});
    EXPECT_EQ(removed.routesRemoved.size(), 2);
}

TEST_F(CliTest, HexInfoPrintsWhatVerifyWouldCarry)
{
    const QString file = writeFirmware(dir, QStringLiteral("two.hex"),
                                       {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(16)), linearRecord(0x1FC0),
                                        hexRecord(0, 0x0BF0, ramp(16)), hexRecord(0, 0x0C00, ramp(6)), hexRecord(1, 0, {})});
    ASSERT_EQ(Commands::hexInfo(file, false, out.stream(), err.stream()), kExitOk);
    const QString text = out.text();
    EXPECT_TRUE(text.contains(QStringLiteral("records:        6")));
    EXPECT_TRUE(text.contains(QStringLiteral("image start:    0x00001000")));
    EXPECT_TRUE(text.contains(QStringLiteral("image length:   0x0001FC00")));
    EXPECT_TRUE(text.contains(QStringLiteral("unverified:     6 data bytes outside the verified range")));

    // A small file whose payload is written out by hand: start 0x1000, length 4,
    // CRC-16/XMODEM of 31 32 33 FF = 0xBFAE, low byte first.
    QFile known(dir.filePath(QStringLiteral("known.hex")));
    ASSERT_TRUE(known.open(QIODevice::WriteOnly));
    known.write("QORV-Marbeno Soft\n:020000041D00DD\n:0310000031323357\n:00000001FF\n");
    known.close();
    Capture small;
    ASSERT_EQ(Commands::hexInfo(known.fileName(), false, small.stream(), err.stream()), kExitOk);
    EXPECT_TRUE(small.text().contains(QStringLiteral("verify payload: 00 10 00 00 04 00 00 00 AE BF\n"))) << small.text().toStdString();
    EXPECT_TRUE(small.text().contains(QStringLiteral("crc:            0xBFAE")));

    const QString bad = writeFirmware(dir, QStringLiteral("bad.hex"), {}, "\n", "qorv-marbeno soft");
    EXPECT_EQ(Commands::hexInfo(bad, false, out.stream(), err.stream()), kExitFile);
    EXPECT_TRUE(err.text().contains(QStringLiteral("not a valid firmware")));

    // A record with a wrong checksum is refused with its line.
    const QString corrupt = writeFirmware(dir, QStringLiteral("corrupt.hex"),
                                          {linearRecord(0x1D00), ":0310000031323358", hexRecord(1, 0, {})});
    Capture refused;
    EXPECT_EQ(Commands::hexInfo(corrupt, false, out.stream(), refused.stream()), kExitFile);
    EXPECT_TRUE(refused.text().contains(QStringLiteral("Line 3: wrong checksum."))) << refused.text().toStdString();
}

TEST_F(CliTest, ReceiveAndSendThroughTheRouter)
{
    const QString received = path(QStringLiteral("r.qorv"));
    ASSERT_EQ(Commands::receive(received, access()), kExitOk);
    ConfigImage image;
    readImageFile(received, image);
    EXPECT_EQ(image, router.image);
    EXPECT_TRUE(err.text().contains(QStringLiteral("receive: 40%"))) << err.text().toStdString();
    EXPECT_TRUE(err.text().contains(QStringLiteral("receive, verifying: 100%")));

    ConfigImage edited = image;
    edited.toggleMidiThru();
    writeImageFile(path(QStringLiteral("e.qorv")), edited);
    ASSERT_EQ(Commands::send(path(QStringLiteral("e.qorv")), access()), kExitOk);
    EXPECT_EQ(router.image, edited);
    EXPECT_TRUE(err.text().contains(QStringLiteral("send, verifying: 100%")));
    EXPECT_TRUE(out.text().contains(QStringLiteral("Configuration sent, and read back the same")));

    QFile shortFile(path(QStringLiteral("short.qorv")));
    shortFile.open(QIODevice::WriteOnly);
    shortFile.write(QByteArray(100, 0));
    shortFile.close();
    const std::size_t writes = router.written.size();
    EXPECT_EQ(Commands::send(shortFile.fileName(), access()), kExitFile);
    EXPECT_EQ(router.written.size(), writes) << "nothing reaches the router";
}

TEST_F(CliTest, RouterFailuresHaveTheirOwnExitCodes)
{
    struct Case {
        const char* name;
        SimRouter::Mode mode;
        int answers;
        int expected;
    };
    const std::array<Case, 4> cases = {{
        {"no router", SimRouter::Mode::Absent, -1, kExitNoRouter},
        {"update mode", SimRouter::Mode::Update, -1, kExitWrongMode},
        {"never answers", SimRouter::Mode::Routes, 0, kExitNoAnswer},
        {"stops half way", SimRouter::Mode::Routes, 20, kExitNoAnswer},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.mode = c.mode;
        router.faults.answersLeft = c.answers;
        const QString target = path(QStringLiteral("out.qorv"));
        EXPECT_EQ(Commands::receive(target, access()), c.expected);
        EXPECT_FALSE(QFile::exists(target));
    }
}

// "-" is standard output for receive and standard input for send: the bytes
// alone go through the stream, everything said goes to standard error.
TEST_F(CliTest, ReceiveAndSendThroughStandardStreams)
{
    ASSERT_EQ(Commands::receive(QStringLiteral("-"), access()), kExitOk);
    EXPECT_EQ(out.bytes(), bytesOf(router.image));
    EXPECT_TRUE(err.text().contains(QStringLiteral("Received configuration into standard output")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("-")));

    ConfigImage edited = router.image;
    edited.toggleMidiThru();
    in.fill(bytesOf(edited));
    ASSERT_EQ(Commands::send(QStringLiteral("-"), access()), kExitOk);
    EXPECT_EQ(router.image, edited);

    const std::size_t writes = router.written.size();
    for (const QByteArray& wrong : {QByteArray(100, 0), QByteArray(kImageSize + 1, 0), QByteArray()}) {
        SCOPED_TRACE(wrong.size());
        in.fill(wrong);
        EXPECT_EQ(Commands::send(QStringLiteral("-"), access()), kExitFile);
        EXPECT_EQ(router.written.size(), writes) << "nothing reaches the router";
    }
    EXPECT_TRUE(err.text().contains(QStringLiteral("standard input holds 100 bytes; a configuration is exactly 4096 bytes")));
}

// Each way a send or receive can fail says what happened and has its exit code;
// the router's image shows what the user is left with.
TEST_F(CliTest, ExchangeFailuresSayWhatHappened)
{
    struct Case {
        const char* name;
        ExchangeFault fault;
        int exit;
        const char* says;
    };
    const std::array<Case, 5> cases = {{
        {"answers the probe, then nothing", {true, 1, 0, -1}, kExitNoAnswer,
         "the router answered when connected, but does not answer configuration requests; nothing was written"},
        {"stops half way", {true, 20, 0, -1}, kExitNoAnswer, "the router stopped answering after 1197 of 4096 bytes; nothing was written"},
        {"acknowledges wrong offsets", {false, -1, 32, -1}, kExitNoAnswer,
         "the router acknowledged offset 0x0040 for the block at 0x0000; its configuration may be partly written"},
        {"does not keep a block", {false, -1, 0, 0x240}, kExitNotKept,
         "does not hold the blocks at 0x0240 (32 bytes each); it now holds a partly written configuration"},
        {"goes quiet while read back", {false, 1 + 128 + 10, 0, -1}, kExitNoAnswer,
         "every block was acknowledged, but the router stopped answering while it was read back to check it (after 621 of 4096 bytes)"},
    }};
    const ConfigImage before = router.image;
    ConfigImage edited = before;
    edited.toggleMidiThru();
    edited.rawBytes()[0x250] ^= 0xFF;
    writeImageFile(path(QStringLiteral("e.qorv")), edited);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        router.image = before;
        router.faults = c.fault.faults();
        const QString target = path(QStringLiteral("out.qorv"));
        const int exit = c.fault.receive ? Commands::receive(target, access())
                                         : Commands::send(path(QStringLiteral("e.qorv")), access());
        EXPECT_EQ(exit, c.exit);
        EXPECT_TRUE(err.text().contains(QString::fromUtf8(c.says))) << err.text().toStdString();
        EXPECT_FALSE(QFile::exists(target));
        if (c.fault.dropWriteAt >= 0) {
            EXPECT_EQ(router.image.rawBytes()[0x250], before.rawBytes()[0x250]) << "the block that would not stick";
            EXPECT_EQ(router.image.rawBytes()[kImageSize - 1], edited.rawBytes()[kImageSize - 1]) << "the rest was written";
        }
    }
}

// A configuration that cannot be saved leaves the file that was there whole and
// says why; what is not a regular file is written into, never replaced.
TEST_F(CliTest, ReceiveThatCannotBeSavedSaysWhyAndKeepsTheOldFile)
{
    const QString folder = path(QStringLiteral("folder.qorv"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(Commands::receive(folder, access()), kExitFile);
#if !defined(Q_OS_WIN)
    EXPECT_TRUE(err.text().contains(QStringLiteral("unable to save %1: Is a directory").arg(folder))) << err.text().toStdString();
#endif
    EXPECT_TRUE(QFileInfo(folder).isDir());

    EXPECT_EQ(Commands::receive(path(QStringLiteral("missing/out.qorv")), access()), kExitFile);
    EXPECT_TRUE(err.text().contains(QStringLiteral("unable to save %1: ").arg(path(QStringLiteral("missing/out.qorv")))));

}

TEST_F(CliTest, UpdateStartsTheFirmwareOnlyWhenItVerifies)
{
    router.mode = SimRouter::Mode::Update;
    const QString file = firmware(40);
    ASSERT_EQ(Commands::update(file, access()), kExitOk);
    EXPECT_EQ(std::count(router.bootCommands.begin(), router.bootCommands.end(), 5), 1);
    EXPECT_EQ(router.mode, SimRouter::Mode::Routes);
    EXPECT_TRUE(out.text().contains(QStringLiteral("QORV updated")));

    router.mode = SimRouter::Mode::Update;
    router.bootCommands.clear();
    router.faults.corruptProgram = true;
    EXPECT_EQ(Commands::update(file, access()), kExitVerifyFailed);
    EXPECT_EQ(std::count(router.bootCommands.begin(), router.bootCommands.end(), 5), 0);
    EXPECT_TRUE(err.text().contains(QStringLiteral("verification failed")));

    router.bootCommands.clear();
    router.faults.answersLeft = 3;  // Version, Erase, one Program packet
    const std::uint32_t before = clock.now();
    EXPECT_EQ(Commands::update(file, access()), kExitNoAnswer);
    EXPECT_EQ(std::count(router.bootCommands.begin(), router.bootCommands.end(), 5), 0);
    EXPECT_LT(clock.now() - before, 5000u) << "gives up with the Program attempts, not after a long wait";
    EXPECT_TRUE(err.text().contains(QStringLiteral("Update stopped: the QORV does not answer")));

    router.faults.answersLeft = -1;
    EXPECT_EQ(Commands::update(path(QStringLiteral("missing.hex")), access()), kExitFile);

    // A file that cannot be verified whole is refused before anything is erased.
    router.bootCommands.clear();
    const QString cut = writeFirmware(dir, QStringLiteral("cut.hex"), {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(16))});
    EXPECT_EQ(Commands::update(cut, access()), kExitFile);
    EXPECT_EQ(std::count(router.bootCommands.begin(), router.bootCommands.end(), 2), 0);
    EXPECT_TRUE(err.text().contains(QStringLiteral("No end-of-file record")));
}

TEST_F(CliTest, UpdateWaitsForTheRouterToComeBack)
{
    router.mode = SimRouter::Mode::Update;
    router.clock = &clock;
    router.restartMilliseconds = 3000;
    ASSERT_EQ(Commands::update(firmware(10), access()), kExitOk);
    EXPECT_TRUE(out.text().contains(QStringLiteral("QORV updated; the router is connected again")));
}

TEST(CliPlatform, FindsTheRouterInSysfsAndItsUdevRule)
{
    EXPECT_TRUE(Platform::ueventNames(QStringLiteral("DRIVER=hid-generic\nHID_ID=0003:000004D8:0000EFF6\nHID_NAME=x\n"),
                                      0x04D8, 0xEFF6));
    EXPECT_FALSE(Platform::ueventNames(QStringLiteral("HID_ID=0003:000004D8:0000EFF7\n"), 0x04D8, 0xEFF6));
    EXPECT_FALSE(Platform::ueventNames(QStringLiteral("HID_NAME=04D8 EFF6\n"), 0x04D8, 0xEFF6));

    QTemporaryDir sys;
    for (const auto& [node, id] : {std::pair{"hidraw0", "0003:0000046D:0000C52B"}, std::pair{"hidraw3", "0003:000004D8:0000EFF6"}}) {
        QDir().mkpath(sys.filePath(QStringLiteral("class/hidraw/%1/device").arg(QLatin1String(node))));
        QFile uevent(sys.filePath(QStringLiteral("class/hidraw/%1/device/uevent").arg(QLatin1String(node))));
        uevent.open(QIODevice::WriteOnly);
        uevent.write(QByteArray("HID_ID=") + id + "\n");
    }
    const QList<Platform::HidNode> nodes = Platform::hidNodes(0x04D8, 0xEFF6, sys.path());
    ASSERT_EQ(nodes.size(), 1);
    EXPECT_EQ(nodes[0].path, QStringLiteral("/dev/hidraw3"));

    QTemporaryDir rules;
    QFile::copy(QStringLiteral(QORV_SOURCE_DIR "/packaging/linux/70-qorv.rules"), rules.filePath(QStringLiteral("70-qorv.rules")));
    EXPECT_EQ(Platform::udevRulesFor(0x04D8, 0xEFF6, {rules.path()}).size(), 1);
    EXPECT_TRUE(Platform::udevRulesFor(0x04D8, 0x0001, {rules.path()}).isEmpty());
}

// udevadm in Debian 12 cannot verify a rule file, so read it as udev would:
// comma-separated KEY[{attr}]OP"value" pairs, matches before assignments.
TEST(CliPlatform, UdevRuleGrantsSeatAccessToTheRoutersHidNode)
{
    QFile file(QStringLiteral(QORV_SOURCE_DIR "/packaging/linux/70-qorv.rules"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QRegularExpression pair(QStringLiteral("^\\s*([A-Z]+)(\\{([A-Za-z_]+)\\})?\\s*(==|!=|\\+=|=|:=)\\s*\"([^\"]*)\"\\s*$"));
    int rules = 0;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        ++rules;
        QMap<QString, QString> matches;
        QMap<QString, QString> assignments;
        for (const QString& item : line.split(QLatin1Char(','))) {
            const QRegularExpressionMatch m = pair.match(item);
            ASSERT_TRUE(m.hasMatch()) << item.toStdString();
            const QString key = m.captured(1) + (m.captured(3).isEmpty() ? QString() : QLatin1Char('{') + m.captured(3) + QLatin1Char('}'));
            (m.captured(4) == QLatin1String("==") ? matches : assignments)[key] = m.captured(5);
        }
        EXPECT_EQ(matches.value(QStringLiteral("KERNEL")), QStringLiteral("hidraw*"));
        // KERNELS is a glob over the node's parents: the HID device is named
        // BUS:VENDOR:PRODUCT.N in upper-case hexadecimal.
        const QRegularExpression parent(QRegularExpression::wildcardToRegularExpression(
            matches.value(QStringLiteral("KERNELS"))));
        EXPECT_TRUE(parent.match(QStringLiteral("0003:04D8:EFF6.0001")).hasMatch());
        EXPECT_TRUE(parent.match(QStringLiteral("0003:04D8:EFF6.00A2")).hasMatch());
        EXPECT_FALSE(parent.match(QStringLiteral("0003:04D8:EFF7.0001")).hasMatch());
        EXPECT_FALSE(parent.match(QStringLiteral("0005:04D8:EFF6.0001")).hasMatch());
        EXPECT_FALSE(parent.match(QStringLiteral("1-1.4:1.0")).hasMatch());
        EXPECT_EQ(assignments.value(QStringLiteral("TAG")), QStringLiteral("uaccess"));
        // doctor tells a user without the package to add this very line.
        EXPECT_EQ(line, QLatin1String(Platform::kUdevRule));
    }
    EXPECT_EQ(rules, 1);
    // uaccess is applied by systemd's 73-seat-late.rules: every rule file we ship
    // (and so install) must sort before it, or the tag comes too late.
    const QStringList shipped = QDir(QStringLiteral(QORV_SOURCE_DIR "/packaging/linux")).entryList({QStringLiteral("*.rules")});
    ASSERT_FALSE(shipped.isEmpty());
    for (const QString& name : shipped)
        EXPECT_LT(name, QStringLiteral("73-seat-late.rules")) << name.toStdString();
}

// The built program, beside the test programs' folder.
QString qorvctlProgram()
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("../qorvctl.exe");
#else
    const QString name = QStringLiteral("../qorvctl");
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

// Help and version go to standard output, also where the program has no console
// window of its own (a Windows process started from a shell under wine).
TEST(QorvctlProgram, HelpAndVersionGoToStandardOutput)
{
    const QString program = qorvctlProgram();
    struct Case {
        QStringList arguments;
        QString expected;
    };
    const std::array<Case, 3> cases = {{
        {{QStringLiteral("--version")}, QStringLiteral("qorvctl 1.0.0")},
        {{QStringLiteral("--help")}, QStringLiteral("Usage: qorvctl [options] COMMAND [ARGUMENTS]")},
        {{QStringLiteral("hex-info"), QStringLiteral("--help")}, QStringLiteral("Usage: qorvctl [options] hex-info FIRMWARE.hex")},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        QProcess process;
        process.start(program, c.arguments);
        ASSERT_TRUE(process.waitForFinished(30000)) << program.toStdString();
        EXPECT_EQ(process.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        EXPECT_TRUE(out.startsWith(c.expected)) << out.toStdString();
        EXPECT_TRUE(process.readAllStandardError().isEmpty());
    }
}

#if defined(Q_OS_LINUX)
// The disk fills up during the save (a file size limit stands in for it): the
// file that was there stays whole, and the system's reason is said.
TEST(QorvctlProgram, ReceiveOntoAFullDiskKeepsTheOldFile)
{
    const QString prlimit = QStandardPaths::findExecutable(QStringLiteral("prlimit"));
    if (prlimit.isEmpty())
        GTEST_SKIP() << "prlimit is not installed";
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("old.qorv"));
    const QByteArray before(kImageSize, '\x11');
    {
        QFile file(old);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QORV_SIMULATE"), QStringLiteral("routes"));
    process.setProcessEnvironment(environment);
    // An ignored SIGXFSZ stays ignored across exec: the write fails with EFBIG instead.
    process.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; exec \"$0\" --fsize=2048 \"$1\" receive \"$2\""),
                                           prlimit, qorvctlProgram(), old});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), kExitFile);
    const QString said = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(said.contains(QStringLiteral("qorvctl: unable to save %1: File too large").arg(old))) << said.toStdString();
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.qorv")}) << "no copy left behind";
}
#endif

#if defined(Q_OS_LINUX)
namespace {
// Runs qorvctl against the simulated router, as nobody when the test runs as
// root, so that a fault can never replace a device node of the machine.
int runUnprivileged(const QStringList& arguments, QString* said = nullptr)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QORV_SIMULATE"), QStringLiteral("routes"));
    process.setProcessEnvironment(environment);
    QStringList command = QStringList{qorvctlProgram()} + arguments;
    if (getuid() == 0)
        command = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")} + command;
    process.start(getuid() == 0 ? QStringLiteral("setpriv") : command.takeFirst(), command);
    if (!process.waitForFinished(60000))
        return -1;
    if (said)
        *said = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
} // namespace

// A name that leads to a pipe or a device is written into, never replaced by a
// new file: a reader gets the bytes, a device node stays a device node.
TEST(QorvctlProgram, PipesAndDevicesAreWrittenIntoNeverReplaced)
{
    if (getuid() == 0 && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        GTEST_SKIP() << "setpriv is not installed";
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                          | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    const QString pipe = dir.filePath(QStringLiteral("pipe.qorv"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("mkfifo"), {QStringLiteral("-m"), QStringLiteral("666"), pipe}), 0);
    QProcess reader;
    reader.start(QStringLiteral("cat"), {pipe});
    ASSERT_TRUE(reader.waitForStarted());
    EXPECT_EQ(runUnprivileged({QStringLiteral("receive"), pipe}), kExitOk);
    ASSERT_TRUE(reader.waitForFinished(30000));
    EXPECT_EQ(reader.readAllStandardOutput(), bytesOf(sampleConfiguration()));
    EXPECT_FALSE(QFileInfo(pipe).isFile());
    EXPECT_TRUE(QFileInfo::exists(pipe));

    const QString full = dir.filePath(QStringLiteral("full.qorv"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), full));
    QString said;
    EXPECT_EQ(runUnprivileged({QStringLiteral("receive"), full}, &said), kExitFile);
    EXPECT_TRUE(said.contains(QStringLiteral("qorvctl: unable to save %1: No space left on device").arg(full))) << said.toStdString();
    EXPECT_TRUE(QFileInfo(full).isSymLink());
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/full")).isFile());
}

// After "route FILE on" the shell offers the sources the file has, then its
// destinations; after "remove FILE" its devices.
TEST(QorvctlProgram, CompletionOffersTheNamesAFileHolds)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("stage.qorv"));
    writeImageFile(file, sampleConfiguration());
    struct Case {
        QStringList words;  // the last is being typed
        QStringList offered;
    };
    const std::array<Case, 4> cases = {{
        {{"route", file, "on", ""},
         {"MIDI In", "Keys In 1", "Keys In 2", "Synth In 1", "Synth In 2", "Synth In 3", "Drum Machine In 1"}},
        {{"route", file, "on", "Keys In 1", "Sy"}, {"Synth Out 1", "Synth Out 2", "Synth Out 3"}},
        {{"route", "--to-router", "on"}, {"on"}},
        {{"remove", file, "D"}, {"Drum Machine"}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.join(QLatin1Char(' ')).toStdString());
        QString words = QStringLiteral("qorvctl");
        for (const QString& word : c.words)
            words += QStringLiteral(" '") + word + QLatin1Char('\'');
        QProcess bash;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"), QFileInfo(qorvctlProgram()).absolutePath() + QLatin1Char(':')
                                                      + environment.value(QStringLiteral("PATH")));
        bash.setProcessEnvironment(environment);
        bash.start(QStringLiteral("bash"), {QStringLiteral("-c"),
                                            QStringLiteral("source '" QORV_SOURCE_DIR "/packaging/linux/qorvctl.bash-completion'; "
                                                           "COMP_WORDS=(%1); COMP_CWORD=%2; _qorvctl; printf '%s\\n' \"${COMPREPLY[@]}\"")
                                                .arg(words)
                                                .arg(c.words.size())});
        ASSERT_TRUE(bash.waitForFinished(30000));
        const QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(offered, c.offered);
    }
}
#endif

// Each command's help lists only the options it takes, and no help line ends in a space.
TEST(QorvctlProgram, HelpListsEachCommandsOwnOptions)
{
    const QString program = qorvctlProgram();
    struct Case {
        QStringList arguments;
        bool json;
    };
    const std::array<Case, 5> cases = {{
        {{QStringLiteral("--help")}, true},  // as "show FILE.qorv [--json]"
        {{QStringLiteral("doctor"), QStringLiteral("--help")}, false},
        {{QStringLiteral("receive"), QStringLiteral("--help")}, false},
        {{QStringLiteral("show"), QStringLiteral("--help")}, true},
        {{QStringLiteral("hex-info"), QStringLiteral("--help")}, true},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        QProcess process;
        process.start(program, c.arguments);
        ASSERT_TRUE(process.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        EXPECT_EQ(out.contains(QStringLiteral("--json")), c.json) << out.toStdString();
        for (const QString& line : out.split(QLatin1Char('\n')))
            EXPECT_FALSE(line.endsWith(QLatin1Char(' '))) << '"' << line.toStdString() << '"';
    }
    // An option a command does not take is a usage error.
    QProcess process;
    process.start(program, {QStringLiteral("doctor"), QStringLiteral("--json")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 2);
}

// show and diff read a configuration as strictly as send: anything but 4096
// bytes is refused, never shown half made up.
TEST_F(CliTest, ShowAndDiffRefuseFilesThatAreNotAConfiguration)
{
    const QString good = path(QStringLiteral("good.qorv"));
    writeImageFile(good, sampleConfiguration());
    for (int size : {0, 100, 4095, 4097}) {
        SCOPED_TRACE(size);
        QFile bad(path(QStringLiteral("bad.qorv")));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray bytes(reinterpret_cast<const char*>(sampleConfiguration().rawBytes()), kImageSize);
        bytes.resize(size, '\0');
        bad.write(bytes);
        bad.close();
        EXPECT_EQ(Commands::show(bad.fileName(), false, out.stream(), err.stream()), kExitFile);
        EXPECT_EQ(Commands::diff(good, bad.fileName(), out.stream(), err.stream()), kExitFile);
        EXPECT_EQ(Commands::diff(bad.fileName(), good, out.stream(), err.stream()), kExitFile);
    }
    EXPECT_TRUE(err.text().contains(QStringLiteral("holds 4097 bytes; a configuration is exactly 4096 bytes")));
    EXPECT_FALSE(out.text().contains(QStringLiteral("identical")));
}

// Every refusal of a firmware file says why, before anything is erased.
TEST_F(CliTest, UpdateSaysWhyAFileIsRefused)
{
    router.mode = SimRouter::Mode::Update;
    const std::vector<std::string> lines = {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(16)), hexRecord(1, 0, {})};
    struct Case {
        QString file;
        QString reason;
    };
    const std::array<Case, 3> cases = {{
        {writeFirmware(dir, QStringLiteral("sig.hex"), lines, "\n", "QORV-Marbeno soft"),
         QStringLiteral("its first line must begin with \"QORV-Marbeno Soft\"")},
        {writeFirmware(dir, QStringLiteral("cr.hex"), lines, "\r"), QStringLiteral("the lines end in CR alone")},
        {writeFirmware(dir, QStringLiteral("overlap.hex"), {linearRecord(0x1D00), hexRecord(0, 0x1000, ramp(16)),
                                                            hexRecord(0, 0x1008, ramp(2, 0x90)), hexRecord(1, 0, {})}),
         QStringLiteral("Line 4: writes other data over bytes an earlier record wrote")},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason.toStdString());
        router.bootCommands.clear();
        EXPECT_EQ(Commands::update(c.file, access()), kExitFile);
        EXPECT_TRUE(err.text().contains(c.reason)) << err.text().toStdString();
        EXPECT_EQ(std::count(router.bootCommands.begin(), router.bootCommands.end(), 2), 0);
    }
}

// An update that verified and started the firmware, whose router never came
// back, exits with its own code; one whose router was pulled out names what the
// flash holds.
TEST_F(CliTest, UpdateEndingsHaveTheirOwnExitCodes)
{
    router.mode = SimRouter::Mode::Update;
    router.clock = &clock;
    router.restartMilliseconds = 30000;
    EXPECT_EQ(Commands::update(firmware(10), access()), kExitNotBack);
    EXPECT_TRUE(err.text().contains(QStringLiteral("has not come back")));

    clock.advance(30000);  // the router is back from that restart
    router.mode = SimRouter::Mode::Update;
    router.restartMilliseconds = 0;
    router.faults.unplugAfter = 4;  // Version, Erase, two Program packets
    EXPECT_EQ(Commands::update(firmware(40), access()), kExitNoRouter);
    EXPECT_TRUE(err.text().contains(QStringLiteral("Update stopped: the QORV was disconnected. The flash was erased; "
                                                   "the router waits in its bootloader: run the update again.")))
        << err.text().toStdString();

    router.plugIn();
    router.faults.unplugAfter = -1;
    router.faults.answersLeft = 2;  // Version, Erase
    EXPECT_EQ(Commands::update(firmware(40), access()), kExitNoAnswer);
    EXPECT_TRUE(err.text().contains(QStringLiteral("(the Program got no answer)"))) << err.text().toStdString();
}

namespace {
ConfigImage imageOf(const QString& file)
{
    ConfigImage image;
    readImageFile(file, image);
    return image;
}
} // namespace

// Each edit by names does what the same edit does to the image in the window:
// the expected images are made with the image's own edits at device and port
// numbers worked out by hand from the sample (Keys 2 ports, Synth 3, Drum
// Machine 1).
TEST_F(CliTest, EditCommandsDoWhatTheWindowsEditsDo)
{
    using Edit = std::function<void(ConfigImage&)>;
    struct Case {
        const char* name;
        QStringList arguments;  // after the file; "remove" alone removes
        Edit expected;
    };
    const std::vector<Case> cases = {
        {"a route between devices on", {"on", "Keys In 2", "Drum Machine Out 1"}, [](ConfigImage& i) { i.toggleRoute(0, 1, 2, 0); }},
        {"a route between devices off", {"off", "Keys In 1", "Synth Out 1"}, [](ConfigImage& i) { i.toggleRoute(0, 0, 1, 0); }},
        {"from the router's MIDI In", {"on", "MIDI In", "Keys Out 1"}, [](ConfigImage& i) { i.toggleFromMidiIn(0, 0); }},
        {"to the router's MIDI Out", {"on", "Synth In 2", "MIDI Out"}, [](ConfigImage& i) { i.toggleToMidiOut(1, 1); }},
        {"MIDI thru off", {"off", "MIDI In", "MIDI Out"}, [](ConfigImage& i) { i.toggleMidiThru(); }},
        {"two routes in one call", {"on", "Synth In 1", "Keys Out 2", "Drum Machine In 1", "Synth Out 3"},
         [](ConfigImage& i) {
             i.toggleRoute(1, 0, 0, 1);
             i.toggleRoute(2, 0, 1, 2);
         }},
        {"a route already on stays on", {"on", "Keys In 1", "Synth Out 1"}, [](ConfigImage&) {}},
        {"a route already off stays off", {"off", "Keys In 2", "Keys Out 1"}, [](ConfigImage&) {}},
        {"remove by name", {"remove", "Synth"}, [](ConfigImage& i) { i.removeDevice(1); }},
        {"remove by slot", {"remove", "#2"}, [](ConfigImage& i) { i.removeDevice(2); }},
    };
    const QString file = path(QStringLiteral("edit.qorv"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeImageFile(file, sampleConfiguration());
        ConfigImage expected = sampleConfiguration();
        c.expected(expected);
        const bool removal = c.arguments[0] == QLatin1String("remove");
        const int exit = removal ? Commands::remove({file}, c.arguments[1], access())
                                 : Commands::route({file}, c.arguments[0] == QLatin1String("on"), c.arguments.mid(1), access());
        EXPECT_EQ(exit, kExitOk);
        EXPECT_EQ(imageOf(file), expected);

        // The same edit of what the router holds: received, edited, sent.
        router.image = sampleConfiguration();
        const int routerExit = removal ? Commands::remove({{}, true}, c.arguments[1], access())
                                       : Commands::route({{}, true}, c.arguments[0] == QLatin1String("on"), c.arguments.mid(1), access());
        EXPECT_EQ(routerExit, kExitOk);
        EXPECT_EQ(router.image, expected);
    }
}

// A name the configuration does not have, or has twice, changes nothing: a
// usage error that lists the names there are.
TEST_F(CliTest, UnknownOrSharedNamesChangeNothing)
{
    ConfigImage twins = sampleConfiguration();
    putDevice(twins, 2, 0x0582, 0x0160, 7, 2, "Keys");
    const QString file = path(QStringLiteral("twins.qorv"));
    writeImageFile(file, twins);
    struct Case {
        QStringList arguments;
        const char* says;
    };
    const std::array<Case, 5> cases = {{
        {{"on", "Keys In 9", "Synth Out 1"}, "no source is named \"Keys In 9\"; the sources are: \"MIDI In\", \"Keys In 1\""},
        {{"on", "Synth In 1", "Organ Out 1"}, "no destination is named \"Organ Out 1\"; the destinations are: \"MIDI Out\""},
        {{"on", "Keys In 1", "Synth Out 1"}, "2 devices make source \"Keys In 1\"; name the device by its slot, as in \"#0 In 1\""},
        {{"remove", "Keys"}, "2 devices are named \"Keys\"; name the device by its slot, as in \"#0\""},
        {{"remove", "Organ"}, "no device is named \"Organ\"; the devices are: \"Keys\", \"Synth\", \"Keys\""},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const int exit = c.arguments[0] == QLatin1String("remove")
            ? Commands::remove({file}, c.arguments[1], access())
            : Commands::route({file}, true, c.arguments.mid(1), access());
        EXPECT_EQ(exit, kExitUsage);
        EXPECT_TRUE(err.text().contains(QString::fromUtf8(c.says))) << err.text().toStdString();
        EXPECT_EQ(imageOf(file), twins) << "nothing written";
    }
    // The slot tells them apart.
    ASSERT_EQ(Commands::route({file}, true, {QStringLiteral("#2 In 2"), QStringLiteral("Synth Out 3")}, access()), kExitOk);
    ConfigImage expected = twins;
    expected.toggleRoute(2, 1, 1, 2);
    EXPECT_EQ(imageOf(file), expected);
}

namespace {
// Images of every kind: the project's own, the fuzz corpus's, and random bytes
// (device tables without an end, names of any byte, ports above 8, routes to
// devices that are not there).
std::vector<ConfigImage> imagesOfEveryKind()
{
    std::vector<ConfigImage> images = {ConfigImage{}, ConfigImage::empty(), sampleConfiguration(), largestConfiguration()};
    for (const QString& name : QDir(QStringLiteral(QORV_SOURCE_DIR "/fuzz/corpus/config_image")).entryList(QDir::Files)) {
        ConfigImage image;
        readImageFile(QStringLiteral(QORV_SOURCE_DIR "/fuzz/corpus/config_image/") + name, image);
        images.push_back(image);
    }
    std::uint32_t state = 12345;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(state >> 16);
    };
    for (int n = 0; n < 150; ++n) {
        ConfigImage image = n % 3 == 0 ? ConfigImage{} : sampleConfiguration();
        const int changes = n % 3 == 0 ? static_cast<int>(kImageSize) : 1 + n * 7;
        for (int i = 0; i < changes; ++i)
            image.rawBytes()[n % 3 == 0 ? i : (next() << 8 | next()) % kImageSize] = next();
        images.push_back(image);
    }
    return images;
}
} // namespace

// show --json, read back by import, gives every image back byte for byte.
TEST_F(CliTest, JsonRoundTripsEveryImage)
{
    const QString original = path(QStringLiteral("original.qorv"));
    const QString json = path(QStringLiteral("image.json"));
    const QString copy = path(QStringLiteral("copy.qorv"));
    int n = 0;
    for (const ConfigImage& image : imagesOfEveryKind()) {
        SCOPED_TRACE(n++);
        writeImageFile(original, image);
        Capture shown;
        ASSERT_EQ(Commands::show(original, true, shown.stream(), err.stream()), kExitOk);
        QFile file(json);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(shown.bytes());
        file.close();
        ASSERT_EQ(Commands::import(json, copy, out.stream(), err.stream()), kExitOk) << err.text().toStdString();
        ASSERT_EQ(imageOf(copy), image);
    }
}

// A JSON edited by hand imports with the rules of the edit commands; a broken
// one is refused with where and why, and nothing is written.
TEST_F(CliTest, HandEditedJsonImportsAsTheEditsWould)
{
    const QString json = path(QStringLiteral("hand.json"));
    const QString target = path(QStringLiteral("hand.qorv"));
    const QJsonObject shown = ConfigText::toJson(sampleConfiguration());
    auto import = [&](const QByteArray& text) {
        QFile file(json);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        file.close();
        QFile::remove(target);
        return Commands::import(json, target, out.stream(), err.stream());
    };

    // Synth renamed, a route added in words, Keys removed with its routes.
    QJsonObject edited = shown;
    QJsonArray devices = edited[QStringLiteral("devices")].toArray();
    QJsonObject synth = devices[1].toObject();
    synth[QStringLiteral("name")] = QStringLiteral("Lead");
    devices[1] = synth;
    devices.removeAt(0);
    edited[QStringLiteral("devices")] = devices;
    QJsonArray routes = edited[QStringLiteral("routes")].toArray();
    routes.append(QStringLiteral("Drum Machine In 1 -> Lead Out 1"));
    edited[QStringLiteral("routes")] = routes;
    ASSERT_EQ(import(QJsonDocument(edited).toJson()), kExitOk) << err.text().toStdString();
    ConfigDocument document;
    document.load(sampleConfiguration());
    ConfigImage renamed = sampleConfiguration();
    DeviceEntry lead = renamed.device(1);
    lead.deviceName = "Lead";
    renamed.setDevice(1, lead);
    document.replace(renamed, {});
    document.toggle({sampleConfiguration().globalPort(2, 0), sampleConfiguration().globalPort(1, 0)}, {});
    document.removeDevice(0, {});
    EXPECT_EQ(imageOf(target), document.image());

    struct Case {
        const char* name;
        QByteArray text;
        const char* says;
    };
    QJsonObject unknown = shown;
    QJsonArray more = unknown[QStringLiteral("routes")].toArray();
    more.append(QStringLiteral("Organ In 1 -> Synth Out 1"));
    unknown[QStringLiteral("routes")] = more;
    QJsonObject thru = shown;
    thru[QStringLiteral("midiThru")] = false;
    QJsonObject badBytes = shown;
    QJsonObject bytes = badBytes[QStringLiteral("bytes")].toObject();
    bytes[QStringLiteral("flags")] = QStringLiteral("zz");
    badBytes[QStringLiteral("bytes")] = bytes;
    const std::array<Case, 5> cases = {{
        {"cut short", QJsonDocument(shown).toJson().left(200), "line 5: unterminated string"},
        {"not an object", "[1, 2]", "line 1: expected an object"},
        {"an unknown port", QJsonDocument(unknown).toJson(), "routes[7]: no source is named \"Organ In 1\""},
        {"MIDI thru off, its route still listed", QJsonDocument(thru).toJson(), "midiThru: must be true exactly when"},
        {"bytes that are not hexadecimal", QJsonDocument(badBytes).toJson(), "bytes.flags: expected 1 bytes as 2 hexadecimal digits"},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(import(c.text), kExitFile);
        EXPECT_TRUE(err.text().contains(QString::fromUtf8(c.says))) << err.text().toStdString();
        EXPECT_FALSE(QFile::exists(target));
    }
}

// A setup made from nothing but a list of devices and route commands, sent to
// the router and received back the same.
TEST_F(CliTest, SetupBuiltFromNothingReachesTheRouterWhole)
{
    const QString json = path(QStringLiteral("stage.json"));
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"devices": [
        {"slot": 0, "vendorId": "0582", "productId": "0160", "name": "Piano", "serial": 1, "ports": 1},
        {"slot": 1, "vendorId": "1235", "productId": "0032", "name": "Pads", "serial": 2, "ports": 2}],
      "routes": []})");
    file.close();
    const QString stage = path(QStringLiteral("stage.qorv"));
    ASSERT_EQ(Commands::import(json, stage, out.stream(), err.stream()), kExitOk) << err.text().toStdString();
    ASSERT_EQ(Commands::route({stage}, true, {QStringLiteral("Piano In 1"), QStringLiteral("Pads Out 1"),
                                              QStringLiteral("Piano In 1"), QStringLiteral("Pads Out 2"),
                                              QStringLiteral("MIDI In"), QStringLiteral("Piano Out 1")},
                              access()),
              kExitOk);
    EXPECT_EQ(ConfigText::routeLines(imageOf(stage)),
              (QStringList{QStringLiteral("MIDI In -> Piano Out 1"), QStringLiteral("Piano In 1 -> Pads Out 1"),
                           QStringLiteral("Piano In 1 -> Pads Out 2")}));
    ASSERT_EQ(Commands::send(stage, access()), kExitOk);
    const QString back = path(QStringLiteral("back.qorv"));
    ASSERT_EQ(Commands::receive(back, access()), kExitOk);
    EXPECT_EQ(imageOf(back), imageOf(stage));
}

// A name may hold what looks like a placeholder: it is shown as it is.
TEST_F(CliTest, NamesWithPercentSignsAreShownAsTheyAre)
{
    ConfigImage image = ConfigImage::empty();
    putDevice(image, 0, 0x0582, 0x0160, 77, 2, "Pad %3");
    putDevice(image, 1, 0x1235, 0x0032, 88, 1, "Mix %4%1");
    image.toggleRoute(0, 1, 1, 0);
    const QString file = path(QStringLiteral("percent.qorv"));
    writeImageFile(file, image);
    ASSERT_EQ(Commands::show(file, false, out.stream(), err.stream()), kExitOk);
    const QString shown = out.text();
    EXPECT_TRUE(shown.contains(QStringLiteral("0582 / 0160  Pad %3  serial 77  2 ports"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("1235 / 0032  Mix %4%1  serial 88  1 port"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Pad %3 In 2 -> Mix %4%1 Out 1"))) << shown.toStdString();
    ASSERT_EQ(Commands::route({file}, true, {QStringLiteral("Pad %3 In 1"), QStringLiteral("Mix %4%1 Out 1")}, access()), kExitOk);
    image.toggleRoute(0, 0, 1, 0);
    EXPECT_EQ(imageOf(file), image);
}

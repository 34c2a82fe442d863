// qorvctl: the QORV router from the command line, with the same code as the window.
#include "cli/commands.h"
#include "cli/platform.h"
#include "link/clock.h"
#include "link/trace.h"
#include "app/router_choice.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace {
struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    bool json;      // takes --json
    bool toRouter;  // takes --to-router in place of its file
};

constexpr Command kCommands[] = {
    {"show", "FILE.qorv", "List the devices and every switched-on route of a configuration file.", true, false},
    {"diff", "A.qorv B.qorv", "List devices and routes added and removed from A to B; exit 1 when the files differ.", false, false},
    {"route", "FILE.qorv on|off SOURCE DESTINATION [SOURCE DESTINATION ...]",
     "Switch routes on or off, each named as show prints it (\"Keys In 1\" \"Synth Out 2\", \"MIDI In\", \"MIDI Out\"; "
     "#SLOT for a device whose name is shared).", false, true},
    {"remove", "FILE.qorv DEVICE", "Remove a device, by name or #SLOT as show numbers it, with all its routes.", false, true},
    {"import", "FILE.json OUT.qorv", "Build a configuration file from the JSON that show --json prints, edited or not.", false, false},
    {"names", "FILE.qorv sources|destinations|devices", "List the names a configuration gives its ports or devices, one a line.",
     false, false},
    {"hex-info", "FIRMWARE.hex", "Check a firmware file and print its records, image range and CRC.", true, false},
    {"receive", "OUT.qorv", "Read the router's configuration into a file (- for standard output); it is written only when two reads agree.", false, false},
    {"send", "IN.qorv", "Write a configuration file of exactly 4096 bytes (- for standard input) into the router, and read it back.", false, false},
    {"update", "FIRMWARE.hex", "Update the router's firmware; it is started only when its flash verifies.", false, false},
    {"doctor", "", "Tell why the router cannot be reached, and how to fix it.", false, false},
};

const char* kExitCodes =
    "Exit codes: 0 done; 1 the files differ (diff); 2 usage, or a name the configuration does not have;\n"
    "3 a file cannot be read, written or is refused;\n"
    "4 no router, or it was disconnected; 5 the router runs the other firmware; 6 the router stopped answering,\n"
    "acknowledged wrong offsets, or its configuration could not be confirmed; 7 the flash did not verify (the new\n"
    "firmware was not started); 8 updated and started, but the router did not come back on USB; 9 sent, but read\n"
    "back the router does not hold it.\n"
    "QORV_SIMULATE=routes|update uses the simulated router; QORV_TRACE=FILE logs every HID report.";

QString usage(const Command& c)
{
    QString text = QLatin1String(c.name);
    if (*c.arguments)
        text += QLatin1Char(' ') + QLatin1String(c.arguments);
    if (c.json)
        text += QStringLiteral(" [--json]");
    return text;
}

QString overview()
{
    QString text = QStringLiteral("Commands:\n");
    for (const Command& c : kCommands)
        text += QStringLiteral("  %1\n      %2\n").arg(usage(c), QLatin1String(c.summary));
    return text + QLatin1Char('\n') + QLatin1String(kExitCodes);
}
// Printed by hand: QCommandLineParser shows help and version in a message box
// when a Windows process has no console window.
void printToStdout(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

int printHelp(const QCommandLineParser& parser, int exitCode)
{
    QString text = parser.helpText();
    text.replace(QCoreApplication::arguments().value(0), QStringLiteral("qorvctl"));
    printToStdout(text);
    return exitCode;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qorvctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QORV_VERSION));

    // First only the command's name: each command has its own options.
    QCommandLineParser overviewParser;
    overviewParser.setApplicationDescription(QStringLiteral("Configure and update the QORV USB MIDI router.\n\n") + overview());
    overviewParser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands listed above."),
                                         QStringLiteral("COMMAND [ARGUMENTS]"));
    const QCommandLineOption helpOption = overviewParser.addHelpOption();
    const QCommandLineOption versionOption = overviewParser.addVersionOption();
    overviewParser.parse(QCoreApplication::arguments());

    const QString name = overviewParser.positionalArguments().value(0);
    const Command* command = nullptr;
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name))
            command = &c;

    if (overviewParser.isSet(versionOption)) {
        printToStdout(QStringLiteral("qorvctl %1\n").arg(QCoreApplication::applicationVersion()));
        return kExitOk;
    }
    if (!command) {
        if (overviewParser.isSet(helpOption) || name.isEmpty())
            return printHelp(overviewParser, name.isEmpty() && !overviewParser.isSet(helpOption) ? kExitUsage : kExitOk);
        std::fprintf(stderr, "qorvctl: unknown command '%s'; see 'qorvctl --help'\n", name.toLocal8Bit().constData());
        return kExitUsage;
    }

    // The command's own help, arguments and options.
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.setApplicationDescription(QLatin1String(command->summary) + QStringLiteral("\n\n") + QLatin1String(kExitCodes));
    QString arguments = name;
    if (*command->arguments)
        arguments += QLatin1Char(' ') + QLatin1String(command->arguments);
    parser.addPositionalArgument(name, QLatin1String(command->summary), arguments);
    const QCommandLineOption jsonOption(QStringLiteral("json"), QStringLiteral("Print JSON."));
    if (command->json)
        parser.addOption(jsonOption);
    const QCommandLineOption toRouterOption(QStringLiteral("to-router"),
                                            QStringLiteral("Edit what the router holds instead of a file: receive, edit, send, each proven."));
    if (command->toRouter)
        parser.addOption(toRouterOption);
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "qorvctl: %s\n", parser.errorText().toLocal8Bit().constData());
        return kExitUsage;
    }
    if (parser.isSet(helpOption))
        return printHelp(parser, kExitOk);
    QStringList args = parser.positionalArguments().mid(1);
    const bool toRouter = command->toRouter && parser.isSet(toRouterOption);
    // An edit of the router names no file: its other arguments stand one place earlier.
    const int file = toRouter ? 0 : 1;
    bool fits = args.size() == QString::fromLatin1(command->arguments).split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
    if (name == QLatin1String("route"))
        fits = args.size() >= file + 3 && (args.size() - file - 1) % 2 == 0
            && (args.value(file) == QLatin1String("on") || args.value(file) == QLatin1String("off"));
    else if (name == QLatin1String("remove"))
        fits = args.size() == file + 1;
    if (!fits) {
        std::fprintf(stderr, "qorvctl: usage: qorvctl %s\n", arguments.toLocal8Bit().constData());
        return kExitUsage;
    }
    const bool json = command->json && parser.isSet(jsonOption);

    if (name == QLatin1String("show"))
        return Commands::show(args[0], json, stdout, stderr);
    if (name == QLatin1String("diff"))
        return Commands::diff(args[0], args[1], stdout, stderr);
    if (name == QLatin1String("hex-info"))
        return Commands::hexInfo(args[0], json, stdout, stderr);
    if (name == QLatin1String("import"))
        return Commands::import(args[0], args[1], stdout, stderr);
    if (name == QLatin1String("names"))
        return Commands::names(args[0], args[1], stdout, stderr);

    const QByteArray simulate = qgetenv("QORV_SIMULATE");
    SteadyClock clock;
    const RouterChoice router(simulate, clock);
    Trace trace(qEnvironmentVariable("QORV_TRACE").toStdString(), clock);
    RouterAccess access;
    access.backend = router.backend.get();
    access.clock = &clock;
    access.trace = trace.isOpen() ? &trace : nullptr;
    access.pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    access.terminal = Platform::isTerminal(stderr);
    access.simulated = router.simulated ? QString::fromLatin1(simulate) : QString();

    const EditTarget target{toRouter ? QString() : args.value(0), toRouter};
    if (name == QLatin1String("route"))
        return Commands::route(target, args[file] == QLatin1String("on"), args.mid(file + 1), access);
    if (name == QLatin1String("remove"))
        return Commands::remove(target, args[file], access);
    if (name == QLatin1String("receive"))
        return Commands::receive(args[0], access);
    if (name == QLatin1String("send"))
        return Commands::send(args[0], access);
    if (name == QLatin1String("update"))
        return Commands::update(args[0], access);
    return Commands::doctor(access);
}

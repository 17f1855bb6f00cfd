#include "app/commandline.h"

#include "app/addressbook.h"
#include "link/sendpath.h"
#include "link/textutil.h"

#include <QCommandLineParser>

namespace app {

namespace {

const QString kProgram = QStringLiteral("quorin-monitor");

// Options that QApplication takes out of the arguments itself. They are
// accepted here so that a first parse, before QApplication exists, does not
// reject them.
struct QtOption
{
    const char *name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},        {"qwindowtitle", true},  {"session", true},
    {"display", true},         {"geometry", true},           {"style", true},         {"stylesheet", true},
    {"reverse", false},        {"widgetcount", false},       {"nograb", false},       {"dograb", false},
    {"sync", false},
};

CommandLine failure(const QString &message)
{
    CommandLine c;
    c.action = CommandLine::Action::Fail;
    c.text = QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(kProgram, message);
    return c;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // "-platform offscreen" is one option, as QApplication reads it.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Watches and drives one QUORIN motion and I/O controller over TCP.\n"
        "\n"
        "With --backup, --restore, --compare or --exec it shows no window: it connects, does that,\n"
        "says goodbye to the controller and exits with one of these statuses:\n"
        "  0  done (--compare: the controller holds what the backup holds)\n"
        "  1  --compare: the controller differs from the backup\n"
        "  2  the command line is wrong\n"
        "  3  no connection could be made\n"
        "  4  the controller stopped answering or closed the connection\n"
        "  5  the controller refused a command or a loaded line\n"
        "  6  the backup could not be written, or is not a usable backup\n"
        "Results go to standard output, a failure as one line to standard error."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        QStringLiteral("Connect to ADDRESS (host, host:port or [IPv6]:port; the port defaults to 23), or to "
                       "the controller of that name in the address book, once the window shows."),
        QStringLiteral("ADDRESS|NAME"));
    const QCommandLineOption simulator(
        QStringLiteral("simulator"),
        QStringLiteral("Start the built-in controller simulator on a free loopback port and connect to it."));
    const QCommandLineOption watchOnly(
        QStringLiteral("watch-only"),
        QStringLiteral("Start with the watch-only lock on: every control that changes the controller is off "
                       "until the lock is turned off, for a reason, in the window."));
    const QCommandLineOption backup(
        QStringLiteral("backup"),
        QStringLiteral("Back up the controller's program, points and MBK words into a new folder in FOLDER; "
                       "print the new folder's path."),
        QStringLiteral("FOLDER"));
    const QCommandLineOption restore(
        QStringLiteral("restore"),
        QStringLiteral("Load the backup in FOLDER into the controller (needs --yes)."),
        QStringLiteral("FOLDER"));
    const QCommandLineOption yes(QStringLiteral("yes"),
                                 QStringLiteral("Confirm --restore: the controller's tables are replaced."));
    const QCommandLineOption exec(
        QStringLiteral("exec"),
        QStringLiteral("Send COMMAND and print the controller's reply; may be given more than once: the "
                       "commands go in order, and none after one the controller refuses."),
        QStringLiteral("COMMAND"));
    const QCommandLineOption compare(
        QStringLiteral("compare"),
        QStringLiteral("Print how the controller differs from the backup in FOLDER."),
        QStringLiteral("FOLDER"));
    parser.addOption(connect);
    parser.addOption(simulator);
    parser.addOption(watchOnly);
    parser.addOption(backup);
    parser.addOption(restore);
    parser.addOption(yes);
    parser.addOption(exec);
    parser.addOption(compare);
    for (const QtOption &o : kQtOptions) {
        QCommandLineOption opt(QString::fromLatin1(o.name));
        if (o.takesValue)
            opt.setValueName(QStringLiteral("VALUE"));
        opt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(opt);
    }

    if (!parser.parse(arguments))
        return failure(parser.errorText());

    CommandLine c;
    // --help-all would add Qt's own options; the plain help serves for both.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        c.action = CommandLine::Action::ShowHelp;
        // Qt names the program by its path, or not at all before QApplication exists.
        QStringList lines = parser.helpText().split(QLatin1Char('\n'));
        lines.first() = QStringLiteral("Usage: %1 [options]").arg(kProgram);
        c.text = lines.join(QLatin1Char('\n'));
        return c;
    }
    if (parser.isSet(version)) {
        c.action = CommandLine::Action::ShowVersion;
        c.text = QStringLiteral("%1 %2\n").arg(kProgram, QStringLiteral(QUORIN_VERSION));
        return c;
    }
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    if (parser.isSet(connect) && parser.isSet(simulator))
        return failure(QStringLiteral("--connect and --simulator cannot be used together."));
    if (parser.isSet(connect)) {
        const QStringList values = parser.values(connect);
        if (values.size() > 1)
            return failure(QStringLiteral("--connect given more than once."));
        // Anything else may be a name: the address book decides once it is read.
        if (values.first().trimmed().isEmpty())
            return failure(QStringLiteral("--connect needs an address or a controller's name."));
        c.connectTo = values.first().trimmed();
    }
    c.simulator = parser.isSet(simulator);
    c.watchOnly = parser.isSet(watchOnly);

    const struct
    {
        const QCommandLineOption &option;
        CommandLine::Task task;
    } tasks[] = {{backup, CommandLine::Task::Backup},
                 {restore, CommandLine::Task::Restore},
                 {compare, CommandLine::Task::Compare},
                 {exec, CommandLine::Task::Exec}};
    for (const auto &t : tasks) {
        if (!parser.isSet(t.option))
            continue;
        const QString name = QStringLiteral("--") + t.option.names().first();
        if (c.task != CommandLine::Task::None)
            return failure(QStringLiteral("--backup, --restore, --compare and --exec cannot be combined."));
        c.task = t.task;
        const QStringList values = parser.values(t.option);
        if (t.task == CommandLine::Task::Exec) {
            // Each command is one line the controller can read; checked
            // before anything goes out.
            for (int i = 0; i < values.size(); ++i) {
                const QString &command = values.at(i);
                if (!text::isOneLine(command))
                    return failure(QStringLiteral("--exec number %1 holds a line break or another control "
                                                  "character: give each command its own --exec.")
                                       .arg(i + 1));
                bool encodable = false;
                wire::commandBytes(wire::wireLine(command), &encodable);
                if (!encodable)
                    return failure(QStringLiteral("--exec number %1 holds a character the controller cannot "
                                                  "read: it reads Shift-JIS.")
                                       .arg(i + 1));
            }
            c.commands = values;
            continue;
        }
        if (values.size() > 1)
            return failure(QStringLiteral("%1 given more than once.").arg(name));
        if (values.first().trimmed().isEmpty())
            return failure(QStringLiteral("%1 needs a folder.").arg(name));
        c.folder = values.first();
    }
    c.yes = parser.isSet(yes);
    if (c.yes && c.task != CommandLine::Task::Restore)
        return failure(QStringLiteral("--yes goes with --restore."));
    if (c.task == CommandLine::Task::Restore && !c.yes)
        return failure(QStringLiteral("--restore replaces the controller's program, points and MBK words: "
                                      "add --yes to go ahead."));
    if (c.headless() && c.watchOnly)
        return failure(QStringLiteral("--watch-only is for the window: it cannot be combined with --backup, "
                                      "--restore, --compare or --exec."));
    if (c.headless() && c.connectTo.isEmpty() && !c.simulator)
        return failure(QStringLiteral("--backup, --restore, --compare and --exec need --connect ADDRESS or "
                                      "--simulator."));
    return c;
}

CommandLine resolveControllerName(CommandLine commandLine, const AddressBook &book)
{
    if (commandLine.action != CommandLine::Action::Run || commandLine.connectTo.isEmpty())
        return commandLine;
    const ConnectTarget target = resolveConnectTarget(book, commandLine.connectTo);
    if (!target.error.isEmpty())
        return failure(target.error);
    // As --watch-only, a controller the address book keeps watch-only is not
    // changed from a script: reading it (backup, compare) is all there is.
    if (target.watchOnly &&
        (commandLine.task == CommandLine::Task::Restore || commandLine.task == CommandLine::Task::Exec))
        return failure(target.name.isEmpty()
                           ? QStringLiteral("'%1' is the address of '%2', watch only in the address book: "
                                            "--restore and --exec would change it.")
                                 .arg(commandLine.connectTo.trimmed(), target.watchOnlyName)
                           : QStringLiteral("'%1' is watch only in the address book: --restore and --exec "
                                            "would change it.")
                                 .arg(target.name));
    commandLine.connectTo = target.address;
    commandLine.connectName = target.name;
    commandLine.connectWatchOnly = target.watchOnly;
    return commandLine;
}

} // namespace app

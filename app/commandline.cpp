#include "app/commandline.h"

#include "link/sendpath.h"

#include <QCommandLineParser>

namespace app {

namespace {

const QString kProgram = QStringLiteral("quorin-monitor");
constexpr quint16 kControllerPort = 23;

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
    parser.setApplicationDescription(
        QStringLiteral("Watches and drives one QUORIN motion and I/O controller over TCP."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        QStringLiteral("Connect to ADDRESS (host, host:port or [IPv6]:port; the port defaults to 23) "
                       "once the window shows."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption simulator(
        QStringLiteral("simulator"),
        QStringLiteral("Start the built-in controller simulator on a free loopback port and connect to it."));
    parser.addOption(connect);
    parser.addOption(simulator);
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
        if (!wire::parseAddress(values.first(), kControllerPort).ok)
            return failure(QStringLiteral("'%1' is not an address: give host, host:port or [IPv6]:port.")
                               .arg(values.first()));
        c.connectTo = values.first().trimmed();
    }
    c.simulator = parser.isSet(simulator);
    return c;
}

} // namespace app

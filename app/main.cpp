// quorin-monitor: the windows and their built-in simulators, the first
// started as the command line asks.
#include "app/addressbook.h"
#include "app/builtinsimulator.h"
#include "app/commandline.h"
#include "app/headless.h"
#include "app/mainwindow.h"
#include "app/platform.h"
#include "app/startup.h"
#include "app/windowset.h"
#include "core/clock.h"
#include "link/sjis.h"
#include "ui/qtdialogs.h"

#include <QApplication>
#include <QSettings>
#include <cstdio>

int main(int argc, char **argv)
{
    // Parsed before QApplication exists: --help, --version and mistakes need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // The settings' place, for every run, is known before QApplication
    // exists: a --connect name is looked up in the address book before
    // anything starts.
    QCoreApplication::setOrganizationName(QStringLiteral("QuorinMonitor"));
    QCoreApplication::setApplicationName(QStringLiteral("QuorinMonitor"));
    app::CommandLine commandLine = app::parseCommandLine(arguments);
    if (!commandLine.connectTo.isEmpty()) {
        QSettings stored;
        app::AddressBook book;
        book.load(stored);
        commandLine = app::resolveControllerName(commandLine, book);
    }
    if (commandLine.action != app::CommandLine::Action::Run) {
        std::FILE *out = commandLine.action == app::CommandLine::Action::Fail ? stderr : stdout;
        std::fputs(commandLine.text.toLocal8Bit().constData(), out);
        return commandLine.exitCode();
    }

    if (commandLine.headless())
        return app::runHeadless(commandLine, argc, argv);

    // The console's Control keys (Control+L, Control+] ...) stay Control on macOS.
    QCoreApplication::setAttribute(Qt::AA_MacDontSwapCtrlAndMeta);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);
    platform::beginUserActivity();

    QSettings settings;
    QtDialogs dialogs;
    if (!app::codecUsable(dialogs, wire::sjisAvailable))
        return 1;
    SystemClock clock;
    // The first window; File > New Window opens more, each on its own.
    WindowSet windows(clock, &settings);
    // --watch-only holds for every window the program opens, not just the first.
    windows.setWatchOnly(commandLine.watchOnly);
    MainWindow &window = *windows.open();
    startFromCommandLine(commandLine, window, *windows.builtInSimulator(&window));
    return app.exec();
}

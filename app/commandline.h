// The monitor's command line as a plain value: what to do and with which
// address, parsed without starting any part of the window, so that --help,
// --version and a mistyped option work on a machine without a display.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, Fail };

    Action action = Action::Run;
    QString connectTo;      // --connect: a checked host, host:port or [v6]:port
    bool simulator = false; // --simulator
    QString text;           // help, version line or error message, ready to print

    // The process status for an action that ends the program before the window.
    int exitCode() const { return action == Action::Fail ? 2 : 0; }
};

// `arguments` as the program received them, the program's name first. Qt's own
// window options (-platform, -style...) are let through for QApplication.
CommandLine parseCommandLine(const QStringList &arguments);

} // namespace app

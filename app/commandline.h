// The monitor's command line as a plain value: what to do and with which
// address, parsed without starting any part of the window, so that --help,
// --version and a mistyped option work on a machine without a display.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

// How a run without a window ends; --help and the manual page list them.
enum ExitStatus {
    kExitOk = 0,
    kExitDifferences = 1,  // --compare: the controller differs from the backup
    kExitUsage = 2,        // the command line is wrong
    kExitNoConnection = 3, // no connection (or the built-in simulator did not start)
    kExitLinkLost = 4,     // the controller stopped answering or closed the connection
    kExitRefused = 5,      // the controller refused a command or a loaded line
    kExitBadBackup = 6,    // a backup (or the results) could not be written, or is not a usable one
};

struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, Fail };
    // What a run without a window does, once connected.
    enum class Task { None, Backup, Restore, Compare, Exec };

    Action action = Action::Run;
    // --connect: as given until resolveControllerName(), then a checked host,
    // host:port or [v6]:port
    QString connectTo;
    QString connectName;           // the address book's name --connect gave, if it gave one
    bool connectWatchOnly = false; // that controller is watched only by default
    bool simulator = false;        // --simulator
    bool watchOnly = false;        // --watch-only: the window starts with the watch-only lock on
    Task task = Task::None;
    QString folder;       // --backup (the folder the backup goes into), --restore, --compare
    QStringList commands; // --exec, in order
    bool yes = false;     // --yes
    QString text;         // help, version line or error message, ready to print

    // No window: the task runs and the program ends.
    bool headless() const { return task != Task::None; }
    // The process status for an action that ends the program before the window.
    int exitCode() const { return action == Action::Fail ? kExitUsage : kExitOk; }
};

// `arguments` as the program received them, the program's name first. Qt's own
// window options (-platform, -style...) are let through for QApplication.
CommandLine parseCommandLine(const QStringList &arguments);

class AddressBook;
// Turns a --connect name into its address from `book` (a stored name wins
// over an address spelled the same way). A value that is neither makes the
// result a failure with exit status 2.
CommandLine resolveControllerName(CommandLine commandLine, const AddressBook &book);

} // namespace app

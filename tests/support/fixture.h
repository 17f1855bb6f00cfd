// A whole monitor for integration tests: the real window, the scripted
// dialogs, a throw-away settings store, a fake clock and the
// simulator in-process on an ephemeral loopback port.
#pragma once

#include "app/mainwindow.h"
#include "console/consolepage.h"
#include "link/link.h"
#include "monitor/poller.h"
#include "sim/server.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

class QLineEdit;

class MonitorFixture
{
public:
    // Every page built at once, or only what the window builds itself.
    enum class Pages { AllBuilt, AsShown };
    // With `settingsFile`, a later run of the program on that file.
    explicit MonitorFixture(const sim::Options &options = makeOptions(), bool startSim = true,
                            const QString &settingsFile = QString(), Pages pages = Pages::AllBuilt);
    ~MonitorFixture();

    static sim::Options makeOptions();

    // Connects to the simulator and waits until the login has been answered
    // and everything received so far is shown. Returns false on failure.
    bool connectToSim();
    // Processes events until every received chunk has been handed to the
    // display and `cond` holds (or the time runs out).
    bool waitFor(const std::function<bool()> &cond, int timeoutMs = 5000);
    // Waits until the simulator has received `line` as a command.
    bool waitForCommand(const QString &line, int timeoutMs = 5000);
    // Waits until no action holds the exchange slot and what arrived is shown.
    void settle();
    // Runs `action` in the exchange slot, as a click would, and waits until it
    // has ended; false when it did not end in time.
    bool run(wire::Link::Action action, int timeoutMs = 10000);
    // One exchange through the slot: the answer, or nothing when it failed.
    std::optional<QString> exchange(const QString &command);
    // The user's Disconnect, waited for until the link is down.
    void disconnect();
    // Closes the window as its close button does and waits until it has
    // closed (a connected window says goodbye first).
    bool closeWindow();
    // Runs a program in the simulator that stops at a breakpoint and waits
    // until the monitor knows; the commands recorded so far are cleared.
    bool stopAtBreakpoint();
    // Commands received by the simulator since the last clear.
    QStringList commands() const;
    void clearCommands();
    // Selects a tab by its identifier the way a click does.
    void selectTab(const QString &identifier);

    wire::Link &link() { return window->link(); }
    // The console's text as the controller sent it.
    QString consoleText() const { return window->consolePage().consoleText(); }
    // The connection bar's controls, by name.
    QLineEdit *addressField() const;
    QLineEdit *timeoutField() const;
    QLineEdit *statusLine() const;

    QTemporaryDir tempDir;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<sim::Server> sim;
    ScriptedDialogs dialogs;
    FakeClock clock;
    std::unique_ptr<MainWindow> window;
};

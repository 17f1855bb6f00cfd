// A whole monitor for integration tests: the real window, scripted dialogs, throw-away settings, a fake
// clock and the simulator in-process on an ephemeral loopback port.
#pragma once

#include "app/mainwindow.h"
#include "console/consolepage.h"
#include "link/link.h"
#include "monitor/poller.h"
#include "sim/server.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"

#include <QLineEdit>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// Types `text` (an address or a controller's name) into the window's address field and clicks Connect;
// true once the login is through.
bool connectTo(MainWindow *w, const QString &text);

// The watch-only lock as the window shows it: its button pressed, WATCH ONLY in the status bar.
bool lockShown(MainWindow *w);

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

    // Connects to the simulator and waits until the login is answered and shown; false on failure.
    bool connectToSim();
    // Every reply of the simulator from now on comes `delayMs` late: an answer is on its way a while.
    void slowReplies(int delayMs = 300)
    {
        sim::Options slow = sim->options();
        slow.delayMs = delayMs;
        sim->setOptions(slow);
    }
    // Processes events until `cond` holds (or the time runs out).
    bool waitFor(const std::function<bool()> &cond, int timeoutMs = 5000);
    bool waitForCommand(const QString &line, int timeoutMs = 5000)
    {
        return waitFor([&] { return sim->commands().contains(line); }, timeoutMs);
    }
    // Waits until no action holds the exchange slot and what arrived is shown.
    void settle()
    {
        waitFor([this] { return !link().busy(); }, 2000);
    }
    // Runs `action` in the exchange slot, as a click would; false when it did not end in time.
    bool run(wire::Link::Action action, int timeoutMs = 10000);
    // One exchange through the slot: the answer, or nothing when it failed.
    std::optional<QString> exchange(const QString &command);
    // The user's Disconnect, waited for until the link is down.
    void disconnect()
    {
        window->disconnectController();
        waitFor([this] { return link().state() == wire::State::Disconnected; });
    }
    // Closes the window as its close button does (a connected one says goodbye first).
    bool closeWindow()
    {
        window->close();
        return waitFor([this] { return !window->isVisible(); });
    }
    // Runs a program that stops at a breakpoint and waits until the monitor knows; clears the commands.
    bool stopAtBreakpoint();
    // Commands received by the simulator since the last clear.
    QStringList commands() const { return sim->commands(); }
    void clearCommands() { sim->clearReceived(); }
    // Selects a tab by its identifier the way a click does.
    void selectTab(const QString &identifier);

    wire::Link &link() { return window->link(); }
    // The console's text as the controller sent it.
    QString consoleText() const { return window->consolePage().consoleText(); }
    // The connection bar's controls, by name.
    QLineEdit *addressField() const { return field("textFieldIpAddress"); }
    QLineEdit *timeoutField() const { return field("textFieldTimeOutSec"); }
    QLineEdit *statusLine() const { return field("textField2"); }
    QLineEdit *field(const char *name) const { return window->findChild<QLineEdit *>(QLatin1String(name)); }

    QTemporaryDir tempDir;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<sim::Server> sim;
    ScriptedDialogs dialogs;
    FakeClock clock;
    std::unique_ptr<MainWindow> window;
};

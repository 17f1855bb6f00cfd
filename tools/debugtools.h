// The breakpoint panel and the maintenance buttons: breakpoints, the clock
// check and set, the monitor output and the monitor output annotated with
// program lines. The rules they follow live in tools.*.
#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

class Clock;

namespace console {
class ConsoleSink;
}

namespace wire {
class Link;
}

namespace tools {

class DebugTools : public QObject
{
    Q_OBJECT

public:
    DebugTools(wire::Link &link, Clock &clock, QObject *parent = nullptr);

    // Where the tools write their notes and listings; set before the first use.
    void setConsole(console::ConsoleSink &console) { m_console = &console; }

public slots:
    // Each breakpoint action sends its one line at once; the caller, a link
    // action, then waits for the answer with breakpointAnswer().
    void breakpointContinue();
    void breakpointList();
    void breakpointTrace();
    void breakpointClearAll();
    // `number` is the breakpoint field's text; a console selection takes its
    // place. Returns what the field shows afterwards.
    QString breakpointAddDelete(const QString &number);
    // `name` is the variable field's text; a console selection takes its
    // place. Returns what the field shows afterwards.
    QString breakpointVariable(const QString &name);

public:
    // Waits for the answer to the breakpoint line just sent and shows it as
    // the live display would. A "#?" in it keeps the stop: a Run queued
    // behind a printed variable or a step is still refused, and the answer's
    // prompt cannot end the wait of whatever is queued next.
    QCoro::Task<> breakpointAnswer();
    // Read clock and Set clock: echoed like a typed command, and waited for,
    // so that their prompt cannot end the wait of a click queued behind them.
    QCoro::Task<> clockCheck();
    QCoro::Task<> clockAdjust();
    // The monitor output, and the monitor output annotated with program
    // lines: each waits for its answers, so the caller runs it as a link
    // action. Either stops where a wait fails.
    QCoro::Task<> monitor();
    QCoro::Task<> monitorListing();

private:
    QCoro::Task<> clockCommand(QString command);
    console::ConsoleSink &console();

    wire::Link &m_link;
    Clock &m_clock;
    console::ConsoleSink *m_console = nullptr;
};

} // namespace tools

// The breakpoint panel and the maintenance buttons against the controller.
#include "tools/debugtools.h"

#include "console/consolesink.h"
#include "core/clock.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/textutil.h"
#include "tools/tools.h"

namespace tools {

DebugTools::DebugTools(wire::Link &link, Clock &clock, QObject *parent)
    : QObject(parent), m_link(link), m_clock(clock)
{
}

console::ConsoleSink &DebugTools::console()
{
    Q_ASSERT(m_console);
    return *m_console;
}

// ---- breakpoints -------------------------------------------------------------

void DebugTools::breakpointContinue()
{
    m_link.sendString(QStringLiteral("N"), wire::Link::Breakpoint::Leave);
    console().consoleAppendScroll(QStringLiteral("\r[BKP: Continue]"));
}

void DebugTools::breakpointList()
{
    m_link.sendString(QStringLiteral("BKP"));
    console().consoleAppendScroll(QStringLiteral("\r[BKP: Enumerate]"));
}

void DebugTools::breakpointTrace()
{
    m_link.sendString(QStringLiteral("T"), wire::Link::Breakpoint::Leave);
    console().consoleAppendScroll(QStringLiteral("\r[BKP: Trace]"));
}

void DebugTools::breakpointClearAll()
{
    m_link.sendString(QStringLiteral("BKP 0"), wire::Link::Breakpoint::Leave);
    console().consoleAppendScroll(QStringLiteral("\r[BKP: All cleared]"));
}

QString DebugTools::breakpointAddDelete(const QString &number)
{
    console().liveDisplayOn();
    const QString selected = console().consoleSelection();
    const QString shown = selected.isEmpty() ? number : selected;
    const QString typed = text::trimBlanks(shown);
    // A ":" would start a statement of its own after the breakpoint's.
    if (typed.isEmpty() || !text::isOneOperand(typed)) {
        console().consoleAppendScroll(QStringLiteral("[BKP: ! Input or Select a Step No. or a Label]"));
        // A bare CR: the controller answers with a fresh prompt.
        m_link.sendString(QString());
        return typed.isEmpty() ? QString() : shown;
    }
    const QString target = bkpTarget(typed);
    m_link.sendString(QStringLiteral("BKP ") + target, wire::Link::Breakpoint::Leave);
    console().consoleAppendScroll(QStringLiteral("[BKP: Add/Delete]"));
    return target != typed ? target : shown;
}

QString DebugTools::breakpointVariable(const QString &name)
{
    console().liveDisplayOn();
    const QString selected = console().consoleSelection();
    // A selected step number is almost certainly a mis-selection.
    if (!selected.isEmpty() && text::isInt(selected)) {
        console().consoleAppendScroll(QStringLiteral("[BKP: ! Select Variable Name]"));
        m_link.sendString(QString());
        return QString();
    }
    const QString shown = selected.isEmpty() ? name : selected;
    const QString trimmed = text::trimBlanks(shown);
    // "=5" would go out as "P =5", which assigns to P instead of printing.
    if (trimmed.isEmpty() || !text::isOneOperand(trimmed) || trimmed.startsWith(QLatin1Char('='))) {
        console().consoleAppendScroll(QStringLiteral("[BKP: ! Input Variable Name ]"));
        m_link.sendString(QString());
        return shown;
    }
    console().consoleAppendScroll(QStringLiteral("[BKP: Variable] ") + trimmed);
    m_link.sendString(QStringLiteral("P ") + trimmed, wire::Link::Breakpoint::Leave);
    return shown;
}

QCoro::Task<> DebugTools::breakpointAnswer()
{
    const std::optional<QString> reply = co_await m_link.answer(wire::kStopAnswer);
    if (reply)
        console().receiveDisplay(*reply);
}

// ---- clock -------------------------------------------------------------------

QCoro::Task<> DebugTools::clockCheck()
{
    co_await clockCommand(QStringLiteral("PR DATE$(0) TIME$(0)"));
}

QCoro::Task<> DebugTools::clockAdjust()
{
    co_await clockCommand(rtcSetCommand(m_clock.now()));
}

QCoro::Task<> DebugTools::clockCommand(QString command)
{
    console().liveDisplayOn();
    const bool sent = console().echoAndSend(command);
    console().focusConsole();
    if (!sent)
        co_return;
    const std::optional<QString> reply = co_await m_link.answer(wire::kInPlace);
    if (reply)
        console().consoleAppendFollow(*reply);
}

// ---- monitor output ------------------------------------------------------------

QCoro::Task<> DebugTools::monitor()
{
    console().liveDisplayOn();
    const std::optional<QString> machineMode =
        co_await m_link.exchange(QLatin1String(protocol::kMachineModeWord), wire::kInPlace);
    if (!machineMode)
        co_return;
    if (!console().echoAndSend(QStringLiteral("MON")))
        co_return;
    const std::optional<QString> reply = co_await m_link.answer(wire::kInPlace);
    if (!reply)
        co_return;
    console().consoleAppendFollow(*reply);
    // Waited for only so that the prompt is taken as the answer it is and
    // not shown; whatever the controller still sends before it (a running
    // program's output) keeps the wait alive.
    const std::optional<QString> off = co_await m_link.exchange(
        QLatin1String(protocol::kMachineModeOff), {wire::Wait::Until::Prompt, wire::Wait::Count::FromLastByte,
                                                   wire::Wait::Keep::Answer, wire::Wait::AtBreakpoint::Stay});
    Q_UNUSED(off);
}

QCoro::Task<> DebugTools::monitorListing()
{
    console().liveDisplayOn();
    console().listNextOff();
    const std::optional<QString> machineMode =
        co_await m_link.exchange(QLatin1String(protocol::kMachineModeWord), wire::kInPlace);
    if (!machineMode)
        co_return;
    const std::optional<QString> monReply = co_await m_link.exchange(QStringLiteral("MON"), wire::kInPlace);
    if (!monReply)
        co_return;
    const Exchange exchange = [this](QString command) {
        return m_link.exchange(std::move(command), wire::kInPlace);
    };
    QCoro::Task<std::optional<QString>> building = buildMonListing(*monReply, exchange);
    const std::optional<QString> listing = co_await building;
    // A failed wait has already been dealt with by the link (a time-out
    // closes it and says so); what was collected is dropped.
    if (!listing)
        co_return;
    console().consoleAppendFollow(QStringLiteral("\r\n") + *listing);
    // Waited for, so that its prompt is not taken for the next command's
    // answer; shown, as it ends the listing.
    const std::optional<QString> off =
        co_await m_link.exchange(QLatin1String(protocol::kMachineModeOff), wire::kInPlace);
    if (off)
        console().consoleAppendFollow(*off);
}

} // namespace tools

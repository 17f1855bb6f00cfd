// The breakpoint panel and the maintenance buttons: clock check and set, the
// monitor output and the monitor output annotated with program lines.
#include "app/viewcontroller.h"
#include "console/consolepage.h"
#include "link/textutil.h"
#include "tools/tools.h"

// ---- breakpoints -------------------------------------------------------------
// None of these wait: the controller's answer reaches the console through the
// live display, and the next received text re-enables or disables the step
// controls from bkpMode.

void ViewController::buttonBkpN_click()
{
    m_lnk->state().setBkpMode(false);
    sendString(QStringLiteral("N"));
    consoleAppendScroll(QStringLiteral("\r[BKP: Continue]"));
}

void ViewController::buttonBkpEnum_click()
{
    sendString(QStringLiteral("BKP"));
    consoleAppendScroll(QStringLiteral("\r[BKP: Enumerate]"));
}

void ViewController::buttonBkpT_click()
{
    m_lnk->state().setBkpMode(false);
    sendString(QStringLiteral("T"));
    consoleAppendScroll(QStringLiteral("\r[BKP: Trace]"));
}

void ViewController::buttonBkp_AllClr()
{
    m_lnk->state().setBkpMode(false);
    sendString(QStringLiteral("BKP 0"));
    consoleAppendScroll(QStringLiteral("\r[BKP: All cleared]"));
}

void ViewController::buttonBkpAddDel_click()
{
    consolePage().setFollowOutput(true);
    const QString selected = consoleSelection();
    if (!selected.isEmpty())
        consolePage().setBreakpointTarget(selected);
    const QString typed = text::trimBlanks(consolePage().breakpointTarget());
    if (typed.isEmpty()) {
        consoleAppendScroll(QStringLiteral("[BKP: ! Input or Select a Step No. or a Label]"));
        consolePage().setBreakpointTarget(QString());
        // A bare CR: the controller answers with a fresh prompt.
        sendString(QString());
        return;
    }
    const QString target = tools::bkpTarget(typed);
    if (target != typed)
        consolePage().setBreakpointTarget(target);
    m_lnk->state().setBkpMode(false);
    sendString(QStringLiteral("BKP ") + target);
    consoleAppendScroll(QStringLiteral("[BKP: Add/Delete]"));
}

void ViewController::buttonBkpVari_click()
{
    consolePage().setFollowOutput(true);
    const QString selected = consoleSelection();
    if (!selected.isEmpty()) {
        // A selected step number is almost certainly a mis-selection.
        if (text::isInt(selected)) {
            consoleAppendScroll(QStringLiteral("[BKP: ! Select Variable Name]"));
            consolePage().setBreakpointVariable(QString());
            sendString(QString());
            return;
        }
        consolePage().setBreakpointVariable(selected);
    }
    const QString name = text::trimBlanks(consolePage().breakpointVariable());
    if (name.isEmpty()) {
        consoleAppendScroll(QStringLiteral("[BKP: ! Input Variable Name ]"));
        sendString(QString());
        return;
    }
    m_lnk->state().setBkpMode(false);
    consoleAppendScroll(QStringLiteral("[BKP: Variable] ") + name);
    sendString(QStringLiteral("P ") + name);
}

// ---- clock -------------------------------------------------------------------

void ViewController::buttonRtcCheck_click()
{
    consolePage().setFollowOutput(true);
    sendString1(QStringLiteral("PR DATE$(0) TIME$(0)"));
    focusConsole();
}

void ViewController::buttonRtcAdj_click()
{
    consolePage().setFollowOutput(true);
    sendString1(tools::rtcSetCommand(clock()->now()));
    focusConsole();
}

// ---- monitor output ------------------------------------------------------------

void ViewController::buttonMon_click()
{
    consolePage().setFollowOutput(true);
    m_lnk->state().setWaitPrompt(true);
    sendString(QStringLiteral("CMD$"));
    if (!receivePrompt())
        return;
    m_lnk->state().setWaitPrompt(true);
    sendString1(QStringLiteral("MON"));
    if (!receivePrompt())
        return;
    consoleAppendFollow(m_lnk->state().rcvBuff());
    // Nobody waits for this prompt: the receive path ends the wait, and the
    // prompt itself is not shown.
    m_lnk->state().setWaitPrompt(true);
    sendString(QStringLiteral("CMD$ 0"));
}

void ViewController::buttonMonList_click()
{
    consolePage().setFollowOutput(true);
    consolePage().setListNextEnabled(false);
    m_lnk->state().setWaitPrompt(true);
    sendString(QStringLiteral("CMD$"));
    if (!receivePrompt())
        return;
    m_lnk->state().setWaitPrompt(true);
    sendString(QStringLiteral("MON"));
    if (!receivePrompt())
        return;
    const std::optional<QString> listing = tools::buildMonListing(
        m_lnk->state().rcvBuff(), [this](const QString &command) -> std::optional<QString> {
            m_lnk->state().setWaitPrompt(true);
            sendString(command);
            if (!receivePrompt())
                return std::nullopt;
            return m_lnk->state().rcvBuff();
        });
    // A time-out has already closed the link and said so; what was collected
    // is dropped.
    if (!listing)
        return;
    consoleAppendFollow(QStringLiteral("\r\n") + *listing);
    sendString(QStringLiteral("CMD$ 0"));
}

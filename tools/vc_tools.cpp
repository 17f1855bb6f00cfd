// The breakpoint panel and the maintenance buttons: clock check and set, the
// monitor output and the monitor output annotated with program lines.
#include "app/viewcontroller.h"
#include "link/textutil.h"
#include "tools/tools.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

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
    checkboxScroll->setChecked(true);
    const QString selected = consoleSelection();
    if (!selected.isEmpty())
        textFieldBkpNumber->setText(selected);
    const QString typed = text::trimBlanks(textFieldBkpNumber->text());
    if (typed.isEmpty()) {
        consoleAppendScroll(QStringLiteral("[BKP: ! Input or Select a Step No. or a Label]"));
        textFieldBkpNumber->clear();
        // A bare CR: the controller answers with a fresh prompt.
        sendString(QString());
        return;
    }
    const QString target = tools::bkpTarget(typed);
    if (target != typed)
        textFieldBkpNumber->setText(target);
    m_lnk->state().setBkpMode(false);
    sendString(QStringLiteral("BKP ") + target);
    consoleAppendScroll(QStringLiteral("[BKP: Add/Delete]"));
}

void ViewController::buttonBkpVari_click()
{
    checkboxScroll->setChecked(true);
    const QString selected = consoleSelection();
    if (!selected.isEmpty()) {
        // A selected step number is almost certainly a mis-selection.
        if (text::isInt(selected)) {
            consoleAppendScroll(QStringLiteral("[BKP: ! Select Variable Name]"));
            textFieldBkpVariName->clear();
            sendString(QString());
            return;
        }
        textFieldBkpVariName->setText(selected);
    }
    const QString name = text::trimBlanks(textFieldBkpVariName->text());
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
    checkboxScroll->setChecked(true);
    sendString1(QStringLiteral("PR DATE$(0) TIME$(0)"));
    focusConsole();
}

void ViewController::buttonRtcAdj_click()
{
    checkboxScroll->setChecked(true);
    sendString1(tools::rtcSetCommand(clock()->now()));
    focusConsole();
}

// ---- monitor output ------------------------------------------------------------

void ViewController::buttonMon_click()
{
    checkboxScroll->setChecked(true);
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
    checkboxScroll->setChecked(true);
    buttonListNext->setEnabled(false);
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

void ViewController::wireTools()
{
    const auto act = [this](void (ViewController::*fn)()) {
        return [this, fn] { userAction([this, fn] { (this->*fn)(); }); };
    };
    QObject::connect(buttonBkpN, &QPushButton::clicked, this, act(&ViewController::buttonBkpN_click));
    QObject::connect(buttonBkpEnum, &QPushButton::clicked, this, act(&ViewController::buttonBkpEnum_click));
    QObject::connect(buttonBkpT, &QPushButton::clicked, this, act(&ViewController::buttonBkpT_click));
    QObject::connect(buttonBkpAllClr, &QPushButton::clicked, this, act(&ViewController::buttonBkp_AllClr));
    QObject::connect(buttonBkpAddDel, &QPushButton::clicked, this,
                     act(&ViewController::buttonBkpAddDel_click));
    QObject::connect(buttonBkpVari, &QPushButton::clicked, this, act(&ViewController::buttonBkpVari_click));
    QObject::connect(buttonRtcCheck, &QPushButton::clicked, this, act(&ViewController::buttonRtcCheck_click));
    QObject::connect(buttonRtcAdj, &QPushButton::clicked, this, act(&ViewController::buttonRtcAdj_click));
    QObject::connect(buttonMon, &QPushButton::clicked, this, act(&ViewController::buttonMon_click));
    QObject::connect(buttonMonList, &QPushButton::clicked, this, act(&ViewController::buttonMonList_click));
}

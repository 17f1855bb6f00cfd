// The side panel of the console tab: breakpoint, transfer and tool controls.
#include "console/sidepanel.h"

#include "ui/controls.h"
#include "ui/lockedcontrols.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <initializer_list>
#include <utility>

using namespace ui;

namespace console {

SidePanel::SidePanel(const WatchLock &lock, QWidget *parent)
    : QWidget(parent), m_locked(new ui::LockedControls(lock, this))
{
    // Compact panels for debugging, transfers and tools.
    auto *side = new QVBoxLayout(this);
    side->setSpacing(8);

    auto *bkp = new QGroupBox(QStringLiteral("Breakpoints"));
    auto *bg = new QGridLayout(bkp);
    bg->setHorizontalSpacing(6);
    bg->setVerticalSpacing(4);
    m_textFieldBkpNumber = makeField(QStringLiteral("textFieldBkpNumber"), QString(), 8);
    m_textFieldBkpNumber->setPlaceholderText(QStringLiteral("step or label"));
    bg->addWidget(caption(QStringLiteral("Step / label"), m_textFieldBkpNumber), 0, 0);
    bg->addWidget(m_textFieldBkpNumber, 0, 1);
    m_buttonBkpAddDel =
        makeButton(QStringLiteral("buttonBkpAddDel"), QStringLiteral("Add/Delete"),
                   QStringLiteral("Toggle a breakpoint at the step or label (or the console selection)"));
    bg->addWidget(m_buttonBkpAddDel, 0, 2);
    m_buttonBkpEnum = makeButton(QStringLiteral("buttonBkpEnum"), QStringLiteral("List"),
                                 QStringLiteral("List the breakpoints"));
    bg->addWidget(m_buttonBkpEnum, 1, 1);
    m_buttonBkpAllClr = makeButton(QStringLiteral("buttonBkpAllClr"), QStringLiteral("Clear all"),
                                   QStringLiteral("Remove every breakpoint"));
    bg->addWidget(m_buttonBkpAllClr, 1, 2);
    m_buttonBkpN = makeButton(QStringLiteral("buttonBkpN"), QStringLiteral("Continue"),
                              QStringLiteral("Continue from the breakpoint (N)"));
    bg->addWidget(m_buttonBkpN, 2, 1);
    m_buttonBkpT = makeButton(QStringLiteral("buttonBkpT"), QStringLiteral("Step"),
                              QStringLiteral("Execute one line (T)"));
    bg->addWidget(m_buttonBkpT, 2, 2);
    m_textFieldBkpVariName = makeField(QStringLiteral("textFieldBkpVariName"), QString(), 8);
    m_textFieldBkpVariName->setPlaceholderText(QStringLiteral("name"));
    bg->addWidget(caption(QStringLiteral("Variable"), m_textFieldBkpVariName), 3, 0);
    bg->addWidget(m_textFieldBkpVariName, 3, 1);
    m_buttonBkpVari = makeButton(QStringLiteral("buttonBkpVari"), QStringLiteral("Print"),
                                 QStringLiteral("Print the variable (or the console selection)"));
    bg->addWidget(m_buttonBkpVari, 3, 2);
    bg->setColumnStretch(1, 1);
    side->addWidget(bkp);

    // Two buttons a row, in the order given.
    const auto grid = [side](const QString &title, std::initializer_list<QPushButton *> buttons) {
        auto *box = new QGroupBox(title);
        auto *g = new QGridLayout(box);
        g->setHorizontalSpacing(6);
        g->setVerticalSpacing(4);
        int i = 0;
        for (QPushButton *b : buttons) {
            g->addWidget(b, i / 2, i % 2);
            ++i;
        }
        side->addWidget(box);
        return g;
    };
    m_buttonFileOpen = makeButton(QStringLiteral("buttonFileOpen"), QStringLiteral("Program Load"),
                                  QStringLiteral("Send a program file to the controller"));
    m_buttonFileSave = makeButton(QStringLiteral("buttonFileSave"), QStringLiteral("Program Save"),
                                  QStringLiteral("Save the controller's program to a file"));
    m_buttonPointLoad = makeButton(QStringLiteral("buttonPointLoad"), QStringLiteral("Point Load"),
                                   QStringLiteral("Send a point file to the controller"));
    m_buttonPointSave = makeButton(QStringLiteral("buttonPointSave"), QStringLiteral("Point Save"),
                                   QStringLiteral("Save the controller's points to a file"));
    m_buttonMbkLoad = makeButton(QStringLiteral("buttonMbkLoad"), QStringLiteral("MBK Load"),
                                 QStringLiteral("Send an MBK file to the controller"));
    m_buttonMbkSave = makeButton(QStringLiteral("buttonMbkSave"), QStringLiteral("MBK Save"),
                                 QStringLiteral("Save the controller's memory blocks to a file"));
    QGridLayout *transfers =
        grid(QStringLiteral("Transfer"), {m_buttonFileOpen, m_buttonFileSave, m_buttonPointLoad,
                                          m_buttonPointSave, m_buttonMbkLoad, m_buttonMbkSave});
    // What a point or MBK load would change, shown before it is made.
    m_buttonPointCompare = makeButton(QStringLiteral("buttonPointCompare"), QStringLiteral("Compare\u2026"),
                                      QStringLiteral("Compare a point file with the controller's points"));
    m_buttonMbkCompare =
        makeButton(QStringLiteral("buttonMbkCompare"), QStringLiteral("Compare\u2026"),
                   QStringLiteral("Compare an MBK file with the controller's memory blocks"));
    m_buttonPointCompare->setAccessibleName(QStringLiteral("Compare points\u2026"));
    m_buttonMbkCompare->setAccessibleName(QStringLiteral("Compare MBK\u2026"));
    transfers->addWidget(m_buttonPointCompare, 1, 2);
    transfers->addWidget(m_buttonMbkCompare, 2, 2);

    m_buttonRtcCheck = makeButton(QStringLiteral("buttonRtcCheck"), QStringLiteral("Read clock"),
                                  QStringLiteral("Print the controller's date and time"));
    m_buttonRtcAdj = makeButton(QStringLiteral("buttonRtcAdj"), QStringLiteral("Set clock"),
                                QStringLiteral("Set the controller's clock from this computer"));
    m_buttonMon = makeButton(QStringLiteral("buttonMon"), QStringLiteral("Monitor"),
                             QStringLiteral("Show the task monitor"));
    m_buttonMonList =
        makeButton(QStringLiteral("buttonMonList"), QStringLiteral("Monitor + lines"),
                   QStringLiteral("Show the task monitor with each task's program line (Ctrl+M)"));
    grid(QStringLiteral("Tools"), {m_buttonRtcCheck, m_buttonRtcAdj, m_buttonMon, m_buttonMonList});
    side->addStretch(1);

    side->setContentsMargins(0, 0, 0, 0);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);

    // The clicks go out as requests to the transfers and the tools.
    const std::pair<QPushButton *, void (SidePanel::*)()> requests[] = {
        {m_buttonFileOpen, &SidePanel::programLoadRequested},
        {m_buttonFileSave, &SidePanel::programSaveRequested},
        {m_buttonPointLoad, &SidePanel::pointLoadRequested},
        {m_buttonPointSave, &SidePanel::pointSaveRequested},
        {m_buttonMbkLoad, &SidePanel::mbkLoadRequested},
        {m_buttonMbkSave, &SidePanel::mbkSaveRequested},
        {m_buttonPointCompare, &SidePanel::pointCompareRequested},
        {m_buttonMbkCompare, &SidePanel::mbkCompareRequested},
        {m_buttonRtcCheck, &SidePanel::clockCheckRequested},
        {m_buttonRtcAdj, &SidePanel::clockSetRequested},
        {m_buttonMon, &SidePanel::monitorRequested},
        {m_buttonMonList, &SidePanel::monitorListRequested},
        {m_buttonBkpAddDel, &SidePanel::breakpointAddDelRequested},
        {m_buttonBkpEnum, &SidePanel::breakpointListRequested},
        {m_buttonBkpAllClr, &SidePanel::breakpointClearAllRequested},
        {m_buttonBkpN, &SidePanel::breakpointContinueRequested},
        {m_buttonBkpT, &SidePanel::breakpointStepRequested},
        {m_buttonBkpVari, &SidePanel::breakpointVariableRequested},
    };
    for (const auto &[button, signal] : requests)
        connect(button, &QPushButton::clicked, this, signal);
    // The step controls wait for a breakpoint stop.
    m_locked->setEnabled(m_buttonBkpN, false);
    m_locked->setEnabled(m_buttonBkpT, false);
}

void SidePanel::setConnected(bool connected)
{
    // Saving, comparing and the tools that read go on while the lock is on.
    for (QWidget *w : std::initializer_list<QWidget *>{
             m_buttonFileSave, m_buttonPointSave, m_buttonMbkSave, m_buttonPointCompare, m_buttonMbkCompare,
             m_buttonRtcCheck, m_buttonMon, m_buttonMonList, m_buttonBkpEnum})
        w->setEnabled(connected);
    // Loads, the clock set and the breakpoint changes write.
    for (QWidget *w : std::initializer_list<QWidget *>{m_buttonFileOpen, m_buttonPointLoad, m_buttonMbkLoad,
                                                       m_buttonRtcAdj, m_buttonBkpAddDel,
                                                       m_textFieldBkpNumber, m_buttonBkpAllClr})
        m_locked->setEnabled(w, connected);
}

void SidePanel::setBreakpointMode(bool stopped)
{
    // Printing a variable at the stop reads; continuing and stepping run.
    for (QWidget *w : std::initializer_list<QWidget *>{m_buttonBkpVari, m_textFieldBkpVariName})
        w->setEnabled(stopped);
    for (QWidget *w : std::initializer_list<QWidget *>{m_buttonBkpN, m_buttonBkpT})
        m_locked->setEnabled(w, stopped);
}

QString SidePanel::breakpointTarget() const
{
    return m_textFieldBkpNumber->text();
}

void SidePanel::setBreakpointTarget(const QString &target)
{
    m_textFieldBkpNumber->setText(target);
}

QString SidePanel::breakpointVariable() const
{
    return m_textFieldBkpVariName->text();
}

void SidePanel::setBreakpointVariable(const QString &name)
{
    m_textFieldBkpVariName->setText(name);
}

} // namespace console

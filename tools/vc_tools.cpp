// The breakpoint panel and the maintenance buttons of the console tab and the
// window's DebugTools: the ViewController reads the breakpoint fields and
// forwards to it until the console page hosts the panel.
#include "app/viewcontroller.h"
#include "console/consolepage.h"
#include "tools/debugtools.h"
#include "ui/mainwindow.h"

void ViewController::buttonBkpN_click()
{
    m_root->debugTools().breakpointContinue();
}

void ViewController::buttonBkpEnum_click()
{
    m_root->debugTools().breakpointList();
}

void ViewController::buttonBkpT_click()
{
    m_root->debugTools().breakpointTrace();
}

void ViewController::buttonBkp_AllClr()
{
    m_root->debugTools().breakpointClearAll();
}

void ViewController::buttonBkpAddDel_click()
{
    const QString shown = m_root->debugTools().breakpointAddDelete(consolePage().breakpointTarget());
    if (shown != consolePage().breakpointTarget())
        consolePage().setBreakpointTarget(shown);
}

void ViewController::buttonBkpVari_click()
{
    const QString shown = m_root->debugTools().breakpointVariable(consolePage().breakpointVariable());
    if (shown != consolePage().breakpointVariable())
        consolePage().setBreakpointVariable(shown);
}

void ViewController::buttonRtcCheck_click()
{
    m_root->debugTools().clockCheck();
}

void ViewController::buttonRtcAdj_click()
{
    m_root->debugTools().clockAdjust();
}

void ViewController::buttonMon_click()
{
    m_root->debugTools().monitor();
}

void ViewController::buttonMonList_click()
{
    m_root->debugTools().monitorListing();
}

void ViewController::wireTools()
{
    m_root->debugTools().setConsole(consolePage());
}

// The breakpoint panel and the maintenance buttons of the console tab and the
// window's DebugTools: the ViewController reads the breakpoint fields and
// forwards to it until the console page hosts the panel.
#include "app/viewcontroller.h"
#include "tools/debugtools.h"
#include "ui/mainwindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace {
// Writes only a change, so that an unchanged field keeps its cursor.
void show(QLineEdit *field, const QString &text)
{
    if (field->text() != text)
        field->setText(text);
}
} // namespace

// What the tools ask of the console beyond its text.
void ViewController::liveDisplayOn()
{
    checkboxScroll->setChecked(true);
}

void ViewController::listNextOff()
{
    buttonListNext->setEnabled(false);
}

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
    show(textFieldBkpNumber, m_root->debugTools().breakpointAddDelete(textFieldBkpNumber->text()));
}

void ViewController::buttonBkpVari_click()
{
    show(textFieldBkpVariName, m_root->debugTools().breakpointVariable(textFieldBkpVariName->text()));
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
    m_root->debugTools().setConsole(*this);
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

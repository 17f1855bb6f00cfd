// The transfer buttons of the console tab and the window's Transfers: the
// ViewController's names for the transfers forward to it until the console
// page hosts the buttons.
#include "app/viewcontroller.h"
#include "console/consolepage.h"
#include "transfer/transfers.h"
#include "ui/mainwindow.h"

#include <QLineEdit>

void ViewController::programLoad()
{
    m_root->transfers().programLoad();
}

void ViewController::programLoadHs()
{
    m_root->transfers().programLoadHs();
}

void ViewController::programSave()
{
    m_root->transfers().programSave();
}

void ViewController::pointLoad()
{
    m_root->transfers().pointLoad();
}

void ViewController::pointSave()
{
    m_root->transfers().pointSave();
}

void ViewController::mbkLoad()
{
    m_root->transfers().mbkLoad();
}

void ViewController::mbkSave()
{
    m_root->transfers().mbkSave();
}

void ViewController::wireTransfer()
{
    transfer::Transfers &transfers = m_root->transfers();
    transfers.setConsole(consolePage());
    QObject::connect(&transfers, &transfer::Transfers::status, textField2, &QLineEdit::setText);
}

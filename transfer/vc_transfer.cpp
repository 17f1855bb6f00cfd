// The transfer buttons of the console tab and the window's Transfers: the
// ViewController's names for the transfers forward to it until the console
// page hosts the buttons.
#include "app/viewcontroller.h"
#include "transfer/transfers.h"
#include "ui/mainwindow.h"

#include <QLineEdit>
#include <QPushButton>

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
    transfers.setConsole(*this);
    QObject::connect(&transfers, &transfer::Transfers::status, textField2, &QLineEdit::setText);
    const auto on = [this](QPushButton *button, void (ViewController::*op)()) {
        QObject::connect(button, &QPushButton::clicked, this,
                         [this, op] { userAction([this, op] { (this->*op)(); }); });
    };
    on(buttonFileOpen, &ViewController::programLoadHs);
    on(buttonFileSave, &ViewController::programSave);
    on(buttonPointLoad, &ViewController::pointLoad);
    on(buttonPointSave, &ViewController::pointSave);
    on(buttonMbkLoad, &ViewController::mbkLoad);
    on(buttonMbkSave, &ViewController::mbkSave);
}

// ViewController's side of the link: the connect and disconnect buttons, and
// what the window shows of the link's signals. The link itself is link::Link.
#include "app/viewcontroller.h"
#include "console/consolepage.h"
#include "link/link.h"
#include "link/sendpath.h"
#include "link/textutil.h"
#include "panels/variablespage.h"
#include "ui/mainwindow.h"
#include "ui/uihelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

namespace {
const QString kConnected = QStringLiteral("*** Connected to the QUORIN. ***\r");
const QString kConnectTimeout = QStringLiteral("*** Connection Timeout. ***\r");
const QString kDisconnected = QStringLiteral("\r*** Disconnected. ***\r");
const QString kPeerClosed = QStringLiteral("The controller closed the connection.");
} // namespace

bool ViewController::isConnected() const
{
    return m_lnk->isConnected();
}

void ViewController::rcv()
{
    m_lnk->startReceiving();
}

void ViewController::buttonConnect_click()
{
    // A disconnect is never deferred (a pending wait gives up at its next
    // turn); a connect waits for the exchange slot like any other action, so
    // that it never runs inside a pending wait.
    if (isConnected()) {
        disconnect();
    } else if (!m_connectQueued) {
        m_connectQueued = true;
        userAction([this] {
            m_connectQueued = false;
            connect();
        });
    }
    focusConsole();
}

void ViewController::buttonDisconnect_click()
{
    disconnect();
}

void ViewController::buttonWindowClose_click()
{
    if (m_root)
        m_root->window()->close();
}

void ViewController::connect()
{
    tabview->setCurrentIndex(0);
    selectTabId = QStringLiteral("0");
    consoleReplace(QString());
    link::delay(0.005);
    if (m_peerClosedShown)
        textField2->clear();
    buttonConnect->setChecked(false);
    Host = textFieldIpAddress->text();
    if (!m_lnk->open(Host))
        consoleReplace(kConnectTimeout);
}

void ViewController::disconnect()
{
    m_lnk->close();
}

void ViewController::wireLink()
{
    m_lnk->setReceiveTimeoutSeconds(receiveTimeoutSeconds());
    QObject::connect(textFieldTimeOutSec, &QLineEdit::textChanged, this,
                     [this] { m_lnk->setReceiveTimeoutSeconds(receiveTimeoutSeconds()); });
    QObject::connect(m_lnk, &link::Link::connectedChanged, this, [this](bool connected) {
        if (connected) {
            consoleReplace(kConnected);
            objectsEnable(true);
            buttonConnect->setText(QStringLiteral("Disconnect"));
        } else {
            objectsEnable(false);
            buttonConnect->setText(QStringLiteral("Connect"));
            consoleAppendScroll(kDisconnected);
        }
        emit connectedChanged(connected);
    });
    QObject::connect(m_lnk, &link::Link::aboutToClose, this, [this] {
        objectsEnable(false);
        buttonConnect->setText(QStringLiteral("Connect"));
        timerStop();
    });
    QObject::connect(m_lnk, &link::Link::received, this, [this](const QString &text, const QString &last) {
        receiveDisplay(text);
        if (selectTabId == QLatin1String("2"))
            m_root->variablesPage().showLastReply(last);
        updateBkpControls();
    });
    QObject::connect(m_lnk, &link::Link::waitProgress, this, [this](qint64 seconds) {
        labelindicator->setVisible(true);
        labelindicator->setText(QStringLiteral("★") + QString::number(seconds));
        ui::setTextColor(labelindicator, ui::kLightGray);
    });
    QObject::connect(m_lnk, &link::Link::waitSucceeded, this, [this] {
        if (selectTabId == QLatin1String("0"))
            labelindicator->setVisible(false);
    });
    QObject::connect(m_lnk, &link::Link::peerClosed, this, [this] {
        textField2->setText(kPeerClosed);
        m_peerClosedShown = true;
    });
    // Whatever else the status line shows next replaces the notice.
    QObject::connect(textField2, &QLineEdit::textChanged, this, [this] { m_peerClosedShown = false; });

    QObject::connect(buttonConnect, &QPushButton::clicked, this, [this] { buttonConnect_click(); });
    QObject::connect(buttonDisconnect, &QPushButton::clicked, this, [this] { buttonDisconnect_click(); });
    QObject::connect(buttonWindowClose, &QPushButton::clicked, this, [this] { buttonWindowClose_click(); });
}

void ViewController::sendString(const QString &sendstring)
{
    m_lnk->sendString(sendstring);
}

void ViewController::sendString1(const QString &sendstring)
{
    consolePage().sendString1(sendstring);
}

int ViewController::sendProgram(const QString &sendstring)
{
    return consolePage().sendProgram(sendstring);
}

void ViewController::sendB(const QByteArray &bytes)
{
    m_lnk->sendB(bytes);
}

qint64 ViewController::receiveTimeoutSeconds() const
{
    return text::intOr(textFieldTimeOutSec->text(), 30);
}

bool ViewController::receivePrompt()
{
    return m_lnk->receivePrompt();
}

bool ViewController::waitFlagCleared(link::LinkState::Flag flag, bool pump)
{
    return m_lnk->waitFlagCleared(flag, pump);
}

void ViewController::commandExec(const QString &command)
{
    m_lnk->commandExec(command);
}

void ViewController::delay(double seconds)
{
    link::delay(seconds);
}

void ViewController::doEvents()
{
    link::doEvents();
}

bool ViewController::checkmsg(const QString &msg)
{
    if (link::argumentsAreNumbers(msg))
        return true;
    m_dialogs->alert(msg + QStringLiteral("\n不正な内容です。"), QString(), Dialogs::Style::Critical);
    return false;
}

void ViewController::userAction(const std::function<void()> &action)
{
    m_lnk->userAction(action);
}

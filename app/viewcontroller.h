// The one owner of the monitor's state: the link, the exchange slot, the poll
// timer, the console and a pointer to every control. Its member functions are
// defined in the folder of their subsystem (link/vc_link.cpp defines connect,
// monitor/vc_monitor.cpp the poll tick, and so on).
#pragma once

#include "app/clock.h"
#include "app/dialogs.h"
#include "console/consolesink.h"
#include "link/link.h"
#include "link/linkstate.h"
#include "monitor/poller.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSettings;
class QSpinBox;
class QTabWidget;
class QTimer;
class QWidget;
class AppDelegate;
class MainWindow;

namespace console {
class ConsolePage;
}
namespace link {
class Connection;
}

class ViewController : public QObject
{
    Q_OBJECT

public:
    using ms = std::chrono::milliseconds;

    // `root` is the window whose children carry the control names; a missing
    // control is a configuration fault and aborts.
    ViewController(MainWindow *root, Dialogs *dialogs, QSettings *settings, Clock *clock,
                   AppDelegate *delegate = nullptr, QObject *parent = nullptr);
    ~ViewController() override;

    // ---- app/: start-up, settings, enabling, termination -------------------
    void viewDidLoad();
    void saveSettings();
    // Shows `address` in the address field in place of the controller's: the
    // settings go on keeping the address it replaced while the field shows it.
    void showStandInAddress(const QString &address);
    bool applicationShouldTerminate();
    void objectsEnable(bool stat);
    void showHelp();

    void connect();
    void disconnect();
    void sendString(const QString &sendstring);
    void sendString1(const QString &sendstring);
    int sendProgram(const QString &sendstring);
    bool receivePrompt();
    void commandExec(const QString &command);
    // Seconds of the receive time-out field (30 when it is not an integer).
    qint64 receiveTimeoutSeconds() const;
    // One user action at a time: runs `action` now when no exchange is pending,
    // otherwise queues it to run as soon as the slot is free.
    void userAction(const std::function<void()> &action);
    bool exchangeBusy() const { return m_lnk->busy(); }

    // ---- console/: the console page's face ---------------------------------
    console::ConsolePage &consolePage();
    void consoleAppendFollow(const QString &text);
    void consoleReplace(const QString &text);
    QString consoleText() const;
    void updateBkpControls();

    // ---- monitor/ -----------------------------------------------------------
    void timerStart();
    void timerStop();
    monitor::Poller &poller() { return *m_poller; }

    // ---- transfer/ ----------------------------------------------------------
    void programLoad();
    void programLoadHs();
    void programSave();
    void pointLoad();
    void pointSave();
    void mbkLoad();
    void mbkSave();

    // ---- tools/ -------------------------------------------------------------
    void buttonBkpN_click();
    void buttonBkpEnum_click();
    void buttonBkpT_click();
    void buttonBkpAddDel_click();
    void buttonBkpVari_click();
    void buttonRtcCheck_click();
    void buttonRtcAdj_click();
    void buttonMon_click();
    void buttonMonList_click();

    // ---- accessors for the shared fields ------------------------------------
    link::Link &link() { return *m_lnk; }
    link::LinkState &linkState() { return m_lnk->state(); }
    QString rcvBuff() const { return m_lnk->rcvBuff(); }
    bool waitPrompt() const { return m_lnk->state().waitPrompt(); }
    bool bkpMode() const { return m_lnk->bkpMode(); }
    bool isConnected() const;

    // ---- state fields (names as the behaviour names them) -------------------
    AppDelegate *appDelegate = nullptr;
    QString Host;
    QString selectTabId;

    // ---- controls -----------------------------------------------------------
    // Top bar
    QLineEdit *textFieldIpAddress = nullptr;
    QPushButton *buttonConnect = nullptr;
    QPushButton *buttonDisconnect = nullptr;
    QLineEdit *textFieldTimeOutSec = nullptr;
    QLineEdit *textField2 = nullptr;
    QLabel *labelindicator = nullptr;
    QTabWidget *tabview = nullptr;

    Dialogs *dialogs() const { return m_dialogs; }
    MainWindow *root() const { return m_root; }

    // Console display work that is queued from the connection thread; tests
    // use it to know that everything received has been shown.
    qint64 pendingDisplays() const { return m_lnk->pendingDisplays(); }

signals:
    void connectedChanged(bool connected);

private:
    void loadSettings();
    // ---- link/: connection, receive, send, wait -----------------------------
    void buttonConnect_click();
    void buttonDisconnect_click();
    void buttonWindowClose_click();
    void rcv();
    void sendB(const QByteArray &bytes);
    void delay(double seconds);
    void doEvents();
    bool checkmsg(const QString &msg);
    bool waitFlagCleared(link::LinkState::Flag flag, bool pump);
    void consoleAppendScroll(const QString &text);
    QString consoleSelection() const;
    // Received text goes to the console while it is the selected tab.
    void receiveDisplay(const QString &chunk);
    void focusConsole();
    void tabViewDidSelect(int index);
    void buttonBkp_AllClr();
    QPushButton *buttonWindowClose = nullptr;
    QPushButton *buttonTimerStart = nullptr;
    QPushButton *buttonTimerStop = nullptr;
    Clock *clock() const { return m_clock; }
    QSettings *settings() const { return m_settings; }
    // Trace words that the program writes to standard output (login echoes,
    // "bkpmode", "Dec"/"Hex"...). Tests may capture them.
    void trace(const QString &line) { link::trace(line); }

    template <typename T> T *need(const QString &name);
    void bindControls();
    // Per-subsystem signal wiring, each defined in its folder's vc_*.cpp.
    void wireLink();
    void wireConsole();
    void wireMonitor();
    void wireTransfer();
    void wireTools();

    MainWindow *m_root = nullptr;
    Dialogs *m_dialogs = nullptr;
    QSettings *m_settings = nullptr;
    Clock *m_clock = nullptr;
    link::Link *m_lnk = nullptr; // the window's
    monitor::Poller *m_poller = nullptr;
    bool m_connectQueued = false;
    // The status line shows that the controller closed the connection; the
    // next connect clears it unless something else replaced it meanwhile.
    bool m_peerClosedShown = false;
    QString m_standInAddress;
    QString m_replacedAddress;
};

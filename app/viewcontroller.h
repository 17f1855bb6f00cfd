// The one owner of the monitor's state: the link, the exchange slot, the poll
// timer, the console and a pointer to every control. Its member functions are
// defined in the folder of their subsystem (link/vc_link.cpp defines connect,
// monitor/vc_monitor.cpp the poll tick, and so on).
#pragma once

#include "app/clock.h"
#include "app/dialogs.h"
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

namespace link {
class Connection;
}

// A run of styled text for the variables panel: the grey escapes of control
// characters and the black rest.
struct StyledRun
{
    QString text;
    QColor color;
};
using StyledText = QVector<StyledRun>;

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
    void loadSettings();
    void saveSettings();
    // Shows `address` in the address field in place of the controller's: the
    // settings go on keeping the address it replaced while the field shows it.
    void showStandInAddress(const QString &address);
    bool applicationShouldTerminate();
    void objectsEnable(bool stat);
    void pgobjectsEnable(bool stat);
    void showHelp();
    // Modifiers of the last key event seen; the modifier snapshot is taken
    // only when they change.
    Qt::KeyboardModifiers m_lastModifiers = Qt::NoModifier;

    // ---- link/: connection, receive, send, wait -----------------------------
    void buttonConnect_click();
    void buttonDisconnect_click();
    void buttonWindowClose_click();
    void connect();
    void disconnect();
    void rcv();
    void sendString(const QString &sendstring);
    void sendString1(const QString &sendstring);
    int sendProgram(const QString &sendstring);
    void sendB(const QByteArray &bytes);
    bool receivePrompt();
    void commandExec(const QString &command);
    void delay(double seconds);
    void doEvents();
    bool checkmsg(const QString &msg);
    bool waitFlagCleared(link::LinkState::Flag flag, bool pump);
    // Seconds of the receive time-out field (30 when it is not an integer).
    qint64 receiveTimeoutSeconds() const;
    // One user action at a time: runs `action` now when no exchange is pending,
    // otherwise queues it to run as soon as the slot is free.
    void userAction(const std::function<void()> &action);
    bool exchangeBusy() const { return m_lnk->busy(); }

    // ---- console/ -----------------------------------------------------------
    void consoleAppend(const QString &text);
    void consoleAppendFollow(const QString &text);
    void consoleAppendScroll(const QString &text);
    void consoleReplace(const QString &text);
    QString consoleText() const;
    // The console selection up to its first line break: what a selection
    // offers as a breakpoint target, a variable name or a listing start.
    QString consoleSelection() const;
    void removeTop1();
    void receiveDisplay(const QString &chunk);
    void updateBkpControls();
    void buttonViewTextClear_click();
    void textField1Enter();
    void comboBox1Enter();
    void comboBox2Enter();
    void comboBox3Enter();
    void buttonListNext_click();
    void buttonRun_click();
    void buttonCtrlA_click();
    void buttonCr_click();
    void buttonQ_click();
    void buttonGetLineString_click();
    void buttonUDErase_click();
    void ButtonReceive_click();
    // Application-wide key handling; returns true when the event was consumed.
    bool keyDown(QKeyEvent *event);
    void flagsChanged(Qt::KeyboardModifiers modifiers);
    void focusConsole();

    // ---- monitor/ -----------------------------------------------------------
    void timerStart();
    void timerStop();
    void tabViewDidSelect(int index);
    // The tick of the tabs that are not pages of their own yet.
    void pollTick();
    monitor::Poller &poller() { return *m_poller; }
    QString iocheckCommandSend(QComboBox *popupButton, const QString &cast);
    bool checkMpg();
    void ioCheckMbkIo(const QString &txtText, const QString &banknum);
    void buttonMbkIoOnOff_click(int tag);
    void buttonPgHout_click(int tag);
    bool pgiocheckCommandSend();

    // ---- panels/ ------------------------------------------------------------
    void variableshow(int row);
    QString stringmodify1(const QString &variname, bool hex);
    void textfieldVariModNameEnter();
    void textfieldVariModValueEnter();
    void checkboxVariAll_click();
    void radiobuttonVariTypeChanged();
    void controlTextDidChange(QObject *control);
    void mbkvalueshow(int row);
    void textfieldMbkAdrSelectEnter();
    void stepperMbkAdrSelect_click();
    void textfieldMbkModAdrEnter();
    void textfieldMbkModDataEnter();
    void radiobuttonMbkTypeChanged();
    void radiobuttonMbkSizeChanged();
    void taskvalueshow(int row);
    void textfieldTaskNoSelectEnter();
    void stepperTaskNoSelect_click();
    void buttonTaskMbkAreaClear_click();

    // ---- axis/ --------------------------------------------------------------
    void pgvalueshow();
    void textfieldPgAdrSelectEnter();
    void stepperPgAdrSelect_click();
    void radiobuttonPgTypeChanged();
    void popupbutonPgSelect_click();
    void buttonPgJog_click(int tag);
    void buttonPgPlistSetp_click();
    void textfieldPgTeachNumEnter();

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
    void buttonBkp_AllClr();
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
    QString programLoadFile;
    QString programSaveFile;
    QString pointLoadFile;
    QString pointSaveFile;
    QString mbkLoadFile;
    QString mbkSaveFile;
    AppDelegate *appDelegate = nullptr;
    qint64 mbkSelectMode = 0;
    QString Host;
    QString selectTabId;
    bool pgReSelect = false;
    StyledText attributebuff;
    bool t_KeyCapsLockPressed = false;
    bool t_KeyShiftPressed = false;
    bool t_KeyControlPressed = false;
    bool t_KeyOptionPressed = false;
    bool t_KeyCommandPressed = false;
    bool t_KeyFnPressed = false;
    bool t_KeyFlagsHaveChanged = false;

    // ---- controls -----------------------------------------------------------
    // Top bar
    QLineEdit *textFieldIpAddress = nullptr;
    QPushButton *buttonConnect = nullptr;
    QPushButton *buttonDisconnect = nullptr;
    QPushButton *buttonWindowClose = nullptr;
    QLineEdit *textFieldTimeOutSec = nullptr;
    QLineEdit *textField2 = nullptr;
    QLabel *labelindicator = nullptr;
    QPushButton *buttonTimerStart = nullptr;
    QPushButton *buttonTimerStop = nullptr;
    QTabWidget *tabview = nullptr;

    // Console tab
    QPlainTextEdit *textView1 = nullptr;
    QComboBox *comboBox1 = nullptr;
    QComboBox *comboBox2 = nullptr;
    QComboBox *comboBox3 = nullptr;
    QLineEdit *textField1 = nullptr;
    QCheckBox *checkboxScroll = nullptr;
    QPushButton *buttonSend = nullptr;
    QPushButton *buttonProgramExec = nullptr;
    QPushButton *buttonList = nullptr;
    QPushButton *buttonListNext = nullptr;
    QPushButton *buttonRun = nullptr;
    QPushButton *buttonCtrlA = nullptr;
    QPushButton *buttonCr = nullptr;
    QPushButton *buttonQ = nullptr;
    QPushButton *buttonGetLineString = nullptr;
    QPushButton *buttonUDErase = nullptr;
    QPushButton *ButtonReceive = nullptr;
    QPushButton *buttonViewTextClear = nullptr;
    QPushButton *buttonFileOpen = nullptr;
    QPushButton *buttonFileSave = nullptr;
    QPushButton *buttonPointLoad = nullptr;
    QPushButton *buttonPointSave = nullptr;
    QPushButton *buttonMbkLoad = nullptr;
    QPushButton *buttonMbkSave = nullptr;
    QPushButton *buttonRtcCheck = nullptr;
    QPushButton *buttonRtcAdj = nullptr;
    QPushButton *buttonMon = nullptr;
    QPushButton *buttonMonList = nullptr;
    QLineEdit *textFieldBkpNumber = nullptr;
    QLineEdit *textFieldBkpVariName = nullptr;
    QPushButton *buttonBkpN = nullptr;
    QPushButton *buttonBkpEnum = nullptr;
    QPushButton *buttonBkpT = nullptr;
    QPushButton *buttonBkpAddDel = nullptr;
    QPushButton *buttonBkpAllClr = nullptr;
    QPushButton *buttonBkpVari = nullptr;

    // Variables tab ("2")
    QLineEdit *textfieldVariName[8] = {};
    QCheckBox *checkboxVari[8] = {};
    QLabel *textfieldVariValue[8] = {};
    QCheckBox *checkboxVariAll = nullptr;
    QRadioButton *radiobuttonVariTypeDec = nullptr;
    QRadioButton *radiobuttonVariTypeHex = nullptr;
    QLineEdit *textfieldVariModName = nullptr;
    QLineEdit *textfieldVariModValue = nullptr;
    QLineEdit *textFieldVariable = nullptr;

    // MBK tab ("3")
    QLineEdit *textfieldMbkAdrSelect = nullptr;
    QSpinBox *stepperMbkAdrSelect = nullptr;
    QLineEdit *textfieldMbkAdr[8] = {};
    QLineEdit *textfieldMbkData[8] = {};
    QRadioButton *radiobuttonMbkSizeInt = nullptr;
    QRadioButton *radiobuttonMbkSizeWrd = nullptr;
    QRadioButton *radiobuttonMbkSizeLng = nullptr;
    QRadioButton *radiobuttonMbkTypeDec = nullptr;
    QRadioButton *radiobuttonMbkTypeHex = nullptr;
    QLineEdit *textfieldMbkModAdr = nullptr;
    QLineEdit *textfieldMbkModData = nullptr;
    QComboBox *popupbuttonMbkIoBank = nullptr;
    QLabel *labelMbkIo[16] = {};
    QLabel *labelMbkIoBitNo[16] = {};
    QLabel *labelMbkIoStat = nullptr;

    // Axis tab ("5"); axis index 0..3 is X, Y, U, Z
    QComboBox *popupbuttonPgSelect = nullptr;
    QComboBox *popupbuttonPgReg = nullptr;
    QComboBox *popupbuttonPgPulse = nullptr;
    QComboBox *popupbuttonPgAceel = nullptr;
    QGroupBox *boxPgIo = nullptr;
    QGroupBox *boxPgCurrentPos = nullptr;
    // Signal lamps by axis letter order X, Y, Z, U (the order of the signal words)
    QLabel *labelPgPlmt[4] = {};
    QLabel *labelPgMlmt[4] = {};
    QLabel *labelPgAlm[4] = {};
    QLabel *labelPgIn0[4] = {};
    QLabel *labelPgIn1[4] = {};
    QLabel *labelPgIn3[4] = {};
    QLabel *labelPgInp[4] = {};
    // Positions, counters, point table: axis order X, Y, U, Z
    QLabel *labelPgCurrentPos[4] = {};
    QLabel *labelPgCounter[4] = {};
    QLabel *labelPgReg = nullptr;
    QLineEdit *textfieldPgAdrSelect = nullptr;
    QSpinBox *stepperPgAdrSelect = nullptr;
    QLineEdit *textfieldPgAdr[4] = {};
    QLineEdit *textfieldPgData[4][4] = {}; // [row][axis X,Y,U,Z]
    QRadioButton *radiobuttonPgTypeDec = nullptr;
    QRadioButton *radiobuttonPgTypeHex = nullptr;
    QLineEdit *textfieldPgTeachNum = nullptr;
    QLineEdit *textfieldPgPosSetPnum = nullptr;
    QLineEdit *textfieldPgPosSet[4] = {}; // X, Y, U, Z
    QLineEdit *textfieldPgModAdr = nullptr;
    QLineEdit *textfieldPgModData[4] = {}; // X, Y, U, Z
    QPushButton *buttonPgPlistSetp = nullptr;

    // Tasks tab ("6")
    QLineEdit *textfieldTaskNoSelect = nullptr;
    QSpinBox *stepperTaskNoSelect = nullptr;
    QLineEdit *textfieldTaskNo[8] = {};
    QLineEdit *textfieldTaskStep[8] = {};
    QLineEdit *textfieldTaskStatus[8] = {};
    QLabel *multilineLabelTaskStatus = nullptr;
    QPushButton *buttonTaskMbkAreaClear = nullptr;

    Dialogs *dialogs() const { return m_dialogs; }
    Clock *clock() const { return m_clock; }
    MainWindow *root() const { return m_root; }
    QSettings *settings() const { return m_settings; }

    // Trace words that the program writes to standard output (login echoes,
    // "bkpmode", "Dec"/"Hex"...). Tests may capture them.
    void trace(const QString &line) { link::trace(line); }

    // Console display work that is queued from the connection thread; tests
    // use it to know that everything received has been shown.
    qint64 pendingDisplays() const { return m_lnk->pendingDisplays(); }

signals:
    void connectedChanged(bool connected);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    template <typename T> T *need(const QString &name);
    void bindControls();
    // Per-subsystem signal wiring, each defined in its folder's vc_*.cpp.
    void wireLink();
    void wireConsole();
    void wireMonitor();
    void wirePanels();
    void wireAxis();
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
    // The console's text as the controller sent it (CR kept); the view shows
    // it with CR LF and lone CR as line breaks.
    QString m_console;
    void renderConsole(bool appendedOnly, qsizetype oldSize);
    QString m_standInAddress;
    QString m_replacedAddress;
    // The bit numbers each group (by monitor::BitGroup) last showed; nothing
    // before its first reply that parsed. The forcing buttons take their
    // operands from here, never from the labels' text.
    std::optional<QStringList> m_bitNumbers[6];
};

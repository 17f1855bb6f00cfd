// Construction, control binding, start-up, settings, control enabling and the
// About box.
#include "app/viewcontroller.h"

#include "app/appdelegate.h"
#include "link/textutil.h"
#include "monitor/banks.h"
#include "ui/mainwindow.h"
#include "ui/uihelpers.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

Q_LOGGING_CATEGORY(lcApp, "quorin.app")

namespace {
const char *const kAxisLetters = "XYUZ"; // positions, counters, point table
const char *const kSignalAxes = "XYZU";  // order of the bytes in the signal words
constexpr int kHistoryLimit = 10;
} // namespace

ViewController::ViewController(MainWindow *root, Dialogs *dialogs, QSettings *settings, Clock *clock,
                               AppDelegate *delegate, QObject *parent)
    : QObject(parent), appDelegate(delegate), m_root(root), m_dialogs(dialogs), m_settings(settings),
      m_clock(clock), m_lnk(&root->link())
{
    // The address the field shows until the stored setting replaces it.
    Host = QStringLiteral("192.168.0.10");
    m_poller = new monitor::Poller(*m_lnk, *m_clock, this);
    bindControls();
}

ViewController::~ViewController()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

template <typename T> T *ViewController::need(const QString &name)
{
    T *w = m_root->findChild<T *>(name);
    if (!w)
        qFatal("control missing from the layout: %s", qPrintable(name));
    return w;
}

void ViewController::bindControls()
{
    const auto n = [](const char *base, int i) { return QString::fromLatin1(base) + QString::number(i); };

    textFieldIpAddress = need<QLineEdit>(QStringLiteral("textFieldIpAddress"));
    buttonConnect = need<QPushButton>(QStringLiteral("buttonConnect"));
    buttonDisconnect = need<QPushButton>(QStringLiteral("buttonDisconnect"));
    buttonWindowClose = need<QPushButton>(QStringLiteral("buttonWindowClose"));
    textFieldTimeOutSec = need<QLineEdit>(QStringLiteral("textFieldTimeOutSec"));
    textField2 = need<QLineEdit>(QStringLiteral("textField2"));
    labelindicator = need<QLabel>(QStringLiteral("labelindicator"));
    buttonTimerStart = need<QPushButton>(QStringLiteral("buttonTimerStart"));
    buttonTimerStop = need<QPushButton>(QStringLiteral("buttonTimerStop"));
    tabview = need<QTabWidget>(QStringLiteral("tabview"));

    textView1 = need<QPlainTextEdit>(QStringLiteral("textView1"));
    comboBox1 = need<QComboBox>(QStringLiteral("comboBox1"));
    comboBox2 = need<QComboBox>(QStringLiteral("comboBox2"));
    comboBox3 = need<QComboBox>(QStringLiteral("comboBox3"));
    textField1 = need<QLineEdit>(QStringLiteral("textField1"));
    checkboxScroll = need<QCheckBox>(QStringLiteral("checkboxScroll"));
    buttonSend = need<QPushButton>(QStringLiteral("buttonSend"));
    buttonProgramExec = need<QPushButton>(QStringLiteral("buttonProgramExec"));
    buttonList = need<QPushButton>(QStringLiteral("buttonList"));
    buttonListNext = need<QPushButton>(QStringLiteral("buttonListNext"));
    buttonRun = need<QPushButton>(QStringLiteral("buttonRun"));
    buttonCtrlA = need<QPushButton>(QStringLiteral("buttonCtrlA"));
    buttonCr = need<QPushButton>(QStringLiteral("buttonCr"));
    buttonQ = need<QPushButton>(QStringLiteral("buttonQ"));
    buttonGetLineString = need<QPushButton>(QStringLiteral("buttonGetLineString"));
    buttonUDErase = need<QPushButton>(QStringLiteral("buttonUDErase"));
    ButtonReceive = need<QPushButton>(QStringLiteral("ButtonReceive"));
    buttonViewTextClear = need<QPushButton>(QStringLiteral("buttonViewTextClear"));
    buttonFileOpen = need<QPushButton>(QStringLiteral("buttonFileOpen"));
    buttonFileSave = need<QPushButton>(QStringLiteral("buttonFileSave"));
    buttonPointLoad = need<QPushButton>(QStringLiteral("buttonPointLoad"));
    buttonPointSave = need<QPushButton>(QStringLiteral("buttonPointSave"));
    buttonMbkLoad = need<QPushButton>(QStringLiteral("buttonMbkLoad"));
    buttonMbkSave = need<QPushButton>(QStringLiteral("buttonMbkSave"));
    buttonRtcCheck = need<QPushButton>(QStringLiteral("buttonRtcCheck"));
    buttonRtcAdj = need<QPushButton>(QStringLiteral("buttonRtcAdj"));
    buttonMon = need<QPushButton>(QStringLiteral("buttonMon"));
    buttonMonList = need<QPushButton>(QStringLiteral("buttonMonList"));
    textFieldBkpNumber = need<QLineEdit>(QStringLiteral("textFieldBkpNumber"));
    textFieldBkpVariName = need<QLineEdit>(QStringLiteral("textFieldBkpVariName"));
    buttonBkpN = need<QPushButton>(QStringLiteral("buttonBkpN"));
    buttonBkpEnum = need<QPushButton>(QStringLiteral("buttonBkpEnum"));
    buttonBkpT = need<QPushButton>(QStringLiteral("buttonBkpT"));
    buttonBkpAddDel = need<QPushButton>(QStringLiteral("buttonBkpAddDel"));
    buttonBkpAllClr = need<QPushButton>(QStringLiteral("buttonBkpAllClr"));
    buttonBkpVari = need<QPushButton>(QStringLiteral("buttonBkpVari"));

    for (int r = 0; r < 8; ++r) {
        textfieldVariName[r] = need<QLineEdit>(n("textfieldVariName", r));
        checkboxVari[r] = need<QCheckBox>(n("checkboxVari", r));
        textfieldVariValue[r] = need<QLabel>(n("textfieldVariValue", r));
        textfieldMbkAdr[r] = need<QLineEdit>(n("textfieldMbkAdr", r));
        textfieldMbkData[r] = need<QLineEdit>(n("textfieldMbkData", r));
        textfieldTaskNo[r] = need<QLineEdit>(n("textfieldTaskNo", r));
        textfieldTaskStep[r] = need<QLineEdit>(n("textfieldTaskStep", r));
        textfieldTaskStatus[r] = need<QLineEdit>(n("textfieldTaskStatus", r));
    }
    checkboxVariAll = need<QCheckBox>(QStringLiteral("checkboxVariAll"));
    radiobuttonVariTypeDec = need<QRadioButton>(QStringLiteral("radiobuttonVariTypeDec"));
    radiobuttonVariTypeHex = need<QRadioButton>(QStringLiteral("radiobuttonVariTypeHex"));
    textfieldVariModName = need<QLineEdit>(QStringLiteral("textfieldVariModName"));
    textfieldVariModValue = need<QLineEdit>(QStringLiteral("textfieldVariModValue"));
    textFieldVariable = need<QLineEdit>(QStringLiteral("textFieldVariable"));

    textfieldMbkAdrSelect = need<QLineEdit>(QStringLiteral("textfieldMbkAdrSelect"));
    stepperMbkAdrSelect = need<QSpinBox>(QStringLiteral("stepperMbkAdrSelect"));
    radiobuttonMbkSizeInt = need<QRadioButton>(QStringLiteral("radiobuttonMbkSizeInt"));
    radiobuttonMbkSizeWrd = need<QRadioButton>(QStringLiteral("radiobuttonMbkSizeWrd"));
    radiobuttonMbkSizeLng = need<QRadioButton>(QStringLiteral("radiobuttonMbkSizeLng"));
    radiobuttonMbkTypeDec = need<QRadioButton>(QStringLiteral("radiobuttonMbkTypeDec"));
    radiobuttonMbkTypeHex = need<QRadioButton>(QStringLiteral("radiobuttonMbkTypeHex"));
    textfieldMbkModAdr = need<QLineEdit>(QStringLiteral("textfieldMbkModAdr"));
    textfieldMbkModData = need<QLineEdit>(QStringLiteral("textfieldMbkModData"));
    popupbuttonMbkIoBank = need<QComboBox>(QStringLiteral("popupbuttonMbkIoBank"));
    for (int k = 0; k < 16; ++k) {
        labelMbkIo[k] = need<QLabel>(n("labelMbkIo", k));
        labelMbkIoBitNo[k] = need<QLabel>(n("labelMbkIo", k) + QStringLiteral("BitNo"));
    }
    labelMbkIoStat = need<QLabel>(QStringLiteral("labelMbkIoStat"));

    popupbuttonPgSelect = need<QComboBox>(QStringLiteral("popupbuttonPgSelect"));
    popupbuttonPgReg = need<QComboBox>(QStringLiteral("popupbuttonPgReg"));
    popupbuttonPgPulse = need<QComboBox>(QStringLiteral("popupbuttonPgPulse"));
    popupbuttonPgAceel = need<QComboBox>(QStringLiteral("popupbuttonPgAceel"));
    boxPgIo = need<QGroupBox>(QStringLiteral("boxPgIo"));
    boxPgCurrentPos = need<QGroupBox>(QStringLiteral("boxPgCurrentPos"));
    for (int i = 0; i < 4; ++i) {
        const QString s = QStringLiteral("labelPg") + QLatin1Char(kSignalAxes[i]);
        labelPgPlmt[i] = need<QLabel>(s + QStringLiteral("Plmt"));
        labelPgMlmt[i] = need<QLabel>(s + QStringLiteral("Mlmt"));
        labelPgAlm[i] = need<QLabel>(s + QStringLiteral("Alm"));
        labelPgIn0[i] = need<QLabel>(s + QStringLiteral("In0"));
        labelPgIn1[i] = need<QLabel>(s + QStringLiteral("In1"));
        labelPgIn3[i] = need<QLabel>(s + QStringLiteral("In3"));
        labelPgInp[i] = need<QLabel>(s + QStringLiteral("Inp"));
        const QChar a = QLatin1Char(kAxisLetters[i]);
        labelPgCurrentPos[i] = need<QLabel>(QStringLiteral("labelPgCurrentPos") + a);
        labelPgCounter[i] = need<QLabel>(QStringLiteral("labelPgCounter") + a);
        textfieldPgPosSet[i] = need<QLineEdit>(QStringLiteral("textfieldPgPosSet") + a);
        textfieldPgModData[i] = need<QLineEdit>(QStringLiteral("textfieldPgModData") + a);
        textfieldPgAdr[i] = need<QLineEdit>(n("textfieldPgAdr", i));
        for (int row = 0; row < 4; ++row)
            textfieldPgData[row][i] =
                need<QLineEdit>(QStringLiteral("textfieldPgData") + a + QString::number(row));
    }
    labelPgReg = need<QLabel>(QStringLiteral("labelPgReg"));
    textfieldPgAdrSelect = need<QLineEdit>(QStringLiteral("textfieldPgAdrSelect"));
    stepperPgAdrSelect = need<QSpinBox>(QStringLiteral("stepperPgAdrSelect"));
    radiobuttonPgTypeDec = need<QRadioButton>(QStringLiteral("radiobuttonPgTypeDec"));
    radiobuttonPgTypeHex = need<QRadioButton>(QStringLiteral("radiobuttonPgTypeHex"));
    textfieldPgTeachNum = need<QLineEdit>(QStringLiteral("textfieldPgTeachNum"));
    textfieldPgPosSetPnum = need<QLineEdit>(QStringLiteral("textfieldPgPosSetPnum"));
    textfieldPgModAdr = need<QLineEdit>(QStringLiteral("textfieldPgModAdr"));
    buttonPgPlistSetp = need<QPushButton>(QStringLiteral("buttonPgPlistSetp"));

    textfieldTaskNoSelect = need<QLineEdit>(QStringLiteral("textfieldTaskNoSelect"));
    stepperTaskNoSelect = need<QSpinBox>(QStringLiteral("stepperTaskNoSelect"));
    multilineLabelTaskStatus = need<QLabel>(QStringLiteral("multilineLabelTaskStatus"));
    buttonTaskMbkAreaClear = need<QPushButton>(QStringLiteral("buttonTaskMbkAreaClear"));
}

namespace {
void fill(QComboBox *box, const QStringList &items, const QString &shown = QString())
{
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(items);
    const int at = shown.isEmpty() ? 0 : items.indexOf(shown);
    box->setCurrentIndex(at < 0 ? 0 : at);
}
} // namespace

void ViewController::viewDidLoad()
{
    // 1. Application-wide key handling.
    qApp->installEventFilter(this);
    // 2.
    buttonBkpN->setEnabled(false);
    buttonBkpT->setEnabled(false);
    // 3.
    if (appDelegate)
        appDelegate->viewController = this;
    // 4. Console font.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(14);
    textView1->setFont(mono);
    // 5.
    objectsEnable(false);
    // 6.
    labelindicator->setText(QStringLiteral("★"));
    labelindicator->setVisible(false);
    ui::setTextColor(labelindicator, ui::kLightGray);
    // 7. The status line only reports.
    textField2->setFocusPolicy(Qt::NoFocus);
    textField2->setFrame(false);
    textField2->setReadOnly(true);
    // 8.
    textFieldIpAddress->setText(Host);
    comboBox1->clear();
    comboBox1->setEnabled(false);
    // 9.
    loadSettings();
    // 11.
    tabview->setCurrentIndex(0);
    selectTabId = QStringLiteral("0");
    // 12. The I/O page fills its bank popups itself.
    // 13.
    textfieldMbkAdrSelect->setText(QStringLiteral("0"));
    textfieldMbkAdrSelectEnter();
    textfieldMbkModAdr->setText(QStringLiteral("0"));
    textfieldMbkModData->setText(QStringLiteral("0"));
    // 14.
    fill(popupbuttonMbkIoBank, monitor::bankTitles(monitor::BitGroup::MbkBits));
    // 15. The point table starts at point 1.
    textfieldPgAdrSelect->setText(QStringLiteral("1"));
    for (int i = 0; i < 4; ++i)
        textfieldPgAdr[i]->setText(QString::number(i + 1));
    stepperPgAdrSelect->setValue(1);
    // 16.
    fill(popupbuttonPgSelect, monitor::boardTitles());
    fill(popupbuttonPgAceel, monitor::accelerationTitles(), monitor::kDefaultAcceleration);
    fill(popupbuttonPgPulse, monitor::pulseTitles(), monitor::kDefaultPulse);
    fill(popupbuttonPgReg, monitor::registerTitles());
    // 17.
    for (int i = 0; i < 4; ++i) {
        labelPgCurrentPos[i]->setText(QStringLiteral("0"));
        labelPgCounter[i]->setText(QStringLiteral("0"));
        textfieldPgPosSet[i]->setText(QStringLiteral("0"));
    }
    textfieldPgPosSetPnum->setText(QStringLiteral("0"));
    // 18.
    pgobjectsEnable(false);
    // 19.
    textfieldTaskNoSelect->setText(QStringLiteral("0"));
    textfieldTaskNoSelectEnter();

    // The live console display is on from the start, so the first
    // connection's output shows.
    checkboxScroll->setChecked(true);

    wireLink();
    wireConsole();
    wireMonitor();
    wirePanels();
    wireAxis();
    wireTransfer();
    wireTools();
}

namespace {
// A stored list of the wrong kind loads as if absent; an over-long one is cut.
QStringList storedList(QSettings *s, const QString &key)
{
    const QVariant v = s->value(key);
    if (!v.isValid())
        return {};
    QStringList out;
    if (v.metaType().id() == QMetaType::QStringList) {
        out = v.toStringList();
    } else if (v.metaType().id() == QMetaType::QVariantList) {
        for (const QVariant &item : v.toList()) {
            if (item.metaType().id() != QMetaType::QString)
                return {};
            out << item.toString();
        }
    } else {
        return {};
    }
    if (out.size() > kHistoryLimit)
        out = out.mid(0, kHistoryLimit);
    return out;
}

QString storedString(QSettings *s, const QString &key)
{
    const QVariant v = s->value(key);
    if (!v.isValid())
        return QString();
    const int type = v.metaType().id();
    if (type == QMetaType::QString || type == QMetaType::Int || type == QMetaType::LongLong ||
        type == QMetaType::Double)
        return v.toString();
    return QString();
}
} // namespace

void ViewController::loadSettings()
{
    textFieldIpAddress->setText(storedString(m_settings, QStringLiteral("ipaddress")));
    comboBox1->addItems(storedList(m_settings, QStringLiteral("combobox1")));
    comboBox2->addItems(storedList(m_settings, QStringLiteral("combobox2")));
    comboBox3->addItems(storedList(m_settings, QStringLiteral("combobox3")));
    // The histories are there to pick from; yesterday's last line standing in
    // the edit text would go out again with one Return.
    for (QComboBox *box : {comboBox1, comboBox2, comboBox3})
        box->setCurrentIndex(-1);
    comboBox3->setEditText(QStringLiteral("0"));
    for (int i = 0; i < 8; ++i)
        textfieldVariName[i]->setText(storedString(m_settings, QStringLiteral("variname%1").arg(i)));
    textFieldTimeOutSec->setText(storedString(m_settings, QStringLiteral("timeoutsec")));
    if (textFieldTimeOutSec->text().isEmpty())
        textFieldTimeOutSec->setText(QStringLiteral("30"));
}

void ViewController::saveSettings()
{
    const QString shown = textFieldIpAddress->text();
    const bool standIn = !m_standInAddress.isEmpty() && shown == m_standInAddress;
    m_settings->setValue(QStringLiteral("ipaddress"), standIn ? m_replacedAddress : shown);
    const QComboBox *boxes[] = {comboBox1, comboBox2, comboBox3};
    for (int b = 0; b < 3; ++b) {
        // A variant list, not a string list: an INI file writes a string
        // list of one item as a plain string, and the next run would read a
        // one-entry history back as text of the wrong kind.
        QVariantList items;
        for (int i = 0; i < boxes[b]->count() && i < kHistoryLimit; ++i)
            items << boxes[b]->itemText(i);
        m_settings->setValue(QStringLiteral("combobox%1").arg(b + 1), items);
    }
    for (int i = 0; i < 8; ++i)
        m_settings->setValue(QStringLiteral("variname%1").arg(i), textfieldVariName[i]->text());
    m_settings->setValue(QStringLiteral("timeoutsec"), textFieldTimeOutSec->text());
    m_settings->sync();
}

void ViewController::showStandInAddress(const QString &address)
{
    if (textFieldIpAddress->text() != m_standInAddress || m_standInAddress.isEmpty())
        m_replacedAddress = textFieldIpAddress->text();
    m_standInAddress = address;
    textFieldIpAddress->setText(address);
}

bool ViewController::applicationShouldTerminate()
{
    disconnect();
    saveSettings();
    return true;
}

void ViewController::objectsEnable(bool stat)
{
    for (QWidget *w : {static_cast<QWidget *>(buttonDisconnect), static_cast<QWidget *>(buttonTimerStart),
                       static_cast<QWidget *>(buttonTimerStop), static_cast<QWidget *>(buttonRun),
                       static_cast<QWidget *>(buttonCtrlA), static_cast<QWidget *>(buttonSend),
                       static_cast<QWidget *>(comboBox1), static_cast<QWidget *>(comboBox2),
                       static_cast<QWidget *>(comboBox3), static_cast<QWidget *>(buttonList)})
        w->setEnabled(stat);
    buttonListNext->setEnabled(false);
    if (appDelegate && appDelegate->menuOpenFile)
        appDelegate->menuOpenFile->setEnabled(stat);
    for (QWidget *w : {buttonFileOpen, buttonFileSave, buttonPointLoad, buttonPointSave, buttonMbkLoad,
                       buttonMbkSave, buttonProgramExec, buttonGetLineString, buttonViewTextClear,
                       buttonRtcCheck, buttonRtcAdj, buttonMon, buttonMonList, buttonCr, buttonQ})
        w->setEnabled(stat);
    textFieldIpAddress->setReadOnly(stat);
    textField2->setReadOnly(true); // the status line is never typed into
    textFieldTimeOutSec->setReadOnly(stat);
    checkboxScroll->setEnabled(stat);
    ui::setTextColor(textFieldIpAddress, stat ? ui::kLightGray : ui::kBlack);
    ui::setTextColor(textFieldTimeOutSec, stat ? ui::kLightGray : ui::kBlack);
    buttonBkpEnum->setEnabled(stat);
    buttonBkpAddDel->setEnabled(stat);
    textFieldBkpNumber->setEnabled(stat);
    const bool bkp = m_lnk->state().bkpMode();
    buttonBkpN->setEnabled(bkp);
    buttonBkpT->setEnabled(bkp);
    buttonBkpAllClr->setEnabled(stat);
    buttonBkpVari->setEnabled(bkp);
    textFieldBkpVariName->setEnabled(bkp);
}

void ViewController::pgobjectsEnable(bool stat)
{
    boxPgIo->setVisible(stat);
    boxPgCurrentPos->setVisible(stat);
}

void ViewController::showHelp()
{
    m_dialogs->alert(QStringLiteral("QUORIN Monitor for MAC"), QStringLiteral("Ver 1.220912"));
}

bool ViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Only the first delivery of each key event (Qt re-sends it up the
        // parent chain when a widget ignores it).
        if (watched->isWidgetType() && static_cast<QWidget *>(watched) == QApplication::focusWidget()) {
            // The modifier snapshot follows modifier changes only: Shift+F5
            // clears the Shift flag, and F5 pressed again with Shift still
            // held must see it cleared.
            if (key->modifiers() != m_lastModifiers) {
                m_lastModifiers = key->modifiers();
                flagsChanged(m_lastModifiers);
            }
            // A held Return repeats its press; each repeat would send the
            // field's line again or open its confirmation again.
            if (event->type() == QEvent::KeyPress && key->isAutoRepeat() &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
                return true;
            if (event->type() == QEvent::KeyPress && keyDown(key))
                return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

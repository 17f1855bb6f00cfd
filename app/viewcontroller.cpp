// Construction, control binding, start-up, settings, control enabling and the
// About box.
#include "app/viewcontroller.h"

#include "app/appdelegate.h"
#include "app/settings.h"
#include "console/consolepage.h"
#include "link/textutil.h"
#include "monitor/banks.h"
#include "panels/variablespage.h"
#include "ui/mainwindow.h"
#include "ui/uihelpers.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

ViewController::ViewController(MainWindow *root, Dialogs *dialogs, QSettings *settings, Clock *clock,
                               AppDelegate *delegate, QObject *parent)
    : QObject(parent), appDelegate(delegate), m_root(root), m_dialogs(dialogs), m_settings(settings),
      m_clock(clock), m_lnk(&root->link())
{
    // The address the field shows until the stored setting replaces it.
    Host = QStringLiteral("192.168.0.10");
    // A child of the window, where the status bar finds it.
    m_poller = new monitor::Poller(*m_lnk, *m_clock, root);
    bindControls();
}

ViewController::~ViewController() {}

template <typename T> T *ViewController::need(const QString &name)
{
    T *w = m_root->findChild<T *>(name);
    if (!w)
        qFatal("control missing from the layout: %s", qPrintable(name));
    return w;
}

void ViewController::bindControls()
{
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
}

void ViewController::viewDidLoad()
{
    // 3.
    if (appDelegate)
        appDelegate->viewController = this;
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
    // 9.
    loadSettings();
    // 11.
    tabview->setCurrentIndex(0);
    selectTabId = QStringLiteral("0");

    wireLink();
    wireConsole();
    wireMonitor();
    wireTransfer();
    wireTools();
}

void ViewController::loadSettings()
{
    app::Settings stored;
    stored.load(*m_settings);
    textFieldIpAddress->setText(stored.address);
    consolePage().restoreHistories(stored.histories[0], stored.histories[1], stored.histories[2]);
    m_root->variablesPage().setVariableNames(
        QStringList(stored.variableNames.begin(), stored.variableNames.end()));
    textFieldTimeOutSec->setText(stored.timeoutSeconds);
}

void ViewController::saveSettings()
{
    app::Settings stored;
    const QString shown = textFieldIpAddress->text();
    const bool standIn = !m_standInAddress.isEmpty() && shown == m_standInAddress;
    stored.address = standIn ? m_replacedAddress : shown;
    using History = console::ConsolePage::History;
    stored.histories = {consolePage().history(History::Commands),
                        consolePage().history(History::ProgramLines),
                        consolePage().history(History::ListStarts)};
    const QStringList names = m_root->variablesPage().variableNames();
    for (int i = 0; i < names.size() && i < app::Settings::kVariableRows; ++i)
        stored.variableNames[i] = names.at(i);
    stored.timeoutSeconds = textFieldTimeOutSec->text();
    stored.save(*m_settings);
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
    for (QWidget *w : {buttonDisconnect, buttonTimerStart, buttonTimerStop})
        w->setEnabled(stat);
    consolePage().setConnected(stat);
    if (appDelegate && appDelegate->menuOpenFile)
        appDelegate->menuOpenFile->setEnabled(stat);
    textFieldIpAddress->setReadOnly(stat);
    textField2->setReadOnly(true); // the status line is never typed into
    textFieldTimeOutSec->setReadOnly(stat);
    ui::setTextColor(textFieldIpAddress, stat ? ui::kLightGray : ui::kBlack);
    ui::setTextColor(textFieldTimeOutSec, stat ? ui::kLightGray : ui::kBlack);
    updateBkpControls();
}

void ViewController::showHelp()
{
    m_dialogs->alert(QStringLiteral("QUORIN Monitor for MAC"), QStringLiteral("Ver 1.220912"));
}

// ---- the console page --------------------------------------------------------

console::ConsolePage &ViewController::consolePage()
{
    return m_root->consolePage();
}

void ViewController::consoleAppendFollow(const QString &text)
{
    consolePage().consoleAppendFollow(text);
}

void ViewController::consoleAppendScroll(const QString &text)
{
    consolePage().consoleAppendScroll(text);
}

void ViewController::consoleReplace(const QString &text)
{
    consolePage().consoleReplace(text);
}

QString ViewController::consoleText() const
{
    return m_root->consolePage().consoleText();
}

QString ViewController::consoleSelection() const
{
    return m_root->consolePage().consoleSelection();
}

void ViewController::receiveDisplay(const QString &chunk)
{
    if (selectTabId == QLatin1String("0") && isConnected())
        consolePage().receiveDisplay(chunk);
}

void ViewController::updateBkpControls()
{
    consolePage().setBreakpointMode(m_lnk->state().bkpMode());
}

void ViewController::focusConsole()
{
    consolePage().focusConsole();
}

void ViewController::wireConsole()
{
    using Page = console::ConsolePage;
    // The side panel's and the shortcuts' requests, each waiting for the
    // exchange slot like a click on a button of this window.
    const std::pair<void (Page::*)(), void (ViewController::*)()> requests[] = {
        {&Page::programLoadRequested, &ViewController::programLoadHs},
        {&Page::programSaveRequested, &ViewController::programSave},
        {&Page::pointLoadRequested, &ViewController::pointLoad},
        {&Page::pointSaveRequested, &ViewController::pointSave},
        {&Page::mbkLoadRequested, &ViewController::mbkLoad},
        {&Page::mbkSaveRequested, &ViewController::mbkSave},
        {&Page::clockCheckRequested, &ViewController::buttonRtcCheck_click},
        {&Page::clockSetRequested, &ViewController::buttonRtcAdj_click},
        {&Page::monitorRequested, &ViewController::buttonMon_click},
        {&Page::monitorListRequested, &ViewController::buttonMonList_click},
        {&Page::breakpointAddDelRequested, &ViewController::buttonBkpAddDel_click},
        {&Page::breakpointListRequested, &ViewController::buttonBkpEnum_click},
        {&Page::breakpointClearAllRequested, &ViewController::buttonBkp_AllClr},
        {&Page::breakpointContinueRequested, &ViewController::buttonBkpN_click},
        {&Page::breakpointStepRequested, &ViewController::buttonBkpT_click},
        {&Page::breakpointVariableRequested, &ViewController::buttonBkpVari_click},
    };
    for (const auto &[request, op] : requests)
        QObject::connect(&consolePage(), request, this,
                         [this, op = op] { userAction([this, op] { (this->*op)(); }); });
}

// ViewController's monitor members: the poll timer and its tick, the tab
// change, the bit displays and output forcing.
#include "app/viewcontroller.h"
#include "axis/axispage.h"
#include "ui/mainwindow.h"

#include "link/connection.h"
#include "link/textutil.h"
#include "monitor/bits.h"
#include "monitor/polling.h"
#include "panels/mbkpage.h"
#include "panels/taskspage.h"
#include "panels/variablespage.h"
#include "ui/uihelpers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

Q_LOGGING_CATEGORY(lcMonitor, "quorin.monitor")

namespace {

const QString kStar = QStringLiteral("★");

QColor lampColour(monitor::BitGroup group)
{
    switch (monitor::onColour(group)) {
    case monitor::LampColour::Red:
        return ui::kRed;
    case monitor::LampColour::Green:
        return ui::kGreen;
    case monitor::LampColour::Orange:
        return ui::kOrange;
    }
    return ui::kRed;
}

// The common body of the six bit displays: number labels first, then the
// value, then the lamps; a reply that does not parse changes nothing.
void showBits(monitor::BitGroup group, QLabel *const *lamps, QLabel *const *numbers, QLabel *stat,
              const QString &txtText, const QString &banknum, std::optional<QStringList> *shown)
{
    const std::optional<monitor::BitDisplay> d = monitor::bitDisplay(group, txtText, banknum);
    if (!d)
        return;
    shown[int(group)] = d->numbers;
    const int n = monitor::lampCount(group);
    for (int k = 0; k < n; ++k)
        numbers[k]->setText(d->numbers.at(k));
    stat->setText(d->value);
    const QColor on = lampColour(group);
    const QString word = monitor::lampWord(group) + QLatin1Char(' ');
    for (int k = 0; k < n; ++k)
        ui::showLamp(lamps[k], word + d->numbers.at(k), monitor::lampOn(d->bits, k), on);
}

} // namespace

// ---------------------------------------------------------------- polling

void ViewController::timerStart()
{
    if (!isConnected())
        return;
    if (timer) {
        timer->stop();
        timer = nullptr;
    }
    textField2->setText(QString());
    labelindicator->setVisible(true);
    labelindicator->setText(kStar);
    m_lnk->state().setWaitPrompt(true);
    sendString(QStringLiteral("CMD$"));
    receivePrompt();
    // A time-out or a disconnect during that wait closed the link; a timer
    // started now would only tick on without a connection.
    if (!isConnected())
        return;
    timerjobcount = 0;
    if (!m_pollTimer) {
        m_pollTimer = new QTimer(this);
        m_pollTimer->setTimerType(Qt::PreciseTimer);
        m_pollTimer->setSingleShot(true);
        QObject::connect(m_pollTimer, &QTimer::timeout, this, [this] { pollTimerFired(); });
    }
    timer = m_pollTimer;
    m_pollGrid.start();
    m_pollDueMs = monitor::kPollInterval.count();
    timer->start(monitor::kPollInterval);
}

void ViewController::timerStop()
{
    qCInfo(lcMonitor) << "timerStop()";
    labelindicator->setVisible(false);
    if (!timer)
        return;
    consoleAppendScroll(monitor::timeMarker(clock()->now()));
    sendString(QStringLiteral("CMD$ 0"));
    timer->stop();
    timer = nullptr;
}

void ViewController::buttonTimerStart_click()
{
    timerStart();
}

void ViewController::buttonTimerStop_click()
{
    timerStop();
}

void ViewController::pollTimerFired()
{
    pollTick();
    // Re-armed only while polling still runs and nobody restarted it during
    // the tick (a time-out or a disconnect stops it).
    if (!timer || timer->isActive())
        return;
    m_pollDueMs = monitor::nextTickDue(m_pollDueMs, m_pollGrid.elapsed());
    const qint64 wait = std::max<qint64>(0, m_pollDueMs - m_pollGrid.elapsed());
    timer->start(static_cast<int>(wait));
}

void ViewController::pollTick()
{
    // One exchange slot for the whole program: a tick that falls due while a
    // user action (or another wait) holds it is skipped, not queued.
    if (exchangeBusy())
        return;
    link::Link::BusyScope busy(*m_lnk);

    ++timerjobcount;
    ui::setTextColor(labelindicator, ui::kLightGray);

    const QString tab = selectTabId;
    if (tab == QLatin1String("1")) {
        QString bank = iocheckCommandSend(popupbuttonOutBank, QString());
        ioCheckOutp(m_lnk->state().rcvBuff(), bank);
        bank = iocheckCommandSend(popupbuttonInpBank, QString());
        ioCheckInp(m_lnk->state().rcvBuff(), bank);
        bank = iocheckCommandSend(popupbuttonMemioBank, QString());
        ioCheckMenio(m_lnk->state().rcvBuff(), bank);
    } else if (tab == QLatin1String("2")) {
        m_root->variablesPage().poll(*m_lnk);
    } else if (tab == QLatin1String("3")) {
        m_root->mbkPage().poll(*m_lnk);
    } else if (tab == QLatin1String("4")) {
        QString bank = iocheckCommandSend(popupbuttonCuOutBank, QString());
        ioCheckCuOutp(m_lnk->state().rcvBuff(), bank);
        bank = iocheckCommandSend(popupbuttonCuInpBank, QString());
        ioCheckCuInp(m_lnk->state().rcvBuff(), bank);
    } else if (tab == QLatin1String("5")) {
        m_root->axisPage().poll(*m_lnk);
    } else if (tab == QLatin1String("6")) {
        m_root->tasksPage().poll(*m_lnk);
    }

    if (monitor::starBlue(timerjobcount))
        ui::setTextColor(labelindicator, ui::kBlue);
}

QString ViewController::iocheckCommandSend(QComboBox *popupButton, const QString &cast)
{
    m_lnk->state().setWaitPrompt(true);
    const QString bank = monitor::bankWord(popupButton->currentText());
    sendString(monitor::bitQuery(bank, cast));
    receivePrompt();
    return bank;
}

void ViewController::tabViewDidSelect(int index)
{
    if (!isConnected()) {
        // Without a controller only the console makes sense; the change of
        // tab made here is not a second selection.
        const QSignalBlocker block(tabview);
        tabview->setCurrentIndex(0);
        index = 0;
        selectTabId = QStringLiteral("0");
    }
    QWidget *page = tabview->widget(index);
    if (!page)
        return;
    trace(QStringLiteral("tabview label: ") + tabview->tabText(index));
    selectTabId = page->property("identifier").toString();
    trace(QStringLiteral("tabview identifier: ") + selectTabId);
    m_root->axisPage().reselectBoard();
    // Starting and stopping talk to the controller, so they wait for the
    // exchange slot; by then the user may have moved on to another tab.
    if (selectTabId != QLatin1String("0")) {
        if (!timer) {
            userAction([this] {
                if (!timer && selectTabId != QLatin1String("0"))
                    timerStart();
            });
        }
    } else {
        userAction([this] {
            if (selectTabId == QLatin1String("0"))
                timerStop();
        });
    }
}

// ---------------------------------------------------------------- bit displays

void ViewController::ioCheckOutp(const QString &txtText, const QString &banknum)
{
    showBits(monitor::BitGroup::Outputs, labelOut, labelOutBitNo, labelOutStat, txtText, banknum,
             m_bitNumbers);
}

void ViewController::ioCheckInp(const QString &txtText, const QString &banknum)
{
    showBits(monitor::BitGroup::Inputs, labelInp, labelInpBitNo, labelInpStat, txtText, banknum,
             m_bitNumbers);
}

void ViewController::ioCheckMenio(const QString &txtText, const QString &banknum)
{
    showBits(monitor::BitGroup::Relays, labelMemio, labelMemioBitNo, labelMemioStat, txtText, banknum,
             m_bitNumbers);
}

void ViewController::ioCheckCuOutp(const QString &txtText, const QString &banknum)
{
    showBits(monitor::BitGroup::CuOutputs, labelCuOut, labelCuOutBitNo, labelCuOutStat, txtText, banknum,
             m_bitNumbers);
}

void ViewController::ioCheckCuInp(const QString &txtText, const QString &banknum)
{
    showBits(monitor::BitGroup::CuInputs, labelCuInp, labelCuInpBitNo, labelCuInpStat, txtText, banknum,
             m_bitNumbers);
}

// ---------------------------------------------------------------- forcing

namespace {
// The line a forcing button sends; empty when it sends nothing (a tag
// outside its table, or an ON/OFF bit whose number no poll has shown yet).
QString forcingLine(const std::optional<QStringList> *numbers, monitor::ForceAction action, int tag)
{
    const monitor::ForceTarget t = monitor::forceTarget(action, tag);
    QString operand;
    if (t.kind == monitor::ForceTarget::Kind::On || t.kind == monitor::ForceTarget::Kind::Off) {
        const std::optional<QStringList> &shown = numbers[int(t.group)];
        if (!shown || t.label < 0 || t.label >= shown->size())
            return QString();
        operand = shown->at(t.label);
    }
    return monitor::forceCommand(t, operand);
}
} // namespace

void ViewController::buttonOutOnOff_click(int tag)
{
    const QString line = forcingLine(m_bitNumbers, monitor::ForceAction::OutOnOff, tag);
    if (!line.isEmpty())
        commandExec(line);
}

void ViewController::buttonCuOnOff_click(int tag)
{
    const QString line = forcingLine(m_bitNumbers, monitor::ForceAction::CuOnOff, tag);
    if (!line.isEmpty())
        commandExec(line);
}

// ---------------------------------------------------------------- wiring

void ViewController::wireMonitor()
{
    QObject::connect(buttonTimerStart, &QPushButton::clicked, this,
                     [this] { userAction([this] { buttonTimerStart_click(); }); });
    QObject::connect(buttonTimerStop, &QPushButton::clicked, this,
                     [this] { userAction([this] { buttonTimerStop_click(); }); });
    QObject::connect(tabview, &QTabWidget::currentChanged, this,
                     [this](int index) { tabViewDidSelect(index); });

    struct TagAction
    {
        const char *prefix;
        void (ViewController::*action)(int);
    };
    const TagAction actions[] = {
        {"buttonOutOnOff", &ViewController::buttonOutOnOff_click},
        {"buttonCuOnOff", &ViewController::buttonCuOnOff_click},
    };
    const QList<QPushButton *> buttons = root()->findChildren<QPushButton *>();
    for (QPushButton *b : buttons) {
        const QVariant tagProperty = b->property("tag");
        if (!tagProperty.isValid())
            continue;
        const QString name = b->objectName();
        for (const TagAction &a : actions) {
            const QString prefix = QString::fromLatin1(a.prefix);
            // The rest of the name is the tag itself, so one prefix cannot
            // catch another action's buttons.
            if (!name.startsWith(prefix) || !text::isInt(name.mid(prefix.size())))
                continue;
            const int tag = tagProperty.toInt();
            const auto action = a.action;
            QObject::connect(b, &QPushButton::clicked, this, [this, action, tag] {
                userAction([this, action, tag] { (this->*action)(tag); });
            });
            break;
        }
    }
}

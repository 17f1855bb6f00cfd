// ViewController's monitor members until their pages take them: the tick of
// the tabs that are not pages yet, the tab change, the MBK bit word and its
// forcing, and the axis signal query.
#include "app/viewcontroller.h"
#include "ui/mainwindow.h"

#include "link/connection.h"
#include "link/textutil.h"
#include "monitor/axissignals.h"
#include "monitor/bits.h"
#include "monitor/poller.h"
#include "monitor/polling.h"
#include "ui/page.h"
#include "ui/uihelpers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

#include <algorithm>

namespace {

const QString kNoBoard = QStringLiteral("None");

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

void showSignal(QLabel *lamp, bool on)
{
    ui::showLamp(lamp, lamp->property("lampName").toString(), on, ui::kGreen);
}

} // namespace

// ---------------------------------------------------------------- polling

void ViewController::timerStart()
{
    m_poller->timerStart();
}

void ViewController::timerStop()
{
    m_poller->timerStop();
}

void ViewController::pollTick()
{
    // Runs inside the poller's tick, which holds the exchange slot.
    const QString tab = selectTabId;
    if (tab == QLatin1String("2")) {
        for (int row = 0; row < 8; ++row)
            variableshow(row);
    } else if (tab == QLatin1String("3")) {
        for (int row = 0; row < 8; row += 2)
            mbkvalueshow(row);
        for (int row = 1; row < 8; row += 2) {
            if (!textfieldMbkAdr[row]->text().isEmpty())
                mbkvalueshow(row);
        }
        const QString bank =
            iocheckCommandSend(popupbuttonMbkIoBank, monitor::bankCast(monitor::BitGroup::MbkBits));
        ioCheckMbkIo(m_lnk->state().rcvBuff(), bank);
    } else if (tab == QLatin1String("5")) {
        pgvalueshow();
        if (checkMpg())
            pgiocheckCommandSend();
    } else if (tab == QLatin1String("6")) {
        for (int row = 0; row < 8; ++row)
            taskvalueshow(row);
    }
}

QString ViewController::iocheckCommandSend(QComboBox *popupButton, const QString &cast)
{
    m_lnk->state().setWaitPrompt(true);
    const QString bank = monitor::bankWord(popupButton->currentText());
    sendString(monitor::bitQuery(bank, cast));
    receivePrompt();
    return bank;
}

bool ViewController::checkMpg()
{
    const QString board = popupbuttonPgSelect->currentText();
    if (board == kNoBoard) {
        pgobjectsEnable(false);
        return false;
    }
    if (!pgReSelect)
        return true;
    m_lnk->state().setWaitPrompt(true);
    sendString(monitor::mpgCommand(board));
    if (!receivePrompt())
        return false; // pgReSelect stays set: the next axis tick tries again
    const QString reply = m_lnk->state().rcvBuff();
    if (!monitor::boardRefused(reply)) {
        pgobjectsEnable(true);
        trace(QStringLiteral("MPG ReSelected"));
        pgReSelect = false;
        return true;
    }
    m_dialogs->alert(monitor::mpgRefusalText(board, reply));
    // pgReSelect stays set, so the board the user picks next is sent.
    popupbuttonPgSelect->setCurrentIndex(popupbuttonPgSelect->findText(kNoBoard));
    return false;
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
    m_poller->setPage(qobject_cast<ui::Page *>(page));
    trace(QStringLiteral("tabview identifier: ") + selectTabId);
    pgReSelect = true;
    // Starting and stopping talk to the controller, so they wait for the
    // exchange slot; by then the user may have moved on to another tab.
    if (selectTabId != QLatin1String("0")) {
        if (!m_poller->isRunning()) {
            userAction([this] {
                if (!m_poller->isRunning() && selectTabId != QLatin1String("0"))
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

void ViewController::ioCheckMbkIo(const QString &txtText, const QString &banknum)
{
    showBits(monitor::BitGroup::MbkBits, labelMbkIo, labelMbkIoBitNo, labelMbkIoStat, txtText, banknum,
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

void ViewController::buttonMbkIoOnOff_click(int tag)
{
    const QString line = forcingLine(m_bitNumbers, monitor::ForceAction::MbkIoOnOff, tag);
    if (!line.isEmpty())
        commandExec(line);
}

void ViewController::buttonPgHout_click(int tag)
{
    if (popupbuttonPgSelect->currentText() == kNoBoard)
        return;
    const QString line = forcingLine(m_bitNumbers, monitor::ForceAction::PgHout, tag);
    if (!line.isEmpty())
        commandExec(line);
}

// ---------------------------------------------------------------- axis signals

bool ViewController::pgiocheckCommandSend()
{
    m_lnk->state().setWaitPrompt(true);
    sendString(monitor::axisQuery(popupbuttonPgReg->currentText()));
    receivePrompt();
    const monitor::AxisReading r = monitor::parseAxisReply(m_lnk->state().rcvBuff());
    // Lamp arrays are in the signal words' axis order X, Y, Z, U.
    if (r.lmt) {
        for (int a = 0; a < 4; ++a) {
            showSignal(labelPgPlmt[a], monitor::signalOn(*r.lmt, a, monitor::kLmtBits[0]));
            showSignal(labelPgMlmt[a], monitor::signalOn(*r.lmt, a, monitor::kLmtBits[1]));
            showSignal(labelPgAlm[a], monitor::signalOn(*r.lmt, a, monitor::kLmtBits[2]));
        }
    }
    if (r.hpt) {
        for (int a = 0; a < 4; ++a) {
            showSignal(labelPgIn0[a], monitor::signalOn(*r.hpt, a, monitor::kHptBits[0]));
            showSignal(labelPgIn1[a], monitor::signalOn(*r.hpt, a, monitor::kHptBits[1]));
            showSignal(labelPgIn3[a], monitor::signalOn(*r.hpt, a, monitor::kHptBits[2]));
            showSignal(labelPgInp[a], monitor::signalOn(*r.hpt, a, monitor::kHptBits[3]));
        }
    }
    if (r.hasValues) {
        // Position and counter arrays are in the order X, Y, U, Z, as the reply.
        for (size_t a = 0; a < 4; ++a)
            labelPgCurrentPos[a]->setText(r.positions[a]);
        labelPgReg->setText(r.registerText);
        for (size_t a = 0; a < 4; ++a)
            labelPgCounter[a]->setText(r.counters[a]);
    }
    return true;
}

// ---------------------------------------------------------------- wiring

void ViewController::wireMonitor()
{
    QObject::connect(buttonTimerStart, &QPushButton::clicked, this,
                     [this] { userAction([this] { m_poller->timerStart(); }); });
    QObject::connect(buttonTimerStop, &QPushButton::clicked, this,
                     [this] { userAction([this] { m_poller->timerStop(); }); });
    // What the poller shows lives in the top bar and the console.
    QObject::connect(m_poller, &monitor::Poller::statusCleared, this,
                     [this] { textField2->setText(QString()); });
    QObject::connect(m_poller, &monitor::Poller::indicatorShown, this, [this](const QString &text) {
        labelindicator->setVisible(true);
        labelindicator->setText(text);
    });
    QObject::connect(m_poller, &monitor::Poller::indicatorHidden, this,
                     [this] { labelindicator->setVisible(false); });
    QObject::connect(m_poller, &monitor::Poller::indicatorColourChanged, this,
                     [this](const QColor &colour) { ui::setTextColor(labelindicator, colour); });
    QObject::connect(m_poller, &monitor::Poller::stopMarker, this,
                     [this](const QString &marker) { consoleAppendScroll(marker); });
    m_poller->setFallback([this] { pollTick(); });
    QObject::connect(tabview, &QTabWidget::currentChanged, this,
                     [this](int index) { tabViewDidSelect(index); });

    struct TagAction
    {
        const char *prefix;
        void (ViewController::*action)(int);
    };
    const TagAction actions[] = {
        {"buttonMbkIoOnOff", &ViewController::buttonMbkIoOnOff_click},
        {"buttonPgHout", &ViewController::buttonPgHout_click},
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

// The console tab: how text enters and leaves the console, command entry with
// history, the console buttons and the keyboard shortcuts.
#include "console/consolepage.h"

#include "console/commandbox.h"
#include "console/console.h"
#include "console/consoleview.h"
#include "console/sidepanel.h"
#include "core/dialogs.h"
#include "core/watchlock.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/sendpath.h"
#include "link/textutil.h"
#include "ui/controls.h"
#include "ui/lockedcontrols.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

using namespace ui;

namespace console {

ConsolePage::ConsolePage(wire::Link &link, Dialogs &dialogs, const WatchLock &lock, QWidget *parent)
    : ui::Page(parent), m_link(link), m_dialogs(dialogs), m_lock(lock),
      m_locked(new ui::LockedControls(lock, this))
{
    setupUi();
    wire();
    // The answered login's doubled prompt is collapsed once.
    connect(&m_link, &wire::Link::stateChanged, this, [this](wire::State state) {
        if (state == wire::State::Ready)
            m_console->setBeginConnect(true);
    });
    // Application-wide key handling: the shortcuts act wherever the focus is
    // on this tab.
    qApp->installEventFilter(this);
}

ConsolePage::~ConsolePage()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

// ---------------------------------------------------------------- layout

void ConsolePage::setupUi()
{
    auto *h = new QHBoxLayout(this);
    h->setSpacing(10);

    // Left: the terminal and the ways to type into it.
    auto *left = new QVBoxLayout;
    left->setSpacing(6);
    m_console = named(new ConsoleView, QStringLiteral("textView1"));
    QFont cf = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    cf.setPointSize(kConsolePointSize);
    m_console->setFont(cf);
    m_console->setAccessibleName(QStringLiteral("Console"));
    m_console->setMinimumSize(charWidth(40), 160);
    left->addWidget(m_console, 1);

    m_commandBox = new CommandBox(QStringLiteral("comboBox1"));
    m_programLineBox = new CommandBox(QStringLiteral("comboBox2"));
    m_listStartBox = new CommandBox(QStringLiteral("comboBox3"));
    m_quickLineField = makeField(QStringLiteral("textField1"), QString(), 16);
    m_quickLineField->setPlaceholderText(QStringLiteral("Return sends the line; not kept in the history"));

    const int bw = buttonWidth({QStringLiteral("Send"), QStringLiteral("Enter line"), QStringLiteral("List"),
                                QStringLiteral("Next page"), QStringLiteral("Pick line"),
                                QStringLiteral("Clear history")});
    auto fixed = [bw](QPushButton *b) {
        b->setMinimumWidth(bw);
        return b;
    };
    m_buttonSend = fixed(makeButton(QStringLiteral("buttonSend"), QStringLiteral("Send"),
                                    QStringLiteral("Send the command (F7 focuses the field)")));
    m_buttonClearHistory = fixed(makeButton(QStringLiteral("buttonUDErase"), QStringLiteral("Clear history"),
                                            QStringLiteral("Forget the command history")));
    m_buttonEnterLine = fixed(makeButton(QStringLiteral("buttonProgramExec"), QStringLiteral("Enter line"),
                                         QStringLiteral("Store the program line (F5 focuses the field)")));
    m_buttonPickLine =
        fixed(makeButton(QStringLiteral("buttonGetLineString"), QStringLiteral("Pick line"),
                         QStringLiteral("Copy the program line under the console cursor (F6)")));
    m_buttonList = fixed(makeButton(QStringLiteral("buttonList"), QStringLiteral("List"),
                                    QStringLiteral("List 20 lines from a line number or label (F3)")));
    m_buttonListNext = fixed(makeButton(QStringLiteral("buttonListNext"), QStringLiteral("Next page"),
                                        QStringLiteral("Continue the listing (F4)")));
    auto *entry = new QGridLayout;
    entry->setHorizontalSpacing(6);
    entry->setVerticalSpacing(4);
    entry->addWidget(caption(QStringLiteral("Command"), m_commandBox), 0, 0);
    entry->addWidget(m_commandBox, 0, 1);
    entry->addWidget(m_buttonSend, 0, 2);
    entry->addWidget(m_buttonClearHistory, 0, 3);
    entry->addWidget(caption(QStringLiteral("Program line"), m_programLineBox), 1, 0);
    entry->addWidget(m_programLineBox, 1, 1);
    entry->addWidget(m_buttonEnterLine, 1, 2);
    entry->addWidget(m_buttonPickLine, 1, 3);
    entry->addWidget(caption(QStringLiteral("List from"), m_listStartBox), 2, 0);
    entry->addWidget(m_listStartBox, 2, 1);
    entry->addWidget(m_buttonList, 2, 2);
    entry->addWidget(m_buttonListNext, 2, 3);
    entry->addWidget(caption(QStringLiteral("Quick line"), m_quickLineField), 3, 0);
    entry->addWidget(m_quickLineField, 3, 1, 1, 3);
    entry->setColumnStretch(1, 1);
    left->addLayout(entry);

    auto *keys = new QHBoxLayout;
    keys->setSpacing(6);
    m_buttonRun = makeButton(QStringLiteral("buttonRun"), QStringLiteral("Run"),
                             QStringLiteral("Start the program (Ctrl+])"));
    m_buttonCtrlA = makeButton(QStringLiteral("buttonCtrlA"), QStringLiteral("Ctrl-A"),
                               QStringLiteral("Send the attention byte 0x01 (Ctrl+\\)"));
    m_buttonCr =
        makeButton(QStringLiteral("buttonCr"), QStringLiteral("CR"), QStringLiteral("Send an empty line"));
    m_buttonQ = makeButton(QStringLiteral("buttonQ"), QStringLiteral("Q"), QStringLiteral("Send Q"));
    m_buttonReceive = makeButton(QStringLiteral("ButtonReceive"), QStringLiteral("Receive"),
                                 QStringLiteral("Arm one more receive"));
    m_buttonClearConsole = makeButton(QStringLiteral("buttonViewTextClear"), QStringLiteral("Clear console"),
                                      QStringLiteral("Empty the console (F2)"));
    m_liveOutputBox = named(new QCheckBox(QStringLiteral("Live output")), QStringLiteral("checkboxScroll"));
    m_liveOutputBox->setToolTip(QStringLiteral("Show what the controller sends (F8 toggles)"));
    // The live display is on from the start, so the first connection's
    // output shows.
    m_liveOutputBox->setChecked(true);
    for (QWidget *w : {m_buttonRun, m_buttonCtrlA, m_buttonCr, m_buttonQ})
        keys->addWidget(w);
    keys->addStretch(1);
    keys->addWidget(m_buttonReceive);
    keys->addWidget(m_buttonClearConsole);
    keys->addWidget(m_liveOutputBox);
    left->addLayout(keys);
    h->addLayout(left, 1);

    // The buttons must not take the focus away from the console: picking a
    // program line needs the console's cursor.
    m_buttonPickLine->setFocusPolicy(Qt::NoFocus);
    m_buttonEnterLine->setFocusPolicy(Qt::NoFocus);
    m_buttonList->setFocusPolicy(Qt::NoFocus);

    m_side = new SidePanel(m_lock);
    h->addWidget(m_side);
}

void ConsolePage::wire()
{
    // Whatever talks to the controller waits for the exchange slot.
    const auto act = [this](void (ConsolePage::*fn)(), Effect effect) {
        return [this, fn, effect] { queue([this, fn] { (this->*fn)(); }, effect); };
    };
    connect(m_commandBox->lineEdit(), &QLineEdit::returnPressed, this, &ConsolePage::queueCommand);
    connect(m_programLineBox->lineEdit(), &QLineEdit::returnPressed, this, &ConsolePage::queueProgramLine);
    connect(m_listStartBox->lineEdit(), &QLineEdit::returnPressed, this, &ConsolePage::queueListStart);
    connect(m_quickLineField, &QLineEdit::returnPressed, this, [this] {
        const QString typed = m_quickLineField->text();
        m_link.enqueue([this, typed] { return sendTyped(typed); });
    });
    connect(m_buttonSend, &QPushButton::clicked, this, &ConsolePage::queueCommand);
    connect(m_buttonEnterLine, &QPushButton::clicked, this, &ConsolePage::queueProgramLine);
    connect(m_buttonList, &QPushButton::clicked, this, &ConsolePage::queueListStart);
    connect(m_buttonListNext, &QPushButton::clicked, this,
            act(&ConsolePage::onListNextClicked, Effect::Reads));
    connect(m_buttonRun, &QPushButton::clicked, this, act(&ConsolePage::onRunClicked, Effect::Changes));
    connect(m_buttonCtrlA, &QPushButton::clicked, this, act(&ConsolePage::onCtrlAClicked, Effect::Changes));
    connect(m_buttonCr, &QPushButton::clicked, this, act(&ConsolePage::onCrClicked, Effect::Reads));
    connect(m_buttonQ, &QPushButton::clicked, this, act(&ConsolePage::onQClicked, Effect::Reads));
    connect(m_buttonPickLine, &QPushButton::clicked, this, &ConsolePage::pickProgramLine);
    connect(m_buttonClearHistory, &QPushButton::clicked, this, &ConsolePage::onClearHistoryClicked);
    connect(m_buttonReceive, &QPushButton::clicked, this, &ConsolePage::onReceiveClicked);
    connect(m_buttonClearConsole, &QPushButton::clicked, this, &ConsolePage::onClearConsoleClicked);
    connect(&m_lock, &WatchLock::heldBack, this,
            [this] { consoleAppendScroll(QStringLiteral("\r\n") + heldBackNote()); });
}

// ---------------------------------------------------------------- enabling

void ConsolePage::setConnected(bool connected)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             m_buttonSend, m_commandBox, m_quickLineField, m_listStartBox, m_buttonList, m_buttonPickLine,
             m_buttonClearConsole, m_buttonCr, m_buttonQ, m_liveOutputBox})
        w->setEnabled(connected);
    // Running, the attention byte and program lines change the machine.
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_buttonRun, m_buttonCtrlA, m_programLineBox, m_buttonEnterLine})
        m_locked->setEnabled(w, connected);
    // A listing continues only after one was started.
    m_buttonListNext->setEnabled(false);
    m_side->setConnected(connected);
}

void ConsolePage::setBreakpointMode(bool stopped)
{
    m_side->setBreakpointMode(stopped);
}

void ConsolePage::setListNextEnabled(bool enabled)
{
    m_buttonListNext->setEnabled(enabled);
}

void ConsolePage::setFollowOutput(bool on)
{
    m_liveOutputBox->setChecked(on);
}

// ---------------------------------------------------------------- histories

QStringList ConsolePage::history(History which) const
{
    switch (which) {
    case History::Commands:
        return m_commandBox->items();
    case History::ProgramLines:
        return m_programLineBox->items();
    case History::ListStarts:
        break;
    }
    return m_listStartBox->items();
}

void ConsolePage::restoreHistories(const QStringList &commands, const QStringList &programLines,
                                   const QStringList &listStarts)
{
    m_commandBox->restore(commands);
    m_programLineBox->restore(programLines);
    m_listStartBox->restore(listStarts);
    m_listStartBox->setEditText(QStringLiteral("0"));
}

// ---------------------------------------------------------------- the console

QString ConsolePage::consoleText() const
{
    return m_console->text();
}

void ConsolePage::consoleAppendFollow(const QString &text)
{
    m_console->appendFollow(text);
}

void ConsolePage::consoleAppendScroll(const QString &text)
{
    m_console->appendScroll(text);
}

void ConsolePage::consoleReplace(const QString &text)
{
    m_console->replace(text);
}

void ConsolePage::receiveDisplay(const QString &chunk)
{
    if (m_liveOutputBox->isChecked())
        m_console->appendFollow(chunk);
}

QString ConsolePage::consoleSelection() const
{
    return m_console->selection();
}

void ConsolePage::focusConsole()
{
    m_console->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- sending

bool ConsolePage::echoAndSend(const QString &line)
{
    const wire::ConsoleLine c = wire::prepareConsoleLine(line);
    if (m_lock.locked() && !readOnlyLine(c.trimmed)) {
        consoleAppendScroll(QStringLiteral("\r\n") + notSentNote(c.trimmed));
        return false;
    }
    if (c.firstIsLineNumber) {
        alertAfterAction(this, m_dialogs, QStringLiteral("Not Command"));
        return false;
    }
    // A line with no Shift-JIS for it goes out as a bare Return after the
    // link's alert: the console does not show it as sent.
    bool encodable = false;
    wire::commandBytes(wire::wireLine(c.trimmed), &encodable);
    if (encodable) {
        consoleAppendScroll(QStringLiteral("\r\n") + c.trimmed);
        m_console->cleanUpKeepingScroll();
    }
    m_link.sendString(c.trimmed, leavesBreakpoint(c.trimmed) ? wire::Link::Breakpoint::Leave
                                                             : wire::Link::Breakpoint::Keep);
    return true;
}

QCoro::Task<int> ConsolePage::sendProgram(QString line)
{
    const wire::ConsoleLine c = wire::prepareConsoleLine(line);
    if (!c.firstIsLineNumber) {
        alertAfterAction(this, m_dialogs, QStringLiteral("Not Program"));
        co_return -1;
    }
    // The number alone deletes the stored line: only sent when the line can
    // follow it.
    const QString onWire = wire::wireLine(c.trimmed);
    bool sendable = false;
    wire::commandBytes(onWire, &sendable);
    if (!sendable) {
        alertAfterAction(this, m_dialogs, QStringLiteral("Encode Error\n\n") + onWire);
        co_return -1;
    }
    const std::optional<QString> answered = co_await m_link.exchange(c.words.first());
    if (!answered)
        co_return -2;
    consoleAppendScroll(QStringLiteral("\r\n") + c.trimmed);
    m_console->cleanUpKeepingScroll();
    m_link.sendString(c.trimmed);
    // The line's answer is waited for too, and shown as it came: a prompt
    // still on its way would end the wait of whatever is queued next.
    const std::optional<QString> reply = co_await m_link.answer(wire::kStopAnswer);
    if (!reply)
        co_return -2;
    receiveDisplay(*reply);
    co_return 0;
}

// ---------------------------------------------------------------- buttons and boxes

void ConsolePage::onClearConsoleClicked()
{
    consoleReplace(QString());
}

void ConsolePage::queue(std::function<void()> step, Effect effect)
{
    wire::Link::Action action = [step = std::move(step)]() -> QCoro::Task<> {
        step();
        co_return;
    };
    m_link.enqueue(effect == Effect::Changes ? wire::unlessLocked(m_lock, std::move(action))
                                             : std::move(action));
}

void ConsolePage::queueCommand()
{
    const QString typed = m_commandBox->currentText();
    m_link.enqueue([this, typed] { return onCommandEntered(typed); });
}

void ConsolePage::queueProgramLine()
{
    if (!consoleSelection().isEmpty())
        pickProgramLine();
    // A program line waits for its line number's prompt before it goes out.
    const QString typed = m_programLineBox->currentText();
    m_link.enqueue(
        wire::unlessLocked(m_lock, [this, typed]() -> QCoro::Task<> { return onProgramLineEntered(typed); }));
}

void ConsolePage::queueListStart()
{
    const QString selected = consoleSelection();
    if (!selected.isEmpty())
        m_listStartBox->setEditText(listStartFrom(selected));
    const QString typed = m_listStartBox->currentText();
    queue([this, typed] { onListStartEntered(typed); });
}

QCoro::Task<> ConsolePage::onCommandEntered(QString typed)
{
    m_liveOutputBox->setChecked(true);
    const QString t = text::trimAll(typed);
    if (!t.isEmpty())
        m_commandBox->remember(t);
    QCoro::Task<> sent = sendTyped(t);
    focusConsole();
    co_await sent;
}

QCoro::Task<> ConsolePage::sendTyped(QString line)
{
    // Other lines are not waited for: a listing or a program's output shows
    // as it comes, however long it runs.
    if (!echoAndSend(line) || !leavesBreakpoint(wire::prepareConsoleLine(line).trimmed))
        co_return;
    const std::optional<QString> reply = co_await m_link.answer(wire::kStopAnswer);
    if (reply)
        receiveDisplay(*reply);
}

QCoro::Task<> ConsolePage::onProgramLineEntered(QString typed)
{
    m_liveOutputBox->setChecked(true);
    const QString t = text::trimAll(typed);
    if (!t.isEmpty()) {
        m_programLineBox->remember(t);
        const int sent = co_await sendProgram(t);
        Q_UNUSED(sent);
    }
    focusConsole();
}

void ConsolePage::onListStartEntered(const QString &typed)
{
    m_liveOutputBox->setChecked(true);
    m_buttonListNext->setEnabled(true);
    QString t = text::trimAll(typed);
    if (t.isEmpty()) {
        echoAndSend(QStringLiteral("LIST"));
    } else {
        t = listTarget(t);
        m_listStartBox->setEditText(t);
        m_listStartBox->remember(t);
        echoAndSend(QStringLiteral("LIST ") + t + QStringLiteral(" 20"));
    }
    focusConsole();
}

void ConsolePage::onListNextClicked()
{
    m_liveOutputBox->setChecked(true);
    echoAndSend(QStringLiteral("LIST"));
    focusConsole();
}

void ConsolePage::onRunClicked()
{
    if (m_link.bkpMode()) {
        consoleAppendScroll(QStringLiteral("[BKP] Program is Pausing @ Breakpoint.\r#"));
        return;
    }
    m_liveOutputBox->setChecked(true);
    consoleReplace(QStringLiteral("RUN"));
    m_link.sendString(QStringLiteral("RUN"));
    focusConsole();
}

void ConsolePage::onCtrlAClicked()
{
    m_liveOutputBox->setChecked(true);
    m_link.sendRaw(QByteArray(1, protocol::kAttention), wire::Link::Breakpoint::Leave);
    focusConsole();
}

void ConsolePage::onCrClicked()
{
    m_liveOutputBox->setChecked(true);
    m_link.sendString(QString());
}

void ConsolePage::onQClicked()
{
    m_liveOutputBox->setChecked(true);
    m_link.sendString(QStringLiteral("Q"));
}

void ConsolePage::pickProgramLine()
{
    if (QApplication::focusWidget() != m_console) {
        m_dialogs.alert(QStringLiteral("プログラム選択:\r textViewがフォーカスされていません。"));
        return;
    }
    m_liveOutputBox->setChecked(true);
    // The line where the selection starts: one that runs on into the next
    // line still picks the line it was started on.
    QTextCursor at = m_console->textCursor();
    at.setPosition(at.selectionStart());
    const auto program = programLineFrom(at.block().text());
    if (!program) {
        m_dialogs.alert(QStringLiteral(
            "プログラム選択:\r プログラムではありません。\rカーソルをプログラム行に置いてください。"));
        m_programLineBox->setEditText(QString());
        return;
    }
    m_programLineBox->setEditText(*program);
    m_programLineBox->setFocus(Qt::OtherFocusReason);
}

void ConsolePage::onClearHistoryClicked()
{
    m_commandBox->forget();
}

void ConsolePage::onReceiveClicked()
{
    m_link.startReceiving();
}

} // namespace console

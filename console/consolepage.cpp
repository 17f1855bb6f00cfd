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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
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
    const auto act = [this](void (ConsolePage::*fn)()) {
        return [this, fn] {
            m_link.enqueue([this, fn]() -> QCoro::Task<> {
                (this->*fn)();
                co_return;
            });
        };
    };
    // What changes the machine sends nothing when its turn comes with the
    // watch-only lock on (a typed command line is weighed when it goes out).
    const auto change = [this](void (ConsolePage::*fn)()) {
        return [this, fn] {
            m_link.enqueue(wire::unlessLocked(m_lock, [this, fn]() -> QCoro::Task<> {
                (this->*fn)();
                co_return;
            }));
        };
    };
    connect(m_commandBox->lineEdit(), &QLineEdit::returnPressed, this, &ConsolePage::queueCommand);
    connect(m_programLineBox->lineEdit(), &QLineEdit::returnPressed, this, &ConsolePage::queueProgramLine);
    connect(m_listStartBox->lineEdit(), &QLineEdit::returnPressed, this, &ConsolePage::queueListStart);
    connect(m_quickLineField, &QLineEdit::returnPressed, this, [this] {
        const QString typed = m_quickLineField->text();
        m_link.enqueue([this, typed]() -> QCoro::Task<> {
            echoAndSend(typed);
            co_return;
        });
    });
    connect(m_buttonSend, &QPushButton::clicked, this, &ConsolePage::queueCommand);
    connect(m_buttonEnterLine, &QPushButton::clicked, this, &ConsolePage::queueProgramLine);
    connect(m_buttonList, &QPushButton::clicked, this, &ConsolePage::queueListStart);
    connect(m_buttonListNext, &QPushButton::clicked, this, act(&ConsolePage::onListNextClicked));
    connect(m_buttonRun, &QPushButton::clicked, this, change(&ConsolePage::onRunClicked));
    connect(m_buttonCtrlA, &QPushButton::clicked, this, change(&ConsolePage::onCtrlAClicked));
    connect(m_buttonCr, &QPushButton::clicked, this, act(&ConsolePage::onCrClicked));
    connect(m_buttonQ, &QPushButton::clicked, this, act(&ConsolePage::onQClicked));
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
    for (QWidget *w : std::initializer_list<QWidget *>{m_buttonSend, m_commandBox, m_listStartBox,
                                                       m_buttonList, m_buttonPickLine, m_buttonClearConsole,
                                                       m_buttonCr, m_buttonQ, m_liveOutputBox})
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

void ConsolePage::echoAndSend(const QString &line)
{
    const wire::ConsoleLine c = wire::prepareConsoleLine(line);
    if (m_lock.locked() && !readOnlyLine(c.trimmed)) {
        consoleAppendScroll(QStringLiteral("\r\n") + notSentNote(c.trimmed));
        return;
    }
    if (c.firstIsLineNumber) {
        m_dialogs.alert(QStringLiteral("Not Command"));
        return;
    }
    consoleAppendScroll(QStringLiteral("\r\n") + c.trimmed);
    m_console->cleanUpKeepingScroll();
    m_link.sendString(c.trimmed);
}

QCoro::Task<int> ConsolePage::sendProgram(QString line)
{
    const wire::ConsoleLine c = wire::prepareConsoleLine(line);
    if (!c.firstIsLineNumber) {
        m_dialogs.alert(QStringLiteral("Not Program"));
        co_return -1;
    }
    // The number alone deletes the stored line: only sent when the line can
    // follow it.
    const QString onWire = wire::wireLine(c.trimmed);
    bool sendable = false;
    wire::commandBytes(onWire, &sendable);
    if (!sendable) {
        m_dialogs.alert(QStringLiteral("Encode Error\n\n") + onWire);
        co_return -1;
    }
    const std::optional<QString> answered = co_await m_link.exchange(c.words.first());
    if (!answered)
        co_return -2;
    consoleAppendScroll(QStringLiteral("\r\n") + c.trimmed);
    m_console->cleanUpKeepingScroll();
    m_link.sendString(c.trimmed);
    co_return 0;
}

// ---------------------------------------------------------------- buttons and boxes

void ConsolePage::onClearConsoleClicked()
{
    consoleReplace(QString());
}

void ConsolePage::queueCommand()
{
    const QString typed = m_commandBox->currentText();
    m_link.enqueue([this, typed]() -> QCoro::Task<> {
        onCommandEntered(typed);
        co_return;
    });
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
        m_listStartBox->setEditText(selected);
    const QString typed = m_listStartBox->currentText();
    m_link.enqueue([this, typed]() -> QCoro::Task<> {
        onListStartEntered(typed);
        co_return;
    });
}

void ConsolePage::onCommandEntered(const QString &typed)
{
    m_liveOutputBox->setChecked(true);
    const QString t = text::trimAll(typed);
    if (!t.isEmpty())
        m_commandBox->remember(t);
    echoAndSend(t);
    focusConsole();
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
    m_commandBox->clear();
}

void ConsolePage::onReceiveClicked()
{
    m_link.startReceiving();
}

// ---------------------------------------------------------------- keys

bool ConsolePage::isCurrentTab() const
{
    const auto *stack = qobject_cast<const QStackedWidget *>(parentWidget());
    return !stack || stack->currentWidget() == this;
}

void ConsolePage::onModifiersChanged(Qt::KeyboardModifiers modifiers)
{
    if (modifiers == Qt::NoModifier) {
        m_modifierHeld = false;
        return;
    }
    m_shiftHeld = modifiers.testFlag(Qt::ShiftModifier);
    m_controlHeld = modifiers.testFlag(Qt::ControlModifier);
    m_modifierHeld = true;
}

bool ConsolePage::handleShortcutKey(QKeyEvent *event)
{
    wire::trace(QString::number(event->key()));
    if (!isCurrentTab() || !wire::isUp(m_link.state()))
        return false;
    // A held key repeats its press: the shortcuts act on the first one only,
    // and not at all while a dialog of theirs is open, so holding Control+L
    // never queues a string of file dialogs or transfers.
    if (event->isAutoRepeat() || QApplication::activeModalWidget())
        return false;
    const bool shift = m_shiftHeld && m_modifierHeld;
    const bool control = m_controlHeld && m_modifierHeld;
    const auto change = [this](void (ConsolePage::*fn)()) {
        m_link.enqueue(wire::unlessLocked(m_lock, [this, fn]() -> QCoro::Task<> {
            (this->*fn)();
            co_return;
        }));
    };
    // Not QShortcuts: these keys act only on this tab while connected, and
    // Control counts only as onModifiersChanged() recorded it.
    switch (event->key()) {
    case Qt::Key_F2:
        onClearConsoleClicked();
        break;
    case Qt::Key_F3:
        if (!consoleSelection().isEmpty())
            queueListStart();
        else
            m_listStartBox->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F4:
        if (m_buttonListNext->isEnabled())
            m_link.enqueue([this]() -> QCoro::Task<> {
                echoAndSend(QStringLiteral("LIST"));
                co_return;
            });
        else
            m_listStartBox->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F5:
        if (shift) {
            m_shiftHeld = false;
            pickProgramLine();
        } else {
            m_programLineBox->setFocus(Qt::ShortcutFocusReason);
        }
        break;
    case Qt::Key_F6:
        pickProgramLine();
        break;
    case Qt::Key_F7:
        m_commandBox->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F8:
        m_liveOutputBox->setChecked(!m_liveOutputBox->isChecked());
        break;
    case Qt::Key_Escape:
        focusConsole();
        break;
    // Run, the attention byte and the program load change the machine: their
    // keys do nothing while the watch-only lock is on, like their buttons.
    case Qt::Key_BracketRight:
        if (control && !m_lock.locked()) {
            change(&ConsolePage::onRunClicked);
            focusConsole();
        }
        break;
    case Qt::Key_Backslash:
        if (control && !m_lock.locked()) {
            change(&ConsolePage::onCtrlAClicked);
            focusConsole();
        }
        break;
    case Qt::Key_M:
        if (control) {
            emit m_side->monitorListRequested(); // as its button does
            focusConsole();
        }
        break;
    case Qt::Key_L:
        if (control && !m_lock.locked()) {
            emit m_side->programLoadRequested(); // as its button does
            focusConsole();
        }
        break;
    default:
        break;
    }
    return false;
}

bool ConsolePage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Only the first delivery of each key event (Qt re-sends it up the
        // parent chain when a widget ignores it), and only in this window.
        auto *w = watched->isWidgetType() ? static_cast<QWidget *>(watched) : nullptr;
        if (w && w == QApplication::focusWidget() && w->window() == window()) {
            if (key->modifiers() != m_lastModifiers) {
                m_lastModifiers = key->modifiers();
                onModifiersChanged(m_lastModifiers);
            }
            // A held Return repeats its press; each repeat would send the
            // field's line again or open its confirmation again.
            if (event->type() == QEvent::KeyPress && key->isAutoRepeat() &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
                return true;
            if (event->type() == QEvent::KeyPress && handleShortcutKey(key))
                return true;
        }
    }
    return ui::Page::eventFilter(watched, event);
}

} // namespace console

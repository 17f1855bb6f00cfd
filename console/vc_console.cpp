// The console tab: how text enters and leaves the console, command entry with
// history, the console buttons and the keyboard shortcuts.
#include "app/viewcontroller.h"
#include "console/console.h"
#include "link/textutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

namespace {
// A controller can print a line of megabytes without a line feed; the console
// keeps all of it, but laying out such a line would stall the window, so the
// view shows only the end of an overlong line.
constexpr qsizetype kMaxShownLine = 16384;
const QString kElided = QStringLiteral("…");

QString displayForm(const QString &s)
{
    QString d = s;
    d.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    d.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // The escape character of a breakpoint stop stays in the console text but
    // has no glyph; drawn, it is an empty box.
    d.remove(QChar(0x1B));
    return d;
}

QString viewForm(const QString &model)
{
    const QString d = displayForm(model);
    QString out;
    out.reserve(qMin<qsizetype>(d.size(), 100 * kMaxShownLine));
    qsizetype start = 0;
    while (start <= d.size()) {
        qsizetype end = d.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = d.size();
        const qsizetype len = end - start;
        if (len > kMaxShownLine) {
            out += kElided;
            out += QStringView(d).mid(end - kMaxShownLine, kMaxShownLine);
        } else
            out += QStringView(d).mid(start, len);
        if (end < d.size())
            out += QLatin1Char('\n');
        start = end + 1;
    }
    return out;
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

void applyHistoryTo(QComboBox *box, const QString &t)
{
    const QStringList items = console::applyHistory(itemsOf(box), t);
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(0);
    box->setEditText(t);
}
} // namespace

QString ViewController::consoleText() const
{
    return m_console;
}

void ViewController::renderConsole(bool appendedOnly, qsizetype oldSize)
{
    if (appendedOnly && oldSize > 0 && oldSize <= m_console.size()) {
        // A CR at the end of what is shown already made a line break; a LF
        // that completes it must not make a second one.
        qsizetype from = oldSize;
        if (m_console.at(oldSize - 1) == QLatin1Char('\r') && from < m_console.size() &&
            m_console.at(from) == QLatin1Char('\n'))
            ++from;
        const QString delta = displayForm(m_console.mid(from));
        // Appending in place is cheap as long as no shown line gets too long.
        qsizetype run = textView1->document()->lastBlock().length();
        bool fits = true;
        for (const QChar c : delta) {
            run = c == QLatin1Char('\n') ? 0 : run + 1;
            if (run > kMaxShownLine) {
                fits = false;
                break;
            }
        }
        if (fits) {
            QTextCursor c(textView1->document());
            c.movePosition(QTextCursor::End);
            c.insertText(delta);
            return;
        }
    }
    textView1->setPlainText(viewForm(m_console));
}

void ViewController::consoleAppend(const QString &text)
{
    const qsizetype old = m_console.size();
    m_console += text;
    renderConsole(true, old);
}

void ViewController::consoleAppendFollow(const QString &text)
{
    // Append, clean up and trim on the text first and draw once: a burst of
    // thousands of lines is never laid out only to be trimmed away.
    const qsizetype old = m_console.size();
    m_console += text;
    const console::Cleaned c = console::cleanup(m_console, m_lnk->state().beginConnect());
    if (c.consumedBeginConnect)
        m_lnk->state().setBeginConnect(false);
    if (c.changed) {
        m_console = c.text;
        renderConsole(false, 0);
    } else {
        renderConsole(true, old);
    }
    textView1->moveCursor(QTextCursor::End);
    textView1->ensureCursorVisible();
}

void ViewController::consoleAppendScroll(const QString &text)
{
    consoleAppend(text);
    // The monitor's own lines (markers, notes, echoes) count against the
    // console's length like received ones.
    if (m_console.count(QLatin1Char('\n')) >= console::kMaxLines)
        removeTop1();
    textView1->verticalScrollBar()->setValue(textView1->verticalScrollBar()->maximum());
}

void ViewController::consoleReplace(const QString &text)
{
    m_console = text;
    renderConsole(false, 0);
}

void ViewController::removeTop1()
{
    const console::Cleaned c = console::cleanup(m_console, m_lnk->state().beginConnect());
    if (c.consumedBeginConnect)
        m_lnk->state().setBeginConnect(false);
    if (c.changed) {
        const int scroll = textView1->verticalScrollBar()->value();
        consoleReplace(c.text);
        textView1->verticalScrollBar()->setValue(scroll);
    }
}

void ViewController::receiveDisplay(const QString &chunk)
{
    if (selectTabId == QLatin1String("0") && isConnected() && checkboxScroll->isChecked())
        consoleAppendFollow(chunk);
}

void ViewController::updateBkpControls()
{
    const bool bkp = m_lnk->state().bkpMode();
    buttonBkpN->setEnabled(bkp);
    buttonBkpT->setEnabled(bkp);
    buttonBkpVari->setEnabled(bkp);
    textFieldBkpVariName->setEnabled(bkp);
}

void ViewController::buttonViewTextClear_click()
{
    consoleReplace(QString());
}

void ViewController::focusConsole()
{
    textView1->setFocus(Qt::OtherFocusReason);
}

void ViewController::textField1Enter()
{
    sendString1(textField1->text());
}

QString ViewController::consoleSelection() const
{
    // Qt marks a line end inside a selection with U+2029; a selection that
    // runs past it must not put several lines into one command.
    QString s = textView1->textCursor().selectedText();
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (c == u'\r' || c == u'\n' || c == u'\u2028' || c == u'\u2029') {
            s.truncate(i);
            break;
        }
    }
    return s;
}

void ViewController::comboBox1Enter()
{
    checkboxScroll->setChecked(true);
    const QString t = text::trimAll(comboBox1->currentText());
    if (!t.isEmpty())
        applyHistoryTo(comboBox1, t);
    sendString1(t);
    focusConsole();
}

void ViewController::comboBox2Enter()
{
    checkboxScroll->setChecked(true);
    if (!consoleSelection().isEmpty())
        buttonGetLineString_click();
    const QString t = text::trimAll(comboBox2->currentText());
    if (!t.isEmpty()) {
        applyHistoryTo(comboBox2, t);
        sendProgram(t);
    }
    focusConsole();
}

void ViewController::comboBox3Enter()
{
    checkboxScroll->setChecked(true);
    buttonListNext->setEnabled(true);
    const QString selected = consoleSelection();
    if (!selected.isEmpty())
        comboBox3->setEditText(selected);
    QString t = text::trimAll(comboBox3->currentText());
    if (t.isEmpty()) {
        sendString1(QStringLiteral("LIST"));
    } else {
        t = console::listTarget(t);
        comboBox3->setEditText(t);
        applyHistoryTo(comboBox3, t);
        sendString1(QStringLiteral("LIST ") + t + QStringLiteral(" 20"));
    }
    focusConsole();
}

void ViewController::buttonListNext_click()
{
    checkboxScroll->setChecked(true);
    sendString1(QStringLiteral("LIST"));
    focusConsole();
}

void ViewController::buttonRun_click()
{
    if (m_lnk->state().bkpMode()) {
        consoleAppendScroll(QStringLiteral("[BKP] Program is Pausing @ Breakpoint.\r#"));
        return;
    }
    checkboxScroll->setChecked(true);
    consoleReplace(QStringLiteral("RUN"));
    sendString(QStringLiteral("RUN"));
    focusConsole();
}

void ViewController::buttonCtrlA_click()
{
    checkboxScroll->setChecked(true);
    m_lnk->state().setBkpMode(false);
    sendB(QByteArray(1, '\x01'));
    focusConsole();
}

void ViewController::buttonCr_click()
{
    checkboxScroll->setChecked(true);
    sendString(QString());
}

void ViewController::buttonQ_click()
{
    checkboxScroll->setChecked(true);
    sendString(QStringLiteral("Q"));
}

void ViewController::buttonGetLineString_click()
{
    if (QApplication::focusWidget() != textView1) {
        m_dialogs->alert(QStringLiteral("プログラム選択:\r textViewがフォーカスされていません。"));
        return;
    }
    checkboxScroll->setChecked(true);
    // The line where the selection starts: one that runs on into the next
    // line still picks the line it was started on.
    QTextCursor at = textView1->textCursor();
    at.setPosition(at.selectionStart());
    const QString line = at.block().text();
    const auto program = console::programLineFrom(line);
    if (!program) {
        m_dialogs->alert(QStringLiteral(
            "プログラム選択:\r プログラムではありません。\rカーソルをプログラム行に置いてください。"));
        comboBox2->setEditText(QString());
        return;
    }
    comboBox2->setEditText(*program);
    comboBox2->setFocus(Qt::OtherFocusReason);
}

void ViewController::buttonUDErase_click()
{
    comboBox1->clear();
}

void ViewController::ButtonReceive_click()
{
    rcv();
}

void ViewController::flagsChanged(Qt::KeyboardModifiers modifiers)
{
    if (modifiers == Qt::NoModifier) {
        t_KeyFlagsHaveChanged = false;
        return;
    }
    t_KeyCapsLockPressed = false; // Qt reports no Caps Lock state in key events
    t_KeyShiftPressed = modifiers.testFlag(Qt::ShiftModifier);
    t_KeyControlPressed = modifiers.testFlag(Qt::ControlModifier);
    t_KeyOptionPressed = modifiers.testFlag(Qt::AltModifier);
    t_KeyCommandPressed = modifiers.testFlag(Qt::MetaModifier);
    t_KeyFnPressed = modifiers.testFlag(Qt::KeypadModifier);
    t_KeyFlagsHaveChanged = true;
}

bool ViewController::keyDown(QKeyEvent *event)
{
    trace(QString::number(event->key()));
    if (selectTabId != QLatin1String("0") || !isConnected())
        return false;
    // A held key repeats its press: the shortcuts act on the first one only,
    // and not at all while a dialog of theirs is open, so holding Control+L
    // never queues a string of file dialogs or transfers.
    if (event->isAutoRepeat() || QApplication::activeModalWidget())
        return false;
    const bool shift = t_KeyShiftPressed && t_KeyFlagsHaveChanged;
    const bool control = t_KeyControlPressed && t_KeyFlagsHaveChanged;
    const bool hasSelection = !consoleSelection().isEmpty();
    switch (event->key()) {
    case Qt::Key_F2:
        buttonViewTextClear_click();
        break;
    case Qt::Key_F3:
        if (hasSelection)
            userAction([this] { comboBox3Enter(); });
        else
            comboBox3->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F4:
        if (buttonListNext->isEnabled())
            userAction([this] { sendString1(QStringLiteral("LIST")); });
        else
            comboBox3->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F5:
        if (shift) {
            t_KeyShiftPressed = false;
            buttonGetLineString_click();
        } else {
            comboBox2->setFocus(Qt::ShortcutFocusReason);
        }
        break;
    case Qt::Key_F6:
        buttonGetLineString_click();
        break;
    case Qt::Key_F7:
        comboBox1->setFocus(Qt::ShortcutFocusReason);
        break;
    case Qt::Key_F8:
        checkboxScroll->setChecked(!checkboxScroll->isChecked());
        break;
    case Qt::Key_Escape:
        focusConsole();
        break;
    case Qt::Key_BracketRight:
        if (control) {
            userAction([this] { buttonRun_click(); });
            focusConsole();
        }
        break;
    case Qt::Key_Backslash:
        if (control) {
            userAction([this] { buttonCtrlA_click(); });
            focusConsole();
        }
        break;
    case Qt::Key_M:
        if (control) {
            userAction([this] { buttonMonList_click(); });
            focusConsole();
        }
        break;
    case Qt::Key_L:
        if (control) {
            userAction([this] { programLoadHs(); });
            focusConsole();
        }
        break;
    default:
        break;
    }
    return false;
}

void ViewController::wireConsole()
{
    textView1->setReadOnly(true);
    textView1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    textView1->setUndoRedoEnabled(false);
    textView1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    for (QComboBox *box : {comboBox1, comboBox2, comboBox3}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
    }
    const auto act = [this](auto fn) { return [this, fn] { userAction([this, fn] { (this->*fn)(); }); }; };
    QObject::connect(comboBox1->lineEdit(), &QLineEdit::returnPressed, this,
                     act(&ViewController::comboBox1Enter));
    QObject::connect(comboBox2->lineEdit(), &QLineEdit::returnPressed, this,
                     act(&ViewController::comboBox2Enter));
    QObject::connect(comboBox3->lineEdit(), &QLineEdit::returnPressed, this,
                     act(&ViewController::comboBox3Enter));
    QObject::connect(textField1, &QLineEdit::returnPressed, this, act(&ViewController::textField1Enter));
    QObject::connect(buttonSend, &QPushButton::clicked, this, act(&ViewController::comboBox1Enter));
    QObject::connect(buttonProgramExec, &QPushButton::clicked, this, act(&ViewController::comboBox2Enter));
    QObject::connect(buttonList, &QPushButton::clicked, this, act(&ViewController::comboBox3Enter));
    QObject::connect(buttonListNext, &QPushButton::clicked, this, act(&ViewController::buttonListNext_click));
    QObject::connect(buttonRun, &QPushButton::clicked, this, act(&ViewController::buttonRun_click));
    QObject::connect(buttonCtrlA, &QPushButton::clicked, this, act(&ViewController::buttonCtrlA_click));
    QObject::connect(buttonCr, &QPushButton::clicked, this, act(&ViewController::buttonCr_click));
    QObject::connect(buttonQ, &QPushButton::clicked, this, act(&ViewController::buttonQ_click));
    QObject::connect(buttonGetLineString, &QPushButton::clicked, this,
                     [this] { buttonGetLineString_click(); });
    QObject::connect(buttonUDErase, &QPushButton::clicked, this, [this] { buttonUDErase_click(); });
    QObject::connect(ButtonReceive, &QPushButton::clicked, this, [this] { ButtonReceive_click(); });
    QObject::connect(buttonViewTextClear, &QPushButton::clicked, this,
                     [this] { buttonViewTextClear_click(); });
    // The buttons must not take the focus away from the console: picking a
    // program line needs the console's cursor.
    buttonGetLineString->setFocusPolicy(Qt::NoFocus);
    buttonProgramExec->setFocusPolicy(Qt::NoFocus);
    buttonList->setFocusPolicy(Qt::NoFocus);
}

// The console's text and its view.
#include "console/consoleview.h"

#include "console/console.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

namespace console {

ConsoleView::ConsoleView(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

QString ConsoleView::text() const
{
    return m_console;
}

void ConsoleView::renderConsole(bool appendedOnly, qsizetype oldSize)
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
        qsizetype run = document()->lastBlock().length();
        bool fits = true;
        for (const QChar c : delta) {
            run = c == QLatin1Char('\n') ? 0 : run + 1;
            if (run > kMaxShownLine) {
                fits = false;
                break;
            }
        }
        if (fits) {
            QTextCursor c(document());
            c.movePosition(QTextCursor::End);
            c.insertText(delta);
            return;
        }
    }
    setPlainText(viewForm(m_console));
}

void ConsoleView::append(const QString &text)
{
    const qsizetype old = m_console.size();
    m_console += text;
    renderConsole(true, old);
}

void ConsoleView::appendFollow(const QString &text)
{
    // Append, clean up and trim on the text first and draw once: a burst of
    // thousands of lines is never laid out only to be trimmed away.
    const qsizetype old = m_console.size();
    m_console += text;
    const Cleaned c = cleanup(m_console, m_beginConnect);
    if (c.consumedBeginConnect)
        m_beginConnect = false;
    if (c.changed) {
        m_console = c.text;
        renderConsole(false, 0);
    } else {
        renderConsole(true, old);
    }
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
}

void ConsoleView::appendScroll(const QString &text)
{
    append(text);
    if (m_console.count(QLatin1Char('\n')) >= kMaxLines)
        cleanUpKeepingScroll();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void ConsoleView::replace(const QString &text)
{
    m_console = text;
    renderConsole(false, 0);
}

void ConsoleView::cleanUpKeepingScroll()
{
    const Cleaned c = cleanup(m_console, m_beginConnect);
    if (c.consumedBeginConnect)
        m_beginConnect = false;
    if (c.changed) {
        const int scroll = verticalScrollBar()->value();
        replace(c.text);
        verticalScrollBar()->setValue(scroll);
    }
}

QString ConsoleView::selection() const
{
    // Qt marks a line end inside a selection with U+2029; a selection that
    // runs past it must not put several lines into one command.
    QString s = textCursor().selectedText();
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (c == u'\r' || c == u'\n' || c == u'\u2028' || c == u'\u2029') {
            s.truncate(i);
            break;
        }
    }
    return s;
}

} // namespace console

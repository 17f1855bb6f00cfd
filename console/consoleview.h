// The console itself: the text the controller sent, kept as it came (CR
// kept), and the read-only view of it with CR LF and lone CR as line breaks.
#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace link {
class LinkState;
}

namespace console {

class ConsoleView : public QPlainTextEdit
{
    Q_OBJECT

public:
    // The login's doubled prompt is collapsed once, while `state` says a
    // login has just begun.
    explicit ConsoleView(link::LinkState &state, QWidget *parent = nullptr);

    QString text() const;
    void append(const QString &text);
    // Appends, cleans up, trims and follows the end.
    void appendFollow(const QString &text);
    // Appends the monitor's own lines (markers, notes, echoes) and scrolls to
    // the end; they count against the console's length like received ones.
    void appendScroll(const QString &text);
    void replace(const QString &text);
    // Cleans up and trims to the last lines, keeping the scroll position.
    void removeTop1();
    // The selection up to its first line break.
    QString selection() const;

private:
    void renderConsole(bool appendedOnly, qsizetype oldSize);

    link::LinkState &m_state;
    QString m_console;
};

} // namespace console

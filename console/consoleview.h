// The console itself: the text the controller sent, kept as it came (CR
// kept), and the read-only view of it with CR LF and lone CR as line breaks.
#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace console {

class ConsoleView : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit ConsoleView(QWidget *parent = nullptr);

    // A login has just been answered: its doubled prompt is collapsed once.
    void setBeginConnect(bool on) { m_beginConnect = on; }

    QString text() const;
    void append(const QString &text);
    // Appends, cleans up, trims and follows the end.
    void appendFollow(const QString &text);
    // Appends the monitor's own lines (markers, notes, echoes) and scrolls to
    // the end; they count against the console's length like received ones.
    void appendScroll(const QString &text);
    void replace(const QString &text);
    // Cleans up and trims to the last lines, keeping the scroll position.
    void cleanUpKeepingScroll();
    // The selection up to its first line break.
    QString selection() const;

private:
    void renderConsole(bool appendedOnly, qsizetype oldSize);

    bool m_beginConnect = false;
    QString m_console;
};

} // namespace console

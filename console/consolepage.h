// The console tab: the console and its buffer, the command boxes with their
// histories, the console buttons and the keyboard shortcuts. Its side panel
// hosts the transfer and tool buttons; the window wires their clicks to the
// objects that run them.
#pragma once

#include "console/consolesink.h"
#include "ui/page.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <functional>

class Dialogs;
class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class WatchLock;

namespace ui {
class LockedControls;
}

namespace console {

class CommandBox;
class ConsoleView;
class SidePanel;

class ConsolePage : public ui::Page, public ConsoleSink
{
    Q_OBJECT

public:
    // `link`, `dialogs` and `lock` outlive the page. While `lock` is on, the
    // controls that change the machine are off and a typed line goes out
    // only when it just reads.
    ConsolePage(wire::Link &link, Dialogs &dialogs, const WatchLock &lock, QWidget *parent = nullptr);
    ~ConsolePage() override;

    // ---- the console, as other pages and objects reach it -----------------
    // Appends, cleans up, trims and follows the end.
    void consoleAppendFollow(const QString &text) override;
    // Appends the monitor's own lines (markers, notes, echoes) and scrolls to
    // the end; they count against the console's length like received ones.
    void consoleAppendScroll(const QString &text) override;
    void consoleReplace(const QString &text) override;
    // The console's text as the controller sent it (CR kept).
    QString consoleText() const;
    // The console selection up to its first line break: what a selection
    // offers as a breakpoint target, a variable name or a listing start.
    QString consoleSelection() const override;
    void focusConsole() override;
    // A command echoed on the console and sent; a program line is refused,
    // and so is a line that writes while the watch-only lock is on.
    bool echoAndSend(const QString &line) override;
    // A program line stored in the controller, its answer waited for: 0 when
    // answered, -1 for no program line (after an alert), -2 when the
    // controller did not answer.
    QCoro::Task<int> sendProgram(QString line);
    // Received text, shown while the live display is on.
    void receiveDisplay(const QString &chunk) override;
    // Switches the live display on or off.
    void setFollowOutput(bool on);

    // ---- enabling -----------------------------------------------------------
    void setConnected(bool connected);
    // The controls that only make sense at a breakpoint stop.
    void setBreakpointMode(bool stopped);
    void setListNextEnabled(bool enabled);
    void liveDisplayOn() override { setFollowOutput(true); }
    void listNextOff() override { setListNextEnabled(false); }

    // The breakpoint fields and the transfer and tool buttons; their clicks
    // are for the transfers and the tools.
    SidePanel &sidePanel() { return *m_side; }

    // ---- histories, most recent first ---------------------------------------
    enum class History { Commands, ProgramLines, ListStarts };
    QStringList history(History which) const;
    // The stored histories, to pick from; nothing stands in the edit text
    // but the listing start "0".
    void restoreHistories(const QStringList &commands, const QStringList &programLines,
                          const QStringList &listStarts);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupUi();
    void wire();

    bool isCurrentTab() const;

    // Each takes what was typed when Return or its button was pressed: the
    // line waits its turn, and meanwhile the box may hold the next one.
    // `step` runs when its turn on the link comes; one that changes the
    // controller does nothing then if the watch-only lock came on meanwhile
    // (a typed command line is weighed when it goes out).
    enum class Effect { Reads, Changes };
    void queue(std::function<void()> step, Effect effect = Effect::Reads);
    void queueCommand();
    void queueProgramLine();
    void queueListStart();
    QCoro::Task<> onCommandEntered(QString typed);
    // A typed line echoed and sent; a continue or a step in it is waited for,
    // as its button is, so that what is queued next sees the mode its answer
    // left.
    QCoro::Task<> sendTyped(QString line);
    QCoro::Task<> onProgramLineEntered(QString typed);
    void onListStartEntered(const QString &typed);
    void onListNextClicked();
    void onRunClicked();
    void onCtrlAClicked();
    void onCrClicked();
    void onQClicked();
    void pickProgramLine();
    void onClearHistoryClicked();
    void onReceiveClicked();
    void onClearConsoleClicked();

    void onModifiersChanged(Qt::KeyboardModifiers modifiers);
    bool handleShortcutKey(QKeyEvent *event);

    wire::Link &m_link;
    Dialogs &m_dialogs;
    const WatchLock &m_lock;
    ui::LockedControls *m_locked = nullptr;
    // Modifier snapshot, taken only when the modifiers change: Shift+F5
    // clears m_shiftHeld, and F5 pressed again with Shift still held sees
    // it cleared.
    Qt::KeyboardModifiers m_lastModifiers = Qt::NoModifier;
    bool m_shiftHeld = false;
    bool m_controlHeld = false;
    bool m_modifierHeld = false;

    ConsoleView *m_console = nullptr;
    CommandBox *m_commandBox = nullptr;
    CommandBox *m_programLineBox = nullptr;
    CommandBox *m_listStartBox = nullptr;
    QLineEdit *m_quickLineField = nullptr;
    QCheckBox *m_liveOutputBox = nullptr;
    QPushButton *m_buttonSend = nullptr;
    QPushButton *m_buttonEnterLine = nullptr;
    QPushButton *m_buttonList = nullptr;
    QPushButton *m_buttonListNext = nullptr;
    QPushButton *m_buttonRun = nullptr;
    QPushButton *m_buttonCtrlA = nullptr;
    QPushButton *m_buttonCr = nullptr;
    QPushButton *m_buttonQ = nullptr;
    QPushButton *m_buttonPickLine = nullptr;
    QPushButton *m_buttonClearHistory = nullptr;
    QPushButton *m_buttonReceive = nullptr;
    QPushButton *m_buttonClearConsole = nullptr;

    SidePanel *m_side = nullptr;
};

} // namespace console

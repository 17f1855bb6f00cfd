// The axis tab: the pulse generator board, its signal lamps, positions,
// counters and register, the stored-point table, the jog pad, the H outputs,
// teaching and point setting.
#pragma once

#include "axis/axiswidgets.h"
#include "axis/jog.h"
#include "ui/page.h"

#include <QCoroTask>
#include <QString>
#include <optional>

class Dialogs;
class QLabel;
class WatchLock;

namespace axis {

class AxisPage : public ui::Page
{
    Q_OBJECT

public:
    // `link`, `dialogs` and `lock` outlive the page. While `lock` is on,
    // nothing here moves, teaches, sets or switches: only the stop buttons
    // of the jog pad stay.
    AxisPage(wire::Link &link, Dialogs &dialogs, const WatchLock &lock, QWidget *parent = nullptr);

    // The point table, then (with a board chosen) the board selection when
    // due and the signals, positions, register and counters.
    QCoro::Task<> poll(wire::Link &link) override;
    // The positions, then the counters, X, Y, U, Z.
    QList<ui::Plottable> plottables() const override;
    // The next poll selects the board again before reading it: another tab
    // may have selected a different one meanwhile.
    void reselectBoard() { m_reselect = true; }
    // The board this page reads when it polls: chosen, and accepted by the
    // controller when the page last selected it. Nothing for "None", a
    // refused board, or one chosen and not selected yet.
    std::optional<int> acceptedBoard() const { return m_accepted; }

private:
    QCoro::Task<> pgvalueshow();
    // True when the page may read the board: one is chosen and accepted.
    QCoro::Task<bool> checkMpg();
    // Before an action reaches the board: the board chosen since the last
    // selection (or after a change of tab) is selected first, so that the
    // action cannot act on the one selected before. False when refused or
    // unanswered; true at once with no board chosen.
    QCoro::Task<bool> selectChosenBoard();
    QCoro::Task<> pgiocheckCommandSend();
    void pgobjectsEnable(bool stat);
    void showRowPoints(qint64 first);
    bool checkmsg(const QString &command);
    // Asks, then sends the point-set command; nothing when the row is refused.
    void confirmPointSet(const QString &command);
    // Asks `question` now; on Ok, `command` goes to the chosen board when
    // its turn comes.
    void sendConfirmed(const QString &question, const QString &command);
    // Asks, then teaches; false (nothing asked or sent) for a point that
    // holds a second statement.
    bool confirmTeach(const QString &point);

    void onBoardChanged(int index);
    void onBoardActivated();
    void onFirstPointEntered();
    void onStepperChanged(qint64 value);
    void onDisplayTypeClicked();
    void onJogClicked(int axis, JogDirection direction);
    void onHOutputClicked(int output, bool on);
    void onTeachClicked();
    void onTeachPointEntered();
    void onCopyClicked(bool counters);
    void onClearClicked(bool counters);
    void onPositionSetClicked();
    void onPointListSetClicked();

    wire::Link &m_link;
    const WatchLock &m_lock;
    Dialogs &m_dialogs;
    AxisWidgets m_w;
    // The board chosen in the popup; nothing for "None".
    std::optional<int> m_board;
    std::optional<int> m_accepted;
    // The board must be selected on the controller before the next reading.
    bool m_reselect = false;
    // The point shown in the table's first row.
    qint64 m_firstPoint = 1;
};

} // namespace axis

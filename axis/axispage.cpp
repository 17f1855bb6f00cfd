// The axis tab's behaviour: what the poll reads and shows, the board choice,
// and the operator actions of the jog pad, the H outputs and the point rows.
#include "axis/axispage.h"

#include "axis/pointtable.h"
#include "core/dialogs.h"
#include "core/watchlock.h"
#include "link/link.h"
#include "link/sendpath.h"
#include "link/textutil.h"
#include "monitor/axissignals.h"
#include "monitor/banks.h"
#include "monitor/polling.h"
#include "ui/freshness.h"
#include "ui/lockedcontrols.h"
#include "ui/stepper.h"
#include "ui/uihelpers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace axis {

namespace {

// The board popup lists "None" first, then the boards from 0 up.
constexpr int kNoBoardIndex = 0;

std::optional<int> boardAt(int index)
{
    if (index <= kNoBoardIndex)
        return std::nullopt;
    return index - 1;
}

void fill(QComboBox *box, const QStringList &items, const QString &shown = QString())
{
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(items);
    const int at = shown.isEmpty() ? 0 : items.indexOf(shown);
    box->setCurrentIndex(at < 0 ? 0 : at);
}

void showSignal(QLabel *lamp, bool on)
{
    ui::showLamp(lamp, lamp->property("lampName").toString(), on, ui::kGreen);
}

} // namespace

AxisPage::AxisPage(wire::Link &link, Dialogs &dialogs, const WatchLock &lock, QWidget *parent)
    : ui::Page(parent), m_link(link), m_lock(lock), m_dialogs(dialogs), m_w(this)
{
    auto *locked = new ui::LockedControls(lock, this);
    for (const auto &pad : m_w.jog) {
        // Stopping an axis is always at hand.
        locked->add({pad[0], pad[2]});
    }
    for (const auto &output : m_w.hOutput)
        locked->add({output[0], output[1]});
    // Teaching on Return in the point field, as the button does.
    locked->add(
        {m_w.teach, m_w.teachPoint, m_w.clearPositions, m_w.clearCounters, m_w.positionSet, m_w.listSet});

    // The point table starts at point 1.
    m_w.firstPoint->setText(QStringLiteral("1"));
    showRowPoints(m_firstPoint);
    // Past the last first point the rows would not move.
    m_w.firstPointStepper->setRange(std::numeric_limits<qint64>::min(),
                                    std::numeric_limits<qint64>::max() - (kTableRows - 1));
    m_w.firstPointStepper->setValue(1);

    fill(m_w.board, monitor::boardTitles());
    m_board = boardAt(m_w.board->currentIndex());
    fill(m_w.acceleration, monitor::accelerationTitles(), monitor::kDefaultAcceleration);
    fill(m_w.pulses, monitor::pulseTitles(), monitor::kDefaultPulse);
    fill(m_w.registerChoice, monitor::registerTitles());
    for (int a = 0; a < 4; ++a) {
        m_w.position[a]->setText(QStringLiteral("0"));
        m_w.counter[a]->setText(QStringLiteral("0"));
        m_w.setData[a]->setText(QStringLiteral("0"));
    }
    m_w.setPoint->setText(QStringLiteral("0"));
    pgobjectsEnable(false);

    // The board is typed state, whoever sets the popup; only the user's own
    // choice asks for a new selection (a refused board falling back to
    // "None" must not).
    connect(m_w.board, &QComboBox::currentIndexChanged, this, &AxisPage::onBoardChanged);
    connect(m_w.board, &QComboBox::activated, this, &AxisPage::onBoardActivated);
    // Another register's value is not this one's: nothing shows until it is read.
    connect(m_w.registerChoice, &QComboBox::currentIndexChanged, m_w.registerValue, &QLabel::clear);

    // The stepper acts on its arrows and on a typed value once it is
    // committed, not on every keystroke.
    m_w.firstPointStepper->setKeyboardTracking(false);
    connect(m_w.firstPointStepper, &ui::Stepper::valueChanged, this, &AxisPage::onStepperChanged);
    connect(m_w.firstPoint, &QLineEdit::returnPressed, this, &AxisPage::onFirstPointEntered);
    connect(m_w.teachPoint, &QLineEdit::returnPressed, this, &AxisPage::onTeachPointEntered);
    // A field being typed into shows red until Return takes it; text the
    // program sets is no edit.
    for (QLineEdit *e : {m_w.firstPoint, m_w.teachPoint})
        connect(e, &QLineEdit::textEdited, this, [e] { ui::setTextColor(e, ui::kRed); });
    for (QRadioButton *r : {m_w.decimal, m_w.hexadecimal})
        connect(r, &QRadioButton::clicked, this, &AxisPage::onDisplayTypeClicked);

    const JogDirection directions[] = {JogDirection::Minus, JogDirection::Stop, JogDirection::Plus};
    for (int a = 0; a < kJogAxes; ++a) {
        for (int d = 0; d < 3; ++d) {
            const JogDirection direction = directions[d];
            connect(m_w.jog[a][d], &QPushButton::clicked, this,
                    [this, a, direction] { onJogClicked(a, direction); });
        }
    }
    for (int n = 0; n < 4; ++n) {
        connect(m_w.hOutput[n][0], &QPushButton::clicked, this, [this, n] { onHOutputClicked(n, true); });
        connect(m_w.hOutput[n][1], &QPushButton::clicked, this, [this, n] { onHOutputClicked(n, false); });
    }
    connect(m_w.teach, &QPushButton::clicked, this, &AxisPage::onTeachClicked);
    connect(m_w.copyPositions, &QPushButton::clicked, this, [this] { onCopyClicked(false); });
    connect(m_w.copyCounters, &QPushButton::clicked, this, [this] { onCopyClicked(true); });
    connect(m_w.clearPositions, &QPushButton::clicked, this, [this] { onClearClicked(false); });
    connect(m_w.clearCounters, &QPushButton::clicked, this, [this] { onClearClicked(true); });
    connect(m_w.positionSet, &QPushButton::clicked, this, &AxisPage::onPositionSetClicked);
    connect(m_w.listSet, &QPushButton::clicked, this, &AxisPage::onPointListSetClicked);
}

// ---------------------------------------------------------------- reading

QCoro::Task<> AxisPage::poll(wire::Link &)
{
    co_await pgvalueshow();
    const bool boardReady = co_await checkMpg();
    if (boardReady)
        co_await pgiocheckCommandSend();
}

QCoro::Task<> AxisPage::pgvalueshow()
{
    const QString query = pointQuery(rowPointNumbers(m_firstPoint));
    const std::optional<QString> reply = co_await m_link.exchange(query);
    // Rows moved to other points meanwhile show nothing of the old ones.
    if (!reply || pointQuery(rowPointNumbers(m_firstPoint)) != query)
        co_return;

    const auto fields = tableDisplay(*reply, m_w.hexadecimal->isChecked());
    for (int k = 0; k < kTableFields; ++k) {
        if (fields[k]) {
            QLineEdit *cell = m_w.pointData[k / kAxisCount][k % kAxisCount];
            cell->setText(*fields[k]);
            ui::Freshness::confirm({cell});
        }
    }
}

QCoro::Task<bool> AxisPage::checkMpg()
{
    if (!m_board) {
        pgobjectsEnable(false);
        co_return false;
    }
    if (!m_reselect)
        co_return true;
    const QString board = QString::number(*m_board);
    const std::optional<QString> answered = co_await m_link.exchange(monitor::mpgCommand(board));
    if (!answered)
        co_return false; // m_reselect stays set: the next axis tick tries again
    const QString reply = *answered;
    if (!monitor::boardRefused(reply)) {
        m_accepted = m_board;
        pgobjectsEnable(true);
        wire::trace(QStringLiteral("MPG ReSelected"));
        m_reselect = false;
        co_return true;
    }
    // The alert opens once the tick is over: a modal box must not hold the
    // exchange slot.
    alertAfterAction(this, m_dialogs, monitor::mpgRefusalText(board, reply));
    // m_reselect stays set, so the board the user picks next is sent. One
    // picked while this board was being refused is that board already.
    if (m_board && QString::number(*m_board) == board) {
        m_board.reset();
        m_w.board->setCurrentIndex(kNoBoardIndex);
    }
    co_return false;
}

QCoro::Task<bool> AxisPage::selectChosenBoard()
{
    // Without a board the command goes to the one the controller has.
    if (!m_board)
        co_return true;
    const bool selected = co_await checkMpg();
    co_return selected;
}

QCoro::Task<> AxisPage::pgiocheckCommandSend()
{
    // A reply cut short by a failed wait still shows what of it parses.
    const QString registerExpression = m_w.registerChoice->currentText();
    const QString command = monitor::axisQuery(registerExpression);
    const std::optional<int> board = m_board;
    const std::optional<QString> answered = co_await m_link.exchange(command);
    const QString reply = answered ? *answered : m_link.replySoFar();
    emit replyRead(command, reply);
    // A board chosen meanwhile: this reading is the last one's.
    if (m_board != board)
        co_return;
    const monitor::AxisReading r = monitor::parseAxisReply(reply);
    // Lamp arrays are in the signal words' axis order X, Y, Z, U.
    if (r.lmt) {
        for (int a = 0; a < 4; ++a) {
            showSignal(m_w.plusLimit[a], monitor::signalOn(*r.lmt, a, monitor::kLmtBits[0]));
            showSignal(m_w.minusLimit[a], monitor::signalOn(*r.lmt, a, monitor::kLmtBits[1]));
            showSignal(m_w.alarm[a], monitor::signalOn(*r.lmt, a, monitor::kLmtBits[2]));
            ui::Freshness::confirm({m_w.plusLimit[a], m_w.minusLimit[a], m_w.alarm[a]});
        }
    }
    if (r.hpt) {
        for (int a = 0; a < 4; ++a) {
            showSignal(m_w.in0[a], monitor::signalOn(*r.hpt, a, monitor::kHptBits[0]));
            showSignal(m_w.in1[a], monitor::signalOn(*r.hpt, a, monitor::kHptBits[1]));
            showSignal(m_w.in3[a], monitor::signalOn(*r.hpt, a, monitor::kHptBits[2]));
            showSignal(m_w.inPosition[a], monitor::signalOn(*r.hpt, a, monitor::kHptBits[3]));
            ui::Freshness::confirm({m_w.in0[a], m_w.in1[a], m_w.in3[a], m_w.inPosition[a]});
        }
    }
    if (r.hasValues) {
        // Position and counter arrays are in the order X, Y, U, Z, as the reply.
        for (size_t a = 0; a < 4; ++a)
            m_w.position[a]->setText(r.positions[a]);
        // A register chosen while this one was read shows nothing of it.
        if (m_w.registerChoice->currentText() == registerExpression) {
            m_w.registerValue->setText(r.registerText);
            ui::Freshness::confirm({m_w.registerValue});
        }
        for (size_t a = 0; a < 4; ++a)
            m_w.counter[a]->setText(r.counters[a]);
        ui::Freshness::confirm(m_w.position);
        ui::Freshness::confirm(m_w.counter);
    }
}

void AxisPage::pgobjectsEnable(bool stat)
{
    m_w.signalBox->setVisible(stat);
    m_w.positionBox->setVisible(stat);
}

// ---------------------------------------------------------------- point table

void AxisPage::showRowPoints(qint64 first)
{
    // Other points: what the rows showed is not theirs.
    if (first != m_firstPoint) {
        for (const auto &row : m_w.pointData) {
            for (QLineEdit *cell : row)
                cell->clear();
        }
    }
    m_firstPoint = first;
    const auto numbers = rowPointNumbers(first);
    for (size_t r = 0; r < numbers.size(); ++r)
        m_w.rowPoint[r]->setText(numbers[r]);
}

void AxisPage::onFirstPointEntered()
{
    ui::setTextColor(m_w.firstPoint, ui::kBlack);
    const qint64 first = firstPointFromText(m_w.firstPoint->text());
    showRowPoints(first);
    m_w.firstPointStepper->follow(first);
}

void AxisPage::onStepperChanged(qint64 value)
{
    showRowPoints(value);
}

void AxisPage::onDisplayTypeClicked()
{
    wire::trace(m_w.decimal->isChecked() ? QStringLiteral("Dec") : QStringLiteral("Hex"));
}

// ---------------------------------------------------------------- board

void AxisPage::onBoardChanged(int index)
{
    const std::optional<int> board = boardAt(index);
    if (board != m_board) {
        // Another board's positions, register and counters are not this
        // one's: nothing shows (nor is copied) until this board is read.
        for (size_t a = 0; a < 4; ++a) {
            m_w.position[a]->clear();
            m_w.counter[a]->clear();
        }
        m_w.registerValue->clear();
    }
    m_board = board;
    if (m_board != m_accepted)
        m_accepted.reset();
}

void AxisPage::onBoardActivated()
{
    // Deferred like a send: a board selection in flight must not clear the
    // flag that this choice sets.
    m_link.enqueue([this]() -> QCoro::Task<> {
        m_reselect = true;
        co_return;
    });
}

// ---------------------------------------------------------------- actions
//
// Without a board every button of the pad and the point rows is ignored.
// Everything is read at the moment of the click, even when the action has
// to wait for a pending exchange.

void AxisPage::onJogClicked(int axis, JogDirection direction)
{
    if (!m_board)
        return;
    const QStringList commands =
        jogCommands(axis, direction, m_w.pulses->currentText(), m_w.acceleration->currentText());
    // One action: the acceleration is answered before the move goes out,
    // and no poll exchange can come in between. A stop goes out whatever
    // the lock says; a move queued before the lock came on does not. A board
    // chosen meanwhile is selected first; a stop goes out even when that
    // board is refused (it stops the board the controller still has).
    const bool stop = direction == JogDirection::Stop;
    wire::Link::Action jog = [this, commands, stop]() -> QCoro::Task<> {
        const bool selected = co_await selectChosenBoard();
        if (!selected && !stop)
            co_return;
        for (const QString &c : commands)
            co_await m_link.exchange(c);
    };
    m_link.enqueue(stop ? std::move(jog) : wire::unlessLocked(m_lock, std::move(jog)));
}

void AxisPage::onHOutputClicked(int output, bool on)
{
    m_link.enqueue(wire::unlessLocked(m_lock, [this, output, on]() -> QCoro::Task<> {
        if (!m_board)
            co_return;
        const bool selected = co_await selectChosenBoard();
        if (selected)
            co_await m_link.exchange(hOutputCommand(output, on));
    }));
}

bool AxisPage::confirmTeach(const QString &point)
{
    // The point goes into the command as typed, but a ":" in it would begin
    // a statement of its own: such a point is not taught.
    if (!text::isOneOperand(point))
        return false;
    sendConfirmed(teachMessage(point), teachCommand(point));
    return true;
}

void AxisPage::onTeachClicked()
{
    if (m_board)
        confirmTeach(m_w.teachPoint->text());
}

void AxisPage::onTeachPointEntered()
{
    // Teaching on Return does not look at the board. A point not taken
    // stays marked as not entered.
    if (confirmTeach(m_w.teachPoint->text()))
        ui::setTextColor(m_w.teachPoint, ui::kBlack);
}

void AxisPage::onCopyClicked(bool counters)
{
    if (!m_board)
        return;
    std::array<QString, kAxisCount> values;
    for (size_t a = 0; a < values.size(); ++a)
        values[a] = (counters ? m_w.counter[a] : m_w.position[a])->text();
    m_link.enqueue([this, counters, values]() -> QCoro::Task<> {
        m_w.setPoint->setText(counters ? kCounterPoint : kCurrentPositionPoint);
        for (size_t a = 0; a < values.size(); ++a)
            m_w.setData[a]->setText(values[a]);
        m_w.setData[0]->setFocus();
        co_return;
    });
}

void AxisPage::onClearClicked(bool counters)
{
    if (!m_board)
        return;
    sendConfirmed(counters ? kClearCountersMessage : kClearPositionsMessage,
                  counters ? kClearCountersCommand : kClearPositionsCommand);
}

bool AxisPage::checkmsg(const QString &command)
{
    if (wire::argumentsAreNumbers(command))
        return true;
    m_dialogs.alert(command + QStringLiteral("\n不正な内容です。"), QString(), Dialogs::Style::Critical);
    return false;
}

void AxisPage::confirmPointSet(const QString &command)
{
    if (m_lock.locked() || !checkmsg(command))
        return;
    sendConfirmed(executeMessage(command), command);
}

void AxisPage::sendConfirmed(const QString &question, const QString &command)
{
    // Asked at the click, not when the action's turn comes: a dialog open
    // while an action holds the link would stop the page's reads for as long
    // as the user takes. Under the lock nothing is asked and nothing goes:
    // an action queued unasked would go out unconfirmed if the lock came off
    // before its turn. The lock still decides when the turn comes.
    if (m_lock.locked() || !m_dialogs.confirm(question))
        return;
    m_link.enqueue(wire::unlessLocked(m_lock, [this, command]() -> QCoro::Task<> {
        const bool selected = co_await selectChosenBoard();
        if (selected)
            co_await m_link.exchange(command);
    }));
}

void AxisPage::onPositionSetClicked()
{
    if (!m_board)
        return;
    const auto &d = m_w.setData;
    confirmPointSet(
        pointSetCommand(m_w.setPoint->text(), d[0]->text(), d[1]->text(), d[2]->text(), d[3]->text()));
}

void AxisPage::onPointListSetClicked()
{
    const auto &d = m_w.listData;
    confirmPointSet(
        pointSetCommand(m_w.listPoint->text(), d[0]->text(), d[1]->text(), d[2]->text(), d[3]->text()));
}

QList<ui::Plottable> AxisPage::plottables() const
{
    QList<ui::Plottable> out;
    for (const bool counter : {false, true}) {
        for (int a = 0; a < 4; ++a) {
            QLabel *value = (counter ? m_w.counter : m_w.position)[static_cast<size_t>(a)];
            out.append({QStringLiteral("Axis"), value, [counter, a]() -> std::optional<ui::PlotProbe> {
                            return monitor::axisProbe(counter, a);
                        }});
        }
    }
    return out;
}

} // namespace axis

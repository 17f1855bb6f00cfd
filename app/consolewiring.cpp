// The console tab's side panel and shortcuts ask the window for transfers
// and debug tools; each request waits for the exchange slot like a click.
#include "app/mainwindow.h"
#include "console/consolepage.h"
#include "console/sidepanel.h"
#include "core/watchlock.h"
#include "link/link.h"
#include "tools/debugtools.h"
#include "transfer/backups.h"
#include "transfer/transfers.h"

#include <QLineEdit>
#include <functional>
#include <tuple>
#include <utility>

void MainWindow::wireConsole()
{
    m_transfers->setConsole(*m_consolePage);
    m_debugTools->setConsole(*m_consolePage);
    connect(m_transfers, &transfer::Transfers::status, m_bar.status, &QLineEdit::setText);
    connect(m_backups, &transfer::Backups::status, m_bar.status, &QLineEdit::setText);
    using Panel = console::SidePanel;
    Panel *panel = &m_consolePage->sidePanel();
    tools::DebugTools *tools = m_debugTools;
    // The side panel's and the shortcuts' requests, each waiting for the
    // exchange slot like a click on a button of this window.
    using Op = std::function<QCoro::Task<>()>;
    // A breakpoint line goes out, and its answer is waited for: the next
    // action in the queue sees the breakpoint mode the answer left.
    const auto answered = [tools](std::function<void()> send) -> Op {
        return [send, tools] {
            send();
            return tools->breakpointAnswer();
        };
    };
    // What changes the machine sends nothing when its turn comes with the
    // watch-only lock on.
    const auto change = [lock = m_watchLock](Op op) { return wire::unlessLocked(*lock, std::move(op)); };
    using transfer::Kind;
    using T = transfer::Transfers;
    const std::tuple<void (Panel::*)(), Kind, Transfer, Direction> files[] = {
        {&Panel::programLoadRequested, Kind::Program, &T::programLoadHs, Direction::Load},
        {&Panel::programSaveRequested, Kind::Program, &T::programSave, Direction::Save},
        {&Panel::pointLoadRequested, Kind::Point, &T::pointLoad, Direction::Load},
        {&Panel::pointSaveRequested, Kind::Point, &T::pointSave, Direction::Save},
        {&Panel::mbkLoadRequested, Kind::Mbk, &T::mbkLoad, Direction::Load},
        {&Panel::mbkSaveRequested, Kind::Mbk, &T::mbkSave, Direction::Save},
    };
    for (const auto &[request, kind, start, direction] : files)
        connect(panel, request, this, [this, kind = kind, start = start, direction = direction] {
            requestTransfer(kind, start, direction);
        });
    const std::pair<void (Panel::*)(), Op> requests[] = {
        {&Panel::clockCheckRequested, [tools] { return tools->clockCheck(); }},
        {&Panel::clockSetRequested, change([tools] { return tools->clockAdjust(); })},
        {&Panel::monitorRequested, [tools] { return tools->monitor(); }},
        {&Panel::monitorListRequested, [tools] { return tools->monitorListing(); }},
        {&Panel::breakpointListRequested, answered([tools] { tools->breakpointList(); })},
        {&Panel::breakpointClearAllRequested, change(answered([tools] { tools->breakpointClearAll(); }))},
        {&Panel::breakpointContinueRequested, change(answered([tools] { tools->breakpointContinue(); }))},
        {&Panel::breakpointStepRequested, change(answered([tools] { tools->breakpointTrace(); }))},
    };
    for (const auto &[request, op] : requests)
        connect(panel, request, this, [this, op = op] { m_link->enqueue(op); });
    // The breakpoint fields are read at the press, as the console's boxes are; the cleaned
    // text shown afterwards replaces the field only while it still holds what was sent.
    connect(panel, &Panel::breakpointAddDelRequested, this, [this, change, answered, tools, panel] {
        const QString typed = panel->breakpointTarget();
        m_link->enqueue(change(answered([tools, panel, typed] {
            const QString shown = tools->breakpointAddDelete(typed);
            if (shown != typed && panel->breakpointTarget() == typed)
                panel->setBreakpointTarget(shown);
        })));
    });
    connect(panel, &Panel::breakpointVariableRequested, this, [this, answered, tools, panel] {
        const QString typed = panel->breakpointVariable();
        m_link->enqueue(answered([tools, panel, typed] {
            const QString shown = tools->breakpointVariable(typed);
            if (shown != typed && panel->breakpointVariable() == typed)
                panel->setBreakpointVariable(shown);
        }));
    });
}

// The file is chosen at the click, not when the transfer's turn comes: a
// dialog standing open inside a link action stops the tabs' reads for as long
// as the user takes, and behind a running transfer it would open only when
// that one ended. A cancelled choice queues nothing. A load changes the
// controller: under the watch-only lock it asks nothing and is held back at
// its turn, as every change is.
void MainWindow::requestTransfer(transfer::Kind kind, Transfer start, Direction direction)
{
    transfer::Transfers *transfers = m_transfers;
    const bool load = direction == Direction::Load;
    QString path;
    if (!load || !m_watchLock->locked()) {
        path = load ? transfers->chooseLoadFile(kind) : transfers->chooseSaveFile(kind);
        if (path.isEmpty())
            return;
    }
    wire::Link::Action run = [transfers, start, path] { return (transfers->*start)(path); };
    m_link->enqueue(load ? wire::unlessLocked(*m_watchLock, std::move(run)) : std::move(run));
}

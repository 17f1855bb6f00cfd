// The program store: numbered program lines with their labels, the
// breakpoints, the 64 tasks' states, the LIST cursor, load mode and the blocks
// waiting for MMC_LOAD. It keeps and edits; ProgramRunner executes.
#pragma once

#include "sim/error.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <QHash>

#include <array>
#include <set>

namespace sim {

class ProgramStore
{
public:
    static constexpr int kTasks = 64;
    static constexpr qint64 kStepMs = 10; // one program line per task
    static constexpr int kMaxBreakpoints = 256;

    enum class TaskState { Stopped = 0, Running = 1, Break = 3 };
    struct Task
    {
        TaskState state = TaskState::Stopped;
        qint64 line = 0;
        qint64 nextAt = 0;
        bool skipBreak = false;
        bool everRun = false;
    };

    // now: the machine's time in ms, when a task is due to run its next line.
    explicit ProgramStore(const qint64 &now);

    // --- lines ------------------------------------------------------------
    const QMap<qint64, QString> &lines() const { return m_lines; }
    // "n text" stores line n ("n" alone deletes it); in load mode a line
    // without a number goes after the last one. Refused past the memory's size.
    Err store(const QString &line, bool loadMode);
    void clear();    // NEW: no program, no breakpoints, no task running
    void renumber(); // RENUM: 10, 20, ... with GOTO targets, breakpoints and tasks following
    qint64 findLabel(const QString &label) const;                 // -1 when there is none
    Err resolveTarget(const QString &target, qint64 &line) const; // a number or a *label

    // --- LIST -------------------------------------------------------------
    // "n<TAB>text" for up to count lines (0: all) from start on; a bare LIST
    // continues where the last one stopped, with the same count.
    QStringList listFrom(qint64 start, qint64 count);
    QStringList listOn();
    void resetListing();

    // --- breakpoints ------------------------------------------------------
    const QStringList &breakpoints() const { return m_breakpoints; }
    bool hasBreakpoint(qint64 line) const;
    bool toggleBreakpoint(const QString &key); // true when it was added
    void clearBreakpoints();

    // --- tasks ------------------------------------------------------------
    Task &task(int n) { return m_tasks[static_cast<size_t>(n)]; }
    TaskState taskState(int n) const; // Stopped when out of range
    qint64 taskLine(int n) const;
    bool atBreakpoint() const;
    int taskAtBreak() const; // -1 when none
    void startTask(int n, qint64 line);
    void stopAllTasks();
    void resumeFromBreak();     // every task at a breakpoint runs on, past it
    qint64 nextTaskDue() const; // the largest qint64 when no task runs

    // --- load mode and blocks ---------------------------------------------
    bool loadMode() const { return m_loadMode; }
    void setLoadMode(bool on) { m_loadMode = on; }
    const QByteArray &blocks() const { return m_blocks; }
    Err appendBlock(const QByteArray &bytes); // refuses past the memory's size
    QByteArray takeBlocks();
    // The attention byte: tasks stop, load mode ends, the blocks and the
    // LIST cursor are dropped.
    void interrupt();

private:
    static bool validStatementText(const QString &text);
    static QString labelOf(const QString &text); // "*NAME" in upper case, or empty
    // Every change to m_lines goes through these, which keep the index and size.
    void putLine(qint64 n, const QString &text);
    void removeLine(qint64 n);

    const qint64 &m_now;
    QMap<qint64, QString> m_lines;
    qsizetype m_textSize = 0; // characters in m_lines, for the memory's size
    // The lines of each label: a task's every step looks its breakpoints up,
    // which must not mean reading the whole program each time.
    QHash<QString, std::set<qint64>> m_labels;
    QStringList m_breakpoints;
    std::array<Task, kTasks> m_tasks;
    qint64 m_listNext = -1; // where a bare LIST continues (-1: from the top)
    qint64 m_listCount = 20;
    bool m_loadMode = false;
    QByteArray m_blocks;
};

} // namespace sim

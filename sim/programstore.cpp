// Keeping and editing the program, the breakpoints and the tasks' states.
#include "sim/programstore.h"

#include "sim/syntax.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace sim {

using namespace syntax;

namespace {

constexpr qint64 kMaxLineNumber = 9999999;
constexpr qint64 kListDone = std::numeric_limits<qint64>::max();
constexpr int kBlocksCap = 16 * 1024 * 1024;
constexpr qsizetype kProgramCap = 16 * 1024 * 1024; // characters of program text

} // namespace

ProgramStore::ProgramStore(const qint64 &now) : m_now(now) {}

// ---------------------------------------------------------------------------
// Lines

bool ProgramStore::validStatementText(const QString &text)
{
    if (text.isEmpty() || text.count(QLatin1Char('"')) % 2 != 0)
        return false;
    const QChar c = text.at(0);
    return c.isLetter() || c == QLatin1Char('*') || c == QLatin1Char('\'');
}

Err ProgramStore::store(const QString &line, bool loadMode)
{
    const QString first = firstWord(line);
    qint64 n = 0;
    QString text;
    if (parseInteger(first, n)) {
        if (n < 1 || n > kMaxLineNumber)
            return Err::Range;
        text = line.mid(first.size()).trimmed();
        if (text.isEmpty()) {
            removeLine(n);
            return Err::None;
        }
    } else if (loadMode) {
        n = m_lines.isEmpty() ? 10 : m_lines.lastKey() + 10;
        if (n > kMaxLineNumber)
            return Err::Range;
        text = line;
    } else {
        return Err::Syntax;
    }
    if (!validStatementText(text))
        return Err::Syntax;
    const qsizetype size = m_textSize - m_lines.value(n).size() + text.size();
    if (size > kProgramCap)
        return Err::Memory;
    putLine(n, text);
    return Err::None;
}

QString ProgramStore::labelOf(const QString &textIn)
{
    const QString text = textIn.trimmed();
    if (!text.startsWith(QLatin1Char('*')))
        return QString();
    int end = 1;
    while (end < text.size() && !text.at(end).isSpace() && text.at(end) != QLatin1Char(':'))
        ++end;
    return text.left(end).toUpper();
}

void ProgramStore::putLine(qint64 n, const QString &text)
{
    removeLine(n);
    m_lines.insert(n, text);
    m_textSize += text.size();
    const QString label = labelOf(text);
    if (!label.isEmpty())
        m_labels[label].insert(n);
}

void ProgramStore::removeLine(qint64 n)
{
    const auto it = m_lines.constFind(n);
    if (it == m_lines.constEnd())
        return;
    m_textSize -= it->size();
    const QString label = labelOf(*it);
    if (!label.isEmpty()) {
        auto &lines = m_labels[label];
        lines.erase(n);
        if (lines.empty())
            m_labels.remove(label);
    }
    m_lines.erase(it);
}

void ProgramStore::clear()
{
    stopAllTasks();
    m_lines.clear();
    m_textSize = 0;
    m_labels.clear();
    m_breakpoints.clear();
    m_listNext = -1;
}

void ProgramStore::renumber()
{
    QMap<qint64, qint64> map;
    qint64 next = 10;
    for (auto it = m_lines.constBegin(); it != m_lines.constEnd(); ++it, next += 10)
        map.insert(it.key(), next);
    static const QRegularExpression gotoRef(QStringLiteral("\\b(GOTO\\s+)(\\d+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    QMap<qint64, QString> renumbered;
    for (auto it = m_lines.constBegin(); it != m_lines.constEnd(); ++it) {
        QString text = it.value();
        QString result;
        qsizetype last = 0;
        qsizetype scanned = 0;
        bool quoted = false;
        auto matches = gotoRef.globalMatch(text);
        while (matches.hasNext()) {
            const auto m = matches.next();
            // Quoted text is the program's data, not a jump.
            for (; scanned < m.capturedStart(0); ++scanned)
                quoted ^= text.at(scanned) == QLatin1Char('"');
            if (quoted)
                continue;
            const qint64 old = m.captured(2).toLongLong();
            result += text.mid(last, m.capturedStart(0) - last) + m.captured(1);
            result += map.contains(old) ? QString::number(map.value(old)) : m.captured(2);
            last = m.capturedEnd(0);
        }
        result += text.mid(last);
        renumbered.insert(map.value(it.key()), result);
    }
    for (QString &bp : m_breakpoints) {
        if (!bp.startsWith(QLatin1Char('*')) && map.contains(bp.toLongLong()))
            bp = QString::number(map.value(bp.toLongLong()));
    }
    for (Task &t : m_tasks) {
        const auto it = map.lowerBound(t.line);
        t.line = it != map.constEnd() ? it.value() : next;
    }
    m_lines.clear();
    m_textSize = 0;
    m_labels.clear();
    for (auto it = renumbered.constBegin(); it != renumbered.constEnd(); ++it)
        putLine(it.key(), it.value());
    m_listNext = -1;
}

qint64 ProgramStore::findLabel(const QString &label) const
{
    const auto it = m_labels.constFind(label.trimmed().toUpper());
    return it == m_labels.constEnd() ? -1 : *it->begin();
}

Err ProgramStore::resolveTarget(const QString &targetIn, qint64 &line) const
{
    const QString target = targetIn.trimmed();
    if (target.startsWith(QLatin1Char('*'))) {
        line = findLabel(target);
        return line < 0 ? Err::NoLine : Err::None;
    }
    if (!parseInteger(target, line))
        return Err::Syntax;
    return m_lines.contains(line) ? Err::None : Err::NoLine;
}

bool ProgramStore::hasBreakpoint(qint64 line) const
{
    for (const QString &bp : m_breakpoints) {
        if (bp.startsWith(QLatin1Char('*'))) {
            if (findLabel(bp) == line)
                return true;
        } else if (bp.toLongLong() == line) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// LIST

QStringList ProgramStore::listFrom(qint64 start, qint64 count)
{
    QStringList out;
    auto it = m_lines.lowerBound(start);
    for (qint64 printed = 0; it != m_lines.constEnd() && (count == 0 || printed < count); ++it, ++printed)
        out << QString::number(it.key()) + QLatin1Char('\t') + it.value();
    m_listNext = it == m_lines.constEnd() ? kListDone : it.key();
    m_listCount = count;
    return out;
}

QStringList ProgramStore::listOn()
{
    if (m_listNext == kListDone)
        return {};
    return listFrom(m_listNext < 0 ? 0 : m_listNext, m_listCount);
}

void ProgramStore::resetListing()
{
    m_listNext = -1;
}

// ---------------------------------------------------------------------------
// Breakpoints

bool ProgramStore::toggleBreakpoint(const QString &key)
{
    if (m_breakpoints.removeAll(key) > 0)
        return false;
    m_breakpoints << key;
    return true;
}

void ProgramStore::clearBreakpoints()
{
    m_breakpoints.clear();
}

// ---------------------------------------------------------------------------
// Tasks

bool ProgramStore::atBreakpoint() const
{
    return taskAtBreak() >= 0;
}

int ProgramStore::taskAtBreak() const
{
    const auto found = std::find_if(m_tasks.begin(), m_tasks.end(),
                                    [](const Task &t) { return t.state == TaskState::Break; });
    return found == m_tasks.end() ? -1 : static_cast<int>(found - m_tasks.begin());
}

ProgramStore::TaskState ProgramStore::taskState(int n) const
{
    return n >= 0 && n < kTasks ? m_tasks[static_cast<size_t>(n)].state : TaskState::Stopped;
}

qint64 ProgramStore::taskLine(int n) const
{
    return n >= 0 && n < kTasks ? m_tasks[static_cast<size_t>(n)].line : 0;
}

void ProgramStore::startTask(int n, qint64 line)
{
    Task &t = m_tasks[static_cast<size_t>(n)];
    t.state = TaskState::Running;
    t.line = line;
    t.nextAt = m_now + kStepMs;
    t.skipBreak = false;
    t.everRun = true;
}

void ProgramStore::stopAllTasks()
{
    for (Task &t : m_tasks)
        t.state = TaskState::Stopped;
}

void ProgramStore::resumeFromBreak()
{
    for (Task &t : m_tasks) {
        if (t.state != TaskState::Break)
            continue;
        t.state = TaskState::Running;
        t.skipBreak = true;
        t.nextAt = m_now + kStepMs;
    }
}

qint64 ProgramStore::nextTaskDue() const
{
    qint64 next = std::numeric_limits<qint64>::max();
    for (const Task &t : m_tasks) {
        if (t.state == TaskState::Running)
            next = std::min(next, t.nextAt);
    }
    return next;
}

// ---------------------------------------------------------------------------
// Load mode and blocks

Err ProgramStore::appendBlock(const QByteArray &bytes)
{
    if (m_blocks.size() + bytes.size() > kBlocksCap)
        return Err::Memory;
    m_blocks += bytes;
    return Err::None;
}

QByteArray ProgramStore::takeBlocks()
{
    QByteArray b;
    b.swap(m_blocks);
    return b;
}

void ProgramStore::interrupt()
{
    stopAllTasks();
    m_listNext = -1;
    m_blocks.clear();
    // A load that was cut short must not leave the next commands being stored
    // as program lines.
    m_loadMode = false;
}

} // namespace sim

#include "console/console.h"

#include "link/textutil.h"

#include <QRegularExpression>

#include <algorithm>

namespace console {

namespace {

// The command words that only read, in the controller's dialect: print (PR,
// and P for a variable), list the program (LIST), the points (PLS) and the
// memory blocks (S_MBK), show the tasks (MON) and leave a listing (Q). BKP
// alone lists the breakpoints; with an operand it adds, deletes or clears
// them, so that form is not here. Every other word may write: it assigns,
// forces, moves, loads, runs or sets.
const QStringList kReadOnlyWords = {QStringLiteral("PR"),  QStringLiteral("P"),     QStringLiteral("LIST"),
                                    QStringLiteral("PLS"), QStringLiteral("S_MBK"), QStringLiteral("MON"),
                                    QStringLiteral("Q")};
const QString kListBreakpoints = QStringLiteral("BKP");

bool readOnlyStatement(const QString &statement)
{
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    const QStringList words = statement.trimmed().split(blanks, Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    const QString first = words.first().toUpper();
    // "Q = 7" assigns to a variable that is named like a reading word.
    if (words.size() > 1 && words.at(1).startsWith(QLatin1Char('=')))
        return false;
    if (first == kListBreakpoints)
        return words.size() == 1;
    return kReadOnlyWords.contains(first);
}

// The statements of a line, split at every ":" outside quotes; `closed`
// tells whether the last quote was closed.
QStringList statementsOf(const QString &line, bool *closed)
{
    QStringList statements(1);
    bool quoted = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char(':'))
            statements.append(QString());
        else
            statements.last() += c;
    }
    *closed = !quoted;
    return statements;
}

} // namespace

bool readOnlyLine(const QString &line)
{
    // After a line break the controller reads a line of its own.
    if (!text::isOneLine(line))
        return false;
    bool closed = false;
    const QStringList statements = statementsOf(line, &closed);
    return closed && std::all_of(statements.cbegin(), statements.cend(), readOnlyStatement);
}

bool leavesBreakpoint(const QString &line)
{
    bool closed = false;
    const QStringList statements = statementsOf(line, &closed);
    return std::any_of(statements.cbegin(), statements.cend(), [](const QString &statement) {
        const QString word = statement.trimmed().toUpper();
        return word == QLatin1String("N") || word == QLatin1String("T");
    });
}

QString notSentNote(const QString &line)
{
    return QStringLiteral("Watch only: \"%1\" was not sent.").arg(line);
}

QString heldBackNote()
{
    return QStringLiteral("Watch only: an action queued before the lock was not sent.");
}

Cleaned cleanup(const QString &input, bool beginConnect)
{
    Cleaned c;
    QString s = input;
    if (beginConnect) {
        const QString twiceBkp = QStringLiteral("\r\n#?\r\n#?");
        qsizetype at = s.indexOf(twiceBkp);
        if (at >= 0) {
            s.replace(at, twiceBkp.size(), QStringLiteral("\r\n#?"));
            c.changed = true;
            c.consumedBeginConnect = true;
        }
        const QString twice = QStringLiteral("\r\n#\r\n#");
        at = s.indexOf(twice);
        if (at >= 0) {
            s.replace(at, twice.size(), QStringLiteral("\r\n#"));
            c.changed = true;
            c.consumedBeginConnect = true;
        }
    }
    if (s.contains(QStringLiteral("[7m"))) {
        s.replace(QStringLiteral("[7m"), QStringLiteral("[BKP] "));
        c.changed = true;
    }
    if (s.contains(QStringLiteral("[0m"))) {
        s.remove(QStringLiteral("[0m"));
        c.changed = true;
    }
    // Keep the last kMaxLines pieces: find the (count - kMaxLines)th line feed.
    const qsizetype feeds = s.count(QLatin1Char('\n'));
    if (feeds + 1 > kMaxLines) {
        qsizetype drop = feeds + 1 - kMaxLines;
        qsizetype pos = -1;
        while (drop-- > 0)
            pos = s.indexOf(QLatin1Char('\n'), pos + 1);
        s = s.mid(pos + 1);
        c.changed = true;
    }
    if (s.size() > kMaxConsoleChars) {
        s = s.right(kMaxConsoleChars);
        c.changed = true;
    }
    c.text = s;
    return c;
}

QStringList applyHistory(const QStringList &items, const QString &t)
{
    QStringList out;
    out << t;
    for (const QString &item : items) {
        if (item != t)
            out << item;
    }
    return out;
}

QString listTarget(const QString &t)
{
    const QString first = t.section(QLatin1Char(' '), 0, 0);
    if (!text::isInt(first) && !t.startsWith(QLatin1Char('*')))
        return QStringLiteral("*") + t;
    return t;
}

std::optional<QString> programLineFrom(const QString &consoleLine)
{
    QString line = consoleLine;
    line.replace(QLatin1Char('\t'), QLatin1Char(' '));
    line = text::trimAll(line);
    while (line.startsWith(QLatin1Char('#')) && line.size() > 2)
        line = text::trimAll(line.mid(1));
    const QString first = line.section(QLatin1Char(' '), 0, 0);
    if (!text::isInt(first))
        return std::nullopt;
    return text::trimNewlines(line);
}

QString listStartFrom(const QString &selection)
{
    QString line = selection;
    line.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return programLineFrom(line).value_or(text::trimAll(line)).section(QLatin1Char(' '), 0, 0);
}

QString displayForm(const QString &s)
{
    QString d = s;
    d.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    d.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    d.remove(QChar(0x1B));
    return d;
}

QString viewForm(const QString &model)
{
    const QString elided = QStringLiteral("…");
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
            out += elided;
            out += QStringView(d).mid(end - kMaxShownLine, kMaxShownLine);
        } else
            out += QStringView(d).mid(start, len);
        if (end < d.size())
            out += QLatin1Char('\n');
        start = end + 1;
    }
    return out;
}

} // namespace console

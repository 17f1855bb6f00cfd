#include "panels/tasks.h"

#include "link/textutil.h"

#include <QtNumeric>

namespace panels {

QString taskAreaClearCommand()
{
    return QStringLiteral("FILL MBK(%1) %2 0").arg(kTaskAreaStart).arg(kTaskAreaWords);
}

std::optional<qint64> taskAddress(qint64 n)
{
    // 7836 + 2n and 7772 + 2(n - 32) = 7708 + 2n.
    const qint64 base = n <= 31 ? 7836 : 7708;
    qint64 twice = 0;
    qint64 a = 0;
    if (qMulOverflow(n, qint64(2), &twice) || qAddOverflow(base, twice, &a))
        return std::nullopt;
    return a;
}

std::optional<QString> taskReadCommand(const QString &taskNoText)
{
    const auto a = taskAddress(text::intOr(taskNoText, 0));
    if (!a)
        return std::nullopt;
    return QStringLiteral("PR MBK(") + QString::number(*a) + QStringLiteral("~Lng) TASK(") + taskNoText +
           QStringLiteral("|256)");
}

std::optional<std::array<QString, 8>> taskRows(qint64 first)
{
    if (first > kTaskMaxFirst)
        return std::nullopt;
    std::array<QString, 8> rows;
    for (int r = 0; r < 8; ++r)
        rows[static_cast<size_t>(r)] = QString::number(first + r);
    return rows;
}

TaskValues parseTaskReply(const QString &reply)
{
    TaskValues v;
    const QStringList lines = text::splitKeep(reply, QStringLiteral("\r\n"));
    // The controller's refusal (a task number it lacks) is a TAB-led line:
    // no step and no status, whatever its words are.
    if (lines.size() < 2 || lines.at(1).startsWith(QLatin1Char('\t')))
        return v;
    const QString line = text::trimBlanks(lines.at(1));
    // An empty second line holds no value at all (splitting it would give one
    // empty piece, which would blank the step).
    if (line.isEmpty())
        return v;
    const QStringList pieces = text::splitKeep(line, QStringLiteral(" "));
    v.step = pieces.at(0);
    if (pieces.size() > 1)
        v.status = pieces.at(1);
    return v;
}

std::optional<ui::PlotProbe> taskProbe(const QString &taskNoText)
{
    const std::optional<QString> command = taskReadCommand(taskNoText);
    if (!command || text::trimBlanks(taskNoText).isEmpty())
        return std::nullopt;
    ui::PlotProbe p;
    p.label = QStringLiteral("Task ") + taskNoText + QStringLiteral(" step");
    p.command = *command;
    p.extract = ui::PlotProbe::Extract::TaskStep;
    return p;
}

} // namespace panels

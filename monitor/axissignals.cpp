#include "monitor/axissignals.h"

#include "link/textutil.h"
#include "monitor/banks.h"

#include <QStringList>

namespace monitor {

namespace {
constexpr int kFields = 11;
constexpr int kRegisterField = 6;
} // namespace

QString axisQuery(const QString &registerExpression)
{
    return QStringLiteral("PR LMT(0) HPT(0) P(0) ") + registerExpression +
           QStringLiteral(" X(-1) Y(-1) U(-1) Z(-1)");
}

AxisReading parseAxisReply(const QString &reply)
{
    QString joined = reply;
    // A reply cut short (no prompt at its end) may stop inside a number: only
    // what a blank or a line end closes is whole.
    if (!joined.contains(QLatin1String("\n#"))) {
        qsizetype end = joined.size();
        while (end > 0 && !joined.at(end - 1).isSpace())
            --end;
        while (end > 0 && joined.at(end - 1).isSpace())
            --end;
        joined.truncate(end);
    }
    joined.remove(QStringLiteral("\r\n#"));
    joined.remove(QStringLiteral("\r\n "));
    const QStringList fields = text::splitKeep(joined, QStringLiteral(" "));

    AxisReading r;
    r.lmt = text::parseInt(fields.value(0));
    r.hpt = text::parseInt(fields.value(1));
    if (fields.size() < kFields)
        return r;
    const std::optional<qint64> reg = text::parseInt(fields.at(kRegisterField));
    if (!reg)
        return r;
    r.hasValues = true;
    for (int i = 0; i < 4; ++i) {
        r.positions[static_cast<size_t>(i)] = fields.at(2 + i);
        r.counters[static_cast<size_t>(i)] = fields.at(7 + i);
    }
    r.registerText = text::hexWidth(*reg, 8);
    return r;
}

ui::PlotProbe axisProbe(bool counter, int axis)
{
    static const QChar names[4] = {QLatin1Char('X'), QLatin1Char('Y'), QLatin1Char('U'), QLatin1Char('Z')};
    ui::PlotProbe p;
    p.label = (counter ? QStringLiteral("Counter ") : QStringLiteral("Position ")) + names[axis & 3];
    p.command = axisQuery(registerTitles().value(0));
    p.extract = counter ? ui::PlotProbe::Extract::AxisCounter : ui::PlotProbe::Extract::AxisPosition;
    p.index = axis & 3;
    return p;
}

} // namespace monitor

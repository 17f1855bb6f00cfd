#include "trend/csv.h"

#include <QDateTime>
#include <limits>

namespace trend {

namespace {

QString csvField(const QString &s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

} // namespace

QString csvText(const QStringList &names, const std::vector<const Series *> &series)
{
    QString out = QStringLiteral("time");
    for (const QString &n : names)
        out += QLatin1Char(',') + csvField(n);
    out += QLatin1Char('\n');

    std::vector<int> next(series.size(), 0);
    for (;;) {
        qint64 t = std::numeric_limits<qint64>::max();
        for (size_t s = 0; s < series.size(); ++s) {
            if (next[s] < series[s]->size())
                t = std::min(t, series[s]->at(next[s]).ms);
        }
        if (t == std::numeric_limits<qint64>::max())
            break;
        out += QDateTime::fromMSecsSinceEpoch(t).toString(Qt::ISODateWithMs);
        for (size_t s = 0; s < series.size(); ++s) {
            out += QLatin1Char(',');
            if (next[s] < series[s]->size() && series[s]->at(next[s]).ms == t)
                out += QString::number(series[s]->at(next[s]++).value, 'g', 15);
        }
        out += QLatin1Char('\n');
    }
    return out;
}

} // namespace trend

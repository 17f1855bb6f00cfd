// A value of the dialect: a number, a string, or the four coordinates of a
// point (which can only be printed or handed to SETP).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace sim {

struct Value
{
    bool isString = false;
    qint64 num = 0;
    QString str;
    QList<qint64> multi; // P(n): four values at once

    bool isNumber() const { return !isString && multi.isEmpty(); }

    // As PR prints it.
    QString text() const
    {
        if (isString)
            return str;
        if (!multi.isEmpty()) {
            QStringList parts;
            for (qint64 n : multi)
                parts << QString::number(n);
            return parts.join(QLatin1Char(' '));
        }
        return QString::number(num);
    }
};

} // namespace sim

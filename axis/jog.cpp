#include "axis/jog.h"

#include "link/textutil.h"

namespace axis {

namespace {
const char *const kPadAxes[kJogAxes] = {"X_A", "Y_A", "U_A", "Z_A"};
} // namespace

QStringList jogCommands(int axis, JogDirection direction, const QString &pulses, const QString &acceleration)
{
    QStringList out{QStringLiteral("ACCEL ALL_A ") + acceleration};
    if (axis < 0 || axis >= kJogAxes)
        return out;
    const QString axisName = QLatin1String(kPadAxes[axis]);
    switch (direction) {
    case JogDirection::Minus:
        out << QStringLiteral("RMVS ") + axisName + QStringLiteral(" -") + pulses;
        break;
    case JogDirection::Stop:
        out << QStringLiteral("STOP ") + axisName + QStringLiteral(" STP_I");
        break;
    case JogDirection::Plus:
        out << QStringLiteral("RMVS ") + axisName + QLatin1Char(' ') + pulses;
        break;
    }
    return out;
}

QString hOutputCommand(int output, bool on)
{
    return (on ? QStringLiteral("H_ON ") : QStringLiteral("H_OFF ")) + QString::number(output);
}

QString teachMessage(const QString &point)
{
    // The blank after ここを is an ideographic space (U+3000).
    return QStringLiteral("ここを\u3000P(") + point + QStringLiteral(" )とします。");
}

QString teachCommand(const QString &point)
{
    return QStringLiteral("SETP ") + point + QStringLiteral(" P(0)");
}

QString pointSetCommand(const QString &point, const QString &x, const QString &y, const QString &u,
                        const QString &z)
{
    QString c = QStringLiteral("SETP");
    for (const QString *part : {&point, &x, &y, &u, &z})
        c += QLatin1Char(' ') + text::trimBlanks(*part);
    return c;
}

QString executeMessage(const QString &command)
{
    return command + QStringLiteral("\nを実行します。");
}

} // namespace axis

#include "axis/jog.h"

#include "link/textutil.h"

namespace axis {

namespace {
constexpr int kFirstActionTag = 12;

// The pad: three buttons per axis (minus, stop, plus) in the order X, Y, U, Z.
const char *const kPadAxes[] = {"X_A", "Y_A", "U_A", "Z_A"};
} // namespace

JogAction jogAction(int tag)
{
    if (tag >= 0 && tag < kFirstActionTag)
        return tag % 3 == 1 ? JogAction::Stop : JogAction::Move;
    switch (tag) {
    case 12:
        return JogAction::Teach;
    case 13:
        return JogAction::CopyPositions;
    case 14:
        return JogAction::ClearCounters;
    case 15:
        return JogAction::CopyCounters;
    case 16:
        return JogAction::PositionSet;
    case 17:
        return JogAction::ClearPositions;
    default:
        return JogAction::None;
    }
}

bool jogSetsAcceleration(int tag)
{
    return tag < kFirstActionTag;
}

QStringList jogCommands(int tag, const QString &pulses, const QString &acceleration)
{
    QStringList out;
    if (!jogSetsAcceleration(tag))
        return out;
    out << QStringLiteral("ACCEL ALL_A ") + acceleration;
    if (tag < 0)
        return out;
    const QString axisName = QLatin1String(kPadAxes[tag / 3]);
    switch (tag % 3) {
    case 0:
        out << QStringLiteral("RMVS ") + axisName + QStringLiteral(" -") + pulses;
        break;
    case 1:
        out << QStringLiteral("STOP ") + axisName + QStringLiteral(" STP_I");
        break;
    default:
        out << QStringLiteral("RMVS ") + axisName + QLatin1Char(' ') + pulses;
        break;
    }
    return out;
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

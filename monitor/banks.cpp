#include "monitor/banks.h"

namespace monitor {

namespace {
QString bankTitle(qint64 word, qint64 high, qint64 low)
{
    return QStringLiteral("%1 ( %2 .. %3 )").arg(word).arg(high).arg(low);
}

void addByteBanks(QStringList &out, qint64 from, qint64 to)
{
    for (qint64 n = from; n <= to; ++n)
        out << bankTitle(n, 8 * n + 7, 8 * n);
}
} // namespace

QStringList bankTitles(BitGroup group)
{
    QStringList out;
    switch (group) {
    case BitGroup::Outputs:
        addByteBanks(out, 0, 23);
        addByteBanks(out, 48, 71);
        addByteBanks(out, 96, 96);
        break;
    case BitGroup::Inputs:
        addByteBanks(out, 24, 47);
        addByteBanks(out, 72, 95);
        addByteBanks(out, 120, 120);
        break;
    case BitGroup::Relays:
        // Relay titles run from the lowest relay number to the highest.
        for (qint64 n = -1; n >= -1024; --n)
            out << bankTitle(n, 8 * n, 8 * n + 7);
        break;
    case BitGroup::MbkBits:
        for (qint64 n = 70000; n <= 79900; n += 100)
            out << bankTitle(n, n + 15, n);
        break;
    case BitGroup::CuOutputs:
    case BitGroup::CuInputs:
        for (qint64 n = 2000; n <= 2511; ++n)
            out << bankTitle(n, 8 * (n - 2000) + 2007, 8 * (n - 2000) + 2000);
        break;
    }
    return out;
}

QString bankWord(const QString &title)
{
    const qsizetype blank = title.indexOf(QLatin1Char(' '));
    return blank < 0 ? title : title.left(blank);
}

qint64 bitNumber(BitGroup group, qint64 bank, int k)
{
    switch (group) {
    case BitGroup::Outputs:
    case BitGroup::Inputs:
        return 8 * bank + k;
    case BitGroup::Relays:
        return 8 * bank + 7 - k;
    case BitGroup::MbkBits:
        return bank + k;
    case BitGroup::CuOutputs:
    case BitGroup::CuInputs:
        return 8 * (bank - 2000) + 2000 + k;
    }
    return 0;
}

QStringList boardTitles()
{
    QStringList out{QStringLiteral("None")};
    for (int i = 0; i <= 17; ++i)
        out << QString::number(i);
    return out;
}

QStringList registerTitles()
{
    return {QStringLiteral("RR(ALL_A)"),  QStringLiteral("RR(X_A)"),    QStringLiteral("RR(Y_A)"),
            QStringLiteral("RR(U_A)"),    QStringLiteral("RR(Z_A)"),    QStringLiteral("LMT(0)"),
            QStringLiteral("HPT(0)"),     QStringLiteral("PGE(0)"),     QStringLiteral("RR(ALL_E)"),
            QStringLiteral("RR1(0)"),     QStringLiteral("RR1(X_A)"),   QStringLiteral("RR1(Y_A)"),
            QStringLiteral("RR1(U_A)"),   QStringLiteral("RR1(Z_A)"),   QStringLiteral("RR3(X_A)"),
            QStringLiteral("RR3(Y_A)"),   QStringLiteral("RR3(U_A)"),   QStringLiteral("RR3(Z_A)"),
            QStringLiteral("RR3(X_A,1)"), QStringLiteral("RR3(Y_A,1)"), QStringLiteral("RR3(U_A,1)"),
            QStringLiteral("RR3(Z_A,1)")};
}

QStringList pulseTitles()
{
    return {QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("100"), QStringLiteral("1000"),
            QStringLiteral("10000")};
}

QStringList accelerationTitles()
{
    return {QStringLiteral("100"), QStringLiteral("500"), QStringLiteral("1000"), QStringLiteral("5000"),
            QStringLiteral("10000")};
}

} // namespace monitor

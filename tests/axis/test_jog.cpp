// The texts of teaching and setting points.
#include "axis/jog.h"

#include <QTest>

class TestJog : public QObject
{
    Q_OBJECT

private slots:
    // Trimming and refusals show in the axis panel's test. A taught number
    // goes in as typed (untrimmed, unchecked, empty too), and an inner blank
    // of a coordinate is the user's own.
    void textsAsTyped()
    {
        QCOMPARE(axis::teachCommand(QStringLiteral(" 7x")), QStringLiteral("SETP  7x P(0)"));
        QCOMPARE(axis::teachMessage(QString()), QStringLiteral("ここを\u3000P( )とします。"));
        QCOMPARE(axis::pointSetCommand(QStringLiteral("7"), QStringLiteral("1 0"), QStringLiteral("2"),
                                       QStringLiteral("3"), QStringLiteral("4")),
                 QStringLiteral("SETP 7 1 0 2 3 4"));
    }
};

QTEST_GUILESS_MAIN(TestJog)
#include "test_jog.moc"

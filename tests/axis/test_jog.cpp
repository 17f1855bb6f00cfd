// The texts of teaching and setting points.
#include "axis/jog.h"

#include <QTest>

class TestJog : public QObject
{
    Q_OBJECT

private slots:
    void teach()
    {
        // The number goes in as typed: untrimmed, unchecked, empty too.
        QCOMPARE(axis::teachCommand(QStringLiteral(" 7x")), QStringLiteral("SETP  7x P(0)"));
        QCOMPARE(axis::teachMessage(QString()), QStringLiteral("ここを\u3000P( )とします。"));
    }

    // Trimming and refusals show in the axis panel's test; an inner blank is
    // the user's own and goes out as typed.
    void pointSetKeepsInnerBlank()
    {
        QCOMPARE(axis::pointSetCommand(QStringLiteral("7"), QStringLiteral("1 0"), QStringLiteral("2"),
                                       QStringLiteral("3"), QStringLiteral("4")),
                 QStringLiteral("SETP 7 1 0 2 3 4"));
    }
};

QTEST_GUILESS_MAIN(TestJog)
#include "test_jog.moc"

// The status bar's figures as values: the median round trip of the last 20
// exchanges, its text at each unit's edges, and the ticks of the last minute.
#include "health/healthmodel.h"

#include <QTest>

using namespace health;

class TestHealthModel : public QObject
{
    Q_OBJECT

private slots:
    void medianOfTheLastTwenty()
    {
        RoundTrips trips;
        QCOMPARE(trips.median(), qint64(0));
        // Twenty-one values: the first drops out (else 11,000).
        for (qint64 v = 1; v <= 21; ++v)
            trips.add(v * 1000);
        QCOMPARE(trips.median(), qint64(12'000));
        // An even count reads the upper of the two middle values.
        trips.clear();
        for (qint64 v : {4, 1, 3, 2})
            trips.add(v);
        QCOMPARE(trips.median(), qint64(3));
    }

    void roundTripText_data()
    {
        QTest::addColumn<qint64>("micros");
        QTest::addColumn<QString>("text");
        QTest::newRow("tenths of a millisecond") << qint64(400) << "0.4 ms";
        QTest::newRow("just under ten") << qint64(9'949) << "9.9 ms";
        QTest::newRow("rounds up to ten") << qint64(9'960) << "10 ms";
        QTest::newRow("whole milliseconds") << qint64(12'400) << "12 ms";
        QTest::newRow("just under a second") << qint64(999'400) << "999 ms";
        QTest::newRow("rounds up to a second") << qint64(999'600) << "1.00 s";
        QTest::newRow("seconds") << qint64(1'250'000) << "1.25 s";
    }

    void roundTripText()
    {
        QFETCH(qint64, micros);
        QFETCH(QString, text);
        QCOMPARE(formatRoundTrip(micros), text);
    }

    void ticksOfTheLastMinute()
    {
        TickWindow ticks;
        ticks.addRun(0);
        ticks.addSkipped(1'000, 2);
        ticks.addRun(30'000);
        QCOMPARE(ticks.run(59'999), 2);
        QCOMPARE(ticks.skipped(59'999), 2);
        // A minute after a tick it has left the window.
        QCOMPARE(ticks.run(60'000), 1);
        QCOMPARE(ticks.skipped(61'000), 0);
        QCOMPARE(ticks.run(90'000), 0);
    }
};

QTEST_APPLESS_MAIN(TestHealthModel)
#include "test_healthmodel.moc"

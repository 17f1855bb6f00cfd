// The status bar's figures as values, then against the in-process simulator:
// the state word through a session, stale values in a stall and after a drop.
#include "health/healthbar.h"
#include "health/healthmodel.h"
#include "support/fixture.h"
#include "support/widgets.h"
#include "ui/freshness.h"

#include <QGraphicsEffect>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTcpServer>
#include <QTest>

namespace {

QLabel *barLabel(MonitorFixture &f, const char *name)
{
    return control<QLabel>(f.window.get(), QString::fromLatin1(name));
}

QString stateWord(MonitorFixture &f)
{
    return barLabel(f, "labelLinkState")->text();
}

// True once the status bar's state word is `word`.
bool says(MonitorFixture &f, const char *word)
{
    return f.waitFor([&] { return stateWord(f) == QLatin1String(word); });
}

// The simulator's usual options, changed by `change`.
template <typename F> sim::Options options(F change)
{
    sim::Options o = MonitorFixture::makeOptions();
    change(o);
    return o;
}

bool dimmed(QWidget *w)
{
    return w->graphicsEffect() != nullptr;
}

} // namespace

class TestLinkHealth : public QObject
{
    Q_OBJECT

private slots:
    void medianOfTheLastTwenty()
    {
        health::RoundTrips trips;
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
        QCOMPARE(health::formatRoundTrip(micros), text);
    }

    void ticksOfTheLastMinute()
    {
        health::TickWindow ticks;
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

    void statesThroughASession()
    {
        MonitorFixture f;
        QLabel *state = barLabel(f, "labelLinkState");
        QVERIFY(state && f.window->statusBar()->isAncestorOf(state));
        QCOMPARE(state->text(), QStringLiteral("not connected"));
        QCOMPARE(heard(state), QStringLiteral("Link not connected"));

        auto *bar = f.window->findChild<health::HealthBar *>();
        QSignalSpy phases(bar, &health::HealthBar::phaseChanged);
        QVERIFY(f.connectToSim());
        QVERIFY(says(f, "logged in"));
        QCOMPARE(phases.size(), 3);
        QCOMPARE(phases.at(0).at(0).value<health::LinkPhase>(), health::LinkPhase::Connecting);
        QCOMPARE(phases.at(1).at(0).value<health::LinkPhase>(), health::LinkPhase::Connected);
        QCOMPARE(heard(state), QStringLiteral("Link logged in"));
        QCOMPARE(barLabel(f, "labelLinkAddress")->text(), QStringLiteral("127.0.0.1:%1").arg(f.sim->port()));

        // The controller hangs up while nothing waits.
        f.sim->setOptions(options([](sim::Options &o) { o.dropAfter = 1; }));
        f.exchange(QStringLiteral("PR 1"));
        QVERIFY(says(f, "closed by the controller"));
        QCOMPARE(heard(barLabel(f, "labelLinkDot")), QStringLiteral("Link closed by the controller"));

        // Reconnected, then a reply that never comes.
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.connectToSim());
        QVERIFY(says(f, "logged in"));
        f.timeoutField()->setText(QStringLiteral("1"));
        f.sim->setOptions(options([](sim::Options &o) { o.stallAfter = 0; }));
        f.exchange(QStringLiteral("PR 1"));
        // The alert opens once the exchange has given the slot back.
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty() && !f.link().busy(); }));
        QCOMPARE(stateWord(f), QStringLiteral("timed out"));

        // The controller hangs up in the middle of a reply that is awaited.
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.connectToSim());
        f.sim->setOptions(options([](sim::Options &o) { o.dropMid = 0; }));
        QVERIFY(!f.exchange(QStringLiteral("PR 1")));
        QVERIFY(says(f, "closed by the controller"));

        // A disconnect by the user says so.
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.connectToSim());
        f.disconnect();
        QCOMPARE(stateWord(f), QStringLiteral("not connected"));

        // A connect that fails goes back to it.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 refusing = closed.serverPort();
        closed.close();
        f.window->setAddress(QStringLiteral("127.0.0.1:%1").arg(refusing));
        phases.clear();
        MainWindow *w = f.window.get();
        QVERIFY(f.run([w]() -> QCoro::Task<> { co_await w->connectController(); }));
        QCOMPARE(phases.value(0).value(0).value<health::LinkPhase>(), health::LinkPhase::Connecting);
        QCOMPARE(stateWord(f), QStringLiteral("not connected"));
    }

    void roundTripAndTicks()
    {
        MonitorFixture f(options([](sim::Options &o) { o.delayMs = 30; }));
        QVERIFY(f.connectToSim());
        QLabel *rt = barLabel(f, "labelRoundTrip");
        QLabel *ticks = barLabel(f, "labelPollTicks");
        QVERIFY(!ticks->isVisibleTo(f.window.get()));
        f.selectTab(QStringLiteral("1"));
        QVERIFY(f.waitFor([&] {
            return f.window->poller().ticks() >= 3 && ticks->isVisibleTo(f.window.get()) &&
                   !ticks->text().startsWith(QLatin1String("ticks 0 "));
        }));
        // Three exchanges a tick, each answered 30 ms late.
        const auto m = QRegularExpression(QStringLiteral("^round trip (\\d+) ms$")).match(rt->text());
        QVERIFY2(m.hasMatch(), qPrintable(rt->text()));
        QVERIFY(m.captured(1).toInt() >= 30 && m.captured(1).toInt() < 300);
        QVERIFY(heard(rt).startsWith(QStringLiteral("Median round trip ")));

        // A user action that holds the slot makes the ticks that fall due skip.
        wire::Link &link = f.link();
        link.enqueue([&link]() -> QCoro::Task<> { co_await link.pause(std::chrono::milliseconds(1000)); });
        const QRegularExpression counts(QStringLiteral("ticks (\\d+) run, (\\d+) skipped"));
        QVERIFY(f.waitFor([&] { return counts.match(ticks->text()).captured(2).toInt() >= 2; }));
        QVERIFY(heard(ticks).startsWith(QStringLiteral("Poll ticks ")));
        f.selectTab(QStringLiteral("0"));
        QVERIFY(f.waitFor([&] { return !ticks->isVisibleTo(f.window.get()); }));
    }

    void staleInAStallLiveWithTheNextReplyAllStaleAfterADrop()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        auto *fresh = ui::Freshness::of(f.window.get());
        QVERIFY(fresh);
        QLabel *lamp = control<QLabel>(f.window.get(), QStringLiteral("labelOut3"));
        QLabel *value = control<QLabel>(f.window.get(), QStringLiteral("labelOutStat"));
        QLabel *input = control<QLabel>(f.window.get(), QStringLiteral("labelInp0BitNo"));
        const QString ownTip = lamp->toolTip();
        f.selectTab(QStringLiteral("1"));
        QVERIFY(f.waitFor([&] { return fresh->lastConfirmed(input).isValid(); }));
        fresh->review();
        QVERIFY(!dimmed(lamp) && !dimmed(value));

        // The next reply takes 2.5 s; 1.5 s into it by the clock the window's review finds them stale.
        f.settle(); // no reply still on its way at the old pace
        f.sim->setOptions(options([](sim::Options &o) { o.delayMs = 2500; }));
        QVERIFY(f.waitFor([&] { return f.link().busy(); }));
        const QDateTime lastRead = fresh->lastConfirmed(lamp);
        f.clock.value = f.clock.value.addMSecs(1500);
        QVERIFY(f.waitFor([&] { return fresh->isStale(lamp); }));
        QVERIFY(f.link().busy() && dimmed(lamp) && dimmed(value) && fresh->isStale(input));
        QCOMPARE(lamp->toolTip(),
                 QStringLiteral("last read ") + lastRead.toString(QStringLiteral("HH:mm:ss")));
        // The stalled reply came: the outputs it read are live, the tooltip the lamp's own.
        QVERIFY(f.waitFor([&] { return !fresh->isStale(lamp); }, 15000));
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(!dimmed(lamp));
        QCOMPARE(lamp->toolTip(), ownTip);

        // Values on three pages, each read once at the usual pace.
        f.settle();
        f.timeoutField()->setText(QStringLiteral("2"));
        control<QLineEdit>(f.window.get(), QStringLiteral("textfieldMbkAdr0"))
            ->setText(QStringLiteral("100"));
        QList<QWidget *> shown;
        for (const auto &[tab, name] : {std::pair{"1", "labelOut0"}, std::pair{"3", "textfieldMbkData0"},
                                        std::pair{"6", "textfieldTaskStatus0"}}) {
            QWidget *w = control<QWidget>(f.window.get(), QString::fromLatin1(name));
            QVERIFY2(w, name);
            f.selectTab(QString::fromLatin1(tab));
            QVERIFY2(f.waitFor([&] { return fresh->lastConfirmed(w).isValid(); }), name);
            shown << w;
        }
        fresh->review();
        QVERIFY(!fresh->isStale(shown.last()));
        // A drop mid-tick makes them all stale at once, without waiting for the clock.
        f.sim->setOptions(options([](sim::Options &o) { o.dropAfter = 0; }));
        QVERIFY(f.waitFor([&] { return !wire::isUp(f.link().state()); }, 8000));
        for (QWidget *w : shown)
            QVERIFY2(fresh->isStale(w) && dimmed(w), qPrintable(w->objectName()));
    }
};

QTEST_MAIN(TestLinkHealth)
#include "test_linkhealth.moc"

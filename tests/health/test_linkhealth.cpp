// The status bar's figures, the state word through a session, stale values in a stall and after a drop.
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
#include <QTest>

using health::LinkPhase;

namespace {

QLabel *barLabel(MonitorFixture &f, const char *name)
{
    return control<QLabel>(f.window.get(), QString::fromLatin1(name));
}

bool says(MonitorFixture &f, const char *word)
{
    return f.waitFor([&] { return barLabel(f, "labelLinkState")->text() == QLatin1String(word); });
}

sim::Options simWith(int sim::Options::*option, int value)
{
    sim::Options o = MonitorFixture::makeOptions();
    o.*option = value;
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
    void medianAndTicksOfTheLastMinute()
    {
        health::RoundTrips trips;
        QCOMPARE(trips.median(), qint64(0));
        // Of twenty-one values the first drops out (else 11,000).
        for (qint64 v = 1; v <= 21; ++v)
            trips.add(v * 1000);
        QCOMPARE(trips.median(), qint64(12'000));
        // An even count reads the upper of the two middle values.
        trips.clear();
        for (qint64 v : {4, 1, 3, 2})
            trips.add(v);
        QCOMPARE(trips.median(), qint64(3));

        health::TickWindow ticks;
        ticks.addRun(0);
        ticks.addSkipped(1'000, 2);
        ticks.addRun(30'000);
        // A minute after a tick it has left the window.
        QCOMPARE(QList<int>({ticks.run(59'999), ticks.skipped(59'999), ticks.run(60'000),
                             ticks.skipped(61'000), ticks.run(90'000)}),
                 QList<int>({2, 2, 1, 0, 0}));
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

    void statesRoundTripTicksAndStaleValuesThroughASession()
    {
        MonitorFixture f;
        QLabel *state = barLabel(f, "labelLinkState");
        QVERIFY(state && f.window->statusBar()->isAncestorOf(state));
        QCOMPARE(state->text(), QStringLiteral("not connected"));
        QCOMPARE(heard(state), QStringLiteral("Link not connected"));

        QSignalSpy spy(f.window->findChild<health::HealthBar *>(), &health::HealthBar::phaseChanged);
        const auto phases = [&spy] {
            QList<LinkPhase> seen;
            for (const QList<QVariant> &args : std::as_const(spy))
                seen << args.at(0).value<LinkPhase>();
            return seen;
        };
        const auto reconnect = [&f] {
            f.sim->setOptions(MonitorFixture::makeOptions());
            return f.connectToSim() && says(f, "logged in");
        };
        QVERIFY(f.connectToSim());
        QVERIFY(says(f, "logged in"));
        QCOMPARE(phases(),
                 QList<LinkPhase>({LinkPhase::Connecting, LinkPhase::Connected, LinkPhase::LoggedIn}));
        QCOMPARE(heard(state), QStringLiteral("Link logged in"));
        QCOMPARE(barLabel(f, "labelLinkAddress")->text(), QStringLiteral("127.0.0.1:%1").arg(f.sim->port()));

        // The controller hangs up while nothing waits.
        f.sim->setOptions(simWith(&sim::Options::dropAfter, 1));
        f.exchange(QStringLiteral("PR 1"));
        QVERIFY(says(f, "closed by the controller"));
        QCOMPARE(heard(barLabel(f, "labelLinkDot")), QStringLiteral("Link closed by the controller"));

        // A reply that never comes; the alert opens once the exchange has given the slot back.
        QVERIFY(reconnect());
        f.timeoutField()->setText(QStringLiteral("1"));
        f.sim->setOptions(simWith(&sim::Options::stallAfter, 0));
        f.exchange(QStringLiteral("PR 1"));
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty() && !f.link().busy(); }));
        QCOMPARE(state->text(), QStringLiteral("timed out"));

        // The controller hangs up in the middle of a reply that is awaited.
        QVERIFY(reconnect());
        f.sim->setOptions(simWith(&sim::Options::dropMid, 0));
        QVERIFY(!f.exchange(QStringLiteral("PR 1")));
        QVERIFY(says(f, "closed by the controller"));

        // A disconnect by the user, and a connect that fails, go back to "not connected".
        QVERIFY(reconnect());
        f.disconnect();
        QCOMPARE(state->text(), QStringLiteral("not connected"));
        f.window->setAddress(QStringLiteral("127.0.0.1:1")); // nothing listens there: refused
        spy.clear();
        MainWindow *w = f.window.get();
        QVERIFY(f.run([w]() -> QCoro::Task<> { co_await w->connectController(); }));
        QCOMPARE(phases().value(0), LinkPhase::Connecting);
        QCOMPARE(state->text(), QStringLiteral("not connected"));

        // Round trip and ticks: every reply 30 ms late.
        f.sim->setOptions(simWith(&sim::Options::delayMs, 30));
        QVERIFY(f.connectToSim());
        f.timeoutField()->setText(QStringLiteral("30")); // this controller's kept "1" came back with it
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
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() >= 30 && m.captured(1).toInt() < 300,
                 qPrintable(rt->text()));
        QVERIFY(heard(rt).startsWith(QStringLiteral("Median round trip ")));

        // A user action that holds the slot makes the ticks that fall due skip.
        wire::Link &link = f.link();
        link.enqueue([&link]() -> QCoro::Task<> { co_await link.pause(std::chrono::milliseconds(1000)); });
        const QRegularExpression counts(QStringLiteral("ticks (\\d+) run, (\\d+) skipped"));
        QVERIFY(f.waitFor([&] { return counts.match(ticks->text()).captured(2).toInt() >= 2; }));
        QVERIFY(heard(ticks).startsWith(QStringLiteral("Poll ticks ")));
        f.selectTab(QStringLiteral("0"));
        QVERIFY(f.waitFor([&] { return !ticks->isVisibleTo(f.window.get()); }));

        // Values go stale in a stall, live with the next reply, and all stale after a drop.
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
        f.sim->setOptions(simWith(&sim::Options::delayMs, 2500));
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

        // Values read on three pages: a drop mid-tick makes them all stale at once, clock or not.
        f.settle();
        f.timeoutField()->setText(QStringLiteral("2"));
        control<QLineEdit>(f.window.get(), QStringLiteral("textfieldMbkAdr0"))
            ->setText(QStringLiteral("100"));
        QList<QWidget *> shown;
        for (const auto &[tab, name] : {std::pair{"1", "labelOut0"}, std::pair{"3", "textfieldMbkData0"},
                                        std::pair{"6", "textfieldTaskStatus0"}}) {
            shown << control<QWidget>(f.window.get(), QString::fromLatin1(name));
            QVERIFY2(shown.last(), name);
            f.selectTab(QString::fromLatin1(tab));
            QVERIFY2(f.waitFor([&] { return fresh->lastConfirmed(shown.last()).isValid(); }), name);
        }
        fresh->review();
        QVERIFY(!fresh->isStale(shown.last()));
        f.sim->setOptions(simWith(&sim::Options::dropAfter, 0));
        QVERIFY(f.waitFor([&] { return !wire::isUp(f.link().state()); }, 8000));
        for (QWidget *w : shown)
            QVERIFY2(fresh->isStale(w) && dimmed(w), qPrintable(w->objectName()));
    }
};

QTEST_MAIN(TestLinkHealth)
#include "test_linkhealth.moc"

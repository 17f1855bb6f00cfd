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
using namespace Qt::StringLiterals;

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

        // A tick that stalled 70 s at 0.3 s a tick ran over 233 due times: only those of the last
        // minute count, and half a minute later only those of its last half minute.
        health::TickWindow stalled(60'000, 300);
        stalled.addSkipped(70'000, 233);
        QCOMPARE(QList<int>({stalled.skipped(70'000), stalled.skipped(100'000)}), QList<int>({200, 100}));
    }

    // Tenths below ten milliseconds, whole ones below a second, then hundredths of seconds.
    void roundTripText()
    {
        const std::pair<qint64, const char *> cases[] = {
            {400, "0.4 ms"},     {9'949, "9.9 ms"},   {9'960, "10 ms"},     {12'400, "12 ms"},
            {999'400, "999 ms"}, {999'600, "1.00 s"}, {1'250'000, "1.25 s"}};
        for (const auto &[micros, text] : cases)
            QCOMPARE(health::formatRoundTrip(micros), QLatin1String(text));
    }

    // The computer's clock set back (by hand, or by the network): a value no reply confirms any more
    // still goes stale a second later.
    void valuesGoStaleAfterTheClockIsSetBack()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        auto *fresh = ui::Freshness::of(f.window.get());
        QLabel *lamp = control<QLabel>(f.window.get(), u"labelOut0"_s);
        f.selectTab(u"1"_s);
        QVERIFY(f.waitFor([&] { return fresh->lastConfirmed(lamp).isValid(); }));
        f.selectTab(u"0"_s); // polling stops: nothing confirms the lamp any more
        QVERIFY(f.waitFor([&] { return !f.window->poller().isRunning() && !f.link().busy(); }));
        f.clock.value = f.clock.value.addSecs(-3600); // an hour back, which a review notices
        fresh->review();
        QVERIFY(!fresh->isStale(lamp));
        f.clock.value = f.clock.value.addMSecs(1500); // then 1.5 s go by
        QVERIFY(f.waitFor([&] { return fresh->isStale(lamp) && dimmed(lamp); }));
    }

    void statesRoundTripTicksAndStaleValuesThroughASession()
    {
        MonitorFixture f;
        QLabel *state = barLabel(f, "labelLinkState");
        QVERIFY(state && f.window->statusBar()->isAncestorOf(state));
        QCOMPARE(state->text(), u"not connected"_s);
        QCOMPARE(heard(state), u"Link not connected"_s);

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
        QCOMPARE(heard(state), u"Link logged in"_s);
        QCOMPARE(barLabel(f, "labelLinkAddress")->text(), u"127.0.0.1:%1"_s.arg(f.sim->port()));

        // The controller hangs up while nothing waits.
        f.sim->setOptions(simWith(&sim::Options::dropAfter, 1));
        f.exchange(u"PR 1"_s);
        QVERIFY(says(f, "closed by the controller"));
        QCOMPARE(heard(barLabel(f, "labelLinkDot")), u"Link closed by the controller"_s);

        // A reply that never comes; the alert opens once the exchange has given the slot back.
        QVERIFY(reconnect());
        f.timeoutField()->setText(u"1"_s);
        f.sim->setOptions(simWith(&sim::Options::stallAfter, 0));
        f.exchange(u"PR 1"_s);
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty() && !f.link().busy(); }));
        QCOMPARE(state->text(), u"timed out"_s);

        // The controller hangs up in the middle of a reply that is awaited.
        QVERIFY(reconnect());
        f.sim->setOptions(simWith(&sim::Options::dropMid, 0));
        QVERIFY(!f.exchange(u"PR 1"_s));
        QVERIFY(says(f, "closed by the controller"));

        // A disconnect by the user, and a connect that fails, go back to "not connected", where the
        // dead link's round trip is not shown as its figure.
        QVERIFY(reconnect());
        QVERIFY(f.exchange(u"PR 1"_s));
        QVERIFY(f.waitFor([&] { return barLabel(f, "labelRoundTrip")->text().endsWith(u" ms"_s); }));
        f.disconnect();
        QCOMPARE(state->text(), u"not connected"_s);
        QCOMPARE(heard(barLabel(f, "labelRoundTrip")), u"Round trip not measured"_s);
        f.window->setAddress(u"127.0.0.1:1"_s); // nothing listens there: refused
        spy.clear();
        MainWindow *w = f.window.get();
        QVERIFY(f.run([w]() -> QCoro::Task<> { co_await w->connectController(); }));
        QCOMPARE(phases().value(0), LinkPhase::Connecting);
        QCOMPARE(state->text(), u"not connected"_s);

        // Round trip and ticks: every reply 30 ms late.
        f.sim->setOptions(simWith(&sim::Options::delayMs, 30));
        QVERIFY(f.connectToSim());
        f.timeoutField()->setText(u"30"_s); // this controller's kept "1" came back with it
        QLabel *rt = barLabel(f, "labelRoundTrip");
        QLabel *ticks = barLabel(f, "labelPollTicks");
        QVERIFY(!ticks->isVisibleTo(f.window.get()));
        f.selectTab(u"1"_s);
        QVERIFY(f.waitFor([&] {
            return f.window->poller().ticks() >= 3 && ticks->isVisibleTo(f.window.get()) &&
                   !ticks->text().startsWith(QLatin1String("ticks 0 "));
        }));
        // Three exchanges a tick, each answered 30 ms late.
        const auto m = QRegularExpression(u"^round trip (\\d+) ms$"_s).match(rt->text());
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() >= 30 && m.captured(1).toInt() < 300,
                 qPrintable(rt->text()));
        QVERIFY(heard(rt).startsWith(u"Median round trip "_s));

        // A user action that holds the slot makes the ticks that fall due skip.
        wire::Link &link = f.link();
        link.enqueue([&link]() -> QCoro::Task<> { co_await link.pause(std::chrono::milliseconds(1000)); });
        const QRegularExpression counts(u"ticks (\\d+) run, (\\d+) skipped"_s);
        QVERIFY(f.waitFor([&] { return counts.match(ticks->text()).captured(2).toInt() >= 2; }));
        QVERIFY(heard(ticks).startsWith(u"Poll ticks "_s));
        const int skippedBefore = counts.match(ticks->text()).captured(2).toInt();
        f.selectTab(u"0"_s);
        QVERIFY(f.waitFor([&] { return !ticks->isVisibleTo(f.window.get()); }));

        // Values go stale in a stall, live with the next reply, and all stale after a drop.
        auto *fresh = ui::Freshness::of(f.window.get());
        QVERIFY(fresh);
        QLabel *lamp = control<QLabel>(f.window.get(), u"labelOut3"_s);
        QLabel *value = control<QLabel>(f.window.get(), u"labelOutStat"_s);
        QLabel *input = control<QLabel>(f.window.get(), u"labelInp0BitNo"_s);
        const QString ownTip = lamp->toolTip();
        f.selectTab(u"1"_s);
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
        QCOMPARE(lamp->toolTip(), u"last read "_s + lastRead.toString(u"HH:mm:ss"_s));
        // The stalled reply came: the outputs it read are live, the tooltip the lamp's own.
        QVERIFY(f.waitFor([&] { return !fresh->isStale(lamp); }, 15000));
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(!dimmed(lamp));
        QCOMPARE(lamp->toolTip(), ownTip);

        // Values read on three pages: a drop mid-tick makes them all stale at once, clock or not.
        f.settle();
        f.timeoutField()->setText(u"2"_s);
        control<QLineEdit>(f.window.get(), u"textfieldMbkAdr0"_s)->setText(u"100"_s);
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

        // Connected again, the ticks counted are this connection's: none skipped on the one before.
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.run([w]() -> QCoro::Task<> { co_await w->connectController(); }) && says(f, "logged in"));
        f.selectTab(u"1"_s);
        QVERIFY(f.waitFor(
            [&] { return ticks->isVisibleTo(f.window.get()) && !ticks->text().startsWith(u"ticks 0 "_s); }));
        QVERIFY2(counts.match(ticks->text()).captured(2).toInt() < skippedBefore, qPrintable(ticks->text()));
    }
};

QTEST_MAIN(TestLinkHealth)
#include "test_linkhealth.moc"

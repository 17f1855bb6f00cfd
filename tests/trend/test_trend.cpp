// The trend dock against the in-process simulator: what it plots and reads each tick, and its controls.
#include "axis/axispage.h"
#include "monitor/iopage.h"
#include "panels/variablespage.h"
#include "support/files.h"
#include "support/trendmenu.h"
#include "trend/trenddock.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

const QStringList ioReads = {"PR IN(0)", "PR IN(24)", "PR IN(-1)"}; // the I/O page's own

trend::TrendDock *dockOf(MonitorFixture &f)
{
    return f.window->findChild<trend::TrendDock *>(u"dockTrend"_s);
}

// The "Plot" entry of the context menu of the value control `name`, clicked when enabled.
enum class Entry { Missing, Off, Clicked };
Entry plotFromMenu(MonitorFixture &f, const char *name)
{
    QWidget *value = control<QWidget>(f.window.get(), QString::fromLatin1(name));
    if (!value)
        return Entry::Missing;
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), value->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(value, &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QAction *found = menu ? menu->findChild<QAction *>(u"actionTrendPlot"_s) : nullptr;
    const Entry entry = !found ? Entry::Missing : found->isEnabled() ? Entry::Clicked : Entry::Off;
    if (entry == Entry::Clicked)
        found->trigger();
    if (menu)
        menu->close();
    return entry;
}

// Plots each "group/label" from the "+" menu; false when one is not offered.
bool plotAll(MonitorFixture &f, const QStringList &series)
{
    for (const QString &s : series) {
        const qsizetype slash = s.indexOf(u'/');
        if (!plot(f, s.left(slash), s.mid(slash + 1)))
            return false;
    }
    return true;
}

bool connectAndPlot(MonitorFixture &f, const QStringList &variables, const QStringList &series)
{
    if (!f.connectToSim())
        return false;
    f.window->variablesPage().setVariableNames(variables);
    return plotAll(f, series);
}

QStringList legend(MonitorFixture &f)
{
    QStringList texts;
    while (auto *key = control<QToolButton>(f.window.get(), u"buttonTrendKey%1"_s.arg(texts.size())))
        texts << key->text();
    return texts;
}

// One poll tick of `page` with the slot free, as the timer runs it; what the simulator received.
QStringList tickOn(MonitorFixture &f, ui::Page *page)
{
    f.settle();
    f.clearCommands();
    monitor::Poller &poller = f.window->poller();
    poller.setPage(page);
    bool ended = false;
    QObject context;
    QObject::connect(&poller, &monitor::Poller::ticked, &context, [&ended] { ended = true; });
    poller.tick();
    f.waitFor([&ended] { return ended; });
    QCoreApplication::processEvents(); // the chart and legend follow the tick
    return f.commands();
}

void chooseBoard(MonitorFixture &f, const QString &board)
{
    auto *popup = control<QComboBox>(f.window.get(), u"popupbuttonPgSelect"_s);
    const int at = popup->findText(board);
    popup->setCurrentIndex(at);
    emit popup->activated(at);
}

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT

private slots:
    void plotsEveryKindOfValue()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        trend::TrendDock *dock = dockOf(f);
        QVERIFY(dock && !dock->isVisible());
        // The View menu's entry (it hides and shows the dock in pausedClosedAndRemoved).
        QAction *view = control<QAction>(f.window.get(), u"menuViewTrend"_s);
        QVERIFY(view && f.window->viewMenu()->actions().contains(view));
        f.window->variablesPage().setVariableNames({u"A"_s, u"S$"_s});

        QVERIFY(plot(f, u"Outputs"_s, u"OUT 3"_s));
        QVERIFY(dock->isVisible());
        // A string variable is no number to plot.
        QVERIFY(!addEntry(f, u"Variables"_s, u"S$"_s));
        QVERIFY(plotAll(f, {"Variables/A", "MBK/MBK(1~Int)", "MBK bits/MBK 70002", "Tasks/Task 0 step",
                            "Axis/Position X"}));
        // The same from the value's own context menu, once only.
        QCOMPARE(plotFromMenu(f, "labelPgCounterY"), Entry::Clicked);
        QCOMPARE(plotFromMenu(f, "labelOut3"), Entry::Off);
        QCOMPARE(plotFromMenu(f, "labelCuInp2"), Entry::Clicked);
        QCOMPARE(legend(f), QStringList({"OUT 3", "A", "MBK(1~Int)", "MBK 70002", "Task 0 step", "Position X",
                                         "Counter Y", "CU IN 2002"}));
        // Eight is the most: every entry is off now.
        QAction *ninth = addEntry(f, u"Outputs"_s, u"OUT 4"_s);
        QVERIFY(ninth && !ninth->isEnabled());

        // With a board on the Axis page the axis values come in; the legend shows each last value.
        chooseBoard(f, u"0"_s);
        tickOn(f, &f.window->axisPage());
        f.exchange(u"ON 3 : A=-42 : MBK(1~Int)=300 : ON 70002 : SETP 0 1500 0 0 0 : SETP -1 0 77 0 0"_s);
        tickOn(f, &f.window->ioPage());
        QCOMPARE(legend(f),
                 QStringList({"OUT 3: 1", "A: -42", "MBK(1~Int): 300", "MBK 70002: 1", "Task 0 step: 0",
                              "Position X: 1500", "Counter Y: 77", "CU IN 2002: 0"}));
    }

    // A page built when first shown gets its "Plot" entries then; "+" offers pages never shown.
    void pagesBuiltWhenShownArePlotted()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), true, QString(), MonitorFixture::Pages::AsShown);
        QVERIFY(f.connectToSim());
        QCOMPARE(plotFromMenu(f, "labelOut3"), Entry::Missing);
        f.exchange(u"ON 3"_s);
        f.selectTab(u"1"_s);
        QCOMPARE(plotFromMenu(f, "labelOut3"), Entry::Clicked);
        QVERIFY(f.waitFor([&] { return legend(f) == QStringList{u"OUT 3: 1"_s}; }));
        QVERIFY(!control<QLineEdit>(f.window.get(), u"textfieldTaskStatus0"_s));
        QVERIFY(plot(f, u"Tasks"_s, u"Task 0 step"_s));
    }

    // A control offers what it shows now; extra reads follow the page's, in the series' order, never twice.
    void valuesOfferedAndReadOnce()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {u"A"_s, u"B"_s}, {}));
        QWidget *w = f.window.get();
        // In long entries the second row has no address: nothing to plot there.
        control<QRadioButton>(w, u"radiobuttonMbkSizeLng"_s)->click();
        QCOMPARE(plotFromMenu(f, "textfieldMbkData1"), Entry::Off);
        // In words it shows the word at address 1, which the plot then reads.
        control<QRadioButton>(w, u"radiobuttonMbkSizeWrd"_s)->click();
        QVERIFY(addEntry(f, u"MBK"_s, u"MBK(1~Wrd)"_s));
        QCOMPARE(plotFromMenu(f, "textfieldMbkData1"), Entry::Clicked);
        QVERIFY(plotAll(f, {"Variables/B", "Outputs/OUT 1", "Variables/A"}));
        control<QCheckBox>(w, u"checkboxVariAll"_s)->click();
        f.exchange(u"MBK(1~Wrd)=513 : B=9"_s);
        // On the variables page only the word and the bit are read in addition.
        QCOMPARE(tickOn(f, &f.window->variablesPage()),
                 QStringList({"PR A", "PR B", "PR MBK(1~Wrd)", "PR IN(0)"}));
        QCOMPARE(legend(f), QStringList({"MBK(1~Wrd): 513", "B: 9", "OUT 1: 0", "A: 0"}));
        // On the I/O page the variables are.
        QCOMPARE(tickOn(f, &f.window->ioPage()), ioReads + QStringList({"PR MBK(1~Wrd)", "PR B", "PR A"}));
        QCOMPARE(dockOf(f)->samples(1).size(), 2);
        QCOMPARE(dockOf(f)->samples(2).size(), 2);
    }

    // Exports and hover; a key's click hides its line from the value axis; ten minutes shown.
    void exportsHoverAndHiddenLines()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {u"A"_s}, {"Outputs/OUT 3", "Variables/A"}));
        trend::TrendDock *dock = dockOf(f);
        // Widened by the user: a hover finds samples 300 ms apart.
        f.window->resize(1600, 800);
        f.window->resizeDocks({dock}, {420}, Qt::Horizontal);
        f.exchange(u"A=5000"_s);
        tickOn(f, &f.window->ioPage());
        f.clock.value = f.clock.value.addMSecs(300);
        f.exchange(u"ON 3 : A=7000"_s);
        tickOn(f, &f.window->ioPage());

        const QString path = f.tempDir.filePath(u"trend.csv"_s);
        f.dialogs.setNextFileName(path);
        control<QPushButton>(f.window.get(), u"buttonTrendCsv"_s)->click();
        QCOMPARE(QString::fromUtf8(bytesOf(path)), QStringLiteral("time,OUT 3,A\r\n"
                                                                  "2026-12-05T09:05:03.000,0,5000\r\n"
                                                                  "2026-12-05T09:05:03.300,1,7000\r\n"));
        QVERIFY(f.dialogs.alertTexts().isEmpty());

        // A folder that is not there: one alert that names the file, no file.
        const QString nowhere = f.tempDir.filePath(u"gone/trend.csv"_s);
        f.dialogs.setNextFileName(nowhere);
        control<QPushButton>(f.window.get(), u"buttonTrendCsv"_s)->click();
        QVERIFY2(f.dialogs.alertTexts().size() == 1 && f.dialogs.alertTexts().first().contains(nowhere),
                 qPrintable(f.dialogs.alertTexts().join(u'|')));
        QVERIFY(!QFile::exists(nowhere));
#ifdef Q_OS_UNIX
        // A full disk: the file exported before stays whole, and a second alert says so.
        const QByteArray csv = bytesOf(path);
        withHalfTheRoom(path, [&] {
            f.dialogs.setNextFileName(path);
            control<QPushButton>(f.window.get(), u"buttonTrendCsv"_s)->click();
        });
        QCOMPARE(QString::fromUtf8(bytesOf(path)), QString::fromUtf8(csv));
        QCOMPARE(f.dialogs.alertTexts().size(), 2);
#endif

        // Hovering gives the clock time and values there, counted back from the newest; nothing off the plot.
        const QRectF area = dock->chartView()->chart()->plotArea();
        QCOMPARE(dock->hoverText(area.right()), u"09:05:03.300\nOUT 3: 1\nA: 7000"_s);
        QCOMPARE(dock->hoverText(area.right() - area.width() * 0.3 / 60.0),
                 u"09:05:03.000\nOUT 3: 0\nA: 5000"_s);
        QCOMPARE(dock->hoverText(area.left() - 1), QString());

        // The picture: the chart with its legend, as the dock shows it.
        const QString png = f.tempDir.filePath(u"trend.png"_s);
        f.dialogs.setNextFileName(png);
        control<QPushButton>(f.window.get(), u"buttonTrendPng"_s)->click();
        const QImage image(png);
        QVERIFY(image.width() >= dock->chartView()->width() && image.height() > dock->chartView()->height());
#ifdef Q_OS_UNIX
        const QByteArray picture = bytesOf(png);
        withHalfTheRoom(png, [&] {
            f.dialogs.setNextFileName(png);
            control<QPushButton>(f.window.get(), u"buttonTrendPng"_s)->click();
        });
        QVERIFY2(bytesOf(png) == picture,
                 qPrintable(u"%1 of %2 bytes"_s.arg(QFile(png).size()).arg(picture.size())));
        QCOMPARE(f.dialogs.alertTexts().size(), 3);
#endif

        const auto axisMax = [dock] {
            auto *y = qobject_cast<QValueAxis *>(dock->chartView()->chart()->axes(Qt::Vertical).value(0));
            return y ? y->max() : -1.0;
        };
        QVERIFY(axisMax() >= 7000);
        auto *keyA = control<QToolButton>(f.window.get(), u"buttonTrendKey1"_s);
        keyA->click();
        QVERIFY2(axisMax() < 10, qPrintable(QString::number(axisMax())));
        keyA->click();
        QVERIFY(axisMax() >= 7000);

        // Five minutes on, ten minutes shown put the last sample half way across.
        f.clock.value = f.clock.value.addSecs(300);
        tickOn(f, &f.window->ioPage());
        const QRectF later = dock->chartView()->chart()->plotArea();
        const double halfWay = later.left() + later.width() / 2;
        QVERIFY(!dock->hoverText(halfWay).contains(u"A: "_s));
        auto *window = control<QComboBox>(f.window.get(), u"popupbuttonTrendWindow"_s);
        window->setCurrentIndex(window->findText(u"10 min"_s));
        QCOMPARE(dock->hoverText(halfWay), u"09:05:03.300\nOUT 3: 1\nA: 7000"_s);
        // Paused, a minute chosen: half way is half a minute back, as the time axis says.
        control<QPushButton>(f.window.get(), u"buttonTrendPause"_s)->click();
        window->setCurrentIndex(window->findText(u"1 min"_s));
        QCOMPARE(dock->hoverText(halfWay), u"09:09:33.300"_s);
        // Still paused, a hidden line leaves the value axis as well.
        keyA->click();
        QVERIFY2(axisMax() < 10, qPrintable(QString::number(axisMax())));
        // The window at its smallest leaves the dock narrow: the time axis keeps room for each of its labels.
        f.window->resize(f.window->minimumSizeHint());
        for (const char *shown : {"1 min", "10 min", "1 h"}) {
            window->setCurrentIndex(window->findText(QLatin1String(shown)));
            QCoreApplication::processEvents();
            auto *x = qobject_cast<QValueAxis *>(dock->chartView()->chart()->axes(Qt::Horizontal).value(0));
            const double gap = dock->chartView()->chart()->plotArea().width() / (x->tickCount() - 1);
            QVERIFY2(gap > QFontMetrics(x->labelsFont()).horizontalAdvance(u"-60 min"_s), shown);
        }
    }

    // Connecting again to the same controller (after a time-out, a dropped cable) keeps what was plotted
    // before: the samples are still there to see and to export. Another controller's are not kept.
    void reconnectKeepsTheSamples()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {u"A"_s}, {"Variables/A"}));
        f.exchange(u"A=5000"_s);
        tickOn(f, &f.window->ioPage());
        const QString row = u"2026-12-05T09:05:03.000,5000\r\n"_s;
        QVERIFY(dockOf(f)->csv().contains(row));
        f.disconnect();
        f.clock.value = f.clock.value.addSecs(10);
        QVERIFY(f.connectToSim());
        f.settle();
        QVERIFY2(dockOf(f)->csv().contains(row), qPrintable(dockOf(f)->csv()));

        // Another controller in between: its values are not this one's, and the plot starts afresh.
        sim::Server other(MonitorFixture::makeOptions());
        QVERIFY(other.start());
        f.disconnect();
        QVERIFY(connectTo(f.window.get(), u"127.0.0.1:%1"_s.arg(other.port())));
        f.disconnect();
        QVERIFY(f.connectToSim());
        f.settle();
        QVERIFY(!dockOf(f)->csv().contains(row));
    }

    // The computer's clock set back an hour (corrected by hand, or a late time sync): the plot goes on to
    // the newest sample, and hovering at its end shows that sample's value.
    void clockSetBack()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {u"A"_s}, {"Variables/A", "Outputs/OUT 3"}));
        trend::TrendDock *dock = dockOf(f);
        // Widened by the user: a hover finds samples 300 ms apart.
        f.window->resize(1600, 800);
        f.window->resizeDocks({dock}, {420}, Qt::Horizontal);
        f.exchange(u"A=5000"_s);
        for (int i = 0; i < 3; ++i) {
            tickOn(f, &f.window->ioPage());
            f.clock.value = f.clock.value.addMSecs(300);
        }
        f.clock.value = f.clock.value.addSecs(-3600);
        f.exchange(u"A=7000"_s);
        tickOn(f, &f.window->ioPage());
        QCOMPARE(legend(f).value(0), u"A: 7000"_s);
        const QRectF area = dock->chartView()->chart()->plotArea();
        const QString newest = dock->hoverText(area.right());
        QVERIFY2(newest.endsWith(u"\nA: 7000\nOUT 3: 0"_s), qPrintable(newest));
        // Set back again while OUT 3 has no value (a gap): its samples from before do not hold the plot
        // there.
        f.clock.value = f.clock.value.addSecs(-3600);
        dock->record(f.clock.value.toMSecsSinceEpoch(), {8000.0, std::nullopt});
        dock->refresh();
        const QString gap = dock->hoverText(area.right());
        QVERIFY2(gap.endsWith(u"\nA: 8000"_s), qPrintable(gap));
    }

    // The status says when no tick comes; console ticks read nothing (a prompt there is the user's).
    void saysWhenPollingStops()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {}, {"Outputs/OUT 3"}));
        auto *status = control<QLabel>(f.window.get(), u"labelTrendStatus"_s);
        const auto stopped = [&] { return status->text() == QLatin1String("Polling stopped: plot paused"); };
        QVERIFY(stopped());
        f.selectTab(u"1"_s);
        QVERIFY(f.waitFor([&] { return status->text().isEmpty() && dockOf(f)->samples(0).size() >= 2; }));

        auto *pause = control<QPushButton>(f.window.get(), u"buttonTrendPause"_s);
        pause->click();
        QCOMPARE(QStringList({status->text(), pause->text()}), QStringList({"Paused", "Resume"}));
        pause->click();
        QCOMPARE(status->text(), QString());

        control<QPushButton>(f.window.get(), u"buttonTimerStop"_s)->click();
        QVERIFY(f.waitFor(stopped));
        control<QPushButton>(f.window.get(), u"buttonTimerStart"_s)->click();
        QVERIFY(f.waitFor([&] { return status->text().isEmpty(); }));
        // A slow controller makes each tick last more than a second: polling still runs, and says so.
        f.slowReplies(400);
        QStringList said;
        QObject context;
        connect(&f.link(), &wire::Link::replied, &context, [&] { said << status->text(); });
        const qint64 slowFrom = f.window->poller().ticks();
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= slowFrom + 3; }, 10000));
        QVERIFY2(!said.contains(u"Polling stopped: plot paused"_s), qPrintable(said.join(u'|')));

        // The console chosen while such a tick still reads: nothing more is sampled, and the plot says so.
        f.clearCommands();
        said.clear();
        const int beforeConsole = dockOf(f)->samples(0).size();
        f.selectTab(u"0"_s);
        // Until the stop's goodbye has reached the controller.
        QVERIFY(f.waitFor([&] {
            return stopped() && !f.window->poller().isRunning() && !f.link().busy() &&
                   f.commands().contains(u"CMD$ 0"_s);
        }));
        QCOMPARE(dockOf(f)->samples(0).size(), beforeConsole);
        QVERIFY2(!said.contains(QString()), qPrintable(said.join(u'|')));
        f.sim->setOptions(MonitorFixture::makeOptions());
        f.clearCommands();
        const int sampled = dockOf(f)->samples(0).size();
        control<QPushButton>(f.window.get(), u"buttonTimerStart"_s)->click();
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= 4; }));
        f.settle();
        QCOMPARE(f.commands(), QStringList({"CMD$"}));
        QCOMPARE(dockOf(f)->samples(0).size(), sampled);
        QVERIFY(stopped());
    }

    void axisValuesFollowTheAxisPagesBoard()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {}, {"Axis/Counter Y"}));
        // Counter Y is 77 on board 2 and 5 on board 0, which stays selected.
        for (const char *line : {"MPG 2", "SETP -1 0 77 0 0", "MPG 0", "SETP -1 0 5 0 0"})
            f.exchange(QLatin1String(line));
        trend::TrendDock *dock = dockOf(f);
        ui::Page *io = &f.window->ioPage();
        ui::Page *axis = &f.window->axisPage();

        // No board on the Axis page: it reads no axis, and neither does the plot.
        QCOMPARE(tickOn(f, io), ioReads);
        QCOMPARE(dock->samples(0).size(), 0);

        // Board 2 chosen on the Axis page and accepted when it polls.
        chooseBoard(f, u"2"_s);
        const QStringList boardReads = tickOn(f, axis).mid(1); // after the point table's read
        QCOMPARE(boardReads.value(0), u"MPG 2"_s);
        QCOMPARE(dock->samples(0).size(), 1);
        // Elsewhere the plot reads that board, selecting it until the tab changes.
        QCOMPARE(tickOn(f, io), ioReads + boardReads);
        QCOMPARE(tickOn(f, io), ioReads + boardReads.mid(1));
        f.selectTab(u"1"_s);
        f.selectTab(u"0"_s);
        QVERIFY(f.waitFor([&] { return !f.window->poller().isRunning() && !f.link().busy(); }));
        f.exchange(u"MPG 0"_s); // as typed on the console
        QCOMPARE(tickOn(f, io), ioReads + boardReads);
        QCOMPARE(dock->samples(0).size(), 4);
        QCOMPARE(dock->samples(0).last()->value, 77.0);

        // A board the controller refuses falls back to none: a gap again.
        chooseBoard(f, u"9"_s);
        tickOn(f, axis);
        QCOMPARE(f.dialogs.alertTexts().size(), 1);
        QCOMPARE(tickOn(f, io), ioReads);
        QCOMPARE(dock->samples(0).size(), 4);
    }

    // Paused it samples, closed it reads nothing, reopened leaves a gap; a removed series is gone.
    void pausedClosedAndRemoved()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {u"A"_s, u"B"_s}, {"Variables/A", "Variables/B"}));
        f.exchange(u"A=1 : B=2"_s);
        trend::TrendDock *dock = dockOf(f);
        ui::Page *io = &f.window->ioPage();
        const auto later = [&f] { f.clock.value = f.clock.value.addMSecs(300); };
        auto *pause = control<QPushButton>(f.window.get(), u"buttonTrendPause"_s);
        pause->click();
        QCOMPARE(tickOn(f, io), ioReads + QStringList({"PR A", "PR B"}));
        QCOMPARE(dock->samples(0).size(), 1);
        pause->click();
        control<QAction>(f.window.get(), u"menuViewTrend"_s)->trigger();
        QVERIFY(!dock->isVisible());
        later();
        QCOMPARE(tickOn(f, io), ioReads);
        QCOMPARE(dock->samples(0).size(), 1);
        control<QAction>(f.window.get(), u"menuViewTrend"_s)->trigger();
        later();
        QCOMPARE(tickOn(f, io), ioReads + QStringList({"PR A", "PR B"}));
        QCOMPARE(dock->samples(0).size(), 2);
        QCOMPARE(dock->samples(0).at(1).ms - dock->samples(0).at(0).ms, qint64(600));

        QAction *remove =
            menuEntry(control<QToolButton>(f.window.get(), u"buttonTrendSeries"_s), u"A"_s, u"Remove"_s);
        QVERIFY(remove);
        remove->trigger();
        QCOMPARE(legend(f), QStringList{u"B: 2"_s});
        QCOMPARE(tickOn(f, io), ioReads + QStringList{"PR B"});
        QCOMPARE(dock->seriesCount(), 1);
        QCOMPARE(dock->samples(0).size(), 3);
        QVERIFY(dock->csv().startsWith(u"time,B\r\n"_s));
        QVERIFY(plot(f, u"Variables"_s, u"A"_s));
        QCOMPARE(tickOn(f, io), ioReads + QStringList({"PR B", "PR A"}));
        QCOMPARE(legend(f), QStringList({u"B: 2"_s, u"A: 1"_s}));
    }
};

QTEST_MAIN(TestTrend)
#include "test_trend.moc"

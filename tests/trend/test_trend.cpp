// The trend dock against the in-process simulator: what it plots and reads each tick, and its controls.
#include "axis/axispage.h"
#include "monitor/iopage.h"
#include "panels/variablespage.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/trendmenu.h"
#include "support/widgets.h"
#include "trend/trenddock.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

namespace {

const QStringList ioReads = {"PR IN(0)", "PR IN(24)", "PR IN(-1)"}; // the I/O page's own

trend::TrendDock *dockOf(MonitorFixture &f)
{
    return f.window->findChild<trend::TrendDock *>(QStringLiteral("dockTrend"));
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
    QAction *found = menu ? menu->findChild<QAction *>(QStringLiteral("actionTrendPlot")) : nullptr;
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

void exchangeAll(MonitorFixture &f, const QStringList &lines)
{
    for (const QString &line : lines)
        f.exchange(line);
}

QStringList legend(MonitorFixture &f)
{
    QStringList texts;
    while (auto *key =
               control<QToolButton>(f.window.get(), QStringLiteral("buttonTrendKey%1").arg(texts.size())))
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

// As the user picks a board on the Axis page.
void chooseBoard(MonitorFixture &f, const QString &board)
{
    auto *popup = control<QComboBox>(f.window.get(), QStringLiteral("popupbuttonPgSelect"));
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
        QAction *view = control<QAction>(f.window.get(), QStringLiteral("menuViewTrend"));
        QVERIFY(view && f.window->viewMenu()->actions().contains(view));
        f.window->variablesPage().setVariableNames({QStringLiteral("A"), QStringLiteral("S$")});

        QVERIFY(plot(f, QStringLiteral("Outputs"), QStringLiteral("OUT 3")));
        QVERIFY(dock->isVisible());
        // A string variable is no number to plot.
        QVERIFY(!addEntry(f, QStringLiteral("Variables"), QStringLiteral("S$")));
        QVERIFY(plotAll(f, {"Variables/A", "MBK/MBK(1~Int)", "MBK bits/MBK 70002", "Tasks/Task 0 step",
                            "Axis/Position X"}));
        // The same from the value's own context menu, once only.
        QCOMPARE(plotFromMenu(f, "labelPgCounterY"), Entry::Clicked);
        QCOMPARE(plotFromMenu(f, "labelOut3"), Entry::Off);
        QCOMPARE(plotFromMenu(f, "labelCuInp2"), Entry::Clicked);
        QCOMPARE(legend(f), QStringList({"OUT 3", "A", "MBK(1~Int)", "MBK 70002", "Task 0 step", "Position X",
                                         "Counter Y", "CU IN 2002"}));
        // Eight is the most: every entry is off now.
        QAction *ninth = addEntry(f, QStringLiteral("Outputs"), QStringLiteral("OUT 4"));
        QVERIFY(ninth && !ninth->isEnabled());

        // With a board on the Axis page the axis values come in; the legend shows each last value.
        chooseBoard(f, QStringLiteral("0"));
        tickOn(f, &f.window->axisPage());
        exchangeAll(f,
                    {"ON 3", "A=-42", "MBK(1~Int)=300", "ON 70002", "SETP 0 1500 0 0 0", "SETP -1 0 77 0 0"});
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
        f.exchange(QStringLiteral("ON 3"));
        f.selectTab(QStringLiteral("1"));
        QCOMPARE(plotFromMenu(f, "labelOut3"), Entry::Clicked);
        QVERIFY(f.waitFor([&] { return legend(f) == QStringList{QStringLiteral("OUT 3: 1")}; }));
        QVERIFY(!control<QLineEdit>(f.window.get(), QStringLiteral("textfieldTaskStatus0")));
        QVERIFY(plot(f, QStringLiteral("Tasks"), QStringLiteral("Task 0 step")));
    }

    // A control offers what it shows now; extra reads follow the page's, in the series' order, never twice.
    void valuesOfferedAndReadOnce()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {QStringLiteral("A"), QStringLiteral("B")}, {}));
        QWidget *w = f.window.get();
        // In long entries the second row has no address: nothing to plot there.
        control<QRadioButton>(w, QStringLiteral("radiobuttonMbkSizeLng"))->click();
        QCOMPARE(plotFromMenu(f, "textfieldMbkData1"), Entry::Off);
        // In words it shows the word at address 1, which the plot then reads.
        control<QRadioButton>(w, QStringLiteral("radiobuttonMbkSizeWrd"))->click();
        QVERIFY(addEntry(f, QStringLiteral("MBK"), QStringLiteral("MBK(1~Wrd)")));
        QCOMPARE(plotFromMenu(f, "textfieldMbkData1"), Entry::Clicked);
        QVERIFY(plotAll(f, {"Variables/B", "Outputs/OUT 1", "Variables/A"}));
        control<QCheckBox>(w, QStringLiteral("checkboxVariAll"))->click();
        exchangeAll(f, {"MBK(1~Wrd)=513", "B=9"});
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
        QVERIFY(connectAndPlot(f, {QStringLiteral("A")}, {"Outputs/OUT 3", "Variables/A"}));
        trend::TrendDock *dock = dockOf(f);
        f.exchange(QStringLiteral("A=5000"));
        tickOn(f, &f.window->ioPage());
        f.clock.value = f.clock.value.addMSecs(300);
        exchangeAll(f, {"ON 3", "A=7000"});
        tickOn(f, &f.window->ioPage());

        const QString path = f.tempDir.filePath(QStringLiteral("trend.csv"));
        f.dialogs.setNextFileName(path);
        control<QPushButton>(f.window.get(), QStringLiteral("buttonTrendCsv"))->click();
        QCOMPARE(QString::fromUtf8(bytesOf(path)), QStringLiteral("time,OUT 3,A\r\n"
                                                                  "2026-12-05T09:05:03.000,0,5000\r\n"
                                                                  "2026-12-05T09:05:03.300,1,7000\r\n"));
        QVERIFY(f.dialogs.alertTexts().isEmpty());

        // A folder that is not there: one alert that names the file, no file.
        const QString nowhere = f.tempDir.filePath(QStringLiteral("gone/trend.csv"));
        f.dialogs.setNextFileName(nowhere);
        control<QPushButton>(f.window.get(), QStringLiteral("buttonTrendCsv"))->click();
        QVERIFY2(f.dialogs.alertTexts().size() == 1 && f.dialogs.alertTexts().first().contains(nowhere),
                 qPrintable(f.dialogs.alertTexts().join(u'|')));
        QVERIFY(!QFile::exists(nowhere));

        // Hovering gives the clock time and values there, counted back from the newest; nothing off the plot.
        const QRectF area = dock->chartView()->chart()->plotArea();
        QCOMPARE(dock->hoverText(area.right()), QStringLiteral("09:05:03.300\nOUT 3: 1\nA: 7000"));
        QCOMPARE(dock->hoverText(area.right() - area.width() * 0.3 / 60.0),
                 QStringLiteral("09:05:03.000\nOUT 3: 0\nA: 5000"));
        QCOMPARE(dock->hoverText(area.left() - 1), QString());

        // The picture: the chart with its legend, as the dock shows it.
        const QString png = f.tempDir.filePath(QStringLiteral("trend.png"));
        f.dialogs.setNextFileName(png);
        control<QPushButton>(f.window.get(), QStringLiteral("buttonTrendPng"))->click();
        const QImage image(png);
        QVERIFY(image.width() >= dock->chartView()->width() && image.height() > dock->chartView()->height());

        const auto axisMax = [dock] {
            const QList<QAbstractAxis *> axes = dock->chartView()->chart()->axes(Qt::Vertical);
            auto *y = axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes.first());
            return y ? y->max() : -1.0;
        };
        QVERIFY(axisMax() >= 7000);
        auto *keyA = control<QToolButton>(f.window.get(), QStringLiteral("buttonTrendKey1"));
        keyA->click();
        QVERIFY2(axisMax() < 10, qPrintable(QString::number(axisMax())));
        keyA->click();
        QVERIFY(axisMax() >= 7000);

        // Five minutes on, ten minutes shown put the last sample half way across.
        f.clock.value = f.clock.value.addSecs(300);
        tickOn(f, &f.window->ioPage());
        const QRectF later = dock->chartView()->chart()->plotArea();
        const double halfWay = later.left() + later.width() / 2;
        QVERIFY(!dock->hoverText(halfWay).contains(QStringLiteral("A: ")));
        auto *window = control<QComboBox>(f.window.get(), QStringLiteral("popupbuttonTrendWindow"));
        window->setCurrentIndex(window->findText(QStringLiteral("10 min")));
        QCOMPARE(dock->hoverText(halfWay), QStringLiteral("09:05:03.300\nOUT 3: 1\nA: 7000"));
    }

    // The status says when no tick comes; console ticks read nothing (a prompt there is the user's).
    void saysWhenPollingStops()
    {
        MonitorFixture f;
        QVERIFY(connectAndPlot(f, {}, {"Outputs/OUT 3"}));
        auto *status = control<QLabel>(f.window.get(), QStringLiteral("labelTrendStatus"));
        const auto stopped = [&] { return status->text() == QLatin1String("Polling stopped: plot paused"); };
        QVERIFY(stopped());
        f.selectTab(QStringLiteral("1"));
        QVERIFY(f.waitFor([&] { return status->text().isEmpty() && dockOf(f)->samples(0).size() >= 2; }));

        auto *pause = control<QPushButton>(f.window.get(), QStringLiteral("buttonTrendPause"));
        pause->click();
        QCOMPARE(QStringList({status->text(), pause->text()}), QStringList({"Paused", "Resume"}));
        pause->click();
        QCOMPARE(status->text(), QString());

        control<QPushButton>(f.window.get(), QStringLiteral("buttonTimerStop"))->click();
        QVERIFY(f.waitFor(stopped));
        control<QPushButton>(f.window.get(), QStringLiteral("buttonTimerStart"))->click();
        QVERIFY(f.waitFor([&] { return status->text().isEmpty(); }));

        f.clearCommands();
        f.selectTab(QStringLiteral("0"));
        // Until the stop's goodbye has reached the controller.
        QVERIFY(f.waitFor([&] {
            return stopped() && !f.window->poller().isRunning() && !f.link().busy() &&
                   f.commands().contains(QStringLiteral("CMD$ 0"));
        }));
        f.clearCommands();
        const int sampled = dockOf(f)->samples(0).size();
        control<QPushButton>(f.window.get(), QStringLiteral("buttonTimerStart"))->click();
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
        exchangeAll(f, {"MPG 2", "SETP -1 0 77 0 0", "MPG 0", "SETP -1 0 5 0 0"});
        trend::TrendDock *dock = dockOf(f);
        ui::Page *io = &f.window->ioPage();
        ui::Page *axis = &f.window->axisPage();

        // No board on the Axis page: it reads no axis, and neither does the plot.
        QCOMPARE(tickOn(f, io), ioReads);
        QCOMPARE(dock->samples(0).size(), 0);

        // Board 2 chosen on the Axis page and accepted when it polls.
        chooseBoard(f, QStringLiteral("2"));
        const QStringList boardReads = tickOn(f, axis).mid(1); // after the point table's read
        QCOMPARE(boardReads.value(0), QStringLiteral("MPG 2"));
        QCOMPARE(dock->samples(0).size(), 1);
        // Elsewhere the plot reads that board, selecting it until the tab changes.
        QCOMPARE(tickOn(f, io), ioReads + boardReads);
        QCOMPARE(tickOn(f, io), ioReads + boardReads.mid(1));
        f.selectTab(QStringLiteral("1"));
        f.selectTab(QStringLiteral("0"));
        QVERIFY(f.waitFor([&] { return !f.window->poller().isRunning() && !f.link().busy(); }));
        f.exchange(QStringLiteral("MPG 0")); // as typed on the console
        QCOMPARE(tickOn(f, io), ioReads + boardReads);
        QCOMPARE(dock->samples(0).size(), 4);
        QCOMPARE(dock->samples(0).last()->value, 77.0);

        // A board the controller refuses falls back to none: a gap again.
        chooseBoard(f, QStringLiteral("9"));
        tickOn(f, axis);
        QCOMPARE(f.dialogs.alertTexts().size(), 1);
        QCOMPARE(tickOn(f, io), ioReads);
        QCOMPARE(dock->samples(0).size(), 4);
    }

    // Paused it samples, closed it reads nothing, reopened leaves a gap; a removed series is neither read
    // nor kept, the others keep their keys and samples.
    void pausedClosedAndRemoved()
    {
        MonitorFixture f;
        QVERIFY(
            connectAndPlot(f, {QStringLiteral("A"), QStringLiteral("B")}, {"Variables/A", "Variables/B"}));
        exchangeAll(f, {"A=1", "B=2"});
        trend::TrendDock *dock = dockOf(f);
        ui::Page *io = &f.window->ioPage();
        const auto later = [&f] { f.clock.value = f.clock.value.addMSecs(300); };
        auto *pause = control<QPushButton>(f.window.get(), QStringLiteral("buttonTrendPause"));
        pause->click();
        QCOMPARE(tickOn(f, io), ioReads + QStringList({"PR A", "PR B"}));
        QCOMPARE(dock->samples(0).size(), 1);
        pause->click();
        control<QAction>(f.window.get(), QStringLiteral("menuViewTrend"))->trigger();
        QVERIFY(!dock->isVisible());
        later();
        QCOMPARE(tickOn(f, io), ioReads);
        QCOMPARE(dock->samples(0).size(), 1);
        control<QAction>(f.window.get(), QStringLiteral("menuViewTrend"))->trigger();
        later();
        QCOMPARE(tickOn(f, io), ioReads + QStringList({"PR A", "PR B"}));
        QCOMPARE(dock->samples(0).size(), 2);
        QCOMPARE(dock->samples(0).at(1).ms - dock->samples(0).at(0).ms, qint64(600));

        QAction *remove = menuEntry(control<QToolButton>(f.window.get(), QStringLiteral("buttonTrendSeries")),
                                    QStringLiteral("A"), QStringLiteral("Remove"));
        QVERIFY(remove);
        remove->trigger();
        QCOMPARE(legend(f), QStringList{QStringLiteral("B: 2")});
        QCOMPARE(tickOn(f, io), ioReads + QStringList{"PR B"});
        QCOMPARE(dock->seriesCount(), 1);
        QCOMPARE(dock->samples(0).size(), 3);
        QVERIFY(dock->csv().startsWith(QStringLiteral("time,B\r\n")));
        QVERIFY(plot(f, QStringLiteral("Variables"), QStringLiteral("A")));
        QCOMPARE(tickOn(f, io), ioReads + QStringList({"PR B", "PR A"}));
        QCOMPARE(legend(f), QStringList({QStringLiteral("B: 2"), QStringLiteral("A: 1")}));
    }
};

QTEST_MAIN(TestTrend)
#include "test_trend.moc"

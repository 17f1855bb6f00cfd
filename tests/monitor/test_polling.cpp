// Polling, forcing and board selection against the simulator: the wire, its order, the lamps.
#include "support/fixture.h"
#include "support/referee.h"
#include "support/widgets.h"
#include "ui/uihelpers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <array>
#include <functional>

namespace {

using ui::textColor;

// Runs `act` once the monitor waits inside an exchange (and, given `arrived`, the simulator has it).
void whenWaiting(MonitorFixture &f, QTimer &timer, const std::function<void()> &act,
                 const QString &arrived = {})
{
    QObject::connect(&timer, &QTimer::timeout, [&f, &timer, act, arrived] {
        if (f.link().busy() && f.link().waiting() && (arrived.isEmpty() || f.commands().contains(arrived))) {
            timer.stop();
            act();
        }
    });
    timer.start(20);
}

const QString kAxisQuery = QStringLiteral("PR LMT(0) HPT(0) P(0) RR(ALL_A) X(-1) Y(-1) U(-1) Z(-1)");

} // namespace

class TestPolling : public QObject
{
    Q_OBJECT

    static QPushButton *button(MonitorFixture &f, const QString &name)
    {
        return control<QPushButton>(f.window.get(), name);
    }

private slots:
    void tabChangeStartsAndStopsPolling()
    {
        MonitorFixture f;
        // Not connected, a monitor tab cannot be chosen.
        f.selectTab("1");
        QCOMPARE(control<QTabWidget>(f.window.get(), "tabview")->currentIndex(), 0);
        QVERIFY(!f.window->poller().isRunning());

        QVERIFY(f.connectToSim());
        f.clearCommands();
        f.selectTab("1");
        QVERIFY(control<QLabel>(f.window.get(), "labelindicator")->isVisibleTo(f.window.get()));
        QVERIFY(f.waitFor([&] { return f.window->poller().isRunning(); }));
        // Two whole ticks: each reads outputs, inputs and relays of the first banks.
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= 2 && !f.link().busy(); }));
        QCOMPARE(f.commands().mid(0, 7).join(u'|'),
                 QStringLiteral("CMD$|PR IN(0)|PR IN(24)|PR IN(-1)|PR IN(0)|PR IN(24)|PR IN(-1)"));

        // Another monitor tab keeps the timer; the next tick polls the new tab.
        control<QComboBox>(f.window.get(), QStringLiteral("popupbuttonCuInpBank"))->setCurrentIndex(1);
        f.selectTab("4");
        QVERIFY(f.window->poller().isRunning());
        QVERIFY(f.waitForCommand("PR IN(2001)"));
        QCOMPARE(f.commands().count(QStringLiteral("CMD$")), 1);

        // Between ticks, so that the stop runs at once.
        f.settle();
        f.clearCommands();
        f.selectTab("0");
        QVERIFY(!f.window->poller().isRunning());
        QVERIFY(control<QLabel>(f.window.get(), "labelindicator")->isHidden());
        QVERIFY(f.waitForCommand("CMD$ 0"));
        QCOMPARE(f.commands(), QStringList{QStringLiteral("CMD$ 0")});
        QVERIFY(f.consoleText().contains(QStringLiteral("\r\n// 9:05:03 //"))); // the stop marker, clock time

        // The stop button stops polling once; a second press does nothing.
        f.selectTab("2");
        QVERIFY(f.waitFor([&] { return f.window->poller().isRunning(); }));
        f.settle();
        f.clearCommands();
        // Slow replies: a command right after the stop would meet the stop's own prompt.
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 150;
        f.sim->setOptions(slow);
        button(f, "buttonTimerStop")->click();
        QVERIFY(!f.window->poller().isRunning());
        button(f, "buttonTimerStop")->click();
        // The next command waits for the stop's answer and gets its own.
        QCOMPARE(f.exchange("PR 12345").value_or(QString()), QStringLiteral("\r\n 12345\r\n#"));
        QCOMPARE(f.commands(), (QStringList{QStringLiteral("CMD$ 0"), QStringLiteral("PR 12345")}));

        // After a time-out inside a tick no timer is left to tick again (the rest is the fault matrix's).
        f.timeoutField()->setText("1");
        sim::Options stall = MonitorFixture::makeOptions();
        stall.stallAfter = 1; // "CMD$" is answered, the first poll is not
        f.sim->setOptions(stall);
        f.selectTab("1");
        QVERIFY(f.waitFor([&] { return !f.dialogs.entries.isEmpty() && !f.link().busy(); }, 8000));
        QVERIFY(!f.window->poller().isRunning());
        QCOMPARE(f.window->poller().ticks(), qint64(1));
    }

    // Real clicks, one exchange each, operands from the last poll's labels; before a poll, or
    // without a board, they send nothing. A refused board falls back to none.
    void forcingButtonsAndBoardSelection()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        QComboBox *board = control<QComboBox>(f.window.get(), QStringLiteral("popupbuttonPgSelect"));
        QCOMPARE(board->currentText(), QStringLiteral("None"));
        f.clearCommands();
        for (const char *name :
             {"buttonOutOnOff3", "buttonOutOnOff28", "buttonMbkIoOnOff16", "buttonCuOnOff0"})
            button(f, QLatin1String(name))->click();
        for (int tag = 0; tag < 8; ++tag)
            button(f, QStringLiteral("buttonPgHout%1").arg(tag))->click();
        f.exchange("PR 2");
        QCOMPARE(f.commands(), QStringList{QStringLiteral("PR 2")});
        board->setCurrentIndex(board->findText("1"));
        f.exchange("MPG 1");
        button(f, "buttonPgHout6")->click();
        QVERIFY(f.waitForCommand("H_ON 3"));
        button(f, "buttonPgHout7")->click();
        QVERIFY(f.waitForCommand("H_OFF 3"));

        // The MBK tab reads rows 0, 2, 4 and 6 always, odd rows only when filled, then the bit word.
        const QStringList addresses = QStringLiteral("100,,102,103,104,,106,").split(u',');
        for (int row = 0; row < 8; ++row)
            control<QLineEdit>(f.window.get(), QStringLiteral("textfieldMbkAdr%1").arg(row))
                ->setText(addresses.at(row));
        f.clearCommands();
        f.selectTab("3");
        const QString bitWord = QStringLiteral("PR IN(70000~Wrd)");
        QVERIFY(f.waitFor([&] { return f.commands().count(bitWord) >= 1; }));
        QCOMPARE(f.commands().value(0), QStringLiteral("CMD$"));
        const QStringList tick = f.commands().mid(1, f.commands().indexOf(bitWord) - 1);
        static const QRegularExpression mbk(QStringLiteral("MBK\\((\\d+)"));
        QStringList read;
        for (const QString &c : tick)
            read << mbk.match(c).captured(1);
        QCOMPARE(read.join(u','), QStringLiteral("100,102,104,106,103"));
        QVERIFY(f.waitFor([&] {
            return control<QLabel>(f.window.get(), "labelMbkIo15BitNo")->text() == QLatin1String("70015");
        }));
        // A bank chosen while another is read shows nothing of that reading: what it read stays
        // unshown until the next tick reads the chosen bank.
        auto *mbkBank = control<QComboBox>(f.window.get(), QStringLiteral("popupbuttonMbkIoBank"));
        f.slowReplies();
        mbkBank->setCurrentIndex(1);
        QTimer chooser;
        whenWaiting(
            f, chooser, [&] { mbkBank->setCurrentIndex(0), f.clearCommands(); },
            QStringLiteral("PR IN(70100~Wrd)"));
        QVERIFY(f.waitFor([&] { return !chooser.isActive() && !f.commands().isEmpty(); }, 10000));
        const QString shown = control<QLabel>(f.window.get(), "labelMbkIo15BitNo")->text();
        QVERIFY2(shown == QStringLiteral("\u2014") || shown == QStringLiteral("70015"), qPrintable(shown));
        f.sim->setOptions(MonitorFixture::makeOptions());

        // Tab, bank popup set before polling, its item's bank word, button, command.
        const std::array<const char *, 5> clicks[] = {
            {"1", "popupbuttonOutBank", "2", "buttonOutOnOff3", "ON 19"},
            {"1", "popupbuttonMemioBank", "-1", "buttonOutOnOff41", "CLR_OUTP 8"},
            {"1", "popupbuttonMemioBank", "-1", "buttonOutOnOff35", "OFF -8"},
            {"3", "popupbuttonMbkIoBank", "70000", "buttonMbkIoOnOff31", "OFF 70015"},
            {"4", "popupbuttonCuOutBank", "2001", "buttonCuOnOff0", "ON 2008"}};
        for (const auto &[tab, popup, bank, name, expected] : clicks) {
            auto *box = control<QComboBox>(f.window.get(), QLatin1String(popup));
            box->setCurrentIndex(box->findText(QLatin1String(bank) + u' ', Qt::MatchStartsWith));
            f.selectTab(QLatin1String(tab));
            const qint64 ticks = f.window->poller().ticks(); // a whole tick after the change
            QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= ticks + 2 && !f.link().busy(); }));
            f.clearCommands();
            button(f, QLatin1String(name))->click();
            QVERIFY(f.waitForCommand(QLatin1String(expected)));
            QCOMPARE(f.commands().count(QLatin1String(expected)), 1);
            QCOMPARE(f.commands().first(), QLatin1String(expected));
        }
        // Polling stopped, another CU output bank: the lamps show nothing of the one before, and a
        // button under them sends nothing until the new bank is read.
        f.selectTab("0");
        QVERIFY(f.waitFor([&] { return !f.window->poller().isRunning() && !f.link().busy(); }));
        control<QComboBox>(f.window.get(), QStringLiteral("popupbuttonCuOutBank"))->setCurrentIndex(5);
        QCOMPARE(control<QLabel>(f.window.get(), "labelCuOut0BitNo")->text() +
                     control<QLabel>(f.window.get(), "labelCuOutStat")->text(),
                 QStringLiteral("\u2014\u2014"));
        f.clearCommands();
        button(f, "buttonCuOnOff0")->click();
        f.exchange("PR 3");
        QCOMPARE(f.commands(), QStringList{QStringLiteral("PR 3")});

        board->setCurrentIndex(board->findText("7")); // the simulator has boards 0-3
        f.selectTab("5");
        QVERIFY(f.waitFor([&] { return !f.dialogs.entries.isEmpty(); }));
        const QString alert = f.dialogs.entries.first().text; // the refusal, without the prompt
        QVERIFY2(alert.startsWith("MPG 7\r\n\t") && !alert.contains("\r\n#"), qPrintable(alert));
        QCOMPARE(board->currentText(), QStringLiteral("None"));

        // Without a board nothing of the axis signals is asked for.
        const qint64 ticks = f.window->poller().ticks();
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= ticks + 2; }));
        QCOMPARE(f.commands().count(QStringLiteral("MPG 7")), 1);
        QVERIFY(!f.commands().contains(kAxisQuery));
        QVERIFY(control<QGroupBox>(f.window.get(), QStringLiteral("boxPgIo"))->isHidden());

        // The board the user picks next is selected once, then only polled.
        const auto selectedOnceThenPolled = [&] {
            return f.waitFor([&] { return f.commands().count(kAxisQuery) >= 2; }) &&
                   f.commands().count(QStringLiteral("MPG 2")) == 1 &&
                   f.commands().mid(f.commands().indexOf("MPG 2") + 1).startsWith(kAxisQuery);
        };
        board->setCurrentIndex(board->findText("2"));
        QVERIFY(selectedOnceThenPolled());
        QVERIFY(!control<QGroupBox>(f.window.get(), QStringLiteral("boxPgIo"))->isHidden());
        QCOMPARE(f.dialogs.entries.size(), 1);

        // Any tab change makes the next axis tick select the board again.
        f.selectTab("1");
        QVERIFY(f.waitForCommand("PR IN(-1)"));
        f.clearCommands();
        f.selectTab("5");
        QVERIFY(selectedOnceThenPolled());
    }

    // A click while a tick waits for a slow reply is neither sent in between nor lost.
    void clickDuringSlowTickWaitsForTheSlot()
    {
        MonitorFixture f;
        WireReferee referee(f.sim->port());
        f.addressField()->setText(QStringLiteral("127.0.0.1:%1").arg(referee.port()));
        button(f, "buttonConnect")->click();
        QVERIFY(f.waitFor([&] { return f.commands().contains("CMD$ 0") && f.consoleText().endsWith('#'); }));
        f.selectTab("1");
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= 1 && !f.link().busy(); }));

        // Slow replies: the click comes in the middle of the next tick's first exchange.
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 2200;
        f.sim->setOptions(slow);
        f.clearCommands();
        QStringList atClick;
        QTimer clicker;
        whenWaiting(
            f, clicker,
            [&] {
                atClick = f.commands();
                button(f, "buttonOutOnOff0")->click();
                // Another bank chosen before the click's turn comes: the click stands as made.
                control<QComboBox>(f.window.get(), QStringLiteral("popupbuttonOutBank"))->setCurrentIndex(1);
                f.sim->setOptions(MonitorFixture::makeOptions());
            },
            QStringLiteral("PR IN(0)"));
        QVERIFY(f.waitForCommand("ON 0", 15000));
        QCOMPARE(atClick, QStringList{QStringLiteral("PR IN(0)")});
        QCOMPARE(f.commands().mid(0, 4).join(u'|'), QStringLiteral("PR IN(0)|PR IN(24)|PR IN(-1)|ON 0"));
        QCOMPARE(f.commands().count(QStringLiteral("ON 0")), 1);
        control<QComboBox>(f.window.get(), QStringLiteral("popupbuttonOutBank"))->setCurrentIndex(0);
        QVERIFY(
            f.waitFor([&] { return textColor(control<QLabel>(f.window.get(), "labelOut0")) == ui::kRed; }));

        // Ticks due while a click's exchange waits are skipped, not run late in a burst.
        f.settle();
        f.sim->setOptions(slow);
        f.clearCommands();
        const qint64 ticksBefore = f.window->poller().ticks();
        qint64 ticksAtReply = -1;
        QObject context;
        QObject::connect(&f.link(), &wire::Link::replied, &context, [&] {
            if (ticksAtReply < 0)
                ticksAtReply = f.window->poller().ticks();
        });
        button(f, "buttonOutOnOff8")->click();
        QVERIFY(f.waitFor([&] { return ticksAtReply >= 0; }, 15000));
        QCOMPARE(ticksAtReply, ticksBefore);
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= ticksBefore + 2; }));
        QCOMPARE(f.commands().mid(0, 4).join(u'|'), QStringLiteral("OFF 0|PR IN(0)|PR IN(24)|PR IN(-1)"));
        // With nobody else in the slot, no tick is reported skipped.
        QSignalSpy skipped(&f.window->poller(), &monitor::Poller::ticksSkipped);
        const qint64 idleFrom = f.window->poller().ticks();
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= idleFrom + 3; }));
        QCOMPARE(skipped.count(), 0);

        int checked = 0;
        QCOMPARE(referee.overlaps(checked), QStringList());
        QVERIFY(checked >= 12);

        // A disconnect while a tick waits ends that tick at once, and no tick follows.
        f.settle();
        f.sim->setOptions(slow);
        f.clearCommands();
        bool pressed = false;
        QTimer disconnector;
        whenWaiting(f, disconnector, [&] {
            pressed = true;
            button(f, "buttonDisconnect")->click();
        });
        QVERIFY(f.waitFor([&] { return pressed && !f.link().busy(); }, 15000));
        QVERIFY(!wire::isUp(f.link().state()));
        QVERIFY(!f.window->poller().isRunning());
        QCOMPARE(f.commands().value(0), QStringLiteral("PR IN(0)"));
        QVERIFY(!f.commands().contains(QStringLiteral("PR IN(24)")));
        QVERIFY(f.dialogs.entries.isEmpty());
    }
};

QTEST_MAIN(TestPolling)
#include "test_polling.moc"

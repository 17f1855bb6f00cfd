// The debug and maintenance tools against the simulator: breakpoints, the
// clock and the monitor output.
#include "sim/machine.h"
#include "sim/server.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>

#include <memory>

namespace {

// Selects the last occurrence of `what` in the console view, as a drag with
// the mouse would.
bool selectInConsole(QPlainTextEdit *view, const QString &what)
{
    const qsizetype at = view->toPlainText().lastIndexOf(what);
    if (at < 0)
        return false;
    QTextCursor c(view->document());
    c.setPosition(static_cast<int>(at));
    c.setPosition(static_cast<int>(at + what.size()), QTextCursor::KeepAnchor);
    view->setTextCursor(c);
    return view->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n') == what;
}

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;

    // Numbered program lines go in one prompt exchange each.
    void loadProgram(const QStringList &lines)
    {
        f->exchange(QStringLiteral("NEW"));
        for (const QString &l : lines)
            f->exchange(l);
        f->settle();
        f->clearCommands();
    }

    bool waitForCommands(const QStringList &expected)
    {
        f->waitFor([&] { return f->commands().size() >= expected.size(); });
        f->settle();
        if (f->commands() != expected)
            qWarning() << "commands:" << f->commands() << "expected:" << expected;
        return f->commands() == expected;
    }

    // Clicks with a fresh command log and waits for exactly `expected`.
    bool clickSends(QPushButton *button, const QStringList &expected)
    {
        f->clearCommands();
        button->click();
        return waitForCommands(expected);
    }

    bool stepControlsOn(bool on) const
    {
        return control<QPushButton>(f->window.get(), "buttonBkpN")->isEnabled() == on &&
               control<QPushButton>(f->window.get(), "buttonBkpT")->isEnabled() == on &&
               control<QPushButton>(f->window.get(), "buttonBkpVari")->isEnabled() == on &&
               control<QLineEdit>(f->window.get(), "textFieldBkpVariName")->isEnabled() == on &&
               control<QPushButton>(f->window.get(), "buttonBkpAddDel")->isEnabled() &&
               control<QPushButton>(f->window.get(), "buttonBkpEnum")->isEnabled() &&
               control<QPushButton>(f->window.get(), "buttonBkpAllClr")->isEnabled();
    }

    // Starts three tasks that each run to an END and stay there.
    void runThreeTasksToEnd()
    {
        loadProgram({"10 *MAIN", "20 A=1", "30 END", "100 *SUB1", "110 B=2", "120 END", "200 *SUB2",
                     "210 S$=\"#5\"", "220 END : REM #2"});
        f->exchange(QStringLiteral("RUN"));
        f->exchange(QStringLiteral("TASK 1 *SUB1"));
        f->exchange(QStringLiteral("TASK 2 *SUB2"));
        QVERIFY(f->waitFor([&] {
            QList<qint64> lines;
            f->sim->withMachine([&](sim::Machine &m) {
                for (int n = 0; n < 3; ++n)
                    lines << (m.taskState(n) == sim::Machine::TaskState::Stopped ? m.taskLine(n) : -1);
            });
            return lines == QList<qint64>{30, 120, 220};
        }));
        f->settle();
        f->clearCommands();
    }

    // Task 0 stands at a breakpoint in an endless loop: RUN stopped it, or a
    // step or a continue stopped it again.
    bool waitForStop()
    {
        const bool stopped = f->waitFor([&] {
            return f->link().bkpMode() && control<QPushButton>(f->window.get(), "buttonBkpN")->isEnabled();
        });
        f->settle();
        f->clearCommands();
        return stopped;
    }

    bool stopAtBreakpoint()
    {
        loadProgram({"10 *LOOP", "20 A=A+1", "30 GOTO *LOOP"});
        f->exchange(QStringLiteral("BKP 20"));
        control<QPushButton>(f->window.get(), "buttonRun")->click();
        return waitForStop();
    }

private slots:
    void init()
    {
        f = std::make_unique<MonitorFixture>();
        QVERIFY(f->connectToSim());
        f->clearCommands();
    }

    void cleanup() { f.reset(); }

    void breakpointSession()
    {
        loadProgram({"10 *MAIN", "20 A=5", "30 *LOOP1", "40 A=A+1", "50 B=A*2", "60 GOTO *LOOP1"});

        // Connected but not stopped: setting and listing work, stepping does not.
        QVERIFY(stepControlsOn(false));

        // One breakpoint by label, one by step number.
        control<QLineEdit>(f->window.get(), "textFieldBkpNumber")->setText(QStringLiteral("LOOP1"));
        control<QPushButton>(f->window.get(), "buttonBkpAddDel")->click();
        QCOMPARE(control<QLineEdit>(f->window.get(), "textFieldBkpNumber")->text(), QStringLiteral("*LOOP1"));
        control<QLineEdit>(f->window.get(), "textFieldBkpNumber")->setText(QStringLiteral("50"));
        control<QPushButton>(f->window.get(), "buttonBkpAddDel")->click();
        QVERIFY(waitForCommands({"BKP *LOOP1", "BKP 50"}));

        // RUN stops at the label: the prompt turns into "#?", the console marks
        // the stop and the step controls come on.
        control<QPushButton>(f->window.get(), "buttonRun")->click();
        QVERIFY(f->waitFor([&] { return control<QPushButton>(f->window.get(), "buttonBkpN")->isEnabled(); }));
        QVERIFY(f->link().bkpMode() && stepControlsOn(true));
        QVERIFY(f->consoleText().contains(QStringLiteral("[BKP]  BREAK 30 ")));
        QVERIFY(f->consoleText().endsWith(QStringLiteral("#?")));
        QVERIFY(!f->consoleText().contains(QStringLiteral("[7m")));

        // A variable while stopped; the reply's "#?" keeps the mode on.
        control<QLineEdit>(f->window.get(), "textFieldBkpVariName")->setText(QStringLiteral("A"));
        QVERIFY(clickSends(control<QPushButton>(f->window.get(), "buttonBkpVari"), {"P A"}));
        QVERIFY(f->waitFor(
            [&] { return f->consoleText().endsWith(QStringLiteral("[BKP: Variable] A\r\n 5\r\n#?")); }));
        QVERIFY(f->link().bkpMode() && control<QPushButton>(f->window.get(), "buttonBkpN")->isEnabled());

        // One step: line 30 is done, the task stands at 40.
        QVERIFY(clickSends(control<QPushButton>(f->window.get(), "buttonBkpT"), {"T"}));
        QVERIFY(f->waitFor([&] { return f->consoleText().contains(QStringLiteral("BREAK 40")); }));
        QVERIFY(f->waitFor([&] {
            return f->link().bkpMode() && control<QPushButton>(f->window.get(), "buttonBkpT")->isEnabled();
        }));

        // Continue: line 40 runs, the breakpoint at 50 stops the task again.
        QVERIFY(clickSends(control<QPushButton>(f->window.get(), "buttonBkpN"), {"N"}));
        QVERIFY(f->waitFor(
            [&] { return f->consoleText().contains(QStringLiteral("BREAK 50")) && f->link().bkpMode(); }));

        // Clear all, then continue: the program runs free and the step controls
        // go off with the next reply.
        QVERIFY(clickSends(control<QPushButton>(f->window.get(), "buttonBkpAllClr"), {"BKP 0"}));
        QVERIFY(f->waitFor([&] {
            return f->link().bkpMode() && control<QPushButton>(f->window.get(), "buttonBkpN")->isEnabled();
        }));

        QVERIFY(clickSends(control<QPushButton>(f->window.get(), "buttonBkpN"), {"N"}));
        QVERIFY(
            f->waitFor([&] { return !control<QPushButton>(f->window.get(), "buttonBkpN")->isEnabled(); }));
        QVERIFY(!f->link().bkpMode() && stepControlsOn(false));
        QVERIFY(f->consoleText().endsWith(QStringLiteral("\r\n#")));
    }

    void targetAndSelection_data()
    {
        QTest::addColumn<bool>("variable"); // the variable button, else add/delete
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("fieldAfter");
        // A stop is left by a command only; the CR alone keeps it.
        QTest::newRow("typed number keeps its blanks") << false << ""
                                                       << " 120\t"
                                                       << "BKP 120"
                                                       << " 120\t";
        QTest::newRow("padded label trimmed") << false << ""
                                              << "  LOOP1 "
                                              << "BKP *LOOP1"
                                              << "*LOOP1";
        QTest::newRow("selection wins, cut at the line end") << false << "LOOP2\n#"
                                                             << "99"
                                                             << "BKP *LOOP2"
                                                             << "*LOOP2";
        QTest::newRow("blank target sends CR alone") << false << ""
                                                     << " \t "
                                                     << ""
                                                     << "";
        QTest::newRow("selected number is no variable") << true << "15"
                                                        << "B"
                                                        << ""
                                                        << "";
        QTest::newRow("selected variable") << true << "A1"
                                           << ""
                                           << "P A1"
                                           << "A1";
        QTest::newRow("variable cut at the line end") << true << "LOOP2\n#"
                                                      << ""
                                                      << "P LOOP2"
                                                      << "LOOP2";
        QTest::newRow("typed variable trimmed") << true << ""
                                                << " B2 "
                                                << "P B2"
                                                << " B2 ";
        QTest::newRow("no variable name") << true << ""
                                          << "  "
                                          << ""
                                          << "  ";
    }

    void targetAndSelection()
    {
        QFETCH(bool, variable);
        QFETCH(QString, select);
        QFETCH(QString, field);
        QFETCH(QString, command);
        QFETCH(QString, fieldAfter);

        QLineEdit *edit = variable ? control<QLineEdit>(f->window.get(), "textFieldBkpVariName")
                                   : control<QLineEdit>(f->window.get(), "textFieldBkpNumber");
        // A stop at a breakpoint, to see which paths leave it.
        QVERIFY(stopAtBreakpoint());
        f->window->consolePage().consoleAppendFollow(QStringLiteral("\r\n120\tA1=15 : GOTO *LOOP2\r\n#"));
        if (!select.isEmpty())
            QVERIFY(selectInConsole(control<QPlainTextEdit>(f->window.get(), "textView1"), select));
        edit->setText(field);
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);

        control<QPushButton>(f->window.get(), variable ? "buttonBkpVari" : "buttonBkpAddDel")->click();

        QCOMPARE(f->link().bkpMode(), command.isEmpty());
        QCOMPARE(edit->text(), fieldAfter);
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QVERIFY(waitForCommands({command}));
    }

    void simpleBreakpointActions()
    {
        const struct
        {
            QPushButton *button;
            const char *command;
            const char *note;
            bool bkpAfter;
        } cases[] = {
            {control<QPushButton>(f->window.get(), "buttonBkpN"), "N", "\r[BKP: Continue]", false},
            {control<QPushButton>(f->window.get(), "buttonBkpEnum"), "BKP", "\r[BKP: Enumerate]", true},
            {control<QPushButton>(f->window.get(), "buttonBkpT"), "T", "\r[BKP: Trace]", false},
            {control<QPushButton>(f->window.get(), "buttonBkpAllClr"), "BKP 0", "\r[BKP: All cleared]",
             false}};
        QVERIFY(stopAtBreakpoint());
        for (const auto &c : cases) {
            QVERIFY2(waitForStop(), c.command);
            control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
            QVERIFY(c.button->isEnabled());
            f->clearCommands();
            c.button->click();
            QCOMPARE(f->link().bkpMode(), c.bkpAfter);
            QVERIFY2(f->consoleText().endsWith(QLatin1String(c.note)), c.note);
            QVERIFY(!control<QCheckBox>(f->window.get(), "checkboxScroll")
                         ->isChecked()); // only the panel's entry actions switch it on
            QVERIFY(waitForCommands({QLatin1String(c.command)}));
        }
    }

    void clock()
    {
        const QString command = QStringLiteral("SET_RTC &H20261205 : SET_RTC &H00135210");
        f->sim->withMachine(
            [](sim::Machine &m) { m.setClock(QDateTime(QDate(2001, 1, 1), QTime(0, 0, 0))); });
        f->clock.value = QDateTime(QDate(2026, 12, 5), QTime(13, 52, 10));
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
        control<QPushButton>(f->window.get(), "buttonRtcAdj")->click();
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QVERIFY(waitForCommands({command}));
        // Echoed like a typed command; the reply is the bare prompt.
        QVERIFY(f->waitFor([&] { return f->consoleText().endsWith("\r\n" + command + "\r\n#"); }));

        // The check reads the clock back as the controller prints it.
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
        QVERIFY(
            clickSends(control<QPushButton>(f->window.get(), "buttonRtcCheck"), {"PR DATE$(0) TIME$(0)"}));
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QVERIFY(f->waitFor([&] { return f->consoleText().endsWith(QStringLiteral("\r\n#")); }));
        QVERIFY(f->consoleText().contains(QStringLiteral("\r\nPR DATE$(0) TIME$(0)\r\n 2026/12/05 13:5")));
    }

    void monitorOutput()
    {
        runThreeTasksToEnd();
        QString before = f->consoleText();
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
        QVERIFY(clickSends(control<QPushButton>(f->window.get(), "buttonMon"), {"CMD$", "MON", "CMD$ 0"}));
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        // The last prompt ends the wait in the receive path and is not shown.
        QVERIFY(f->waitFor([&] { return !f->link().busy(); }));
        f->settle();
        // The echo, then the whole reply with its prompt.
        QCOMPARE(f->consoleText(),
                 before + QStringLiteral(
                              "\r\nMON\r\nTASK 0 STOP [30]\r\nTASK 1 STOP [120]\r\nTASK 2 STOP [220]\r\n#"));

        // Annotated: neither the command nor the raw monitor reply is echoed; the
        // prompt after "CMD$ 0" comes through the live display.
        control<QPushButton>(f->window.get(), "buttonListNext")
            ->setEnabled(true); // as after a listing from the console
        before = f->consoleText();
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
        QVERIFY(clickSends(control<QPushButton>(f->window.get(), "buttonMonList"),
                           {"CMD$", "MON", "LIST 30 1", "LIST 120 1", "LIST 220 1", "CMD$ 0"}));
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QVERIFY(f->waitFor([&] { return f->consoleText().endsWith(QStringLiteral("\r\n#")); }));
        QCOMPARE(f->consoleText(),
                 before + QStringLiteral("\r\nTASK 0 STOP\t   30\tEND\r\nTASK 1 STOP\t   120\tEND\r\n"
                                         "TASK 2 STOP\t   220\tEND : REM 2\r\n\r\n#"));
        QVERIFY(!control<QPushButton>(f->window.get(), "buttonListNext")->isEnabled());
        QVERIFY(wire::isUp(f->link().state()));

        // With slow replies, a command right behind the listing still gets
        // its own answer, not the prompt that ends the listing.
        sim::Options slow = f->sim->options();
        slow.delayMs = 100;
        f->sim->setOptions(slow);
        control<QPushButton>(f->window.get(), "buttonMonList")->click();
        QCOMPARE(f->exchange(QStringLiteral("PR 12345")).value_or(QString()),
                 QStringLiteral("\r\n 12345\r\n#"));
    }

    void breakpointModeEndsWithTheLink()
    {
        // A time-out at a breakpoint leaves no step control on; RUN after reconnecting runs.
        QVERIFY(stopAtBreakpoint());
        f->timeoutField()->setText(QStringLiteral("0"));
        sim::Options stall = f->sim->options();
        stall.stallAfter = 0; // nothing answers before the time-out
        f->sim->setOptions(stall);
        QVERIFY(!f->exchange(QStringLiteral("P A")) &&
                !control<QPushButton>(f->window.get(), "buttonBkpN")->isEnabled() &&
                !control<QPushButton>(f->window.get(), "buttonBkpT")->isEnabled());
        // The controller as the next connection finds it: answering, no task stopped.
        f->sim->setOptions(MonitorFixture::makeOptions());
        f->sim->withMachine([](sim::Machine &m) { m.handleLine(QStringLiteral("NEW")); });
        QVERIFY(!control<QPushButton>(f->window.get(), "buttonBkpVari")->isEnabled() && f->connectToSim());
        QVERIFY(clickSends(control<QPushButton>(f->window.get(), "buttonRun"), {"RUN"}));
    }

    void annotatedListingTimeout()
    {
        runThreeTasksToEnd();
        f->timeoutField()->setText(QStringLiteral("1"));
        sim::Options o = f->sim->options();
        o.stallAfter = 3; // CMD$, MON and the first LIST are answered
        f->sim->setOptions(o);

        control<QPushButton>(f->window.get(), "buttonMonList")->click();
        QVERIFY(f->waitFor([&] { return !f->link().busy(); }, 10000));

        // The wait for the second listing ran out: the link is closed, the time-out
        // reported, and nothing of the listing is shown or sent after it.
        QVERIFY(!wire::isUp(f->link().state()));
        QCOMPARE(f->dialogs.entries.size(), 1);
        QVERIFY(f->dialogs.entries.first().text.startsWith(QStringLiteral("Receive Timeout")));
        QCOMPARE(f->commands(), (QStringList{"CMD$", "MON", "LIST 30 1", "LIST 120 1"}));
        QVERIFY(!f->consoleText().contains(QStringLiteral("TASK 0 STOP\t")));
    }
};

QTEST_MAIN(TestTools)
#include "test_tools.moc"

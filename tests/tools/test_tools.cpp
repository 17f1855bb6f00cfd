// The debug and maintenance tools against the simulator: breakpoints, the clock and the monitor output.
#include "sim/machine.h"
#include "sim/server.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>

#include <memory>

namespace {

// Selects the last occurrence of `what` in the console view, as a mouse drag would.
bool selectInConsole(QPlainTextEdit *view, const QString &what)
{
    QTextCursor c(view->document());
    c.setPosition(static_cast<int>(view->toPlainText().lastIndexOf(what)));
    c.setPosition(c.position() + static_cast<int>(what.size()), QTextCursor::KeepAnchor);
    view->setTextCursor(c);
    return view->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n') == what;
}

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;

    QPushButton *button(const char *name) const { return control<QPushButton>(f->window.get(), name); }
    QLineEdit *field(const char *name) const { return control<QLineEdit>(f->window.get(), name); }
    QCheckBox *liveOutput() const { return control<QCheckBox>(f->window.get(), "checkboxScroll"); }

    void loadProgram(const QStringList &lines)
    {
        f->sim->withMachine([&](sim::Machine &m) {
            for (const QString &l : QStringList{"NEW"} + lines)
                m.handleLine(l);
        });
    }

    bool waitForCommands(const QStringList &expected)
    {
        f->waitFor([&] { return f->commands().size() >= expected.size(); });
        f->settle();
        if (f->commands() != expected)
            qWarning() << "commands:" << f->commands() << "expected:" << expected;
        return f->commands() == expected;
    }

    // Clicks with a fresh command log and waits for exactly `expected` (with `live`: and live output on).
    bool clickSends(const char *name, const QStringList &expected, bool live = false)
    {
        f->clearCommands();
        if (live)
            liveOutput()->setChecked(false);
        button(name)->click();
        return (!live || liveOutput()->isChecked()) && waitForCommands(expected);
    }

    // A step button while stopped: its note shows at once; live output stays off (entry actions turn it on).
    bool press(const char *name, const QString &command, const QString &note, bool stopAfter)
    {
        liveOutput()->setChecked(false);
        f->clearCommands();
        button(name)->click();
        const bool shown =
            f->link().bkpMode() == stopAfter && f->consoleText().endsWith(note) && !liveOutput()->isChecked();
        liveOutput()->setChecked(true); // to see the replies
        return shown && waitForCommands({command});
    }

    bool stepControlsOn(bool on) const
    {
        return button("buttonBkpN")->isEnabled() == on && button("buttonBkpT")->isEnabled() == on &&
               button("buttonBkpVari")->isEnabled() == on &&
               field("textFieldBkpVariName")->isEnabled() == on && button("buttonBkpAddDel")->isEnabled() &&
               button("buttonBkpEnum")->isEnabled() && button("buttonBkpAllClr")->isEnabled();
    }

    bool stopAtBreakpoint() // and the step controls are on
    {
        const bool stopped = f->stopAtBreakpoint() && f->waitFor([&] {
            return f->link().bkpMode() && button("buttonBkpN")->isEnabled();
        });
        f->settle();
        f->clearCommands();
        return stopped;
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
        QVERIFY(stepControlsOn(false)); // connected, not stopped
        for (const char *target : {"LOOP1", "50"}) {
            field("textFieldBkpNumber")->setText(QLatin1String(target));
            button("buttonBkpAddDel")->click();
        }
        QVERIFY(waitForCommands({"BKP *LOOP1", "BKP 50"}));

        // RUN stops at the label: the prompt turns "#?", the console marks the stop, step controls come on.
        button("buttonRun")->click();
        QVERIFY(f->waitFor([&] { return button("buttonBkpN")->isEnabled(); }));
        QVERIFY(f->link().bkpMode() && stepControlsOn(true));
        const QString stop = f->consoleText();
        QVERIFY2(stop.contains("[BKP]  BREAK 30 ") && stop.endsWith("#?") && !stop.contains("[7m"),
                 qPrintable(stop.right(100)));

        // A variable while stopped: the reply's "#?" keeps the mode on, and Run pressed right behind is
        // refused.
        field("textFieldBkpVariName")->setText(QStringLiteral("A"));
        f->clearCommands();
        button("buttonBkpVari")->click();
        button("buttonRun")->click();
        QVERIFY(waitForCommands({"P A"}));
        QVERIFY(f->waitFor([&] {
            return f->consoleText().endsWith(
                QStringLiteral("[BKP: Variable] A\r\n 5\r\n#?[BKP] Program is Pausing @ Breakpoint.\r#"));
        }));
        QVERIFY(f->link().bkpMode() && button("buttonBkpN")->isEnabled());
        QVERIFY(press("buttonBkpEnum", "BKP", "\r[BKP: Enumerate]", true));
        // The task monitors only read: the program stays stopped, and Run is still refused.
        for (const char *name : {"buttonMon", "buttonMonList"}) {
            button(name)->click();
            f->settle();
            QVERIFY2(f->link().bkpMode() && f->consoleText().contains("BREAK [30]"), name);
        }
        // Nor does a monitor tab's poll: back on the console, Run is refused.
        f->selectTab(QStringLiteral("1"));
        QVERIFY(f->waitFor([&] { return f->window->poller().ticks() >= 2; }));
        f->selectTab(QStringLiteral("0"));
        f->settle();
        QVERIFY(clickSends("buttonRun", {}));
        QVERIFY(f->consoleText().endsWith(QStringLiteral("Pausing @ Breakpoint.\r#")));

        QVERIFY(press("buttonBkpT", "T", "\r[BKP: Trace]", false));
        QVERIFY(f->waitFor([&] {
            return f->consoleText().contains(QStringLiteral("BREAK 40")) && f->link().bkpMode() &&
                   button("buttonBkpT")->isEnabled();
        }));

        QVERIFY(press("buttonBkpN", "N", "\r[BKP: Continue]", false));
        QVERIFY(f->waitFor(
            [&] { return f->consoleText().contains(QStringLiteral("BREAK 50")) && f->link().bkpMode(); }));
        // An answered exchange reads its own prompt (not the list's), and its "#?" keeps the mode: an output
        // forced at the stop with polling stopped, then Run, does not restart the program.
        button("buttonBkpEnum")->click();
        QCOMPARE(f->exchange(QStringLiteral("PR 7")), std::optional<QString>(QStringLiteral("\r\n 7\r\n#")));
        QVERIFY(f->exchange(QStringLiteral("ON 0")) && f->link().bkpMode());
        QVERIFY(clickSends("buttonRun", {}));
        QVERIFY(f->consoleText().endsWith(QStringLiteral("Pausing @ Breakpoint.\r#")));

        // Clear all, then continue typed in the console: the step controls go off with the next reply.
        QVERIFY(press("buttonBkpAllClr", "BKP 0", "\r[BKP: All cleared]", false));
        QVERIFY(f->waitFor([&] { return f->link().bkpMode() && button("buttonBkpN")->isEnabled(); }));
        // A step typed in the console is waited for as its button is: Run pressed right behind is refused.
        control<QComboBox>(f->window.get(), "comboBox1")->setEditText(QStringLiteral("t"));
        f->clearCommands();
        button("buttonSend")->click();
        button("buttonRun")->click();
        QVERIFY(waitForCommands({"t"}));
        QVERIFY(f->waitFor([&] {
            return f->consoleText().endsWith(QStringLiteral("#?[BKP] Program is Pausing @ Breakpoint.\r#"));
        }));
        control<QComboBox>(f->window.get(), "comboBox1")->setEditText(QStringLiteral("n"));
        QVERIFY(clickSends("buttonSend", {"n"}));
        QVERIFY(f->waitFor([&] { return !button("buttonBkpN")->isEnabled(); }));
        QVERIFY(!f->link().bkpMode() && stepControlsOn(false));
        QVERIFY(f->consoleText().endsWith(QStringLiteral("\r\n#")));

        // A program load stops every task (the attention byte): the step controls go off with the stop.
        QVERIFY(stopAtBreakpoint() && put(f->tempDir.filePath("p.f2k"), "A=1\n"));
        f->dialogs.setNextFileName(f->tempDir.filePath("p.f2k"));
        control<QAction>(f->window.get(), "menuOpenFile")->trigger();
        QVERIFY(f->waitFor([&] { return f->consoleText().contains("Program Loaded") && !f->link().busy(); }));
        QVERIFY(stepControlsOn(false));

        // A time-out at a breakpoint leaves no step control on; RUN after reconnecting runs.
        QVERIFY(stopAtBreakpoint());
        f->timeoutField()->setText(QStringLiteral("0"));
        sim::Options stall = f->sim->options();
        stall.stallAfter = 0;
        f->sim->setOptions(stall);
        QVERIFY(!f->exchange(QStringLiteral("P A")) && !button("buttonBkpN")->isEnabled() &&
                !button("buttonBkpT")->isEnabled());
        f->sim->setOptions(MonitorFixture::makeOptions());
        f->sim->withMachine([](sim::Machine &m) { m.handleLine(QStringLiteral("NEW")); });
        QVERIFY(!button("buttonBkpVari")->isEnabled() && f->connectToSim());
        QVERIFY(clickSends("buttonRun", {"RUN"}));
    }

    void targetAndSelection_data()
    {
        QTest::addColumn<bool>("variable"); // the variable button, else add/delete
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("fieldAfter");
        const auto row = [](const char *name, bool variable, const char *select, const char *field,
                            const char *command, const char *after) {
            QTest::newRow(name) << variable << QString(select) << QString(field) << QString(command)
                                << QString(after);
        };
        row("typed number keeps its blanks", false, "", " 120\t", "BKP 120", " 120\t");
        row("padded label trimmed", false, "", "  LOOP1 ", "BKP *LOOP1", "*LOOP1");
        row("selection wins, cut at the line end", false, "LOOP2\n#", "99", "BKP *LOOP2", "*LOOP2");
        row("blank target sends CR alone", false, "", " \t ", "", "");
        // Nor is a second statement a target: toggling a breakpoint would switch output 5 on.
        row("target with a second statement", false, "", "LOOP1 : ON 5", "", "LOOP1 : ON 5");
        row("selected number is no variable", true, "15", "B", "", "");
        row("selected variable", true, "A1", "", "P A1", "A1");
        row("variable cut at the line end", true, "LOOP2\n#", "", "P LOOP2", "LOOP2");
        row("typed variable trimmed", true, "", " B2 ", "P B2", " B2 ");
        row("no variable name", true, "", "  ", "", "  ");
        // A second statement is no variable name (and would run even under the watch-only lock).
        row("second statement", true, "", "A : ON 5", "", "A : ON 5");
    }

    void targetAndSelection()
    {
        QFETCH(bool, variable);
        QFETCH(QString, select);
        QFETCH(QString, field);
        QFETCH(QString, command);
        QFETCH(QString, fieldAfter);

        QLineEdit *edit = this->field(variable ? "textFieldBkpVariName" : "textFieldBkpNumber");
        QVERIFY(stopAtBreakpoint()); // to see which paths leave it
        f->window->consolePage().consoleAppendFollow(QStringLiteral("\r\n120\tA1=15 : GOTO *LOOP2\r\n#"));
        if (!select.isEmpty())
            QVERIFY(selectInConsole(control<QPlainTextEdit>(f->window.get(), "textView1"), select));
        edit->setText(field);
        liveOutput()->setChecked(false);

        button(variable ? "buttonBkpVari" : "buttonBkpAddDel")->click();

        QCOMPARE(f->link().bkpMode(), command.isEmpty());
        QCOMPARE(edit->text(), fieldAfter);
        QVERIFY(liveOutput()->isChecked());
        QVERIFY(waitForCommands({command}));
    }

    void clockAndMonitorOutput()
    {
        const QString command = QStringLiteral("SET_RTC &H20261205 : SET_RTC &H00135210");
        f->sim->withMachine(
            [](sim::Machine &m) { m.setClock(QDateTime(QDate(2001, 1, 1), QTime(0, 0, 0))); });
        f->clock.value = QDateTime(QDate(2026, 12, 5), QTime(13, 52, 10));
        QVERIFY(clickSends("buttonRtcAdj", {command}, true)); // echoed like a typed command
        QVERIFY(f->waitFor([&] { return f->consoleText().endsWith("\r\n" + command + "\r\n#"); }));

        QVERIFY(clickSends("buttonRtcCheck", {"PR DATE$(0) TIME$(0)"}, true));
        QVERIFY(f->waitFor([&] { return f->consoleText().endsWith(QStringLiteral("\r\n#")); }));
        QVERIFY(f->consoleText().contains(QStringLiteral("\r\nPR DATE$(0) TIME$(0)\r\n 2026/12/05 13:5")));

        loadProgram({"10 *MAIN", "20 A=1", "30 END", "100 *SUB1", "110 B=2", "120 END", "200 *SUB2",
                     "210 S$=\"#5\"", "220 END : REM #2"});
        for (const char *line : {"RUN", "TASK 1 *SUB1", "TASK 2 *SUB2"})
            f->exchange(QLatin1String(line));
        QVERIFY(f->waitFor([&] {
            QList<qint64> lines;
            f->sim->withMachine([&](sim::Machine &m) {
                for (int n = 0; n < 3; ++n)
                    lines << (m.taskState(n) == sim::Machine::TaskState::Stopped ? m.taskLine(n) : -1);
            });
            return lines == QList<qint64>{30, 120, 220};
        }));
        f->settle();
        QString before = f->consoleText();
        QVERIFY(clickSends("buttonMon", {"CMD$", "MON", "CMD$ 0"}, true));
        QVERIFY(f->waitFor([&] { return !f->link().busy(); }));
        f->settle();
        // The echo, then the whole reply; the last prompt ends the wait and is not shown.
        QCOMPARE(f->consoleText(),
                 before + QStringLiteral(
                              "\r\nMON\r\nTASK 0 STOP [30]\r\nTASK 1 STOP [120]\r\nTASK 2 STOP [220]\r\n#"));

        // Annotated: no echo, no raw reply; the prompt after "CMD$ 0" comes through the live display.
        button("buttonListNext")->setEnabled(true); // as after a listing from the console
        before = f->consoleText();
        QVERIFY(clickSends("buttonMonList",
                           {"CMD$", "MON", "LIST 30 1", "LIST 120 1", "LIST 220 1", "CMD$ 0"}, true));
        QVERIFY(f->waitFor([&] { return f->consoleText().endsWith(QStringLiteral("\r\n#")); }));
        QCOMPARE(f->consoleText(),
                 before + QStringLiteral("\r\nTASK 0 STOP\t   30\tEND\r\nTASK 1 STOP\t   120\tEND\r\n"
                                         "TASK 2 STOP\t   220\tEND : REM 2\r\n\r\n#"));
        QVERIFY(!button("buttonListNext")->isEnabled());
        QVERIFY(wire::isUp(f->link().state()));

        // With slow replies, a command right behind the listing still gets its own answer.
        sim::Options slow = f->sim->options();
        slow.delayMs = 100;
        f->sim->setOptions(slow);
        button("buttonMonList")->click();
        QCOMPARE(f->exchange(QStringLiteral("PR 12345")).value_or(QString()),
                 QStringLiteral("\r\n 12345\r\n#"));
        // Monitor pressed right behind Read clock: the date is shown, then the tasks.
        before = f->consoleText();
        button("buttonRtcCheck")->click();
        button("buttonMon")->click();
        QVERIFY(f->waitFor([&] {
            return f->consoleText().endsWith(QStringLiteral("STOP [220]\r\n#")) && !f->link().busy();
        }));
        const QString after = f->consoleText().mid(before.size());
        QVERIFY2(after.startsWith(QStringLiteral("\r\nPR DATE$(0) TIME$(0)\r\n 2026/12/05 13:5")),
                 qPrintable(after));
        QVERIFY2(after.contains(QStringLiteral("#\r\nMON\r\nTASK 0 STOP [30]\r\n")), qPrintable(after));
    }

    // Watch only, stopped at a breakpoint: the variable field prints a variable and assigns none.
    void watchOnlyVariableFieldAssignsNothing()
    {
        QVERIFY(stopAtBreakpoint());
        button("buttonWatchOnly")->click();
        field("textFieldBkpVariName")->setText(QStringLiteral("=5"));
        button("buttonBkpVari")->click();
        f->settle();
        const QString p = f->exchange(QStringLiteral("P P")).value_or("<no answer>");
        QVERIFY2(p.endsWith(QStringLiteral("\r\n 0\r\n#")), qPrintable(p)); // after the refusal's bare prompt
    }

    // A controller whose words trickle in (100 bytes a second, a read each): the stop at a breakpoint still
    // turns the step controls on.
    void breakpointStopTrickledIn()
    {
        sim::Options slow = f->sim->options();
        slow.slowBps = 100;
        f->sim->setOptions(slow);
        const bool stopped = stopAtBreakpoint();
        QVERIFY(f->consoleText().endsWith(QStringLiteral("\r\n20\tGOTO 20\r\n#?"))); // shown, yet
        QVERIFY(stopped);
    }
};

QTEST_MAIN(TestTools)
#include "test_tools.moc"

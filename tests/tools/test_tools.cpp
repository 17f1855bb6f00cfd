// The debug and maintenance tools against the simulator: a whole breakpoint
// session, the target and variable rules with console selections, the clock
// command at fixed times, and the plain and annotated monitor output.
#include "support/fixture.h"
#include "sim/machine.h"
#include "sim/server.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QtTest>

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
    return view->textCursor().selectedText() == what;
}

struct Line
{
    qint64 number;
    QString text;
};

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void breakpointSession();

    void targetAndSelection_data();
    void targetAndSelection();
    void simpleBreakpointActions_data();
    void simpleBreakpointActions();

    void clockAdjust_data();
    void clockAdjust();
    void clockCheck();

    void monitorOutput();
    void annotatedListing();
    void annotatedListingTimeout();

private:
    // Program lines go in as numbered lines, one prompt exchange each.
    void loadProgram(const QList<Line> &lines);
    // Runs an action the way the wiring does (one exchange at a time).
    void act(void (ViewController::*fn)());
    bool waitForCommands(const QStringList &expected);
    // Starts three tasks that each run to an END and stay there.
    void runThreeTasksToEnd();

    std::unique_ptr<MonitorFixture> f;
};

void TestTools::init()
{
    f = std::make_unique<MonitorFixture>();
    QVERIFY(f->connectToSim());
    f->clearCommands();
}

void TestTools::cleanup()
{
    f.reset();
}

void TestTools::loadProgram(const QList<Line> &lines)
{
    f->vc->commandExec(QStringLiteral("NEW"));
    for (const Line &l : lines)
        f->vc->commandExec(QString::number(l.number) + QLatin1Char(' ') + l.text);
    QMap<qint64, QString> stored;
    f->sim->withMachine([&](sim::Machine &m) { stored = m.programLines(); });
    QCOMPARE(stored.size(), lines.size());
    f->settle();
    f->clearCommands();
}

void TestTools::act(void (ViewController::*fn)())
{
    ViewController *vc = f->vc.get();
    vc->userAction([vc, fn] { (vc->*fn)(); });
}

bool TestTools::waitForCommands(const QStringList &expected)
{
    const bool ok = f->waitFor([&] { return f->commands().size() >= expected.size(); });
    f->settle();
    if (!ok || f->commands() != expected) {
        qWarning() << "commands:" << f->commands() << "expected:" << expected;
        return false;
    }
    return true;
}

void TestTools::breakpointSession()
{
    ViewController &vc = *f->vc;
    loadProgram({{10, QStringLiteral("*MAIN")},
                 {20, QStringLiteral("A=5")},
                 {30, QStringLiteral("*LOOP1")},
                 {40, QStringLiteral("A=A+1")},
                 {50, QStringLiteral("B=A*2")},
                 {60, QStringLiteral("GOTO *LOOP1")}});

    // Connected but not stopped: setting and listing work, stepping does not.
    QVERIFY(vc.buttonBkpAddDel->isEnabled());
    QVERIFY(vc.buttonBkpEnum->isEnabled());
    QVERIFY(vc.buttonBkpAllClr->isEnabled());
    QVERIFY(!vc.buttonBkpN->isEnabled());
    QVERIFY(!vc.buttonBkpT->isEnabled());
    QVERIFY(!vc.buttonBkpVari->isEnabled());
    QVERIFY(!vc.textFieldBkpVariName->isEnabled());

    // One breakpoint by label, one by step number.
    vc.textFieldBkpNumber->setText(QStringLiteral("LOOP1"));
    vc.buttonBkpAddDel->click();
    QCOMPARE(vc.textFieldBkpNumber->text(), QStringLiteral("*LOOP1"));
    vc.textFieldBkpNumber->setText(QStringLiteral("50"));
    vc.buttonBkpAddDel->click();
    QVERIFY(waitForCommands({QStringLiteral("BKP *LOOP1"), QStringLiteral("BKP 50")}));
    QStringList breakpoints;
    f->sim->withMachine([&](sim::Machine &m) { breakpoints = m.breakpoints(); });
    QCOMPARE(breakpoints, (QStringList{QStringLiteral("*LOOP1"), QStringLiteral("50")}));

    vc.buttonBkpEnum->click();
    QVERIFY(f->waitFor([&] { return vc.consoleText().contains(QStringLiteral("\r\nBKP 50\r\n#")); }));
    QVERIFY(vc.consoleText().contains(QStringLiteral("\r[BKP: Enumerate]")));

    // RUN stops at the label: the prompt turns into "#?", the console marks
    // the stop and the step controls come on.
    vc.buttonRun->click();
    QVERIFY(f->waitFor([&] { return vc.buttonBkpN->isEnabled(); }));
    QVERIFY(vc.bkpMode());
    QVERIFY(vc.buttonBkpT->isEnabled());
    QVERIFY(vc.buttonBkpVari->isEnabled());
    QVERIFY(vc.textFieldBkpVariName->isEnabled());
    QVERIFY(vc.consoleText().contains(QStringLiteral("[BKP]  BREAK 30 ")));
    QVERIFY(vc.consoleText().endsWith(QStringLiteral("#?")));
    QVERIFY(!vc.consoleText().contains(QStringLiteral("[7m")));

    // A variable while stopped; the reply's "#?" keeps the mode on.
    f->clearCommands();
    vc.textFieldBkpVariName->setText(QStringLiteral("A"));
    vc.buttonBkpVari->click();
    QVERIFY(waitForCommands({QStringLiteral("P A")}));
    QVERIFY(f->waitFor([&] {
        return vc.consoleText().endsWith(QStringLiteral("[BKP: Variable] A\r\n 5\r\n#?"));
    }));
    QVERIFY(vc.bkpMode());
    QVERIFY(vc.buttonBkpN->isEnabled());

    // One step: line 30 is done, the task stands at 40.
    f->clearCommands();
    vc.buttonBkpT->click();
    QVERIFY(waitForCommands({QStringLiteral("T")}));
    QVERIFY(f->waitFor([&] { return vc.consoleText().contains(QStringLiteral("BREAK 40")); }));
    const QString afterStep = vc.consoleText();
    QVERIFY(afterStep.indexOf(QStringLiteral("\r[BKP: Trace]")) < afterStep.indexOf(QStringLiteral("BREAK 40")));
    QVERIFY(f->waitFor([&] { return vc.bkpMode() && vc.buttonBkpT->isEnabled(); }));

    // Continue: line 40 runs, the breakpoint at 50 stops the task again.
    f->clearCommands();
    vc.buttonBkpN->click();
    QVERIFY(waitForCommands({QStringLiteral("N")}));
    QVERIFY(f->waitFor([&] { return vc.consoleText().contains(QStringLiteral("BREAK 50")) && vc.bkpMode(); }));
    QVERIFY(vc.consoleText().contains(QStringLiteral("\r[BKP: Continue]")));
    sim::Machine::TaskState state{};
    qint64 line = 0;
    f->sim->withMachine([&](sim::Machine &m) {
        state = m.taskState(0);
        line = m.taskLine(0);
    });
    QCOMPARE(state, sim::Machine::TaskState::Break);
    QCOMPARE(line, qint64(50));
    f->clearCommands();
    vc.buttonBkpVari->click(); // the field still holds A
    QVERIFY(waitForCommands({QStringLiteral("P A")}));
    QVERIFY(f->waitFor([&] { return vc.consoleText().endsWith(QStringLiteral("\r\n 6\r\n#?")); }));

    // Clear all, then continue: the program runs free and the step controls
    // go off with the next reply.
    f->clearCommands();
    vc.buttonBkpAllClr->click();
    QVERIFY(waitForCommands({QStringLiteral("BKP 0")}));
    f->sim->withMachine([&](sim::Machine &m) { breakpoints = m.breakpoints(); });
    QVERIFY(breakpoints.isEmpty());
    QVERIFY(vc.consoleText().contains(QStringLiteral("\r[BKP: All cleared]")));
    QVERIFY(f->waitFor([&] { return vc.bkpMode() && vc.buttonBkpN->isEnabled(); }));

    f->clearCommands();
    vc.buttonBkpN->click();
    QVERIFY(waitForCommands({QStringLiteral("N")}));
    QVERIFY(f->waitFor([&] { return !vc.buttonBkpN->isEnabled(); }));
    QVERIFY(!vc.bkpMode());
    QVERIFY(!vc.buttonBkpT->isEnabled());
    QVERIFY(!vc.buttonBkpVari->isEnabled());
    QVERIFY(!vc.textFieldBkpVariName->isEnabled());
    QVERIFY(vc.buttonBkpAddDel->isEnabled());
    f->sim->withMachine([&](sim::Machine &m) { state = m.taskState(0); });
    QCOMPARE(state, sim::Machine::TaskState::Running);
    QVERIFY(vc.consoleText().endsWith(QStringLiteral("\r\n#")));

    vc.buttonCtrlA->click();
    QVERIFY(f->waitFor([&] {
        sim::Machine::TaskState s{};
        f->sim->withMachine([&](sim::Machine &m) { s = m.taskState(0); });
        return s == sim::Machine::TaskState::Stopped;
    }));
}

void TestTools::targetAndSelection_data()
{
    QTest::addColumn<bool>("variable"); // the variable button, else add/delete
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("fieldAfter");
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("bkpAfter");

    const QString numberPrompt = QStringLiteral("[BKP: ! Input or Select a Step No. or a Label]");
    QTest::newRow("selected step number") << false << "120" << "" << "BKP 120" << "120" << "[BKP: Add/Delete]" << false;
    QTest::newRow("typed label gets the star") << false << "" << "LOOP1" << "BKP *LOOP1" << "*LOOP1"
                                               << "[BKP: Add/Delete]" << false;
    QTest::newRow("starred label unchanged") << false << "" << "*LOOP1" << "BKP *LOOP1" << "*LOOP1"
                                             << "[BKP: Add/Delete]" << false;
    QTest::newRow("typed number keeps its blanks") << false << "" << " 120\t" << "BKP 120" << " 120\t"
                                                   << "[BKP: Add/Delete]" << false;
    QTest::newRow("padded label written back trimmed") << false << "" << "  LOOP1 " << "BKP *LOOP1" << "*LOOP1"
                                                       << "[BKP: Add/Delete]" << false;
    QTest::newRow("selection wins over the field") << false << "LOOP2" << "99" << "BKP *LOOP2" << "*LOOP2"
                                                   << "[BKP: Add/Delete]" << false;
    QTest::newRow("blank target sends CR alone") << false << "" << " \t " << "" << "" << numberPrompt << true;
    QTest::newRow("empty target") << false << "" << "" << "" << "" << numberPrompt << true;

    QTest::newRow("selected number is no variable") << true << "15" << "B" << "" << "" << "[BKP: ! Select Variable Name]"
                                                    << true;
    QTest::newRow("selected variable") << true << "A1" << "" << "P A1" << "A1" << "[BKP: Variable] A1" << false;
    QTest::newRow("typed variable trimmed for the command") << true << "" << " B2 " << "P B2" << " B2 "
                                                            << "[BKP: Variable] B2" << false;
    QTest::newRow("no variable name") << true << "" << "  " << "" << "  " << "[BKP: ! Input Variable Name ]" << true;
}

void TestTools::targetAndSelection()
{
    QFETCH(bool, variable);
    QFETCH(QString, select);
    QFETCH(QString, field);
    QFETCH(QString, command);
    QFETCH(QString, fieldAfter);
    QFETCH(QString, note);
    QFETCH(bool, bkpAfter);

    ViewController &vc = *f->vc;
    QLineEdit *edit = variable ? vc.textFieldBkpVariName : vc.textFieldBkpNumber;
    vc.consoleAppend(QStringLiteral("\r\n120\tA1=15 : GOTO *LOOP2\r\n#"));
    if (!select.isEmpty())
        QVERIFY(selectInConsole(vc.textView1, select));
    edit->setText(field);
    vc.checkboxScroll->setChecked(false);
    // Stand in for a stop at a breakpoint, to see which paths leave it.
    vc.linkState().setBkpMode(true);

    act(variable ? &ViewController::buttonBkpVari_click : &ViewController::buttonBkpAddDel_click);

    QCOMPARE(vc.bkpMode(), bkpAfter);
    QCOMPARE(edit->text(), fieldAfter);
    QVERIFY(vc.checkboxScroll->isChecked());
    // The note is the last thing written before the reply arrives.
    QVERIFY2(vc.consoleText().endsWith(note), qPrintable(vc.consoleText()));
    QVERIFY(waitForCommands({command}));
}

void TestTools::simpleBreakpointActions_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("bkpAfter");

    QTest::newRow("continue") << "buttonBkpN" << "N" << "\r[BKP: Continue]" << false;
    QTest::newRow("enumerate") << "buttonBkpEnum" << "BKP" << "\r[BKP: Enumerate]" << true;
    QTest::newRow("trace") << "buttonBkpT" << "T" << "\r[BKP: Trace]" << false;
    QTest::newRow("all clear") << "buttonBkpAllClr" << "BKP 0" << "\r[BKP: All cleared]" << false;
}

void TestTools::simpleBreakpointActions()
{
    QFETCH(QString, button);
    QFETCH(QString, command);
    QFETCH(QString, note);
    QFETCH(bool, bkpAfter);

    ViewController &vc = *f->vc;
    vc.linkState().setBkpMode(true);
    vc.updateBkpControls(); // as after a received "#?"
    vc.checkboxScroll->setChecked(false);
    auto *b = vc.root()->findChild<QPushButton *>(button);
    QVERIFY(b);
    QVERIFY(b->isEnabled());
    b->click();
    QCOMPARE(vc.bkpMode(), bkpAfter);
    QVERIFY(vc.consoleText().endsWith(note));
    QVERIFY(!vc.checkboxScroll->isChecked()); // only the panel's entry actions switch it on
    QVERIFY(waitForCommands({command}));
}

void TestTools::clockAdjust_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("command");

    QTest::newRow("one-digit hour") << QTime(9, 5, 3) << "SET_RTC &H20261205 : SET_RTC &H0090503";
    QTest::newRow("two-digit hour") << QTime(13, 52, 10) << "SET_RTC &H20261205 : SET_RTC &H00135210";
}

void TestTools::clockAdjust()
{
    QFETCH(QTime, time);
    QFETCH(QString, command);

    ViewController &vc = *f->vc;
    f->sim->withMachine([](sim::Machine &m) { m.setClock(QDateTime(QDate(2001, 1, 1), QTime(0, 0, 0))); });
    f->clock.value = QDateTime(QDate(2026, 12, 5), time);
    vc.checkboxScroll->setChecked(false);
    vc.buttonRtcAdj->click();
    QVERIFY(vc.checkboxScroll->isChecked());
    QVERIFY(waitForCommands({command}));
    // Echoed like a typed command; the reply is the bare prompt.
    QVERIFY(f->waitFor([&] { return vc.consoleText().endsWith(QStringLiteral("\r\n") + command + QStringLiteral("\r\n#")); }));
    QDateTime simClock;
    f->sim->withMachine([&](sim::Machine &m) { simClock = m.clock(); });
    QCOMPARE(simClock.date(), QDate(2026, 12, 5));
    QVERIFY2(qAbs(simClock.time().secsTo(time)) <= 2, qPrintable(simClock.toString()));
}

void TestTools::clockCheck()
{
    ViewController &vc = *f->vc;
    f->sim->withMachine([](sim::Machine &m) { m.setClock(QDateTime(QDate(2026, 12, 5), QTime(13, 52, 10))); });
    vc.checkboxScroll->setChecked(false);
    vc.buttonRtcCheck->click();
    QVERIFY(vc.checkboxScroll->isChecked());
    QVERIFY(waitForCommands({QStringLiteral("PR DATE$(0) TIME$(0)")}));
    QVERIFY(f->waitFor([&] { return vc.consoleText().endsWith(QStringLiteral("\r\n#")); }));
    QVERIFY(vc.consoleText().contains(QStringLiteral("\r\nPR DATE$(0) TIME$(0)\r\n 2026/12/05 13:52:1")));
}

void TestTools::runThreeTasksToEnd()
{
    loadProgram({{10, QStringLiteral("*MAIN")},
                 {20, QStringLiteral("A=1")},
                 {30, QStringLiteral("END")},
                 {100, QStringLiteral("*SUB1")},
                 {110, QStringLiteral("B=2")},
                 {120, QStringLiteral("END")},
                 {200, QStringLiteral("*SUB2")},
                 {210, QStringLiteral("S$=\"#5\"")},
                 {220, QStringLiteral("END : REM #2")}});
    f->vc->commandExec(QStringLiteral("RUN"));
    f->vc->commandExec(QStringLiteral("TASK 1 *SUB1"));
    f->vc->commandExec(QStringLiteral("TASK 2 *SUB2"));
    QVERIFY(f->waitFor([&] {
        bool done = true;
        f->sim->withMachine([&](sim::Machine &m) {
            done = m.taskLine(0) == 30 && m.taskLine(1) == 120 && m.taskLine(2) == 220;
            for (int n = 0; n < 3; ++n)
                done = done && m.taskState(n) == sim::Machine::TaskState::Stopped;
        });
        return done;
    }));
    f->settle();
    f->clearCommands();
}

void TestTools::monitorOutput()
{
    ViewController &vc = *f->vc;
    runThreeTasksToEnd();
    const QString before = vc.consoleText();
    vc.checkboxScroll->setChecked(false);
    vc.buttonMon->click();
    QVERIFY(vc.checkboxScroll->isChecked());
    QVERIFY(waitForCommands({QStringLiteral("CMD$"), QStringLiteral("MON"), QStringLiteral("CMD$ 0")}));
    // The last prompt ends the wait in the receive path and is not shown.
    QVERIFY(f->waitFor([&] { return !vc.waitPrompt(); }));
    f->settle();
    // The echo, then the whole reply with its prompt.
    QCOMPARE(vc.consoleText(), before + QStringLiteral("\r\nMON\r\nTASK 0 STOP [30]\r\nTASK 1 STOP [120]\r\n"
                                                      "TASK 2 STOP [220]\r\n#"));
}

void TestTools::annotatedListing()
{
    ViewController &vc = *f->vc;
    runThreeTasksToEnd();
    vc.buttonListNext->setEnabled(true); // as after a listing from the console
    const QString before = vc.consoleText();
    vc.checkboxScroll->setChecked(false);
    vc.buttonMonList->click();
    QVERIFY(vc.checkboxScroll->isChecked());
    QVERIFY(waitForCommands({QStringLiteral("CMD$"), QStringLiteral("MON"), QStringLiteral("LIST 30 1"),
                             QStringLiteral("LIST 120 1"), QStringLiteral("LIST 220 1"), QStringLiteral("CMD$ 0")}));
    QVERIFY(f->waitFor([&] { return vc.consoleText().endsWith(QStringLiteral("\r\n#")); }));
    const QString listing = QStringLiteral("\r\nTASK 0 STOP\t   30\tEND\r\n"
                                           "TASK 1 STOP\t   120\tEND\r\n"
                                           "TASK 2 STOP\t   220\tEND : REM 2\r\n");
    // Neither the command nor the raw monitor reply is echoed; the prompt
    // after "CMD$ 0" comes through the live display.
    QCOMPARE(vc.consoleText(), before + listing + QStringLiteral("\r\n#"));
    QVERIFY(!vc.buttonListNext->isEnabled());
    QVERIFY(vc.isConnected());
}

void TestTools::annotatedListingTimeout()
{
    ViewController &vc = *f->vc;
    runThreeTasksToEnd();
    vc.textFieldTimeOutSec->setText(QStringLiteral("1"));
    sim::Options o = f->sim->options();
    o.stallAfter = 3; // CMD$, MON and the first LIST are answered
    f->sim->setOptions(o);

    act(&ViewController::buttonMonList_click);

    // The wait for the second listing ran out: the link is closed, the time-out
    // reported, and nothing of the listing is shown or sent after it.
    QVERIFY(!vc.isConnected());
    QCOMPARE(f->dialogs.entries.size(), 1);
    QVERIFY(f->dialogs.entries.first().text.startsWith(QStringLiteral("Receive Timeout")));
    QCOMPARE(f->commands(), (QStringList{QStringLiteral("CMD$"), QStringLiteral("MON"), QStringLiteral("LIST 30 1"),
                                         QStringLiteral("LIST 120 1")}));
    QVERIFY(!vc.consoleText().contains(QStringLiteral("TASK 0 STOP\t")));
}

QTEST_MAIN(TestTools)
#include "test_tools.moc"

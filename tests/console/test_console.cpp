// The console tab against the simulator: command entry, the shortcuts as pressed, program lines.
#include "sim/machine.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include <QtTest>
#include <QtWidgets>

class TestConsole : public QObject
{
    Q_OBJECT

    static QWidget *focused() { return QApplication::focusWidget(); }
    static void sendKey(QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers mods)
    {
        QKeyEvent e(type, key, mods);
        QApplication::sendEvent(focused(), &e);
    }
    // Modifier down first, up last, each event to the focus of the moment (a shortcut may move it).
    static void typeKey(Qt::Key key, Qt::KeyboardModifier mod)
    {
        const Qt::Key modKey = mod == Qt::ShiftModifier ? Qt::Key_Shift : Qt::Key_Control;
        if (mod)
            sendKey(QEvent::KeyPress, modKey, Qt::NoModifier);
        sendKey(QEvent::KeyPress, key, mod);
        sendKey(QEvent::KeyRelease, key, mod);
        if (mod)
            sendKey(QEvent::KeyRelease, modKey, mod);
    }

    std::unique_ptr<MonitorFixture> f;

    QPlainTextEdit *view() const { return control<QPlainTextEdit>(f->window.get(), "textView1"); }
    // 1: commands, 2: program line, 3: listing start.
    QComboBox *box(int n) const { return control<QComboBox>(f->window.get(), QString("comboBox%1").arg(n)); }
    bool live() const { return control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked(); }
    void click(const char *button) { control<QPushButton>(f->window.get(), QLatin1String(button))->click(); }

    // Offscreen there is no window manager: the window is made active by hand.
    void focus(QWidget *w)
    {
        f->window->activateWindow();
        QApplication::setActiveWindow(f->window.get());
        w->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }
    void press(QWidget *w, Qt::Key key)
    {
        focus(w);
        QTest::keyClick(focused(), key);
    }

    // Once a marker's reply is shown, every command sent before it is complete.
    QStringList sentSoFar()
    {
        const QString marker = "PR 987654";
        f->settle(); // what was clicked has gone out
        f->link().sendString(marker);
        if (!f->waitFor([&] { return f->link().replySoFar().contains(" 987654\r\n#"); }))
            return {"<marker lost>"};
        QStringList c = f->commands();
        c.removeAll(marker);
        return c;
    }

    bool putCursorOn(const QString &what)
    {
        const QTextCursor found = view()->document()->find(what);
        view()->setTextCursor(QTextCursor(found.block()));
        return !found.isNull();
    }

    // Program lines stored in the controller, listed on the console.
    bool listed(const QStringList &lines, const QString &command, const QString &tail)
    {
        f->sim->withMachine([&](sim::Machine &m) {
            for (const QString &l : lines)
                m.handleLine(l);
        });
        f->window->consolePage().echoAndSend(command);
        const bool shown = f->waitFor([&] { return f->consoleText().endsWith(tail); });
        f->clearCommands();
        return shown;
    }

private slots:
    void init()
    {
        f = std::make_unique<MonitorFixture>();
        QVERIFY(f->connectToSim());
        f->clearCommands();
    }
    void cleanup() { f.reset(); }

    void commandEntryKeepsOneHistoryEntryPerCommand()
    {
        box(1)->addItems({QStringLiteral("PR 1"), QStringLiteral("PR 5"), QStringLiteral("PR 9")});
        // A blank line sends a bare Return and leaves the history alone.
        box(1)->setEditText("   ");
        press(box(1), Qt::Key_Return);
        QVERIFY(f->waitFor([&] { return f->sim->received() == "\r"; }));
        QCOMPARE(itemsOf(box(1)), (QStringList{"PR 1", "PR 5", "PR 9"}));
        QCOMPARE(focused(), view());
        f->clearCommands();
        for (int i = 0; i < 2; ++i) {
            box(1)->setEditText(" PR 5 ");
            press(box(1), Qt::Key_Return);
        }
        QCOMPARE(itemsOf(box(1)), (QStringList{"PR 5", "PR 1", "PR 9"}));
        QCOMPARE(sentSoFar(), (QStringList{"PR 5", "PR 5"}));
        // A line with no Shift-JIS for it goes out as a bare Return: the console does not show it as sent.
        box(1)->setEditText(QStringLiteral("PR \"\U0001F600\""));
        press(box(1), Qt::Key_Return);
        QVERIFY(f->waitFor([&] { return !f->dialogs.alertTexts().isEmpty(); }));
        QVERIFY(!f->consoleText().contains(QStringLiteral("\U0001F600")));
        // Clearing the history forgets the old lines, not the one being typed.
        box(1)->setEditText("PR 7");
        click("buttonUDErase");
        QCOMPARE(itemsOf(box(1)).join(u'|') + u'>' + box(1)->currentText(), QStringLiteral(">PR 7"));
    }

    void listingStart_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, const char *typed, const char *command, const char *shown) {
            QTest::newRow(name) << QString(typed) << QString(command) << QString(shown);
        };
        row("number", "100", "LIST 100 20", "100");
        row("label", "MAIN", "LIST *MAIN 20", "*MAIN");
        row("starred label", " *SUB ", "LIST *SUB 20", "*SUB");
        row("empty continues", "", "LIST", "");
    }
    void listingStart()
    {
        QFETCH(QString, typed);
        QFETCH(QString, command);
        QFETCH(QString, shown);
        QVERIFY(!control<QPushButton>(f->window.get(), "buttonListNext")->isEnabled());
        box(3)->setEditText(typed);
        press(box(3), Qt::Key_Return);
        QCOMPARE(sentSoFar(), QStringList{command});
        QCOMPARE(box(3)->currentText(), shown);
        QCOMPARE(itemsOf(box(3)), shown.isEmpty() ? QStringList() : QStringList{shown});
        QVERIFY(control<QPushButton>(f->window.get(), "buttonListNext")->isEnabled());
        QVERIFY(f->consoleText().contains("\r\n" + command));
    }

    // The shortcuts that only move the focus, pressed on whatever holds it.
    void focusKeys()
    {
        const QString before = f->consoleText();
        const std::tuple<Qt::Key, const char *, const char *> keys[] = {
            {Qt::Key_F3, "textView1", "comboBox3"},
            {Qt::Key_F4, "comboBox1", "comboBox3"},
            {Qt::Key_F7, "comboBox2", "comboBox1"},
            {Qt::Key_Escape, "comboBox1", "textView1"}};
        for (const auto &[key, from, after] : keys) {
            press(f->window->findChild<QWidget *>(QLatin1String(from)), key); // F3 without a selection
            QCOMPARE(focused(), f->window->findChild<QWidget *>(QLatin1String(after)));
        }
        // Moving the focus sends nothing, picks nothing and leaves the console alone.
        QCOMPARE(sentSoFar(), QStringList());
        QVERIFY(f->dialogs.entries.isEmpty());
        QCOMPARE(box(2)->currentText(), QString());
        QVERIFY(f->consoleText().startsWith(before));
        QVERIFY(live());
    }

    // F2 clears, F8 toggles the live display, a command entered on the console switches it on.
    void f2ClearsTheConsoleAndF8TogglesTheLiveDisplay()
    {
        QVERIFY(!f->consoleText().isEmpty());
        press(box(1), Qt::Key_F2);
        QCOMPARE(f->consoleText(), QString());
        QTest::keyClick(focused(), Qt::Key_F8);
        QVERIFY(!live());
        f->link().sendString("PR 42");
        QCOMPARE(sentSoFar(), QStringList{"PR 42"});
        QCOMPARE(f->consoleText(), QString()); // frozen: replies are not shown
        QTest::keyClick(focused(), Qt::Key_F8);
        QVERIFY(live());
        f->link().sendString("PR 43");
        QVERIFY(f->waitFor([&] { return f->consoleText() == "\r\n 43\r\n#"; }));
        QTest::keyClick(focused(), Qt::Key_F8);
        QVERIFY(!live());
        box(1)->setEditText("PR 44");
        click("buttonSend");
        QVERIFY(live());
        QVERIFY(f->waitFor([&] { return f->consoleText().contains("\r\n 44\r\n#"); }));

        // The console keeps the last 100 lines of the echo, 150 printed lines and the prompt.
        click("buttonViewTextClear");
        QCOMPARE(view()->toPlainText(), QString());
        QStringList statements;
        for (int i = 1; i <= 150; ++i)
            statements << QStringLiteral("PR %1").arg(i);
        f->window->consolePage().echoAndSend(statements.join(" : "));
        QVERIFY(f->waitFor([&] { return f->consoleText().endsWith(" 150\r\n#"); }));
        QCOMPARE(view()->document()->blockCount(), 100);
        QCOMPARE(view()->document()->firstBlock().text(), " 52");
    }

    void f3ListsFromTheConsoleSelectionAndF4Continues()
    {
        QVERIFY(listed({"100 A=1", "110 B=2"}, "LIST 0 0", "110\tB=2\r\n#"));
        view()->setTextCursor(view()->document()->find("110"));
        press(view(), Qt::Key_F3);
        QCOMPARE(sentSoFar(), QStringList{"LIST 110 20"});
        QCOMPARE(box(3)->currentText(), "110");
        QCOMPARE(focused(), view());
        // A whole listing line selected lists from its number, not from a label made of the line.
        QTextCursor line(view()->document()->find("110\tB=2").block());
        line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        view()->setTextCursor(line);
        press(view(), Qt::Key_F3);
        QCOMPARE(sentSoFar(), (QStringList{"LIST 110 20", "LIST 110 20"}));
        QCOMPARE(itemsOf(box(3)), QStringList{"110"});
        f->clearCommands();
        press(box(1), Qt::Key_F4);
        QCOMPARE(sentSoFar(), QStringList{"LIST"});
        QVERIFY(f->consoleText().contains("\r\nLIST\r\n"));
    }

    // F6, Shift+F5 and the Get button pick the program line under the console cursor.
    void pickProgramLine()
    {
        QVERIFY(listed({"10 A=1 : PR A"}, "LIST 10 1", "A=1 : PR A\r\n#"));
        // The controller's prompt in front of a line (as after a bare Return) is not part of it.
        f->window->consolePage().consoleAppendFollow("\r\n#  20\tB=2");
        const std::pair<const char *, const char *> picks[] = {{"A=1", "10 A=1 : PR A"}, {"B=2", "20 B=2"}};
        for (const Qt::KeyboardModifier shift : {Qt::NoModifier, Qt::ShiftModifier})
            for (const auto &[at, picked] : picks) {
                focus(view());
                QVERIFY(putCursorOn(QLatin1String(at)));
                // A selection that runs on into the next line picks its first line.
                QTextCursor c = view()->textCursor();
                c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
                view()->setTextCursor(c);
                typeKey(shift ? Qt::Key_F5 : Qt::Key_F6, shift);
                QCOMPARE(box(2)->currentText(), QLatin1String(picked));
                QCOMPARE(focused(), box(2));
            }
        QVERIFY(f->dialogs.entries.isEmpty());

        // Shift still held from Shift+F5: a second F5 only moves the focus (modifiers read on change).
        focus(view());
        QVERIFY(putCursorOn("B=2"));
        sendKey(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
        for (const QString &picked : {QString("20 B=2"), QString()}) {
            box(2)->setEditText(QString());
            focus(view());
            sendKey(QEvent::KeyPress, Qt::Key_F5, Qt::ShiftModifier);
            sendKey(QEvent::KeyRelease, Qt::Key_F5, Qt::ShiftModifier);
            QCOMPARE(focused(), box(2));
            QCOMPARE(box(2)->currentText(), picked);
        }
        sendKey(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier);
        // Shift released and pressed anew: the next Shift+F5 picks again.
        focus(view());
        typeKey(Qt::Key_F5, Qt::ShiftModifier);
        QCOMPARE(box(2)->currentText(), "20 B=2");

        // The Get button without the console's focus, then on a line that is no program line.
        box(2)->setEditText("30 C=3");
        focus(box(1));
        click("buttonGetLineString");
        QCOMPARE(f->dialogs.alertTexts(),
                 QStringList{"プログラム選択:\r textViewがフォーカスされていません。"});
        QVERIFY(f->dialogs.entries[0].style == Dialogs::Style::Informational);
        QCOMPARE(box(2)->currentText(), "30 C=3");

        // The console itself takes no edits, not even Return or Escape.
        f->dialogs.clear();
        focus(view());
        QVERIFY(putCursorOn("Connected"));
        const QString model = f->consoleText(), shown = view()->toPlainText();
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_A})
            QTest::keyClick(focused(), Qt::Key(key));
        QTest::keyClick(focused(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(f->consoleText() + view()->toPlainText(), model + shown);
        click("buttonGetLineString");
        QCOMPARE(
            f->dialogs.alertTexts(),
            QStringList{
                "プログラム選択:\r プログラムではありません。\rカーソルをプログラム行に置いてください。"});
        QCOMPARE(box(2)->currentText(), QString());
        QCOMPARE(sentSoFar(), QStringList());
    }

    // Ctrl+] runs, Run at a breakpoint prints the pause, Ctrl+\ is the attention byte; else plain typing.
    void controlKeysRunAndAttention()
    {
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
        focus(box(1));
        typeKey(Qt::Key_BracketRight, Qt::ControlModifier);
        QVERIFY(f->waitForCommand("RUN"));
        QVERIFY(f->consoleText().startsWith("RUN"));
        QVERIFY(live());
        QCOMPARE(focused(), view());

        QVERIFY(f->stopAtBreakpoint());
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
        focus(box(1));
        const QString before = f->consoleText();
        click("buttonRun");
        QCOMPARE(f->consoleText(), before + "[BKP] Program is Pausing @ Breakpoint.\r#");
        QVERIFY(!live());
        QCOMPARE(focused(), box(1));
        QCOMPARE(sentSoFar(), QStringList());

        f->clearCommands();
        typeKey(Qt::Key_Backslash, Qt::ControlModifier);
        QVERIFY(f->waitFor([&] { return f->sim->received() == QByteArray("\x01"); }));
        QVERIFY(!f->link().bkpMode());
        QCOMPARE(focused(), view());
        f->clearCommands();
        box(1)->setEditText(QString());
        press(box(1), Qt::Key_BracketRight);
        QTest::keyClick(focused(), Qt::Key_Backslash);
        QCOMPARE(sentSoFar(), QStringList());
        QCOMPARE(focused(), box(1));
    }

    // A held key repeats its press: only the first one opens a dialog or starts an exchange.
    void heldKeysActOnce()
    {
        const auto hold = [&](QWidget *w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
            focus(w);
            for (const bool repeat : {false, true, true}) {
                QKeyEvent e(QEvent::KeyPress, key, mods, QString(), repeat);
                QApplication::sendEvent(focused(), &e);
            }
        };
        const QString file = f->tempDir.filePath("p.f2k");
        QVERIFY(put(file, "A=1\n"));
        f->dialogs.setNextFileName(file);
        hold(view(), Qt::Key_L, Qt::ControlModifier); // the block load: no NEW, MMC_LOAD
        QCOMPARE(f->dialogs.entries.size(), 1);
        QVERIFY(f->waitForCommand("MMC_LOAD MMC_LOAD$") && !f->commands().contains("NEW"));
        hold(view(), Qt::Key_F6); // no program line: an alert
        QCOMPARE(f->dialogs.entries.size(), 2);
        f->clearCommands();
        hold(view(), Qt::Key_M, Qt::ControlModifier);
        control<QLineEdit>(f->window.get(), "textField1")->setText("PR 5");
        hold(control<QLineEdit>(f->window.get(), "textField1"), Qt::Key_Return);
        const QStringList sent = sentSoFar();
        QCOMPARE(QList<qsizetype>({sent.count("MON"), sent.count("PR 5")}), QList<qsizetype>({1, 1}));
    }

    // Not connected, and connected on the I/O tab: the console's keys do nothing.
    void shortcutsNeedTheConsoleTabAndAConnection()
    {
        f.reset();
        f = std::make_unique<MonitorFixture>(); // a window never connected
        f->window->consolePage().consoleReplace("kept");
        for (const bool connected : {false, true}) {
            if (connected) {
                QVERIFY(f->connectToSim());
                f->selectTab("1");
            }
            const QString console = f->consoleText();
            focus(connected ? control<QWidget>(f->window.get(), "tabview") : view());
            for (int key : {Qt::Key_F2, Qt::Key_F8, Qt::Key_F7})
                QTest::keyClick(focused(), Qt::Key(key));
            if (connected)
                typeKey(Qt::Key_BracketRight, Qt::ControlModifier);
            QCOMPARE(f->consoleText(), console);
            QVERIFY(live());
            QVERIFY(focused() != box(1));
        }
        f->selectTab("0");
        QVERIFY(f->waitFor([&] { return !f->link().busy() && !f->window->poller().isRunning(); }));
        QVERIFY(!f->commands().contains("RUN"));
    }

    // Two lines entered one after the other while a slow reply still holds the link: each goes out once,
    // as it was typed.
    void linesEnteredWhileTheLinkIsBusy()
    {
        f->slowReplies();
        click("buttonMon"); // waits for the controller's answers
        QVERIFY(f->link().busy());
        for (const char *line : {"PR 1", "PR 2"}) {
            box(1)->setEditText(QLatin1String(line));
            press(box(1), Qt::Key_Return);
        }
        QCOMPARE(sentSoFar(), (QStringList{"CMD$", "MON", "CMD$ 0", "PR 1", "PR 2"}));
    }

    // Watch only: a line that assigns to a variable named like a reading word changes the controller, so
    // it stays here.
    void watchOnlyKeepsBackAnAssignment_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("variable");
        for (const auto &[line, variable] :
             {std::pair{"Q =7", "Q"}, {"MON = 7", "MON"}, {"list\t=7", "LIST"}})
            QTest::newRow(variable) << QString(line) << QString(variable);
    }
    void watchOnlyKeepsBackAnAssignment()
    {
        QFETCH(QString, line);
        QFETCH(QString, variable);
        click("buttonWatchOnly");
        box(1)->setEditText(line);
        press(box(1), Qt::Key_Return);
        f->settle();
        QCOMPARE(f->exchange("PR " + variable).value_or("<no answer>"), QString("\r\n 0\r\n#"));
        QVERIFY(f->consoleText().contains("Watch only: \""));
    }
};

QTEST_MAIN(TestConsole)
#include "test_console.moc"

// The console tab against the simulator: command entry with history, the
// keyboard shortcuts as the user presses them, picking a program line, the
// console buttons and the trimming of what the controller prints.
#include "sim/machine.h"
#include "support/fixture.h"

#include "support/widgets.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

QWidget *focused()
{
    return QApplication::focusWidget();
}

// The offscreen platform has no window manager, so the window has to be made
// active by hand before widgets can hold the keyboard focus.
void focus(MonitorFixture &f, QWidget *w)
{
    f.window->activateWindow();
    QApplication::setActiveWindow(f.window.get());
    w->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

void press(MonitorFixture &f, QWidget *w, Qt::Key key)
{
    focus(f, w);
    QTest::keyClick(focused(), key);
}

void sendKey(QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers mods)
{
    QKeyEvent e(type, key, mods);
    QApplication::sendEvent(focused(), &e);
}

// Presses a key with its modifiers the way the platform delivers them: the
// modifier keys go down first and up last, each carrying the state from
// before it, and every event goes to whatever holds the focus at that moment
// (a shortcut may move the focus before the keys are released).
void typeKey(Qt::Key key, Qt::KeyboardModifiers mods)
{
    const std::pair<Qt::KeyboardModifier, Qt::Key> modifierKeys[] = {{Qt::ShiftModifier, Qt::Key_Shift},
                                                                     {Qt::ControlModifier, Qt::Key_Control}};
    Qt::KeyboardModifiers held;
    for (const auto &[m, k] : modifierKeys)
        if (mods & m) {
            sendKey(QEvent::KeyPress, k, held);
            held |= m;
        }
    sendKey(QEvent::KeyPress, key, mods);
    sendKey(QEvent::KeyRelease, key, mods);
    for (const auto &[m, k] : modifierKeys)
        if (mods & m) {
            sendKey(QEvent::KeyRelease, k, held);
            held &= ~m;
        }
}

// Everything sent before a marker arrives before it, and its reply comes
// after every earlier reply: once the marker's reply is shown, the commands
// before it are complete and nothing more is on its way to the console.
QStringList sentSoFar(MonitorFixture &f)
{
    const QString marker = QStringLiteral("PR 987654");
    f.settle(); // what was clicked has gone out
    f.link().sendString(marker);
    if (!f.waitFor([&] { return f.link().replySoFar().contains(QStringLiteral(" 987654\r\n#")); }))
        return {QStringLiteral("<marker lost>")};
    QStringList c = f.commands();
    c.removeAll(marker);
    return c;
}

// Puts the console's insertion point at the start of the first shown line
// that contains `what`.
bool putCursorOn(MonitorFixture &f, const QString &what)
{
    for (QTextBlock b = control<QPlainTextEdit>(f.window.get(), "textView1")->document()->begin();
         b.isValid(); b = b.next()) {
        if (b.text().contains(what)) {
            control<QPlainTextEdit>(f.window.get(), "textView1")->setTextCursor(QTextCursor(b));
            return true;
        }
    }
    return false;
}

// Stores program lines in the controller and lists them on the console,
// with nothing left in the record of commands sent.
bool listed(MonitorFixture &f, const QStringList &lines, const QString &command, const QString &tail)
{
    f.sim->withMachine([&](sim::Machine &m) {
        for (const QString &l : lines)
            m.handleLine(l);
    });
    f.window->consolePage().echoAndSend(command);
    const bool shown = f.waitFor([&] { return f.consoleText().endsWith(tail); });
    f.clearCommands();
    return shown;
}

} // namespace

// Every case starts connected to the simulator with nothing sent yet.
#define CONNECTED(f)                                                                                         \
    auto f = std::make_unique<MonitorFixture>();                                                             \
    QVERIFY(f->connectToSim());                                                                              \
    f->clearCommands()

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void commandEntryKeepsOneHistoryEntryPerCommand()
    {
        CONNECTED(f);
        QComboBox *box = control<QComboBox>(f->window.get(), "comboBox1");
        box->addItems({QStringLiteral("PR 1"), QStringLiteral("PR 5"), QStringLiteral("PR 9")});
        // A blank line sends a bare Return and leaves the history alone.
        box->setEditText(QStringLiteral("   "));
        press(*f, box, Qt::Key_Return);
        QVERIFY(f->waitFor([&] { return f->sim->received() == "\r"; }));
        QCOMPARE(itemsOf(box), (QStringList{"PR 1", "PR 5", "PR 9"}));
        QCOMPARE(focused(), control<QPlainTextEdit>(f->window.get(), "textView1"));
        f->clearCommands();
        for (int i = 0; i < 2; ++i) {
            focus(*f, box);
            box->setEditText(QStringLiteral(" PR 5 "));
            QTest::keyClick(focused(), Qt::Key_Return);
        }
        QCOMPARE(itemsOf(box), (QStringList{"PR 5", "PR 1", "PR 9"}));
        QCOMPARE(sentSoFar(*f), (QStringList{"PR 5", "PR 5"}));
    }

    void listingStart_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("shown");
        QTest::newRow("number") << "100"
                                << "LIST 100 20"
                                << "100";
        QTest::newRow("label") << "MAIN"
                               << "LIST *MAIN 20"
                               << "*MAIN";
        QTest::newRow("starred label") << " *SUB "
                                       << "LIST *SUB 20"
                                       << "*SUB";
        QTest::newRow("empty continues") << ""
                                         << "LIST"
                                         << "";
    }
    void listingStart()
    {
        QFETCH(QString, typed);
        QFETCH(QString, command);
        QFETCH(QString, shown);
        CONNECTED(f);
        QVERIFY(!control<QPushButton>(f->window.get(), "buttonListNext")->isEnabled());
        control<QComboBox>(f->window.get(), "comboBox3")->setEditText(typed);
        press(*f, control<QComboBox>(f->window.get(), "comboBox3"), Qt::Key_Return);
        QCOMPARE(sentSoFar(*f), QStringList{command});
        QCOMPARE(control<QComboBox>(f->window.get(), "comboBox3")->currentText(), shown);
        QCOMPARE(itemsOf(control<QComboBox>(f->window.get(), "comboBox3")),
                 shown.isEmpty() ? QStringList() : QStringList{shown});
        QVERIFY(control<QPushButton>(f->window.get(), "buttonListNext")->isEnabled());
        QVERIFY(f->consoleText().contains(QStringLiteral("\r\n") + command));
    }

    // The shortcuts that only move the focus, pressed on whatever holds it.
    void focusKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("focusAfter");
        QTest::newRow("F3 without selection") << int(Qt::Key_F3) << "textView1"
                                              << "comboBox3";
        QTest::newRow("F4 before a listing") << int(Qt::Key_F4) << "comboBox1"
                                             << "comboBox3";
        QTest::newRow("F7") << int(Qt::Key_F7) << "comboBox2"
                            << "comboBox1";
        QTest::newRow("Escape") << int(Qt::Key_Escape) << "comboBox1"
                                << "textView1";
    }
    void focusKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, from);
        QFETCH(QString, focusAfter);
        CONNECTED(f);
        const QString before = f->consoleText();
        press(*f, f->window->findChild<QWidget *>(from), Qt::Key(key));
        QCOMPARE(focused(), f->window->findChild<QWidget *>(focusAfter));
        // Moving the focus sends nothing, picks nothing and leaves the
        // console alone.
        QCOMPARE(sentSoFar(*f), QStringList());
        QVERIFY(f->dialogs.entries.isEmpty());
        QCOMPARE(control<QComboBox>(f->window.get(), "comboBox2")->currentText(), QString());
        QVERIFY(f->consoleText().startsWith(before));
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
    }

    void f2ClearsTheConsoleAndF8TogglesTheLiveDisplay()
    {
        CONNECTED(f);
        QVERIFY(!f->consoleText().isEmpty());
        press(*f, control<QComboBox>(f->window.get(), "comboBox1"), Qt::Key_F2);
        QCOMPARE(f->consoleText(), QString());

        QTest::keyClick(focused(), Qt::Key_F8);
        QVERIFY(!control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        // Frozen: replies are not shown.
        f->link().sendString(QStringLiteral("PR 42"));
        QCOMPARE(sentSoFar(*f), QStringList{"PR 42"});
        QCOMPARE(f->consoleText(), QString());
        QTest::keyClick(focused(), Qt::Key_F8);
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        f->link().sendString(QStringLiteral("PR 43"));
        QVERIFY(f->waitFor([&] { return f->consoleText() == "\r\n 43\r\n#"; }));
        // A command entered on the console switches the live display back on.
        QTest::keyClick(focused(), Qt::Key_F8);
        QVERIFY(!control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        control<QComboBox>(f->window.get(), "comboBox1")->setEditText(QStringLiteral("PR 44"));
        control<QPushButton>(f->window.get(), "buttonSend")->click();
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QVERIFY(f->waitFor([&] { return f->consoleText().contains("\r\n 44\r\n#"); }));
    }

    void f3ListsFromTheConsoleSelectionAndF4Continues()
    {
        CONNECTED(f);
        QVERIFY(listed(*f, {QStringLiteral("100 A=1"), QStringLiteral("110 B=2")}, QStringLiteral("LIST 0 0"),
                       QStringLiteral("110\tB=2\r\n#")));
        QTextCursor c =
            control<QPlainTextEdit>(f->window.get(), "textView1")->document()->find(QStringLiteral("110"));
        QVERIFY(!c.isNull());
        control<QPlainTextEdit>(f->window.get(), "textView1")->setTextCursor(c);
        press(*f, control<QPlainTextEdit>(f->window.get(), "textView1"), Qt::Key_F3);
        QCOMPARE(sentSoFar(*f), QStringList{"LIST 110 20"});
        QCOMPARE(control<QComboBox>(f->window.get(), "comboBox3")->currentText(), QString("110"));
        QCOMPARE(focused(), control<QPlainTextEdit>(f->window.get(), "textView1"));

        f->clearCommands();
        press(*f, control<QComboBox>(f->window.get(), "comboBox1"), Qt::Key_F4);
        QCOMPARE(sentSoFar(*f), QStringList{"LIST"});
        QVERIFY(f->consoleText().contains("\r\nLIST\r\n"));
    }

    // Shift+F5 and F6 pick the program line under the console cursor.
    void pickProgramLine_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("F6") << int(Qt::Key_F6) << int(Qt::NoModifier);
        QTest::newRow("Shift+F5") << int(Qt::Key_F5) << int(Qt::ShiftModifier);
    }
    void pickProgramLine()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        CONNECTED(f);
        QVERIFY(listed(*f, {QStringLiteral("10 A=1 : PR A")}, QStringLiteral("LIST 10 1"),
                       QStringLiteral("A=1 : PR A\r\n#")));
        // The controller's prompt in front of a line (as after a bare Return)
        // is not part of the program line.
        f->window->consolePage().consoleAppendFollow(QStringLiteral("\r\n#  20\tB=2"));
        const std::pair<const char *, const char *> picks[] = {{"A=1", "10 A=1 : PR A"}, {"B=2", "20 B=2"}};
        for (const auto &[at, picked] : picks) {
            focus(*f, control<QPlainTextEdit>(f->window.get(), "textView1"));
            QVERIFY(putCursorOn(*f, QLatin1String(at)));
            // A selection that runs on into the next line picks its first line.
            QTextCursor c = control<QPlainTextEdit>(f->window.get(), "textView1")->textCursor();
            c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
            control<QPlainTextEdit>(f->window.get(), "textView1")->setTextCursor(c);
            typeKey(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QCOMPARE(control<QComboBox>(f->window.get(), "comboBox2")->currentText(), QLatin1String(picked));
            QCOMPARE(focused(), control<QComboBox>(f->window.get(), "comboBox2"));
        }
        QVERIFY(f->dialogs.entries.isEmpty());
        QCOMPARE(sentSoFar(*f), QStringList());
    }

    // Shift still held from Shift+F5: a second F5 only moves the focus, the
    // way the modifier snapshot is taken at modifier changes only.
    void shiftFlagClearedUntilTheNextModifierChange()
    {
        CONNECTED(f);
        f->window->consolePage().consoleAppendFollow(QStringLiteral("\r\n10 A=1"));
        focus(*f, control<QPlainTextEdit>(f->window.get(), "textView1"));
        QVERIFY(putCursorOn(*f, QStringLiteral("10 A=1")));
        sendKey(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
        for (const QString &picked : {QStringLiteral("10 A=1"), QString()}) {
            sendKey(QEvent::KeyPress, Qt::Key_F5, Qt::ShiftModifier);
            sendKey(QEvent::KeyRelease, Qt::Key_F5, Qt::ShiftModifier);
            QCOMPARE(focused(), control<QComboBox>(f->window.get(), "comboBox2"));
            QCOMPARE(control<QComboBox>(f->window.get(), "comboBox2")->currentText(), picked);
            control<QComboBox>(f->window.get(), "comboBox2")->setEditText(QString());
            focus(*f, control<QPlainTextEdit>(f->window.get(), "textView1"));
        }
        sendKey(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier);
        // Shift released and pressed anew: the next Shift+F5 picks again.
        QVERIFY(putCursorOn(*f, QStringLiteral("10 A=1")));
        typeKey(Qt::Key_F5, Qt::ShiftModifier);
        QCOMPARE(control<QComboBox>(f->window.get(), "comboBox2")->currentText(), QString("10 A=1"));
    }

    void controlKeysRunAndAttention()
    {
        CONNECTED(f);
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
        focus(*f, control<QComboBox>(f->window.get(), "comboBox1"));
        typeKey(Qt::Key_BracketRight, Qt::ControlModifier);
        QVERIFY(f->waitForCommand(QStringLiteral("RUN")));
        // The console restarts with "RUN" and shows what follows.
        QVERIFY(f->consoleText().startsWith("RUN"));
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QCOMPARE(focused(), control<QPlainTextEdit>(f->window.get(), "textView1"));

        QVERIFY(f->stopAtBreakpoint());
        focus(*f, control<QComboBox>(f->window.get(), "comboBox1"));
        typeKey(Qt::Key_Backslash, Qt::ControlModifier);
        QVERIFY(f->waitFor([&] { return f->sim->received() == QByteArray("\x01"); }));
        QVERIFY(!f->link().bkpMode());
        QCOMPARE(focused(), control<QPlainTextEdit>(f->window.get(), "textView1"));
        // Without Control the same keys are plain typing.
        f->clearCommands();
        control<QComboBox>(f->window.get(), "comboBox1")->setEditText(QString());
        press(*f, control<QComboBox>(f->window.get(), "comboBox1"), Qt::Key_BracketRight);
        QTest::keyClick(focused(), Qt::Key_Backslash);
        QCOMPARE(sentSoFar(*f), QStringList());
        QCOMPARE(focused(), control<QComboBox>(f->window.get(), "comboBox1"));
    }

    // A held key repeats its press: only the first one opens a dialog or
    // starts an exchange.
    void heldKeysActOnce()
    {
        CONNECTED(f);
        const auto hold = [&](QWidget *w, Qt::Key key, Qt::KeyboardModifiers mods) {
            focus(*f, w);
            for (const bool repeat : {false, true, true}) {
                QKeyEvent e(QEvent::KeyPress, key, mods, QString(), repeat);
                QApplication::sendEvent(focused(), &e);
            }
        };
        QFile file(f->tempDir.filePath(QStringLiteral("p.f2k")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write("A=1\n") == 4);
        f->dialogs.setNextFileName(file.fileName());
        hold(control<QPlainTextEdit>(f->window.get(), "textView1"), Qt::Key_L,
             Qt::ControlModifier); // the block load: no NEW, MMC_LOAD
        QCOMPARE(f->dialogs.entries.size(), 1);
        QVERIFY(f->waitForCommand(QStringLiteral("MMC_LOAD MMC_LOAD$")) && !f->commands().contains("NEW"));
        hold(control<QPlainTextEdit>(f->window.get(), "textView1"), Qt::Key_F6,
             Qt::NoModifier); // no program line: an alert
        QCOMPARE(f->dialogs.entries.size(), 2);
        f->clearCommands();
        hold(control<QPlainTextEdit>(f->window.get(), "textView1"), Qt::Key_M, Qt::ControlModifier);
        control<QLineEdit>(f->window.get(), "textField1")->setText(QStringLiteral("PR 5"));
        hold(control<QLineEdit>(f->window.get(), "textField1"), Qt::Key_Return, Qt::NoModifier);
        const QStringList sent = sentSoFar(*f);
        QCOMPARE(QList<qsizetype>({sent.count("MON"), sent.count("PR 5")}), QList<qsizetype>({1, 1}));
    }

    void shortcutsNeedTheConsoleTabAndAConnection()
    {
        auto f = std::make_unique<MonitorFixture>();
        // Not connected.
        f->window->consolePage().consoleReplace(QStringLiteral("kept"));
        focus(*f, control<QPlainTextEdit>(f->window.get(), "textView1"));
        for (int key : {Qt::Key_F2, Qt::Key_F8, Qt::Key_F7})
            QTest::keyClick(focused(), Qt::Key(key));
        QCOMPARE(f->consoleText(), QString("kept"));
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QCOMPARE(focused(), control<QPlainTextEdit>(f->window.get(), "textView1"));

        // Connected, on the I/O tab.
        QVERIFY(f->connectToSim());
        f->selectTab(QStringLiteral("1"));
        const QString console = f->consoleText();
        focus(*f, control<QTabWidget>(f->window.get(), "tabview"));
        for (int key : {Qt::Key_F2, Qt::Key_F8, Qt::Key_F7})
            QTest::keyClick(focused(), Qt::Key(key));
        typeKey(Qt::Key_BracketRight, Qt::ControlModifier);
        QCOMPARE(f->consoleText(), console);
        QVERIFY(control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QVERIFY(focused() != control<QComboBox>(f->window.get(), "comboBox1"));
        f->selectTab(QStringLiteral("0"));
        QVERIFY(f->waitFor([&] { return !f->link().busy() && !f->window->poller().isRunning(); }));
        QVERIFY(!f->commands().contains(QStringLiteral("RUN")));
    }

    void getLineStringAlerts()
    {
        CONNECTED(f);
        // The console does not hold the focus.
        control<QComboBox>(f->window.get(), "comboBox2")->setEditText(QStringLiteral("30 C=3"));
        focus(*f, control<QComboBox>(f->window.get(), "comboBox1"));
        control<QPushButton>(f->window.get(), "buttonGetLineString")->click();
        QCOMPARE(f->dialogs.entries.size(), 1);
        QCOMPARE(f->dialogs.entries[0].text,
                 QString("プログラム選択:\r textViewがフォーカスされていません。"));
        QVERIFY(f->dialogs.entries[0].style == Dialogs::Style::Informational);
        QCOMPARE(control<QComboBox>(f->window.get(), "comboBox2")->currentText(), QString("30 C=3"));

        // The cursor stands on a line that is no program line; the console
        // itself takes no edits, not even Return or Escape.
        f->dialogs.clear();
        focus(*f, control<QPlainTextEdit>(f->window.get(), "textView1"));
        QVERIFY(putCursorOn(*f, QStringLiteral("Connected")));
        const QString model = f->consoleText();
        const QString shown = control<QPlainTextEdit>(f->window.get(), "textView1")->toPlainText();
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_A})
            QTest::keyClick(focused(), Qt::Key(key));
        QTest::keyClick(focused(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(f->consoleText(), model);
        QCOMPARE(control<QPlainTextEdit>(f->window.get(), "textView1")->toPlainText(), shown);
        control<QPushButton>(f->window.get(), "buttonGetLineString")->click();
        QCOMPARE(f->dialogs.entries.size(), 1);
        QCOMPARE(
            f->dialogs.entries[0].text,
            QString(
                "プログラム選択:\r プログラムではありません。\rカーソルをプログラム行に置いてください。"));
        QCOMPARE(control<QComboBox>(f->window.get(), "comboBox2")->currentText(), QString());
        QCOMPARE(sentSoFar(*f), QStringList());
    }

    void runAtABreakpointOnlyPrintsThePause()
    {
        CONNECTED(f);
        QVERIFY(f->stopAtBreakpoint());
        control<QCheckBox>(f->window.get(), "checkboxScroll")->setChecked(false);
        focus(*f, control<QComboBox>(f->window.get(), "comboBox1"));
        const QString before = f->consoleText();
        control<QPushButton>(f->window.get(), "buttonRun")->click();
        QCOMPARE(f->consoleText(), before + "[BKP] Program is Pausing @ Breakpoint.\r#");
        QVERIFY(!control<QCheckBox>(f->window.get(), "checkboxScroll")->isChecked());
        QCOMPARE(focused(), control<QComboBox>(f->window.get(), "comboBox1"));
        QCOMPARE(sentSoFar(*f), QStringList());
    }

    void consoleKeepsTheLast100Lines()
    {
        CONNECTED(f);
        control<QPushButton>(f->window.get(), "buttonViewTextClear")->click();
        QCOMPARE(control<QPlainTextEdit>(f->window.get(), "textView1")->toPlainText(), QString());
        QStringList statements;
        for (int i = 1; i <= 150; ++i)
            statements << QStringLiteral("PR %1").arg(i);
        // One line of 150 statements: its echo, 150 printed lines and the prompt.
        f->window->consolePage().echoAndSend(statements.join(QStringLiteral(" : ")));
        QVERIFY(f->waitFor([&] { return f->consoleText().endsWith(" 150\r\n#"); }));
        QCOMPARE(control<QPlainTextEdit>(f->window.get(), "textView1")->document()->blockCount(), 100);
        QCOMPARE(control<QPlainTextEdit>(f->window.get(), "textView1")->document()->firstBlock().text(),
                 QString(" 52"));
    }
};

QTEST_MAIN(TestConsole)
#include "test_console.moc"

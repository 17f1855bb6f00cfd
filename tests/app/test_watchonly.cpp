// The watch-only lock against the simulator: which controls it turns off and
// which it leaves on, that unlocking gives back what the other rules say, what
// the console still sends and which keys it refuses, the reason asked for on
// unlocking and its journal line, and --watch-only.
#include "app/builtinsimulator.h"
#include "app/commandline.h"
#include "journal/operatorjournal.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QString kReason = QStringLiteral("changeover, line stopped");

// Whether the control of that name, a widget or a menu entry, can be used;
// nothing when the window has none.
std::optional<bool> usable(MonitorFixture &f, const QString &name)
{
    if (auto *w = f.window->findChild<QWidget *>(name))
        return w->isEnabled();
    if (auto *a = f.window->findChild<QAction *>(name))
        return a->isEnabled();
    return std::nullopt;
}

QPushButton *lockButton(MonitorFixture &f)
{
    return control<QPushButton>(f.window.get(), QStringLiteral("buttonWatchOnly"));
}

void lock(MonitorFixture &f)
{
    if (!lockButton(f)->isChecked())
        lockButton(f)->click();
}

// Clicks the lock off, answering the question for a reason with `reason`
// (none: Cancel); true when the lock is off afterwards.
bool unlock(MonitorFixture &f, const std::optional<QString> &reason)
{
    if (reason)
        f.dialogs.setNextText(*reason);
    lockButton(f)->click();
    return !lockButton(f)->isChecked();
}

bool locked(MonitorFixture &f)
{
    QLabel *sign = control<QLabel>(f.window.get(), QStringLiteral("labelWatchOnly"));
    return lockButton(f)->isChecked() && sign->isVisible() && sign->text() == QLatin1String("WATCH ONLY");
}

QWidget *focused()
{
    return QApplication::focusWidget();
}

void focus(MonitorFixture &f, QWidget *w)
{
    f.window->activateWindow();
    QApplication::setActiveWindow(f.window.get());
    w->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

// Everything sent before a marker has arrived once the marker's reply is
// back: the commands before it, without the marker.
QStringList sentSoFar(MonitorFixture &f)
{
    const QString marker = QStringLiteral("PR 987654");
    f.settle();
    f.link().sendString(marker);
    if (!f.waitFor([&] { return f.link().replySoFar().contains(QStringLiteral(" 987654\r\n#")); }))
        return {QStringLiteral("<marker lost>")};
    QStringList c = f.commands();
    c.removeAll(marker);
    return c;
}

qsizetype fileDialogs(const MonitorFixture &f)
{
    qsizetype n = 0;
    for (const ScriptedDialogs::Entry &e : f.dialogs.entries)
        n += e.kind == QLatin1String("open") ? 1 : 0;
    return n;
}

QStringList journalLines(MonitorFixture &f)
{
    QStringList out;
    for (const journal::OperatorEntry &e : f.window->findChild<journal::OperatorJournal *>()->today())
        out << e.what;
    return out;
}

} // namespace

class TestWatchOnly : public QObject
{
    Q_OBJECT

    // One connected monitor for the tests that lock and unlock it again.
    std::unique_ptr<MonitorFixture> m_f;

    MonitorFixture &connected()
    {
        if (!m_f || !wire::isUp(m_f->link().state())) {
            m_f = std::make_unique<MonitorFixture>();
            if (!m_f->connectToSim())
                qFatal("no connection to the simulator");
        }
        return *m_f;
    }

private slots:
    void cleanupTestCase() { m_f.reset(); }

    // Every control as the user and outside tools find it: on while
    // connected, off while locked when it changes the machine, and on again
    // after unlocking.
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("lockedOff");
        const QStringList off = {// Console: run, the attention byte, program lines.
                                 "buttonRun", "buttonCtrlA", "comboBox2", "buttonProgramExec",
                                 // Side panel: the loads, the clock set, the breakpoint changes.
                                 "buttonFileOpen", "buttonPointLoad", "buttonMbkLoad", "buttonRtcAdj",
                                 "buttonBkpAddDel", "textFieldBkpNumber", "buttonBkpAllClr",
                                 // File menu: the line load and the restore.
                                 "menuOpenFile", "menuRestore",
                                 // I/O: output and relay forcing, both clear-all buttons.
                                 "buttonOutOnOff0", "buttonOutOnOff15", "buttonOutOnOff20",
                                 "buttonOutOnOff35", "buttonOutOnOff40", "buttonOutOnOff41",
                                 // CU outputs.
                                 "buttonCuOnOff0", "buttonCuOnOff15", "buttonCuOnOff40",
                                 // MBK: bit forcing, clearing, writing words.
                                 "buttonMbkIoOnOff0", "buttonMbkIoOnOff31", "buttonMbkIoOnOff40",
                                 "textfieldMbkModAdr", "textfieldMbkModData",
                                 // Variables: assigning.
                                 "textfieldVariModName", "textfieldVariModValue",
                                 // Tasks: clearing the task area.
                                 "buttonTaskMbkAreaClear",
                                 // Axis: jog, teach, clear, set, the H outputs.
                                 "buttonPgJog0", "buttonPgJog2", "buttonPgJog3", "buttonPgJog11",
                                 "buttonPgJog12", "textfieldPgTeachNum", "buttonPgJog14", "buttonPgJog16",
                                 "buttonPgJog17", "buttonPgPlistSetp", "buttonPgHout0", "buttonPgHout7"};
        const QStringList on = {
            // Watching, polling, the connection, the lock itself.
            "buttonTimerStart", "buttonTimerStop", "buttonDisconnect", "buttonConnect", "buttonWatchOnly",
            "popupbuttonOutBank", "popupbuttonCuOutBank", "popupbuttonMbkIoBank", "checkboxVari0",
            "textfieldVariName0", "textfieldMbkAdrSelect", "popupbuttonPgSelect", "textfieldPgAdrSelect",
            // The console's reading commands (typed lines are checked one by one).
            "comboBox1", "buttonSend", "textField1", "comboBox3", "buttonList", "buttonCr", "buttonQ",
            "checkboxScroll",
            // Saving, comparing, backing up, the clock read, the monitor.
            "buttonFileSave", "buttonPointSave", "buttonMbkSave", "buttonPointCompare", "buttonMbkCompare",
            "menuComparePoints", "menuCompareMbk", "menuCompareProgram", "menuBackUp", "buttonRtcCheck",
            "buttonMon", "buttonMonList", "buttonBkpEnum",
            // Stopping an axis.
            "buttonPgJog1", "buttonPgJog4", "buttonPgJog7", "buttonPgJog10"};
        for (const QString &name : off)
            QTest::newRow(qPrintable(name)) << name << true;
        for (const QString &name : on)
            QTest::newRow(qPrintable(name)) << name << false;
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(bool, lockedOff);
        MonitorFixture &f = connected();
        QCOMPARE(usable(f, name), std::optional<bool>(true));
        lock(f);
        QVERIFY(locked(f));
        QCOMPARE(usable(f, name), std::optional<bool>(!lockedOff));
        QVERIFY(unlock(f, kReason));
        QVERIFY(!control<QLabel>(f.window.get(), QStringLiteral("labelWatchOnly"))->isVisible());
        QCOMPARE(usable(f, name), std::optional<bool>(true));
    }

    // A page first shown while the lock is on is built locked.
    void pageFirstShownWhileLocked()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), true, QString(), MonitorFixture::Pages::AsShown);
        QVERIFY(f.connectToSim());
        lock(f);
        f.selectTab(QStringLiteral("5"));
        QCOMPARE(usable(f, QStringLiteral("buttonPgJog0")), std::optional<bool>(false));
        QCOMPARE(usable(f, QStringLiteral("buttonPgJog1")), std::optional<bool>(true));
        QVERIFY(unlock(f, kReason));
        QCOMPARE(usable(f, QStringLiteral("buttonPgJog0")), std::optional<bool>(true));
    }

    // Unlocking gives back what the connection rules say meanwhile, not
    // simply "on".
    void unlockingFollowsTheConnection()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        const QStringList names = {"buttonRun", "buttonFileOpen", "menuOpenFile", "menuRestore"};
        lock(f);
        f.disconnect();
        QVERIFY(unlock(f, kReason));
        for (const QString &name : names)
            QVERIFY2(usable(f, name) == std::optional<bool>(false), qPrintable(name));
        lock(f);
        QVERIFY(f.connectToSim());
        for (const QString &name : names)
            QVERIFY2(usable(f, name) == std::optional<bool>(false), qPrintable(name));
        QVERIFY(unlock(f, kReason));
        for (const QString &name : names)
            QVERIFY2(usable(f, name) == std::optional<bool>(true), qPrintable(name));
    }

    // Continue and step follow the breakpoint stop under the lock: off while
    // locked, and after unlocking on only while the program still stands
    // at the stop. Printing a variable at the stop only reads.
    void unlockingFollowsTheBreakpointStop()
    {
        MonitorFixture &f = connected();
        QVERIFY(f.stopAtBreakpoint());
        QVERIFY(f.waitFor([&] { return usable(f, "buttonBkpN") == std::optional<bool>(true); }));
        lock(f);
        QCOMPARE(usable(f, "buttonBkpN"), std::optional<bool>(false));
        QCOMPARE(usable(f, "buttonBkpT"), std::optional<bool>(false));
        QCOMPARE(usable(f, "buttonBkpVari"), std::optional<bool>(true));
        QVERIFY(unlock(f, kReason));
        QCOMPARE(usable(f, "buttonBkpN"), std::optional<bool>(true));
        QCOMPARE(usable(f, "buttonBkpT"), std::optional<bool>(true));

        // The program leaves the stop while the lock is on.
        lock(f);
        f.link().sendRaw(QByteArray(1, '\x01'), wire::Link::Breakpoint::Leave);
        QVERIFY(f.waitFor([&] { return usable(f, "buttonBkpVari") == std::optional<bool>(false); }));
        QVERIFY(unlock(f, kReason));
        QCOMPARE(usable(f, "buttonBkpN"), std::optional<bool>(false));
        QCOMPARE(usable(f, "buttonBkpT"), std::optional<bool>(false));
    }

    // The compare window's Load and the restore window's Restore. Comparing
    // goes on while locked, so a compare window can open then, with Load off.
    void loadAndRestoreWindows()
    {
        MonitorFixture &f = connected();
        const QString path = f.tempDir.filePath(QStringLiteral("cell.p2k"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("SETP 1 1 2 3 4\n") > 0);
        file.close();
        lock(f);
        f.dialogs.setNextFileName(path);
        control<QPushButton>(f.window.get(), QStringLiteral("buttonPointCompare"))->click();
        QDialog *shown = nullptr;
        QVERIFY(
            f.waitFor([&] { return (shown = f.window->findChild<QDialog *>("compareWindow")) != nullptr; }));
        auto *load = control<QPushButton>(shown, QStringLiteral("buttonCompareLoad"));
        QVERIFY(!load->isEnabled());
        QVERIFY(unlock(f, kReason));
        QVERIFY(load->isEnabled());
        lock(f);
        QVERIFY(!load->isEnabled());
        QVERIFY(unlock(f, kReason));
        shown->close();

        const QString parent = f.tempDir.filePath(QStringLiteral("backups"));
        QVERIFY(QDir().mkpath(parent));
        f.dialogs.setNextFileName(parent);
        control<QAction>(f.window.get(), QStringLiteral("menuBackUp"))->trigger();
        QVERIFY(
            f.waitFor([&] { return !QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty(); }));
        f.settle();
        f.dialogs.setNextFileName(parent + QLatin1Char('/') +
                                  QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot).first());
        control<QAction>(f.window.get(), QStringLiteral("menuRestore"))->trigger();
        QVERIFY(
            f.waitFor([&] { return (shown = f.window->findChild<QDialog *>("restoreWindow")) != nullptr; }));
        auto *restore = control<QPushButton>(shown, QStringLiteral("buttonRestore"));
        QVERIFY(restore->isEnabled());
        lock(f);
        QVERIFY(!restore->isEnabled());
        QVERIFY(unlock(f, kReason));
        QVERIFY(restore->isEnabled());
        shown->close();
    }

    // While locked, a typed line goes out only when it only reads; a
    // refused one is noted on the console and never reaches the controller.
    void typedLines_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("sent");
        QTest::newRow("command box, a write") << "comboBox1"
                                              << "ON 5" << false;
        QTest::newRow("command box, a read") << "comboBox1"
                                             << "PR 1" << true;
        QTest::newRow("quick line, a read then a write") << "textField1"
                                                         << "PR 1 : OFF 5" << false;
        QTest::newRow("quick line, a listing") << "textField1"
                                               << "LIST" << true;
    }
    void typedLines()
    {
        QFETCH(QString, field);
        QFETCH(QString, line);
        QFETCH(bool, sent);
        MonitorFixture &f = connected();
        lock(f);
        f.clearCommands();
        if (auto *box = control<QComboBox>(f.window.get(), field)) {
            box->setEditText(line);
            control<QPushButton>(f.window.get(), QStringLiteral("buttonSend"))->click();
        } else {
            auto *quick = control<QLineEdit>(f.window.get(), field);
            QVERIFY(quick);
            focus(f, quick);
            quick->setText(line);
            QTest::keyClick(quick, Qt::Key_Return);
        }
        const QStringList out = sentSoFar(f);
        const QString note = QStringLiteral("Watch only: \"%1\" was not sent.").arg(line);
        QCOMPARE(out, sent ? QStringList{line} : QStringList{});
        QCOMPARE(f.consoleText().contains(note), !sent);
        QVERIFY(unlock(f, kReason));
    }

    // The keys of the console's machine-changing buttons, and Control+O of
    // "Open Program…": nothing while locked, their action once unlocked.
    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QByteArray>("sends"); // bytes sent when unlocked; empty: asks for a file
        QTest::newRow("Control+] runs") << int(Qt::Key_BracketRight) << QByteArray("RUN\r");
        QTest::newRow("Control+\\ sends the attention byte") << int(Qt::Key_Backslash) << QByteArray("\x01");
        QTest::newRow("Control+L loads a program") << int(Qt::Key_L) << QByteArray();
        QTest::newRow("Control+O opens a program") << int(Qt::Key_O) << QByteArray();
    }
    void keys()
    {
        QFETCH(int, key);
        QFETCH(QByteArray, sends);
        MonitorFixture &f = connected();
        const auto acted = [&] {
            return sends.isEmpty() ? fileDialogs(f) > 0 : f.sim->received().contains(sends);
        };
        lock(f);
        f.dialogs.clear();
        f.clearCommands();
        focus(f, control<QPlainTextEdit>(f.window.get(), QStringLiteral("textView1")));
        QTest::keyClick(focused(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(sentSoFar(f), QStringList());
        QVERIFY(!acted());

        QVERIFY(unlock(f, kReason));
        f.dialogs.clear();
        f.clearCommands();
        focus(f, control<QPlainTextEdit>(f.window.get(), QStringLiteral("textView1")));
        QTest::keyClick(focused(), Qt::Key(key), Qt::ControlModifier);
        QVERIFY(f.waitFor(acted));
        f.settle();
    }

    // Unlocking asks why; Cancel or an empty answer keeps the lock on. The
    // operator journal gets a line for each change, with the reason.
    void unlockAsksForAReason_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<bool>("unlocked");
        QTest::newRow("Cancel") << std::optional<QString>() << false;
        QTest::newRow("blanks") << std::optional<QString>(QStringLiteral("   ")) << false;
        QTest::newRow("a reason") << std::optional<QString>(QStringLiteral(" tool change on press 4 "))
                                  << true;
    }
    void unlockAsksForAReason()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(bool, unlocked);
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        lock(f);
        QVERIFY(locked(f));
        f.dialogs.clear();
        QCOMPARE(unlock(f, answer), unlocked);
        QCOMPARE(f.dialogs.entries.size(), 1);
        QCOMPARE(f.dialogs.entries.first().kind, QString("text"));
        QCOMPARE(f.dialogs.entries.first().text, QString("Unlock Controls"));
        QCOMPARE(locked(f), !unlocked);
        QCOMPARE(usable(f, "buttonOutOnOff0"), std::optional<bool>(unlocked));

        QStringList expected{QStringLiteral("Watch-only lock on")};
        if (unlocked)
            expected << QStringLiteral("Watch-only lock off: tool change on press 4");
        QTRY_COMPARE(journalLines(f), expected);
        // The time every journal line has.
        const QList<journal::OperatorEntry> entries =
            f.window->findChild<journal::OperatorJournal *>()->today();
        QCOMPARE(entries.last().time, f.clock.value);
    }

    // --watch-only: the window is locked before it first connects.
    void watchOnlyOptionStartsLocked()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), true);
        BuiltInSimulator builtIn(*f.window);
        const app::CommandLine c = app::parseCommandLine(
            {QStringLiteral("quorin-monitor"), QStringLiteral("--watch-only"), QStringLiteral("--connect"),
             QStringLiteral("127.0.0.1:%1").arg(f.sim->port())});
        startFromCommandLine(c, *f.window, builtIn);
        QVERIFY(locked(f));
        QVERIFY(f.waitFor(
            [&] { return wire::isUp(f.link().state()) && f.consoleText().endsWith(QLatin1Char('#')); },
            10000));
        QCOMPARE(usable(f, "buttonRun"), std::optional<bool>(false));
        QCOMPARE(usable(f, "buttonSend"), std::optional<bool>(true));
        QVERIFY(unlock(f, kReason));
        QCOMPARE(usable(f, "buttonRun"), std::optional<bool>(true));
    }
};

QTEST_MAIN(TestWatchOnly)
#include "test_watchonly.moc"

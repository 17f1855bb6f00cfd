// The watch-only lock against the simulator: the controls it turns off, what the
// console still sends, the reason asked for on unlocking, and --watch-only.
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
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QString kReason = QStringLiteral("changeover, line stopped");
const std::optional<bool> kOn(true), kOff(false);

// Whether the widget or menu entry of that name can be used; nothing when absent.
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

// Clicks the lock off, giving `reason` (none: Cancel); true when it is off then.
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

void focus(MonitorFixture &f, QWidget *w)
{
    f.window->activateWindow();
    QApplication::setActiveWindow(f.window.get());
    w->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

// Whether each of `names` is usable as `on` says.
bool all(MonitorFixture &f, const QStringList &names, bool on)
{
    for (const QString &name : names)
        if (usable(f, name) != std::optional<bool>(on))
            return false;
    return true;
}

// The commands sent so far, known complete once a marker's reply is back.
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

    // Every control: on while connected, off while locked when it changes the machine, on again after.
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("lockedOff");
        // Running, loading, setting, forcing, writing, clearing, jogging and teaching.
        const QStringList off =
            QString("buttonRun buttonCtrlA comboBox2 buttonProgramExec buttonFileOpen buttonPointLoad "
                    "buttonMbkLoad buttonRtcAdj buttonBkpAddDel textFieldBkpNumber buttonBkpAllClr "
                    "menuOpenFile menuRestore buttonOutOnOff0 buttonOutOnOff15 buttonOutOnOff20 "
                    "buttonOutOnOff35 buttonOutOnOff40 buttonOutOnOff41 buttonCuOnOff0 buttonCuOnOff15 "
                    "buttonCuOnOff40 buttonMbkIoOnOff0 buttonMbkIoOnOff31 buttonMbkIoOnOff40 "
                    "textfieldMbkModAdr textfieldMbkModData textfieldVariModName textfieldVariModValue "
                    "buttonTaskMbkAreaClear buttonPgJog0 buttonPgJog2 buttonPgJog3 buttonPgJog11 "
                    "buttonPgJog12 textfieldPgTeachNum buttonPgJog14 buttonPgJog16 buttonPgJog17 "
                    "buttonPgPlistSetp buttonPgHout0 buttonPgHout7")
                .split(u' ');
        // Watching, polling, the connection, the lock, the console (typed lines: typedLines),
        // saving, comparing, backing up, reading the clock, the monitor and stopping an axis.
        const QStringList on =
            QString("buttonTimerStart buttonTimerStop buttonDisconnect buttonConnect buttonWatchOnly "
                    "popupbuttonOutBank popupbuttonCuOutBank popupbuttonMbkIoBank checkboxVari0 "
                    "textfieldVariName0 textfieldMbkAdrSelect popupbuttonPgSelect textfieldPgAdrSelect "
                    "comboBox1 buttonSend textField1 comboBox3 buttonList buttonCr buttonQ checkboxScroll "
                    "buttonFileSave buttonPointSave buttonMbkSave buttonPointCompare buttonMbkCompare "
                    "menuComparePoints menuCompareMbk menuCompareProgram menuBackUp buttonRtcCheck buttonMon "
                    "buttonMonList buttonBkpEnum buttonPgJog1 buttonPgJog4 buttonPgJog7 buttonPgJog10")
                .split(u' ');
        for (const QString &name : off + on)
            QTest::newRow(qPrintable(name)) << name << off.contains(name);
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(bool, lockedOff);
        MonitorFixture &f = connected();
        QCOMPARE(usable(f, name), kOn);
        lock(f);
        QVERIFY(locked(f));
        QCOMPARE(usable(f, name), std::optional<bool>(!lockedOff));
        QVERIFY(unlock(f, kReason));
        QVERIFY(!control<QLabel>(f.window.get(), QStringLiteral("labelWatchOnly"))->isVisible());
        QCOMPARE(usable(f, name), kOn);
    }

    // --watch-only locks before the first connection, a page first shown while locked is
    // built locked, and unlocking gives back what the connection rules say, not simply "on".
    void lockFollowsTheConnection()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), true, QString(), MonitorFixture::Pages::AsShown);
        BuiltInSimulator builtIn(*f.window);
        startFromCommandLine(app::parseCommandLine({"quorin-monitor", "--watch-only", "--connect",
                                                    QStringLiteral("127.0.0.1:%1").arg(f.sim->port())}),
                             *f.window, builtIn);
        QVERIFY(locked(f));
        QVERIFY(f.waitFor([&] { return f.consoleText().endsWith(QLatin1Char('#')); }, 10000));
        const QStringList names = {"buttonRun", "buttonFileOpen", "menuOpenFile", "menuRestore"};
        QVERIFY(all(f, names, false));
        f.disconnect();
        QVERIFY(unlock(f, kReason));
        QVERIFY(all(f, names, false));
        lock(f);
        QVERIFY(f.connectToSim());
        QVERIFY(all(f, names, false));
        f.selectTab(QStringLiteral("5"));
        QCOMPARE(usable(f, "buttonPgJog0"), kOff);
        QCOMPARE(usable(f, "buttonPgJog1"), kOn);
        QVERIFY(unlock(f, kReason));
        QVERIFY(all(f, names + QStringList{"buttonPgJog0"}, true));
    }

    // Continue and step: off while locked, after unlocking on only while the program still
    // stands at the stop. Printing a variable at the stop only reads.
    void unlockingFollowsTheBreakpointStop()
    {
        MonitorFixture &f = connected();
        const QStringList steps = {"buttonBkpN", "buttonBkpT"};
        QVERIFY(f.stopAtBreakpoint());
        QVERIFY(f.waitFor([&] { return all(f, steps, true); }));
        lock(f);
        QVERIFY(all(f, steps, false));
        QCOMPARE(usable(f, "buttonBkpVari"), kOn);
        QVERIFY(unlock(f, kReason));
        QVERIFY(all(f, steps, true));

        // The program leaves the stop while the lock is on.
        lock(f);
        f.link().sendRaw(QByteArray(1, '\x01'), wire::Link::Breakpoint::Leave);
        QVERIFY(f.waitFor([&] { return usable(f, "buttonBkpVari") == kOff; }));
        QVERIFY(unlock(f, kReason));
        QVERIFY(all(f, steps, false));
    }

    // The compare window's Load and the restore window's Restore; a compare window opened
    // while locked is built with Load off.
    void loadAndRestoreWindows()
    {
        MonitorFixture &f = connected();
        const auto followsTheLock = [&](QPushButton *button) {
            lock(f);
            const bool offWhileLocked = !button->isEnabled();
            return unlock(f, kReason) && offWhileLocked && button->isEnabled();
        };
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
        QVERIFY(followsTheLock(load)); // still locked: built off
        QVERIFY(followsTheLock(load));
        shown->close();

        const QDir parent(f.tempDir.filePath(QStringLiteral("backups")));
        QVERIFY(parent.mkpath(QStringLiteral(".")));
        f.dialogs.setNextFileName(parent.path());
        control<QAction>(f.window.get(), QStringLiteral("menuBackUp"))->trigger();
        QVERIFY(f.waitFor([&] { return !parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty(); }));
        f.settle();
        f.dialogs.setNextFileName(
            parent.filePath(parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot).first()));
        control<QAction>(f.window.get(), QStringLiteral("menuRestore"))->trigger();
        QVERIFY(
            f.waitFor([&] { return (shown = f.window->findChild<QDialog *>("restoreWindow")) != nullptr; }));
        QVERIFY(followsTheLock(control<QPushButton>(shown, QStringLiteral("buttonRestore"))));
        shown->close();
    }

    // While locked a typed line goes out only when it only reads; a refused one is noted.
    void typedLines_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("sent");
        QTest::addRow("command box, a write") << "comboBox1" << QString("ON 5") << false;
        QTest::addRow("command box, a read") << "comboBox1" << QString("PR 1") << true;
        QTest::addRow("quick line, a read then a write") << "textField1" << QString("PR 1 : OFF 5") << false;
        QTest::addRow("quick line, a listing") << "textField1" << QString("LIST") << true;
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
        QCOMPARE(sentSoFar(f), sent ? QStringList{line} : QStringList{});
        QCOMPARE(f.consoleText().contains(QStringLiteral("Watch only: \"%1\" was not sent.").arg(line)),
                 !sent);
        QVERIFY(unlock(f, kReason));
    }

    // The console's machine-changing keys and Control+O: nothing while locked, acting once unlocked.
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
        const auto press = [&] {
            f.dialogs.clear();
            f.clearCommands();
            focus(f, control<QPlainTextEdit>(f.window.get(), QStringLiteral("textView1")));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::ControlModifier);
        };
        const auto acted = [&] {
            const auto open = [](const ScriptedDialogs::Entry &e) { return e.kind == QLatin1String("open"); };
            return sends.isEmpty() ? std::any_of(f.dialogs.entries.cbegin(), f.dialogs.entries.cend(), open)
                                   : f.sim->received().contains(sends);
        };
        lock(f);
        press();
        QCOMPARE(sentSoFar(f), QStringList());
        QVERIFY(!acted());
        QVERIFY(unlock(f, kReason));
        press();
        QVERIFY(f.waitFor(acted));
        f.settle();
    }

    // Unlocking asks why; Cancel or blanks keep the lock. The journal notes each change and reason.
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
        f.dialogs.clear();
        QCOMPARE(unlock(f, answer), unlocked);
        QCOMPARE(f.dialogs.entries.size(), 1);
        QCOMPARE(f.dialogs.entries.first().kind, QString("text"));
        QCOMPARE(f.dialogs.entries.first().text, QString("Unlock Controls"));
        QCOMPARE(locked(f), !unlocked);
        QCOMPARE(usable(f, "buttonOutOnOff0"), std::optional<bool>(unlocked));

        const auto *journal = f.window->findChild<journal::OperatorJournal *>();
        QStringList expected{QStringLiteral("Watch-only lock on"),
                             QStringLiteral("Watch-only lock off: tool change on press 4")};
        QTRY_COMPARE(journal->today().size(), expected.size() - !unlocked);
        for (int i = 0; i < journal->today().size(); ++i)
            QCOMPARE(journal->today().at(i).what, expected[i]);
        QCOMPARE(journal->today().last().time, f.clock.value);
    }
};

QTEST_MAIN(TestWatchOnly)
#include "test_watchonly.moc"

// The watch-only lock: the controls it turns off, what still goes out, unlocking, and --watch-only.
#include "app/builtinsimulator.h"
#include "app/commandline.h"
#include "journal/operatorjournal.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include <QtTest>
#include <QtWidgets>
#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kReason = u"changeover, line stopped"_s;
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

bool all(MonitorFixture &f, const QStringList &names, bool on)
{
    return std::all_of(names.cbegin(), names.cend(), [&](const QString &n) { return usable(f, n) == on; });
}

QPushButton *lockButton(MonitorFixture &f)
{
    return control<QPushButton>(f.window.get(), u"buttonWatchOnly"_s);
}

void lock(MonitorFixture &f)
{
    if (!lockButton(f)->isChecked())
        lockButton(f)->click();
}

// Clicks the lock off, giving `reason` (none: Cancel); true when it is off then.
bool unlock(MonitorFixture &f, const std::optional<QString> &reason = kReason)
{
    if (reason)
        f.dialogs.setNextText(*reason);
    lockButton(f)->click();
    return !lockButton(f)->isChecked();
}

void focus(MonitorFixture &f, QWidget *w)
{
    f.window->activateWindow();
    QApplication::setActiveWindow(f.window.get());
    w->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

// The commands sent so far, known complete once a marker's reply is back.
QStringList sentSoFar(MonitorFixture &f)
{
    const QString marker = u"PR 987654"_s;
    f.settle();
    f.link().sendString(marker);
    if (!f.waitFor([&] { return f.link().replySoFar().contains(u" 987654\r\n#"_s); }))
        return {u"<marker lost>"_s};
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
        QVERIFY(lockShown(f.window.get()));
        QCOMPARE(usable(f, name), std::optional<bool>(!lockedOff));
        QVERIFY(unlock(f));
        QVERIFY(!control<QLabel>(f.window.get(), u"labelWatchOnly"_s)->isVisible());
        QCOMPARE(usable(f, name), kOn);
    }

    // --watch-only locks before the first connection (here --simulator's), a page first shown locked is built
    // locked, and unlocking gives back what the connection and a breakpoint stop say, not "on".
    void lockFollowsTheConnection()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), true, QString(), MonitorFixture::Pages::AsShown);
        BuiltInSimulator builtIn(*f.window);
        startFromCommandLine(app::parseCommandLine({"quorin-monitor", "--watch-only", "--simulator"}),
                             *f.window, builtIn);
        QVERIFY(lockShown(f.window.get()));
        QVERIFY(f.waitFor([&] { return f.consoleText().endsWith(u'#'); }, 10000));
        QCOMPARE(f.addressField()->text(), builtIn.address());
        const QStringList names = {"buttonRun", "buttonFileOpen", "menuOpenFile", "menuRestore"};
        QVERIFY(all(f, names, false));
        f.disconnect();
        QVERIFY(unlock(f) && all(f, names, false));
        lock(f);
        QVERIFY(f.connectToSim() && all(f, names, false));
        f.selectTab(u"5"_s);
        QVERIFY(usable(f, "buttonPgJog0") == kOff && usable(f, "buttonPgJog1") == kOn);
        QVERIFY(unlock(f) && all(f, names + QStringList{"buttonPgJog0"}, true));

        // Continue and step: on after unlocking only while still at the stop; printing a variable only reads.
        const QStringList steps = {"buttonBkpN", "buttonBkpT"};
        f.selectTab(u"0"_s); // the console: no poll's wait takes the stop's prompt
        f.settle();
        QVERIFY(f.stopAtBreakpoint());
        QVERIFY(f.waitFor([&] { return all(f, steps, true); }));
        lock(f);
        QVERIFY(all(f, steps, false) && usable(f, "buttonBkpVari") == kOn);
        QVERIFY(unlock(f) && all(f, steps, true));
        lock(f); // and the program leaves the stop meanwhile
        f.link().sendRaw(QByteArray(1, '\x01'), wire::Link::Breakpoint::Leave);
        QVERIFY(f.waitFor([&] { return usable(f, "buttonBkpVari") == kOff; }));
        QVERIFY(unlock(f) && all(f, steps, false));
    }

    // The compare window's Load (built off while locked) and the restore window's Restore.
    void loadAndRestoreWindows()
    {
        MonitorFixture &f = connected();
        const auto followsTheLock = [&](QPushButton *button) {
            lock(f);
            const bool offWhileLocked = !button->isEnabled();
            return unlock(f) && offWhileLocked && button->isEnabled();
        };
        // Pressed behind another action, then locked: held back, and on again once unlocked.
        const auto offeredAfterHeldBack = [&](QPushButton *button) {
            f.settle();
            f.clearCommands();
            f.link().enqueue(
                [&f]() -> QCoro::Task<> { co_await f.link().pause(std::chrono::milliseconds(20)); });
            button->click();
            lock(f);
            return sentSoFar(f).isEmpty() && unlock(f) && button->isEnabled();
        };
        QDialog *shown = nullptr;
        const auto opened = [&](const QString &name) {
            return f.waitFor([&] { return (shown = f.window->findChild<QDialog *>(name)) != nullptr; });
        };
        const QString path = f.tempDir.filePath(u"cell.p2k"_s);
        QVERIFY(put(path, "SETP 1 1 2 3 4\n"));
        lock(f);
        f.dialogs.setNextFileName(path);
        control<QPushButton>(f.window.get(), u"buttonPointCompare"_s)->click();
        QVERIFY(opened(u"compareWindow"_s));
        auto *load = control<QPushButton>(shown, u"buttonCompareLoad"_s);
        QVERIFY(followsTheLock(load)); // still locked: built off
        QVERIFY(followsTheLock(load));
        QVERIFY(offeredAfterHeldBack(load));
        shown->close();

        const QDir parent(f.tempDir.filePath(u"backups"_s));
        QVERIFY(parent.mkpath(u"."_s));
        const auto backups = [&] { return parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot); };
        f.dialogs.setNextFileName(parent.path());
        control<QAction>(f.window.get(), u"menuBackUp"_s)->trigger();
        QVERIFY(f.waitFor([&] { return !backups().isEmpty(); }));
        f.settle();
        f.dialogs.setNextFileName(parent.filePath(backups().first()));
        control<QAction>(f.window.get(), u"menuRestore"_s)->trigger();
        QVERIFY(opened(u"restoreWindow"_s));
        QVERIFY(followsTheLock(control<QPushButton>(shown, u"buttonRestore"_s)));
        f.dialogs.setNextAnswer(true); // its confirmation
        QVERIFY(offeredAfterHeldBack(control<QPushButton>(shown, u"buttonRestore"_s)));
        shown->close();
    }

    // While locked a typed line goes out only when it only reads; a refused one is noted.
    void typedLines()
    {
        using Case = std::tuple<const char *, QString, bool>; // field, line, sent
        MonitorFixture &f = connected();
        lock(f);
        for (const auto &[field, line, sent] :
             {Case{"comboBox1", u"ON 5"_s, false}, Case{"comboBox1", u"PR 1"_s, true},
              Case{"comboBox1", u"PR 1\r\nON 5"_s, false}, // pasted: two lines
              Case{"textField1", u"PR 1 : OFF 5"_s, false}, Case{"textField1", u"LIST"_s, true}}) {
            f.clearCommands();
            if (auto *box = control<QComboBox>(f.window.get(), field)) {
                box->setEditText(line);
                control<QPushButton>(f.window.get(), u"buttonSend"_s)->click();
            } else {
                auto *quick = control<QLineEdit>(f.window.get(), field);
                focus(f, quick);
                quick->setText(line);
                QTest::keyClick(quick, Qt::Key_Return);
            }
            const QString note = u"Watch only: \"%1\" was not sent."_s.arg(line);
            QVERIFY2(sentSoFar(f) == (sent ? QStringList{line} : QStringList{}), qPrintable(line));
            QVERIFY2(f.consoleText().contains(note) != sent, qPrintable(line));
        }
        QVERIFY(unlock(f));
    }

    // The console's machine-changing keys and Control+O: nothing while locked, acting once unlocked.
    void keys()
    {
        MonitorFixture &f = connected();
        // Control+] runs, Control+\\ sends the attention byte, Control+L and Control+O ask for a program.
        const std::pair<Qt::Key, QByteArray> keys[] = {
            {Qt::Key_BracketRight, "RUN\r"}, {Qt::Key_Backslash, "\x01"}, {Qt::Key_L, {}}, {Qt::Key_O, {}}};
        for (const auto &[key, sends] : keys) {
            const auto press = [&] {
                f.dialogs.clear();
                f.clearCommands();
                focus(f, control<QPlainTextEdit>(f.window.get(), u"textView1"_s));
                QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
            };
            const auto acted = [&] {
                const auto open = [](const ScriptedDialogs::Entry &e) { return e.kind == u"open"_s; };
                return sends.isEmpty()
                           ? std::any_of(f.dialogs.entries.cbegin(), f.dialogs.entries.cend(), open)
                           : f.sim->received().contains(sends);
            };
            const QByteArray name = QKeySequence(key).toString().toUtf8();
            lock(f);
            press();
            QVERIFY2(sentSoFar(f).isEmpty() && !acted(), name);
            QVERIFY(unlock(f));
            press();
            QVERIFY2(f.waitFor(acted), name);
            f.settle();
        }
    }

    // A click that waits its turn behind another action sends nothing when the lock came on meanwhile; the
    // console says so. Stopping an axis is never held back.
    void queuedBeforeTheLock_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("heldBack");
        QTest::newRow("force") << u"1"_s << u"buttonOutOnOff0"_s << true;
        QTest::newRow("run") << u"0"_s << u"buttonRun"_s << true;
        QTest::newRow("program load") << u"0"_s << u"buttonFileOpen"_s << true;
        QTest::newRow("task area") << u"6"_s << u"buttonTaskMbkAreaClear"_s << true;
        QTest::newRow("H output") << u"5"_s << u"buttonPgHout0"_s << true;
        QTest::newRow("axis stop") << u"5"_s << u"buttonPgJog1"_s << false;
    }
    void queuedBeforeTheLock()
    {
        QFETCH(QString, tab);
        QFETCH(QString, name);
        QFETCH(bool, heldBack);
        MonitorFixture &f = connected();
        const QString program = f.tempDir.filePath(u"queued.f2k"_s);
        QVERIFY(put(program, "10 PR 1\n20 END\n"));
        f.clearCommands();
        f.selectTab(tab); // one reading first: a lamp forces the bit it shows
        QVERIFY(tab != u"1"_s || f.waitFor([&] { return f.commands().size() > 1 && !f.link().busy(); }));
        control<QPushButton>(f.window.get(), u"buttonTimerStop"_s)->click();
        auto *board = control<QComboBox>(f.window.get(), u"popupbuttonPgSelect"_s);
        board->setCurrentIndex(board->findText(u"0"_s));
        const auto clickBehindAnother = [&](bool lockMeanwhile) {
            f.settle();
            f.clearCommands();
            f.dialogs.clear();
            f.dialogs.setNextFileName(program);
            f.link().enqueue(
                [&f]() -> QCoro::Task<> { co_await f.link().pause(std::chrono::milliseconds(20)); });
            control<QPushButton>(f.window.get(), name)->click();
            if (lockMeanwhile)
                lock(f);
            return sentSoFar(f);
        };
        const QString note = u"Watch only: an action queued before the lock was not sent."_s;
        const QStringList unlocked = clickBehindAnother(false);
        QVERIFY(!unlocked.isEmpty());
        const qsizetype notes = f.consoleText().count(note);
        QCOMPARE(clickBehindAnother(true), heldBack ? QStringList() : unlocked);
        QCOMPARE(f.consoleText().count(note), notes + (heldBack ? 1 : 0));
        QVERIFY(unlock(f));
    }

    // Unlocking asks why; Cancel or blanks keep the lock. The journal notes each change and reason.
    void unlockAsksForAReason()
    {
        using Case = std::tuple<const char *, std::optional<QString>, bool>; // name, answer, unlocks
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        lock(f);
        for (const auto &[name, answer, unlocks] :
             {Case{"Cancel", {}, false}, Case{"blanks", u"   "_s, false},
              Case{"a reason", u" tool change on press 4 "_s, true}}) {
            f.dialogs.clear();
            QVERIFY2(unlock(f, answer) == unlocks, name);
            QVERIFY2(f.dialogs.entries.size() == 1 && f.dialogs.entries.first().kind == u"text"_s &&
                         f.dialogs.entries.first().text == u"Unlock Controls"_s,
                     name);
            QVERIFY2(lockShown(f.window.get()) != unlocks && usable(f, "buttonOutOnOff0") == unlocks, name);
        }
        // Nothing for the refused attempts.
        const auto *journal = f.window->findChild<journal::OperatorJournal *>();
        const QStringList expected{u"Watch-only lock on"_s, u"Watch-only lock off: tool change on press 4"_s};
        QTRY_COMPARE(journal->today().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(journal->today().at(i).what, expected[i]);
    }
};

QTEST_MAIN(TestWatchOnly)
#include "test_watchonly.moc"

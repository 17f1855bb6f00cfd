// The session and operator journals against the in-process simulator.
#include "app/addressbook.h"
#include "journal/sessionjournal.h"
#include "journal/transcript.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include "journal/operatordock.h"
#include "journal/operatorjournal.h"

#include <QtTest>
#include <QtWidgets>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

using namespace journal;
using namespace Qt::StringLiterals;

namespace {

SessionJournal *journalOf(MonitorFixture &f)
{
    return f.window->findChild<SessionJournal *>();
}

QStringList sessionFiles(MonitorFixture &f)
{
    return QDir(journalOf(f)->directory()).entryList({u"*.txt"_s}, QDir::Files);
}

void submit(QLineEdit *field, const QString &text)
{
    field->setText(text);
    emit field->returnPressed();
}

// Switches output `n` on from the I/O page; true once the simulator of `run` has the command.
bool switchOn(MonitorFixture &f, MonitorFixture &run, int n)
{
    QWidget *w = f.window.get();
    f.selectTab(u"1"_s);
    const QString number = QString::number(n);
    auto *bit = control<QLabel>(w, u"labelOut%1BitNo"_s.arg(number));
    if (!bit || !f.waitFor([&] { return bit->text() == number; }))
        return false;
    control<QPushButton>(w, u"buttonOutOnOff%1"_s.arg(number))->click();
    return run.waitForCommand(u"ON "_s + number);
}

// The dock's rows as "controller | page | action".
QStringList rows(const QTreeWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        out << QStringList{item->text(1), item->text(2), item->text(3)}.join(u" | "_s);
    }
    return out;
}

QByteArray exported(MonitorFixture &f)
{
    const QString csv = f.tempDir.filePath(u"journal.csv"_s);
    QFile::remove(csv);
    f.dialogs.setNextFileName(csv);
    control<QPushButton>(f.window.get(), "buttonJournalExport")->click();
    return bytesOf(csv);
}

// Shows the session file `path` in the dock; true once it has been read.
bool reopened(MonitorFixture &f, const QString &path)
{
    auto *dock = f.window->findChild<OperatorDock *>();
    QSignalSpy shown(dock, &OperatorDock::fileShown);
    return dock->showFile(path) && f.waitFor([&] { return shown.size() == 1; });
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    // A refusing disk turns recording off with one status message, no dialog; the link and polling go on.
    void refusingDisk_data()
    {
        QTest::addColumn<bool>("full");
        QTest::newRow("folder that cannot be made") << false;
        QTest::newRow("full disk mid-session") << true;
    }

    void refusingDisk()
    {
        QFETCH(bool, full);
        MonitorFixture f;
        if (full) {
            if (!QFile::exists(u"/dev/full"_s))
                QSKIP("no /dev/full here");
            const QString dir = f.tempDir.filePath(u"sessions"_s);
            QVERIFY(QDir().mkpath(dir));
            const QString name = sessionFileName(f.clock.value, u"127.0.0.1:%1"_s.arg(f.sim->port()));
            QVERIFY(QFile::link(u"/dev/full"_s, QDir(dir).filePath(name)));
        } else {
            // A file where the folder should be: no folder under it, even for root.
            QVERIFY(put(f.tempDir.filePath(u"blocker"_s), QByteArray()));
            journalOf(f)->setDirectory(f.tempDir.filePath(u"blocker/sessions"_s));
        }
        QSignalSpy messages(f.window->statusBar(), &QStatusBar::messageChanged);
        QVERIFY(f.connectToSim());
        f.selectTab(u"1"_s);
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= 10 && messages.size() >= 1; }));
        QVERIFY(wire::isUp(f.link().state()));
        f.selectTab(u"0"_s);
        f.disconnect();
        QVERIFY(f.connectToSim());
        f.disconnect();
        QCOMPARE(messages.size(), 1);
        QVERIFY(f.window->statusBar()->currentMessage().startsWith(u"Session recording turned off"_s));
        // A message naming a folder runs under the link's labels in a small window: the pointer
        // reads it whole.
        QCOMPARE(f.window->statusBar()->toolTip(), f.window->statusBar()->currentMessage());
        QVERIFY(!control<QAction>(f.window.get(), u"menuRecordSessions"_s)->isChecked());
        QVERIFY(f.dialogs.entries.isEmpty());
    }

    // At start-up the age and size rules clear old transcripts, and only them. A short session's
    // transcript; then recording off stays off.
    void startUpThenASession()
    {
        QStandardPaths::setTestModeEnabled(true);
        QDir dir(SessionJournal::defaultDirectory());
        dir.removeRecursively();
        QVERIFY(QDir().mkpath(dir.path()));
        const QDateTime now = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3)); // the fake clock's
        const auto make = [&](const char *name, int daysAgo, qint64 mb) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            return file.open(QIODevice::WriteOnly) && file.resize(mb * 1024 * 1024) && // sparse
                   file.setFileTime(now.addDays(-daysAgo), QFileDevice::FileModificationTime);
        };
        QVERIFY(make("2026-10-26_09-00-00_10.0.0.5_23.txt", 40, 1));
        QVERIFY(make("2026-11-30_09-00-00_10.0.0.5_23.txt", 5, 150));
        QVERIFY(make("2026-12-01_09-00-00_10.0.0.5_23.txt", 4, 100));
        QVERIFY(make("2026-12-05_09-00-00_10.0.0.5_23.txt", 0, 1));
        QVERIFY(make("notes.txt", 90, 1));
        MonitorFixture f;
        QCOMPARE(dir.entryList(QDir::Files, QDir::Name),
                 (QStringList{"2026-12-01_09-00-00_10.0.0.5_23.txt", "2026-12-05_09-00-00_10.0.0.5_23.txt",
                              "notes.txt"}));
        dir.removeRecursively();

        const QTime before = QTime::currentTime();
        QVERIFY(f.connectToSim());
        QVERIFY(f.exchange(u"PR 1+2"_s));
        f.disconnect();
        const QTime after = QTime::currentTime();
        const QStringList files = sessionFiles(f);
        QCOMPARE(files, QStringList{sessionFileName(f.clock.value, u"127.0.0.1:%1"_s.arg(f.sim->port()))});
        const QString path = QDir(journalOf(f)->directory()).filePath(files.first());

        // Sent chunks are what the simulator received, login answers as ***; replies follow their command.
        QList<Entry> entries;
        QStringList sent;
        QByteArray receivedBytes;
        qsizetype command = -1;
        for (const QString &line : QString::fromUtf8(bytesOf(path)).split(u'\n')) {
            const auto e = parseLine(line);
            if (!e)
                continue;
            entries << *e;
            if (e->kind == Entry::Kind::Received)
                receivedBytes += unescapeChunk(e->text);
            else if (e->kind == Entry::Kind::Sent)
                sent << e->text;
            if (e->text == QLatin1String("PR 1+2\\r"))
                command = receivedBytes.size();
        }
        QCOMPARE(sent, (QStringList{"***\\r", "***\\r", "CMD$ 0\\r", "PR 1+2\\r", "CMD$ 0\\r"}));
        // The simulator reads on its own thread: the last command may still be on its way.
        QTRY_COMPARE(f.sim->received().replace("KDW4721\r", "***\r").replace("QVRNT\r", "***\r"),
                     unescapeChunk(sent.join(QString())));
        QVERIFY(!bytesOf(path).contains("KDW4721") && !bytesOf(path).contains("QVRNT"));
        QVERIFY(receivedBytes.indexOf("Login    :") < receivedBytes.indexOf("Password :"));
        QVERIFY(command >= 0 && receivedBytes.indexOf("\r\n 3\r\n#", command) >= command);
        // In order, on the local wall clock (a run across midnight proves nothing).
        QVERIFY(std::is_sorted(entries.cbegin(), entries.cend(),
                               [](const Entry &a, const Entry &b) { return a.time < b.time; }));
        if (before <= after)
            QVERIFY(entries.first().time >= before.addMSecs(-1) && entries.last().time <= after.addMSecs(1));

        QAction *record = control<QAction>(f.window.get(), u"menuRecordSessions"_s);
        QVERIFY(record && record->isChecked() && f.window->viewMenu()->actions().contains(record));
        record->setChecked(false);
        QVERIFY(QDir(journalOf(f)->directory()).removeRecursively());
        QVERIFY(f.connectToSim());
        f.disconnect();
        QVERIFY(sessionFiles(f).isEmpty());
        // The choice is kept with the window's settings, not with another store.
        MonitorFixture next(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QVERIFY(!control<QAction>(next.window.get(), u"menuRecordSessions"_s)->isChecked());
        MonitorFixture other(MonitorFixture::makeOptions(), false);
        QVERIFY(control<QAction>(other.window.get(), u"menuRecordSessions"_s)->isChecked());
    }

    // Record sessions turned off and on again while connected: what goes by afterwards is recorded, as the
    // ticked menu entry says.
    void recordingTurnedBackOnMidSession()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        QAction *record = control<QAction>(f.window.get(), u"menuRecordSessions"_s);
        record->setChecked(false);
        record->setChecked(true);
        QVERIFY(f.exchange(u"PR 1+2"_s));
        // A command the controller never answers has its line in the file too, saying so.
        sim::Options stall = f.sim->options();
        stall.stallAfter = 0;
        f.sim->setOptions(stall);
        f.timeoutField()->setText(u"1"_s);
        QVERIFY(!f.exchange(u"ON 5"_s));
        // So has one the controller hangs up on: neither reads as done.
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.connectToSim());
        sim::Options drop = f.sim->options();
        drop.dropAfter = 0;
        f.sim->setOptions(drop);
        QVERIFY(!f.exchange(u"ON 6"_s));
        QVERIFY(record->isChecked());
        QByteArray recorded;
        const QDir dir(journalOf(f)->directory());
        for (const QString &name : sessionFiles(f))
            recorded += bytesOf(dir.filePath(name));
        QVERIFY2(recorded.contains("> PR 1+2\\r") &&
                     recorded.contains("| Output 5 ON \u2014 controller: no answer") &&
                     recorded.contains("| Output 6 ON \u2014 controller: no answer"),
                 recorded.constData());
    }

    // The operator's actions in words, by page, none of the polling; the dock filters, exports, reopens them.
    void operatorLines()
    {
        MonitorFixture f;
        QWidget *w = f.window.get();
        auto *journal = w->findChild<OperatorJournal *>();
        QVERIFY(journal);
        QVERIFY(f.connectToSim());
        QVERIFY(switchOn(f, f, 3));

        f.selectTab(u"5"_s);
        control<QComboBox>(w, "popupbuttonPgSelect")->setCurrentText(u"3"_s);
        control<QComboBox>(w, "popupbuttonPgPulse")->setCurrentText(u"100"_s);
        control<QPushButton>(w, "buttonPgJog2")->click();
        QVERIFY(f.waitForCommand(u"RMVS X_A 100"_s));
        control<QLineEdit>(w, "textfieldPgTeachNum")->setText(u"5"_s);
        f.dialogs.setNextAnswer(true);
        control<QPushButton>(w, "buttonPgJog12")->click();
        QVERIFY(f.waitForCommand(u"SETP 5 P(0)"_s));

        f.selectTab(u"2"_s);
        submit(control<QLineEdit>(w, "textfieldVariModName"), u"A"_s);
        submit(control<QLineEdit>(w, "textfieldVariModValue"), u"5"_s);
        QVERIFY(f.waitForCommand(u"A=5"_s));
        // The controller refuses this one; the line says what it answered.
        submit(control<QLineEdit>(w, "textfieldVariModValue"), u"5)"_s);
        QVERIFY(f.waitForCommand(u"A=5)"_s));

        f.selectTab(u"3"_s);
        control<QRadioButton>(w, "radiobuttonMbkSizeWrd")->click();
        submit(control<QLineEdit>(w, "textfieldMbkModAdr"), u"100"_s);
        submit(control<QLineEdit>(w, "textfieldMbkModData"), u"&H7F"_s);
        QVERIFY(f.waitForCommand(u"MBK(100~Wrd)=&H7F"_s));

        f.selectTab(u"0"_s);
        // Comparing points only reads: none of its listing's commands is the operator's.
        const QString points = f.tempDir.filePath(u"cell.p2k"_s);
        QVERIFY(put(points, "SETP 1 100 0 0 0\n"));
        f.dialogs.setNextFileName(points);
        control<QPushButton>(w, "buttonPointCompare")->click();
        QVERIFY(f.waitFor([w] { return w->findChild<QDialog *>(u"compareWindow"_s); }));
        const QString program = f.tempDir.filePath(u"robot.f2k"_s);
        QVERIFY(put(program, "10 A=1\r\n20 ?bad\r\n30 B=2\r\n40 )x\r\n"));
        f.dialogs.setNextFileName(program);
        control<QPushButton>(w, "buttonFileOpen")->click();
        QVERIFY(f.waitForCommand(u"MMC_LOAD MMC_LOAD$"_s));
        control<QPushButton>(w, "buttonRtcAdj")->click();
        const auto lines = [journal] {
            QStringList out;
            for (const OperatorEntry &e : journal->today())
                out << e.page + u" | "_s + e.what;
            return out;
        };
        QTRY_COMPARE(lines(),
                     (QStringList{
                         "I/O | Output 3 ON",
                         "Axis | Board 3 selected", // by the jog: no poll had selected it yet
                         "Axis | Jog X+ 100 pulses",
                         "Axis | Point 5 taught (confirmed)",
                         "Variables | A=5",
                         "Variables | A=5) \u2014 controller: \u69cb\u6587\u30a8\u30e9\u30fc (Syntax Error)",
                         "MBK | MBK(100~Wrd)=&H7F",
                         "Console | Program loaded from robot.f2k, 32 bytes, 2 lines refused",
                         "Console | Clock set to 2026-12-05 09:05:03",
                     }));
        QCOMPARE(journal->today().first().time, f.clock.value);

        QAction *show = control<QAction>(w, "menuOperatorJournal");
        QVERIFY(f.window->viewMenu()->actions().contains(show));
        show->trigger();
        QVERIFY(w->findChild<OperatorDock *>()->isVisible());
        auto *list = control<QTreeWidget>(w, "listOperatorJournal");
        const QStringList shown = rows(list);
        QCOMPARE(shown.size(), 9);
        control<QLineEdit>(w, "textFieldJournalFilter")->setText(u"jog"_s);
        const QString jog =
            u"2026-12-05 09:05:03.000,127.0.0.1:%1,Axis,Jog X+ 100 pulses\r\n"_s.arg(f.sim->port());
        QCOMPARE(exported(f), "Time,Controller,Page,Action\r\n" + jog.toUtf8());
        control<QLineEdit>(w, "textFieldJournalFilter")->clear();
        const QString session = journalOf(f)->currentFile();
        f.disconnect();
        QVERIFY(reopened(f, session));
        QCOMPARE(rows(list), shown);
    }

    // Each line names its controller by the address book's name in dock, CSV, session file and its name
    // (by address: operatorLines; unconnected: reopeningIsBounded).
    void linesNameTheirController()
    {
        MonitorFixture run;
        const QString address = u"127.0.0.1:%1"_s.arg(run.sim->port());
        const QString name = u"Press 4, part 2 (left)"_s;
        // A later run on `run`'s settings, whose address book names its simulator twice.
        app::AddressBook{{{u"press-4"_s, address, {}, false}, {name, address, {}, false}}}.save(
            *run.settings);
        run.settings->sync();
        MonitorFixture f(MonitorFixture::makeOptions(), false, run.settings->fileName());
        QWidget *w = f.window.get();
        f.addressField()->setText(name);
        control<QPushButton>(w, "buttonConnect")->click();
        QVERIFY(f.waitFor([&] {
            return wire::isUp(f.link().state()) && f.consoleText().endsWith(u'#') && !f.link().busy();
        }));
        QVERIFY(switchOn(f, run, 3));
        f.selectTab(u"0"_s);
        control<QPushButton>(w, "buttonWatchOnly")->click();

        const QStringList expected{name + u" | I/O | Output 3 ON"_s,
                                   name + u" | Console | Watch-only lock on"_s};
        control<QAction>(w, "menuOperatorJournal")->trigger();
        auto *list = control<QTreeWidget>(w, "listOperatorJournal");
        QTRY_COMPARE(rows(list), expected);
        QCOMPARE(exported(f),
                 QByteArray("Time,Controller,Page,Action\r\n"
                            "2026-12-05 09:05:03.000,\"Press 4, part 2 (left)\",I/O,Output 3 ON\r\n"
                            "2026-12-05 09:05:03.000,\"Press 4, part 2 (left)\",Console,"
                            "Watch-only lock on\r\n"));
        // The file is named after the controller as well, in characters any file system takes.
        const QString session = journalOf(f)->currentFile();
        QVERIFY2(session.endsWith(u"_Press_4__part_2__left__127.0.0.1_%1.txt"_s.arg(run.sim->port())),
                 qPrintable(session));
        f.disconnect();
        QVERIFY(reopened(f, session));
        QCOMPARE(rows(list), expected);
    }

    // A line with no controller; a FIFO refused before it is opened (it would hold the window); a file
    // read apart, up to the cap.
    void reopeningIsBounded()
    {
        MonitorFixture f;
        QWidget *w = f.window.get();
        auto *dock = w->findChild<OperatorDock *>();
        control<QAction>(w, "menuOperatorJournal")->trigger();
        auto *list = control<QTreeWidget>(w, "listOperatorJournal");
        auto *source = control<QLabel>(w, "labelJournalSource");
        QSignalSpy shown(dock, &OperatorDock::fileShown);
        // Unconnected, a line names no controller.
        control<QPushButton>(w, "buttonWatchOnly")->click();
        QTRY_COMPARE(rows(list), QStringList{u" | Console | Watch-only lock on"_s});
        QCOMPARE(
            exported(f),
            QByteArray(
                "Time,Controller,Page,Action\r\n2026-12-05 09:05:03.000,,Console,Watch-only lock on\r\n"));
        // Past midnight "Today" drops yesterday's lines, whether or not a line comes.
        f.clock.value = QDateTime(QDate(2026, 12, 5), QTime(23, 59, 59, 950));
        f.dialogs.setNextText(u"shift change"_s);
        control<QPushButton>(w, "buttonWatchOnly")->click();
        QTRY_COMPARE(list->topLevelItemCount(), 2);
        f.clock.value = QDateTime(QDate(2026, 12, 6), QTime(0, 0, 0, 50));
        QTRY_COMPARE(rows(list), QStringList());
        control<QPushButton>(w, "buttonWatchOnly")->click();
        QTRY_COMPARE(rows(list), QStringList{u" | Console | Watch-only lock on"_s});
        QCOMPARE(list->topLevelItem(0)->text(0), u"00:00:00"_s);

#ifdef Q_OS_UNIX
        const QString fifo = f.tempDir.filePath(u"2026-12-05_08-00-00_127.0.0.1_23.txt"_s);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        // A writer that comes and goes: were the FIFO opened, the test fails rather than hangs.
        std::thread writer([&fifo] { QFile(fifo).open(QIODevice::WriteOnly); });
        f.dialogs.setNextFileName(fifo);
        control<QPushButton>(w, "buttonJournalOpen")->click();
        QFile reader;
        QVERIFY(reader.open(::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK),
                            QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        writer.join();
        reader.close();
        QCOMPARE(f.dialogs.alertTexts(), QStringList{u"Read Error\n\n\"%1\""_s.arg(fifo)});
        QCOMPARE(f.dialogs.entries.last().informative, u"Only a session file can be opened."_s);
        QCOMPARE(source->text(), u"Today"_s);
        QCOMPARE(shown.size(), 0);
#endif

        const QString path = f.tempDir.filePath(u"2026-12-05_09-00-00_127.0.0.1_23.txt"_s);
        QByteArray text = "# QuorinMonitor session with 127.0.0.1:23, 2026-12-05 09:00:00\n";
        for (int i = 0; i < 150; ++i) {
            const QByteArray time = QTime(9, 0).addSecs(i).toString(u"HH:mm:ss.zzz"_s).toLatin1();
            text += time + " < \\r\\n#\n" + time + " ! I/O | Output " + QByteArray::number(i) + " ON\n";
        }
        QVERIFY(put(path, text));
        dock->setEntryCap(100);
        f.dialogs.setNextFileName(path);
        control<QPushButton>(w, "buttonJournalOpen")->click();
        // The window is back before the file is read.
        QCOMPARE(shown.size(), 0);
        QCOMPARE(source->text(), u"Reading 2026-12-05_09-00-00_127.0.0.1_23.txt\u2026"_s);
        QTRY_COMPARE(shown.size(), 1);
        QCOMPARE(list->topLevelItemCount(), 100);
        // The header names the controller by its address.
        const QTreeWidgetItem *lastShown = list->topLevelItem(99);
        QCOMPARE(QStringList({lastShown->text(0), lastShown->text(1), lastShown->text(3)}),
                 QStringList({"2026-12-05 09:01:39", "127.0.0.1:23", "Output 99 ON"}));
        QCOMPARE(source->text(),
                 u"2026-12-05_09-00-00_127.0.0.1_23.txt: only its first 100 operator lines"_s);
#ifdef Q_OS_UNIX
        // Exported again onto a full disk: the file exported before stays whole, and an alert says why.
        const QString csv = f.tempDir.filePath(u"journal.csv"_s);
        const QByteArray before = bytesOf(csv);
        withHalfTheRoom(csv, [&] {
            f.dialogs.setNextFileName(csv);
            control<QPushButton>(w, "buttonJournalExport")->click();
        });
        QCOMPARE(bytesOf(csv), before);
        QVERIFY(f.dialogs.alertTexts().last().startsWith(u"Write Error"_s));
#endif
    }
};

QTEST_MAIN(TestJournal)
#include "test_journal.moc"

// The session and operator journals against the in-process simulator.
#include "app/addressbook.h"
#include "journal/sessionjournal.h"
#include "journal/transcript.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include "journal/operatordock.h"
#include "journal/operatorjournal.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

using namespace journal;

namespace {

SessionJournal *journalOf(MonitorFixture &f)
{
    return f.window->findChild<SessionJournal *>();
}

QStringList sessionFiles(MonitorFixture &f)
{
    return QDir(journalOf(f)->directory()).entryList({QStringLiteral("*.txt")}, QDir::Files);
}

QList<Entry> readEntries(const QString &path)
{
    QList<Entry> entries;
    for (const QString &line : QString::fromUtf8(bytesOf(path)).split(QLatin1Char('\n'))) {
        if (const auto e = parseLine(line))
            entries << *e;
    }
    return entries;
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
    f.selectTab(QStringLiteral("1"));
    const QString number = QString::number(n);
    auto *bit = control<QLabel>(w, QStringLiteral("labelOut%1BitNo").arg(number));
    if (!bit || !f.waitFor([&] { return bit->text() == number; }))
        return false;
    control<QPushButton>(w, QStringLiteral("buttonOutOnOff%1").arg(number))->click();
    return run.waitForCommand(QStringLiteral("ON ") + number);
}

// The dock's rows as "controller | page | action".
QStringList rows(const QTreeWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        out << QStringList{item->text(1), item->text(2), item->text(3)}.join(QStringLiteral(" | "));
    }
    return out;
}

QByteArray exported(MonitorFixture &f)
{
    const QString csv = f.tempDir.filePath(QStringLiteral("journal.csv"));
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

// A row of string cells on one line (a chain of literals wraps one a line).
template <typename... T> void row(const char *name, const T &...cells)
{
    (QTest::newRow(name) << ... << QString(cells));
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void transcriptOfAShortSession()
    {
        MonitorFixture f;
        const QTime before = QTime::currentTime();
        QVERIFY(f.connectToSim());
        QVERIFY(f.exchange(QStringLiteral("PR 1+2")));
        f.disconnect();
        const QTime after = QTime::currentTime();
        const QStringList files = sessionFiles(f);
        QCOMPARE(files, QStringList{sessionFileName(f.clock.value,
                                                    QStringLiteral("127.0.0.1:%1").arg(f.sim->port()))});
        const QString path = QDir(journalOf(f)->directory()).filePath(files.first());
        const QList<Entry> entries = readEntries(path);

        // Sent chunks are what the simulator received, login answers as ***; replies follow their command.
        QStringList sent;
        QByteArray receivedBytes;
        qsizetype command = -1;
        for (const Entry &e : entries) {
            if (e.kind == Entry::Kind::Received)
                receivedBytes += unescapeChunk(e.text);
            else if (e.kind == Entry::Kind::Sent)
                sent << e.text;
            if (e.text == QLatin1String("PR 1+2\\r"))
                command = receivedBytes.size();
        }
        QCOMPARE(sent, (QStringList{"***\\r", "***\\r", "CMD$ 0\\r", "PR 1+2\\r", "CMD$ 0\\r"}));
        // The simulator reads on its own thread: the last command may still be on its way.
        const auto simGot = [&f] {
            QByteArray got = f.sim->received();
            return got.replace("KDW4721\r", "***\r").replace("QVRNT\r", "***\r");
        };
        QTRY_COMPARE(simGot(), unescapeChunk(sent.join(QString())));
        QVERIFY(!bytesOf(path).contains("KDW4721") && !bytesOf(path).contains("QVRNT"));
        QVERIFY(receivedBytes.indexOf("Login    :") < receivedBytes.indexOf("Password :"));
        QVERIFY(command >= 0 && receivedBytes.indexOf("\r\n 3\r\n#", command) >= command);
        // In order, on the local wall clock (a run across midnight proves nothing).
        QVERIFY(std::is_sorted(entries.cbegin(), entries.cend(),
                               [](const Entry &a, const Entry &b) { return a.time < b.time; }));
        if (before <= after)
            QVERIFY(entries.first().time >= before.addMSecs(-1) && entries.last().time <= after.addMSecs(1));
    }

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
            if (!QFile::exists(QStringLiteral("/dev/full")))
                QSKIP("no /dev/full here");
            const QString dir = f.tempDir.filePath(QStringLiteral("sessions"));
            QVERIFY(QDir().mkpath(dir));
            const QString name =
                sessionFileName(f.clock.value, QStringLiteral("127.0.0.1:%1").arg(f.sim->port()));
            QVERIFY(QFile::link(QStringLiteral("/dev/full"), QDir(dir).filePath(name)));
        } else {
            // A file where the folder should be: no folder under it, even for root.
            QVERIFY(put(f.tempDir.filePath(QStringLiteral("blocker")), QByteArray()));
            journalOf(f)->setDirectory(f.tempDir.filePath(QStringLiteral("blocker/sessions")));
        }
        QSignalSpy messages(f.window->statusBar(), &QStatusBar::messageChanged);
        QVERIFY(f.connectToSim());
        f.selectTab(QStringLiteral("1"));
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= 5 && messages.size() >= 1; }));
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= 10; }));
        QVERIFY(wire::isUp(f.link().state()));
        f.selectTab(QStringLiteral("0"));
        f.disconnect();
        QVERIFY(f.connectToSim());
        f.disconnect();
        QCOMPARE(messages.size(), 1);
        QVERIFY(f.window->statusBar()->currentMessage().startsWith(
            QStringLiteral("Session recording turned off")));
        QVERIFY(!control<QAction>(f.window.get(), QStringLiteral("menuRecordSessions"))->isChecked());
        QVERIFY(f.dialogs.entries.isEmpty());
    }

    // At start-up the age and size rules clear old transcripts, and only them; recording off stays off.
    void atStartUp()
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

        QAction *record = control<QAction>(f.window.get(), QStringLiteral("menuRecordSessions"));
        QVERIFY(record && record->isCheckable() && record->isChecked());
        QVERIFY(f.window->viewMenu()->actions().contains(record));
        record->setChecked(false);
        QVERIFY(f.connectToSim());
        f.disconnect();
        QVERIFY(sessionFiles(f).isEmpty());
        // The choice is kept with the window's settings, not with another store.
        MonitorFixture next(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QVERIFY(!control<QAction>(next.window.get(), QStringLiteral("menuRecordSessions"))->isChecked());
        MonitorFixture other(MonitorFixture::makeOptions(), false);
        QVERIFY(control<QAction>(other.window.get(), QStringLiteral("menuRecordSessions"))->isChecked());
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

        f.selectTab(QStringLiteral("5"));
        control<QComboBox>(w, "popupbuttonPgSelect")->setCurrentText(QStringLiteral("3"));
        control<QComboBox>(w, "popupbuttonPgPulse")->setCurrentText(QStringLiteral("100"));
        control<QPushButton>(w, "buttonPgJog2")->click();
        QVERIFY(f.waitForCommand(QStringLiteral("RMVS X_A 100")));
        control<QLineEdit>(w, "textfieldPgTeachNum")->setText(QStringLiteral("5"));
        f.dialogs.setNextAnswer(true);
        control<QPushButton>(w, "buttonPgJog12")->click();
        QVERIFY(f.waitForCommand(QStringLiteral("SETP 5 P(0)")));

        f.selectTab(QStringLiteral("2"));
        submit(control<QLineEdit>(w, "textfieldVariModName"), QStringLiteral("A"));
        submit(control<QLineEdit>(w, "textfieldVariModValue"), QStringLiteral("5"));
        QVERIFY(f.waitForCommand(QStringLiteral("A=5")));
        // The controller refuses this one; the line says what it answered.
        submit(control<QLineEdit>(w, "textfieldVariModValue"), QStringLiteral("5)"));
        QVERIFY(f.waitForCommand(QStringLiteral("A=5)")));

        f.selectTab(QStringLiteral("3"));
        control<QRadioButton>(w, "radiobuttonMbkSizeWrd")->click();
        submit(control<QLineEdit>(w, "textfieldMbkModAdr"), QStringLiteral("100"));
        submit(control<QLineEdit>(w, "textfieldMbkModData"), QStringLiteral("&H7F"));
        QVERIFY(f.waitForCommand(QStringLiteral("MBK(100~Wrd)=&H7F")));

        f.selectTab(QStringLiteral("0"));
        const QString program = f.tempDir.filePath(QStringLiteral("robot.f2k"));
        QVERIFY(put(program, "10 A=1\r\n20 ?bad\r\n30 B=2\r\n40 )x\r\n"));
        f.dialogs.setNextFileName(program);
        control<QPushButton>(w, "buttonFileOpen")->click();
        QVERIFY(f.waitForCommand(QStringLiteral("MMC_LOAD MMC_LOAD$")));
        control<QPushButton>(w, "buttonRtcAdj")->click();
        const auto lines = [journal] {
            QStringList out;
            for (const OperatorEntry &e : journal->today())
                out << e.page + QStringLiteral(" | ") + e.what;
            return out;
        };
        QTRY_COMPARE(lines(),
                     (QStringList{
                         "I/O | Output 3 ON",
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
        QCOMPARE(shown.size(), 8);
        control<QLineEdit>(w, "textFieldJournalFilter")->setText(QStringLiteral("jog"));
        QCOMPARE(exported(f),
                 QStringLiteral("Time,Controller,Page,Action\r\n"
                                "2026-12-05 09:05:03.000,127.0.0.1:%1,Axis,Jog X+ 100 pulses\r\n")
                     .arg(f.sim->port())
                     .toUtf8());
        control<QLineEdit>(w, "textFieldJournalFilter")->clear();
        const QString session = journalOf(f)->currentFile();
        f.disconnect();
        QVERIFY(reopened(f, session));
        QCOMPARE(rows(list), shown);
    }

    // Each line names its controller (the address book's name, else the address) in dock, CSV and file.
    void linesNameTheirController_data()
    {
        QTest::addColumn<QString>("typed"); // into the address field; empty: no connection
        QTest::addColumn<QString>("controller");
        QTest::addColumn<QString>("csvField");
        row("no connection", "", "", "");
        // By address: operatorLines.
        const char *odd = "Press 4, part 2 (left)";
        row("by a name with a comma and brackets", odd, odd, "\"Press 4, part 2 (left)\"");
    }

    void linesNameTheirController()
    {
        QFETCH(QString, typed);
        QFETCH(QString, controller);
        QFETCH(QString, csvField);
        MonitorFixture run;
        const QString port = QString::number(run.sim->port());
        // A later run on `run`'s settings, whose address book names its simulator twice.
        app::AddressBook book;
        for (const char *name : {"press-4", "Press 4, part 2 (left)"})
            book.controllers << app::NamedController{QString::fromUtf8(name), "127.0.0.1:" + port, {}, false};
        book.save(*run.settings);
        run.settings->sync();
        MonitorFixture f(MonitorFixture::makeOptions(), false, run.settings->fileName());
        QWidget *w = f.window.get();

        // Each as "page,action".
        QStringList lines;
        if (!typed.isEmpty()) {
            f.addressField()->setText(typed);
            control<QPushButton>(w, "buttonConnect")->click();
            QVERIFY(f.waitFor([&] {
                return wire::isUp(f.link().state()) && f.consoleText().endsWith(u'#') && !f.link().busy();
            }));
            QVERIFY(switchOn(f, run, 3));
            lines << QStringLiteral("I/O,Output 3 ON");
            f.selectTab(QStringLiteral("0"));
        }
        control<QPushButton>(w, "buttonWatchOnly")->click();
        lines << QStringLiteral("Console,Watch-only lock on");

        QStringList expected;
        QByteArray csv = "Time,Controller,Page,Action\r\n";
        for (const QString &line : lines) {
            expected << controller + QStringLiteral(" | ") + line.split(u',').join(QStringLiteral(" | "));
            csv += QStringLiteral("2026-12-05 09:05:03.000,%1,%2\r\n").arg(csvField, line).toUtf8();
        }
        control<QAction>(w, "menuOperatorJournal")->trigger();
        auto *list = control<QTreeWidget>(w, "listOperatorJournal");
        QTRY_COMPARE(rows(list), expected);
        QCOMPARE(exported(f), csv);
        if (typed.isEmpty())
            return;
        const QString session = journalOf(f)->currentFile();
        f.disconnect();
        QVERIFY(reopened(f, session));
        QCOMPARE(rows(list), expected);
    }

    // A FIFO refused before it is opened (it would hold the window); a file read apart, up to the cap.
    void reopeningIsBounded()
    {
        MonitorFixture f;
        QWidget *w = f.window.get();
        auto *dock = w->findChild<OperatorDock *>();
        control<QAction>(w, "menuOperatorJournal")->trigger();
        auto *list = control<QTreeWidget>(w, "listOperatorJournal");
        auto *source = control<QLabel>(w, "labelJournalSource");
        QSignalSpy shown(dock, &OperatorDock::fileShown);

#ifdef Q_OS_UNIX
        const QString fifo = f.tempDir.filePath(QStringLiteral("2026-12-05_08-00-00_127.0.0.1_23.txt"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        // A writer that comes and goes: were the FIFO opened, the test fails rather than hangs.
        std::thread writer([&fifo] {
            QFile file(fifo);
            if (file.open(QIODevice::WriteOnly))
                file.close();
        });
        f.dialogs.setNextFileName(fifo);
        control<QPushButton>(w, "buttonJournalOpen")->click();
        QFile reader;
        QVERIFY(reader.open(::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK),
                            QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        writer.join();
        reader.close();
        QCOMPARE(f.dialogs.alertTexts(), QStringList{QStringLiteral("Read Error\n\n\"%1\"").arg(fifo)});
        QCOMPARE(f.dialogs.entries.last().informative, QStringLiteral("Only a session file can be opened."));
        QCOMPARE(source->text(), QStringLiteral("Today"));
        QCOMPARE(shown.size(), 0);
#endif

        const QString path = f.tempDir.filePath(QStringLiteral("2026-12-05_09-00-00_127.0.0.1_23.txt"));
        QByteArray text = "# QuorinMonitor session with 127.0.0.1:23, 2026-12-05 09:00:00\n";
        for (int i = 0; i < 150; ++i) {
            const QByteArray time =
                QTime(9, 0).addSecs(i).toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
            text += time + " < \\r\\n#\n" + time + " ! I/O | Output " + QByteArray::number(i) + " ON\n";
        }
        QVERIFY(put(path, text));
        dock->setEntryCap(100);
        f.dialogs.setNextFileName(path);
        control<QPushButton>(w, "buttonJournalOpen")->click();
        // The window is back before the file is read.
        QCOMPARE(shown.size(), 0);
        QCOMPARE(source->text(), QStringLiteral("Reading 2026-12-05_09-00-00_127.0.0.1_23.txt\u2026"));
        QTRY_COMPARE(shown.size(), 1);
        QCOMPARE(list->topLevelItemCount(), 100);
        // The header names the controller by its address.
        const QTreeWidgetItem *lastShown = list->topLevelItem(99);
        QCOMPARE(QStringList({lastShown->text(0), lastShown->text(1), lastShown->text(3)}),
                 QStringList({"2026-12-05 09:01:39", "127.0.0.1:23", "Output 99 ON"}));
        QCOMPARE(source->text(),
                 QStringLiteral("2026-12-05_09-00-00_127.0.0.1_23.txt: only its first 100 operator lines"));
    }
};

QTEST_MAIN(TestJournal)
#include "test_journal.moc"

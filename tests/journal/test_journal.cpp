// The session journal against the in-process simulator: the transcript of a
// short session, recording switched off, a disk that refuses, the tidying of
// old files at start-up, and the operator journal's lines and the controller
// each names.
#include "app/addressbook.h"
#include "journal/sessionjournal.h"
#include "journal/transcript.h"
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QList<Entry> entries;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (const auto e = parseLine(line))
            entries << *e;
    }
    return entries;
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void transcriptOfAShortSession();
    void recordingSwitchedOff();
    void folderThatCannotBeMade();
    void fullDiskMidSession();
    void oldFilesGoAtStartUp();
    void operatorLines();
    void linesNameTheirController_data();
    void linesNameTheirController();
    void filterFindsAController();
    void reopeningIsBounded();
};

void TestJournal::transcriptOfAShortSession()
{
    MonitorFixture f;
    const QTime before = QTime::currentTime();
    QVERIFY(f.connectToSim());
    QVERIFY(f.exchange(QStringLiteral("PR 1+2")));
    f.disconnect();
    const QTime after = QTime::currentTime();
    const QStringList files = sessionFiles(f);
    QCOMPARE(files,
             QStringList{sessionFileName(f.clock.value, QStringLiteral("127.0.0.1:%1").arg(f.sim->port()))});
    const QString path = QDir(journalOf(f)->directory()).filePath(files.first());
    const QList<Entry> entries = readEntries(path);

    // What went out, chunk by chunk, is what the simulator received, with the
    // login answers as ***.
    QStringList sent;
    QByteArray sentBytes;
    QByteArray receivedBytes;
    for (const Entry &e : entries) {
        if (e.kind == Entry::Kind::Sent) {
            sent << e.text;
            sentBytes += unescapeChunk(e.text);
        } else if (e.kind == Entry::Kind::Received) {
            receivedBytes += unescapeChunk(e.text);
        }
    }
    QCOMPARE(sent, (QStringList{"***\\r", "***\\r", "CMD$ 0\\r", "PR 1+2\\r", "CMD$ 0\\r"}));
    // The simulator reads on a thread of its own: the last command may still
    // be on its way to it when the monitor has closed the connection.
    const auto simGot = [&f] {
        QByteArray got = f.sim->received();
        return got.replace("KDW4721\r", "***\r").replace("QVRNT\r", "***\r");
    };
    QTRY_COMPARE(simGot(), sentBytes);
    QFile raw(path);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    const QByteArray all = raw.readAll();
    QVERIFY(!all.contains("KDW4721") && !all.contains("QVRNT"));

    // What came in: the login prompts, then the answer after its command.
    QVERIFY(receivedBytes.indexOf("Login    :") < receivedBytes.indexOf("Password :"));
    QVERIFY(receivedBytes.contains("\r\n 3\r\n#"));
    int command = -1;
    int answer = -1;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == Entry::Kind::Sent && entries[i].text == QLatin1String("PR 1+2\\r"))
            command = i;
        if (answer < 0 && command >= 0 && entries[i].kind == Entry::Kind::Received &&
            entries[i].text.contains(QLatin1String(" 3")))
            answer = i;
    }
    QVERIFY(command >= 0 && answer > command);
    // Time stamps to the millisecond, in order.
    for (int i = 1; i < entries.size(); ++i)
        QVERIFY(entries[i - 1].time <= entries[i].time);
    // On the local wall clock (a run across midnight proves nothing).
    if (before <= after) {
        QVERIFY2(entries.first().time >= before.addMSecs(-1), qPrintable(entries.first().time.toString()));
        QVERIFY2(entries.last().time <= after.addMSecs(1), qPrintable(entries.last().time.toString()));
    }
}

void TestJournal::recordingSwitchedOff()
{
    MonitorFixture f;
    QAction *record = control<QAction>(f.window.get(), QStringLiteral("menuRecordSessions"));
    QVERIFY(record && record->isCheckable());
    QVERIFY(f.window->viewMenu()->actions().contains(record));
    QVERIFY(record->isChecked());
    record->setChecked(false);
    QVERIFY(f.connectToSim());
    f.disconnect();
    QVERIFY(sessionFiles(f).isEmpty());
    // The choice is kept for the next start.
    MonitorFixture next;
    QVERIFY(!control<QAction>(next.window.get(), QStringLiteral("menuRecordSessions"))->isChecked());
    control<QAction>(next.window.get(), QStringLiteral("menuRecordSessions"))->setChecked(true);
}

void TestJournal::folderThatCannotBeMade()
{
    MonitorFixture f;
    // A file where the folder should be: no folder can be made under it, even
    // for root.
    QFile blocker(f.tempDir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    journalOf(f)->setDirectory(f.tempDir.filePath(QStringLiteral("blocker/sessions")));
    QSignalSpy messages(f.window->statusBar(), &QStatusBar::messageChanged);
    QVERIFY(f.connectToSim());
    QVERIFY(f.exchange(QStringLiteral("PR 1")));
    f.disconnect();
    QVERIFY(f.connectToSim());
    f.disconnect();
    QCOMPARE(messages.size(), 1);
    QVERIFY(
        f.window->statusBar()->currentMessage().startsWith(QStringLiteral("Session recording turned off")));
    QVERIFY(!control<QAction>(f.window.get(), QStringLiteral("menuRecordSessions"))->isChecked());
    QVERIFY(f.dialogs.entries.isEmpty());
}

void TestJournal::fullDiskMidSession()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    MonitorFixture f;
    const QString dir = f.tempDir.filePath(QStringLiteral("sessions"));
    QVERIFY(QDir().mkpath(dir));
    // The session's file is a full disk.
    const QString name = sessionFileName(f.clock.value, QStringLiteral("127.0.0.1:%1").arg(f.sim->port()));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), QDir(dir).filePath(name)));
    QSignalSpy messages(f.window->statusBar(), &QStatusBar::messageChanged);
    QVERIFY(f.connectToSim());
    f.selectTab(QStringLiteral("1"));
    QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= 5; }));
    QVERIFY(f.waitFor([&] { return messages.size() >= 1; }));
    QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= 10; }));
    QCOMPARE(messages.size(), 1);
    QVERIFY(wire::isUp(f.link().state()));
    QVERIFY(f.dialogs.entries.isEmpty());
}

void TestJournal::oldFilesGoAtStartUp()
{
    QStandardPaths::setTestModeEnabled(true);
    const QString dir = SessionJournal::defaultDirectory();
    QDir(dir).removeRecursively();
    QVERIFY(QDir().mkpath(dir));
    const QDateTime now = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3));
    const qint64 mb = 1024 * 1024;
    const struct
    {
        const char *name;
        int daysAgo;
        qint64 size;
    } made[] = {{"2026-10-26_09-00-00_10.0.0.5_23.txt", 40, 10},
                {"2026-11-30_09-00-00_10.0.0.5_23.txt", 5, 150 * mb},
                {"2026-12-01_09-00-00_10.0.0.5_23.txt", 4, 100 * mb},
                {"2026-12-05_09-00-00_10.0.0.5_23.txt", 0, 10},
                {"notes.txt", 90, 10}};
    for (const auto &m : made) {
        QFile file(QDir(dir).filePath(QString::fromLatin1(m.name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(m.size)); // sparse: no real disk space
        QVERIFY(file.setFileTime(now.addDays(-m.daysAgo), QFileDevice::FileModificationTime));
    }
    MonitorFixture f; // the fake clock says `now`
    QStringList left = QDir(dir).entryList(QDir::Files);
    left.sort();
    // Only transcripts go: the notes stay, however old.
    QCOMPARE(left, (QStringList{"2026-12-01_09-00-00_10.0.0.5_23.txt", "2026-12-05_09-00-00_10.0.0.5_23.txt",
                                "notes.txt"}));
    QDir(dir).removeRecursively();
}

namespace {

void submit(QLineEdit *field, const QString &text)
{
    field->setText(text);
    emit field->returnPressed();
}

void choose(QComboBox *box, const QString &title)
{
    box->setCurrentIndex(box->findText(title));
}

// A window whose address book names the simulator of `run` as each of
// `names`: a later run of the program on `run`'s settings, as the window
// reads the address book when it is made.
std::unique_ptr<MonitorFixture> laterRunWithNames(MonitorFixture &run, const QStringList &names)
{
    app::AddressBook book;
    for (const QString &name : names)
        book.controllers << app::NamedController{
            name, QStringLiteral("127.0.0.1:%1").arg(run.sim->port()), {}, false};
    book.save(*run.settings);
    run.settings->sync();
    return std::make_unique<MonitorFixture>(MonitorFixture::makeOptions(), false, run.settings->fileName());
}

// Types `typed` into the address field and clicks Connect; true once logged
// in.
bool connectTo(MonitorFixture &f, const QString &typed)
{
    f.addressField()->setText(typed);
    control<QPushButton>(f.window.get(), "buttonConnect")->click();
    return f.waitFor([&] {
        return wire::isUp(f.link().state()) && f.consoleText().endsWith(QLatin1Char('#')) && !f.link().busy();
    });
}

// Switches output `n` on from the I/O page, as a click does; true once the
// simulator of `run` has the command.
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
    QFile out(csv);
    return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
}

} // namespace

// What the operator did, in words, with the page it was done on; nothing of
// the polling in between.
void TestJournal::operatorLines()
{
    MonitorFixture f;
    QWidget *w = f.window.get();
    auto *journal = w->findChild<OperatorJournal *>();
    QVERIFY(journal);
    QVERIFY(f.connectToSim());

    f.selectTab(QStringLiteral("1"));
    QVERIFY(f.waitFor([&] { return control<QLabel>(w, "labelOut3BitNo")->text() == QLatin1String("3"); }));
    control<QPushButton>(w, "buttonOutOnOff3")->click();
    QVERIFY(f.waitForCommand(QStringLiteral("ON 3")));

    f.selectTab(QStringLiteral("5"));
    choose(control<QComboBox>(w, "popupbuttonPgSelect"), QStringLiteral("3"));
    choose(control<QComboBox>(w, "popupbuttonPgPulse"), QStringLiteral("100"));
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
    {
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("10 A=1\r\n20 ?bad\r\n30 B=2\r\n40 )x\r\n");
    }
    f.dialogs.setNextFileName(program);
    control<QPushButton>(w, "buttonFileOpen")->click();
    QVERIFY(f.waitForCommand(QStringLiteral("MMC_LOAD MMC_LOAD$")));
    control<QPushButton>(w, "buttonRtcAdj")->click();
    QStringList lines;
    const auto read = [&] {
        lines.clear();
        for (const OperatorEntry &e : journal->today())
            lines << e.page + QStringLiteral(" | ") + e.what;
        return lines.last().startsWith(QStringLiteral("Console | Clock"));
    };
    QVERIFY2(f.waitFor(read), qPrintable(lines.join(u'\n')));
    const QStringList expected = {
        "I/O | Output 3 ON",
        "Axis | Jog X+ 100 pulses",
        "Axis | Point 5 taught (confirmed)",
        "Variables | A=5",
        "Variables | A=5) \u2014 controller: \u69cb\u6587\u30a8\u30e9\u30fc (Syntax Error)",
        "MBK | MBK(100~Wrd)=&H7F",
        "Console | Program loaded from robot.f2k, 32 bytes, 2 lines refused",
        "Console | Clock set to 2026-12-05 09:05:03",
    };
    for (int i = 0; i < qMax(lines.size(), expected.size()); ++i)
        QCOMPARE(lines.value(i), expected.value(i));
    QCOMPARE(journal->today().first().time, f.clock.value);

    // The dock lists them, filters them and writes them out as CSV.
    auto *dock = w->findChild<OperatorDock *>();
    QVERIFY(dock);
    QAction *show = control<QAction>(w, "menuOperatorJournal");
    QVERIFY(f.window->viewMenu()->actions().contains(show));
    show->trigger();
    QVERIFY(dock->isVisible());
    auto *list = control<QTreeWidget>(w, "listOperatorJournal");
    QCOMPARE(list->topLevelItemCount(), 8);
    control<QLineEdit>(w, "textFieldJournalFilter")->setText(QStringLiteral("jog"));
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("Jog X+ 100 pulses"));
    QCOMPARE(exported(f), QStringLiteral("Time,Controller,Page,Action\r\n"
                                         "2026-12-05 09:05:03.000,127.0.0.1:%1,Axis,Jog X+ 100 pulses\r\n")
                              .arg(f.sim->port())
                              .toUtf8());
    control<QLineEdit>(w, "textFieldJournalFilter")->clear();

    // The session file holds them too, and opens again in the dock.
    const QString session = journalOf(f)->currentFile();
    f.disconnect();
    QSignalSpy shown(dock, &OperatorDock::fileShown);
    QVERIFY(dock->showFile(session));
    QTRY_COMPARE(shown.size(), 1);
    QCOMPARE(list->topLevelItemCount(), 8);
    QCOMPARE(list->topLevelItem(7)->text(3), QStringLiteral("Clock set to 2026-12-05 09:05:03"));
}

// Each line names the controller it concerns: the address book's name when
// the window connected by one, the address otherwise, none when there was no
// connection. The dock shows it, the CSV carries it, and the lines read back
// from the session file name it as they did when they were made.
void TestJournal::linesNameTheirController_data()
{
    QTest::addColumn<QString>("typed"); // into the address field; empty: no connection
    QTest::addColumn<QString>("controller");
    QTest::addColumn<QString>("csvField");
    // "<port>" stands for the simulator's port.
    QTest::newRow("no connection") << ""
                                   << ""
                                   << "";
    QTest::newRow("by address") << "127.0.0.1:<port>"
                                << "127.0.0.1:<port>"
                                << "127.0.0.1:<port>";
    QTest::newRow("by name") << "press-4"
                             << "press-4"
                             << "press-4";
    QTest::newRow("by a name with a comma and brackets") << "Press 4, part 2 (left)"
                                                         << "Press 4, part 2 (left)"
                                                         << "\"Press 4, part 2 (left)\"";
}

void TestJournal::linesNameTheirController()
{
    QFETCH(QString, typed);
    QFETCH(QString, controller);
    QFETCH(QString, csvField);
    MonitorFixture run;
    const QString port = QString::number(run.sim->port());
    for (QString *s : {&typed, &controller, &csvField})
        s->replace(QStringLiteral("<port>"), port);
    const std::unique_ptr<MonitorFixture> later =
        laterRunWithNames(run, {QStringLiteral("press-4"), QStringLiteral("Press 4, part 2 (left)")});
    MonitorFixture &f = *later;
    QWidget *w = f.window.get();

    // Each as "page,action".
    QStringList lines;
    if (!typed.isEmpty()) {
        QVERIFY(connectTo(f, typed));
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
    QVERIFY(list);
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("Controller"));
    QTRY_COMPARE(rows(list), expected);
    QCOMPARE(exported(f), csv);
    if (typed.isEmpty())
        return;

    const QString session = journalOf(f)->currentFile();
    f.disconnect();
    auto *dock = w->findChild<OperatorDock *>();
    QSignalSpy shown(dock, &OperatorDock::fileShown);
    QVERIFY(dock->showFile(session));
    QTRY_COMPARE(shown.size(), 1);
    QCOMPARE(rows(list), expected);
}

// The filter finds a controller's lines by its name or by its address, and
// no other controller's.
void TestJournal::filterFindsAController()
{
    MonitorFixture run;
    const QString address = QStringLiteral("127.0.0.1:%1").arg(run.sim->port());
    const std::unique_ptr<MonitorFixture> later = laterRunWithNames(run, {QStringLiteral("press-4")});
    MonitorFixture &f = *later;
    QWidget *w = f.window.get();
    QVERIFY(connectTo(f, QStringLiteral("press-4")));
    QVERIFY(switchOn(f, run, 3));
    f.disconnect();
    QVERIFY(connectTo(f, address));
    QVERIFY(switchOn(f, run, 5));

    control<QAction>(w, "menuOperatorJournal")->trigger();
    auto *list = control<QTreeWidget>(w, "listOperatorJournal");
    QVERIFY(list);
    QTRY_COMPARE(list->topLevelItemCount(), 2);
    auto *filter = control<QLineEdit>(w, "textFieldJournalFilter");
    filter->setText(QStringLiteral("PRESS-4"));
    QCOMPARE(rows(list), QStringList{QStringLiteral("press-4 | I/O | Output 3 ON")});
    filter->setText(address);
    QCOMPARE(rows(list), QStringList{address + QStringLiteral(" | I/O | Output 5 ON")});
}

// Opening an earlier file: what is not a regular file is refused before it is
// opened (a FIFO would hold the window until someone wrote to it); a file is
// read away from the window, and only up to the cap, which the dock says.
void TestJournal::reopeningIsBounded()
{
    MonitorFixture f;
    QWidget *w = f.window.get();
    auto *dock = w->findChild<OperatorDock *>();
    QVERIFY(dock);
    control<QAction>(w, "menuOperatorJournal")->trigger();
    auto *list = control<QTreeWidget>(w, "listOperatorJournal");
    auto *source = control<QLabel>(w, "labelJournalSource");
    QSignalSpy shown(dock, &OperatorDock::fileShown);

#ifdef Q_OS_UNIX
    const QString fifo = f.tempDir.filePath(QStringLiteral("2026-12-05_08-00-00_127.0.0.1_23.txt"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    // A writer that comes and goes: were the FIFO opened for reading, the
    // read would end and this test fail rather than hang.
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
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# QuorinMonitor session with 127.0.0.1:23, 2026-12-05 09:00:00\n");
        for (int i = 0; i < 150; ++i) {
            const QByteArray time =
                QTime(9, 0).addSecs(i).toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1();
            file.write(time + " < \\r\\n#\n" + time + " ! I/O | Output " + QByteArray::number(i) + " ON\n");
        }
    }
    dock->setEntryCap(100);
    f.dialogs.setNextFileName(path);
    control<QPushButton>(w, "buttonJournalOpen")->click();
    // The window is back before the file is read.
    QCOMPARE(shown.size(), 0);
    QCOMPARE(source->text(), QStringLiteral("Reading 2026-12-05_09-00-00_127.0.0.1_23.txt\u2026"));
    QTRY_COMPARE(shown.size(), 1);
    QCOMPARE(list->topLevelItemCount(), 100);
    QCOMPARE(list->topLevelItem(99)->text(0), QStringLiteral("2026-12-05 09:01:39"));
    QCOMPARE(list->topLevelItem(99)->text(3), QStringLiteral("Output 99 ON"));
    // The header names the controller by its address.
    QCOMPARE(list->topLevelItem(99)->text(1), QStringLiteral("127.0.0.1:23"));
    QCOMPARE(source->text(),
             QStringLiteral("2026-12-05_09-00-00_127.0.0.1_23.txt: only its first 100 operator lines"));
}

QTEST_MAIN(TestJournal)
#include "test_journal.moc"

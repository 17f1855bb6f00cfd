// Backup and restore: the folder, the manifest that guards a restore, the window's round trip, headless
// (what a listing may hold for a backup: test_fileformat).
#include "journal/operatorjournal.h"
#include "sim/machine.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/process.h"
#include "support/widgets.h"
#include "transfer/backupset.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using transfer::Kind;

namespace {

// What a controller that has been worked on holds: a line put in between, a jump to it by number.
void fill(sim::Machine &m)
{
    for (const char *line : {"10 A=1", "15 PRINT \"a/*b\" /* what a file would cut */", "100 GOTO 15",
                             "SETP 5 1 2 3 4", "SETP 9 -7 0 0 100", "MBK(100~Wrd)=7", "MBK(2000~Wrd)=65535"})
        m.handleLine(QString::fromLatin1(line));
}

// Changes to all three tables: some entries go, some change, some come.
void change(sim::Machine &m)
{
    for (const char *line : {"15 PRINT 2", "40 END", "SETP 5 0 0 0 0", "SETP 6 9 9 9 9", "MBK(100~Wrd)=8",
                             "MBK(2000~Wrd)=0", "MBK(3~Wrd)=3"})
        m.handleLine(QString::fromLatin1(line));
}

// The simulator's program, points and MBK words as it lists them.
std::array<QString, 3> tables(sim::Server &server)
{
    std::array<QString, 3> t;
    server.withMachine([&t](sim::Machine &m) {
        int i = 0;
        for (const char *command : {"LIST 0 0", "PLS -1", "S_MBK -1"})
            t[i++] = QString::fromLatin1(m.handleLine(QLatin1String(command)));
    });
    return t;
}

// Every entry of `dir`, hidden ones too.
QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Listings as the controller sends them: CR LF before every line, the prompt last.
QString listed(const QStringList &lines)
{
    return QStringLiteral("\r\n") + (lines + QStringList{"#"}).join(QStringLiteral("\r\n"));
}

std::array<QString, 3> someListings()
{
    return {listed({"10\tA=1", "20\tPRINT \"x\""}), listed({"SETP 1 1 2 3 4"}), listed({"MBK(5~Wrd)=6"})};
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    // A folder named after controller and second that reads back whole; a failed write leaves none.
    void backupFolderIsCompleteOrAbsent()
    {
        QTemporaryDir dir;
        const QDateTime at(QDate(2026, 12, 8), QTime(7, 5, 9));
        const transfer::WrittenBackup written =
            transfer::writeBackup(dir.path(), {"[::1]:2323", at, "1.0"}, someListings());
        QCOMPARE(written.error, QString());
        QCOMPARE(QFileInfo(written.folder).fileName(), QStringLiteral("1-2323_2026-12-08_07-05-09"));
        QCOMPARE(entries(dir.path()), QStringList{QFileInfo(written.folder).fileName()});
        const transfer::ReadBackup read = transfer::readBackup(written.folder);
        QVERIFY2(read.set, qPrintable(read.error));
        QCOMPARE(read.set->texts.at(size_t(Kind::Mbk)), QStringLiteral("MBK(5~Wrd)=6\n"));
        QCOMPARE(read.set->meta.controller, QStringLiteral("[::1]:2323"));
        QCOMPARE(read.set->meta.time, at);
        // A name in Japanese stays readable; what a file system refuses becomes "-".
        const QString named =
            transfer::writeBackup(dir.path(), {QStringLiteral("プレス４号機: 東/2"), at, "1.0"},
                                  someListings())
                .folder;
        QCOMPARE(QFileInfo(named).fileName(), QStringLiteral("プレス４号機-東-2_2026-12-08_07-05-09"));
        QVERIFY(QDir(named).removeRecursively());
        // A long name (three bytes a character) still makes a folder a file system takes, named after it.
        const QString longName = QString(100, QChar(0x6771));
        const transfer::WrittenBackup isLong =
            transfer::writeBackup(dir.path(), {longName, at, "1.0"}, someListings());
        QVERIFY2(isLong.error.isEmpty(), qPrintable(isLong.error));
        QVERIFY(QFileInfo(isLong.folder).fileName().startsWith(longName.left(20)));
        QVERIFY(QDir(isLong.folder).removeRecursively());

        // The same second again (Backup pressed twice): a second backup beside the first, both whole.
        const QString again =
            transfer::writeBackup(dir.path(), {"[::1]:2323", at, "1.0"}, someListings()).folder;
        QCOMPARE(QFileInfo(again).fileName(), QStringLiteral("1-2323_2026-12-08_07-05-09_2"));
        QVERIFY(transfer::readBackup(again).set && transfer::readBackup(written.folder).set);
        QVERIFY(QDir(again).removeRecursively());
        // A parent that is no folder, unencodable text: refused, nothing left.
        QVERIFY(!transfer::writeBackup(written.folder + "/points.p2k", {"x", at, "1.0"}, someListings())
                     .error.isEmpty());
        std::array<QString, 3> unsayable = someListings();
        unsayable[1] = listed({"SETP 1 1 2 3 4", "\t\u00e9"});
        const transfer::WrittenBackup failed =
            transfer::writeBackup(dir.path(), {"other", at, "1.0"}, unsayable);
        QVERIFY(failed.folder.isEmpty() && failed.error.contains("point"));
        QCOMPARE(entries(dir.path()), QStringList{QFileInfo(written.folder).fileName()});
    }

    // A restore reads only a complete, unchanged backup, and says which file is not (no manifest at all:
    // headless "bad backup").
    void manifestRefuses_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes"); // empty: the file is removed
        QTest::addColumn<QString>("says");

        const auto row = [](const char *name, const char *file, const QByteArray &bytes, const char *says) {
            QTest::newRow(name) << QString(file) << bytes << QString(says);
        };
        row("one byte changed", "points.p2k", "SETP 1 1 2 3 5\n", "\"points.p2k\"");
        row("same size, one byte", "program.f2k", "A=2\nPRINT \"x\"\n", "\"program.f2k\" has changed");
        row("file missing", "mbk.mbk", {}, "\"mbk.mbk\" is missing");
        row("manifest not JSON", "manifest.json", "{", "manifest");
        row("manifest leads out", "manifest.json",
            R"({"format":1,"files":[{"table":"program","name":"../program.f2k"}]})", "names no program file");
    }
    void manifestRefuses()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString folder =
            transfer::writeBackup(dir.path(), {"cell-4", QDateTime::currentDateTime(), "1.0"}, someListings())
                .folder;
        // A file of the same name beside the backup, which a manifest must not reach.
        put(dir.filePath("program.f2k"), "A=1\nPRINT \"x\"\n");
        if (bytes.isEmpty())
            QVERIFY(QFile::remove(folder + '/' + file));
        else
            QVERIFY(put(folder + '/' + file, bytes));
        const transfer::ReadBackup read = transfer::readBackup(folder);
        QVERIFY(!read.set);
        QVERIFY2(read.error.contains(says), qPrintable(read.error));
    }

    // The manifest keeps the program lines' numbers, which the program file has not; numbers that do not
    // number the file's lines refuse the backup, and a backup without them restores in order.
    void programLineNumbers()
    {
        QTemporaryDir dir;
        const QString folder =
            transfer::writeBackup(dir.path(), {"cell-4", QDateTime::currentDateTime(), "1.0"}, someListings())
                .folder;
        QCOMPARE(transfer::readBackup(folder).set->programNumbers, (QList<qint64>{10, 20}));
        const QString manifestPath = folder + "/manifest.json";
        const QJsonObject manifest = QJsonDocument::fromJson(bytesOf(manifestPath)).object();
        const auto withNumbers = [&](const char *numbers) {
            QJsonObject m = manifest;
            QJsonArray files = m["files"].toArray();
            for (qsizetype i = 0; i < files.size(); ++i) {
                QJsonObject file = files[i].toObject();
                if (file["table"] == "program") {
                    if (numbers)
                        file["lineNumbers"] = QJsonDocument::fromJson(numbers).array();
                    else
                        file.remove("lineNumbers");
                }
                files[i] = file;
            }
            m["files"] = files;
            QVERIFY(put(manifestPath, QJsonDocument(m).toJson()));
        };
        for (const char *numbers :
             {"[10]", "[10,20,30]", "[20,10]", "[10,10]", "[10,\"20\"]", "[10,20.5]", "[-1,20]"}) {
            withNumbers(numbers);
            const transfer::ReadBackup read = transfer::readBackup(folder);
            QVERIFY2(!read.set && read.error.contains("does not number the lines of \"program.f2k\""),
                     numbers);
        }
        withNumbers(nullptr);
        const transfer::ReadBackup read = transfer::readBackup(folder);
        QVERIFY(read.set && read.set->programNumbers.isEmpty());
        // Hashes in capitals (edited by hand, written by another tool) are the same hashes.
        QByteArray upper = bytesOf(manifestPath);
        for (const QJsonValue &file : manifest["files"].toArray())
            upper.replace(file["sha256"].toString().toLatin1(),
                          file["sha256"].toString().toUpper().toLatin1());
        QVERIFY(put(manifestPath, upper));
        QVERIFY2(transfer::readBackup(folder).set, qPrintable(transfer::readBackup(folder).error));
    }

    // Through the window: a backup, changes, a restore that undoes them, and a backup refused.
    void backupThenRestoreGivesTheTablesBack()
    {
        MonitorFixture f;
        f.sim->withMachine(fill);
        QVERIFY(f.connectToSim());
        const std::array<QString, 3> before = tables(*f.sim);
        const QString parent = f.tempDir.filePath("backups");
        QVERIFY(QDir().mkpath(parent));
        f.clearCommands();

        f.dialogs.setNextFileName(parent);
        control<QAction>(f.window.get(), "menuBackUp")->trigger();
        QVERIFY(f.waitFor([&] { return f.statusLine()->text().startsWith("Backed up to"); }));
        const QStringList made = entries(parent);
        QCOMPARE(made.size(), 1);
        const QString folder = parent + '/' + made.first();
        QCOMPARE(f.commands(), (QStringList{"ECHO", "LIST 0 0", "ECHO", "PLS -1", "ECHO", "S_MBK -1"}));
        QVERIFY(!f.sim->received().contains('\x01')); // a backup stops nothing
        QCOMPARE(f.dialogs.alertTexts(), QStringList());
        // One line in the operator journal for the whole backup, none per listing.
        const auto journal = [&f] {
            QStringList lines;
            for (const journal::OperatorEntry &e :
                 f.window->findChild<journal::OperatorJournal *>("operatorJournal")->today())
                lines << e.what;
            return lines;
        };
        QVERIFY(f.waitFor([&] { return !journal().isEmpty(); }));
        QCOMPARE(journal(), QStringList{"Controller backed up to " + made.first()});

        f.sim->withMachine(change);
        f.dialogs.setNextFileName(folder);
        control<QAction>(f.window.get(), "menuRestore")->trigger();
        QDialog *shown = nullptr;
        QVERIFY(
            f.waitFor([&] { return (shown = f.window->findChild<QDialog *>("restoreWindow")) != nullptr; }));
        for (const auto &[section, says] : {std::pair{"groupRestoreProgram", "1 statement added, 2 removed"},
                                            {"groupRestorePoints", "1 added, 1 removed, 0 changed"},
                                            {"groupRestoreMbk", "1 added, 1 removed, 1 changed"}}) {
            const QString said =
                control<QLabel>(control<QGroupBox>(shown, section), "labelCompareSummary")->text();
            QVERIFY2(said.contains(QLatin1String(says)), qPrintable(said));
        }

        // Cancel changes nothing and leaves Restore usable; Ok restores.
        auto *restore = control<QPushButton>(shown, "buttonRestore");
        f.clearCommands();
        f.dialogs.setNextAnswer(false);
        restore->click();
        f.settle();
        QCOMPARE(f.commands(), QStringList());
        QVERIFY(restore->isEnabled());
        f.dialogs.setNextAnswer(true);
        restore->click();
        QVERIFY(f.waitFor([&] { return f.statusLine()->text().startsWith("Restored from"); }, 10000));
        QCOMPARE(tables(*f.sim), before);
        QCOMPARE(f.dialogs.alertTexts(), QStringList());
        // And one per table restored.
        QVERIFY(f.waitFor([&] { return journal().size() == 4; }));
        QVERIFY2(journal().mid(1).join('|').contains(QRegularExpression(
                     "^Points.*points\\.p2k.*\\|MBK.*mbk\\.mbk.*\\|Program.*program\\.f2k")),
                 qPrintable(journal().join('|')));
        const QList<ScriptedDialogs::Entry> &asked = f.dialogs.entries;
        QCOMPARE(
            std::count_if(asked.cbegin(), asked.cend(), [](const auto &e) { return e.kind == "confirm"; }),
            2);
        // The points, the MBK words, then the program.
        const QStringList sent = f.commands();
        QVERIFY(sent.indexOf("NEWP") < sent.indexOf("NEWM") && sent.indexOf("NEWM") < sent.indexOf("NEW"));

        // A program printing during the listings: the backup fails naming a line, and no folder is added.
        f.sim->withMachine([](sim::Machine &m) {
            for (const char *line : {"NEW", "10 PRINT 4321", "20 WAIT 20", "30 GOTO 10"})
                m.handleLine(QString::fromLatin1(line));
        });
        QVERIFY(f.exchange("RUN"));
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 150; // replies wait a while; the program's lines do not
        f.sim->setOptions(slow);
        f.dialogs.clear();
        f.dialogs.setNextFileName(parent);
        control<QAction>(f.window.get(), "menuBackUp")->trigger();
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty(); }));
        QCOMPARE(f.dialogs.alertTexts(), QStringList{"Backup Failed"});
        const QString why = f.dialogs.entries.last().informative;
        QVERIFY2(why.contains("\" 4321\""), qPrintable(why));
        QCOMPARE(entries(parent), made);
        QVERIFY(wire::isUp(f.link().state()));
    }

    // Reading the tables at a breakpoint (a backup, a restore's comparison, a compare) leaves the program
    // standing there, and the monitor knows it: Run is refused as before.
    void readingAtABreakpointKeepsIt()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        QVERIFY(f.stopAtBreakpoint());
        const QString parent = f.tempDir.filePath("backups");
        QVERIFY(QDir().mkpath(parent));
        const auto runIsRefused = [&f] {
            const QString before = f.consoleText();
            control<QPushButton>(f.window.get(), "buttonRun")->click();
            f.settle();
            return f.consoleText().mid(before.size()).contains("Program is Pausing @ Breakpoint");
        };

        f.dialogs.setNextFileName(parent);
        control<QAction>(f.window.get(), "menuBackUp")->trigger();
        QVERIFY(f.waitFor([&] { return f.statusLine()->text().startsWith("Backed up to"); }));
        QVERIFY(runIsRefused());

        f.dialogs.setNextFileName(parent + '/' + entries(parent).first());
        control<QAction>(f.window.get(), "menuRestore")->trigger();
        QVERIFY(f.waitFor([&] { return f.window->findChild<QDialog *>("restoreWindow") != nullptr; }));
        QVERIFY(runIsRefused());

        const QString points = f.tempDir.filePath("points.p2k");
        QVERIFY(put(points, "SETP 1 1 2 3 4\n"));
        f.dialogs.setNextFileName(points);
        control<QPushButton>(f.window.get(), "buttonPointCompare")->click();
        QVERIFY(f.waitFor([&] { return f.window->findChildren<QDialog *>().size() == 2; }));
        QVERIFY(runIsRefused());
        QVERIFY(!f.sim->received().contains('\x01'));
        QVERIFY(!f.commands().contains("RUN"));
    }

    // Lines the controller refuses in a restore stay in the console, whichever table they came from.
    void restoreKeepsEveryRefusedLineInView()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        const transfer::WrittenBackup written =
            transfer::writeBackup(f.tempDir.path(), {"127.0.0.1:1", QDateTime::currentDateTime(), "1.0"},
                                  {listed({"10\tA=1"}), listed({"SETP 1 1 2 3 4", "SETP 2 1 2 3"}),
                                   listed({"MBK(5~Wrd)=6", "MBK(6~Wrd)="})});
        QCOMPARE(written.error, QString());
        f.dialogs.setNextFileName(written.folder);
        control<QAction>(f.window.get(), "menuRestore")->trigger();
        QDialog *shown = nullptr;
        QVERIFY(
            f.waitFor([&] { return (shown = f.window->findChild<QDialog *>("restoreWindow")) != nullptr; }));
        f.dialogs.setNextAnswer(true);
        control<QPushButton>(shown, "buttonRestore")->click();
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty(); }, 10000));
        QCOMPARE(f.dialogs.alertTexts(), QStringList{"Restore Finished: the controller refused lines"});
        QVERIFY2(f.consoleText().count(QStringLiteral("(2) ")) == 2, qPrintable(f.consoleText()));

        // Cut off half-way, the restore says that the controller holds only part of the backup.
        f.dialogs.clear();
        f.dialogs.setNextFileName(written.folder);
        control<QAction>(f.window.get(), "menuRestore")->trigger();
        QVERIFY(
            f.waitFor([&] { return (shown = f.window->findChild<QDialog *>("restoreWindow")) != nullptr; }));
        sim::Options cut = MonitorFixture::makeOptions();
        cut.dropAfter = 2; // in the points' load
        f.sim->setOptions(cut);
        f.dialogs.setNextAnswer(true);
        control<QPushButton>(shown, "buttonRestore")->click();
        QVERIFY(f.waitFor([&] { return f.dialogs.alertTexts().contains("Restore Failed"); }, 10000));
        QVERIFY(f.dialogs.entries.last().informative.contains("only part of the backup"));

        // A backup cut off in a listing leaves the one word of why in the status line.
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.connectToSim());
        cut.dropAfter = -1;
        cut.dropMid = 3; // in the points' listing
        f.sim->setOptions(cut);
        f.dialogs.setNextFileName(f.tempDir.path());
        control<QAction>(f.window.get(), "menuBackUp")->trigger();
        QVERIFY(f.waitFor([&] { return !wire::isUp(f.link().state()) && !f.link().busy(); }));
        f.settle();
        QCOMPARE(f.statusLine()->text(), QStringLiteral("The controller closed the connection."));
    }

    // A controller left in load mode (a load cut off by a dropped connection): reading it in place stores
    // nothing in its program, and the backup and the comparison go through.
    void readingAControllerLeftInLoadMode()
    {
        MonitorFixture f;
        f.sim->withMachine(fill);
        QVERIFY(f.connectToSim());
        const std::array<QString, 3> before = tables(*f.sim);
        f.sim->withMachine([](sim::Machine &m) { m.handleLine("ECHO 2"); });
        const QString parent = f.tempDir.filePath("backups");
        QVERIFY(QDir().mkpath(parent));
        f.dialogs.setNextFileName(parent);
        control<QAction>(f.window.get(), "menuBackUp")->trigger();
        QVERIFY(f.waitFor([&] { return f.statusLine()->text().startsWith("Backed up to"); }));
        f.dialogs.setNextFileName(parent + '/' + entries(parent).first());
        control<QAction>(f.window.get(), "menuRestore")->trigger();
        QDialog *shown = nullptr;
        QVERIFY(
            f.waitFor([&] { return (shown = f.window->findChild<QDialog *>("restoreWindow")) != nullptr; }));
        QCOMPARE(f.dialogs.alertTexts(), QStringList());
        for (const char *section : {"groupRestoreProgram", "groupRestorePoints", "groupRestoreMbk"}) {
            const QString said =
                control<QLabel>(control<QGroupBox>(shown, section), "labelCompareSummary")->text();
            QVERIFY2(said.contains("identical"), qPrintable(said));
        }
        f.sim->withMachine([](sim::Machine &m) { m.handleLine("ECHO"); });
        QCOMPARE(tables(*f.sim), before);
        // A file of the backup changes while the window shows it: Restore goes off and says why.
        QVERIFY(put(parent + '/' + entries(parent).first() + "/points.p2k", "SETP 1 9 9 9 9\n"));
        QVERIFY(f.waitFor([&] { return !control<QPushButton>(shown, "buttonRestore")->isEnabled(); }));
        QVERIFY(control<QLabel>(shown, "labelRestoreOff")->isVisible());
        // Changed while the controller's tables are still being read: the window opens with Restore off.
        shown->close();
        QVERIFY(f.waitFor([&] { return !f.window->findChild<QDialog *>("restoreWindow"); }));
        const QString fresh =
            transfer::writeBackup(f.tempDir.path(), {"sim", QDateTime::currentDateTime(), "1.0"},
                                  tables(*f.sim))
                .folder;
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 100;
        f.sim->setOptions(slow);
        f.clearCommands();
        f.dialogs.setNextFileName(fresh);
        control<QAction>(f.window.get(), "menuRestore")->trigger();
        QVERIFY(f.waitFor([&] { return !f.commands().isEmpty(); }));
        QVERIFY(put(fresh + "/points.p2k", "SETP 1 9 9 9 9\n"));
        QVERIFY(
            f.waitFor([&] { return (shown = f.window->findChild<QDialog *>("restoreWindow")) != nullptr; }));
        QVERIFY(f.waitFor([&] { return !control<QPushButton>(shown, "buttonRestore")->isEnabled(); }));
        QVERIFY(control<QLabel>(shown, "labelRestoreOff")->isVisible());
    }

    // The backup keeps each program line's number, so that a jump lands where it did: a controller whose
    // line stands at another number (its jump now lands on no line) does not hold what the backup holds.
    void compareSeesAMovedLine()
    {
        sim::Server server(MonitorFixture::makeOptions());
        QVERIFY(server.start());
        server.withMachine(fill); // 100 GOTO 15
        QTemporaryDir dir;
        const QString folder =
            transfer::writeBackup(dir.path(), {"sim", QDateTime::currentDateTime(), "1.0"}, tables(server))
                .folder;
        QVERIFY(!folder.isEmpty());
        server.withMachine([](sim::Machine &m) {
            const QString line15 = QString::fromLatin1(m.handleLine("LIST 15 1")).split("\r\n").value(1);
            m.handleLine("15");
            m.handleLine("16 " + line15.section('\t', 1));
        });
        QVERIFY(tables(server)[0].contains("16\tPRINT"));
        const ProcessRun r =
            runProcess(QStringLiteral(QUORIN_MONITOR_BINARY),
                       {"--connect", QStringLiteral("127.0.0.1:%1").arg(server.port()), "--compare", folder});
        QVERIFY2(r.status == 1, qPrintable(QString::number(r.status) + ' ' + r.out + r.err));
        QVERIFY2(!r.out.contains("program.f2k: identical"), qPrintable(r.out));
    }

    // Headless: results on standard output, one line on standard error for a failure, a status each.
    void headless_data()
    {
        // %A the simulator's address, %B a backup of its tables, %D an empty folder; "_" a blank.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // a pattern
        QTest::addColumn<QString>("err"); // a pattern

        const auto row = [](const char *name, const char *arguments, int status, const char *out,
                            const char *err = "^$") {
            QTest::newRow(name) << QString::fromLatin1(arguments).split(u' ') << status << QString(out)
                                << QString(err);
        };
        row("exec", "--connect %A --exec PR_1+1 --exec A=5 --exec PR_A", 0, "^ 2\\n 5\\n$");
        row("exec refused", "--connect %A --exec @@", 5, "Syntax Error",
            "^quorin-monitor: the controller refused \"@@\"\\.\\n$");
        // A command after a refused one may rely on it: it is not sent.
        row("exec refused, more to come", "--connect %A --exec @@ --exec PR_1+1", 5,
            "Syntax Error[^\\n]*\\n$",
            "^quorin-monitor: the controller refused \"@@\"; nothing after it was sent\\.\\n$");
        row("backup", "--connect %A --backup %D", 0, "^%D/127\\.0\\.0\\.1-\\d+_[-_\\d]+\\n$");
        // A line no restore could send back (it holds ESC) is refused before anything is written.
        row("backup, a line a restore cannot send", "--connect %A --backup %D %esc", 6, "^$",
            "^quorin-monitor: The controller's program holds a line with a control character, which a "
            "restore cannot send back: \"12 PRINT \"\\\\x1B\\[2J\"\"\\. Nothing was written\\.\\n$");
        row("compare same", "--connect %A --compare %B", 0,
            "program.f2k: identical\\npoints.p2k: identical\\nmbk.mbk: identical\\n");
        row("compare changed", "--connect %A --compare %B %change", 1,
            "points.p2k: 1 added, 1 removed, 0 changed\\n  \\+ SETP 5  backup 1 2 3 4\\n  - SETP 6  "
            "controller 9 9 9 9");
        row("restore", "--connect %A --restore %B --yes %change", 0,
            "^points.p2k: loaded, no line refused\\nmbk.mbk: .*\\nprogram.f2k: .*\\n$");
        // Which lines were refused, each under its file, as the window's console keeps them.
        row("restore refused", "--connect %A --restore %R --yes", 5,
            "^points.p2k: loaded, no line refused\\nmbk.mbk: loaded, 1 line refused\\nprogram.f2k: loaded, "
            "no line refused\\n$",
            "^quorin-monitor: the controller refused 1 line of the backup:\\n  mbk.mbk line 2 "
            "\"MBK\\(6~Wrd\\)=\": [^#\\n]*Syntax Error\\)\\n$");
        row("restore cut off", "--connect %A --restore %B --yes %change %cut", 4,
            "^points.p2k: loaded, no line refused\\nmbk.mbk: loaded, no line refused\\n$",
            "closed the connection");
        row("compare garbled", "--connect %A --compare %B %garbage", 6, "^$",
            "^quorin-monitor: The controller's [a-zA-Z ]+ listing holds a line that is not part of it: "
            "[^\\x00-\\x1f]+ Nothing was compared\\.\\n$");
        row("bad backup", "--connect %A --compare %D", 6, "^$",
            "^quorin-monitor: The backup has no readable manifest\\.json\\.\\n$");
        row("nobody there", "--connect 127.0.0.1:%closed --exec PR_1", 3, "^$",
            "^quorin-monitor: cannot connect to 127\\.0\\.0\\.1:\\d+\\.\\n$");
        row("hung up", "--connect %A --exec PR_1 --exec PR_2 %drop", 4, "",
            "^quorin-monitor: 127\\.0\\.0\\.1:\\d+ closed the connection\\.\\n$");
    }
    void headless()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);

        sim::Server server(MonitorFixture::makeOptions());
        QVERIFY(server.start());
        server.withMachine(fill);
        QTemporaryDir dir;
        const std::array<QString, 3> simTables = tables(server);
        const QString ofSim =
            transfer::writeBackup(dir.path(), {"sim", QDateTime::currentDateTime(), "1.0"}, simTables).folder;
        QVERIFY(!ofSim.isEmpty());
        const QString refusing =
            transfer::writeBackup(
                dir.path(), {"refusing", QDateTime::currentDateTime(), "1.0"},
                {listed({"10\tA=1"}), listed({"SETP 1 1 2 3 4"}), listed({"MBK(5~Wrd)=6", "MBK(6~Wrd)="})})
                .folder;
        QVERIFY(!refusing.isEmpty());
        const QString empty = dir.filePath("empty");
        QVERIFY(QDir().mkpath(empty));

        if (arguments.removeAll("%change"))
            server.withMachine(change);
        if (arguments.removeAll("%esc"))
            server.withMachine([](sim::Machine &m) { m.handleLine("12 PRINT \"\x1b[2J\""); });
        sim::Options faulty = MonitorFixture::makeOptions();
        if (arguments.removeAll("%drop"))
            faulty.dropAfter = 1;
        if (arguments.removeAll("%cut"))
            faulty.dropAfter = 15; // in the program's load, the points and the MBK words loaded
        faulty.garbage = arguments.removeAll("%garbage") > 0;
        server.setOptions(faulty);
        const quint16 closedPort = [] { // a port a server let go of
            sim::Server gone(MonitorFixture::makeOptions());
            return gone.start() ? gone.port() : quint16(0);
        }();
        for (QString &a : arguments)
            a.replace(u'_', u' ')
                .replace("%A", QStringLiteral("127.0.0.1:%1").arg(server.port()))
                .replace("%B", ofSim)
                .replace("%R", refusing)
                .replace("%D", empty)
                .replace("%closed", QString::number(closedPort));
        out.replace("%D", QRegularExpression::escape(empty));

        // The monitor run as a script runs it; the simulator answers from its own thread meanwhile.
        const ProcessRun r = runProcess(QStringLiteral(QUORIN_MONITOR_BINARY), arguments);
        QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + r.out + r.err));
        QVERIFY2(QRegularExpression(out).match(r.out).hasMatch(), qPrintable(r.out));
        QVERIFY2(QRegularExpression(err).match(r.err).hasMatch(), qPrintable(r.err));

        if (QTest::currentDataTag() == QLatin1String("backup")) {
            const QString made = r.out.trimmed();
            QVERIFY(transfer::readBackup(made).set);
            QCOMPARE(bytesOf(made + "/points.p2k"), QByteArray("SETP 5 1 2 3 4\nSETP 9 -7 0 0 100\n"));
        }
        if (QTest::currentDataTag() == QLatin1String("restore"))
            QCOMPARE(tables(server), simTables);
    }

    // --exec prints the whole reply: a script that lists a large program gets every line of it.
    void execPrintsALongListingWhole()
    {
        sim::Server server(MonitorFixture::makeOptions());
        QVERIFY(server.start());
        server.withMachine([](sim::Machine &m) {
            for (int n = 1; n <= 3000; ++n)
                m.handleLine(
                    QStringLiteral("%1 PRINT \"line %1 of a program long enough to list\"").arg(n * 10));
        });
        const ProcessRun r = runProcess(
            QStringLiteral(QUORIN_MONITOR_BINARY),
            {"--connect", QStringLiteral("127.0.0.1:%1").arg(server.port()), "--exec", "LIST 0 0"});
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3000);
        QCOMPARE(lines.first(), QStringLiteral("10\tPRINT \"line 10 of a program long enough to list\""));
        QCOMPARE(lines.last(),
                 QStringLiteral("30000\tPRINT \"line 30000 of a program long enough to list\""));
    }
};

QTEST_MAIN(TestBackup)
#include "test_backup.moc"

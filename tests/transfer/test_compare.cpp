// "Compare…" before a load, against the simulator: the differences a point,
// MBK or program file would make, what the window says, that comparing only
// reads (no attention byte, no write), and that "Load" is the ordinary load.
#include "support/fixture.h"
#include "support/widgets.h"
#include "transfer/compare.h"
#include "transfer/transfers.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace {

QString put(MonitorFixture &f, const QString &name, const QByteArray &bytes)
{
    const QString path = f.tempDir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

QDialog *compareWindow(MonitorFixture &f)
{
    return f.window->findChild<QDialog *>(QStringLiteral("compareWindow"));
}

// Chooses `path` in the dialog of the control `name` (a button or a menu
// entry) and waits for the comparison's window.
QDialog *compareWith(MonitorFixture &f, const QString &name, const QString &path)
{
    f.dialogs.setNextFileName(path);
    if (auto *button = control<QPushButton>(f.window.get(), name))
        button->click();
    else if (auto *action = control<QAction>(f.window.get(), name))
        action->trigger();
    else
        return nullptr;
    f.waitFor([&] { return compareWindow(f) != nullptr; }, 3000);
    return compareWindow(f);
}

// The rows of the window's table, columns joined by " | ".
QStringList rows(QDialog *w)
{
    QStringList out;
    const QAbstractItemModel *table = w->findChild<QTreeView *>(QStringLiteral("treeCompare"))->model();
    for (int i = 0; i < table->rowCount(); ++i) {
        QStringList cols;
        for (int c = 0; c < table->columnCount(); ++c)
            cols << table->index(i, c).data().toString();
        out << cols.join(QStringLiteral(" | "));
    }
    return out;
}

QString summary(QDialog *w)
{
    return w->findChild<QLabel *>(QStringLiteral("labelCompareSummary"))->text();
}

void closeWindow(MonitorFixture &f)
{
    if (QDialog *w = compareWindow(f)) {
        control<QPushButton>(w, QStringLiteral("buttonCompareClose"))->click();
        QTRY_VERIFY(!compareWindow(f));
    }
}

// The ways a comparison stops being the truth about what Load would do.
enum class Ending { Disconnect, TimeOut, ControllerCloses, FileChanged };

} // namespace

Q_DECLARE_METATYPE(Ending)

class TestCompare : public QObject
{
    Q_OBJECT

private slots:
    void pointsAddedRemovedAndChanged();
    void identicalMbkSaysSo();
    void programStatementChanged();
    void loadIsTheOrdinaryLoad();
    void unreadableFileAlertsAsTheLoad();
    void listingTimeOutAlertsAsTheSave();
    void loadBelongsToItsConnectionAndFile_data();
    void loadBelongsToItsConnectionAndFile();
    void tableRules();
    void programSpacing_data();
    void programSpacing();
};

void TestCompare::pointsAddedRemovedAndChanged()
{
    MonitorFixture f;
    QVERIFY(f.connectToSim());
    for (const char *line : {"SETP 1 100 0 0 0", "SETP 2 200 0 0 0", "SETP 3 300 0 0 0"})
        f.exchange(QLatin1String(line));
    // A running program keeps running through the comparison.
    f.exchange(QStringLiteral("10 *L"));
    f.exchange(QStringLiteral("20 GOTO *L"));
    f.exchange(QStringLiteral("RUN"));
    const QString path =
        put(f, QStringLiteral("cell.p2k"), "SETP 1 100 0 0 0\nSETP 2  250 0 0 0\nSETP 4 400 0 0 0\n");
    f.clearCommands();

    QDialog *w = compareWith(f, QStringLiteral("buttonPointCompare"), path);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Compare Points"));
    QCOMPARE(summary(w),
             QStringLiteral("\"cell.p2k\" against the controller: 1 added, 1 removed, 1 changed."));
    QCOMPARE(rows(w), QStringList({"SETP 2 | changed | 200 0 0 0 | 250 0 0 0",
                                   "SETP 3 | removed | 300 0 0 0 | ", "SETP 4 | added |  | 400 0 0 0"}));
    // Only the listing went out: no attention byte, nothing written.
    QCOMPARE(f.commands(), QStringList({"PLS -1"}));
    QVERIFY(!f.sim->received().contains('\x01'));
    const std::optional<QString> running = f.exchange(QStringLiteral("PR TASK(0|256)"));
    QVERIFY(running && running->contains(QLatin1String(" 1")));
    closeWindow(f);
}

void TestCompare::identicalMbkSaysSo()
{
    MonitorFixture f;
    QVERIFY(f.connectToSim());
    f.exchange(QStringLiteral("MBK(10~Wrd)=5"));
    f.exchange(QStringLiteral("MBK(20~Wrd)=7"));
    const QString path = put(f, QStringLiteral("words.mbk"), "MBK(10~Wrd)=5\r\nMBK(20~Wrd)=7\r\n");
    f.clearCommands();
    QDialog *w = compareWith(f, QStringLiteral("menuCompareMbk"), path);
    QVERIFY(w);
    QCOMPARE(summary(w),
             QStringLiteral("\"words.mbk\" and the controller hold the same MBK words: the contents "
                            "are identical."));
    QVERIFY(rows(w).isEmpty());
    QCOMPARE(f.commands(), QStringList({"S_MBK -1"}));
    closeWindow(f);
}

void TestCompare::programStatementChanged()
{
    MonitorFixture f;
    QVERIFY(f.connectToSim());
    for (const char *line : {"10 A=1", "20 B=2", "30 END"})
        f.exchange(QLatin1String(line));
    const QString path = put(f, QStringLiteral("main.f2k"), "A=1\nB=3 /* new speed */\nEND\n");
    f.clearCommands();
    QDialog *w = compareWith(f, QStringLiteral("menuCompareProgram"), path);
    QVERIFY(w);
    QCOMPARE(summary(w),
             QStringLiteral("\"main.f2k\" against the controller: 1 statements added, 1 removed."));
    QCOMPARE(rows(w), QStringList({" | A=1", "\u2212 | B=2", "+ | B=3", " | END"}));
    QCOMPARE(f.commands(), QStringList({"LIST 0 0"}));
    QVERIFY(!f.sim->received().contains('\x01'));
    closeWindow(f);
}

void TestCompare::loadIsTheOrdinaryLoad()
{
    MonitorFixture f;
    QVERIFY(f.connectToSim());
    f.exchange(QStringLiteral("SETP 3 300 0 0 0"));
    const QString path = put(f, QStringLiteral("cell.p2k"), "SETP 1 100 0 0 0\nSETP 2 250 0 0 0\n");

    QDialog *w = compareWith(f, QStringLiteral("buttonPointCompare"), path);
    QVERIFY(w);
    f.clearCommands();
    control<QPushButton>(w, QStringLiteral("buttonCompareLoad"))->click();
    QVERIFY(f.waitFor([&] { return f.consoleText().contains(QLatin1String("Point Loaded")); }));
    const QByteArray fromCompare = f.sim->received();
    QTRY_VERIFY(!compareWindow(f));

    // The same file through "Point Load".
    f.clearCommands();
    f.dialogs.setNextFileName(path);
    control<QPushButton>(f.window.get(), QStringLiteral("buttonPointLoad"))->click();
    QVERIFY(f.waitFor([&] { return f.sim->received().size() >= fromCompare.size() && !f.link().busy(); }));
    QCOMPARE(f.sim->received(), fromCompare);
    QVERIFY(fromCompare.startsWith('\x01'));
    QVERIFY(fromCompare.contains("NEWP\r"));
    QCOMPARE(f.window->transfers().lastLoaded(transfer::Kind::Point), path);
}

void TestCompare::unreadableFileAlertsAsTheLoad()
{
    MonitorFixture f;
    QVERIFY(f.connectToSim());
    const QString missing = f.tempDir.filePath(QStringLiteral("gone.p2k"));
    f.dialogs.setNextFileName(missing);
    control<QPushButton>(f.window.get(), QStringLiteral("buttonPointLoad"))->click();
    QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty(); }));
    const QStringList loadAlerts = f.dialogs.alertTexts();
    f.dialogs.clear();
    f.clearCommands();

    f.dialogs.setNextFileName(missing);
    control<QPushButton>(f.window.get(), QStringLiteral("buttonPointCompare"))->click();
    QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty(); }));
    QCOMPARE(f.dialogs.alertTexts(), loadAlerts);
    QVERIFY(f.sim->received().isEmpty());
    QVERIFY(!compareWindow(f));
}

void TestCompare::listingTimeOutAlertsAsTheSave()
{
    MonitorFixture f;
    QVERIFY(f.connectToSim());
    control<QLineEdit>(f.window.get(), QStringLiteral("textFieldTimeOutSec"))->setText(QStringLiteral("1"));
    const QString path = put(f, QStringLiteral("words.mbk"), "MBK(10~Wrd)=5\n");
    sim::Options stall = MonitorFixture::makeOptions();
    stall.stallAfter = 0; // the listing is never answered
    const auto alertsOf = [&](const QString &name, const QString &file) {
        f.dialogs.clear();
        f.sim->setOptions(stall);
        f.dialogs.setNextFileName(file);
        control<QPushButton>(f.window.get(), name)->click();
        f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty() && !wire::isUp(f.link().state()); });
        const QStringList alerts = f.dialogs.alertTexts();
        f.sim->setOptions(MonitorFixture::makeOptions());
        f.connectToSim();
        return alerts;
    };
    const QStringList save =
        alertsOf(QStringLiteral("buttonMbkSave"), f.tempDir.filePath(QStringLiteral("out.mbk")));
    QCOMPARE(save.size(), 1);
    QVERIFY2(save.first().startsWith(QLatin1String("Receive Timeout")), qPrintable(save.first()));
    QCOMPARE(alertsOf(QStringLiteral("buttonMbkCompare"), path), save);
    QVERIFY(!compareWindow(f));
}

// A comparison holds for the connection its listing came over and for the
// file contents it read: once either is gone, Load sends nothing (not to a
// later connection either), is off and the window says why; the File menu's
// entries follow the link however it ends.
void TestCompare::loadBelongsToItsConnectionAndFile_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::newRow("disconnect") << Ending::Disconnect;
    QTest::newRow("receive time-out") << Ending::TimeOut;
    QTest::newRow("controller closes") << Ending::ControllerCloses;
    QTest::newRow("file changed") << Ending::FileChanged;
}

void TestCompare::loadBelongsToItsConnectionAndFile()
{
    QFETCH(Ending, ending);
    MonitorFixture f;
    QVERIFY(f.connectToSim());
    f.exchange(QStringLiteral("SETP 3 300 0 0 0"));
    const QString path = put(f, QStringLiteral("cell.p2k"), "SETP 1 100 0 0 0\n");
    QDialog *w = compareWith(f, QStringLiteral("buttonPointCompare"), path);
    QVERIFY(w);
    auto *load = control<QPushButton>(w, QStringLiteral("buttonCompareLoad"));
    QVERIFY(load->isEnabled());
    const auto menuEntriesOn = [&] {
        bool on = true;
        for (const char *name : {"menuComparePoints", "menuCompareMbk", "menuCompareProgram"})
            on = on && control<QAction>(f.window.get(), QLatin1String(name))->isEnabled();
        return on;
    };
    QVERIFY(menuEntriesOn());

    switch (ending) {
    case Ending::Disconnect:
        f.disconnect();
        break;
    case Ending::TimeOut: {
        f.timeoutField()->setText(QStringLiteral("1"));
        sim::Options stall = MonitorFixture::makeOptions();
        stall.stallAfter = 0;
        f.sim->setOptions(stall);
        f.exchange(QStringLiteral("PR 1"));
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty() && !f.link().busy(); }));
        break;
    }
    case Ending::ControllerCloses: {
        sim::Options drop = MonitorFixture::makeOptions();
        drop.dropAfter = 0;
        f.sim->setOptions(drop);
        f.link().sendString(QStringLiteral("PR 1"));
        QVERIFY(f.waitFor([&] { return f.statusLine()->text() == "The controller closed the connection."; }));
        break;
    }
    case Ending::FileChanged:
        QVERIFY(!put(f, QStringLiteral("cell.p2k"), "SETP 1 999 0 0 0\n").isEmpty());
        break;
    }
    if (ending != Ending::FileChanged) {
        QVERIFY(!menuEntriesOn());
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.connectToSim());
        QVERIFY(menuEntriesOn());
    }

    f.clearCommands();
    load->click();
    f.settle();
    QCOMPARE(f.sim->received(), QByteArray());
    QCOMPARE(compareWindow(f), w);
    QVERIFY(!load->isEnabled());
    const QString why =
        ending == Ending::FileChanged
            ? QStringLiteral("\"cell.p2k\" has changed since the comparison: compare again to load it.")
            : QStringLiteral("The connection the comparison was read on has ended: compare again to "
                             "load the file.");
    QCOMPARE(control<QLabel>(w, QStringLiteral("labelCompareLoadOff"))->text(), why);
    QVERIFY(control<QLabel>(w, QStringLiteral("labelCompareLoadOff"))->isVisible());
    closeWindow(f);
}

// The rules without the wire: entries keyed by point or address, the last
// line of an entry winning, spacing not counting as a change.
void TestCompare::tableRules()
{
    const transfer::TableComparison c =
        transfer::compareTables({"MBK(100~Wrd)=1", "MBK(9~Wrd)=4", "SETP 10 1 2 3 4"},
                                {"MBK(9~Wrd)=3", "MBK(9~Wrd)=4", "SETP 10 1  2 3 4", "MBK(100~Wrd)=2"});
    QCOMPARE(c.changes.size(), 1);
    QCOMPARE(c.changes[0].key, QStringLiteral("MBK(100~Wrd)"));
    QCOMPARE(c.changes[0].controllerValue, QStringLiteral("1"));
    QCOMPARE(c.changes[0].fileValue, QStringLiteral("2"));

    const transfer::ProgramComparison p =
        transfer::comparePrograms({"*L", "A=1", "GOTO *L"}, {"*L", "A=1", "B=2", "GOTO *L"});
    QCOMPARE(p.added, 1);
    QCOMPARE(p.removed, 0);
    QCOMPARE(p.lines[2].text, QStringLiteral("B=2"));
}

// Blanks outside string literals are layout (the controller lists a program
// in its own spacing); inside a literal they are what the program prints.
void TestCompare::programSpacing_data()
{
    QTest::addColumn<QString>("controller");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("same");
    QTest::newRow("blanks between words") << "A = 1"
                                          << "A  =  1 " << true;
    QTest::newRow("tab for a blank") << "PRINT \"A\""
                                     << "PRINT\t\"A\"" << true;
    QTest::newRow("blanks inside a literal") << "PRINT \"A  B\""
                                             << "PRINT \"A B\"" << false;
    QTest::newRow("blanks at a literal's edge") << "PRINT \" A\""
                                                << "PRINT \"A\"" << false;
    QTest::newRow("literal, then blanks outside") << "S$=\"A  B\" :  PRINT S$"
                                                  << "S$=\"A  B\" : PRINT S$" << true;
    QTest::newRow("second literal") << "PRINT \"A\" ; \"B  C\""
                                    << "PRINT \"A\" ; \"B C\"" << false;
    QTest::newRow("unclosed literal runs to the end") << "PRINT \"A  B"
                                                      << "PRINT \"A B" << false;
}

void TestCompare::programSpacing()
{
    QFETCH(QString, controller);
    QFETCH(QString, file);
    QFETCH(bool, same);
    QCOMPARE(transfer::comparePrograms({controller}, {file}).identical(), same);
}

QTEST_MAIN(TestCompare)
#include "test_compare.moc"

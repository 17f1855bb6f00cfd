// "Compare…" against the simulator: what the window says, that it only reads, when its Load holds (its
// rules without a window: test_fileformat).
#include "support/files.h"
#include "support/fixture.h"
#include "support/stallprobe.h"
#include "support/widgets.h"
#include "transfer/transfers.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace {

QDialog *compareWindow(MonitorFixture &f)
{
    return f.window->findChild<QDialog *>(QStringLiteral("compareWindow"));
}

// Chooses `path` in the dialog of control `name` (a button or menu entry); the window that comes.
QDialog *compareWith(MonitorFixture &f, const QString &name, const QString &path)
{
    f.dialogs.setNextFileName(path);
    if (auto *button = control<QPushButton>(f.window.get(), name))
        button->click();
    else
        control<QAction>(f.window.get(), name)->trigger();
    f.waitFor([&] { return compareWindow(f) != nullptr; }, 10000);
    return compareWindow(f);
}

// The rows of the window's table, columns joined by " | ".
QStringList rowsOf(QDialog *w)
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

} // namespace

class TestCompare : public QObject
{
    Q_OBJECT

private slots:
    // What the window shows; comparing only reads (no attention byte), a running program keeps running.
    void showsTheDifferences_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QStringList>("controller");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown"); // the window's title, a line feed, its summary
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("listing");
        QTest::newRow("points added, removed and changed")
            << "buttonPointCompare" << QStringList{"SETP 1 100 0 0 0", "SETP 2 200 0 0 0",
                                                   "SETP 3 300 0 0 0", "10 *L",
                                                   "20 GOTO *L",       "RUN"}
            << "cell.p2k" << QByteArray("SETP 1 100 0 0 0\nSETP 2  250 0 0 0\nSETP 4 400 0 0 0\n")
            << "Compare Points\n\"cell.p2k\" against the controller: 1 added, 1 removed, 1 changed."
            << QStringList{"SETP 2 | changed | 200 0 0 0 | 250 0 0 0", "SETP 3 | removed | 300 0 0 0 | ",
                           "SETP 4 | added |  | 400 0 0 0"}
            << "PLS -1";
        QTest::newRow("identical MBK") << "menuCompareMbk" << QStringList{"MBK(10~Wrd)=5", "MBK(20~Wrd)=7"}
                                       << "words.mbk" << QByteArray("MBK(10~Wrd)=5\r\nMBK(20~Wrd)=7\r\n")
                                       << "Compare MBK\n\"words.mbk\" and the controller hold the same MBK "
                                          "words: the contents are identical."
                                       << QStringList() << "S_MBK -1";
        QTest::newRow("program statement changed")
            << "menuCompareProgram" << QStringList{"10 A=1", "20 B=2", "30 END"} << "main.f2k"
            << QByteArray("A=1\nB=3 /* new speed */\nEND\n")
            << "Compare Program\n\"main.f2k\" against the controller: 1 statement added, 1 removed."
            << QStringList{" | A=1", "\u2212 | B=2", "+ | B=3", " | END"} << "LIST 0 0";
        // A long statement changed at its end: the two versions do not look alike.
        const QString longText = "S$=\"" + QString(110, 'x');
        QTest::newRow("long statement changed at its end")
            << "menuCompareProgram" << QStringList{"10 " + longText + "1\""} << "long.f2k"
            << (longText + "2\"\n").toLatin1()
            << "Compare Program\n\"long.f2k\" against the controller: 1 statement added, 1 removed."
            << QStringList{"\u2212 | " + longText + "1\"", "+ | " + longText + "2\""} << "LIST 0 0";
        QTest::newRow("program file with line numbers")
            << "menuCompareProgram" << QStringList{"10 A=1", "20 B=2"} << "numbered.f2k"
            << QByteArray("10 A=1\n20 B=2\n")
            << "Compare Program\n\"numbered.f2k\" and the controller hold the same program: the contents are "
               "identical."
            << QStringList{" | A=1", " | B=2"} << "LIST 0 0";
        // Megabytes are read, hashed and read again away from the window.
        QTest::newRow("large points file")
            << "buttonPointCompare" << QStringList{"SETP 1 100 0 0 0"} << "large.p2k"
            << QByteArray("SETP 1 100 0 0 0" + QByteArray(1000, ' ') + '\n').repeated(20'000)
            << "Compare Points\n\"large.p2k\" and the controller hold the same points: the contents are "
               "identical."
            << QStringList() << "PLS -1";
    }
    void showsTheDifferences()
    {
        QFETCH(QString, trigger);
        QFETCH(QStringList, controller);
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(QStringList, rows);
        QFETCH(QString, listing);
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        for (const QString &line : controller)
            f.exchange(line);
        const QString path = f.tempDir.filePath(file);
        QVERIFY(put(path, bytes));
        f.clearCommands();

        StallProbe stalls;
        QDialog *w = compareWith(f, trigger, path);
        QVERIFY(w);
        f.settle();
        stalls.stop();
        QVERIFY2(stalls.longestMs() < kLongestStallMs, qPrintable(QString::number(stalls.longestMs())));
        QCOMPARE(w->windowTitle() + '\n' + control<QLabel>(w, QStringLiteral("labelCompareSummary"))->text(),
                 shown);
        QCOMPARE(rowsOf(w), rows);
        // Every cell whole, however long its statement.
        const auto *tree = w->findChild<QTreeView *>(QStringLiteral("treeCompare"));
        for (int i = 0; i < tree->model()->rowCount(); ++i) {
            for (int c = 0; c < tree->model()->columnCount(); ++c) {
                const QString text = tree->model()->index(i, c).data().toString();
                QVERIFY2(tree->columnWidth(c) > tree->fontMetrics().horizontalAdvance(text),
                         qPrintable(text));
            }
        }
        QCOMPARE(f.commands(), (QStringList{"ECHO", listing}));
        QVERIFY(!f.sim->received().contains('\x01'));
        if (controller.contains("RUN")) {
            const std::optional<QString> running = f.exchange(QStringLiteral("PR TASK(0|256)"));
            QVERIFY(running && running->contains(QLatin1String(" 1")));
        }
        control<QPushButton>(w, QStringLiteral("buttonCompareClose"))->click();
        QTRY_VERIFY(!compareWindow(f));
    }

    // Once the comparison's connection or file is gone, Load sends nothing (to a later connection
    // either), is off and says why; the File menu's entries follow the link.
    void loadBelongsToItsConnectionAndFile_data()
    {
        QTest::addColumn<QString>("ending");
        for (const char *ending : {"disconnect", "controller closes", "file changed"})
            QTest::newRow(ending) << QString::fromLatin1(ending);
    }

    void loadBelongsToItsConnectionAndFile()
    {
        QFETCH(QString, ending);
        const bool fileChanged = ending == QLatin1String("file changed");
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        f.exchange(QStringLiteral("SETP 3 300 0 0 0"));
        const QString path = f.tempDir.filePath(QStringLiteral("cell.p2k"));
        QVERIFY(put(path, "SETP 1 100 0 0 0\n"));
        QDialog *w = compareWith(f, QStringLiteral("buttonPointCompare"), path);
        QVERIFY(w);
        auto *load = control<QPushButton>(w, QStringLiteral("buttonCompareLoad"));
        QVERIFY(load->isEnabled());
        const auto menuEntriesOn = [&] {
            const auto on = [&](const char *name) {
                return control<QAction>(f.window.get(), name)->isEnabled();
            };
            return on("menuComparePoints") && on("menuCompareMbk") && on("menuCompareProgram");
        };
        QVERIFY(menuEntriesOn());

        if (ending == QLatin1String("disconnect")) {
            f.disconnect();
        } else if (fileChanged) {
            QVERIFY(put(path, "SETP 1 999 0 0 0\n"));
        } else { // the controller hangs up
            sim::Options o = MonitorFixture::makeOptions();
            o.dropAfter = 0;
            f.sim->setOptions(o);
            f.link().sendString(QStringLiteral("PR 1"));
            QVERIFY(f.waitFor([&] { return !wire::isUp(f.link().state()) && !f.link().busy(); }));
        }
        if (!fileChanged) {
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
        const auto *why = control<QLabel>(w, QStringLiteral("labelCompareLoadOff"));
        QVERIFY2(why->text().contains(fileChanged ? "\"cell.p2k\" has changed" : "connection"),
                 qPrintable(why->text()));
        QVERIFY(why->isVisible());

        // Disconnect while a comparison reads the listing: its progress does not stay in the status line.
        if (ending == QLatin1String("disconnect")) {
            sim::Options stall = MonitorFixture::makeOptions();
            stall.stallAfter = 1; // "ECHO" answered, the listing never comes
            f.sim->setOptions(stall);
            f.dialogs.setNextFileName(path);
            control<QPushButton>(f.window.get(), "buttonPointCompare")->click();
            QVERIFY(f.waitFor([&] { return f.statusLine()->text().contains("Comparing"); }));
            f.disconnect();
            f.settle();
            QCOMPARE(f.statusLine()->text(), QString());
        }
    }
};

QTEST_MAIN(TestCompare)
#include "test_compare.moc"

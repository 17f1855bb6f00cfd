// Program, point and MBK transfers against the simulator: the wire, the files, what the user is told.
#include "link/sjis.h"
#include "sim/machine.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/stallprobe.h"
#include "support/widgets.h"
#include "transfer/fileformat.h"
#include "transfer/transfers.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using transfer::Kind;

Q_DECLARE_METATYPE(transfer::Kind)

namespace {

// Compare: the point comparison; Load: its window's Load.
enum class Op { LineLoad, BlockLoad, ProgramSave, PointLoad, PointSave, MbkLoad, MbkSave, Compare, Load };

// Runs `op` on `path` as its button or menu entry does; false if it did not end.
bool run(MonitorFixture &f, Op op, const QString &path)
{
    static const char *const controls[] = {"menuOpenFile",    "buttonFileOpen",     "buttonFileSave",
                                           "buttonPointLoad", "buttonPointSave",    "buttonMbkLoad",
                                           "buttonMbkSave",   "buttonPointCompare", "buttonPointCompare"};
    f.dialogs.setNextFileName(path);
    if (auto *button = control<QPushButton>(f.window.get(), controls[int(op)]))
        button->click();
    else
        control<QAction>(f.window.get(), controls[int(op)])->trigger();
    if (op == Op::Load) { // the comparison window's Load, with what went out before it cleared
        f.waitFor([&f] { return !f.link().busy() && f.window->findChild<QDialog *>("compareWindow"); });
        auto *compared = f.window->findChild<QDialog *>("compareWindow");
        if (!compared)
            return false;
        f.clearCommands();
        control<QPushButton>(compared, "buttonCompareLoad")->click();
    }
    return f.waitFor([&f] { return !f.link().busy(); }, 10000);
}

const Op kSaveOf[] = {Op::ProgramSave, Op::PointSave, Op::MbkSave}; // by Kind

// The file names the transfers remember for a kind: {load, save}.
QPair<QString, QString> remembered(MonitorFixture &f, Kind k)
{
    const transfer::Transfers &t = f.window->transfers();
    return qMakePair(t.lastLoaded(k), t.lastSaved(k));
}

const auto sjis = [](const QString &s) { return wire::sjisEncode(s); };

// Writes `bytes` to a new file `name` and loads it with a clean command log.
QString loadFile(MonitorFixture &f, Op op, const QString &name, const QByteArray &bytes)
{
    const QString path = f.tempDir.filePath(name);
    put(path, bytes);
    f.clearCommands();
    if (!run(f, op, path))
        qWarning("the load of %s did not end", qPrintable(name));
    return path;
}

// A file that cannot be read or written, and what the alert says.
struct Failure
{
    Op op;
    QString target;
    QByteArray content; // written to the target first, if any
    QString alert;
    QString why = {}; // in the alert's informative text
};

// Every text the status line showed while `spy` listened.
QStringList shownTexts(const QSignalSpy &spy)
{
    QStringList shown;
    for (const QList<QVariant> &args : spy)
        shown << args.at(0).toString();
    return shown;
}

} // namespace

Q_DECLARE_METATYPE(Failure)

class TestTransfer : public QObject
{
    Q_OBJECT

    // Every case starts logged in to a fresh simulator.
    std::unique_ptr<MonitorFixture> m_f;

private slots:
    void init()
    {
        m_f = std::make_unique<MonitorFixture>();
        QVERIFY(m_f->connectToSim());
    }
    void cleanup() { m_f.reset(); }

    void saveLoadSaveIsIdentical_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("load");
        QTest::addColumn<QString>("fileText");
        QTest::addColumn<QString>("words"); // the command that wipes the store, the completion lines' word

        const auto row = [](const char *name, Kind kind, Op load, const char *text, const char *words) {
            QTest::newRow(name) << kind << int(load) << QString::fromUtf8(text) << QString(words);
        };
        const char *program = "PRINT \"日本語のテキスト\"\nS$=\"ﾃｽﾄ\\表\"\n*LOOP\nA=A+1 : GOTO *LOOP\n";
        row("program, line load", Kind::Program, Op::LineLoad, program, "NEW Program");
        row("program, block load", Kind::Program, Op::BlockLoad, program, "NEW Program");
        row("points", Kind::Point, Op::PointLoad,
            "SETP 1 100 -200 300 0\nSETP 42 1 2 3 4\nSETP 9999 -1000000 0 0 7\n", "NEWP Point");
        row("mbk", Kind::Mbk, Op::MbkLoad, "MBK(0~Wrd)=1\nMBK(100~Wrd)=65535\nMBK(7000~Wrd)=12345\n",
            "NEWM MBK");
    }

    void saveLoadSaveIsIdentical()
    {
        QFETCH(Kind, kind);
        QFETCH(int, load);
        QFETCH(QString, fileText);
        QFETCH(QString, words);
        const QString wipe = words.section(u' ', 0, 0), word = words.section(u' ', 1);

        MonitorFixture &f = *m_f;
        const QStringList lines = fileText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        f.sim->withMachine([&](sim::Machine &m) {
            for (qsizetype i = 0; i < lines.size(); ++i)
                m.handleLine(kind == Kind::Program ? QString::number((i + 1) * 10) + ' ' + lines.at(i)
                                                   : lines.at(i));
        });

        const QString ext = transfer::traits(kind).extension;
        const QString a = f.tempDir.filePath(QStringLiteral("first.") + ext);
        const QString b = f.tempDir.filePath(QStringLiteral("second.") + ext);
        QVERIFY(run(f, kSaveOf[int(kind)], a));
        QCOMPARE(bytesOf(a), sjis(fileText));
        QVERIFY(f.consoleText().endsWith(word + " Saved \"" + a + "\"\r#"));
        QCOMPARE(f.statusLine()->text(), QString());

        f.sim->withMachine([&](sim::Machine &m) { m.handleLine(wipe); });
        QVERIFY(run(f, Op(load), a));
        QVERIFY(f.consoleText().endsWith(word + " Loaded \"" + a + "\"\r#"));
        QCOMPARE(f.commands().contains(wipe), load != int(Op::BlockLoad)); // line loads wipe first
        QVERIFY(f.dialogs.alertTexts().isEmpty());

        // Saving over an existing, longer file replaces it as a whole.
        put(b, QByteArray("OLD CONTENT THAT IS LONGER THAN THE LISTING\n").repeated(40));
        QVERIFY(run(f, kSaveOf[int(kind)], b));
        QCOMPARE(bytesOf(b), bytesOf(a));

        // The second save's dialog started where the first one saved.
        QCOMPARE(f.dialogs.entries.last().spec.startDir, f.tempDir.path());
        QCOMPARE(f.dialogs.entries.last().spec.nameField, QFileInfo(a).fileName());
        QCOMPARE(remembered(f, kind), qMakePair(a, b));
    }

    // The wire and the console for each file line. Line loads wipe first and count blank, comment-only
    // and CR-ended lines: the program load refuses lines 6, 8 and 10; the point load sends "#SETP 3"
    // like any line and the controller refuses line 5. (A block load's framing: loadsShowTheirProgress;
    // its end at END_OF_LOAD: test_fileformat.)
    void loadSendsTheFileLines_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("console"); // %F: the file's path
        const auto lines = [](const QStringList &sent) { return '\x01' + sjis(sent.join('\r') + '\r'); };
        QTest::newRow("program, line load")
            << int(Op::LineLoad)
            << "A=1 /* set A\r\n\r\n/* only a comment\r   \t \r\nPRINT \"日本語\"\r\n#BAD\r\n  B=2  \r\n"
               "PRINT \"x /* y\"\r\n\r\n?WRONG\rD=4\r\n" // cut inside the quotes
            << lines({"NEW", "ECHO 2", "A=1 ", "PRINT \"日本語\"", "B=2", "PRINT \"x ", "?WRONG", "D=4",
                      "ECHO", "RENUM"})
            << "(6) #BAD\r\tSyntax Error\r(8) \r\n\t構文エラー (Syntax Error)\r"
               "(10) \r\n\t構文エラー (Syntax Error)\rProgram Loaded \"%F\"\r#";
        // A line no command can carry (an escape sequence a block load stored) is refused, not sent as a bare
        // CR.
        QTest::newRow("program, a control character")
            << int(Op::LineLoad) << "A=1\r\nPRINT \"\x1b[7m\"\r\nB=2\r\n"
            << lines({"NEW", "ECHO 2", "A=1", "B=2", "ECHO", "RENUM"})
            << "(2) PRINT \"\x1b[7m\"\r\tEncode Error\rProgram Loaded \"%F\"\r#";
        const QString points = "  SETP 1 0 0 0 0\r\nSETP 2 3 0 0 0\r\n#SETP 3\r\nSETP 4 9 0 0 0\r\n"
                               "SETP 日本\r\n\t \r\nSETP 7 1 0 0 0\r\n";
        const QByteArray pointsSent = lines({"NEWP", "SETP 1 0 0 0 0", "SETP 2 3 0 0 0", "#SETP 3",
                                             "SETP 4 9 0 0 0", "SETP 日本", "SETP 7 1 0 0 0"});
        const QString pointsShown =
            "(3) \t構文エラー (Syntax Error)\r\n#(5) \t構文エラー (Syntax Error)\r\n#Point Loaded \"%F\"\r#";
        QTest::newRow("points") << int(Op::PointLoad) << points << pointsSent << pointsShown;
        // While a comparison holds, its Load is the ordinary load.
        QTest::newRow("points, a comparison's Load") << int(Op::Load) << points << pointsSent << pointsShown;
    }

    void loadSendsTheFileLines()
    {
        QFETCH(int, op);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QFETCH(QString, console);
        MonitorFixture &f = *m_f;
        const QString path = loadFile(f, Op(op), QStringLiteral("file.f2k"), sjis(text));
        QCOMPARE(f.sim->received(), wire);
        QCOMPARE(f.consoleText(), console.replace("%F", path));
        QVERIFY(!f.window->findChild<QDialog *>("compareWindow")); // a comparison's Load closes it
    }

    // Progress on the status line: a line load's every 100 lines, a block load's every block.
    void loadsShowTheirProgress()
    {
        MonitorFixture &f = *m_f;
        // 250 lines of 17 characters with the CR: lines 0, 100 and 200 show 17, 1717 and 3417 of them.
        QByteArray bytes;
        for (int n = 100; n < 350; ++n)
            bytes += QStringLiteral("SETP %1 0 0 0 0\r\n").arg(n).toLatin1();
        QSignalSpy status(f.statusLine(), &QLineEdit::textChanged);
        loadFile(f, Op::PointLoad, QStringLiteral("many.p2k"), bytes);
        QCOMPARE(shownTexts(status),
                 QStringList({"\"many.p2k\" Loading...0(KB)", "\"many.p2k\" Loading...1(KB)",
                              "\"many.p2k\" Loading...3(KB)", ""}));
        QCOMPARE(f.commands().size(), 251);

        // 2,999 bytes with double-byte text across the block boundaries; the appended LF makes 3,000.
        QString text;
        int n = 0;
        while (sjis(text).size() < 2900)
            text += QStringLiteral("PRINT \"行%1 日本語\"\n").arg(n++, 3, 10, QLatin1Char('0'));
        text += QStringLiteral("Z=") + QString(2999 - sjis(text).size() - 2, QLatin1Char('1'));
        const QByteArray all = sjis(text) + '\n';
        QCOMPARE(all.size(), 3000);
        status.clear();
        const QString path = loadFile(f, Op::BlockLoad, QStringLiteral("blocks.f2k"), all.chopped(1));
        QCOMPARE(f.sim->received(), QByteArray("\x01\x02", 2) + all.mid(0, 1400) + '\x02' +
                                        all.mid(1400, 1400) + '\x02' + all.mid(2800) +
                                        "MMC_LOAD MMC_LOAD$\r");
        QCOMPARE(shownTexts(status),
                 QStringList({"\"blocks.f2k\" Loading", "\"blocks.f2k\" Loading...1(KB)",
                              "\"blocks.f2k\" Loading...2(KB)", "\"blocks.f2k\" Loading...4(KB)",
                              "File Processing...", ""}));
        QCOMPARE(f.consoleText(),
                 QStringLiteral("Loaded %1 lines\r\n#\r\nProgram Loaded \"%2\"\r#").arg(n + 1).arg(path));

        // The controller refuses the second block (its block memory full): the load stops there, empties
        // the controller's blocks and says so; the program stays as it was.
        QMap<qint64, QString> program, after;
        f.sim->withMachine([&](sim::Machine &m) { program = m.programLines(); });
        QObject::connect(f.statusLine(), &QLineEdit::textChanged, f.statusLine(), [&f](const QString &t) {
            if (t.endsWith(QLatin1String("...1(KB)")))
                f.sim->withMachine(
                    [](sim::Machine &m) { m.feed(('\x02' + QByteArray(1400, 'A')).repeated(12000)); });
        });
        bool busyAtAlert = true;
        f.dialogs.onShow = [&f, &busyAtAlert](const ScriptedDialogs::Entry &) {
            busyAtAlert = f.link().busy();
        };
        loadFile(f, Op::BlockLoad, QStringLiteral("blocks.f2k"), all.chopped(1));
        QCOMPARE(f.sim->received(),
                 QByteArray("\x01\x02", 2) + all.mid(0, 1400) + '\x02' + all.mid(1400, 1400) + '\x01');
        QVERIFY2(f.consoleText().contains("(Out of Memory)") && !f.consoleText().contains("Loaded"),
                 qPrintable(f.consoleText()));
        QVERIFY(f.waitFor([&f] { return !f.dialogs.alertTexts().isEmpty(); }));
        QCOMPARE(f.dialogs.alertTexts(), QStringList{"Load Error\n\n\"" + path + '"'});
        QVERIFY(f.dialogs.entries.last().informative.contains("block 2 of 3"));
        QVERIFY2(!busyAtAlert, "the alert opened while the load held the link");
        QCOMPARE(f.statusLine()->text(), QString());
        bool blocksLeft = true;
        f.sim->withMachine(
            [&](sim::Machine &m) { after = m.programLines(), blocksLeft = !m.blockBuffer().isEmpty(); });
        QVERIFY(after == program && !program.isEmpty() && !blocksLeft);
    }

    // An unreadable or unwritable file: one alert saying why, and nothing written, sent or remembered.
    void failureLeavesNoTrace_data()
    {
        QTest::addColumn<Failure>("c");
        QTest::newRow("line load, missing") << Failure{Op::LineLoad, "bad file.f2k", {}, "Read Error"};
        QTest::newRow("block load, not Shift-JIS")
            << Failure{Op::BlockLoad, "bad file.f2k", "A=1\r\nB=\"\x82\"\r\n", "Read Error", "Line 2"};
        QTest::newRow("program save, a directory")
            << Failure{Op::ProgramSave, "folder.f2k", {}, "Save Error"};
        QTest::newRow("mbk save, a missing folder")
            << Failure{Op::MbkSave, "nowhere/x.mbk", {}, "Save Error"};
        QTest::newRow("point compare, missing") << Failure{Op::Compare, "bad file.p2k", {}, "Read Error"};
        // Megabytes are read away from the window, which goes on answering meanwhile.
        const QByteArray large = QByteArray("A=1\r\n").repeated(4'000'000) + "B=\"\x82\"\r\n";
        QTest::newRow("line load, large")
            << Failure{Op::LineLoad, "large.f2k", large, "Read Error", "4000001"};
        QTest::newRow("point compare, large")
            << Failure{Op::Compare, "large.p2k", large, "Read Error", "4000001"};
    }

    void failureLeavesNoTrace()
    {
        QFETCH(Failure, c);
        const auto &[op, target, content, alert, why] = c;
        MonitorFixture &f = *m_f;
        QVERIFY(QDir(f.tempDir.path()).mkdir(QStringLiteral("folder.f2k")));
        f.sim->withMachine([](sim::Machine &m) {
            m.handleLine(QStringLiteral("10 A=1"));
            m.handleLine(QStringLiteral("MBK(5~Wrd)=9"));
        });
        const Kind kind = op == Op::MbkSave ? Kind::Mbk : Kind::Program;
        const QString good = f.tempDir.filePath(QStringLiteral("good.") + transfer::traits(kind).extension);
        QVERIFY(run(f, kSaveOf[int(kind)], good));
        const QString path = f.tempDir.filePath(target);
        if (!content.isEmpty())
            put(path, content);
        f.clearCommands();
        if (alert == QLatin1String("Save Error"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Save Error, ")));
        bool busyAtAlert = false; // the alert opens once the transfer has let go of the link
        f.dialogs.onShow = [&f, &busyAtAlert](const ScriptedDialogs::Entry &) {
            busyAtAlert = busyAtAlert || f.link().busy();
        };
        StallProbe stalls;
        QVERIFY(run(f, op, path));
        f.settle();
        stalls.stop();
        QVERIFY2(stalls.longestMs() < kLongestStallMs, qPrintable(QString::number(stalls.longestMs())));
        QVERIFY(f.waitFor([&f] { return !f.dialogs.alertTexts().isEmpty(); }));
        QVERIFY2(!busyAtAlert, "the alert opened while the transfer held the link");

        QCOMPARE(f.dialogs.alertTexts(), QStringList{alert + "\n\n\"" + path + '"'});
        const ScriptedDialogs::Entry &e = f.dialogs.entries.last();
        QVERIFY(e.style == Dialogs::Style::Critical && !e.informative.isEmpty() &&
                e.informative.contains(why));
        QVERIFY(!QFileInfo(path).isFile() || !content.isEmpty());
        QVERIFY(!f.consoleText().contains(path));
        for (Kind k : {Kind::Program, Kind::Point, Kind::Mbk})
            QCOMPARE(remembered(f, k), qMakePair(QString(), k == kind ? good : QString()));
        if (alert == QLatin1String("Read Error"))
            QCOMPARE(f.sim->received(), QByteArray());
        // The status line keeps the last progress of a failed save.
        if (alert == QLatin1String("Save Error"))
            QVERIFY2(f.statusLine()->text().startsWith(QLatin1Char('"') + QFileInfo(path).fileName()),
                     qPrintable(f.statusLine()->text()));
        QVERIFY(wire::isUp(f.link().state()) && !f.link().waiting());
        QVERIFY(!f.window->findChild<QDialog *>(QStringLiteral("compareWindow")));
    }

    // The controller hangs up between two lines of a load: the load ends with the "Receive Timeout" alert.
    void hangUpBetweenLinesIsAlerted()
    {
        MonitorFixture &f = *m_f;
        sim::Options o = MonitorFixture::makeOptions();
        o.dropAfter = 2; // NEWP and the first line answered, then the connection closes
        f.sim->setOptions(o);
        loadFile(f, Op::PointLoad, QStringLiteral("cut.p2k"), "SETP 1 1 2 3 4\nSETP 2 5 6 7 8\n");
        QVERIFY(!wire::isUp(f.link().state()));
        QVERIFY(f.waitFor([&f] { return !f.dialogs.alertTexts().isEmpty(); }, 2000));
        QVERIFY(f.dialogs.alertTexts().first().startsWith(QLatin1String("Receive Timeout")));
    }

    // Each button or menu entry opens its own kind of dialog for its own files, at the click, with the link
    // free for the tabs' reads; cancelled, nothing is sent.
    void buttonsOpenTheirOwnDialogs()
    {
        MonitorFixture &f = *m_f;
        f.clearCommands();
        bool heldTheLink = false;
        f.dialogs.onChoose = [&f, &heldTheLink](const ScriptedDialogs::Entry &) {
            heldTheLink = heldTheLink || f.link().busy();
        };
        for (const QStringList &b : {QStringList{"menuOpenFile", "open", "f2k"},
                                     {"buttonFileOpen", "open", "f2k"},
                                     {"buttonFileSave", "save", "f2k"},
                                     {"buttonPointLoad", "open", "p2k"},
                                     {"buttonPointSave", "save", "p2k"},
                                     {"buttonMbkLoad", "open", "mbk"},
                                     {"buttonMbkSave", "save", "mbk"},
                                     {"buttonPointCompare", "open", "p2k"},
                                     {"menuCompareMbk", "open", "mbk"},
                                     {"menuCompareProgram", "open", "f2k"}}) {
            const qsizetype before = f.dialogs.entries.size();
            if (auto *button = control<QPushButton>(f.window.get(), b.at(0)))
                button->click();
            else
                control<QAction>(f.window.get(), b.at(0))->trigger();
            QVERIFY2(f.waitFor([&] { return f.dialogs.entries.size() == before + 1; }), qPrintable(b.at(0)));
            const auto &e = f.dialogs.entries.last();
            QCOMPARE((QStringList{b.at(0), e.kind, e.spec.extension}), b);
        }
        f.settle();
        QVERIFY2(!heldTheLink, "a file dialog opened while an action held the link");
        QCOMPARE(f.dialogs.entries.size(), qsizetype(10));
        QCOMPARE(f.sim->received(), QByteArray());
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"

// Program, point and MBK transfers against the simulator: the wire, the files, what the user is told.
#include "link/sjis.h"
#include "sim/machine.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/widgets.h"
#include "transfer/fileformat.h"
#include "transfer/texts.h"
#include "transfer/transfers.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using transfer::Kind;

Q_DECLARE_METATYPE(transfer::Kind)

namespace {

enum class Op { ProgramLoad, ProgramLoadHs, ProgramSave, PointLoad, PointSave, MbkLoad, MbkSave };

// Runs `op` on `path` as the user starts it and waits for its end (alerts shown); false if it did not end.
bool run(MonitorFixture &f, Op op, const QString &path)
{
    using T = transfer::Transfers;
    static const QMap<Op, QCoro::Task<> (T::*)()> actions{{Op::ProgramSave, &T::programSave},
                                                          {Op::PointLoad, &T::pointLoad},
                                                          {Op::PointSave, &T::pointSave},
                                                          {Op::MbkLoad, &T::mbkLoad},
                                                          {Op::MbkSave, &T::mbkSave}};
    f.dialogs.setNextFileName(path);
    // The program loads go through their controls: the button is the block load, the menu the line load.
    if (op == Op::ProgramLoadHs)
        control<QPushButton>(f.window.get(), "buttonFileOpen")->click();
    else if (op == Op::ProgramLoad)
        control<QAction>(f.window.get(), "menuOpenFile")->trigger();
    else
        return f.run([t = &f.window->transfers(), fn = actions.value(op)] { return (t->*fn)(); });
    return f.waitFor([&f] { return !f.link().busy(); }, 10000);
}

Op saveOp(Kind k)
{
    return k == Kind::Program ? Op::ProgramSave : k == Kind::Point ? Op::PointSave : Op::MbkSave;
}

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

// Every text the status line showed while `spy` listened.
QStringList shownTexts(const QSignalSpy &spy)
{
    QStringList shown;
    for (const QList<QVariant> &args : spy)
        shown << args.at(0).toString();
    return shown;
}

} // namespace

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
        row("program, line load", Kind::Program, Op::ProgramLoad, program, "NEW Program");
        row("program, block load", Kind::Program, Op::ProgramLoadHs, program, "NEW Program");
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
        QVERIFY(run(f, saveOp(kind), a));
        QCOMPARE(bytesOf(a), sjis(fileText));
        QVERIFY(f.consoleText().endsWith(word + " Saved \"" + a + "\"\r#"));
        QCOMPARE(f.statusLine()->text(), QString());

        f.sim->withMachine([&](sim::Machine &m) { m.handleLine(wipe); });
        QVERIFY(run(f, Op(load), a));
        QVERIFY(f.consoleText().endsWith(word + " Loaded \"" + a + "\"\r#"));
        QCOMPARE(f.commands().contains(wipe), load != int(Op::ProgramLoadHs)); // line loads wipe first
        QVERIFY(f.dialogs.alertTexts().isEmpty());

        // Saving over an existing, longer file replaces it as a whole.
        put(b, QByteArray("OLD CONTENT THAT IS LONGER THAN THE LISTING\n").repeated(40));
        QVERIFY(run(f, saveOp(kind), b));
        QCOMPARE(bytesOf(b), bytesOf(a));

        // The second save's dialog started where the first one saved.
        QCOMPARE(f.dialogs.entries.last().spec.startDir, f.tempDir.path());
        QCOMPARE(f.dialogs.entries.last().spec.nameField, QFileInfo(a).fileName());
        QCOMPARE(remembered(f, kind), qMakePair(a, b));
    }

    void lineLoadNumbersEveryLine()
    {
        MonitorFixture &f = *m_f;
        // Lines 6, 8 and 10 are refused; the blank and comment lines still
        // count, and so does a line ended by a lone CR.
        const QString path = loadFile(f, Op::ProgramLoad, QStringLiteral("numbered.f2k"),
                                      sjis(QStringLiteral("A=1 /* set A\r\n\r\n/* only a comment\r   \t \r\n"
                                                          "PRINT \"日本語\"\r\n#BAD\r\n  B=2  \r\n"
                                                          "PRINT \"x /* y\"\r\n" // cut inside the quotes
                                                          "\r\n?WRONG\rD=4\r\n")));

        QCOMPARE(f.commands(), (QStringList{"NEW", "ECHO 2", "A=1 ", "PRINT \"日本語\"", "B=2", "PRINT \"x ",
                                            "?WRONG", "D=4", "ECHO", "RENUM"}));
        const QString console = f.consoleText();
        QCOMPARE(console, QStringLiteral("(6) #BAD\r\tSyntax Error\r"
                                         "(8) \r\n\t構文エラー (Syntax Error)\r"
                                         "(10) \r\n\t構文エラー (Syntax Error)\r") +
                              transfer::loadedText(Kind::Program, path));
    }

    void pointLoadSendsHashLinesAndNumbersRefusals()
    {
        MonitorFixture &f = *m_f;
        // Line 3 starts with "#" and is sent like any other; line 5 is refused by the controller.
        const QString path =
            loadFile(f, Op::PointLoad, QStringLiteral("few.p2k"),
                     sjis(QStringLiteral("  SETP 1 0 0 0 0\r\nSETP 2 3 0 0 0\r\n#SETP 3\r\nSETP 4 9 0 0 0\r\n"
                                         "SETP 日本\r\n\t \r\nSETP 7 1 0 0 0\r\n")));
        QCOMPARE(f.commands(), (QStringList{"NEWP", "SETP 1 0 0 0 0", "SETP 2 3 0 0 0", "#SETP 3",
                                            "SETP 4 9 0 0 0", "SETP 日本", "SETP 7 1 0 0 0"}));
        const QString console = f.consoleText();
        QVERIFY2(console.startsWith(QStringLiteral("(3) \t")), qPrintable(console));
        QVERIFY(console.contains(QStringLiteral("\r\n#(5) \t")));
        QVERIFY(console.endsWith(QStringLiteral("\r\n#") + transfer::loadedText(Kind::Point, path)));
    }

    void lineLoadShowsProgressEvery100Lines()
    {
        MonitorFixture &f = *m_f;
        // 250 lines of 17 characters counting the CR: lines 0, 100 and 200
        // show 17, 1717 and 3417 characters read, in whole thousands.
        QByteArray bytes;
        for (int n = 100; n < 350; ++n)
            bytes += QStringLiteral("SETP %1 0 0 0 0\r\n").arg(n).toLatin1();
        const QString name = QStringLiteral("many.p2k");
        QSignalSpy status(f.statusLine(), &QLineEdit::textChanged);
        loadFile(f, Op::PointLoad, name, bytes);
        QCOMPARE(shownTexts(status),
                 (QStringList{transfer::loadProgressText(name, 17), transfer::loadProgressText(name, 1717),
                              transfer::loadProgressText(name, 3417), QString()}));
        QCOMPARE(transfer::loadProgressText(name, 1717), QStringLiteral("\"many.p2k\" Loading...1(KB)"));
        QCOMPARE(f.commands().size(), 251);
    }

    void blockLoadSendsBlocks()
    {
        MonitorFixture &f = *m_f;
        // 2,999 characters of program with double-byte text across the block
        // boundaries; the appended LF makes 3,000 bytes.
        QString text;
        int n = 0;
        while (sjis(text).size() < 2900)
            text += QStringLiteral("PRINT \"行%1 日本語\"\n").arg(n++, 3, 10, QLatin1Char('0'));
        // A last statement pads the text to exactly 2,999 bytes.
        text += QStringLiteral("Z=") + QString(2999 - sjis(text).size() - 2, QLatin1Char('1'));
        const QByteArray bytes = sjis(text);
        QCOMPARE(bytes.size(), 2999);
        const QString name = QStringLiteral("blocks.f2k");
        QSignalSpy status(f.statusLine(), &QLineEdit::textChanged);
        const QString path = loadFile(f, Op::ProgramLoadHs, name, bytes);

        const QByteArray all = bytes + '\n';
        const QByteArray expectedWire = QByteArray("\x01", 1) + '\x02' + all.mid(0, 1400) + '\x02' +
                                        all.mid(1400, 1400) + '\x02' + all.mid(2800) + "MMC_LOAD MMC_LOAD$\r";
        QCOMPARE(f.sim->received(), expectedWire);

        QCOMPARE(shownTexts(status),
                 (QStringList{transfer::blockStartText(name), transfer::loadProgressText(name, 1400),
                              transfer::loadProgressText(name, 2800), transfer::loadProgressText(name, 4200),
                              transfer::kFileProcessing, QString()}));
        QCOMPARE(f.consoleText(), QStringLiteral("Loaded %1 lines\r\n#\r\n").arg(n + 1) +
                                      transfer::loadedText(Kind::Program, path));
    }

    void blockLoadStopsAtEndOfLoad()
    {
        MonitorFixture &f = *m_f;
        loadFile(f, Op::ProgramLoadHs, QStringLiteral("marked.f2k"),
                 sjis(QStringLiteral("A=1\r\nPRINT \"表\"\r\nEND_OF_LOAD\r\nnot a program ?\r\n")));
        QCOMPARE(f.sim->received(), QByteArray("\x01\x02", 2) +
                                        sjis(QStringLiteral("A=1\r\nPRINT \"表\"\r\n\n")) +
                                        "MMC_LOAD MMC_LOAD$\r");
    }

    // A failed transfer says why in one alert, writes no file and keeps the
    // names remembered before; a receive time-out also closes the link (the
    // fault matrix holds its alert to every transfer) and leaves no wait
    // behind to swallow the next login's prompts.
    void failureLeavesNoTrace_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("content"); // written to the target first, if any
        QTest::addColumn<int>("stallAfter");     // command lines answered before a stall; -1: none
        QTest::addColumn<QString>("alert");
        QTest::addColumn<QString>("why"); // in the alert's informative text
        const auto row = [](const char *name, Op op, const char *target, const QByteArray &content,
                            int stallAfter, const char *alert, const char *why = "") {
            QTest::newRow(name) << int(op) << QString(target) << content << stallAfter << QString(alert)
                                << QString(why);
        };
        row("line load, missing", Op::ProgramLoad, "bad file.f2k", {}, -1, "Read Error");
        row("block load, not Shift-JIS", Op::ProgramLoadHs, "bad file.f2k", "A=1\r\nB=\"\x82\"\r\n", -1,
            "Read Error", "Line 2");
        row("program save, a directory", Op::ProgramSave, "folder.f2k", {}, -1, "Save Error");
        row("mbk save, a missing folder", Op::MbkSave, "nowhere/x.mbk", {}, -1, "Save Error");
        row("line load stalls", Op::ProgramLoad, "stall.f2k", "A=1\nB=2\nC=3\n", 3, "Receive Timeout");
        row("line load stalls at the clear", Op::ProgramLoad, "stall.f2k", "A=1\n", 1, "Receive Timeout");
        row("block load stalls at MMC_LOAD", Op::ProgramLoadHs, "stall.f2k", "A=1\n", 0, "Receive Timeout");
        row("mbk listing stalls", Op::MbkSave, "out.mbk", {}, 0, "Receive Timeout");
    }

    void failureLeavesNoTrace()
    {
        QFETCH(int, op);
        QFETCH(QString, target);
        QFETCH(QByteArray, content);
        QFETCH(int, stallAfter);
        QFETCH(QString, alert);
        QFETCH(QString, why);
        MonitorFixture &f = *m_f;
        QVERIFY(QDir(f.tempDir.path()).mkdir(QStringLiteral("folder.f2k")));
        f.sim->withMachine([](sim::Machine &m) {
            m.handleLine(QStringLiteral("10 A=1"));
            m.handleLine(QStringLiteral("MBK(5~Wrd)=9"));
        });
        const Kind kind = Op(op) == Op::MbkSave ? Kind::Mbk : Kind::Program;
        const QString good = f.tempDir.filePath(QStringLiteral("good.") + transfer::traits(kind).extension);
        QVERIFY(run(f, saveOp(kind), good));
        const QString path = f.tempDir.filePath(target);
        if (!content.isEmpty())
            put(path, content);
        f.timeoutField()->setText(QStringLiteral("1"));
        sim::Options stall = MonitorFixture::makeOptions();
        stall.stallAfter = stallAfter;
        f.sim->setOptions(stall);
        f.clearCommands();
        if (alert == QLatin1String("Save Error"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Save Error, ")));
        QVERIFY(run(f, Op(op), path));
        f.settle();

        const QStringList alerts = f.dialogs.alertTexts();
        QCOMPARE(alerts.size(), 1);
        if (stallAfter < 0) {
            QCOMPARE(alerts.first(), alert + "\n\n\"" + path + '"');
            const ScriptedDialogs::Entry &e = f.dialogs.entries.last();
            QVERIFY(e.style == Dialogs::Style::Critical && !e.informative.isEmpty() &&
                    e.informative.contains(why));
        }
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
        QCOMPARE(wire::isUp(f.link().state()), stallAfter < 0);
        QVERIFY(!f.link().waiting());
        f.sim->setOptions(MonitorFixture::makeOptions());
        if (stallAfter >= 0)
            QVERIFY(f.connectToSim());
    }

    void buttonsOpenTheirOwnDialogs()
    {
        MonitorFixture &f = *m_f;
        const QStringList buttons[] = {
            {"buttonFileOpen", "open", "Program Load", "プログラムをQUORINに読み込みます", "f2k"},
            {"buttonFileSave", "save", "Program Save", "プログラムをPCに保存します", "f2k"},
            {"buttonPointLoad", "open", "Point Load", "ポイントデータをQUORINに読み込みます", "p2k"},
            {"buttonPointSave", "save", "Point Save", "ポイントデータをPCに保存します", "p2k"},
            {"buttonMbkLoad", "open", "MBK Load", "MBKデータをQUORINに読み込みます", "mbk"},
            {"buttonMbkSave", "save", "MBK Save", "MBKデータをPCに保存します", "mbk"}};
        f.clearCommands();
        // No file name queued: every dialog is cancelled and nothing is sent.
        for (const QStringList &b : buttons) {
            auto *button = f.window->findChild<QPushButton *>(b.at(0));
            QVERIFY(button && button->isEnabled());
            const qsizetype before = f.dialogs.entries.size();
            button->click();
            QVERIFY(f.waitFor([&] { return f.dialogs.entries.size() > before; }));
            const auto &e = f.dialogs.entries.last();
            QCOMPARE((QStringList{b.at(0), e.kind, e.spec.title, e.spec.message, e.spec.extension}), b);
        }
        f.settle();
        QCOMPARE(f.dialogs.entries.size(), qsizetype(std::size(buttons)));
        QCOMPARE(f.sim->received(), QByteArray());
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"

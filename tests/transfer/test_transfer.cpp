// Program, point and MBK transfers end to end against the simulator: what
// goes on the wire, what the files hold, what the user is told, and how the
// transfers fail.
#include "link/sjis.h"
#include "sim/machine.h"
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

// Runs `op` on `path` the way the user starts it and waits until it has
// ended (its alerts, if any, shown); false when it did not end in time.
bool run(MonitorFixture &f, Op op, const QString &path)
{
    static const QMap<Op, QCoro::Task<> (transfer::Transfers::*)()> actions{
        {Op::ProgramSave, &transfer::Transfers::programSave},
        {Op::PointLoad, &transfer::Transfers::pointLoad},
        {Op::PointSave, &transfer::Transfers::pointSave},
        {Op::MbkLoad, &transfer::Transfers::mbkLoad},
        {Op::MbkSave, &transfer::Transfers::mbkSave}};
    f.dialogs.setNextFileName(path);
    // The program loads go through their controls: the button is the block load, the menu the line load.
    if (op == Op::ProgramLoadHs || op == Op::ProgramLoad) {
        if (op == Op::ProgramLoadHs)
            control<QPushButton>(f.window.get(), "buttonFileOpen")->click();
        else
            control<QAction>(f.window.get(), "menuOpenFile")->trigger();
        return f.waitFor([&f] { return !f.link().busy(); }, 10000);
    }
    transfer::Transfers *t = &f.window->transfers();
    const auto fn = actions.value(op);
    return f.run([t, fn] { return (t->*fn)(); });
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

QByteArray sjis(const QString &s)
{
    return wire::sjisEncode(s);
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

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

        const QString program = QStringLiteral("PRINT \"日本語のテキスト\"\nS$=\"ﾃｽﾄ\\表\"\n*LOOP\n"
                                               "A=A+1 : GOTO *LOOP\n");
        QTest::newRow("program, line load")
            << Kind::Program << int(Op::ProgramLoad) << program << "NEW Program";
        QTest::newRow("program, block load")
            << Kind::Program << int(Op::ProgramLoadHs) << program << "NEW Program";
        QTest::newRow("points") << Kind::Point << int(Op::PointLoad)
                                << "SETP 1 100 -200 300 0\nSETP 42 1 2 3 4\nSETP 9999 -1000000 0 0 7\n"
                                << "NEWP Point";
        QTest::newRow("mbk") << Kind::Mbk << int(Op::MbkLoad)
                             << "MBK(0~Wrd)=1\nMBK(100~Wrd)=65535\nMBK(7000~Wrd)=12345\n"
                             << "NEWM MBK";
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

    void slowListingOutlastingTheTimeoutIsSavedWhole()
    {
        // 2 MB streaming for about 2.5 s, against a 1 s time-out counted from the last byte.
        MonitorFixture &f = *m_f;
        const QString body = QStringLiteral("PRINT \"%1\"").arg(QString(40, QLatin1Char('x')));
        f.sim->withMachine([&](sim::Machine &m) {
            for (int n = 1; n <= 40000; ++n)
                m.handleLine(QString::number(n) + ' ' + body);
        });
        sim::Options slow = MonitorFixture::makeOptions();
        slow.slowBps = 800000;
        f.sim->setOptions(slow);
        f.timeoutField()->setText(QStringLiteral("1"));
        QVERIFY(run(f, Op::ProgramSave, f.tempDir.filePath(QStringLiteral("big.f2k"))));
        QCOMPARE(f.dialogs.alertTexts(), QStringList());
        QCOMPARE(bytesOf(f.tempDir.filePath(QStringLiteral("big.f2k"))), sjis(body + '\n').repeated(40000));
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

    void unreadableFileSendsNothing_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("reason");
        QTest::newRow("line load, missing") << int(Op::ProgramLoad) << false << "";
        QTest::newRow("block load, not Shift-JIS") << int(Op::ProgramLoadHs) << true << "Line 2";
    }

    void unreadableFileSendsNothing()
    {
        QFETCH(int, op);
        QFETCH(bool, exists);
        QFETCH(QString, reason);
        MonitorFixture &f = *m_f;
        const QString path = f.tempDir.filePath(QStringLiteral("bad file.f2k"));
        if (exists)
            put(path, QByteArray("A=1\r\nB=\"\x82\"\r\n"));
        f.clearCommands();
        QVERIFY(run(f, Op(op), path));

        QCOMPARE(f.dialogs.alertTexts(), QStringList{QStringLiteral("Read Error\n\n\"") + path + "\""});
        QVERIFY(f.dialogs.entries.last().style == Dialogs::Style::Critical &&
                f.dialogs.entries.last().informative.contains(reason));
        f.settle();
        QCOMPARE(f.sim->received(), QByteArray());
        QVERIFY(wire::isUp(f.link().state()));
        QVERIFY(remembered(f, Kind::Program).first.isEmpty());
    }

    void waitTimeoutClearsFlag_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("answered");
        QTest::addColumn<QString>("content");
        // "answered" command lines get replies, the next one stalls.
        QTest::newRow("program line") << int(Op::ProgramLoad) << 3 << "A=1\nB=2\nC=3\n";
        QTest::newRow("program clear") << int(Op::ProgramLoad) << 1 << "A=1\n";
        QTest::newRow("mbk listing") << int(Op::MbkSave) << 0 << "";
        QTest::newRow("block MMC_LOAD") << int(Op::ProgramLoadHs) << 0 << "A=1\n";
    }

    void waitTimeoutClearsFlag()
    {
        QFETCH(int, op);
        QFETCH(int, answered);
        QFETCH(QString, content);
        MonitorFixture &f = *m_f;
        const bool load = !content.isEmpty();
        const QString path =
            f.tempDir.filePath(load ? QStringLiteral("stall.txt") : QStringLiteral("out.txt"));
        if (load)
            put(path, content.toLatin1());
        f.timeoutField()->setText(QStringLiteral("1"));
        sim::Options stall = MonitorFixture::makeOptions();
        stall.stallAfter = answered;
        f.sim->setOptions(stall);

        QVERIFY(run(f, Op(op), path));

        QCOMPARE(f.dialogs.alertTexts().size(), 1);
        QVERIFY2(f.dialogs.alertTexts().first().startsWith(QStringLiteral("Receive Timeout\n\n")),
                 qPrintable(f.dialogs.alertTexts().first()));
        QVERIFY(!wire::isUp(f.link().state()) && !f.link().waiting());
        QVERIFY(!f.consoleText().contains(QRegularExpression(QStringLiteral("(Loaded|Saved) \""))));
        for (Kind k : {Kind::Program, Kind::Point, Kind::Mbk})
            QCOMPARE(remembered(f, k), qMakePair(QString(), QString()));
        QVERIFY(load || !QFile::exists(path));

        // The next connection logs in: no wait flag was left to swallow its prompts.
        f.sim->setOptions(MonitorFixture::makeOptions());
        f.clearCommands();
        QVERIFY(f.connectToSim());
    }

    void saveWriteError_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("target");
        QTest::newRow("program, a directory") << Kind::Program << "folder.f2k";
        QTest::newRow("mbk, a missing folder") << Kind::Mbk << "nowhere/x.mbk";
    }

    void saveWriteError()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, target);
        MonitorFixture &f = *m_f;
        QDir dir(f.tempDir.path());
        QVERIFY(dir.mkdir(QStringLiteral("folder.f2k")));
        f.sim->withMachine([](sim::Machine &m) {
            m.handleLine(QStringLiteral("10 A=1"));
            m.handleLine(QStringLiteral("MBK(5~Wrd)=9"));
        });

        const QString good = dir.filePath(QStringLiteral("good.") + transfer::traits(kind).extension);
        QVERIFY(run(f, saveOp(kind), good));
        QVERIFY(QFile::exists(good));

        const QString bad = dir.filePath(target);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Save Error, ")));
        QVERIFY(run(f, saveOp(kind), bad));

        QCOMPARE(f.dialogs.alertTexts(), QStringList{QStringLiteral("Save Error\n\n\"") + bad + "\""});
        QVERIFY(!f.dialogs.entries.last().informative.isEmpty() &&
                f.dialogs.entries.last().style == Dialogs::Style::Critical);
        QVERIFY(!f.consoleText().contains(bad));
        QCOMPARE(remembered(f, kind).second, good);
        // The status line keeps the last progress of the failed save.
        QVERIFY2(f.statusLine()->text().startsWith(QLatin1Char('"') + QFileInfo(bad).fileName()),
                 qPrintable(f.statusLine()->text()));
        QVERIFY(wire::isUp(f.link().state()));
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

// The command line (every option and its mistakes) and the built-in simulator it and
// the File menu start: the window left logged in, the address that survives a visit.
#include "app/builtinsimulator.h"
#include "app/commandline.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

using app::CommandLine;
using Action = CommandLine::Action;

namespace {

CommandLine parsed(const QStringList &options)
{
    return app::parseCommandLine(QStringList{QStringLiteral("quorin-monitor")} + options);
}

// What a parse decided, in words: the action, then what it runs with.
QString outcome(const CommandLine &c)
{
    QStringList words{c.action == Action::Run        ? "run"
                      : c.action == Action::ShowHelp ? "help"
                      : c.action == Action::Fail     ? "fail"
                                                     : "version",
                      c.connectTo, c.simulator ? "simulator" : "", c.watchOnly ? "watch-only" : ""};
    words.removeAll(QString());
    const char *tasks[] = {"", "backup", "restore", "compare", "exec"};
    if (c.headless())
        words << QLatin1String(tasks[int(c.task)])
              << (c.commands.isEmpty() ? c.folder : c.commands.join('|'));
    return words.join(u' ');
}

bool loggedIn(MonitorFixture &f)
{
    return wire::isUp(f.link().state()) && f.consoleText().endsWith(QLatin1Char('#'));
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    // Each row expects the parse's outcome in words when it runs; otherwise
    // its first word, then a pattern the printed text must match.
    void parse_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("expect");
        QTest::addRow("nothing") << QStringList{} << "run";
        QTest::addRow("connect") << QStringList{"--connect", "127.0.0.1:2323"} << "run 127.0.0.1:2323";
        QTest::addRow("connect= v6") << QStringList{"--connect=[::1]:2323"} << "run [::1]:2323";
        QTest::addRow("bare host") << QStringList{"--connect", " localhost "} << "run localhost";
        QTest::addRow("simulator") << QStringList{"--simulator"} << "run simulator";
        QTest::addRow("watch only") << QStringList{"--watch-only"} << "run watch-only";
        QTest::addRow("watch only, connecting")
            << QStringList{"--connect", "127.0.0.1:2323", "--watch-only"} << "run 127.0.0.1:2323 watch-only";
        QTest::addRow("Qt's options")
            << QStringList{"-platform", "offscreen", "--simulator", "-reverse"} << "run simulator";
        QTest::addRow("help") << QStringList{"--help"}
                              << "help ^Usage: quorin-monitor \\[options\\][\\s\\S]*exit[\\s\\S]*--connect "
                                 "<ADDRESS\\|NAME>[\\s\\S]*--simulator[\\s\\S]*--watch-only[\\s\\S]*--backup "
                                 "<FOLDER>[\\s\\S]*--restore <FOLDER>[\\s\\S]*--yes[\\s\\S]*--exec "
                                 "<COMMAND>[\\s\\S]*--compare <FOLDER>";
        QTest::addRow("-h") << QStringList{"-h"} << "help ^Usage:";
        QTest::addRow("help-all") << QStringList{"--help-all"} << "help ^Usage:";
        QTest::addRow("version") << QStringList{"--version"}
                                 << "version ^quorin-monitor \\d+\\.\\d+(\\.\\d+)*\\n$";
        QTest::addRow("unknown") << QStringList{"--bogus"} << "fail bogus[\\s\\S]*--help";
        QTest::addRow("no address") << QStringList{"--connect"} << "fail connect";
        QTest::addRow("empty address")
            << QStringList{"--connect", ""} << "fail needs an address or a controller's name";
        // Not addresses, so perhaps names: the address book decides later.
        QTest::addRow("port too big, a name?")
            << QStringList{"--connect", "127.0.0.1:65536"} << "run 127.0.0.1:65536";
        QTest::addRow("open bracket, a name?") << QStringList{"--connect", "[::1:23"} << "run [::1:23";
        QTest::addRow("both") << QStringList{"--simulator", "--connect", "127.0.0.1"} << "fail together";
        QTest::addRow("twice") << QStringList{"--connect", "127.0.0.1", "--connect", "::1"}
                               << "fail more than once";
        QTest::addRow("stray word") << QStringList{"127.0.0.1"} << "fail unexpected argument";
        // The tasks run without a window.
        QTest::addRow("backup") << QStringList{"--simulator", "--backup", "/srv/b"}
                                << "run simulator backup /srv/b";
        QTest::addRow("restore") << QStringList{"--connect", "::1", "--restore", "/srv/b/x", "--yes"}
                                 << "run ::1 restore /srv/b/x";
        QTest::addRow("compare") << QStringList{"--simulator", "--compare=/srv/b/x"}
                                 << "run simulator compare /srv/b/x";
        QTest::addRow("exec, in order")
            << QStringList{"--simulator", "--exec", "PR 1", "--exec", "A=2"} << "run simulator exec PR 1|A=2";
        QTest::addRow("restore unconfirmed") << QStringList{"--simulator", "--restore", "/b"} << "fail --yes";
        QTest::addRow("yes alone") << QStringList{"--simulator", "--yes"} << "fail --yes goes with --restore";
        QTest::addRow("two tasks") << QStringList{"--simulator", "--backup", "/b", "--exec", "PR 1"}
                                   << "fail cannot be combined";
        QTest::addRow("no controller") << QStringList{"--backup", "/b"} << "fail need --connect";
        QTest::addRow("backup twice")
            << QStringList{"--simulator", "--backup", "/a", "--backup", "/b"} << "fail more than once";
        QTest::addRow("empty folder")
            << QStringList{"--simulator", "--compare", " "} << "fail needs a folder";
        QTest::addRow("watch only without a window")
            << QStringList{"--simulator", "--watch-only", "--exec", "PR 1"} << "fail for the window";
    }
    void parse()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, expect);
        const CommandLine c = parsed(options);
        const QString action = expect.section(u' ', 0, 0);
        QCOMPARE(outcome(c).section(u' ', 0, 0), action);
        QCOMPARE(c.exitCode(), action == QLatin1String("fail") ? 2 : 0);
        if (action == QLatin1String("run"))
            QCOMPARE(outcome(c), expect);
        else
            QVERIFY2(QRegularExpression(expect.section(u' ', 1)).match(c.text).hasMatch(),
                     qPrintable(c.text));
        if (action == QLatin1String("fail"))
            QVERIFY(c.text.startsWith(QLatin1String("quorin-monitor: ")));
    }

    // The built-in simulator serves this process only: another process's client is closed on
    // before a word (the fixture's simulator greets it); the monitor logs in and polls.
    void builtInSimulatorServesThisProcessOnly()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows gives no way here to tell which process a loopback client is");
#endif
#ifdef __SANITIZE_THREAD__
        QSKIP("ThreadSanitizer cannot follow this process starting another");
#endif
        const auto stranger = [](quint16 port) {
            QProcess client;
            client.start(QStringLiteral(QUORIN_FOREIGN_CLIENT), {QString::number(port)});
            // Both servers answer from threads of their own.
            if (!client.waitForFinished(15000))
                return QByteArray("did not finish");
            return client.readAllStandardOutput();
        };
        MonitorFixture f;
        QVERIFY(stranger(f.sim->port()).contains("Login    :"));

        BuiltInSimulator builtIn(*f.window);
        startFromCommandLine(parsed({"--simulator"}), *f.window, builtIn);
        QVERIFY(f.waitFor([&] { return loggedIn(f); }, 10000));
        QVERIFY(f.window->windowTitle().contains(QLatin1String("simulator")));
        const quint16 port = builtIn.address().section(QLatin1Char(':'), 1).toUShort();
        QCOMPARE(f.addressField()->text(), QStringLiteral("127.0.0.1:%1").arg(port));
        QCOMPARE(stranger(port), QByteArray("[closed]"));

        QVERIFY(f.exchange(QStringLiteral("A=25")));
        control<QLineEdit>(f.window.get(), QStringLiteral("textfieldVariName0"))
            ->setText(QStringLiteral("A"));
        control<QCheckBox>(f.window.get(), QStringLiteral("checkboxVari0"))->setChecked(true);
        f.selectTab(QStringLiteral("2"));
        auto *value = control<QLabel>(f.window.get(), QStringLiteral("textfieldVariValue0"));
        QVERIFY(f.waitFor([&] { return value->text() == QLatin1String("25"); }));
    }

    // --connect waits for the window. A simulator that cannot listen says so once and changes
    // nothing; the menu entry then leaves the controller for it (twice), the stored address kept.
    void connectOptionThenTheMenuEntry()
    {
        MonitorFixture f;
        const QString controller = QStringLiteral("127.0.0.1:%1").arg(f.sim->port());
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        const quint16 port = taken.serverPort();
        BuiltInSimulator builtIn(*f.window, nullptr, port);
        startFromCommandLine(parsed({"--connect", controller}), *f.window, builtIn);
        // Not before the window shows, that is before the event loop runs.
        QVERIFY(!wire::isUp(f.link().state()));
        QVERIFY(
            f.waitFor([&] { return loggedIn(f) && f.sim->commands().contains(QStringLiteral("CMD$ 0")); }));
        QCOMPARE(f.addressField()->text(), controller);

        f.window->simulatorAction()->trigger();
        f.settle();
        QCOMPARE(f.dialogs.alertTexts().size(), 1);
        QVERIFY(f.dialogs.entries.last().informative.contains(QString::number(port)));
        QVERIFY(builtIn.address().isEmpty());
        QCOMPARE(f.link().address(), controller);
        QCOMPARE(f.addressField()->text(), controller);
        QVERIFY(loggedIn(f) && !f.window->windowTitle().contains(QLatin1String("simulator")));

        taken.close();
        for (int visit = 0; visit < 2; ++visit) {
            f.window->simulatorAction()->trigger();
            QVERIFY(f.waitFor([&] { return loggedIn(f) && f.addressField()->text() != controller; }));
            QVERIFY(f.window->windowTitle().contains(QLatin1String("simulator")));
        }
        QCOMPARE(f.addressField()->text(), QStringLiteral("127.0.0.1:%1").arg(port));
        QVERIFY(f.closeWindow());
        QCOMPARE(f.settings->value(QStringLiteral("ipaddress")).toString(), controller);
        QVERIFY(!f.window->windowTitle().contains(QLatin1String("simulator")));

        // An address typed after the visit is the user's own again.
        f.addressField()->setText(QStringLiteral("[::1]:2500"));
        f.window->saveSettings();
        QCOMPARE(f.settings->value(QStringLiteral("ipaddress")).toString(), QString("[::1]:2500"));
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_commandline.moc"

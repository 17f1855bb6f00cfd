// The command line (every option and its mistakes) and the built-in
// simulator it and the File menu start: the window it leaves logged in, and
// the controller address that survives a visit to it.
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

bool loggedIn(MonitorFixture &f)
{
    return wire::isUp(f.link().state()) && f.consoleText().endsWith(QLatin1Char('#'));
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("connectTo");
        QTest::addColumn<bool>("simulator");
        QTest::addColumn<bool>("watchOnly");
        // Run: nothing; Fail: a pattern the message must match.
        QTest::addColumn<QString>("says");
        const int run = int(Action::Run), fail = int(Action::Fail);

        QTest::newRow("nothing") << QStringList{} << run << "" << false << false << "";
        QTest::newRow("connect") << QStringList{"--connect", "127.0.0.1:2323"} << run << "127.0.0.1:2323"
                                 << false << false << "";
        QTest::newRow("connect= v6") << QStringList{"--connect=[::1]:2323"} << run << "[::1]:2323" << false
                                     << false << "";
        QTest::newRow("bare host") << QStringList{"--connect", " localhost "} << run << "localhost" << false
                                   << false << "";
        QTest::newRow("simulator") << QStringList{"--simulator"} << run << "" << true << false << "";
        QTest::newRow("watch only") << QStringList{"--watch-only"} << run << "" << false << true << "";
        QTest::newRow("watch only, connecting") << QStringList{"--connect", "127.0.0.1:2323", "--watch-only"}
                                                << run << "127.0.0.1:2323" << false << true << "";
        QTest::newRow("Qt's options") << QStringList{"-platform", "offscreen", "--simulator", "-reverse"}
                                      << run << "" << true << false << "";
        QTest::newRow("help")
            << QStringList{"--help"} << int(Action::ShowHelp) << "" << false << false
            << "^Usage: quorin-monitor \\[options\\][\\s\\S]*exit[\\s\\S]*--connect "
               "<ADDRESS\\|NAME>[\\s\\S]*--simulator[\\s\\S]*--watch-only"
               "[\\s\\S]*--backup <FOLDER>[\\s\\S]*--restore <FOLDER>[\\s\\S]*--yes[\\s\\S]*--exec <COMMAND>"
               "[\\s\\S]*--compare <FOLDER>";
        QTest::newRow("-h") << QStringList{"-h"} << int(Action::ShowHelp) << "" << false << false
                            << "^Usage:";
        QTest::newRow("help-all") << QStringList{"--help-all"} << int(Action::ShowHelp) << "" << false
                                  << false << "^Usage:";
        QTest::newRow("version") << QStringList{"--version"} << int(Action::ShowVersion) << "" << false
                                 << false << "^quorin-monitor \\d+\\.\\d+(\\.\\d+)*\\n$";

        QTest::newRow("unknown") << QStringList{"--bogus"} << fail << "" << false << false
                                 << "bogus[\\s\\S]*--help";
        QTest::newRow("no address") << QStringList{"--connect"} << fail << "" << false << false << "connect";
        QTest::newRow("empty address") << QStringList{"--connect", ""} << fail << "" << false << false
                                       << "needs an address or a controller's name";
        // Not addresses, so perhaps names: the address book decides later.
        QTest::newRow("port too big, a name?") << QStringList{"--connect", "127.0.0.1:65536"} << run
                                               << "127.0.0.1:65536" << false << false << "";
        QTest::newRow("open bracket, a name?")
            << QStringList{"--connect", "[::1:23"} << run << "[::1:23" << false << false << "";
        QTest::newRow("both") << QStringList{"--simulator", "--connect", "127.0.0.1"} << fail << "" << false
                              << false << "together";
        QTest::newRow("twice") << QStringList{"--connect", "127.0.0.1", "--connect", "::1"} << fail << ""
                               << false << false << "more than once";
        QTest::newRow("stray word") << QStringList{"127.0.0.1"} << fail << "" << false << false
                                    << "unexpected argument";
    }
    void parse()
    {
        QFETCH(QStringList, options);
        QFETCH(int, action);
        QFETCH(QString, connectTo);
        QFETCH(bool, simulator);
        QFETCH(bool, watchOnly);
        QFETCH(QString, says);
        const CommandLine c = parsed(options);
        QCOMPARE(int(c.action), action);
        QCOMPARE(c.exitCode(), c.action == Action::Fail ? 2 : 0);
        QCOMPARE(c.connectTo, connectTo);
        QCOMPARE(c.simulator, simulator);
        QCOMPARE(c.watchOnly, watchOnly);
        if (!says.isEmpty())
            QVERIFY2(QRegularExpression(says).match(c.text).hasMatch(), qPrintable(c.text));
        if (c.action == Action::Fail)
            QVERIFY(c.text.startsWith(QLatin1String("quorin-monitor: ")));
    }

    // The options that run without a window: what each asks for, and the
    // combinations that make no sense.
    void headlessOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("task");
        QTest::addColumn<QString>("detail"); // the folder or the commands joined by "|"; Fail: a pattern
        using T = CommandLine::Task;
        const int fail = -1;
        QTest::newRow("backup") << QStringList{"--simulator", "--backup", "/srv/b"} << int(T::Backup)
                                << "/srv/b";
        QTest::newRow("restore") << QStringList{"--connect", "::1", "--restore", "/srv/b/x", "--yes"}
                                 << int(T::Restore) << "/srv/b/x";
        QTest::newRow("compare") << QStringList{"--simulator", "--compare=/srv/b/x"} << int(T::Compare)
                                 << "/srv/b/x";
        QTest::newRow("exec, in order")
            << QStringList{"--simulator", "--exec", "PR 1", "--exec", "A=2"} << int(T::Exec) << "PR 1|A=2";
        QTest::newRow("restore unconfirmed")
            << QStringList{"--simulator", "--restore", "/b"} << fail << "--yes";
        QTest::newRow("yes alone") << QStringList{"--simulator", "--yes"} << fail
                                   << "--yes goes with --restore";
        QTest::newRow("two tasks") << QStringList{"--simulator", "--backup", "/b", "--exec", "PR 1"} << fail
                                   << "cannot be combined";
        QTest::newRow("no controller") << QStringList{"--backup", "/b"} << fail << "need --connect";
        QTest::newRow("backup twice")
            << QStringList{"--simulator", "--backup", "/a", "--backup", "/b"} << fail << "more than once";
        QTest::newRow("empty folder")
            << QStringList{"--simulator", "--compare", " "} << fail << "needs a folder";
        QTest::newRow("watch only without a window")
            << QStringList{"--simulator", "--watch-only", "--exec", "PR 1"} << fail << "for the window";
    }
    void headlessOptions()
    {
        QFETCH(QStringList, options);
        QFETCH(int, task);
        QFETCH(QString, detail);
        const CommandLine c = parsed(options);
        if (task < 0) {
            QCOMPARE(c.action, Action::Fail);
            QCOMPARE(c.exitCode(), 2);
            QVERIFY2(c.text.contains(detail), qPrintable(c.text));
            return;
        }
        QCOMPARE(c.action, Action::Run);
        QVERIFY(c.headless());
        QCOMPARE(int(c.task), task);
        QCOMPARE(task == int(CommandLine::Task::Exec) ? c.commands.join('|') : c.folder, detail);
    }

    void simulatorOptionLogsInAndLeavesTheStoredAddress()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        f.addressField()->setText(QStringLiteral("controller.invalid:23"));
        BuiltInSimulator builtIn(*f.window);
        startFromCommandLine(parsed({"--simulator"}), *f.window, builtIn);
        QVERIFY(f.waitFor([&] { return loggedIn(f); }, 10000));
        QVERIFY(f.addressField()->text().startsWith(QLatin1String("127.0.0.1:")));
        QVERIFY(f.window->windowTitle().contains(QLatin1String("simulator")));

        QVERIFY(f.closeWindow());
        QCOMPARE(f.settings->value(QStringLiteral("ipaddress")).toString(), QString("controller.invalid:23"));
        QVERIFY(!f.window->windowTitle().contains(QLatin1String("simulator")));
    }

    // The built-in simulator runs in the monitor's process and holds what was
    // loaded into it: a client from any other process is closed on before a
    // word, the monitor itself logs in and polls. The stranger has to be
    // another process, so it is a small program of the tests; the fixture's
    // own simulator, open to every loopback client like quorin-sim, shows
    // that the stranger would otherwise be greeted.
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
        QVERIFY(builtIn.connectMonitor());
        QVERIFY(f.waitFor([&] { return loggedIn(f); }, 10000));
        const quint16 port = builtIn.address().section(QLatin1Char(':'), 1).toUShort();
        QCOMPARE(stranger(port), QByteArray("[closed]"));

        // The monitor itself goes on: it polls what it set.
        QVERIFY(f.exchange(QStringLiteral("A=25")));
        control<QLineEdit>(f.window.get(), QStringLiteral("textfieldVariName0"))
            ->setText(QStringLiteral("A"));
        control<QCheckBox>(f.window.get(), QStringLiteral("checkboxVari0"))->setChecked(true);
        f.selectTab(QStringLiteral("2"));
        auto *value = control<QLabel>(f.window.get(), QStringLiteral("textfieldVariValue0"));
        QVERIFY(f.waitFor([&] { return value->text() == QLatin1String("25"); }));
    }

    // A simulator that cannot listen says so once and connects nothing: the
    // window stays as it was, and the menu entry can be tried again.
    void builtInSimulatorThatCannotListen()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        const quint16 port = taken.serverPort();
        f.addressField()->setText(QStringLiteral("controller.invalid:23"));
        BuiltInSimulator builtIn(*f.window, nullptr, port);
        startFromCommandLine(parsed({"--simulator"}), *f.window, builtIn);
        QVERIFY(f.waitFor([&] { return !f.dialogs.alertTexts().isEmpty(); }));
        f.settle();
        QCOMPARE(f.dialogs.alertTexts().size(), 1);
        QVERIFY(f.dialogs.entries.last().informative.contains(QString::number(port)));
        QCOMPARE(f.link().state(), wire::State::Disconnected);
        QVERIFY(builtIn.address().isEmpty());
        QCOMPARE(f.addressField()->text(), QStringLiteral("controller.invalid:23"));
        QVERIFY(!f.window->windowTitle().contains(QLatin1String("simulator")));

        taken.close();
        f.window->simulatorAction()->trigger();
        QVERIFY(f.waitFor([&] { return loggedIn(f); }, 10000));
        QCOMPARE(f.addressField()->text(), QStringLiteral("127.0.0.1:%1").arg(port));
    }

    void connectOptionThenTheMenuEntry()
    {
        MonitorFixture f;
        const QString controller = QStringLiteral("127.0.0.1:%1").arg(f.sim->port());
        BuiltInSimulator builtIn(*f.window);
        startFromCommandLine(parsed({"--connect", controller}), *f.window, builtIn);
        // Not before the window shows, that is before the event loop runs.
        QVERIFY(!wire::isUp(f.link().state()));
        QVERIFY(
            f.waitFor([&] { return loggedIn(f) && f.sim->commands().contains(QStringLiteral("CMD$ 0")); }));
        QCOMPARE(f.addressField()->text(), controller);
        QVERIFY(!f.window->windowTitle().contains(QLatin1String("simulator")));

        // The menu leaves the controller for the simulator; twice, as a user may.
        for (int visit = 0; visit < 2; ++visit) {
            f.window->simulatorAction()->trigger();
            QVERIFY(f.waitFor([&] { return loggedIn(f) && f.addressField()->text() != controller; }));
            QVERIFY(f.window->windowTitle().contains(QLatin1String("simulator")));
        }
        QVERIFY(f.closeWindow());
        QCOMPARE(f.settings->value(QStringLiteral("ipaddress")).toString(), controller);

        // An address typed after the visit is the user's own again.
        f.addressField()->setText(QStringLiteral("[::1]:2500"));
        f.window->saveSettings();
        QCOMPARE(f.settings->value(QStringLiteral("ipaddress")).toString(), QString("[::1]:2500"));
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_commandline.moc"

// The command line (every option and its mistakes), the built-in simulator it and the File
// menu start, and the address book: its dialog, the names it lends the address field, the
// command line and the window-less mode, and what each controller keeps across runs.
#include "app/addressbook.h"
#include "app/builtinsimulator.h"
#include "app/commandline.h"
#include "app/controllersettings.h"
#include "core/watchlock.h"
#include "support/fixture.h"
#include "support/process.h"
#include "support/trendmenu.h"
#include "support/widgets.h"
#include "trend/trenddock.h"

#include <QAction>
#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTest>

using app::AddressBook;
using app::CommandLine;
using Action = CommandLine::Action;
using app::NamedController;

Q_DECLARE_METATYPE(QList<NamedController>)

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

// The program's own settings file under `configHome`, holding `book`.
void storeForTheProgram(const QTemporaryDir &configHome, const AddressBook &book)
{
    QSettings s(configHome.filePath(QStringLiteral("QuorinMonitor/QuorinMonitor.conf")),
                QSettings::NativeFormat);
    book.save(s);
}

// The program as a script starts it, its settings in `configHome`.
ProcessRun monitorProcess(const QString &configHome, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return runProcess(QStringLiteral(QUORIN_MONITOR_BINARY), arguments, env);
}

// Connects to `address` as typed into the field, and waits for the login.
bool connectTo(MonitorFixture &f, const QString &address)
{
    f.addressField()->setText(address);
    control<QPushButton>(f.window.get(), QStringLiteral("buttonConnect"))->click();
    return f.waitFor([&] { return f.link().state() == wire::State::Ready; });
}

// What the trend plots, as its legend names it.
QStringList plotted(MonitorFixture &f)
{
    auto *dock = f.window->findChild<trend::TrendDock *>();
    QStringList labels;
    for (int i = 0; dock && i < dock->seriesCount(); ++i)
        labels << dock->probe(i).label;
    return labels;
}

int currentTab(MonitorFixture &f)
{
    return control<QTabWidget>(f.window.get(), QStringLiteral("tabview"))->currentIndex();
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
    // before a word (the fixture's simulator greets it); the monitor logs in.
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

        // It keeps what it is told (polling it is the fixture's simulator's business elsewhere).
        QVERIFY(f.exchange(QStringLiteral("A=25")));
        QVERIFY(f.exchange(QStringLiteral("PR A")).value_or(QString()).contains(QLatin1String("25")));
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

    void storedAndReadInALaterRun()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        const QList<NamedController> saved{
            {QStringLiteral("press-4"), QStringLiteral("10.1.4.20"), QStringLiteral("Hall B, by the door"),
             true},
            {QStringLiteral("Wrapper 2"), QStringLiteral("[fd00::12]:2323"), QString(), false},
        };
        {
            QSettings s(file, QSettings::IniFormat);
            // A longer list of an earlier run leaves nothing behind.
            AddressBook{saved + QList<NamedController>{{"old", "h", {}, false}}}.save(s);
            AddressBook{saved}.save(s);
        }
        QSettings later(file, QSettings::IniFormat);
        QCOMPARE(later.value(QStringLiteral("controllers/size")).toInt(), 2);
        QCOMPARE(later.value(QStringLiteral("controllers/1/name")).toString(), QString("press-4"));
        AddressBook book;
        book.load(later);
        QCOMPARE(book.controllers, saved);
        QCOMPARE(book.find(QStringLiteral(" PRESS-4 "))->address, QString("10.1.4.20"));
        QVERIFY(!book.find(QStringLiteral("old")));
        QVERIFY(!book.find(QString()));

        // A name of two lines, written by hand, is not read: it would split the journals' lines.
        later.setValue(QStringLiteral("controllers/2/name"), QStringLiteral("Wrapper\n2"));
        book.load(later);
        QCOMPARE(book.controllers, saved.mid(0, 1));
    }

    void problems_data()
    {
        using Book = QList<NamedController>;
        QTest::addColumn<Book>("list");
        QTest::addColumn<QString>("says"); // empty: the list may be saved
        const NamedController a{QStringLiteral("press-4"), QStringLiteral("10.1.4.20"), {}, false};
        QTest::addRow("fine") << Book{a, {"press-5", "10.1.4.21:2323", {}, true}} << QString();
        QTest::addRow("none") << Book{} << QString();
        QTest::addRow("empty name") << Book{a, {"  ", "10.1.4.21", {}, false}} << "Row 2 has no name";
        QTest::addRow("same name, other case")
            << Book{a, {"Press-4", "10.1.4.21", {}, false}} << "\"Press-4\" is used twice";
        QTest::addRow("no address") << Book{{"press-6", "", {}, false}}
                                    << "address of \"press-6\" is not an address";
        QTest::addRow("two lines") << Book{a, {"press\n5", "10.1.4.21", {}, false}}
                                   << "Row 2's name holds a line break";
        QTest::addRow("tab") << Book{{"press\t5", "10.1.4.21", {}, false}}
                             << "Row 1's name holds a line break or another control character";
        QTest::addRow("bad port") << Book{{"press-6", "10.1.4.22:70000", {}, false}}
                                  << "address of \"press-6\" is not an address";
    }

    void problems()
    {
        QFETCH(QList<NamedController>, list);
        QFETCH(QString, says);
        const QString problem = AddressBook::problem(list);
        QVERIFY2(says.isEmpty() ? problem.isEmpty() : problem.contains(says), qPrintable(problem));
    }

    // The dialog keeps a wrong list open and says why; a right one is stored and offered.
    void dialogRefusesThenStores()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        f.window->controllersAction()->trigger();
        auto *dialog = f.window->findChild<QDialog *>(QStringLiteral("controllersDialog"));
        QVERIFY(dialog && dialog->isVisible());
        auto *table = control<QTableWidget>(dialog, QStringLiteral("tableControllers"));
        auto *add = control<QPushButton>(dialog, QStringLiteral("buttonControllerAdd"));
        auto *problem = control<QLabel>(dialog, QStringLiteral("labelControllersProblem"));
        QVERIFY(table && add && problem);
        QPushButton *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        add->click();
        add->click();
        const QStringList cells = {"press-4", "10.1.4.20", "press-4", "10.1.4.21"};
        for (int i = 0; i < cells.size(); ++i)
            table->item(i / 2, i % 2)->setText(cells[i]);
        table->item(1, 3)->setCheckState(Qt::Checked);

        ok->click();
        QVERIFY(dialog->isVisible());
        QVERIFY(problem->isVisible());
        QVERIFY2(problem->text().contains(QLatin1String("used twice")), qPrintable(problem->text()));
        QCOMPARE(f.settings->value(QStringLiteral("controllers/size"), 0).toInt(), 0);

        table->item(1, 0)->setText(QStringLiteral("press-5"));
        QVERIFY(!problem->isVisible());
        ok->click();
        QVERIFY(
            f.waitFor([&] { return !f.window->findChild<QDialog *>(QStringLiteral("controllersDialog")); }));
        QCOMPARE(f.settings->value(QStringLiteral("controllers/size")).toInt(), 2);
        QCOMPARE(f.settings->value(QStringLiteral("controllers/2/name")).toString(), QString("press-5"));
        QCOMPARE(f.settings->value(QStringLiteral("controllers/2/watchOnly")).toBool(), true);

        QCompleter *completer = f.addressField()->completer();
        QVERIFY(completer);
        completer->setCompletionPrefix(QStringLiteral("pre"));
        QCOMPARE(completer->completionCount(), 2);
        completer->setCompletionPrefix(QStringLiteral("10.1.4.2"));
        QCOMPARE(completer->completionCount(), 2);
    }

    // A typed name reaches its controller; the title, status bar and session file carry the
    // name until the connection ends. One kept watch-only connects locked, from the command line.
    void connectByTypedName()
    {
        MonitorFixture run;
        const QString address = QStringLiteral("127.0.0.1:%1").arg(run.sim->port());
        AddressBook{
            {{QStringLiteral("press-4"), address, {}, false}, {QStringLiteral("line-2"), address, {}, true}}}
            .save(*run.settings);
        // The window reads the address book when it is made: a later run.
        MonitorFixture f(MonitorFixture::makeOptions(), false, run.settings->fileName());
        auto *name = control<QLabel>(f.window.get(), QStringLiteral("labelControllerName"));
        QVERIFY(name && !name->isVisible());

        QVERIFY(connectTo(f, QStringLiteral("press-4")));
        QVERIFY(f.waitFor([&] { return loggedIn(f); }));
        QCOMPARE(f.link().address(), address);
        QCOMPARE(f.window->windowTitle(), QString("QuorinMonitor \u2014 press-4"));
        QVERIFY(name->isVisible());
        QCOMPARE(name->text(), QString("press-4"));
        QVERIFY(!f.window->watchLock().locked());

        const QDir sessions(f.tempDir.filePath(QStringLiteral("sessions")));
        QStringList files;
        QVERIFY(f.waitFor([&] {
            files = sessions.entryList({QStringLiteral("*press-4_127.0.0.1_%1.txt").arg(run.sim->port())},
                                       QDir::Files);
            return files.size() == 1;
        }));

        f.disconnect();
        QCOMPARE(f.window->windowTitle(), QString("QuorinMonitor"));
        QVERIFY(!name->isVisible());
        QFile session(sessions.filePath(files.first()));
        QVERIFY(f.waitFor([&] { return session.size() > 0; }));
        QVERIFY(session.open(QIODevice::ReadOnly));
        const QString header = QString::fromUtf8(session.readLine());
        QVERIFY2(header.contains(QStringLiteral("press-4 (%1)").arg(address)), qPrintable(header));

        // A watch-only one, named on the command line in another case.
        BuiltInSimulator builtIn(*f.window);
        startFromCommandLine(
            app::resolveControllerName(parsed({"--connect", "LINE-2"}), f.window->addressBook()), *f.window,
            builtIn);
        QVERIFY(f.waitFor([&] { return loggedIn(f) && f.window->watchLock().locked(); }));
        QCOMPARE(f.window->windowTitle(), QString("QuorinMonitor \u2014 line-2"));
        f.disconnect();
        // The field keeps the name for the next run.
        QVERIFY(f.closeWindow());
        QCOMPARE(f.settings->value(QStringLiteral("ipaddress")).toString(), QString("line-2"));
    }

    // Each controller keeps its own time-out, last page and plots; a new one changes none of them.
    void settingsFollowTheController()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), true, QString(), MonitorFixture::Pages::AsShown);
        sim::Server other(MonitorFixture::makeOptions());
        QVERIFY(other.start());
        const QString first = QStringLiteral("127.0.0.1:%1").arg(f.sim->port());
        const QString second = QStringLiteral("127.0.0.1:%1").arg(other.port());

        f.timeoutField()->setText(QStringLiteral("7"));
        QVERIFY(connectTo(f, first));
        f.selectTab(QStringLiteral("2"));
        QVERIFY(plot(f, QStringLiteral("Outputs"), QStringLiteral("OUT 3")));
        f.disconnect();

        f.timeoutField()->setText(QStringLiteral("30"));
        QVERIFY(connectTo(f, second));
        QCOMPARE(f.timeoutField()->text(), QString("30"));
        QCOMPARE(currentTab(f), 0);
        QCOMPARE(plotted(f), QStringList{"OUT 3"});
        QVERIFY(plot(f, QStringLiteral("Tasks"), QStringLiteral("Task 0 step")));
        f.disconnect();

        QVERIFY(connectTo(f, first));
        QCOMPARE(f.timeoutField()->text(), QString("7"));
        QVERIFY(f.waitFor([&] { return currentTab(f) == 2 && f.window->poller().isRunning(); }));
        QCOMPARE(plotted(f), QStringList{"OUT 3"});
        f.disconnect();
        // And in a later run.
        QVERIFY(f.closeWindow());
        MonitorFixture later(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QVERIFY(connectTo(later, second));
        QVERIFY(later.waitFor([&] { return plotted(later) == QStringList({"OUT 3", "Task 0 step"}); }));
        QCOMPARE(later.timeoutField()->text(), QString("30"));
    }

    // A kept plot is read every poll tick: one whose read could write is never taken back.
    void keptPlotsOnlyRead()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        app::ControllerSettings kept;
        const QStringList commands = {"PR A", "ON 3", "PR C:CLR", "PRA D 1", "PRA E 1:OFF 2"};
        for (int i = 0; i < commands.size(); ++i)
            kept.series << ui::PlotProbe{QString(QChar(u'A' + i)), commands[i],
                                         ui::PlotProbe::Extract::Number, 0};
        kept.save(store, app::controllerKey(QStringLiteral("press-4"), QStringLiteral("127.0.0.1:1")));
        QStringList back;
        for (const ui::PlotProbe &p :
             app::ControllerSettings::load(store, app::controllerKey(QStringLiteral(" Press-4"), {})).series)
            back << p.label;
        QCOMPARE(back, QStringList({"A", "D"}));
        QVERIFY(!app::ControllerSettings::load(store, app::controllerKey({}, QStringLiteral("127.0.0.1:1")))
                     .found);
    }

    // A script may read a watch-only controller but not change it; a name the book lacks is a
    // usage error, with a window or without (any case: connectByTypedName).
    void namesInAScript_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("says"); // empty: it runs
        const QString watched = QStringLiteral("'line-2' is watch only");
        const QString unknown = QStringLiteral("no controller in the address book");
        QTest::addRow("restore") << QStringList{"--connect", "line-2", "--restore", "/tmp/b", "--yes"}
                                 << watched;
        QTest::addRow("exec") << QStringList{"--connect", "line-2", "--exec", "PR 1"} << watched;
        QTest::addRow("backup") << QStringList{"--connect", "line-2", "--backup", "/tmp"} << QString();
        QTest::addRow("compare") << QStringList{"--connect", "line-2", "--compare", "/tmp/b"} << QString();
        QTest::addRow("restore, not watch-only")
            << QStringList{"--connect", "press-4", "--restore", "/tmp/b", "--yes"} << QString();
        QTest::addRow("exec, not watch-only")
            << QStringList{"--connect", "press-4", "--exec", "PR 1"} << QString();
        QTest::addRow("unknown, window") << QStringList{"--connect", "Press 9"} << unknown;
        QTest::addRow("unknown, no window")
            << QStringList{"--connect", "Press 9", "--exec", "PR 1"} << unknown;
        QTest::addRow("not an address either")
            << QStringList{"--connect", "127.0.0.1:65536", "--exec", "PR 1"} << unknown;
    }
    void namesInAScript()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, says);
        const AddressBook book{{{"line-2", "127.0.0.1:1", {}, true}, {"press-4", "127.0.0.1:2", {}, false}}};
        const CommandLine c = app::resolveControllerName(parsed(options), book);
        if (says.isEmpty()) {
            QCOMPARE(c.action, Action::Run);
            QCOMPARE(c.connectTo, book.find(options.at(1))->address);
            QCOMPARE(c.connectName, book.find(options.at(1))->name);
            return;
        }
        QCOMPARE(c.action, Action::Fail);
        QCOMPARE(c.exitCode(), 2);
        QVERIFY2(c.text.contains(says), qPrintable(c.text));
        if (book.find(options.at(1)))
            return;

        // The program itself, with an address book that lacks the name.
        QTemporaryDir config;
        storeForTheProgram(config, book);
        const ProcessRun r = monitorProcess(config.path(), options + QStringList{"-platform", "offscreen"});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("'%1'").arg(options.at(1))), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    // The window-less mode reads the same book and backs up into a folder named after the controller.
    void headlessResolvesAName()
    {
        MonitorFixture f;
        QTemporaryDir config;
        storeForTheProgram(config,
                           {{{"press-4", QStringLiteral("127.0.0.1:%1").arg(f.sim->port()), {}, false}}});
        const ProcessRun exec = monitorProcess(config.path(), {"--connect", "press-4", "--exec", "PR 6*7"});
        QCOMPARE(exec.status, 0);
        QCOMPARE(exec.out.trimmed(), QString("42"));

        QTemporaryDir backups;
        const ProcessRun backup =
            monitorProcess(config.path(), {"--connect", "press-4", "--backup", backups.path()});
        QVERIFY2(backup.status == 0, qPrintable(backup.err));
        QVERIFY2(QFileInfo(backup.out.trimmed()).fileName().contains(QLatin1String("press-4")),
                 qPrintable(backup.out));
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_commandline.moc"

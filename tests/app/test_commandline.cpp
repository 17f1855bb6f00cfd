// The command line, the built-in simulator, and the address book, with a window or without.
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

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

using app::AddressBook;
using app::CommandLine;
using Action = CommandLine::Action;
using app::NamedController;

Q_DECLARE_METATYPE(QList<NamedController>)

namespace {

CommandLine parsed(const QStringList &options)
{
    return app::parseCommandLine(QStringList{u"quorin-monitor"_s} + options);
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
    return wire::isUp(f.link().state()) && f.consoleText().endsWith(u'#');
}

ProcessRun monitorProcess(const AddressBook &book, const QStringList &arguments)
{
    QTemporaryDir config;
    QSettings s(config.filePath("QuorinMonitor/QuorinMonitor.conf"), QSettings::NativeFormat);
    book.save(s);
    s.sync();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    return runProcess(QUORIN_MONITOR_BINARY, arguments, env);
}

QStringList plotted(MonitorFixture &f)
{
    auto *dock = f.window->findChild<trend::TrendDock *>();
    QStringList labels;
    for (int i = 0; dock && i < dock->seriesCount(); ++i)
        labels << dock->probe(i).label;
    return labels;
}

void row(const char *name, const QStringList &options, const QString &expect)
{
    QTest::addRow("%s", name) << options << expect;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    // A run expects the outcome in words; anything else its first word, then a pattern of the text.
    void parse_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("expect");
        row("nothing", {}, "run");
        row("connect= v6", {"--connect=[::1]:2323"}, "run [::1]:2323");
        row("bare host", {"--connect", " localhost "}, "run localhost");
        row("simulator", {"--simulator"}, "run simulator");
        row("watch only", {"--watch-only"}, "run watch-only");
        row("watch only, connecting", {"--connect", "127.0.0.1:2323", "--watch-only"},
            "run 127.0.0.1:2323 watch-only");
        row("Qt's options", {"-platform", "offscreen", "--simulator", "-reverse"}, "run simulator");
        row("help", {"--help"},
            "help ^Usage: quorin-monitor \\[options\\][\\s\\S]*exit[\\s\\S]*--connect "
            "<ADDRESS\\|NAME>[\\s\\S]*--simulator[\\s\\S]*--watch-only[\\s\\S]*--backup "
            "<FOLDER>[\\s\\S]*--restore <FOLDER>[\\s\\S]*--yes[\\s\\S]*--exec "
            "<COMMAND>[\\s\\S]*--compare <FOLDER>");
        row("help-all", {"--help-all"}, "help ^Usage:");
        row("version", {"--version"}, "version ^quorin-monitor \\d+\\.\\d+(\\.\\d+)*\\n$");
        row("unknown", {"--bogus"}, "fail bogus[\\s\\S]*--help");
        row("no address", {"--connect"}, "fail connect");
        row("empty address", {"--connect", ""}, "fail needs an address or a controller's name");
        // Not addresses, so perhaps names: the address book decides later.
        row("port too big, a name?", {"--connect", "127.0.0.1:65536"}, "run 127.0.0.1:65536");
        row("open bracket, a name?", {"--connect", "[::1:23"}, "run [::1:23");
        row("both", {"--simulator", "--connect", "127.0.0.1"}, "fail together");
        row("twice", {"--connect", "127.0.0.1", "--connect", "::1"}, "fail more than once");
        row("stray word", {"127.0.0.1"}, "fail unexpected argument");
        row("backup", {"--simulator", "--backup", "/srv/b"}, "run simulator backup /srv/b");
        row("restore", {"--connect", "::1", "--restore", "/srv/b/x", "--yes"}, "run ::1 restore /srv/b/x");
        row("compare", {"--simulator", "--compare=/srv/b/x"}, "run simulator compare /srv/b/x");
        row("exec, in order", {"--simulator", "--exec", "PR 1", "--exec", "A=2\t", "--exec", "PR \"¥\""},
            "run simulator exec PR 1|A=2\t|PR \"¥\"");
        // Refused before anything goes out: a line break would send two lines as one exchange, the
        // attention byte would break into a running program, and an emoji would go out as a bare CR.
        row("exec, two lines", {"--simulator", "--exec", "PR 1", "--exec", "PR 1\rON 3"},
            "fail --exec number 2 holds a line break or another control character");
        row("exec, attention byte", {"--simulator", "--exec", "\x01"}, "fail number 1 holds a line break");
        row("exec, not Shift-JIS", {"--simulator", "--exec", "PR \"\U0001F600\""},
            "fail --exec number 1 holds .+ Shift-JIS");
        row("restore unconfirmed", {"--simulator", "--restore", "/b"}, "fail --yes");
        row("yes alone", {"--simulator", "--yes"}, "fail --yes goes with --restore");
        row("two tasks", {"--simulator", "--backup", "/b", "--exec", "PR 1"}, "fail cannot be combined");
        row("no controller", {"--backup", "/b"}, "fail need --connect");
        row("backup twice", {"--simulator", "--backup", "/a", "--backup", "/b"}, "fail more than once");
        row("empty folder", {"--simulator", "--compare", " "}, "fail needs a folder");
        row("watch only without a window", {"--simulator", "--watch-only", "--exec", "PR 1"},
            "fail for the window");
    }
    void parse()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, expect);
        const CommandLine c = parsed(options);
        const QString action = expect.section(u' ', 0, 0);
        QCOMPARE(outcome(c).section(u' ', 0, 0), action);
        QCOMPARE(c.exitCode(), action == u"fail"_s ? 2 : 0);
        if (action == u"run"_s)
            QCOMPARE(outcome(c), expect);
        else
            QVERIFY2(QRegularExpression(expect.section(u' ', 1)).match(c.text).hasMatch(),
                     qPrintable(c.text));
        if (action == u"fail"_s)
            QVERIFY(c.text.startsWith(u"quorin-monitor: "_s));
    }

    // --connect waits for the window. A simulator that cannot listen says so once and changes nothing; the
    // menu entry then leaves the controller for it (twice) that serves this process only, the address kept.
    void connectOptionThenTheMenuEntry()
    {
        MonitorFixture f;
        const QString controller = u"127.0.0.1:%1"_s.arg(f.sim->port());
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        const quint16 port = taken.serverPort();
        BuiltInSimulator builtIn(*f.window, nullptr, port);
        startFromCommandLine(parsed({"--connect", controller}), *f.window, builtIn);
        // Not before the window shows, that is before the event loop runs.
        QVERIFY(!wire::isUp(f.link().state()));
        QVERIFY(f.waitFor([&] { return loggedIn(f) && f.sim->commands().contains(u"CMD$ 0"_s); }));
        QCOMPARE(f.addressField()->text(), controller);

        f.window->simulatorAction()->trigger();
        f.settle();
        QCOMPARE(f.dialogs.alertTexts().size(), 1);
        QVERIFY(f.dialogs.entries.last().informative.contains(QString::number(port)));
        QVERIFY(builtIn.address().isEmpty());
        QCOMPARE(f.link().address(), controller);
        QCOMPARE(f.addressField()->text(), controller);
        QVERIFY(loggedIn(f) && !f.window->windowTitle().contains(u"simulator"_s));

        taken.close();
        for (int visit = 0; visit < 2; ++visit) {
            f.window->simulatorAction()->trigger();
            f.settle();
            QVERIFY(f.waitFor([&] { return loggedIn(f) && f.addressField()->text() != controller; }));
            QVERIFY(f.window->windowTitle().contains(u"simulator"_s));
        }
        QCOMPARE(f.addressField()->text(), u"127.0.0.1:%1"_s.arg(port));
        // Another built-in simulator, on another port, is the same controller to the settings.
        BuiltInSimulator other(*f.window);
        QVERIFY(other.connectMonitor());
        QVERIFY(f.waitFor([&] { return loggedIn(f) && f.link().address() == other.address(); }));
#if !defined(Q_OS_WIN) && !defined(__SANITIZE_THREAD__)
        // Windows cannot tell which process a loopback client is; ThreadSanitizer cannot follow another.
        const auto stranger = [](quint16 at) {
            return runProcess(QUORIN_FOREIGN_CLIENT, {QString::number(at)}).out;
        };
        QVERIFY(stranger(f.sim->port()).contains(u"Login    :"_s));
        QCOMPARE(stranger(port), u"[closed]"_s);
#endif
        // A simulator dropped while its connect waits for the old link to close: nothing connects.
        auto dropped = std::make_unique<BuiltInSimulator>(*f.window);
        QVERIFY(dropped->connectMonitor());
        const QString droppedAt = dropped->address();
        dropped.reset();
        f.settle();
        QVERIFY(f.link().address() != droppedAt && f.addressField()->text() != droppedAt);
        QVERIFY(f.closeWindow());
        QCOMPARE(f.settings->value(u"ipaddress"_s).toString(), controller);
        QVERIFY(!f.window->windowTitle().contains(u"simulator"_s));
        f.settings->beginGroup(u"perController"_s);
        QCOMPARE(f.settings->childGroups().size(), 2); // the controller, the simulator
        f.settings->endGroup();

        // An address typed after the visit is the user's own again.
        f.addressField()->setText(u"[::1]:2500"_s);
        f.window->saveSettings();
        QCOMPARE(f.settings->value(u"ipaddress"_s).toString(), u"[::1]:2500"_s);
    }

    void storedAndReadInALaterRun()
    {
        QTemporaryDir dir;
        QSettings s(dir.filePath(u"settings.ini"_s), QSettings::IniFormat);
        const QList<NamedController> saved{
            {"press-4", "10.1.4.20", "Hall B, by the door", true},
            {"Wrapper 2", "[fd00::12]:2323", {}, false},
        };
        // A longer list of an earlier run leaves nothing behind.
        AddressBook{saved + QList<NamedController>{{"old", "h", {}, false}}}.save(s);
        AddressBook{saved}.save(s);
        // A kept plot is read every poll tick: one whose read could write is never taken back.
        app::ControllerSettings kept;
        const QStringList commands = {"PR A",    "ON 3",          "PR C:CLR",
                                      "PRA D 1", "PRA E 1:OFF 2", "PRA F 1 7"}; // assigns F(1)
        for (int i = 0; i < commands.size(); ++i)
            kept.series << ui::PlotProbe{QString(QChar(u'A' + i)), commands[i],
                                         ui::PlotProbe::Extract::Number, 0};
        kept.save(s, app::controllerKey(u"press-4"_s, u"127.0.0.1:1"_s));
        kept.save(s, app::controllerKey({}, u"::1"_s));
        s.sync();

        QSettings later(s.fileName(), QSettings::IniFormat);
        QStringList plots;
        for (const ui::PlotProbe &p :
             app::ControllerSettings::load(later, app::controllerKey(u" Press-4"_s, {})).series)
            plots << p.label;
        QCOMPARE(plots, QStringList({"A", "D"}));
        QVERIFY(!app::ControllerSettings::load(later, app::controllerKey({}, u"127.0.0.1:1"_s)).found);
        // The console's port spelled out or left to the default is the one controller.
        QVERIFY(app::ControllerSettings::load(later, app::controllerKey({}, u"[::1]:23"_s)).found);
        AddressBook book;
        book.load(later);
        QCOMPARE(book.controllers, saved);
        QCOMPARE(book.find(u" PRESS-4 "_s)->address, u"10.1.4.20"_s);
        QVERIFY(!book.find(u"old"_s) && !book.find(QString()));

        // A name of two lines, written by hand, is not read: it would split the journals' lines.
        later.setValue(u"controllers/2/name"_s, u"Wrapper\n2"_s);
        book.load(later);
        QCOMPARE(book.controllers, saved.mid(0, 1));
    }

    void simulatorRefusesAStrayWord()
    {
        const ProcessRun r = runProcess(QStringLiteral(QUORIN_SIM_BINARY), {"--port", "0", "garbage"});
        QVERIFY2(r.status > 0, qPrintable(r.err));
        QVERIFY2(r.err.contains("garbage") && r.err.contains("Usage:"), qPrintable(r.err));
    }

    void problems_data()
    {
        using Book = QList<NamedController>;
        QTest::addColumn<Book>("list");
        QTest::addColumn<QString>("says"); // empty: the list may be saved
        const NamedController a{u"press-4"_s, u"10.1.4.20"_s, {}, false};
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

    // A wrong list stays open saying why; a right one is stored and offered. A typed name reaches its
    // controller, shown by title and label; a watch-only one, in another case, locks (files: test_journal).
    void namedControllers()
    {
        MonitorFixture f;
        const QString address = u"127.0.0.1:%1"_s.arg(f.sim->port());
        f.window->controllersAction()->trigger();
        auto *dialog = f.window->findChild<QDialog *>(u"controllersDialog"_s);
        QVERIFY(dialog && dialog->isVisible());
        auto *table = control<QTableWidget>(dialog, u"tableControllers"_s);
        auto *add = control<QPushButton>(dialog, u"buttonControllerAdd"_s);
        auto *problem = control<QLabel>(dialog, u"labelControllersProblem"_s);
        QVERIFY(table && add && problem);
        QPushButton *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        add->click();
        add->click();
        const QStringList cells = {"press-4", address, "press-4", address};
        for (int i = 0; i < cells.size(); ++i)
            table->item(i / 2, i % 2)->setText(cells[i]);
        table->item(1, 3)->setCheckState(Qt::Checked);

        ok->click();
        QVERIFY(dialog->isVisible() && problem->isVisible());
        QVERIFY2(problem->text().contains(u"used twice"_s), qPrintable(problem->text()));
        QCOMPARE(f.settings->value(u"controllers/size"_s, 0).toInt(), 0);

        table->item(1, 0)->setText(u"line-2"_s);
        QVERIFY(!problem->isVisible());
        // A note typed in, its cell still open when OK is clicked (a click that leaves the focus there).
        table->setCurrentCell(1, 2);
        table->editItem(table->currentItem());
        qobject_cast<QLineEdit *>(table->indexWidget(table->currentIndex()))->setText(u"by the door"_s);
        ok->click();
        QVERIFY(f.waitFor([&] { return !f.window->findChild<QDialog *>(u"controllersDialog"_s); }));
        QCOMPARE(f.settings->value(u"controllers/size"_s).toInt(), 2);
        QCOMPARE(f.settings->value(u"controllers/2/name"_s).toString(), u"line-2"_s);
        QCOMPARE(f.settings->value(u"controllers/2/watchOnly"_s).toBool(), true);
        QCOMPARE(f.settings->value(u"controllers/2/note"_s).toString(), u"by the door"_s);
        // Each name, and the address they share once.
        QCompleter *completer = f.addressField()->completer();
        QVERIFY(completer);
        for (const QString &prefix : {u"press"_s, u"line"_s, u"127.0.0.1:"_s}) {
            completer->setCompletionPrefix(prefix);
            QVERIFY2(completer->completionCount() == 1, qPrintable(prefix));
        }

        auto *name = control<QLabel>(f.window.get(), u"labelControllerName"_s);
        QVERIFY(name && !name->isVisible());
        QVERIFY(connectTo(f.window.get(), u"press-4"_s));
        QVERIFY(f.waitFor([&] { return loggedIn(f); }));
        QCOMPARE(f.link().address(), address);
        QCOMPARE(f.window->windowTitle(), u"QuorinMonitor \u2014 press-4"_s);
        QVERIFY(name->isVisible() && name->text() == u"press-4"_s);
        QVERIFY(!f.window->watchLock().locked());
        // Ruled off from the link's figures as they are from each other, not read as their last word.
        const auto left = [&](QWidget *w) { return w->mapTo(f.window.get(), QPoint()).x(); };
        QWidget *health = control<QWidget>(f.window.get(), u"linkHealth"_s);
        bool ruled = false;
        for (QFrame *rule : f.window->statusBar()->findChildren<QFrame *>())
            ruled |= rule->frameShape() == QFrame::VLine && rule->isVisible() &&
                     left(rule) >= left(health) + health->width() && left(rule) < left(name);
        QVERIFY(ruled);
        f.disconnect();
        QCOMPARE(f.window->windowTitle(), u"QuorinMonitor"_s);
        QVERIFY(!name->isVisible());
        // Reached by its address, the controller kept watch only under another name is locked too.
        QVERIFY(connectTo(f.window.get(), address));
        QVERIFY(f.window->watchLock().locked() && !name->isVisible());
        f.disconnect();
        QVERIFY(f.window->watchLock().unlock(u"checked"_s));

        BuiltInSimulator builtIn(*f.window);
        startFromCommandLine(
            app::resolveControllerName(parsed({"--connect", "LINE-2"}), f.window->addressBook()), *f.window,
            builtIn);
        QVERIFY(f.waitFor([&] { return loggedIn(f) && f.window->watchLock().locked(); }));
        QCOMPARE(f.window->windowTitle(), u"QuorinMonitor \u2014 line-2"_s);
        // Connect clicked while line-2 still hears its goodbye: the title names the controller it reaches.
        f.window->disconnectController();
        QVERIFY(connectTo(f.window.get(), u"press-4"_s));
        QCOMPARE(f.window->windowTitle(), u"QuorinMonitor \u2014 press-4"_s);
        f.disconnect();
        // The field keeps the name for the next run.
        QVERIFY(f.closeWindow());
        QCOMPARE(f.settings->value(u"ipaddress"_s).toString(), u"press-4"_s);
    }

    // Each controller keeps its own time-out, last page and plots; a new one changes none of them.
    void settingsFollowTheController()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), true, QString(), MonitorFixture::Pages::AsShown);
        sim::Server other(MonitorFixture::makeOptions());
        QVERIFY(other.start());
        const QString first = u"127.0.0.1:%1"_s.arg(f.sim->port());
        const QString second = u"127.0.0.1:%1"_s.arg(other.port());

        f.timeoutField()->setText(u"7"_s);
        QVERIFY(connectTo(f.window.get(), first));
        f.selectTab(u"2"_s);
        QVERIFY(plot(f, u"Outputs"_s, u"OUT 3"_s));
        f.disconnect();

        f.timeoutField()->setText(u"30"_s);
        QVERIFY(connectTo(f.window.get(), second));
        QCOMPARE(f.timeoutField()->text(), u"30"_s);
        auto *tabs = control<QTabWidget>(f.window.get(), "tabview");
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(plotted(f), QStringList{"OUT 3"});
        QVERIFY(plot(f, u"Tasks"_s, u"Task 0 step"_s));
        f.disconnect();

        QVERIFY(connectTo(f.window.get(), first));
        QCOMPARE(f.timeoutField()->text(), u"7"_s);
        QVERIFY(f.waitFor([&] { return tabs->currentIndex() == 2 && f.window->poller().isRunning(); }));
        QCOMPARE(plotted(f), QStringList{"OUT 3"});
        f.disconnect();
        QVERIFY(f.closeWindow());
        MonitorFixture later(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QVERIFY(connectTo(later.window.get(), second));
        QVERIFY(later.waitFor([&] { return plotted(later) == QStringList({"OUT 3", "Task 0 step"}); }));
        QCOMPARE(later.timeoutField()->text(), u"30"_s);
        // What an earlier run kept for "127.0.0.1:23" as typed still comes back for it.
        later.disconnect();
        later.settings->setValue(u"perController/127.0.0.1%3A23/timeout"_s, u"9"_s);
        later.addressField()->setText(u"127.0.0.1:23"_s);
        control<QPushButton>(later.window.get(), "buttonConnect")->click();
        QVERIFY(later.waitFor([&] { return later.timeoutField()->text() == u"9"_s; }));
    }

    // A connection given up while the controller is still logging it in keeps nothing for it: the page last
    // shown and the plots of the connection before come back with the next run's first full connection.
    void settingsKeptThroughAnUnfinishedLogin()
    {
        MonitorFixture f;
        const QString address = u"127.0.0.1:%1"_s.arg(f.sim->port());
        QVERIFY(connectTo(f.window.get(), address));
        f.selectTab(u"2"_s);
        QVERIFY(plot(f, u"Outputs"_s, u"OUT 3"_s));
        f.disconnect();
        QVERIFY(f.closeWindow());

        MonitorFixture later(MonitorFixture::makeOptions(), false, f.settings->fileName());
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 2000; // its greeting is late
        f.sim->setOptions(slow);
        later.addressField()->setText(address);
        control<QPushButton>(later.window.get(), "buttonConnect")->click();
        QVERIFY(later.waitFor([&] { return later.link().state() == wire::State::LoggingIn; }));
        later.disconnect();
        QCOMPARE(later.link().state(), wire::State::Disconnected);

        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(connectTo(later.window.get(), address));
        auto *tabs = control<QTabWidget>(later.window.get(), "tabview");
        QVERIFY(later.waitFor([&] { return tabs->currentIndex() == 2; }));
        QCOMPARE(plotted(later), QStringList{"OUT 3"});

        // Nor does a login the controller refuses once it has the password.
        later.disconnect();
        const auto controllers = [&later] {
            later.settings->beginGroup(u"perController"_s);
            const QStringList groups = later.settings->childGroups();
            later.settings->endGroup();
            return groups;
        };
        const QStringList kept = controllers();
        QTcpServer refusing;
        QVERIFY(refusing.listen(QHostAddress::LocalHost));
        int lines = 0;
        QObject::connect(&refusing, &QTcpServer::newConnection, [&] {
            QTcpSocket *peer = refusing.nextPendingConnection();
            peer->write("Login    :");
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer, &lines] {
                for (const char c : peer->readAll())
                    if (c == '\r' && ++lines <= 2)
                        peer->write(lines == 1 ? "Password :" : "\r\n\tLogin incorrect\r\nLogin    :");
            });
        });
        later.addressField()->setText(u"127.0.0.1:%1"_s.arg(refusing.serverPort()));
        control<QPushButton>(later.window.get(), "buttonConnect")->click();
        QVERIFY(
            later.waitFor([&] { return lines >= 2 && later.link().state() == wire::State::Disconnected; }));
        QCOMPARE(controllers(), kept);
    }

    // A script may read a watch-only controller but not change it; a name the book lacks is a usage error,
    // with a window or without.
    void namesInAScript_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("says"); // empty: it runs
        const QString watched = u"'line-2' is watch only"_s;
        const QString unknown = u"no controller in the address book"_s;
        const QString byAddress = u"is the address of 'line-2', watch only"_s;
        row("restore", {"--connect", "line-2", "--restore", "/tmp/b", "--yes"}, watched);
        row("exec", {"--connect", "line-2", "--exec", "PR 1"}, watched);
        row("backup", {"--connect", "line-2", "--backup", "/tmp"}, QString());
        row("compare", {"--connect", "line-2", "--compare", "/tmp/b"}, QString());
        row("restore, not watch-only", {"--connect", "press-4", "--restore", "/tmp/b", "--yes"}, QString());
        row("exec, not watch-only", {"--connect", "press-4", "--exec", "PR 1"}, QString());
        // Its address reaches the same controller: it is locked all the same.
        row("restore by address", {"--connect", "127.0.0.1:1", "--restore", "/tmp/b", "--yes"}, byAddress);
        row("exec by address", {"--connect", "127.0.0.1:01", "--exec", "PR 1"}, byAddress);
        row("unknown, window", {"--connect", "Press 9"}, unknown);
        row("unknown, no window", {"--connect", "Press 9", "--exec", "PR 1"}, unknown);
        row("not an address either", {"--connect", "127.0.0.1:65536", "--exec", "PR 1"}, unknown);
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
        const ProcessRun r = monitorProcess(book, options + QStringList{"-platform", "offscreen"});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"'%1'"_s.arg(options.at(1))), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    // The window-less mode reads the same book and backs up into a folder named after the controller; its
    // results on a full disk fail the run.
    void headlessResolvesAName()
    {
        MonitorFixture f;
        const AddressBook book{{{"press-4", u"127.0.0.1:%1"_s.arg(f.sim->port()), {}, false}}};
        QTemporaryDir backups;
        const ProcessRun backup = monitorProcess(book, {"--connect", "press-4", "--backup", backups.path()});
        QVERIFY2(backup.status == 0, qPrintable(backup.err));
        // Standard output holds the folder made and nothing else: no words of the login's trace.
        QVERIFY2(backup.out.count(u'\n') == 1 && QFileInfo(backup.out.trimmed()).isDir(),
                 qPrintable(backup.out));
        QVERIFY2(QFileInfo(backup.out.trimmed()).fileName().contains(u"press-4"_s), qPrintable(backup.out));

        // A reply that cannot be written out (a full disk) is not reported done.
        QProcess full;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", f.tempDir.path());
        full.setProcessEnvironment(env);
        full.setStandardOutputFile(u"/dev/full"_s);
        full.start(QUORIN_MONITOR_BINARY, {"--connect", book.controllers[0].address, "--exec", "PR 1"});
        QVERIFY(full.waitForFinished(60000));
        QCOMPARE(full.exitCode(), 6);
    }

    // A controller whose login takes longer than a moment (each answer 1.6 s late) is logged in before the
    // script's command goes out, which it would read as the password.
    void headlessWaitsForASlowLogin()
    {
        sim::Options slow = MonitorFixture::makeOptions();
        slow.delayMs = 1600;
        sim::Server server(slow);
        QVERIFY(server.start());
        const ProcessRun r = runProcess(
            QUORIN_MONITOR_BINARY, {"--connect", u"127.0.0.1:%1"_s.arg(server.port()), "--exec", "PR 1+1"});
        QVERIFY2(r.status == 0 && r.out == u" 2\n"_s, qPrintable(QString::number(r.status) + r.err));
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_commandline.moc"

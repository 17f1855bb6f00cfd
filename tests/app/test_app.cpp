// The application shell: a first start, the selection lists, settings across runs, which
// controls are usable when, the About box, the end of the program, and several windows.
#include "app/startup.h"
#include "app/windowset.h"
#include "journal/sessionjournal.h"
#include "link/sjis.h"
#include "support/fixture.h"
#include "ui/uihelpers.h"

#include "support/widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList numbered(const QString &stem, int count)
{
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << stem + QString::number(i);
    return out;
}

// The console's three histories: commands, program lines, list starts.
QList<QComboBox *> histories(const MonitorFixture &f)
{
    return {control<QComboBox>(f.window.get(), "comboBox1"), control<QComboBox>(f.window.get(), "comboBox2"),
            control<QComboBox>(f.window.get(), "comboBox3")};
}

QLineEdit *variableName(const MonitorFixture &f, int i)
{
    return control<QLineEdit>(f.window.get(), QStringLiteral("textfieldVariName%1").arg(i));
}

// A throw-away settings store and clock, and the window sets made on them.
struct Store
{
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    FakeClock clock;
    std::unique_ptr<WindowSet> set()
    {
        return std::make_unique<WindowSet>(clock, &settings,
                                           [] { return std::make_unique<ScriptedDialogs>(); });
    }
    static bool waitFor(const std::function<bool()> &cond) { return QTest::qWaitFor(cond, 10000); }
};

// Connects `w` to `s` as typing and Connect would, and watches the variable `name`.
bool connectAndWatch(MainWindow *w, sim::Server &s, const QString &name)
{
    w->setAddress(QStringLiteral("127.0.0.1:%1").arg(s.port()));
    control<QPushButton>(w, "buttonConnect")->click();
    if (!Store::waitFor(
            [&] { return wire::isUp(w->link().state()) && s.commands().contains(QStringLiteral("CMD$ 0")); }))
        return false;
    control<QTabWidget>(w, "tabview")->setCurrentIndex(2); // builds the variables page
    auto *field = control<QLineEdit>(w, "textfieldVariName0");
    auto *watched = control<QCheckBox>(w, "checkboxVari0");
    if (!field || !watched)
        return false;
    field->setText(name);
    watched->setChecked(true);
    return true;
}

int asked(const sim::Server &s, const QString &name)
{
    return int(s.commands().filter(name).size());
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        wire::setTraceSink([](const QString &) {});
    }

    void noShiftJisConverterEndsTheStart()
    {
        ScriptedDialogs dialogs;
        QVERIFY(app::codecUsable(dialogs, wire::sjisAvailable)); // this build has one
        QVERIFY(!app::codecUsable(dialogs, [] { return false; }));
        QCOMPARE(dialogs.alertTexts(),
                 QStringList{"Shift-JIS Not Available\n\nThis build has no Shift-JIS (cp932) "
                             "converter, so it cannot talk to the controller. The program ends."});
        QVERIFY(dialogs.entries.first().style == Dialogs::Style::Critical);
    }

    // A first start, and the About box.
    void startWithAnEmptySettingsStore()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        // The built-in address gives way to the (absent) stored one.
        QCOMPARE(f.addressField()->text(), QString());
        for (QComboBox *box : histories(f))
            QCOMPARE(box->count(), 0);
        QCOMPARE(histories(f)[2]->currentText(), QString("0"));
        QCOMPARE(f.timeoutField()->text(), QString("30"));
        QVERIFY(control<QLabel>(f.window.get(), "labelindicator")->isHidden());
        const QFont font = control<QPlainTextEdit>(f.window.get(), "textView1")->font();
        QCOMPARE(font.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        QCOMPARE(font.pointSize(), 14);
        // Start-up talks to nobody: the entry actions it runs need no link.
        QVERIFY(!wire::isUp(f.link().state()));
        QVERIFY(f.dialogs.entries.isEmpty());

        control<QAction>(f.window.get(), "menuAbout")->trigger();
        QCOMPARE(f.dialogs.alertTexts(), QStringList{"QUORIN Monitor for MAC"});
        QCOMPARE(f.dialogs.entries.first().informative, QString("Ver 1.220912"));
        QVERIFY(f.dialogs.entries.first().style == Dialogs::Style::Informational);
    }

    // Each list comes up with its first item selected; `items`: the first, the one at `probe`, the last.
    void selectionLists_data()
    {
        QTest::addColumn<QString>("popup");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("probe");
        QTest::addColumn<QStringList>("items");
        QTest::addRow("outputs") << "popupbuttonOutBank" << 49 << 24
                                 << QStringList{"0 ( 7 .. 0 )", "48 ( 391 .. 384 )", "96 ( 775 .. 768 )"};
        QTest::addRow("relays") << "popupbuttonMemioBank" << 1024 << 1
                                << QStringList{"-1 ( -8 .. -1 )", "-2 ( -16 .. -9 )",
                                               "-1024 ( -8192 .. -8185 )"};
        QTest::addRow("mbk bits") << "popupbuttonMbkIoBank" << 100 << 1
                                  << QStringList{"70000 ( 70015 .. 70000 )", "70100 ( 70115 .. 70100 )",
                                                 "79900 ( 79915 .. 79900 )"};
        QTest::addRow("cu outputs") << "popupbuttonCuOutBank" << 512 << 1
                                    << QStringList{"2000 ( 2007 .. 2000 )", "2001 ( 2015 .. 2008 )",
                                                   "2511 ( 6095 .. 6088 )"};
        QTest::addRow("register") << "popupbuttonPgReg" << 22 << 9
                                  << QStringList{"RR(ALL_A)", "RR1(0)", "RR3(Z_A,1)"};
    }
    void selectionLists()
    {
        QFETCH(QString, popup);
        QFETCH(int, count);
        QFETCH(int, probe);
        QFETCH(QStringList, items);
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        auto *box = control<QComboBox>(f.window.get(), popup);
        QVERIFY(box);
        QCOMPARE(box->count(), count);
        QCOMPARE((QStringList{box->itemText(0), box->itemText(probe), box->itemText(count - 1)}), items);
        QCOMPARE(box->currentText(), items.first());
        QCOMPARE(itemsOf(box).removeDuplicates(), 0);
    }

    void settingsComeBackOnTheNextRun()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        f.addressField()->setText(QStringLiteral("127.0.0.1:2323"));
        histories(f)[0]->addItems(numbered(QStringLiteral("PR "), 15));
        histories(f)[1]->addItem(QStringLiteral("10 A=1, B=2"));
        histories(f)[2]->addItems({QStringLiteral("*MAIN"), QStringLiteral("100")});
        histories(f)[2]->setEditText(QStringLiteral("200"));
        for (int i = 0; i < 8; ++i)
            variableName(f, i)->setText(i == 5 ? QString() : QStringLiteral("V%1").arg(i));
        f.timeoutField()->setText(QStringLiteral("12"));
        QVERIFY(f.closeWindow());
        // Saving cuts nothing on screen.
        QCOMPARE(histories(f)[0]->count(), 15);

        MonitorFixture next(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QCOMPARE(next.addressField()->text(), QString("127.0.0.1:2323"));
        QCOMPARE(itemsOf(histories(next)[0]), numbered(QStringLiteral("PR "), 10));
        // A history of one entry is a list too.
        QCOMPARE(itemsOf(histories(next)[1]), QStringList{"10 A=1, B=2"});
        QCOMPARE(itemsOf(histories(next)[2]), (QStringList{"*MAIN", "100"}));
        // Histories to pick from, nothing that one Return would send again.
        QCOMPARE(histories(next)[0]->currentText() + histories(next)[1]->currentText(), QString());
        QCOMPARE(histories(next)[2]->currentText(), QString("0"));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(variableName(next, i)->text(), i == 5 ? QString() : QStringLiteral("V%1").arg(i));
        QCOMPARE(next.timeoutField()->text(), QString("12"));

        // And the run after that, with empty histories.
        for (QComboBox *box : histories(next))
            box->clear();
        QVERIFY(next.closeWindow());
        // A run that never shows the Variables page keeps its names too.
        MonitorFixture third(MonitorFixture::makeOptions(), false, f.settings->fileName(),
                             MonitorFixture::Pages::AsShown);
        for (QComboBox *box : histories(third))
            QCOMPARE(box->count(), 0);
        QVERIFY(!variableName(third, 0));
        QVERIFY(third.closeWindow());
        MonitorFixture fourth(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QCOMPARE(variableName(fourth, 7)->text(), QString("V7"));
    }

    // Settings of a kind this program never writes load as if absent (a list is cut to its
    // first 10), and the keys after them still load.
    void settingsOfTheWrongKind_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QStringList>("expected"); // items of a combo box, or the one text of a field
        QTest::newRow("number for a history") << "combobox1" << QVariant(5) << "comboBox1" << QStringList();
        QTest::newRow("history of 30")
            << "combobox3" << QVariant(numbered("L", 30)) << "comboBox3" << numbered("L", 10);
        QTest::newRow("list for a name")
            << "variname3" << QVariant(QStringList{"A", "B"}) << "textfieldVariName3" << QStringList{""};
        QTest::newRow("empty timeout")
            << "timeoutsec" << QVariant(QString()) << "textFieldTimeOutSec" << QStringList{"30"};
        QTest::newRow("number for the timeout")
            << "timeoutsec" << QVariant(7) << "textFieldTimeOutSec" << QStringList{"7"};
    }
    void settingsOfTheWrongKind()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QString, control);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("settings.ini"));
        {
            QSettings s(file, QSettings::IniFormat);
            s.setValue(QStringLiteral("variname0"), QStringLiteral("A0"));
            s.setValue(key, value);
            s.setValue(QStringLiteral("variname7"), QStringLiteral("A7"));
        }
        MonitorFixture run(MonitorFixture::makeOptions(), false, file);
        QWidget *w = run.window->findChild<QWidget *>(control);
        if (auto *box = qobject_cast<QComboBox *>(w))
            QCOMPARE(itemsOf(box), expected);
        else
            QCOMPARE(QStringList{qobject_cast<QLineEdit *>(w)->text()}, expected);
        QCOMPARE(variableName(run, 0)->text() + variableName(run, 7)->text(), QString("A0A7"));
    }

    void controlsFollowTheConnection_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("bkp");
        QTest::newRow("connected") << true << false;
        QTest::newRow("connected, at a breakpoint") << true << true;
        QTest::newRow("disconnected") << false << false;
    }
    void controlsFollowTheConnection()
    {
        QFETCH(bool, connected);
        QFETCH(bool, bkp);
        MonitorFixture f;
        if (connected)
            QVERIFY(f.connectToSim());
        if (bkp)
            QVERIFY(f.stopAtBreakpoint());
        // Start from the opposite state, so every property has to change.
        f.window->setConnectedControlsEnabled(!connected);
        control<QPushButton>(f.window.get(), "buttonListNext")->setEnabled(true);
        control<QPushButton>(f.window.get(), "buttonConnect")->setEnabled(false);
        f.window->setConnectedControlsEnabled(connected);
        const auto on = [&](const char *name) { return control<QWidget>(f.window.get(), name)->isEnabled(); };
        for (const char *name : {"buttonDisconnect", "comboBox1", "buttonFileOpen", "buttonBkpAddDel"})
            QVERIFY2(on(name) == connected, name);
        for (const char *name : {"buttonBkpN", "buttonBkpT", "buttonBkpVari", "textFieldBkpVariName"})
            QVERIFY2(on(name) == bkp, name);
        // The list continuation and the connect button are the link's own business.
        QVERIFY(!on("buttonListNext") && !on("buttonConnect"));
        QCOMPARE(control<QAction>(f.window.get(), "menuOpenFile")->isEnabled(), connected);

        for (QLineEdit *field : {f.addressField(), f.timeoutField()}) { // greyed while read-only
            QCOMPARE(field->isReadOnly(), connected);
            QCOMPARE(ui::textColor(field).lightness() > 128, connected);
        }
        // The status line only reports: nobody types into it in either state.
        QCOMPARE(f.statusLine()->focusPolicy(), Qt::NoFocus);
    }

    void closingTheWindowSaysGoodbye()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        f.clearCommands();

        QVERIFY(f.closeWindow());
        QVERIFY(f.waitForCommand(QStringLiteral("CMD$ 0")));
        QCOMPARE(f.commands(), QStringList{"CMD$ 0"});
        QVERIFY(!wire::isUp(f.link().state()));
        QCOMPARE(control<QPushButton>(f.window.get(), "buttonConnect")->text(), QString("Connect"));
    }

    // Two windows poll two controllers, each on its own wire; closing one leaves the other
    // polling, and Quit in a third closes every window, each saying goodbye on its wire.
    void twoWindowsTwoControllers()
    {
        Store store;
        sim::Server simA(MonitorFixture::makeOptions()), simB(MonitorFixture::makeOptions());
        QVERIFY(simA.start() && simB.start());
        auto set = store.set();
        MainWindow *a = set->open();
        control<QAction>(a, "menuNewWindow")->trigger();
        QCOMPARE(set->windows().size(), std::size_t(2));
        MainWindow *b = set->windows().back();
        QVERIFY(b != a && b->isVisible());
        MainWindow *idle = set->open();
        for (MainWindow *w : set->windows()) {
            if (auto *journal = w->findChild<journal::SessionJournal *>())
                journal->setDirectory(store.dir.filePath(QStringLiteral("sessions")));
        }

        QVERIFY(connectAndWatch(a, simA, QStringLiteral("AAA1")));
        QVERIFY(connectAndWatch(b, simB, QStringLiteral("BBB2")));
        QVERIFY(Store::waitFor([&] { return asked(simA, "AAA1") >= 3 && asked(simB, "BBB2") >= 3; }));
        QVERIFY(!simA.received().contains("BBB2") && !simB.received().contains("AAA1"));

        simA.clearReceived();
        a->close();
        QVERIFY(Store::waitFor([&] { return set->windows().size() == 2; }));
        QVERIFY(simA.commands().contains(QStringLiteral("CMD$ 0")));
        QCOMPARE(set->windows().front(), b);
        const int before = asked(simB, "BBB2");
        QVERIFY(Store::waitFor([&] { return asked(simB, "BBB2") >= before + 3; }));
        QVERIFY(wire::isUp(b->link().state()));
        QCOMPARE(asked(simA, "AAA1"), 0);

        simB.clearReceived();
        control<QAction>(idle, "menuQuit")->trigger();
        QVERIFY(Store::waitFor([&] { return set->windows().empty(); }));
        QVERIFY(simB.commands().contains(QStringLiteral("CMD$ 0")));
        // The layout of the last window to close is kept for the next start.
        QVERIFY(!store.settings.value(QStringLiteral("window/geometry")).toByteArray().isEmpty());
    }

    // A window gone while its poll waits for a reply: nothing of it runs on afterwards.
    void windowGoneDuringAWait()
    {
        Store store;
        sim::Options o = MonitorFixture::makeOptions();
        o.stallAfter = 2; // after the login and the poll start, nothing is answered
        sim::Server s(o);
        QVERIFY(s.start());
        auto set = store.set();
        MainWindow *w = set->open();
        QVERIFY(connectAndWatch(w, s, QStringLiteral("AAA1")));
        const bool waiting =
            Store::waitFor([&] { return asked(s, QStringLiteral("AAA1")) > 0 && w->link().busy(); });
        QVERIFY2(waiting, qPrintable(s.commands().join(u'|')));
        set.reset();
        // What the window's end set going has run by now.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(asked(s, QStringLiteral("AAA1")), 1);
    }

    // A new start takes the stored size and place; a second window opens beside it, as large.
    void layoutIsRestored()
    {
        Store store;
        auto set = store.set();
        MainWindow *w = set->open();
        w->resize(1111, 777);
        QVERIFY(Store::waitFor([&] { return w->size() == QSize(1111, 777); }));
        w->close();
        QVERIFY(Store::waitFor([&] { return set->windows().empty(); }));
        set.reset();
        set = store.set();
        w = set->open();
        QCOMPARE(w->size(), QSize(1111, 777));
        MainWindow *second = set->open();
        QCOMPARE(second->size(), w->size());
        QVERIFY(second->pos() != w->pos());
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"

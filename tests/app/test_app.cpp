// The application shell: what a start shows, the selection lists, the
// settings across runs (and settings of the wrong kind), which controls are
// usable when, the About box and the end of the program.
#include "app/startup.h"
#include "link/sjis.h"
#include "support/fixture.h"
#include "ui/uihelpers.h"

#include "support/widgets.h"
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private slots:
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

    void startWithAnEmptySettingsStore()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        // The built-in address gives way to the (absent) stored one.
        QCOMPARE(f.addressField()->text(), QString());
        for (QComboBox *box : {control<QComboBox>(f.window.get(), "comboBox1"),
                               control<QComboBox>(f.window.get(), "comboBox2"),
                               control<QComboBox>(f.window.get(), "comboBox3")})
            QCOMPARE(box->count(), 0);
        QCOMPARE(control<QComboBox>(f.window.get(), "comboBox3")->currentText(), QString("0"));
        QCOMPARE(f.timeoutField()->text(), QString("30"));
        QVERIFY(control<QLabel>(f.window.get(), "labelindicator")->isHidden());
        QCOMPARE(control<QPlainTextEdit>(f.window.get(), "textView1")->font().family(),
                 QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        QCOMPARE(control<QPlainTextEdit>(f.window.get(), "textView1")->font().pointSize(), 14);
        // Start-up talks to nobody: the entry actions it runs need no link.
        QVERIFY(!wire::isUp(f.link().state()));
        QVERIFY(f.dialogs.entries.isEmpty());
    }

    // Each list comes up with its first item selected.
    void selectionLists_data()
    {
        QTest::addColumn<QString>("popup");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("probe");
        QTest::addColumn<QString>("probeTitle");
        QTest::newRow("outputs") << "popupbuttonOutBank" << 49 << "0 ( 7 .. 0 )"
                                 << "96 ( 775 .. 768 )" << 24 << "48 ( 391 .. 384 )";
        QTest::newRow("relays") << "popupbuttonMemioBank" << 1024 << "-1 ( -8 .. -1 )"
                                << "-1024 ( -8192 .. -8185 )" << 1 << "-2 ( -16 .. -9 )";
        QTest::newRow("mbk bits") << "popupbuttonMbkIoBank" << 100 << "70000 ( 70015 .. 70000 )"
                                  << "79900 ( 79915 .. 79900 )" << 1 << "70100 ( 70115 .. 70100 )";
        QTest::newRow("cu outputs") << "popupbuttonCuOutBank" << 512 << "2000 ( 2007 .. 2000 )"
                                    << "2511 ( 6095 .. 6088 )" << 1 << "2001 ( 2015 .. 2008 )";
        QTest::newRow("register") << "popupbuttonPgReg" << 22 << "RR(ALL_A)"
                                  << "RR3(Z_A,1)" << 9 << "RR1(0)";
    }
    void selectionLists()
    {
        QFETCH(QString, popup);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(int, probe);
        QFETCH(QString, probeTitle);
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        auto *box = f.window->findChild<QComboBox *>(popup);
        QVERIFY(box);
        QCOMPARE(box->count(), count);
        QCOMPARE(box->itemText(0), first);
        QCOMPARE(box->itemText(count - 1), last);
        QCOMPARE(box->itemText(probe), probeTitle);
        QCOMPARE(box->currentText(), first);
        QCOMPARE(itemsOf(box).removeDuplicates(), 0);
    }

    void settingsComeBackOnTheNextRun()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        f.addressField()->setText(QStringLiteral("127.0.0.1:2323"));
        control<QComboBox>(f.window.get(), "comboBox1")->addItems(numbered(QStringLiteral("PR "), 15));
        control<QComboBox>(f.window.get(), "comboBox2")->addItem(QStringLiteral("10 A=1, B=2"));
        control<QComboBox>(f.window.get(), "comboBox3")
            ->addItems({QStringLiteral("*MAIN"), QStringLiteral("100")});
        control<QComboBox>(f.window.get(), "comboBox3")->setEditText(QStringLiteral("200"));
        for (int i = 0; i < 8; ++i)
            control<QLineEdit>(f.window.get(), QStringLiteral("textfieldVariName%1").arg(i))
                ->setText(i == 5 ? QString() : QStringLiteral("V%1").arg(i));
        f.timeoutField()->setText(QStringLiteral("12"));
        QVERIFY(f.closeWindow());
        // Saving cuts nothing on screen.
        QCOMPARE(control<QComboBox>(f.window.get(), "comboBox1")->count(), 15);

        MonitorFixture next(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QCOMPARE(next.addressField()->text(), QString("127.0.0.1:2323"));
        QCOMPARE(itemsOf(control<QComboBox>(next.window.get(), "comboBox1")),
                 numbered(QStringLiteral("PR "), 10));
        // A history of one entry is a list too.
        QCOMPARE(itemsOf(control<QComboBox>(next.window.get(), "comboBox2")), QStringList{"10 A=1, B=2"});
        QCOMPARE(itemsOf(control<QComboBox>(next.window.get(), "comboBox3")), (QStringList{"*MAIN", "100"}));
        // Histories to pick from, nothing that one Return would send again.
        QCOMPARE(control<QComboBox>(next.window.get(), "comboBox1")->currentText() +
                     control<QComboBox>(next.window.get(), "comboBox2")->currentText(),
                 QString());
        QCOMPARE(control<QComboBox>(next.window.get(), "comboBox3")->currentText(), QString("0"));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(
                control<QLineEdit>(next.window.get(), QStringLiteral("textfieldVariName%1").arg(i))->text(),
                i == 5 ? QString() : QStringLiteral("V%1").arg(i));
        QCOMPARE(next.timeoutField()->text(), QString("12"));

        // And the run after that, with empty histories.
        for (QComboBox *box : {control<QComboBox>(next.window.get(), "comboBox1"),
                               control<QComboBox>(next.window.get(), "comboBox2"),
                               control<QComboBox>(next.window.get(), "comboBox3")})
            box->clear();
        QVERIFY(next.closeWindow());
        // A run that never shows the Variables page keeps its names too.
        MonitorFixture third(MonitorFixture::makeOptions(), false, f.settings->fileName(),
                             MonitorFixture::Pages::AsShown);
        for (QComboBox *box : {control<QComboBox>(third.window.get(), "comboBox1"),
                               control<QComboBox>(third.window.get(), "comboBox2"),
                               control<QComboBox>(third.window.get(), "comboBox3")})
            QCOMPARE(box->count(), 0);
        QVERIFY(!control<QLineEdit>(third.window.get(), "textfieldVariName0"));
        QVERIFY(third.closeWindow());
        MonitorFixture fourth(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QCOMPARE(control<QLineEdit>(fourth.window.get(), "textfieldVariName7")->text(), QString("V7"));
    }

    // Settings written by someone else, or of a kind this program never
    // writes: they load as if absent (a list is cut to its first 10), and
    // the keys after them still load.
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
        QCOMPARE(::control<QLineEdit>(run.window.get(), "textfieldVariName0")->text(), QString("A0"));
        QCOMPARE(::control<QLineEdit>(run.window.get(), "textfieldVariName7")->text(), QString("A7"));
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

        const struct
        {
            bool enabled;
            QList<const QWidget *> widgets;
        } groups[] = {{connected,
                       {control<QPushButton>(f.window.get(), "buttonDisconnect"),
                        control<QComboBox>(f.window.get(), "comboBox1"),
                        control<QPushButton>(f.window.get(), "buttonFileOpen"),
                        control<QPushButton>(f.window.get(), "buttonBkpAddDel")}},
                      {bkp,
                       {control<QPushButton>(f.window.get(), "buttonBkpN"),
                        control<QPushButton>(f.window.get(), "buttonBkpT"),
                        control<QPushButton>(f.window.get(), "buttonBkpVari"),
                        control<QLineEdit>(f.window.get(), "textFieldBkpVariName")}},
                      // The list continuation and the connect button are the link's own business.
                      {false,
                       {control<QPushButton>(f.window.get(), "buttonListNext"),
                        control<QPushButton>(f.window.get(), "buttonConnect")}}};
        for (const auto &g : groups)
            for (const QWidget *w : g.widgets)
                QVERIFY2(w->isEnabled() == g.enabled, qPrintable(w->objectName()));
        QCOMPARE(control<QAction>(f.window.get(), "menuOpenFile")->isEnabled(), connected);

        QCOMPARE(f.addressField()->isReadOnly(), connected);
        QCOMPARE(f.timeoutField()->isReadOnly(), connected);
        // The status line only reports: nobody types into it in either state.
        QCOMPARE(f.statusLine()->focusPolicy(), Qt::NoFocus);
        const QColor colour = connected ? ui::kLightGray : ui::kBlack;
        QCOMPARE(ui::textColor(f.addressField()), colour);
        QCOMPARE(ui::textColor(f.timeoutField()), colour);
    }

    void menuActions()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        // Both found by their object names.
        f.window->findChild<QAction *>(QStringLiteral("menuAbout"))->trigger();
        QCOMPARE(f.dialogs.entries.size(), 1);
        const ScriptedDialogs::Entry about = f.dialogs.entries.first();
        QCOMPARE(about.kind, QString("alert"));
        QCOMPARE(about.text, QString("QUORIN Monitor for MAC"));
        QCOMPARE(about.informative, QString("Ver 1.220912"));
        QVERIFY(about.style == Dialogs::Style::Informational);

        // The File menu's open command (Ctrl+O) starts a program load, only
        // while the controls are usable.
        QAction *open = f.window->findChild<QAction *>(QStringLiteral("menuOpenFile"));
        QCOMPARE(open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        f.dialogs.clear();
        open->trigger();
        QVERIFY(f.dialogs.entries.isEmpty());
        f.window->setConnectedControlsEnabled(true);
        open->trigger(); // no file chosen: nothing follows
        QCOMPARE(f.dialogs.entries.size(), 1);
        QCOMPARE(f.dialogs.entries.first().kind, QString("open"));
    }

    void closingTheWindowDisconnectsAndSaves()
    {
        MonitorFixture f;
        QVERIFY(f.connectToSim());
        control<QComboBox>(f.window.get(), "comboBox1")
            ->addItems({QStringLiteral("PR A"), QStringLiteral("PR B")});
        f.clearCommands();

        QVERIFY(f.closeWindow());
        QVERIFY(f.waitForCommand(QStringLiteral("CMD$ 0")));
        QCOMPARE(f.commands(), QStringList{"CMD$ 0"});
        QVERIFY(!wire::isUp(f.link().state()));
        QCOMPARE(control<QPushButton>(f.window.get(), "buttonConnect")->text(), QString("Connect"));

        MonitorFixture next(MonitorFixture::makeOptions(), false, f.settings->fileName());
        QCOMPARE(next.addressField()->text(), QStringLiteral("127.0.0.1:%1").arg(f.sim->port()));
        QCOMPARE(itemsOf(control<QComboBox>(next.window.get(), "comboBox1")), (QStringList{"PR A", "PR B"}));
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"

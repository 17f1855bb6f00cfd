// The application shell: first start, lists, settings across runs, usable controls, closing, windows.
#include "app/addressbook.h"
#include "app/startup.h"
#include "app/windowset.h"
#include "journal/operatorjournal.h"
#include "journal/sessionjournal.h"
#include "link/sjis.h"
#include "sim/machine.h"
#include "support/fixture.h"
#include "support/widgets.h"
#include "ui/uihelpers.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

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
    return control<QLineEdit>(f.window.get(), u"textfieldVariName%1"_s.arg(i));
}

struct Store
{
    QTemporaryDir dir;
    QSettings settings{dir.filePath(u"settings.ini"_s), QSettings::IniFormat};
    FakeClock clock;
    ScriptedDialogs *newestDialogs = nullptr;
    std::unique_ptr<WindowSet> set()
    {
        return std::make_unique<WindowSet>(clock, &settings, [this] {
            auto dialogs = std::make_unique<ScriptedDialogs>();
            newestDialogs = dialogs.get();
            return dialogs;
        });
    }
    static bool waitFor(const std::function<bool()> &cond) { return QTest::qWaitFor(cond, 10000); }
};

bool connectAndWatch(MainWindow *w, sim::Server &s, const QString &name)
{
    if (!connectTo(w, u"127.0.0.1:%1"_s.arg(s.port())))
        return false;
    control<QTabWidget>(w, "tabview")->setCurrentIndex(2); // builds the variables page
    control<QLineEdit>(w, "textfieldVariName0")->setText(name);
    control<QCheckBox>(w, "checkboxVari0")->setChecked(true);
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

    // A first start (a build without Shift-JIS ends it with one critical alert), its lists, the About box.
    void startWithAnEmptySettingsStore()
    {
        ScriptedDialogs dialogs;
        QVERIFY(app::codecUsable(dialogs, wire::sjisAvailable)); // this build has one
        QVERIFY(!app::codecUsable(dialogs, [] { return false; }));
        QVERIFY(dialogs.entries.size() == 1 && dialogs.entries.first().style == Dialogs::Style::Critical);

        MonitorFixture f(MonitorFixture::makeOptions(), false);
        // The built-in address gives way to the (absent) stored one.
        QCOMPARE(f.addressField()->text(), QString());
        for (QComboBox *box : histories(f))
            QCOMPARE(box->count(), 0);
        QCOMPARE(histories(f)[2]->currentText(), u"0"_s);
        QCOMPARE(f.timeoutField()->text(), u"30"_s);
        QVERIFY(control<QLabel>(f.window.get(), "labelindicator")->isHidden());
        const QFont font = control<QPlainTextEdit>(f.window.get(), "textView1")->font();
        QCOMPARE(font.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        QCOMPARE(font.pointSize(), 14);
        // Start-up talks to nobody: the entry actions it runs need no link.
        QVERIFY(!wire::isUp(f.link().state()));
        QVERIFY(f.dialogs.entries.isEmpty());
        // Each list comes up with its first item selected; `items`: the first, the one at `probe`, the last.
        using List = std::tuple<const char *, int, int, QString>;
        for (const auto &[popup, count, probe, items] :
             {List{"popupbuttonOutBank", 49, 24, u"0 ( 7 .. 0 )|48 ( 391 .. 384 )|96 ( 775 .. 768 )"_s},
              List{"popupbuttonMemioBank", 1024, 1,
                   u"-1 ( -8 .. -1 )|-2 ( -16 .. -9 )|-1024 ( -8192 .. -8185 )"_s},
              List{"popupbuttonMbkIoBank", 100, 1,
                   u"70000 ( 70015 .. 70000 )|70100 ( 70115 .. 70100 )|79900 ( 79915 .. 79900 )"_s},
              List{"popupbuttonCuOutBank", 512, 1,
                   u"2000 ( 2007 .. 2000 )|2001 ( 2015 .. 2008 )|2511 ( 6095 .. 6088 )"_s},
              List{"popupbuttonPgReg", 22, 9, u"RR(ALL_A)|RR1(0)|RR3(Z_A,1)"_s}}) {
            auto *box = control<QComboBox>(f.window.get(), popup);
            QVERIFY2(box && box->count() == count, popup);
            QCOMPARE(box->itemText(0) + u'|' + box->itemText(probe) + u'|' + box->itemText(count - 1), items);
            QCOMPARE(box->currentText(), items.section(u'|', 0, 0));
            QVERIFY2(itemsOf(box).removeDuplicates() == 0, popup);
        }

        control<QAction>(f.window.get(), "menuAbout")->trigger();
        QVERIFY(f.dialogs.entries.size() == 1 &&
                f.dialogs.entries.first().style == Dialogs::Style::Informational);
    }

    void settingsComeBackOnTheNextRun()
    {
        const auto name = [](int i) { return i == 5 ? QString() : u"V%1"_s.arg(i); };
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        QList<QComboBox *> h = histories(f);
        f.addressField()->setText(u"127.0.0.1:2323"_s);
        h[0]->addItems(numbered(u"PR "_s, 15));
        h[1]->addItem(u"10 A=1, B=2"_s); // a history of one entry is a list too
        h[2]->addItems({u"*MAIN"_s, u"100"_s});
        h[2]->setEditText(u"200"_s);
        for (int i = 0; i < 8; ++i)
            variableName(f, i)->setText(name(i));
        f.timeoutField()->setText(u"12"_s);
        QVERIFY(f.closeWindow());
        QCOMPARE(h[0]->count(), 15); // saving cuts nothing on screen

        MonitorFixture next(MonitorFixture::makeOptions(), false, f.settings->fileName());
        h = histories(next);
        QCOMPARE(next.addressField()->text(), u"127.0.0.1:2323"_s);
        QCOMPARE(itemsOf(h[0]), numbered(u"PR "_s, 10));
        QCOMPARE(itemsOf(h[1]), QStringList{"10 A=1, B=2"});
        QCOMPARE(itemsOf(h[2]), (QStringList{"*MAIN", "100"}));
        // Histories to pick from, nothing that one Return would send again.
        QCOMPARE(h[0]->currentText() + h[1]->currentText() + u'|' + h[2]->currentText(), u"|0"_s);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(variableName(next, i)->text(), name(i));
        QCOMPARE(next.timeoutField()->text(), u"12"_s);

        for (QComboBox *box : h)
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
        QCOMPARE(variableName(fourth, 7)->text(), u"V7"_s);
    }

    // Settings of a kind this program never writes load as if absent (a list is cut to its first 10),
    // and the keys after them still load.
    void settingsOfTheWrongKind()
    {
        // The time-out: empty, or a number where the program writes text.
        for (const auto &[timeout, shown] :
             {std::pair{QVariant(QString()), "30"}, std::pair{QVariant(7), "7"}}) {
            Store store;
            store.settings.setValue(u"variname0"_s, u"A0"_s);
            store.settings.setValue(u"combobox1"_s, 5);
            store.settings.setValue(u"combobox3"_s, numbered(u"L"_s, 30));
            store.settings.setValue(u"variname3"_s, QStringList{"A", "B"});
            store.settings.setValue(u"timeoutsec"_s, timeout);
            store.settings.setValue(u"variname7"_s, u"A7"_s);
            store.settings.sync();
            MonitorFixture run(MonitorFixture::makeOptions(), false, store.settings.fileName());
            QCOMPARE(run.timeoutField()->text(), QString::fromLatin1(shown));
            QCOMPARE(histories(run)[0]->count(), 0);
            QCOMPARE(itemsOf(histories(run)[2]), numbered(u"L"_s, 10));
            QCOMPARE(variableName(run, 3)->text(), QString());
            QCOMPARE(variableName(run, 0)->text() + variableName(run, 7)->text(), u"A0A7"_s);
        }
    }

    // The step controls at a breakpoint and after it: test_tools' stepControlsOn.
    void controlsFollowTheConnection_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::newRow("connected") << true;
        QTest::newRow("disconnected") << false;
    }
    void controlsFollowTheConnection()
    {
        QFETCH(bool, connected);
        MonitorFixture f;
        if (connected)
            QVERIFY(f.connectToSim());
        // Start from the opposite state, so every property has to change.
        f.window->setConnectedControlsEnabled(!connected);
        control<QPushButton>(f.window.get(), "buttonListNext")->setEnabled(true);
        control<QPushButton>(f.window.get(), "buttonConnect")->setEnabled(false);
        f.window->setConnectedControlsEnabled(connected);
        const auto on = [&](const char *name) { return control<QWidget>(f.window.get(), name)->isEnabled(); };
        for (const char *name :
             {"buttonDisconnect", "comboBox1", "textField1", "buttonFileOpen", "buttonBkpAddDel"})
            QVERIFY2(on(name) == connected, name);
        for (const char *name : {"buttonBkpN", "buttonBkpT", "buttonBkpVari", "textFieldBkpVariName"})
            QVERIFY2(!on(name), name);
        // The list continuation and the connect button are the link's own business.
        QVERIFY(!on("buttonListNext") && !on("buttonConnect"));
        QCOMPARE(control<QAction>(f.window.get(), "menuOpenFile")->isEnabled(), connected);

        for (QLineEdit *field : {f.addressField(), f.timeoutField()}) { // greyed while read-only
            QCOMPARE(field->isReadOnly(), connected);
            QCOMPARE(ui::textColor(field).lightness() > 128, connected);
        }
        // The status line only reports: nobody types into it in either state.
        QCOMPARE(f.statusLine()->focusPolicy(), Qt::NoFocus);

        // Closing the window says goodbye, and nothing else, when there is someone to say it to.
        // A Connect clicked while it does so connects nothing once the window has closed.
        f.clearCommands();
        f.window->close();
        auto *connect = control<QPushButton>(f.window.get(), "buttonConnect");
        connect->setEnabled(true);
        connect->click();
        QVERIFY(f.waitFor([&] { return !f.window->isVisible(); }));
        QVERIFY(
            f.waitFor([&] { return f.commands() == (connected ? QStringList{"CMD$ 0"} : QStringList()); }));
        QVERIFY(!f.waitFor([&] { return f.sim->connectionCount() > (connected ? 1 : 0); }, 300));
        QVERIFY(!wire::isUp(f.link().state()));
        QCOMPARE(control<QPushButton>(f.window.get(), "buttonConnect")->text(), u"Connect"_s);
    }

    // Two windows poll two controllers, each on its own wire; closing one leaves the other polling, and
    // Quit in a third (its Disconnect still saying goodbye) closes every window, each saying goodbye on its
    // wire. The next start keeps their size.
    void twoWindowsTwoControllers()
    {
        Store store;
        sim::Server simA(MonitorFixture::makeOptions()), simB(MonitorFixture::makeOptions());
        QVERIFY(simA.start() && simB.start());
        auto set = store.set();
        MainWindow *a = set->open();
        // Nothing stored yet: the first window fits the screen, as far as it can be made that small.
        const QSize room = a->screen()->availableGeometry().size();
        const QRect frame = a->frameGeometry();
        QVERIFY2((frame.width() <= room.width() || a->width() == a->minimumWidth()) &&
                     (frame.height() <= room.height() || a->height() == a->minimumHeight()),
                 qPrintable(QDebug::toString(frame)));
        control<QAction>(a, "menuNewWindow")->trigger();
        QCOMPARE(set->windows().size(), std::size_t(2));
        MainWindow *b = set->windows().back();
        QVERIFY(b != a && b->isVisible());
        MainWindow *idle = set->open();
        for (MainWindow *w : set->windows())
            w->findChild<journal::SessionJournal *>()->setDirectory(store.dir.filePath(u"sessions"_s));

        QVERIFY(connectAndWatch(a, simA, u"AAA1"_s));
        QVERIFY(connectAndWatch(b, simB, u"BBB2"_s));
        QVERIFY(Store::waitFor([&] { return asked(simA, "AAA1") >= 3 && asked(simB, "BBB2") >= 3; }));
        QVERIFY(!simA.received().contains("BBB2") && !simB.received().contains("AAA1"));

        simA.clearReceived();
        a->close();
        QVERIFY(Store::waitFor([&] { return set->windows().size() == 2; }));
        QVERIFY(simA.commands().contains(u"CMD$ 0"_s));
        QCOMPARE(set->windows().front(), b);
        const int before = asked(simB, "BBB2");
        QVERIFY(Store::waitFor([&] { return asked(simB, "BBB2") >= before + 3; }));
        QVERIFY(wire::isUp(b->link().state()));
        QCOMPARE(asked(simA, "AAA1"), 0);

        const QSize size(1111, 777);
        b->resize(size);
        idle->resize(size);
        QVERIFY(Store::waitFor([&] { return b->size() == size && idle->size() == size; }));
        simB.clearReceived();
        QVERIFY(connectTo(idle, u"127.0.0.1:%1"_s.arg(simA.port())));
        idle->disconnectController(); // Quit while its goodbye waits: it closes too
        control<QAction>(idle, "menuQuit")->trigger();
        QVERIFY(Store::waitFor([&] { return set->windows().empty(); }));
        QVERIFY(simB.commands().contains(u"CMD$ 0"_s));

        // A new start takes the stored size; a second window opens beside it, as large.
        set.reset();
        set = store.set();
        MainWindow *w = set->open();
        QCOMPARE(w->size(), size);
        MainWindow *second = set->open();
        QCOMPARE(second->size(), size);
        QVERIFY(second->pos() != w->pos());
        // However many are opened, the cascade never walks off the screen.
        for (int i = 0; i < 30; ++i) {
            const QRect frame = set->open()->frameGeometry();
            QVERIFY2(second->screen()->availableGeometry().contains(frame.center()),
                     qPrintable(QDebug::toString(frame)));
        }
        // Quit keeps what was typed in the window it was chosen in, not what the untouched ones show.
        w->setAddress(u"127.0.0.1:2323"_s);
        control<QAction>(w, "menuQuit")->trigger();
        QVERIFY(Store::waitFor([&] { return set->windows().empty(); }));
        set = store.set();
        QCOMPARE(control<QLineEdit>(set->open(), "textFieldIpAddress")->text(), u"127.0.0.1:2323"_s);
    }

    // With --watch-only every window comes up locked, New Window's too, noting it in its journal and unlocked
    // on its own (the rest of the lock: test_watchonly); a window locked by its button opens unlocked ones.
    void watchOnlyLocksEveryWindow()
    {
        Store store;
        auto set = store.set();
        set->setWatchOnly(true);
        MainWindow *first = set->open();
        control<QAction>(first, "menuNewWindow")->trigger();
        MainWindow *w = set->windows().back();
        QVERIFY(w != first && lockShown(first) && lockShown(w));
        store.newestDialogs->setNextText(u"setting up press 4"_s);
        control<QPushButton>(w, "buttonWatchOnly")->click();
        QVERIFY(!lockShown(w) && lockShown(first));
        const auto *journal = w->findChild<journal::OperatorJournal *>();
        QVERIFY(Store::waitFor([&] { return journal->today().size() == 2; }));
        QCOMPARE(journal->today().first().what, u"Watch-only lock on"_s);

        auto plain = store.set();
        MainWindow *byButton = plain->open();
        control<QPushButton>(byButton, "buttonWatchOnly")->click();
        control<QAction>(byButton, "menuNewWindow")->trigger();
        QVERIFY(lockShown(byButton) && !lockShown(plain->windows().back()));
    }

    // Every window reads the settings' address book: one dialog at a time edits it; a name saved in one
    // window's dialog is offered in another already open, listed in its dialog (whose OK keeps it) and
    // reached there, watch only.
    void windowsShareTheAddressBook()
    {
        Store store;
        sim::Server s(MonitorFixture::makeOptions());
        QVERIFY(s.start());
        auto set = store.set();
        MainWindow *a = set->open();
        MainWindow *b = set->open();
        const auto dialogOf = [](MainWindow *w) {
            w->controllersAction()->trigger();
            return w->findChild<QDialog *>(u"controllersDialog"_s);
        };
        QDialog *dialog = dialogOf(a);
        // B asks while A's list is open: a second copy, OK'd after A's, would write A's edits away.
        QVERIFY(!dialogOf(b) && dialog->isVisible());
        auto *table = control<QTableWidget>(dialog, "tableControllers");
        control<QPushButton>(dialog, "buttonControllerAdd")->click();
        table->item(0, 0)->setText(u"press-4"_s);
        table->item(0, 1)->setText(u"127.0.0.1:%1"_s.arg(s.port()));
        table->item(0, 3)->setCheckState(Qt::Checked);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(Store::waitFor([&] { return !a->findChild<QDialog *>(u"controllersDialog"_s); }));

        // Typing in B's field, once it has the focus.
        b->activateWindow();
        QApplication::setActiveWindow(b);
        auto *field = control<QLineEdit>(b, "textFieldIpAddress");
        field->setFocus(Qt::OtherFocusReason);
        QVERIFY(Store::waitFor([&] { return field->hasFocus(); }));
        field->completer()->setCompletionPrefix(u"PRESS"_s);
        QCOMPARE(field->completer()->completionCount(), 1);

        dialog = dialogOf(b);
        table = control<QTableWidget>(dialog, "tableControllers");
        QVERIFY(table->rowCount() == 1 && table->item(0, 0)->text() == u"press-4"_s &&
                table->item(0, 3)->checkState() == Qt::Checked);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(Store::waitFor([&] { return !b->findChild<QDialog *>(u"controllersDialog"_s); }));

        QVERIFY(!lockShown(b));
        QVERIFY(connectTo(b, u"press-4"_s));
        QVERIFY(lockShown(b) && b->windowTitle().endsWith(u"press-4"_s));
        // Another copy of the program on the same file adds one and removes one while this list is open:
        // OK keeps its edits beside this dialog's.
        dialog = dialogOf(b);
        table = control<QTableWidget>(dialog, "tableControllers");
        {
            QSettings other(store.settings.fileName(), QSettings::IniFormat);
            app::AddressBook{{{u"line-2"_s, u"127.0.0.1:2"_s, {}, false}}}.save(other);
        }
        control<QPushButton>(dialog, "buttonControllerAdd")->click();
        table->item(1, 0)->setText(u"press-5"_s);
        table->item(1, 1)->setText(u"127.0.0.1:%1"_s.arg(s.port()));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(Store::waitFor([&] { return !b->findChild<QDialog *>(u"controllersDialog"_s); }));
        QSettings later(store.settings.fileName(), QSettings::IniFormat);
        app::AddressBook merged;
        merged.load(later);
        QStringList names;
        for (const app::NamedController &c : merged.controllers)
            names << c.name;
        QCOMPARE(names, QStringList({"press-5", "line-2"}));

        // Renamed, the controller keeps what was kept for it: here the page last shown.
        const auto disconnected = [b] {
            b->disconnectController();
            return Store::waitFor([b] { return b->link().state() == wire::State::Disconnected; });
        };
        QVERIFY(disconnected());
        // One another copy adds is reached here by its name, no dialog opened since.
        const QString copy = store.dir.filePath(u"copy.ini"_s);
        QVERIFY(QFile::copy(store.settings.fileName(), copy));
        {
            QSettings other(copy, QSettings::IniFormat);
            app::AddressBook{{{u"line-9"_s, u"127.0.0.1:%1"_s.arg(s.port()), {}, false}}}.saveEdits(other,
                                                                                                    {});
        }
        QVERIFY(QFile::remove(store.settings.fileName()) && QFile::rename(copy, store.settings.fileName()));
        QVERIFY(connectTo(b, u"line-9"_s));
        QVERIFY(disconnected());
        QVERIFY(connectTo(b, u"press-5"_s));
        auto *tabs = control<QTabWidget>(b, "tabview");
        tabs->setCurrentIndex(2);
        QVERIFY(disconnected());
        dialog = dialogOf(b);
        control<QTableWidget>(dialog, "tableControllers")
            ->findItems(u"press-5"_s, Qt::MatchExactly)[0]
            ->setText(u"Press-5b"_s);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(connectTo(b, u"press-5b"_s));
        QVERIFY(Store::waitFor([&] { return tabs->currentIndex() == 2; }));
        // Renamed in the other window while this one is connected to it: this one shows the new name and
        // keeps what it leaves (here the page) under it.
        tabs->setCurrentIndex(3);
        dialog = dialogOf(a);
        control<QTableWidget>(dialog, "tableControllers")
            ->findItems(u"Press-5b"_s, Qt::MatchExactly)[0]
            ->setText(u"press-5c"_s);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(b->windowTitle().endsWith(u"press-5c"_s) && b->controllerName() == u"press-5c"_s);
        QVERIFY(disconnected());
        // Connect again, the address field as the rename left it.
        control<QPushButton>(b, "buttonConnect")->click();
        QVERIFY(Store::waitFor([b] { return b->link().state() == wire::State::Ready; }));
        QVERIFY(Store::waitFor([&] { return tabs->currentIndex() == 3; }));
        QVERIFY(disconnected());
        // A time-out typed just before Connect is the one the connection takes, not the one kept.
        auto *timeout = control<QLineEdit>(b, "textFieldTimeOutSec");
        timeout->selectAll();
        QTest::keyClicks(timeout, u"45"_s);
        QVERIFY(connectTo(b, u"press-5c"_s));
        QCOMPARE(timeout->text(), u"45"_s);
        QVERIFY(disconnected());

        // A list the settings file cannot take is not let go as if it were kept.
        QVERIFY(QFile::remove(store.settings.fileName()) && QDir().mkpath(store.settings.fileName()));
        dialogOf(b)->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(store.newestDialogs->alertTexts().join(u'|').contains(u"not saved"_s));
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
        QVERIFY(connectAndWatch(w, s, u"AAA1"_s));
        const bool waiting = Store::waitFor([&] { return asked(s, u"AAA1"_s) > 0 && w->link().busy(); });
        QVERIFY2(waiting, qPrintable(s.commands().join(u'|')));
        set.reset();
        // What the window's end set going has run by now.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(asked(s, u"AAA1"_s), 1);
    }

    // A window closed while its backup is being written aside, the controller gone meanwhile: the backup is
    // finished and the program goes on (the window is let go only once its action has ended).
    void windowClosedWhileItsBackupIsWritten()
    {
        Store store;
        auto s = std::make_unique<sim::Server>(MonitorFixture::makeOptions());
        s->withMachine([](sim::Machine &m) {
            m.handleLine(u"FILL MBK(0) 60000 7"_s);
            for (int i = 1; i <= 5000; ++i)
                m.handleLine(u"%1 A=%1"_s.arg(i * 10));
        });
        QVERIFY(s->start());
        auto set = store.set();
        MainWindow *w = set->open();
        QVERIFY(connectTo(w, u"127.0.0.1:%1"_s.arg(s->port())));
        const QString parent = store.dir.filePath(u"backups"_s);
        QVERIFY(QDir().mkpath(parent));
        store.newestDialogs->setNextFileName(parent);
        control<QAction>(w, "menuBackUp")->trigger();
        // The last listing is in: the files are being written on the pool.
        QVERIFY(
            Store::waitFor([&] { return s->commands().contains(u"S_MBK -1"_s) && !w->link().waiting(); }));
        s.reset();
        QVERIFY(Store::waitFor([&] { return w->link().state() == wire::State::Disconnected; }));
        QVERIFY(w->link().busy());
        // A Connect clicked meanwhile waits for the backup; the window closed, it never connects.
        sim::Server other(MonitorFixture::makeOptions());
        QVERIFY(other.start());
        control<QLineEdit>(w, "textFieldIpAddress")->setText(u"127.0.0.1:%1"_s.arg(other.port()));
        control<QPushButton>(w, "buttonConnect")->click();
        w->close();
        QVERIFY(Store::waitFor([&] { return set->windows().empty(); }));
        QVERIFY(!QTest::qWaitFor([&] { return other.connectionCount() > 0; }, 300));
        const QStringList made = QDir(parent).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(made.size(), 1);
        QVERIFY(QFile::exists(parent + u'/' + made.first() + u"/manifest.json"_s));
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"

// Several windows in one process, each on a wire of its own, and what is
// left of a window once it has gone.
#include "app/windowset.h"
#include "journal/sessionjournal.h"
#include "support/fixture.h"
#include "support/widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

namespace {

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

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        wire::setTraceSink([](const QString &) {});
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

QTEST_MAIN(TestWindows)
#include "test_windows.moc"

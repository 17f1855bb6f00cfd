// Several windows in one process: each talks to its own controller on a
// wire of its own, closing one leaves the others polling, and quitting
// closes every window, each saying goodbye first.
#include "app/mainwindow.h"
#include "app/windowset.h"
#include "journal/sessionjournal.h"
#include "link/link.h"
#include "sim/server.h"
#include "support/fakeclock.h"
#include "support/scripteddialogs.h"
#include "support/widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool waitFor(const std::function<bool()> &cond, int timeoutMs = 10000)
{
    return QTest::qWaitFor(cond, timeoutMs);
}

std::unique_ptr<sim::Server> startSimulator()
{
    sim::Options o;
    o.port = 0;
    auto s = std::make_unique<sim::Server>(o);
    if (!s->start())
        return nullptr;
    return s;
}

// Connects `w` to `s` as a typed address and Connect would, and watches the
// variable `name` on the variables page, which the poll then asks for.
bool connectAndWatch(MainWindow *w, sim::Server &s, const QString &name)
{
    w->setAddress(QStringLiteral("127.0.0.1:%1").arg(s.port()));
    control<QPushButton>(w, "buttonConnect")->click();
    if (!waitFor(
            [&] { return wire::isUp(w->link().state()) && s.commands().contains(QStringLiteral("CMD$ 0")); }))
        return false;
    // The page is built as its tab is first shown.
    auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("tabview"));
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->property("identifier").toString() == QLatin1String("2"))
            tabs->setCurrentIndex(i);
    }
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

    void twoWindowsTwoControllers()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        FakeClock clock;
        auto simA = startSimulator();
        auto simB = startSimulator();
        QVERIFY(simA && simB);
        WindowSet set(clock, &settings, [] { return std::make_unique<ScriptedDialogs>(); });
        MainWindow *a = set.open();
        control<QAction>(a, "menuNewWindow")->trigger();
        QCOMPARE(set.windows().size(), std::size_t(2));
        MainWindow *b = set.windows().back();
        QVERIFY(b != a && b->isVisible());
        for (MainWindow *w : set.windows()) {
            if (auto *journal = w->findChild<journal::SessionJournal *>())
                journal->setDirectory(dir.filePath(QStringLiteral("sessions")));
        }

        QVERIFY(connectAndWatch(a, *simA, QStringLiteral("AAA1")));
        QVERIFY(connectAndWatch(b, *simB, QStringLiteral("BBB2")));
        // Both poll at the same time, each on its own wire only.
        QVERIFY(waitFor([&] { return asked(*simA, "AAA1") >= 3 && asked(*simB, "BBB2") >= 3; }));
        QCOMPARE(asked(*simA, "BBB2"), 0);
        QCOMPARE(asked(*simB, "AAA1"), 0);
        QVERIFY(!simA->received().contains("BBB2") && !simB->received().contains("AAA1"));

        // Closing one says its goodbye on its own wire; the other keeps polling.
        simA->clearReceived();
        a->close();
        QVERIFY(waitFor([&] { return set.windows().size() == 1; }));
        QVERIFY(simA->commands().contains(QStringLiteral("CMD$ 0")));
        QCOMPARE(set.windows().front(), b);
        const int before = asked(*simB, "BBB2");
        QVERIFY(waitFor([&] { return asked(*simB, "BBB2") >= before + 3; }));
        QVERIFY(wire::isUp(b->link().state()));
        QCOMPARE(asked(*simA, "AAA1"), 0);
    }

    void quitClosesEveryWindow()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        FakeClock clock;
        auto simA = startSimulator();
        QVERIFY(simA);
        WindowSet set(clock, &settings, [] { return std::make_unique<ScriptedDialogs>(); });
        MainWindow *a = set.open();
        MainWindow *b = set.open();
        QVERIFY(connectAndWatch(a, *simA, QStringLiteral("AAA1")));
        simA->clearReceived();
        control<QAction>(b, "menuQuit")->trigger();
        QVERIFY(waitFor([&] { return set.windows().empty(); }));
        // The connected one said goodbye before it went.
        QVERIFY(simA->commands().contains(QStringLiteral("CMD$ 0")));
        // The layout of the last window to close is kept for the next start.
        QVERIFY(!settings.value(QStringLiteral("window/geometry")).toByteArray().isEmpty());
    }

    // A window gone for good while its poll waits for a reply: the wait ends
    // with the window, and nothing of it runs on into the pages afterwards.
    void windowGoneDuringAWait()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        FakeClock clock;
        sim::Options o;
        o.port = 0;
        o.stallAfter = 2; // after the login and the poll start, nothing is answered
        sim::Server s(o);
        QVERIFY(s.start());
        {
            WindowSet set(clock, &settings, [] { return std::make_unique<ScriptedDialogs>(); });
            MainWindow *w = set.open();
            QVERIFY(connectAndWatch(w, s, QStringLiteral("AAA1")));
            const bool waiting =
                waitFor([&] { return asked(s, QStringLiteral("AAA1")) > 0 && w->link().busy(); });
            QVERIFY2(waiting, qPrintable(s.commands().join(u'|')));
        }
        // What the window's end set going has run by now.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(asked(s, QStringLiteral("AAA1")), 1);
    }

    // A new start takes the stored size and place.
    void layoutIsRestored()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        FakeClock clock;
        const auto dialogs = [] { return std::make_unique<ScriptedDialogs>(); };
        {
            WindowSet set(clock, &settings, dialogs);
            MainWindow *w = set.open();
            w->resize(1111, 777);
            QVERIFY(waitFor([&] { return w->size() == QSize(1111, 777); }));
            w->close();
            QVERIFY(waitFor([&] { return set.windows().empty(); }));
        }
        WindowSet later(clock, &settings, dialogs);
        MainWindow *w = later.open();
        QCOMPARE(w->size(), QSize(1111, 777));
        // A second window opens beside the first, as large.
        MainWindow *second = later.open();
        QCOMPARE(second->size(), w->size());
        QVERIFY(second->pos() != w->pos());
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"

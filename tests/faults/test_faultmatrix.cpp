// Every user action that talks to the controller, under every fault of a controller or its link: the
// finished action or one "Receive Timeout" and a closed link, never both, never a frozen window, never a
// command sent while another waits, never a file spoiled by an unfinished save. QUORIN_FAULT picks a mode.
#include "sim/machine.h"
#include "support/files.h"
#include "support/fixture.h"
#include "support/referee.h"
#include "support/stallprobe.h"
#include "support/widgets.h"
#include "tools/debugtools.h"
#include "transfer/backupset.h"
#include "transfer/transfers.h"
#include "trend/trenddock.h"
#include "ui/uihelpers.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

// Under a sanitizer the stall limit only catches a freeze; the smaller flood still outlasts the login.
#if defined(__SANITIZE_THREAD__)
constexpr qint64 kSlowdown = 3, kLongestStall = 3000, kFloodBytes = 1024 * 1024;
#elif defined(__SANITIZE_ADDRESS__)
constexpr qint64 kSlowdown = 1, kLongestStall = 3000, kFloodBytes = 3 * 1024 * 1024;
#else
constexpr qint64 kSlowdown = 1, kLongestStall = 100, kFloodBytes = 10 * 1024 * 1024;
#endif
// The time-out plus one second: no failing wait may take longer to be reported.
constexpr qint64 kLongestWait = 2000 * kSlowdown;
// How long a cell may take (a flooded save under race detection has taken most of 45 s).
constexpr int kEndWithinMs = kSlowdown == 1 ? 15000 : 75000;

// Closed: hung up while nobody waited; Either: done or one clean time-out; Refused: own alert, garbled.
enum class Outcome { Done, Alert, Closed, Either, Refused };

using Check = std::function<bool(MonitorFixture &)>;
using Step = std::function<void(MonitorFixture &)>;
using Transfer = QCoro::Task<> (transfer::Transfers::*)(QString);

struct Action
{
    QString name;
    int cutAt = 0; // command lines answered whole before a mid-reply fault strikes
    bool waits = true;
    Step run;
    Check done = {};             // what the user sees once it finished
    QString file = {};           // a save's target, made beforehand
    int leadMs = 0;              // the action's own pause before its first wait
    QString refusesGarbled = {}; // its own alert for a garbled or flooded listing, if any
    Check tidy = {};             // holds whatever the outcome
};

struct Mode
{
    QString name;
    std::function<void(sim::Options &, const Action &)> set;
    Outcome waited, unwaited;
    bool atLogin = false; // the fault starts with the login (a flood follows it)
};

template <typename T> T *ctl(MonitorFixture &f, const char *name)
{
    return control<T>(f.window.get(), name);
}

QString path(MonitorFixture &f, const QString &name)
{
    return f.tempDir.filePath(name);
}

// Every entry of the backups folder, hidden ones too.
QStringList backupsIn(MonitorFixture &f)
{
    return QDir(path(f, "backups")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// What the next file dialog offers (a completion line may have scrolled out of a flood).
bool offered(MonitorFixture &f, const QString &name, transfer::Kind kind, bool saved)
{
    const transfer::Transfers &t = f.window->transfers();
    return (saved ? t.lastSaved(kind) : t.lastLoaded(kind)) == path(f, name);
}

Step typeIn(const char *field, const QString &text)
{
    return [field, text](MonitorFixture &f) { ctl<QLineEdit>(f, field)->setText(text); };
}

// Finished: two ticks on a link up, `field` showing `shown` (a lamp: lit red; garbled: maybe nothing).
Action tab(const QString &id, const char *field, const QString &shown = {}, const Step &fill = {})
{
    const Check done = [field, shown](MonitorFixture &f) {
        const auto *edit = ctl<QLineEdit>(f, field);
        const auto *label = ctl<QLabel>(f, field);
        const bool shows = edit              ? edit->text() == shown
                           : shown.isEmpty() ? ui::textColor(label) == ui::kRed
                                             : label->text().contains(shown);
        return f.window->poller().ticks() >= 2 && wire::isUp(f.link().state()) &&
               (f.sim->options().garbage || shows);
    };
    const auto run = [id, fill](MonitorFixture &f) {
        if (fill)
            fill(f);
        f.selectTab(id);
    };
    return {"tab " + id, 1, true, run, done, {}, 300};
}

// What the simulator lists for `command`, read on its own thread.
QString simulatorListing(MonitorFixture &f, const QString &command)
{
    QByteArray listing;
    f.sim->withMachine([&listing, &command](sim::Machine &m) { listing = m.handleLine(command); });
    return QString::fromLatin1(listing);
}

// Loads `text` through `trigger`. Finished: the next dialog offers the file, `listCommand` lists its lines.
Action load(const QString &name, int cutAt, const QByteArray &text, const Step &trigger, transfer::Kind kind,
            const QString &listCommand, int leadMs = 0)
{
    const auto run = [name, text, trigger](MonitorFixture &f) {
        put(path(f, name), text);
        f.dialogs.setNextFileName(path(f, name));
        trigger(f);
    };
    const Check done = [name, kind, listCommand, text](MonitorFixture &f) {
        const QString listing = simulatorListing(f, listCommand);
        const QStringList held = QString::fromLatin1(text).split('\n', Qt::SkipEmptyParts);
        const auto listed = [&listing](const QString &line) { return listing.contains(line); };
        return offered(f, name, kind, false) && std::all_of(held.cbegin(), held.cend(), listed);
    };
    return {name, cutAt, true, run, done, {}, leadMs};
}

// Runs the transfer `fn` the way its button does: its file chosen at once, then as a link action.
Step started(Transfer fn, transfer::Kind kind, bool save = false)
{
    return [fn, kind, save](MonitorFixture &f) {
        transfer::Transfers *t = &f.window->transfers();
        const QString chosen = save ? t->chooseSaveFile(kind) : t->chooseLoadFile(kind);
        f.link().enqueue([t, fn, chosen] { return (t->*fn)(chosen); });
    };
}

// About 400 bytes each, so that each listing outlasts the time-out at the slow sender's pace.
QStringList filled(const std::function<QString(int)> &line)
{
    QStringList lines;
    for (int n = 1; n <= 10; ++n)
        lines << line(n);
    return lines;
}

const QStringList kProgram = filled([](int) { return QStringLiteral("PRINT \"%1\"").arg(QString(30, 'x')); });
const QStringList kPoints =
    filled([](int n) { return QStringLiteral("SETP %1 %2 -20000 30000 0").arg(n).arg(n * 1000); });
// What the MBK tab shows at 100, and task 0 at line 77, follow the ten words.
const QStringList kMbk =
    filled([](int n) { return QStringLiteral("MBK(%1~Wrd)=%2").arg(n * 2).arg(n * 999); })
    << QStringLiteral("MBK(100~Wrd)=4321") << QStringLiteral("MBK(7836~Wrd)=77");

void fillMachine(sim::Machine &m)
{
    for (qsizetype i = 0; i < kProgram.size(); ++i)
        m.handleLine(QString::number((i + 1) * 10) + QLatin1Char(' ') + kProgram.at(i));
    for (const QString &line : kPoints + kMbk + QStringList{"ON 5", "A=1234", "ON 2005"})
        m.handleLine(line);
}

// Saves through `fn` over an older file. Finished: the next dialog offers it, holding `held` exactly.
Action save(const QString &name, Transfer fn, transfer::Kind kind, const QStringList &held)
{
    const Check done = [name, kind, held](MonitorFixture &f) {
        if (!offered(f, name, kind, true))
            return false;
        if (!f.sim->options().garbage)
            return bytesOf(path(f, name)) == (held.join('\n') + '\n').toLatin1();
        // In order; a garbled controller's bytes may sit at the line ends.
        QStringList inOrder;
        for (const QString &line : held)
            inOrder << QRegularExpression::escape(line);
        return QRegularExpression(inOrder.join("[\\s\\S]*"))
            .match(QString::fromLatin1(bytesOf(path(f, name))))
            .hasMatch();
    };
    const auto run = [name, fn, kind](MonitorFixture &f) {
        f.dialogs.setNextFileName(path(f, name));
        started(fn, kind, true)(f);
    };
    return {name, 0, true, run, done, name};
}

// Whether a debug action's command line `sent` went out.
Check sentLine(const QString &sent)
{
    const QRegularExpression line('^' + QRegularExpression::escape(sent));
    return [line](MonitorFixture &f) { return !f.commands().filter(line).isEmpty(); };
}

// A breakpoint action run as its button runs it, usable or not: `sent` goes out, its answer shows, `answer`
// in it.
Action debug(const QString &name, const std::function<void(tools::DebugTools &)> &fn, const QString &sent,
             const QString &answer = {})
{
    // Sent, then its answer waited for, as the panel's buttons do.
    const auto run = [fn](MonitorFixture &f) {
        f.link().enqueue([tools = &f.window->debugTools(), fn]() -> QCoro::Task<> {
            fn(*tools);
            QCoro::Task<> answered = tools->breakpointAnswer();
            co_await answered;
        });
    };
    // Its answer shows, up to the prompt; a garbled one shows no value.
    const Check done = [sent, answer](MonitorFixture &f) {
        const QString shown = f.consoleText();
        return sentLine(sent)(f) && (shown.endsWith(u'#') || shown.endsWith(QLatin1String("#?"))) &&
               (answer.isEmpty() || f.sim->options().garbage || shown.contains(answer));
    };
    return {name, 0, true, run, done};
}

// The same for a debug action that waits for its answers.
Action debug(const QString &name, QCoro::Task<> (tools::DebugTools::*fn)(), const QString &sent, int cutAt)
{
    const auto run = [fn](MonitorFixture &f) {
        f.link().enqueue([tools = &f.window->debugTools(), fn] { return (tools->*fn)(); });
    };
    const Check done = [sent](MonitorFixture &f) {
        const QString shown = f.consoleText();
        return sentLine(sent)(f) && (shown.endsWith(u'#') || shown.endsWith(QLatin1String("#?")));
    };
    return {name, cutAt, true, run, done};
}

// Done: the window shows the differences, Load usable.
Action compare()
{
    const auto run = [](MonitorFixture &f) {
        put(path(f, "compared.mbk"), "MBK(2~Wrd)=1\n");
        f.dialogs.setNextFileName(path(f, "compared.mbk"));
        ctl<QAction>(f, "menuCompareMbk")->trigger();
    };
    const Check done = [](MonitorFixture &f) {
        auto *w = f.window->findChild<QDialog *>("compareWindow");
        auto *shown = w ? control<QLabel>(w, "labelCompareSummary") : nullptr;
        return shown && shown->text().contains("changed") &&
               control<QPushButton>(w, "buttonCompareLoad")->isEnabled();
    };
    return {"compare", 0, true, run, done};
}

// Done: one complete backup; whatever the outcome, no unfinished folder is left.
Action backup()
{
    const auto run = [](MonitorFixture &f) {
        QVERIFY(QDir().mkpath(path(f, "backups")));
        f.dialogs.setNextFileName(path(f, "backups"));
        ctl<QAction>(f, "menuBackUp")->trigger();
    };
    const Check done = [](MonitorFixture &f) {
        const QStringList made = backupsIn(f);
        const QString folder = path(f, "backups/" + made.value(0));
        return made.size() == 1 && transfer::readBackup(folder).set &&
               bytesOf(folder + "/program.f2k") == (kProgram.join('\n') + '\n').toLatin1() &&
               bytesOf(folder + "/mbk.mbk") == (kMbk.join('\n') + '\n').toLatin1();
    };
    const Check tidy = [](MonitorFixture &f) {
        const QStringList made = backupsIn(f);
        return made.isEmpty() || (made.size() == 1 && !made.first().startsWith('.'));
    };
    return {"backup", 1, true, run, done, {}, 0, "Backup Failed", tidy};
}

// Done: the controller holds the backup's tables, and nothing else.
Action restore()
{
    const auto run = [](MonitorFixture &f) {
        const auto listed = [](const QString &lines) { return "\r\n" + lines + "\r\n#"; };
        const QString folder =
            transfer::writeBackup(
                f.tempDir.path(), {"cell", QDateTime::currentDateTime(), "1.0"},
                {listed("10\tA=5\r\n20\tB=6"), listed("SETP 3 3 3 3 3"), listed("MBK(4~Wrd)=44")})
                .folder;
        QVERIFY(!folder.isEmpty());
        f.dialogs.setNextFileName(folder);
        f.dialogs.setNextAnswer(true);
        ctl<QAction>(f, "menuRestore")->trigger();
        // Restore is pressed once the comparison shows.
        auto *press = new QTimer(f.window.get());
        QObject::connect(press, &QTimer::timeout, press, [&f, press] {
            if (auto *w = f.window->findChild<QDialog *>("restoreWindow")) {
                control<QPushButton>(w, "buttonRestore")->click();
                press->deleteLater();
            }
        });
        press->start(20);
    };
    const Check done = [](MonitorFixture &f) {
        const QString program = simulatorListing(f, "LIST 0 0");
        return f.statusLine()->text().startsWith("Restored from") && program.contains("\tA=5") &&
               program.contains("\tB=6") && !program.contains("PRINT") &&
               simulatorListing(f, "PLS -1") == "\r\nSETP 3 3 3 3 3\r\n#" &&
               simulatorListing(f, "S_MBK -1") == "\r\nMBK(4~Wrd)=44\r\n#";
    };
    return {"restore", 4, true, run, done};
}

// A variable plotted beside the I/O tab, read after its three bit reads. Finished: read on two ticks, link
// up.
Action trendRead()
{
    const auto run = [](MonitorFixture &f) {
        f.window->findChild<trend::TrendDock *>()->addSeries(*trend::variableProbe(QStringLiteral("A")));
        f.selectTab(QStringLiteral("1"));
    };
    const Check done = [](MonitorFixture &f) {
        return wire::isUp(f.link().state()) && f.commands().count(QStringLiteral("PR A")) >= 2;
    };
    return {"trend read", 4, true, run, done, {}, 300};
}

const QList<Action> &actions()
{
    using transfer::Kind;
    using T = transfer::Transfers;
    using D = tools::DebugTools;
    static const QList<Action> all = {
        tab("1", "labelOut5"),
        tab("2", "textfieldVariValue0", "1234",
            [](MonitorFixture &f) {
                typeIn("textfieldVariName0", "A")(f);
                ctl<QCheckBox>(f, "checkboxVari0")->setChecked(true);
            }),
        tab("3", "textfieldMbkData0", "4321", typeIn("textfieldMbkAdr0", "100")),
        tab("4", "labelCuOut5"),
        tab("5", "textfieldPgDataX0", "1000"),
        tab("6", "textfieldTaskStep0", "77", typeIn("textfieldTaskNo0", "0")),
        load(
            "line.f2k", 3, "A=1\nB=2\nC=3\n",
            [](MonitorFixture &f) { ctl<QAction>(f, "menuOpenFile")->trigger(); }, Kind::Program, "LIST 0 0"),
        load(
            "block.f2k", 0, "A=1\nB=2\n",
            [](MonitorFixture &f) { ctl<QPushButton>(f, "buttonFileOpen")->click(); }, Kind::Program,
            "LIST 0 0", 1000),
        load("points.p2k", 2, "SETP 1 1 0 0 0\nSETP 2 2 0 0 0\n", started(&T::pointLoad, Kind::Point),
             Kind::Point, "PLS -1"),
        load("table.mbk", 2, "MBK(1~Wrd)=1\nMBK(2~Wrd)=2\n", started(&T::mbkLoad, Kind::Mbk), Kind::Mbk,
             "S_MBK -1"),
        save("saved.f2k", &T::programSave, Kind::Program, kProgram),
        save("saved.p2k", &T::pointSave, Kind::Point, kPoints),
        save("saved.mbk", &T::mbkSave, Kind::Mbk, kMbk),
        compare(),
        debug(
            "breakpoint", [](D &t) { t.breakpointAddDelete(QStringLiteral("20")); }, "BKP 20"),
        debug("breakpoint list", &D::breakpointList, "BKP"),
        debug("continue", &D::breakpointContinue, "N"),
        debug("step", &D::breakpointTrace, "T"),
        debug(
            "print", [](D &t) { t.breakpointVariable(QStringLiteral("A")); }, "P A", QStringLiteral("1234")),
        debug("clock read", &D::clockCheck, "PR DATE$(0) TIME$(0)", 0),
        debug("clock set", &D::clockAdjust, "SET_RTC", 0),
        debug("monitor", &D::monitor, "CMD$ 0", 1),
        debug("monitor listing", &D::monitorListing, "CMD$ 0", 2),
        backup(),
        restore(),
        trendRead(),
    };
    return all;
}

const QList<Mode> &modes()
{
    using O = Outcome;
    static const QList<Mode> all = {
        {"slow-reply", [](sim::Options &o, const Action &) { o.delayMs = 1600; }, O::Alert, O::Done},
        {"stall-mid", [](sim::Options &o, const Action &a) { o.stallMid = a.cutAt; }, O::Alert, O::Done},
        {"drop-mid", [](sim::Options &o, const Action &a) { o.dropMid = a.cutAt; }, O::Alert, O::Closed},
        {"chunk-1", [](sim::Options &o, const Action &) { o.chunk = 1; }, O::Done, O::Done},
        {"bad-sjis", [](sim::Options &o, const Action &) { o.garbage = true; }, O::Done, O::Done},
        {"flood", [](sim::Options &o, const Action &) { o.flood = kFloodBytes; }, O::Either, O::Done, true},
        {"slow-sender", [](sim::Options &o, const Action &) { o.slowBps = 200; }, O::Done, O::Done},
    };
    return all;
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void cell_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("action");
        // A mode name CTest passes that names no mode would run no cell at all.
        const QString only = qEnvironmentVariable("QUORIN_FAULT");
        const auto named = [&only](const Mode &m) { return m.name == only; };
        QVERIFY2(only.isEmpty() || std::any_of(modes().cbegin(), modes().cend(), named), qPrintable(only));
        for (int m = 0; m < modes().size(); ++m) {
            for (int a = 0; a < actions().size() && (only.isEmpty() || only == modes()[m].name); ++a)
                QTest::newRow(qPrintable(modes()[m].name + ": " + actions()[a].name)) << m << a;
        }
    }

    void cell()
    {
        QFETCH(int, mode);
        QFETCH(int, action);
        const Mode &m = modes()[mode];
        const Action &a = actions()[action];
        sim::Options faulty = MonitorFixture::makeOptions();
        m.set(faulty, a);

        MonitorFixture f(m.atLogin ? faulty : MonitorFixture::makeOptions());
        f.sim->withMachine(fillMachine);
        const QByteArray before("an earlier file\n");
        if (!a.file.isEmpty())
            put(path(f, a.file), before);
        f.timeoutField()->setText(QStringLiteral("1"));
        WireReferee referee(f.sim->port());
        f.addressField()->setText(QStringLiteral("127.0.0.1:%1").arg(referee.port()));
        ctl<QPushButton>(f, "buttonConnect")->click();
        // Set-up, not the fault. The login's last prompt comes first, or it would answer the action.
        QVERIFY(f.waitFor(
            [&] {
                return f.commands().contains(QStringLiteral("CMD$ 0")) &&
                       (m.atLogin || f.consoleText().contains(QLatin1String("\n#")));
            },
            30000));
        f.clearCommands();
        f.window->consolePage().consoleAppendFollow(
            QStringLiteral("\r\nearlier output").repeated(150)); // full
        if (!m.atLogin)
            f.sim->setOptions(faulty);

        QElapsedTimer clock;
        qint64 alertAt = -1;
        qsizetype sentBeforeAlert = -1;
        f.dialogs.onShow = [&](const ScriptedDialogs::Entry &) {
            alertAt = clock.elapsed();
            sentBeforeAlert = f.commands().size();
        };
        clock.start();
        StallProbe stalls; // the longest gap between two turns of the window's event loop
        a.run(f);

        Outcome expected = a.waits ? m.waited : m.unwaited;
        const bool ended = f.waitFor(
            [&] {
                if (expected == Outcome::Closed)
                    return f.statusLine()->text() == QLatin1String("The controller closed the connection.");
                return !f.link().busy() && (alertAt >= 0 || a.done(f));
            },
            kEndWithinMs);
        f.selectTab(QStringLiteral("0"));
        f.settle();
        stalls.stop();
        QVERIFY2(ended, qPrintable(f.consoleText().right(200)));

        const QStringList alerts = f.dialogs.alertTexts();
        // A garbled listing must be refused; one a flood ran into may be (its lines are no table's).
        if (!a.refusesGarbled.isEmpty() &&
            (f.sim->options().garbage ||
             (m.waited == Outcome::Either && alerts == QStringList{a.refusesGarbled})))
            expected = Outcome::Refused;
        if (expected == Outcome::Either)
            expected = alerts.isEmpty() ? Outcome::Done : Outcome::Alert;
        const QStringList sent = f.commands();
        const bool finished = a.done(f);
        QVERIFY2(stalls.longestMs() <= kLongestStall, qPrintable(QString::number(stalls.longestMs())));
        QVERIFY(!f.link().busy());
        if (expected == Outcome::Alert) {
            QVERIFY2(alerts.size() == 1 && alerts.first().startsWith("Receive Timeout\n\n"),
                     qPrintable(alerts.join('|')));
            QVERIFY(!finished);
            // A failed transfer leaves the next file dialog where it was.
            const transfer::Transfers &t = f.window->transfers();
            for (const transfer::Kind k :
                 {transfer::Kind::Program, transfer::Kind::Point, transfer::Kind::Mbk})
                QVERIFY(t.lastLoaded(k).isEmpty() && t.lastSaved(k).isEmpty());
            QCOMPARE(ctl<QPushButton>(f, "buttonConnect")->text(), QStringLiteral("Connect"));
            QVERIFY(!ctl<QPushButton>(f, "buttonFileOpen")->isEnabled() && !wire::isUp(f.link().state()));
            // Once the alert shows, nothing but the closing "CMD$ 0" goes out.
            for (const QString &line : sent.mid(sentBeforeAlert))
                QCOMPARE(line, QStringLiteral("CMD$ 0"));
        } else if (expected == Outcome::Refused) {
            QCOMPARE(alerts, QStringList{a.refusesGarbled});
            QVERIFY(wire::isUp(f.link().state()));
        } else if (expected == Outcome::Closed) {
            QCOMPARE(alerts, QStringList());
            QCOMPARE(f.link().state(), wire::State::Disconnected);
            // Still there once the action has ended: the one lasting word of why it stopped.
            QCOMPARE(f.statusLine()->text(), QStringLiteral("The controller closed the connection."));
        } else {
            QCOMPARE(alerts, QStringList());
            QVERIFY2(finished, qPrintable(sent.join(u'|')));
            QVERIFY(wire::isUp(f.link().state()) && ctl<QPushButton>(f, "buttonFileOpen")->isEnabled());
        }
        if (m.waited == Outcome::Alert && a.waits) {
            // The one wait that ran out did so in time, and nothing went out while it waited.
            QVERIFY2(alertAt <= a.leadMs + kLongestWait, qPrintable(QString::number(alertAt)));
            const qsizetype stuck = m.name == QLatin1String("slow-reply") ? 0 : a.cutAt;
            for (const QString &line : sent.mid(stuck + 1))
                QVERIFY2(line == QStringLiteral("CMD$ 0"), qPrintable(sent.join(u'|')));
        }
        if (!a.file.isEmpty())
            QCOMPARE(bytesOf(path(f, a.file)) == before, !finished);
        if (a.tidy)
            QVERIFY(a.tidy(f));
        // One exchange at a time, but for the goodbye after a time-out or hang-up.
        int checked = 0;
        QStringList overlaps = referee.overlaps(checked);
        if (expected != Outcome::Done)
            overlaps.removeAll(QStringLiteral("CMD$ 0"));
        QCOMPARE(overlaps, QStringList());
        QVERIFY(f.consoleText().count(u'\n') < 100); // at most 100 lines between line feeds
        if (expected == Outcome::Alert) { // and no wait is left to swallow the next login's prompts
            f.sim->setOptions(MonitorFixture::makeOptions());
            QVERIFY(!f.link().waiting() && f.connectToSim());
        }
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "test_faultmatrix.moc"

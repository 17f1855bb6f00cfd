// Every user action that talks to the controller, under every way a
// controller or its link goes wrong: the user sees either the finished action
// or one "Receive Timeout" and a closed link, never both, never a window that
// stops turning its event loop, never a command sent while another waits,
// never a file spoiled by a save that did not finish. A referee on the wire
// between monitor and simulator holds every cell to one exchange at a time. QUORIN_FAULT picks one
// fault mode (all when unset), so that CTest can run the modes side by side.
#include "sim/machine.h"
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
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

// A wait never blocks the window: the longest gap between two turns of its
// event loop. The time-out plus one second: no failing wait may take longer
// to be reported. A build instrumented for race detection runs several times
// slower.
#ifdef __SANITIZE_THREAD__
constexpr qint64 kSlowdown = 3;
#else
constexpr qint64 kSlowdown = 1;
#endif
// Under a sanitizer a flood runs several times slower: the bound is only a
// freeze check there; the plain suite holds the window to 100 ms.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr qint64 kLongestStall = 3000;
#else
constexpr qint64 kLongestStall = 100;
#endif
constexpr qint64 kLongestWait = 2000 * kSlowdown;
// How long a cell may take to end. Under race detection a flooded save has
// been seen to take most of 45 s beside another suite, so that build gets more.
constexpr int kEndWithinMs = kSlowdown == 1 ? 15000 : 75000;
// The flood after login: far more than any buffer on the way. An
// instrumented build takes less, still enough to outlast the login and the
// action's first exchanges there: a third under AddressSanitizer, a tenth
// under ThreadSanitizer, which lays the console out ten times slower again.
#if defined(__SANITIZE_THREAD__)
constexpr qint64 kFloodBytes = 1024 * 1024;
#elif defined(__SANITIZE_ADDRESS__)
constexpr qint64 kFloodBytes = 3 * 1024 * 1024;
#else
constexpr qint64 kFloodBytes = 10 * 1024 * 1024;
#endif

// Closed: the controller hung up while nobody waited; Either: done or one clean time-out.
// Refused: the action saw through a garbled reply and said so in its own alert.
enum class Outcome { Done, Alert, Closed, Either, Refused };

using Transfer = QCoro::Task<> (transfer::Transfers::*)();
using Debug = std::function<void(tools::DebugTools &)>;
using DebugWaiting = QCoro::Task<> (tools::DebugTools::*)();

struct Action
{
    QString name;
    int cutAt = 0; // command lines answered whole before a mid-reply fault strikes
    bool waits = true;
    std::function<void(MonitorFixture &)> run;
    std::function<bool(MonitorFixture &)> done;      // what the user sees once it finished
    QString file;                                    // a save's target, made beforehand
    int leadMs = 0;                                  // the action's own pause before its first wait
    QString refusesGarbled = {};                     // its own alert for a garbled or flooded listing, if any
    std::function<bool(MonitorFixture &)> tidy = {}; // holds whatever the outcome
};

struct Mode
{
    QString name;
    std::function<void(sim::Options &, const Action &)> set;
    Outcome waited, unwaited;
    bool atLogin = false; // the fault starts with the login (a flood follows it)
};

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
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

// A finished transfer is what the next file dialog offers (its completion line
// may have scrolled out of a flooded console).
std::function<bool(MonitorFixture &)> offered(const QString &name, transfer::Kind kind, bool saved)
{
    return [name, kind, saved](MonitorFixture &f) {
        const transfer::Transfers &t = f.window->transfers();
        return (saved ? t.lastSaved(kind) : t.lastLoaded(kind)) == path(f, name);
    };
}

// Finished: two ticks ran on a link still up, and the page shows what
// `shows` looks for (the simulator's values).
Action tab(const QString &id, const std::function<void(MonitorFixture &)> &fill = {},
           const std::function<bool(MonitorFixture &)> &shows = {})
{
    return {"tab " + id,
            1,
            true,
            [id, fill](MonitorFixture &f) {
                if (fill)
                    fill(f);
                f.selectTab(id);
            },
            [shows](MonitorFixture &f) {
                // A garbled reply is no value: under invalid bytes the page
                // may show none.
                const bool garbled = f.sim->options().garbage;
                return f.window->poller().ticks() >= 2 && wire::isUp(f.link().state()) &&
                       (!shows || garbled || shows(f));
            },
            {},
            300};
}

// What the simulator lists for `command`, read on its own thread.
QString simulatorListing(MonitorFixture &f, const QString &command)
{
    QByteArray listing;
    f.sim->withMachine([&listing, &command](sim::Machine &m) { listing = m.handleLine(command); });
    return QString::fromLatin1(listing);
}

// Loads `text` from a new file through `trigger` (the control a user uses).
// Finished: the next file dialog offers the file, and the simulator's
// listing (`listCommand`) holds every one of `held`.
Action load(const QString &name, int cutAt, const QByteArray &text,
            const std::function<void(MonitorFixture &)> &trigger, transfer::Kind kind,
            const QString &listCommand, const QStringList &held, int leadMs = 0)
{
    return {name,
            cutAt,
            true,
            [name, text, trigger](MonitorFixture &f) {
                QFile file(path(f, name));
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
                file.close();
                f.dialogs.setNextFileName(path(f, name));
                trigger(f);
            },
            [name, kind, listCommand, held](MonitorFixture &f) {
                if (!offered(name, kind, false)(f))
                    return false;
                const QString listing = simulatorListing(f, listCommand);
                return std::all_of(held.cbegin(), held.cend(),
                                   [&listing](const QString &line) { return listing.contains(line); });
            },
            {},
            leadMs};
}

// Runs the transfer `fn` the way its button does: as a link action.
void start(MonitorFixture &f, Transfer fn)
{
    transfer::Transfers *t = &f.window->transfers();
    f.link().enqueue([t, fn] { return (t->*fn)(); });
}

// A program, points and MBK words of about 400 bytes each: at the slow
// sender's pace each listing outlasts the time-out. Each list as a save
// writes it (a statement without its line number).
QStringList filledProgram()
{
    QStringList lines;
    for (int n = 1; n <= 10; ++n)
        lines << QStringLiteral("PRINT \"%1\"").arg(QString(30, QLatin1Char('x')));
    return lines;
}

QStringList filledPoints()
{
    QStringList lines;
    for (int n = 1; n <= 10; ++n)
        lines << QStringLiteral("SETP %1 %2 -20000 30000 0").arg(n).arg(n * 1000);
    return lines;
}

QStringList filledMbk()
{
    QStringList lines;
    for (int n = 1; n <= 10; ++n)
        lines << QStringLiteral("MBK(%1~Wrd)=%2").arg(n * 2).arg(n * 999);
    // What the MBK tab shows at 100, and task 0 at line 77.
    lines << QStringLiteral("MBK(100~Wrd)=4321") << QStringLiteral("MBK(7836~Wrd)=77");
    return lines;
}

void fillMachine(sim::Machine &m)
{
    const QStringList program = filledProgram();
    for (qsizetype i = 0; i < program.size(); ++i)
        m.handleLine(QString::number((i + 1) * 10) + QLatin1Char(' ') + program.at(i));
    for (const QString &line : filledPoints() + filledMbk())
        m.handleLine(line);
    // What the I/O, variables and CU tabs show (the MBK, axis and tasks
    // tabs show some of the tables above).
    m.handleLine(QStringLiteral("ON 5"));
    m.handleLine(QStringLiteral("A=1234"));
    m.handleLine(QStringLiteral("ON 2005"));
}

// Saves through `fn` to a file that held something else. Finished: the next
// file dialog offers it, and it holds every one of `held` in order.
Action save(const QString &name, Transfer fn, transfer::Kind kind, const QStringList &held)
{
    return {name,
            0,
            true,
            [name, fn](MonitorFixture &f) {
                f.dialogs.setNextFileName(path(f, name));
                start(f, fn);
            },
            [name, kind, held](MonitorFixture &f) {
                if (!offered(name, kind, true)(f))
                    return false;
                // In order; a garbled controller's bytes may sit at the line ends.
                const QString saved = QString::fromLatin1(bytesOf(path(f, name)));
                qsizetype from = 0;
                for (const QString &line : held) {
                    from = saved.indexOf(line, from);
                    if (from < 0)
                        return false;
                    from += line.size();
                }
                return true;
            },
            name};
}

// Whether a debug action's command line `sent` went out.
std::function<bool(MonitorFixture &)> sentLine(const QString &sent)
{
    return [sent](MonitorFixture &f) {
        return !f.commands().filter(QRegularExpression('^' + QRegularExpression::escape(sent))).isEmpty();
    };
}

// A debug action run the way its button does (waiting for the exchange slot,
// whether or not the button is usable now); `sent` is its command line, and
// `answer` what its whole answer puts in the console.
Action debug(const QString &name, Debug fn, const QString &sent, const QString &answer = {})
{
    return {name,
            0,
            false,
            [fn](MonitorFixture &f) {
                tools::DebugTools *tools = &f.window->debugTools();
                f.link().enqueue([tools, fn]() -> QCoro::Task<> {
                    fn(*tools);
                    co_return;
                });
            },
            [sent, answer](MonitorFixture &f) {
                // Only half of a reply that the controller stalls or hangs up
                // in comes, and a garbled one is no value.
                const sim::Options &o = f.sim->options();
                const bool whole = !o.garbage && o.stallMid < 0 && o.dropMid < 0;
                return sentLine(sent)(f) && (answer.isEmpty() || !whole || f.consoleText().contains(answer));
            },
            {}};
}

// The same for a debug action that waits for its answers.
Action debug(const QString &name, DebugWaiting fn, const QString &sent, int cutAt)
{
    return {name,
            cutAt,
            true,
            [fn](MonitorFixture &f) {
                tools::DebugTools *tools = &f.window->debugTools();
                f.link().enqueue([tools, fn] { return (tools->*fn)(); });
            },
            sentLine(sent),
            {}};
}

const QList<Action> &actions()
{
    static const QList<Action> all = {
        tab("1", {},
            [](MonitorFixture &f) {
                return ui::textColor(control<QLabel>(f.window.get(), "labelOut5")) == ui::kRed;
            }),
        tab(
            "2",
            [](MonitorFixture &f) {
                control<QLineEdit>(f.window.get(), "textfieldVariName0")->setText(QStringLiteral("A"));
                control<QCheckBox>(f.window.get(), "checkboxVari0")->setChecked(true);
            },
            [](MonitorFixture &f) {
                return control<QLabel>(f.window.get(), "textfieldVariValue0")->text().contains("1234");
            }),
        tab(
            "3",
            [](MonitorFixture &f) {
                control<QLineEdit>(f.window.get(), "textfieldMbkAdr0")->setText(QStringLiteral("100"));
            },
            [](MonitorFixture &f) {
                return control<QLineEdit>(f.window.get(), "textfieldMbkData0")->text() ==
                       QLatin1String("4321");
            }),
        tab("4", {},
            [](MonitorFixture &f) {
                return ui::textColor(control<QLabel>(f.window.get(), "labelCuOut5")) == ui::kRed;
            }),
        tab("5", {},
            [](MonitorFixture &f) {
                return control<QLineEdit>(f.window.get(), "textfieldPgDataX0")->text() ==
                       QLatin1String("1000");
            }),
        tab(
            "6",
            [](MonitorFixture &f) {
                control<QLineEdit>(f.window.get(), "textfieldTaskNo0")->setText(QStringLiteral("0"));
            },
            [](MonitorFixture &f) {
                return control<QLineEdit>(f.window.get(), "textfieldTaskStep0")->text() ==
                       QLatin1String("77");
            }),
        load("line.f2k", 3, "A=1\nB=2\nC=3\n",
             [](MonitorFixture &f) { control<QAction>(f.window.get(), "menuOpenFile")->trigger(); },
             transfer::Kind::Program, "LIST 0 0", {"A=1", "B=2", "C=3"}),
        load(
            "block.f2k", 0, "A=1\nB=2\n",
            [](MonitorFixture &f) { control<QPushButton>(f.window.get(), "buttonFileOpen")->click(); },
            transfer::Kind::Program, "LIST 0 0", {"A=1", "B=2"}, 1000),
        load("points.p2k", 2, "SETP 1 1 0 0 0\nSETP 2 2 0 0 0\n",
             [](MonitorFixture &f) { start(f, &transfer::Transfers::pointLoad); }, transfer::Kind::Point,
             "PLS -1", {"SETP 1 1 0 0 0", "SETP 2 2 0 0 0"}),
        load("table.mbk", 2, "MBK(1~Wrd)=1\nMBK(2~Wrd)=2\n",
             [](MonitorFixture &f) { start(f, &transfer::Transfers::mbkLoad); }, transfer::Kind::Mbk,
             "S_MBK -1", {"MBK(1~Wrd)=1", "MBK(2~Wrd)=2"}),
        save("saved.f2k", &transfer::Transfers::programSave, transfer::Kind::Program, filledProgram()),
        save("saved.p2k", &transfer::Transfers::pointSave, transfer::Kind::Point, filledPoints()),
        save("saved.mbk", &transfer::Transfers::mbkSave, transfer::Kind::Mbk, filledMbk()),
        // Done: the window shows the differences, Load usable; never a Load
        // left usable on a link that has gone.
        {"compare",
         0,
         true,
         [](MonitorFixture &f) {
             QFile file(path(f, "compared.mbk"));
             QVERIFY(file.open(QIODevice::WriteOnly) && file.write("MBK(2~Wrd)=1\n") > 0);
             file.close();
             f.dialogs.setNextFileName(file.fileName());
             control<QAction>(f.window.get(), "menuCompareMbk")->trigger();
         },
         [](MonitorFixture &f) {
             auto *w = f.window->findChild<QDialog *>("compareWindow");
             auto *shown = w ? control<QLabel>(w, "labelCompareSummary") : nullptr;
             return shown && shown->text().contains("changed") &&
                    control<QPushButton>(w, "buttonCompareLoad")->isEnabled();
         },
         {}},
        debug(
            "breakpoint", [](tools::DebugTools &t) { t.breakpointAddDelete(QStringLiteral("20")); },
            "BKP 20"),
        debug("breakpoint list", &tools::DebugTools::breakpointList, "BKP"),
        debug("continue", &tools::DebugTools::breakpointContinue, "N"),
        debug("step", &tools::DebugTools::breakpointTrace, "T"),
        debug(
            "print", [](tools::DebugTools &t) { t.breakpointVariable(QStringLiteral("A")); }, "P A",
            QStringLiteral("1234")),
        debug("clock read", &tools::DebugTools::clockCheck, "PR DATE$(0) TIME$(0)"),
        debug("clock set", &tools::DebugTools::clockAdjust, "SET_RTC"),
        debug("monitor", &tools::DebugTools::monitor, "CMD$ 0", 1),
        debug("monitor listing", &tools::DebugTools::monitorListing, "CMD$ 0", 2),
        // Done: one complete backup of the controller's tables; whatever
        // the outcome, no unfinished folder is left behind.
        {"backup",
         1,
         true,
         [](MonitorFixture &f) {
             QVERIFY(QDir().mkpath(path(f, "backups")));
             f.dialogs.setNextFileName(path(f, "backups"));
             control<QAction>(f.window.get(), "menuBackUp")->trigger();
         },
         [](MonitorFixture &f) {
             const QStringList made = backupsIn(f);
             if (made.size() != 1 || !transfer::readBackup(path(f, "backups/" + made.first())).set)
                 return false;
             const QString folder = path(f, "backups/" + made.first());
             return bytesOf(folder + "/program.f2k") == (filledProgram().join('\n') + '\n').toLatin1() &&
                    bytesOf(folder + "/mbk.mbk") == (filledMbk().join('\n') + '\n').toLatin1();
         },
         {},
         0,
         "Backup Failed",
         [](MonitorFixture &f) {
             const QStringList made = backupsIn(f);
             return made.isEmpty() || (made.size() == 1 && !made.first().startsWith('.'));
         }},
        // Done: the controller holds the backup's tables, and nothing else.
        {"restore",
         4,
         true,
         [](MonitorFixture &f) {
             const auto listed = [](const QString &lines) { return "\r\n" + lines + "\r\n#"; };
             const QString folder =
                 transfer::writeBackup(
                     f.tempDir.path(), {"cell", QDateTime::currentDateTime(), "1.0"},
                     {listed("10\tA=5\r\n20\tB=6"), listed("SETP 3 3 3 3 3"), listed("MBK(4~Wrd)=44")})
                     .folder;
             QVERIFY(!folder.isEmpty());
             f.dialogs.setNextFileName(folder);
             f.dialogs.setNextAnswer(true);
             control<QAction>(f.window.get(), "menuRestore")->trigger();
             // Restore is pressed once the comparison shows.
             auto *press = new QTimer(f.window.get());
             QObject::connect(press, &QTimer::timeout, press, [&f, press] {
                 if (auto *w = f.window->findChild<QDialog *>("restoreWindow")) {
                     control<QPushButton>(w, "buttonRestore")->click();
                     press->deleteLater();
                 }
             });
             press->start(20);
         },
         [](MonitorFixture &f) {
             const QString program = simulatorListing(f, "LIST 0 0");
             return f.statusLine()->text().startsWith("Restored from") && program.contains("\tA=5") &&
                    program.contains("\tB=6") && !program.contains("PRINT") &&
                    simulatorListing(f, "PLS -1") == "\r\nSETP 3 3 3 3 3\r\n#" &&
                    simulatorListing(f, "S_MBK -1") == "\r\nMBK(4~Wrd)=44\r\n#";
         },
         {}},
        // A plotted variable beside the I/O tab: the trend reads it after the
        // tab's three bit reads, and a mid-reply fault strikes that read.
        // Finished: read on two ticks, the link still up (a garbled reply is
        // no sample, so the samples themselves may be a gap).
        {"trend read",
         4,
         true,
         [](MonitorFixture &f) {
             f.window->findChild<trend::TrendDock *>()->addSeries(*trend::variableProbe(QStringLiteral("A")));
             f.selectTab(QStringLiteral("1"));
         },
         [](MonitorFixture &f) {
             return wire::isUp(f.link().state()) && f.commands().count(QStringLiteral("PR A")) >= 2;
         },
         {},
         300},
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
    // A mode name CTest passes that names no mode would run no cell at all.
    void faultModeIsKnown()
    {
        const QString only = qEnvironmentVariable("QUORIN_FAULT");
        const auto named = [&only](const Mode &m) { return m.name == only; };
        QVERIFY2(only.isEmpty() || std::any_of(modes().cbegin(), modes().cend(), named), qPrintable(only));
    }

    void cell_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("action");
        const QString only = qEnvironmentVariable("QUORIN_FAULT");
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
        if (!a.file.isEmpty()) {
            QFile old(path(f, a.file));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write(before) == before.size());
        }
        f.timeoutField()->setText(QStringLiteral("1"));
        WireReferee referee(f.sim->port());
        f.addressField()->setText(QStringLiteral("127.0.0.1:%1").arg(referee.port()));
        control<QPushButton>(f.window.get(), "buttonConnect")->click();
        // Setting up, not the fault under test: under ThreadSanitizer on a
        // busy machine the login alone can take seconds. The login's last
        // prompt is in before the fault starts: a late one would answer the
        // action's first command (a flood follows that prompt at once).
        QVERIFY(f.waitFor(
            [&] {
                return f.commands().contains(QStringLiteral("CMD$ 0")) &&
                       (m.atLogin || f.consoleText().contains(QLatin1String("\n#")));
            },
            30000));
        f.clearCommands();
        f.window->consolePage().consoleAppendFollow(
            QStringLiteral("\r\nearlier output").repeated(150)); // a full console
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
        // The window's event loop must keep turning: a beat far shorter than
        // the bound measures the longest gap between two of its turns.
        StallProbe stalls;
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
        // A garbled listing must be refused; a listing a flood ran into may
        // be (the flood's lines are no table's).
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
            QCOMPARE(alerts.size(), 1);
            QVERIFY2(alerts.first().startsWith(QStringLiteral("Receive Timeout\n\n")),
                     qPrintable(alerts.first()));
            QVERIFY(!finished);
            QCOMPARE(control<QPushButton>(f.window.get(), "buttonConnect")->text(),
                     QStringLiteral("Connect"));
            QVERIFY(!control<QPushButton>(f.window.get(), "buttonFileOpen")->isEnabled() &&
                    !wire::isUp(f.link().state()));
            // Once the alert shows, nothing but the closing "CMD$ 0" goes out.
            for (const QString &line : sent.mid(sentBeforeAlert))
                QCOMPARE(line, QStringLiteral("CMD$ 0"));
        } else if (expected == Outcome::Refused) {
            QCOMPARE(alerts, QStringList{a.refusesGarbled});
            QVERIFY(wire::isUp(f.link().state()));
        } else if (expected == Outcome::Closed) {
            QCOMPARE(alerts, QStringList());
            QCOMPARE(f.link().state(), wire::State::Disconnected);
        } else {
            QCOMPARE(alerts, QStringList());
            QVERIFY2(finished, qPrintable(sent.join(u'|')));
            QVERIFY(wire::isUp(f.link().state()) &&
                    control<QPushButton>(f.window.get(), "buttonFileOpen")->isEnabled());
        }
        if (m.waited == Outcome::Alert && a.waits) {
            // The one wait that ran out did so in time, and nothing went out
            // while it waited.
            QVERIFY2(alertAt <= a.leadMs + kLongestWait, qPrintable(QString::number(alertAt)));
            const qsizetype stuck = m.name == QLatin1String("slow-reply") ? 0 : a.cutAt;
            for (const QString &line : sent.mid(stuck + 1))
                QVERIFY2(line == QStringLiteral("CMD$ 0"), qPrintable(sent.join(u'|')));
        }
        if (!a.file.isEmpty())
            QCOMPARE(bytesOf(path(f, a.file)) == before, !finished);
        if (a.tidy)
            QVERIFY(a.tidy(f));
        // One exchange at a time, but for the goodbye after a time-out or a
        // hang-up, which goes out whatever was left unanswered.
        int checked = 0;
        QStringList overlaps = referee.overlaps(checked);
        if (expected != Outcome::Done)
            overlaps.removeAll(QStringLiteral("CMD$ 0"));
        QCOMPARE(overlaps, QStringList());
        QVERIFY(f.consoleText().count(u'\n') < 100); // at most 100 lines between line feeds
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "test_faultmatrix.moc"

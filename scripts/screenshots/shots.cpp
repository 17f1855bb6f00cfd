// quorin-shots: takes the screenshots of the documentation from the real
// window and controller, connected to the bundled simulator running in this
// process on a loopback port. Every value on the pictures went over the wire:
// the scenarios below click the same buttons and type into the same fields as
// a user, and only set up the machine's state (variables, memory words,
// programs) directly where typing it would add nothing to the picture.
//
//   quorin-shots [--out DIR] [--only NAME[,NAME...]] [--size WxH|min] [--font-pt N]
//
// Run it with the offscreen platform (scripts/shots.sh does).
#include "monitor/bits.h"
#include "panels/tasks.h"
#include "sim/machine.h"
#include "support/fixture.h"
#include "trend/trenddock.h"
#include "ui/freshness.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextStream>

#include <functional>

namespace {

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

// Waits long enough for slow machines; a scenario that does not reach its
// state in this time is broken, not slow.
constexpr int kLongWaitMs = 15000;

class Shots
{
public:
    // An invalid size takes the window's smallest.
    Shots(const QDir &out, QSize size) : m_out(out)
    {
        m_f.window->resize(size.isValid() ? size : m_f.window->minimumSizeHint());
    }

    bool start();
    bool console();
    bool io();
    bool variables();
    bool mbk();
    bool cu();
    bool axis();
    bool tasks();
    bool breakpoint();
    bool trend();
    bool compare();
    bool restore();
    bool statusBar();
    bool stale();
    bool journal();
    bool watchOnly();
    bool twoWindows();

    void reportAlerts() const;

private:
    bool check(bool ok, const char *what);
    bool waitFor(const std::function<bool()> &cond, const char *what, int timeoutMs = kLongWaitMs);
    bool save(const QString &name);
    bool saveWidget(QWidget *widget, const QString &name);

    // The machine, told directly: state that a picture shows but whose typing
    // it does not.
    void machine(const QStringList &lines);
    void loadProgram(const QStringList &lines);

    // As the user does it.
    bool command(const QString &line);
    bool programLine(const QString &line);
    void enter(QLineEdit *field, const QString &text);
    bool pressAndWait(const QString &button, const QString &expectedCommand);
    void pick(QComboBox *box, const QString &title);
    bool selectTab(const QString &identifier);
    bool consoleAtPrompt();
    bool atPrompt(const QString &prompt);
    // Waits until the program stands at a breakpoint whose stop line holds
    // `stop`, with the step controls on.
    bool atBreak(const QString &stop, const char *what);

    QPushButton *button(const QString &name) const { return m_f.window->findChild<QPushButton *>(name); }
    template <typename T> T *widget(const QString &name) const { return m_f.window->findChild<T *>(name); }
    template <typename T> T *named(const char *name) const
    {
        return m_f.window->findChild<T *>(QLatin1String(name));
    }
    QLabel *label(const QString &name) const { return m_f.window->findChild<QLabel *>(name); }

    MonitorFixture m_f;
    QDir m_out;
};

bool Shots::check(bool ok, const char *what)
{
    if (!ok)
        err() << "quorin-shots: " << what << " failed\n";
    return ok;
}

bool Shots::waitFor(const std::function<bool()> &cond, const char *what, int timeoutMs)
{
    return check(m_f.waitFor(cond, timeoutMs), what);
}

bool Shots::save(const QString &name)
{
    m_f.settle();
    // On the monitor pages the caret would sit in whatever field the scenario
    // typed into last; on the console it belongs where the user types.
    if (m_f.window->currentTab() != monitor::Tab::Console) {
        if (QWidget *focus = QApplication::focusWidget())
            focus->clearFocus();
    }
    const QString file = m_out.filePath(name);
    const QPixmap picture = m_f.window->grab();
    if (!picture.save(file)) {
        err() << "quorin-shots: cannot write " << file << '\n';
        return false;
    }
    err() << "wrote " << file << " (" << picture.width() << 'x' << picture.height() << ")\n";
    return true;
}

bool Shots::saveWidget(QWidget *widget, const QString &name)
{
    m_f.settle();
    const QString file = m_out.filePath(name);
    const QPixmap picture = widget->grab();
    if (!picture.save(file)) {
        err() << "quorin-shots: cannot write " << file << '\n';
        return false;
    }
    err() << "wrote " << file << " (" << picture.width() << 'x' << picture.height() << ")\n";
    return true;
}

// The bottom of the window while the I/O page polls: state, address, round
// trip and the ticks of the last minute.
bool Shots::statusBar()
{
    if (!selectTab(QStringLiteral("1")))
        return false;
    QLabel *ticks = label(QStringLiteral("labelPollTicks"));
    return waitFor(
               [&] {
                   return ticks->isVisibleTo(m_f.window.get()) &&
                          !ticks->text().startsWith(QLatin1String("ticks 0 "));
               },
               "tick counts") &&
           saveWidget(m_f.window->statusBar(), QStringLiteral("status-bar.png"));
}

// Polling stopped and two seconds gone by the clock: every value read is
// dimmed until the next reply.
bool Shots::stale()
{
    if (!selectTab(QStringLiteral("1")) ||
        !waitFor(
            [&] { return label(QStringLiteral("labelOutStat"))->text().startsWith(QLatin1String("&H")); },
            "the first I/O poll"))
        return false;
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonTimerStop"))->click();
    if (!waitFor([&] { return !m_f.window->poller().isRunning(); }, "polling to stop"))
        return false;
    m_f.clock.value = m_f.clock.value.addSecs(2);
    ui::Freshness *fresh = ui::Freshness::of(m_f.window.get());
    fresh->review();
    const bool ok = check(fresh->isStale(label(QStringLiteral("labelOut0"))), "stale lamps") &&
                    save(QStringLiteral("stale.png"));
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonTimerStart"))->click();
    return ok;
}

// The operator journal beside the pages, after the scenarios before it.
bool Shots::journal()
{
    if (!selectTab(QStringLiteral("1")))
        return false;
    auto *show = m_f.window->findChild<QAction *>(QStringLiteral("menuOperatorJournal"));
    if (!check(show != nullptr, "the operator journal's menu item"))
        return false;
    const QSize size = m_f.window->size();
    show->trigger();
    m_f.window->resize(size);
    // The dock slides open: the picture waits until it stands.
    QTest::qWait(500);
    const bool ok = save(QStringLiteral("operator-journal.png"));
    show->trigger();
    m_f.window->resize(size);
    return ok;
}

// The watch-only lock on the I/O page: the lamps go on being polled, the
// forcing buttons are off, the lock button and the status bar say so.
bool Shots::watchOnly()
{
    if (!selectTab(QStringLiteral("1")))
        return false;
    machine({QStringLiteral("CLR_OUTP 1"), QStringLiteral("ON 1"), QStringLiteral("ON 4"),
             QStringLiteral("ON 5")});
    QPushButton *lock = button(QStringLiteral("buttonWatchOnly"));
    lock->click();
    if (!waitFor(
            [&] {
                return label(QStringLiteral("labelOutStat"))->text() == QLatin1String("&H32") &&
                       label(QStringLiteral("labelInpStat"))->text() == QLatin1String("&H32");
            },
            "inputs following the outputs"))
        return false;
    // A few more ticks, so that the first reading of every number is laid
    // out and the status bar has its round trip and tick counts.
    QTest::qWait(1000);
    const bool ok = check(lock->isChecked() && !button(QStringLiteral("buttonOutOnOff0"))->isEnabled() &&
                              label(QStringLiteral("labelWatchOnly"))->isVisible(),
                          "the lock") &&
                    save(QStringLiteral("watch-only.png"));
    m_f.dialogs.setNextText(QStringLiteral("screenshots taken"));
    lock->click();
    machine({QStringLiteral("CLR_OUTP 1")});
    return ok && check(!lock->isChecked(), "unlocking");
}

// Two windows of one program side by side, each on a controller of its own:
// the I/O page of one, the axis board of the other, both polling.
bool Shots::twoWindows()
{
    MonitorFixture other;
    const QSize size(1100, 720);
    const QSize before = m_f.window->size();
    m_f.window->resize(size);
    other.window->resize(size);
    other.window->move(m_f.window->pos() + QPoint(size.width(), 0));
    // Outputs on the one, a board with stored points on the other.
    machine({QStringLiteral("CLR_OUTP 1"), QStringLiteral("ON 1"), QStringLiteral("ON 2"),
             QStringLiteral("ON 6")});
    other.sim->withMachine([](sim::Machine &m) {
        for (const char *line : {"MPG 0", "SETP 1 1000 2000 0 500", "SETP 2 15000 -2500 90 1200"})
            m.handleLine(QString::fromLatin1(line));
    });
    if (!check(other.connectToSim(), "the second window's connection") || !selectTab(QStringLiteral("1")))
        return false;
    other.selectTab(QStringLiteral("5"));
    pick(other.window->findChild<QComboBox *>(QStringLiteral("popupbuttonPgSelect")), QStringLiteral("0"));
    if (!check(other.waitFor([&] {
            const auto *y = other.window->findChild<QLabel *>(QStringLiteral("labelPgCurrentPosY"));
            return y && y->isVisible() && !y->text().isEmpty();
        }),
               "the second window's axis board"))
        return false;
    // A few polls on both, so that every number has its first reading.
    QTest::qWait(1500);
    m_f.settle();
    other.settle();
    if (QWidget *focus = QApplication::focusWidget())
        focus->clearFocus();
    const QPixmap left = m_f.window->grab();
    const QPixmap right = other.window->grab();
    const int gap = 12;
    QPixmap both(left.width() + gap + right.width(), std::max(left.height(), right.height()));
    both.fill(QColor(96, 96, 96));
    {
        QPainter p(&both);
        p.drawPixmap(0, 0, left);
        p.drawPixmap(left.width() + gap, 0, right);
    }
    const QString file = m_out.filePath(QStringLiteral("two-windows.png"));
    const bool ok = both.save(file);
    if (ok)
        err() << "wrote " << file << " (" << both.width() << 'x' << both.height() << ")\n";
    else
        err() << "quorin-shots: cannot write " << file << '\n';
    other.disconnect();
    machine({QStringLiteral("CLR_OUTP 1")});
    m_f.window->resize(before);
    return ok;
}

void Shots::machine(const QStringList &lines)
{
    m_f.sim->withMachine([&](sim::Machine &m) {
        for (const QString &line : lines)
            m.handleLine(line);
        m.takeOutput(); // the monitor did not ask for it
    });
}

void Shots::loadProgram(const QStringList &lines)
{
    QStringList all{QStringLiteral("NEW")};
    all += lines;
    machine(all);
}

bool Shots::consoleAtPrompt()
{
    const QString text = m_f.consoleText();
    return text.endsWith(QLatin1Char('#')) || text.endsWith(QLatin1String("#?"));
}

bool Shots::atPrompt(const QString &prompt)
{
    return m_f.consoleText().endsWith(prompt);
}

bool Shots::atBreak(const QString &stop, const char *what)
{
    return waitFor(
        [&] {
            return m_f.consoleText().contains(stop) && atPrompt(QStringLiteral("#?")) &&
                   m_f.window->findChild<QPushButton *>(QStringLiteral("buttonBkpN"))->isEnabled() &&
                   m_f.window->findChild<QPushButton *>(QStringLiteral("buttonBkpT"))->isEnabled();
        },
        what);
}

bool Shots::command(const QString &line)
{
    m_f.clearCommands();
    m_f.window->findChild<QComboBox *>(QStringLiteral("comboBox1"))->setEditText(line);
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonSend"))->click();
    return waitFor([&] { return m_f.commands().contains(line) && consoleAtPrompt(); }, "a console command");
}

bool Shots::programLine(const QString &line)
{
    m_f.clearCommands();
    m_f.window->findChild<QComboBox *>(QStringLiteral("comboBox2"))->setEditText(line);
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonProgramExec"))->click();
    return waitFor([&] { return m_f.commands().contains(line) && consoleAtPrompt(); }, "a program line");
}

void Shots::enter(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
}

bool Shots::pressAndWait(const QString &name, const QString &expectedCommand)
{
    QPushButton *b = button(name);
    if (!check(b != nullptr, "finding a button"))
        return false;
    m_f.clearCommands();
    b->click();
    return waitFor([&] { return m_f.commands().contains(expectedCommand); }, "a forcing button");
}

void Shots::pick(QComboBox *box, const QString &title)
{
    const int at = box->findText(title);
    box->setCurrentIndex(at);
    emit box->activated(at);
}

bool Shots::selectTab(const QString &identifier)
{
    m_f.selectTab(identifier);
    return waitFor([&] { return monitor::tabIdentifier(m_f.window->currentTab()) == identifier; },
                   "selecting a tab");
}

void Shots::reportAlerts() const
{
    for (const ScriptedDialogs::Entry &e : m_f.dialogs.entries)
        err() << "dialog (" << e.kind << "): " << e.text << ' ' << e.informative << '\n';
}

// ---------------------------------------------------------------- scenarios

bool Shots::start()
{
    return check(m_f.connectToSim(), "connecting to the simulator");
}

bool Shots::console()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    // A short session: clear the program, type one in, ask something, list it.
    if (!command(QStringLiteral("NEW")))
        return false;
    const QStringList program = {
        QStringLiteral("10 *MAIN"), QStringLiteral("20 A=0 : S$=\"READY\""),
        QStringLiteral("30 *LOOP"), QStringLiteral("40 A=A+1"),
        QStringLiteral("50 ON 3"),  QStringLiteral("60 WAIT 100"),
        QStringLiteral("70 OFF 3"), QStringLiteral("80 GOTO *LOOP"),
    };
    for (const QString &line : program) {
        if (!programLine(line))
            return false;
    }
    for (const char *line : {"PR 1+2", "PR \"Hello\", 7*6", "LIST"}) {
        if (!command(QLatin1String(line)))
            return false;
    }
    m_f.window->findChild<QComboBox *>(QStringLiteral("comboBox2"))->setEditText(QString());
    return save(QStringLiteral("console.png"));
}

bool Shots::io()
{
    if (!selectTab(QStringLiteral("1")))
        return false;
    if (!waitFor(
            [&] { return label(QStringLiteral("labelOutStat"))->text().startsWith(QLatin1String("&H")); },
            "the first I/O poll"))
        return false;
    // Outputs 0, 2, 3 and 6 on; the machine's inputs 192 + k follow them.
    for (int k : {0, 2, 3, 6}) {
        if (!pressAndWait(QStringLiteral("buttonOutOnOff%1").arg(k), QStringLiteral("ON %1").arg(k)))
            return false;
    }
    // Relays -1 and -4 (lamps 0 and 3 of bank -1).
    for (int tag : {20, 23}) {
        if (!pressAndWait(QStringLiteral("buttonOutOnOff%1").arg(tag),
                          QStringLiteral("ON %1").arg(-1 - (tag - 20))))
            return false;
    }
    return waitFor(
               [&] {
                   return label(QStringLiteral("labelOutStat"))->text() == QLatin1String("&H4D") &&
                          label(QStringLiteral("labelInpStat"))->text() == QLatin1String("&H4D") &&
                          label(QStringLiteral("labelMemioStat"))->text() == QLatin1String("&H09");
               },
               "inputs following the outputs") &&
           save(QStringLiteral("io.png"));
}

bool Shots::variables()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    m_f.sim->withMachine([](sim::Machine &m) {
        m.setVariable(QStringLiteral("A"), 25);
        m.setVariable(QStringLiteral("COUNT"), -1234);
        m.setVariable(QStringLiteral("MSG$"), QStringLiteral("OK\tREADY"));
        m.setVariable(QStringLiteral("NAME$"),
                      QString::fromUtf8("\xE6\xA4\x9C\xE6\x9F\xBB\xE5\xB7\xA5\xE7\xA8\x8B"));
        m.setVariable(QStringLiteral("LIMIT"), 65535);
    });
    machine({QStringLiteral("PRA DATA_ 4 1200"), QStringLiteral("PRA DATA_ 5 -40")});
    const QStringList names = {QStringLiteral("A"),     QStringLiteral("COUNT"),   QStringLiteral("MSG$"),
                               QStringLiteral("NAME$"), QStringLiteral("DATA_#4"), QStringLiteral("DATA_#5"),
                               QStringLiteral("LIMIT"), QStringLiteral("SPEED")};
    for (int r = 0; r < 8; ++r) {
        widget<QLineEdit>(QStringLiteral("textfieldVariName%1").arg(r))->setText(names.at(r));
        widget<QCheckBox>(QStringLiteral("checkboxVari%1").arg(r))->setChecked(true);
    }
    if (!selectTab(QStringLiteral("2")))
        return false;
    // One assignment through the panel, as the user makes it.
    enter(widget<QLineEdit>(QStringLiteral("textfieldVariModName")), QStringLiteral("SPEED"));
    enter(widget<QLineEdit>(QStringLiteral("textfieldVariModValue")), QStringLiteral("1500"));
    if (!check(m_f.waitForCommand(QStringLiteral("SPEED=1500"), kLongWaitMs), "assigning a variable"))
        return false;
    const auto value = [this](int row) {
        return widget<QLabel>(QStringLiteral("textfieldVariValue%1").arg(row))->text();
    };
    return waitFor(
               [&] {
                   return value(7) == QLatin1String("1500") && value(0) == QLatin1String("25") &&
                          value(4) == QLatin1String("1200");
               },
               "the variables poll") &&
           save(QStringLiteral("variables.png"));
}

bool Shots::mbk()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    const qint64 words[8] = {1200, 65535 - 49, 0, 300, 4096, 7, 12345, 250};
    m_f.sim->withMachine([&](sim::Machine &m) {
        for (int i = 0; i < 8; ++i)
            m.setMbkWord(100 + i, static_cast<quint16>(words[i]));
    });
    widget<QRadioButton>(QStringLiteral("radiobuttonMbkSizeInt"))->click();
    enter(widget<QLineEdit>(QStringLiteral("textfieldMbkAdrSelect")), QStringLiteral("100"));
    const QLabel *bitWord = widget<QLabel>(QStringLiteral("labelMbkIoStat"));
    if (!selectTab(QStringLiteral("3")))
        return false;
    if (!waitFor([&] { return bitWord->text().startsWith(QLatin1String("&H")); }, "the first MBK poll"))
        return false;
    for (int k : {0, 1, 4, 7, 9, 13}) {
        if (!pressAndWait(QStringLiteral("buttonMbkIoOnOff%1").arg(k),
                          QStringLiteral("ON %1").arg(70000 + k)))
            return false;
    }
    return waitFor(
               [&] {
                   return bitWord->text() == QLatin1String("&H2293") &&
                          widget<QLineEdit>(QStringLiteral("textfieldMbkData1"))->text() ==
                              QLatin1String("-50");
               },
               "the MBK poll") &&
           save(QStringLiteral("mbk.png"));
}

bool Shots::cu()
{
    if (!selectTab(QStringLiteral("4")))
        return false;
    // The inputs are the next byte, wired by hand here: the machine has no
    // loop-back for the control unit.
    m_f.sim->withMachine([](sim::Machine &m) {
        m.setBit(2008, true);
        m.setBit(2010, true);
        m.setBit(2015, true);
    });
    pick(m_f.window->findChild<QComboBox *>(QStringLiteral("popupbuttonCuInpBank")),
         QStringLiteral("2001 ( 2015 .. 2008 )"));
    if (!waitFor(
            [&] { return label(QStringLiteral("labelCuOutStat"))->text().startsWith(QLatin1String("&H")); },
            "the first CU poll"))
        return false;
    for (int k : {0, 1, 5}) {
        if (!pressAndWait(QStringLiteral("buttonCuOnOff%1").arg(k), QStringLiteral("ON %1").arg(2000 + k)))
            return false;
    }
    return waitFor(
               [&] {
                   return label(QStringLiteral("labelCuOutStat"))->text() == QLatin1String("&H23") &&
                          label(QStringLiteral("labelCuInpStat"))->text() == QLatin1String("&H85");
               },
               "the CU poll") &&
           save(QStringLiteral("cu.png"));
}

bool Shots::axis()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    // Board 0: four stored points, Y and Z away from zero, U on its plus limit.
    machine({QStringLiteral("MPG 0"), QStringLiteral("SETP 1 1000 2000 0 500"),
             QStringLiteral("SETP 2 15000 -2500 90 1200"), QStringLiteral("SETP 3 15000 8000 180 0"),
             QStringLiteral("SETP 4 0 0 270 -300"), QStringLiteral("SETP 0 0 2500 1000000 -1200")});
    pick(named<QComboBox>("popupbuttonPgPulse"), QStringLiteral("10000"));
    pick(named<QComboBox>("popupbuttonPgAceel"), QStringLiteral("100"));
    enter(named<QLineEdit>("textfieldPgAdrSelect"), QStringLiteral("1"));
    if (!selectTab(QStringLiteral("5")))
        return false;
    pick(named<QComboBox>("popupbuttonPgSelect"), QStringLiteral("0"));
    if (!waitFor([&] { return named<QGroupBox>("boxPgCurrentPos")->isVisible(); }, "choosing board 0"))
        return false;
    if (!waitFor([&] { return named<QLabel>("labelPgCurrentPosY")->text() == QLatin1String("2500"); },
                 "the first axis poll"))
        return false;
    if (!waitFor([&] { return named<QLineEdit>("textfieldPgDataX1")->text() == QLatin1String("15000"); },
                 "the point table"))
        return false;
    // Jog X by 10000 at the lowest acceleration and take the picture on the way.
    m_f.clearCommands();
    button(QStringLiteral("buttonPgJog2"))->click();
    return waitFor(
               [&] {
                   const qint64 x = named<QLabel>("labelPgCurrentPosX")->text().toLongLong();
                   return x > 2500 && x < 8000;
               },
               "X moving") &&
           save(QStringLiteral("axis.png"));
}

bool Shots::tasks()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    // Task 0 starts two helpers and counts; the helpers blink outputs.
    loadProgram({QStringLiteral("10 *MAIN"), QStringLiteral("20 TASK 1 *BLINK"),
                 QStringLiteral("30 TASK 2 *FEED"), QStringLiteral("40 *LOOP"), QStringLiteral("50 A=A+1"),
                 QStringLiteral("60 WAIT 50"), QStringLiteral("70 GOTO *LOOP"), QStringLiteral("100 *BLINK"),
                 QStringLiteral("110 ON 8"), QStringLiteral("120 WAIT 400"), QStringLiteral("130 OFF 8"),
                 QStringLiteral("140 WAIT 400"), QStringLiteral("150 GOTO *BLINK"),
                 QStringLiteral("200 *FEED"), QStringLiteral("210 B=B+1"), QStringLiteral("220 WAIT 250"),
                 QStringLiteral("230 RMVS Y_A 10"), QStringLiteral("240 GOTO *FEED")});
    machine({QStringLiteral("RUN")});
    enter(widget<QLineEdit>(QStringLiteral("textfieldTaskNoSelect")), QStringLiteral("0"));
    if (!selectTab(QStringLiteral("6")))
        return false;
    return waitFor(
               [&] {
                   for (int t = 0; t < 3; ++t) {
                       if (widget<QLineEdit>(QStringLiteral("textfieldTaskStatus%1").arg(t))->text() !=
                               QLatin1String("1") ||
                           widget<QLineEdit>(QStringLiteral("textfieldTaskStep%1").arg(t))
                                   ->text()
                                   .toLongLong() <= 0)
                           return false;
                   }
                   return true;
               },
               "three running tasks") &&
           save(QStringLiteral("tasks.png"));
}

bool Shots::breakpoint()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    // Stop whatever runs, then debug a small program from a clean console.
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonCtrlA"))->click();
    if (!waitFor([&] { return consoleAtPrompt(); }, "the attention byte"))
        return false;
    loadProgram({QStringLiteral("10 *MAIN"), QStringLiteral("20 A=5"), QStringLiteral("30 *LOOP1"),
                 QStringLiteral("40 A=A+1"), QStringLiteral("50 B=A*2"), QStringLiteral("60 GOTO *LOOP1")});
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonViewTextClear"))->click();
    if (!command(QStringLiteral("LIST 10 20")))
        return false;
    m_f.window->findChild<QLineEdit *>(QStringLiteral("textFieldBkpNumber"))
        ->setText(QStringLiteral("LOOP1"));
    m_f.clearCommands();
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonBkpAddDel"))->click();
    if (!waitFor([&] { return m_f.commands().contains(QStringLiteral("BKP *LOOP1")) && consoleAtPrompt(); },
                 "setting the breakpoint"))
        return false;
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonRun"))->click();
    if (!atBreak(QStringLiteral("BREAK 30"), "stopping at the breakpoint"))
        return false;
    // Two single steps, then look at A and at the breakpoint list.
    for (const char *line : {"BREAK 40", "BREAK 50"}) {
        m_f.window->findChild<QPushButton *>(QStringLiteral("buttonBkpT"))->click();
        if (!atBreak(QLatin1String(line), "a single step"))
            return false;
    }
    m_f.window->findChild<QLineEdit *>(QStringLiteral("textFieldBkpVariName"))->setText(QStringLiteral("A"));
    m_f.clearCommands();
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonBkpVari"))->click();
    if (!waitFor(
            [&] { return m_f.commands().contains(QStringLiteral("P A")) && atPrompt(QStringLiteral("#?")); },
            "printing a variable at the breakpoint"))
        return false;
    m_f.clearCommands();
    m_f.window->findChild<QPushButton *>(QStringLiteral("buttonBkpEnum"))->click();
    return waitFor(
               [&] {
                   return m_f.commands().contains(QStringLiteral("BKP")) && atPrompt(QStringLiteral("#?")) &&
                          m_f.window->findChild<QPushButton *>(QStringLiteral("buttonBkpT"))->isEnabled();
               },
               "listing the breakpoints") &&
           save(QStringLiteral("breakpoint.png"));
}

bool Shots::trend()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    // The tasks of the tasks picture, their steps plotted with one output.
    loadProgram({QStringLiteral("10 *MAIN"), QStringLiteral("20 TASK 1 *BLINK"),
                 QStringLiteral("30 TASK 2 *FEED"), QStringLiteral("40 *LOOP"), QStringLiteral("50 A=A+1"),
                 QStringLiteral("60 WAIT 50"), QStringLiteral("70 GOTO *LOOP"), QStringLiteral("100 *BLINK"),
                 QStringLiteral("110 ON 8"), QStringLiteral("120 WAIT 400"), QStringLiteral("130 OFF 8"),
                 QStringLiteral("140 WAIT 400"), QStringLiteral("150 GOTO *BLINK"),
                 QStringLiteral("200 *FEED"), QStringLiteral("210 B=B+1"), QStringLiteral("220 WAIT 250"),
                 QStringLiteral("230 RMVS Y_A 10"), QStringLiteral("240 GOTO *FEED")});
    machine({QStringLiteral("RUN")});
    enter(widget<QLineEdit>(QStringLiteral("textfieldTaskNoSelect")), QStringLiteral("0"));
    if (!selectTab(QStringLiteral("6")) ||
        !waitFor([&] { return widget<QLineEdit>(QStringLiteral("textfieldTaskStatus2"))->text() == "1"; },
                 "the running tasks"))
        return false;
    auto *dock = m_f.window->findChild<trend::TrendDock *>();
    for (const char *task : {"0", "1", "2"})
        dock->addSeries(*panels::taskProbe(QLatin1String(task)));
    dock->addSeries(*monitor::bitProbe(monitor::BitGroup::Outputs, QStringLiteral("1"), 0));
    // A minute of ticks in a few seconds: the shot's own ticks set the pace
    // and the clock advances 0.3 s with each. Each starts with the slot free,
    // so that none is skipped.
    monitor::Poller &poller = m_f.window->poller();
    m_f.settle();
    poller.timerStop();
    m_f.settle();
    bool ended = false;
    QObject context;
    QObject::connect(&poller, &monitor::Poller::ticked, &context, [&ended] { ended = true; });
    for (int i = 0; i < 200; ++i) {
        m_f.clock.value = m_f.clock.value.addMSecs(300);
        ended = false;
        poller.tick();
        if (!waitFor([&ended] { return ended; }, "a trend tick"))
            return false;
        QTest::qWait(20);
    }
    const bool ok = save(QStringLiteral("trend.png"));
    while (dock->seriesCount() > 0)
        dock->removeSeries(0);
    dock->hide();
    machine({QStringLiteral("NEW")});
    return ok && selectTab(QStringLiteral("0"));
}

bool Shots::compare()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    // The controller's points, and a file that moves one, drops one and adds two.
    machine({QStringLiteral("NEWP"), QStringLiteral("SETP 1 1000 2000 0 0"),
             QStringLiteral("SETP 2 1500 2000 0 0"), QStringLiteral("SETP 3 1500 2500 0 90"),
             QStringLiteral("SETP 10 200 0 0 0"), QStringLiteral("SETP 11 -500 0 0 0")});
    const QString path = m_f.tempDir.filePath(QStringLiteral("cell-a.p2k"));
    QFile file(path);
    if (!check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "writing the point file"))
        return false;
    file.write("SETP 1 1000 2000 0 0\nSETP 2 1500 2100 0 0\nSETP 3 1500 2500 0 90\nSETP 4 1500 2500 50 90\n"
               "SETP 11 -500 0 0 0\nSETP 12 -500 300 0 0\n");
    file.close();
    m_f.dialogs.setNextFileName(path);
    widget<QPushButton>(QStringLiteral("buttonPointCompare"))->click();
    QDialog *window = nullptr;
    if (!waitFor(
            [&] {
                return (window = m_f.window->findChild<QDialog *>(QStringLiteral("compareWindow"))) !=
                       nullptr;
            },
            "the comparison"))
        return false;
    window->resize(720, 360);
    m_f.settle();
    const QString out = m_out.filePath(QStringLiteral("compare.png"));
    const QPixmap picture = window->grab();
    window->close();
    if (!picture.save(out))
        return check(false, "writing compare.png");
    err() << "wrote " << out << " (" << picture.width() << 'x' << picture.height() << ")\n";
    return true;
}

// A backup taken, the controller worked on, and the restore's comparison.
bool Shots::restore()
{
    if (!selectTab(QStringLiteral("0")))
        return false;
    machine({QStringLiteral("NEW"), QStringLiteral("NEWP"), QStringLiteral("NEWM"),
             QStringLiteral("10 *START"), QStringLiteral("20 ON 3"), QStringLiteral("30 WAIT 500"),
             QStringLiteral("40 OFF 3"), QStringLiteral("50 GOTO *START"),
             QStringLiteral("SETP 1 1000 2000 0 0"), QStringLiteral("SETP 2 1500 2000 0 0"),
             QStringLiteral("MBK(100~Wrd)=250"), QStringLiteral("MBK(101~Wrd)=12")});
    const QString parent = m_f.tempDir.filePath(QStringLiteral("backups"));
    QDir().mkpath(parent);
    m_f.dialogs.setNextFileName(parent);
    widget<QAction>(QStringLiteral("menuBackUp"))->trigger();
    if (!waitFor([&] { return !QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty(); },
                 "the backup"))
        return false;
    m_f.settle();
    const QString folder =
        parent + QLatin1Char('/') + QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot).first();
    // A day's changes: a statement edited, a point moved, a word cleared, one added.
    machine({QStringLiteral("30 WAIT 200"), QStringLiteral("SETP 2 1500 2250 0 0"),
             QStringLiteral("SETP 3 0 0 0 90"), QStringLiteral("MBK(101~Wrd)=0"),
             QStringLiteral("MBK(102~Wrd)=7")});
    m_f.dialogs.setNextFileName(folder);
    widget<QAction>(QStringLiteral("menuRestore"))->trigger();
    QDialog *window = nullptr;
    if (!waitFor(
            [&] {
                return (window = m_f.window->findChild<QDialog *>(QStringLiteral("restoreWindow"))) !=
                       nullptr;
            },
            "the restore's comparison"))
        return false;
    window->resize(760, 640);
    m_f.settle();
    const QString out = m_out.filePath(QStringLiteral("restore.png"));
    const QPixmap picture = window->grab();
    window->close();
    machine({QStringLiteral("NEW"), QStringLiteral("NEWP"), QStringLiteral("NEWM")});
    if (!picture.save(out))
        return check(false, "writing restore.png");
    err() << "wrote " << out << " (" << picture.width() << 'x' << picture.height() << ")\n";
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The pictures are the output; the link's diary would only hide failures.
    QLoggingCategory::setFilterRules(QStringLiteral("quorin.*.debug=false\nquorin.*.info=false"));
    QCommandLineParser cli;
    cli.setApplicationDescription(
        QStringLiteral("Take the documentation screenshots from the monitor and the bundled simulator."));
    cli.addHelpOption();
    QCommandLineOption outOpt(QStringLiteral("out"), QStringLiteral("Output folder."), QStringLiteral("dir"),
                              QStringLiteral("docs/screens"));
    QCommandLineOption onlyOpt(
        QStringLiteral("only"),
        QStringLiteral(
            "Comma-separated shots to take (console, io, variables, mbk, cu, "
            "axis, tasks, breakpoint, trend, compare, restore, statusbar, journal, stale, watchonly); all by "
            "default."),
        QStringLiteral("names"));
    QCommandLineOption sizeOpt(
        QStringLiteral("size"),
        QStringLiteral("Window size, WxH; \"min\" for the smallest the window allows."),
        QStringLiteral("size"), QStringLiteral("1280x800"));
    QCommandLineOption fontOpt(QStringLiteral("font-pt"), QStringLiteral("Application font size in points."),
                               QStringLiteral("pt"));
    cli.addOptions({outOpt, onlyOpt, sizeOpt, fontOpt});
    cli.process(app);

    if (cli.isSet(fontOpt)) {
        QFont font = QApplication::font();
        font.setPointSizeF(cli.value(fontOpt).toDouble());
        QApplication::setFont(font);
    }
    QSize size;
    const QStringList wh = cli.value(sizeOpt).split(QLatin1Char('x'));
    if (wh.size() == 2)
        size = QSize(wh.at(0).toInt(), wh.at(1).toInt());

    const QDir out(cli.value(outOpt));
    if (!QDir().mkpath(out.path())) {
        err() << "quorin-shots: cannot create " << out.path() << '\n';
        return 1;
    }
    const QStringList only = cli.value(onlyOpt).split(QLatin1Char(','), Qt::SkipEmptyParts);

    Shots shots(out, size);
    const struct
    {
        const char *name;
        bool (Shots::*take)();
    } scenarios[] = {
        {"console", &Shots::console},
        {"io", &Shots::io},
        {"variables", &Shots::variables},
        {"mbk", &Shots::mbk},
        {"cu", &Shots::cu},
        {"axis", &Shots::axis},
        {"tasks", &Shots::tasks},
        {"breakpoint", &Shots::breakpoint},
        {"trend", &Shots::trend},
        {"compare", &Shots::compare},
        {"restore", &Shots::restore},
        {"statusbar", &Shots::statusBar},
        {"journal", &Shots::journal},
        {"stale", &Shots::stale},
        {"watchonly", &Shots::watchOnly},
        {"twowindows", &Shots::twoWindows},
    };
    bool ok = shots.start();
    for (const auto &s : scenarios) {
        if (!ok)
            break;
        if (!only.isEmpty() && !only.contains(QLatin1String(s.name)))
            continue;
        ok = (shots.*s.take)();
    }
    shots.reportAlerts();
    return ok ? 0 : 1;
}

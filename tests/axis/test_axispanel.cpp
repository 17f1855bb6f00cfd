// The axis panel against the simulator: each button's wire, confirmations and refusals, a poll.
#include "sim/machine.h"
#include "support/fixture.h"
#include "support/widgets.h"
#include "ui/freshness.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace {

// With `user`, as the user does it: the popup's activation, not just a new item.
void choose(QComboBox *box, const QString &title, bool user = false)
{
    const int at = box->findText(title);
    QVERIFY2(at >= 0, qPrintable(title));
    box->setCurrentIndex(at);
    if (user)
        emit box->activated(at);
}

} // namespace

class AxisPanelTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;

    template <typename T> T *named(const QString &name) const
    {
        T *w = control<T>(f->window.get(), name);
        return w ? w : (qFatal("no control %s", qPrintable(name)), nullptr);
    }
    QComboBox *popup(const char *name) const { return named<QComboBox>(name); }
    QLineEdit *field(const char *name) const { return named<QLineEdit>(name); }
    template <typename T = QLineEdit> T *axisWidget(const char *name, int axis) const
    {
        return named<T>(QLatin1String(name) + QStringLiteral("XYUZ").at(axis));
    }
    QPushButton *jog(int tag) const { return named<QPushButton>(QStringLiteral("buttonPgJog%1").arg(tag)); }
    void jogSettings()
    {
        choose(popup("popupbuttonPgSelect"), "3");
        choose(popup("popupbuttonPgPulse"), "100");
        choose(popup("popupbuttonPgAceel"), "5000");
    }
    QStringList tableTexts() const // row by row
    {
        QStringList out;
        for (int k = 0; k < 16; ++k)
            out << named<QLineEdit>(QStringLiteral("textfieldPgData%1%2").arg("XYUZ"[k % 4]).arg(k / 4))
                       ->text();
        return out;
    }
    // A point number and four coordinates, into the position-set row or the point-list row.
    void fillRow(const QStringList &row, bool pointList = false)
    {
        (pointList ? field("textfieldPgModAdr") : field("textfieldPgPosSetPnum"))->setText(row.at(0));
        for (int a = 0; a < 4; ++a)
            axisWidget(pointList ? "textfieldPgModData" : "textfieldPgPosSet", a)->setText(row.at(a + 1));
    }
    QStringList positionRow() const
    {
        QStringList out{field("textfieldPgPosSetPnum")->text()};
        for (int a = 0; a < 4; ++a)
            out << axisWidget("textfieldPgPosSet", a)->text();
        return out;
    }

private slots:
    void init()
    {
        f = std::make_unique<MonitorFixture>();
        QVERIFY(f->connectToSim());
        f->clearCommands();
        f->dialogs.clear();
    }
    void cleanup() { f.reset(); }

    // Per axis: back, stop, forward, each after its acceleration; no board, no action.
    void jogPadNeedsABoard()
    {
        const QStringList moves{"RMVS %1_A -100", "STOP %1_A STP_I", "RMVS %1_A 100"};
        jogSettings();
        for (int tag = 0; tag < 12; ++tag) {
            f->clearCommands();
            jog(tag)->click();
            f->settle();
            QCOMPARE(f->commands(),
                     QStringList({"ACCEL ALL_A 5000", moves.at(tag % 3).arg("XYUZ"[tag / 3])}));
        }
        choose(popup("popupbuttonPgSelect"), "None");
        field("textfieldPgTeachNum")->setText("8");
        fillRow({"3", "1", "2", "3", "4"});
        f->clearCommands();
        for (int tag = 0; tag < 18; ++tag) {
            f->dialogs.setNextAnswer(true);
            jog(tag)->click();
        }
        f->settle();
        QVERIFY(f->commands().isEmpty() && f->dialogs.entries.isEmpty());
        QCOMPARE(positionRow(), (QStringList{"3", "1", "2", "3", "4"}));
        // Teaching on Return does not look at the board; a second statement in the field is not taught.
        field("textfieldPgTeachNum")->setText("8 P(0) : H_ON 1 :");
        QTest::keyClick(field("textfieldPgTeachNum"), Qt::Key_Return);
        field("textfieldPgTeachNum")->setText("8");
        QTest::keyClick(field("textfieldPgTeachNum"), Qt::Key_Return);
        f->settle();
        QCOMPARE(f->dialogs.entries.size(), 1);
        QCOMPARE(f->dialogs.entries.at(0).text, "ここを\u3000P(8 )とします。");
        QCOMPARE(f->commands(), QStringList{"SETP 8 P(0)"});
    }

    // Each button that asks first, both answers; refused rows (no `command`) get a critical alert.
    void dialogs_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("command");
        const auto row = [](const QString &name, int tag, bool ok, const QString &text, const char *command,
                            const QStringList &fill = {}) {
            QTest::newRow(qPrintable(name)) << tag << ok << fill << text << QString(command);
        };
        for (const bool ok : {false, true}) {
            const QString answer = ok ? ", Ok" : ", Cancel";
            row("teach" + answer, 12, ok, "ここを\u3000P(5 )とします。", "SETP 5 P(0)");
            row("clear counters" + answer, 14, ok, "カウンタをクリアします。", "CLRPOS -1");
            row("position set" + answer, 16, ok, "SETP 7 100 -20 &H1F 0\nを実行します。",
                "SETP 7 100 -20 &H1F 0");
            row("clear positions" + answer, 17, ok, "現在値をクリアします。", "CLRPOS ALL_A");
            row("point list set" + answer, -1, ok, "SETP 9 1 -2 &HFF 4\nを実行します。",
                "SETP 9 1 -2 &HFF 4");
        }
        const QString empty = QStringLiteral("SETP 7 100  &H1F 0\n不正な内容です。");
        row("set, empty Y", 16, true, empty, "", {"7", "100", "", "&H1F", "0"});
        row("list, blank Y", -1, true, empty, "", {"7", "100", "  ", "&H1F", "0"});
    }
    void dialogs()
    {
        QFETCH(int, tag);
        QFETCH(bool, ok);
        QFETCH(QStringList, row);
        QFETCH(QString, text);
        QFETCH(QString, command);
        jogSettings();
        field("textfieldPgTeachNum")->setText("5");
        fillRow({"7", " 100", "-20 ", "&H1F", "0"});
        fillRow({"9", "1", "-2", "\t&HFF", "4"}, true);
        if (!row.isEmpty())
            fillRow(row, tag < 0);

        // Asked at the click, not while an action holds the link (the page's reads would stop meanwhile).
        const auto heldTheLink = std::make_shared<bool>(false);
        f->dialogs.onShow = [link = &f->link(), heldTheLink](const ScriptedDialogs::Entry &) {
            *heldTheLink = *heldTheLink || link->busy();
        };
        f->dialogs.setNextAnswer(ok);
        (tag < 0 ? named<QPushButton>("buttonPgPlistSetp") : jog(tag))->click(); // -1: the list's
        f->settle();
        QVERIFY(!*heldTheLink);

        QCOMPARE(f->dialogs.entries.size(), 1);
        const ScriptedDialogs::Entry &e = f->dialogs.entries.at(0);
        QCOMPARE(e.kind, command.isEmpty() ? "alert" : "confirm");
        QVERIFY(!command.isEmpty() || e.style == Dialogs::Style::Critical);
        QCOMPARE(e.text.toUtf8(), text.toUtf8()); // byte for byte
        QCOMPARE(f->commands(), ok && !command.isEmpty() ? QStringList{command} : QStringList{});
    }

    void pointNumbersFromEntryAndStepper()
    {
        QLineEdit *first = field("textfieldPgAdrSelect");
        auto *stepper = named<QAbstractSpinBox>("stepperPgAdrSelect");
        const auto rows = [&] {
            QStringList out;
            for (int r = 0; r < 4; ++r)
                out << named<QLineEdit>("textfieldPgAdr" + QString::number(r))->text();
            return out.join(u' ');
        };
        const auto enter = [&](const char *number) {
            first->setText(QLatin1String(number));
            QTest::keyClick(first, Qt::Key_Return);
        };
        QCOMPARE(rows(), "1 2 3 4");
        // Past 32 bits too the rows follow the typed number, and a step goes one on from it (the field
        // keeps what was typed).
        enter("5000000000");
        QCOMPARE(rows(), "5000000000 5000000001 5000000002 5000000003");
        QTest::keyClick(stepper, Qt::Key_Down);
        QCOMPARE(rows(), "4999999999 5000000000 5000000001 5000000002");
        QCOMPARE(first->text(), "5000000000");
        enter("-5000000000");
        QTest::keyClick(stepper, Qt::Key_Up);
        QCOMPARE(rows(), "-4999999999 -4999999998 -4999999997 -4999999996");

        f->sim->withMachine(
            [](sim::Machine &m) { m.handleLine("SETP 10 100 200 0 0 : SETP 13 13 14 15 -1"); });
        enter("10");
        QCOMPARE(rows(), "10 11 12 13");
        f->clearCommands();
        f->selectTab("5");
        QVERIFY(f->waitForCommand("PR P(10) P(11) P(12) P(13)"));
        QVERIFY(f->waitFor([&] { return tableTexts().at(1) == "200"; }));
        QCOMPARE(tableTexts().mid(12), (QStringList{"13", "14", "15", "-1"}));
        named<QRadioButton>("radiobuttonPgTypeHex")->click();
        QVERIFY(f->waitFor([&] { return tableTexts().at(15) == "&HFFFFFFFF"; }));
        QCOMPARE(tableTexts().at(0), "&H00000064");

        // A refresh that times out keeps the table (its alert is the fault matrix's).
        const QStringList shown = tableTexts();
        sim::Options stall = f->sim->options();
        stall.stallAfter = 0;
        f->sim->setOptions(stall);
        f->timeoutField()->setText("1");
        QVERIFY(f->waitFor([&] { return !f->dialogs.alertTexts().isEmpty() && !f->link().busy(); }));
        QCOMPARE(tableTexts(), shown);
    }

    // Stepped to the end of the point range, where the controller refuses the four points' query as a
    // whole: no row shows another point's coordinates, nor the refusal's words as coordinates.
    void refusedPointQueryShowsNoOtherValues()
    {
        f->sim->withMachine([](sim::Machine &m) {
            m.handleLine("SETP 9996 96 0 0 0 : SETP 9997 97 0 0 0 : SETP 9998 98 0 0 0 : SETP 9999 99 0 0 0");
        });
        QLineEdit *first = field("textfieldPgAdrSelect");
        first->setText("9996");
        QTest::keyClick(first, Qt::Key_Return);
        f->selectTab("5");
        QVERIFY(f->waitFor([&] { return tableTexts().at(0) == "96" && tableTexts().at(12) == "99"; }));

        first->setText("9997"); // points 9997 .. 10000; the controller keeps 0 .. 9999
        QTest::keyClick(first, Qt::Key_Return);
        QVERIFY(f->waitForCommand("PR P(9997) P(9998) P(9999) P(10000)"));
        const qint64 ticks = f->window->poller().ticks();
        QVERIFY(f->waitFor([&] { return f->window->poller().ticks() >= ticks + 2 && !f->link().busy(); }));
        QStringList wrong; // "point axis: shown" for every cell that shows what is not that point's
        const QStringList shown = tableTexts();
        for (int k = 0; k < 16; ++k) {
            const qint64 point = 9997 + k / 4;
            const QString right = point > 9999 ? QString() : k % 4 ? "0" : QString::number(point - 9900);
            if (!shown.at(k).isEmpty() && shown.at(k) != right)
                wrong << QStringLiteral("%1 %2: %3").arg(point).arg("XYUZ"[k % 4]).arg(shown.at(k));
        }
        QCOMPARE(wrong.join(u'|'), QString());
    }

    // The first point changed while the table's query is answered: the old points' coordinates never
    // show beside the new point numbers.
    void firstPointChangedDuringARead()
    {
        f->sim->withMachine([](sim::Machine &m) { m.handleLine("SETP 1 11 0 0 0 : SETP 10 1010 0 0 0"); });
        QLineEdit *x0 = field("textfieldPgDataX0");
        QStringList seen;
        connect(x0, &QLineEdit::textChanged, x0, [&seen](const QString &t) { seen << t; });
        f->slowReplies();
        f->selectTab("5");
        QVERIFY(f->waitForCommand("PR P(1) P(2) P(3) P(4)")); // its answer is on its way
        field("textfieldPgAdrSelect")->setText("10");
        QTest::keyClick(field("textfieldPgAdrSelect"), Qt::Key_Return);
        f->sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f->waitFor([&] { return x0->text() == "1010"; }));
        QCOMPARE(seen.join(u'|'), QStringLiteral("1010"));
    }

    // A board chosen while the controller is still refusing the one chosen before: the new choice stays
    // and is selected.
    void boardChosenWhileTheLastIsRefused()
    {
        f->slowReplies();
        f->selectTab("5");
        choose(popup("popupbuttonPgSelect"), "7", true); // the simulator has boards 0-3
        QVERIFY(f->waitForCommand("MPG 7"));             // its refusal is on its way
        choose(popup("popupbuttonPgSelect"), "2", true);
        QVERIFY(f->waitFor([&] { return !f->dialogs.alertTexts().isEmpty(); }));
        f->sim->setOptions(MonitorFixture::makeOptions());
        f->settle();
        QCOMPARE(popup("popupbuttonPgSelect")->currentText(), QStringLiteral("2"));
        QVERIFY(f->waitForCommand("MPG 2"));
    }

    // A poll on screen (some signal bits have no lamp), its values copied and set, a jog that moves them.
    void signalsThenJogEndToEnd()
    {
        f->sim->withMachine([](sim::Machine &m) {
            // LMT: X +limit, Y alarm, Z -limit, U +limit and alarm. HPT: X IN0, INP; Y IN1; Z IN3; U INP.
            m.pinSignalWords(0x3 | 1 << 2 | 1 << 12 | 1 << 19 | 1 << 26 | 1 << 28,
                             1 | 1 << 6 | 1 << 9 | 1 << 15 | 1 << 19 | 1 << 30);
            m.handleLine("SETP 0 -1 20 -300 4000 : SETP -1 -5 -60 -700 -8000");
        });
        choose(popup("popupbuttonPgReg"), "RR3(X_A,1)"); // X's target: -1
        choose(popup("popupbuttonPgPulse"), "1000");
        choose(popup("popupbuttonPgAceel"), "10000");
        f->selectTab("5");
        choose(popup("popupbuttonPgSelect"), "0", true);
        QVERIFY(f->waitForCommand("MPG 0"));
        QVERIFY(f->waitFor([&] { return named<QLabel>("labelPgReg")->text() == "FFFFFFFF"; }));
        QVERIFY(named<QGroupBox>("boxPgCurrentPos")->isVisible());
        QStringList lit;
        static const QRegularExpression lamp(QStringLiteral("^labelPg[XYUZ](Plmt|Mlmt|Alm|In\\d|Inp)$"));
        for (QLabel *l : f->window->findChildren<QLabel *>(lamp))
            if (heard(l).endsWith(QLatin1String(" on")))
                lit << heard(l);
        lit.sort();
        QCOMPARE(lit, (QStringList{"U +LMT on", "U ALM on", "U INP on", "X +LMT on", "X IN0 on", "X INP on",
                                   "Y ALM on", "Y IN1 on", "Z -LMT on", "Z IN3 on"}));
        QStringList fields;
        for (int a = 0; a < 4; ++a)
            fields << axisWidget<QLabel>("labelPgCurrentPos", a)->text()
                   << axisWidget<QLabel>("labelPgCounter", a)->text();
        QCOMPARE(fields, (QStringList{"-1", "-5", "20", "-60", "-300", "-700", "4000", "-8000"}));
        // The copy buttons fill the position-set row with what is shown and focus its first field.
        for (const auto &[tag, copied] : {std::pair{13, QStringList{"0", "-1", "20", "-300", "4000"}},
                                          std::pair{15, QStringList{"-1", "-5", "-60", "-700", "-8000"}}}) {
            axisWidget("textfieldPgPosSet", 1)->setFocus();
            jog(tag)->click();
            QCOMPARE(positionRow(), copied);
            QCOMPARE(f->window->focusWidget(), axisWidget("textfieldPgPosSet", 0));
        }
        f->dialogs.setNextAnswer(true);
        jog(16)->click();
        QVERIFY(f->waitForCommand("SETP -1 -5 -60 -700 -8000"));

        f->clearCommands();
        jog(2)->click();
        QVERIFY(
            f->waitFor([&] { return axisWidget<QLabel>("labelPgCurrentPos", 0)->text() == "999"; }, 10000));
        // The move went out right after its acceleration: no poll exchange in between.
        const QStringList sent = f->commands();
        QVERIFY(sent.contains("ACCEL ALL_A 10000"));
        QCOMPARE(sent.value(sent.indexOf("ACCEL ALL_A 10000") + 1), "RMVS X_A 1000");
        // Board 1 chosen and jogged at once, before a poll has selected it: board 1's X moves, not board 0's.
        // Nothing of board 0's readings stays on show meanwhile, for a copy to take.
        choose(popup("popupbuttonPgSelect"), "1", true);
        QCOMPARE(axisWidget<QLabel>("labelPgCurrentPos", 0)->text() + named<QLabel>("labelPgReg")->text(),
                 QString());
        jog(2)->click();
        QString xOnBoards; // "board 0 board 1" once both stand
        QVERIFY(f->waitFor(
            [&] {
                f->sim->withMachine([&](sim::Machine &m) {
                    xOnBoards = m.moving(0, 0) || m.moving(0, 1)
                                    ? QString()
                                    : QStringLiteral("%1 %2").arg(m.position(0, 0)).arg(m.position(0, 1));
                });
                return f->commands().count("RMVS X_A 1000") == 2 && !xOnBoards.isEmpty();
            },
            10000));
        QCOMPARE(xOnBoards, QStringLiteral("999 1000"));
        // Another register chosen: the last one's value (board 1's X target) goes until the new one is read.
        QVERIFY(f->waitFor([&] { return named<QLabel>("labelPgReg")->text() == "000003E8"; }));
        choose(popup("popupbuttonPgReg"), "PGE(0)"); // the selected board
        QCOMPARE(named<QLabel>("labelPgReg")->text(), QString());
        QVERIFY(f->waitFor([&] { return named<QLabel>("labelPgReg")->text() == "00000001"; }));

        // Disconnected and connected again (as to another controller) within the second: what was read
        // before stays dim until this connection reads it.
        f->disconnect();
        QVERIFY(connectTo(f->window.get(), QStringLiteral("127.0.0.1:%1").arg(f->sim->port())));
        QVERIFY(ui::Freshness::of(f->window.get())->isStale(axisWidget<QLabel>("labelPgCounter", 0)));
    }
};

QTEST_MAIN(AxisPanelTest)
#include "test_axispanel.moc"

// The axis panel in the real window against the simulator: what each jog and
// action button puts on the wire, the confirmations and the refusal, the
// board rule, the point numbers and the point table, and a jog from the click
// to the moved position on screen.
#include "sim/machine.h"
#include "support/fixture.h"
#include "ui/uihelpers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include <memory>

namespace {

// "ここを　P(" + n + " )とします。"
QString teachText(const QString &n)
{
    return QString::fromUtf8("\xE3\x81\x93\xE3\x81\x93\xE3\x82\x92\xE3\x80\x80P(") + n
           + QString::fromUtf8(" )\xE3\x81\xA8\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82");
}
// c + "\nを実行します。"
QString executeText(const QString &c)
{
    return c + QString::fromUtf8("\n\xE3\x82\x92\xE5\xAE\x9F\xE8\xA1\x8C\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82");
}
const QString kClearCounters = QString::fromUtf8(
    "\xE3\x82\xAB\xE3\x82\xA6\xE3\x83\xB3\xE3\x82\xBF\xE3\x82\x92\xE3\x82\xAF\xE3\x83\xAA\xE3\x82\xA2"
    "\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82");
const QString kClearPositions = QString::fromUtf8(
    "\xE7\x8F\xBE\xE5\x9C\xA8\xE5\x80\xA4\xE3\x82\x92\xE3\x82\xAF\xE3\x83\xAA\xE3\x82\xA2"
    "\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82");
const QString kInvalid = QString::fromUtf8("\n\xE4\xB8\x8D\xE6\xAD\xA3\xE3\x81\xAA\xE5\x86\x85\xE5\xAE\xB9"
                                           "\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82");

void enter(QLineEdit *field)
{
    QTest::keyClick(field, Qt::Key_Return);
}

// With pick, as the user does it: the popup's activation, not just a new current item.
void choose(QComboBox *box, const QString &title, bool activate = false)
{
    const int at = box->findText(title);
    QVERIFY2(at >= 0, qPrintable(title));
    box->setCurrentIndex(at);
    if (activate)
        emit box->activated(at);
}

void pick(QComboBox *box, const QString &title)
{
    choose(box, title, true);
}

} // namespace

class AxisPanelTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<MonitorFixture> f;

    QPushButton *jog(int tag) const
    {
        return f->window->findChild<QPushButton *>(QStringLiteral("buttonPgJog%1").arg(tag));
    }
    // Board "3", pulses "100", acceleration "5000".
    void jogSettings()
    {
        choose(f->vc->popupbuttonPgSelect, QStringLiteral("3"));
        choose(f->vc->popupbuttonPgPulse, QStringLiteral("100"));
        choose(f->vc->popupbuttonPgAceel, QStringLiteral("5000"));
    }
    QStringList tableTexts() const
    {
        QStringList out;
        for (int row = 0; row < 4; ++row)
            for (int a = 0; a < 4; ++a)
                out << f->vc->textfieldPgData[row][a]->text();
        return out;
    }
    // A point number and four coordinates, into the position-set row or the point-list row.
    void fillRow(const QStringList &row, bool pointList = false)
    {
        (pointList ? f->vc->textfieldPgModAdr : f->vc->textfieldPgPosSetPnum)->setText(row.at(0));
        for (int a = 0; a < 4; ++a)
            (pointList ? f->vc->textfieldPgModData : f->vc->textfieldPgPosSet)[a]->setText(row.at(a + 1));
    }
    QStringList positionRow() const
    {
        QStringList out{f->vc->textfieldPgPosSetPnum->text()};
        for (int a = 0; a < 4; ++a)
            out << f->vc->textfieldPgPosSet[a]->text();
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

    void jogPadSendsAccelerationThenMove()
    {
        const QStringList moves{"RMVS X_A -100", "STOP X_A STP_I", "RMVS X_A 100",
                                "RMVS Y_A -100", "STOP Y_A STP_I", "RMVS Y_A 100",
                                "RMVS U_A -100", "STOP U_A STP_I", "RMVS U_A 100",
                                "RMVS Z_A -100", "STOP Z_A STP_I", "RMVS Z_A 100"};
        jogSettings();
        for (int tag = 0; tag < 12; ++tag) {
            QVERIFY(jog(tag));
            f->clearCommands();
            jog(tag)->click();
            // Both exchanges are complete when the click returns.
            QCOMPARE(f->commands(), (QStringList{QStringLiteral("ACCEL ALL_A 5000"), moves.at(tag)}));
        }
        QVERIFY(f->dialogs.entries.isEmpty());

        // The test is a signed "below 12": a negative tag still sets the acceleration.
        f->clearCommands();
        f->vc->buttonPgJog_click(-1);
        QCOMPARE(f->commands(), QStringList{QStringLiteral("ACCEL ALL_A 5000")});
        f->clearCommands();
        f->vc->buttonPgJog_click(18);
        f->vc->buttonPgJog_click(1000);
        f->settle();
        QVERIFY(f->commands().isEmpty());
        QVERIFY(f->dialogs.entries.isEmpty());
    }

    void confirmations_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("command");
        for (const bool ok : {false, true}) {
            const char *answer = ok ? "Ok" : "Cancel";
            QTest::addRow("teach, %s", answer) << 12 << ok << teachText("5") << "SETP 5 P(0)";
            QTest::addRow("clear counters, %s", answer) << 14 << ok << kClearCounters << "CLRPOS -1";
            QTest::addRow("position set, %s", answer)
                << 16 << ok << executeText("SETP 7 100 -20 &H1F 0") << "SETP 7 100 -20 &H1F 0";
            QTest::addRow("clear positions, %s", answer) << 17 << ok << kClearPositions << "CLRPOS ALL_A";
            QTest::addRow("point list set, %s", answer)
                << -1 << ok << executeText("SETP 9 1 -2 &HFF 4") << "SETP 9 1 -2 &HFF 4";
        }
    }
    void confirmations()
    {
        QFETCH(int, tag);
        QFETCH(bool, ok);
        QFETCH(QString, question);
        QFETCH(QString, command);
        jogSettings();
        f->vc->textfieldPgTeachNum->setText(QStringLiteral("5"));
        fillRow({"7", " 100", "-20 ", "&H1F", "0"});
        fillRow({"9", "1", "-2", "\t&HFF", "4"}, true);

        f->dialogs.setNextAnswer(ok);
        if (tag < 0) // the point list's own button
            f->vc->buttonPgPlistSetp->click();
        else
            jog(tag)->click();

        QCOMPARE(f->dialogs.entries.size(), 1);
        QCOMPARE(f->dialogs.entries.at(0).kind, QStringLiteral("confirm"));
        QCOMPARE(f->dialogs.entries.at(0).text, question);
        f->settle();
        QCOMPARE(f->commands(), ok ? QStringList{command} : QStringList{});
    }

    void emptyOrBadFieldIsRefused_data()
    {
        QTest::addColumn<bool>("pointList");
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("message");
        const QString empty = QStringLiteral("SETP 7 100  &H1F 0\n不正な内容です。");
        QTest::newRow("position set, empty Y") << false << QStringList{"7", "100", "", "&H1F", "0"} << empty;
        QTest::newRow("point list, blank Y") << true << QStringList{"7", "100", "  ", "&H1F", "0"} << empty;
        QTest::newRow("position set, not a number")
            << false << QStringList{"7", "12X", "1", "2", "3"} << QString("SETP 7 12X 1 2 3") + kInvalid;
        QTest::newRow("point list, bare &H")
            << true << QStringList{"1", "&H", "1", "2", "3"} << QString("SETP 1 &H 1 2 3") + kInvalid;
    }
    void emptyOrBadFieldIsRefused()
    {
        QFETCH(bool, pointList);
        QFETCH(QStringList, row);
        QFETCH(QString, message);
        jogSettings();
        f->dialogs.setNextAnswer(true); // would proceed, were it asked
        fillRow(row, pointList);
        if (pointList)
            f->vc->buttonPgPlistSetp->click();
        else
            jog(16)->click();
        QCOMPARE(f->dialogs.entries.size(), 1);
        const ScriptedDialogs::Entry &e = f->dialogs.entries.at(0);
        QCOMPARE(e.kind, QStringLiteral("alert"));
        QCOMPARE(e.style, Dialogs::Style::Critical);
        QCOMPARE(e.text.toUtf8(), message.toUtf8()); // byte for byte
        f->settle();
        QVERIFY(f->commands().isEmpty());
    }

    void copyThenSet()
    {
        jogSettings();
        const QStringList positions{"1000", "-5", "0", "77"};
        const QStringList counters{"11", "-22", "33", "44"};
        for (int a = 0; a < 4; ++a) {
            f->vc->labelPgCurrentPos[a]->setText(positions.at(a));
            f->vc->labelPgCounter[a]->setText(counters.at(a));
        }

        jog(13)->click();
        QCOMPARE(positionRow(), QStringList{"0"} + positions);
        QCOMPARE(f->window->focusWidget(), f->vc->textfieldPgPosSet[0]);

        f->vc->textfieldPgPosSet[1]->setFocus();
        jog(15)->click();
        QCOMPARE(positionRow(), QStringList{"-1"} + counters);
        QCOMPARE(f->window->focusWidget(), f->vc->textfieldPgPosSet[0]);
        // Copying only fills the row.
        f->settle();
        QVERIFY(f->commands().isEmpty());
        QVERIFY(f->dialogs.entries.isEmpty());

        f->dialogs.setNextAnswer(true);
        jog(16)->click();
        QCOMPARE(f->commands(), QStringList{"SETP -1 11 -22 33 44"});
        std::array<qint64, 4> got{};
        f->sim->withMachine([&](sim::Machine &m) {
            for (int a = 0; a < 4; ++a)
                got[static_cast<size_t>(a)] = m.counter(a);
        });
        QCOMPARE(got, (std::array<qint64, 4>{11, -22, 33, 44}));
    }

    void noBoardIgnoresEveryJogTag()
    {
        jogSettings();
        choose(f->vc->popupbuttonPgSelect, QStringLiteral("None"));
        f->vc->textfieldPgTeachNum->setText(QStringLiteral("8"));
        fillRow({"3", "1", "2", "3", "4"});
        for (int a = 0; a < 4; ++a) {
            f->vc->labelPgCurrentPos[a]->setText(QStringLiteral("900"));
            f->vc->labelPgCounter[a]->setText(QStringLiteral("901"));
        }
        for (int i = 0; i < 18; ++i)
            f->dialogs.setNextAnswer(true);

        for (int tag = 0; tag < 18; ++tag) {
            QVERIFY(jog(tag));
            jog(tag)->click();
        }
        f->settle();
        QVERIFY(f->commands().isEmpty());
        QVERIFY(f->dialogs.entries.isEmpty());
        QCOMPARE(positionRow(), (QStringList{"3", "1", "2", "3", "4"}));

        // Teaching on Return does not look at the board.
        ui::setTextColor(f->vc->textfieldPgTeachNum, ui::kRed);
        enter(f->vc->textfieldPgTeachNum);
        QCOMPARE(ui::textColor(f->vc->textfieldPgTeachNum), ui::kBlack);
        QCOMPARE(f->dialogs.entries.size(), 1);
        QCOMPARE(f->dialogs.entries.at(0).text, teachText("8"));
        QCOMPARE(f->commands(), QStringList{"SETP 8 P(0)"});
    }

    void boardChoiceAsksForReselection()
    {
        f->vc->pgReSelect = false;
        // The program moving the popup (a refused board falling back to "None")
        // is not a choice.
        choose(f->vc->popupbuttonPgSelect, QStringLiteral("2"));
        QVERIFY(!f->vc->pgReSelect);
        pick(f->vc->popupbuttonPgSelect, QStringLiteral("1"));
        QVERIFY(f->vc->pgReSelect);
        f->settle();
        QVERIFY(f->commands().isEmpty());
    }

    void pointNumbersFromEntryAndStepper()
    {
        const auto rows = [&] {
            QStringList out;
            for (int r = 0; r < 4; ++r)
                out << f->vc->textfieldPgAdr[r]->text();
            return out;
        };
        QLineEdit *first = f->vc->textfieldPgAdrSelect;
        QSpinBox *stepper = f->vc->stepperPgAdrSelect;
        QCOMPARE(rows(), (QStringList{"1", "2", "3", "4"}));

        first->setText(QStringLiteral("10"));
        enter(first);
        QCOMPARE(rows(), (QStringList{"10", "11", "12", "13"}));
        QCOMPARE(stepper->value(), 10);

        // The stepper moves the rows but leaves the typed number alone.
        stepper->setValue(-3);
        QCOMPARE(rows(), (QStringList{"-3", "-2", "-1", "0"}));
        QCOMPARE(first->text(), QStringLiteral("10"));

        // Beyond the stepper's range: the rows keep the typed number.
        first->setText(QStringLiteral("5000000000"));
        enter(first);
        QCOMPARE(rows(), (QStringList{"5000000000", "5000000001", "5000000002", "5000000003"}));
        QCOMPARE(stepper->value(), stepper->maximum());

        // And the poll of the axis tab asks for the rows shown.
        first->setText(QStringLiteral("10"));
        enter(first);
        f->clearCommands();
        f->selectTab(QStringLiteral("5"));
        QVERIFY(f->waitForCommand(QStringLiteral("PR P(10) P(11) P(12) P(13)")));
    }

    void pointTableFromSimulator()
    {
        f->sim->withMachine([](sim::Machine &m) {
            m.handleLine(QStringLiteral("SETP 10 100 200 0 0"));
            m.handleLine(QStringLiteral("SETP 11 5 6 7 8"));
            m.handleLine(QStringLiteral("SETP 12 9 10 11 12"));
            m.handleLine(QStringLiteral("SETP 13 13 14 15 -1"));
        });
        f->vc->textfieldPgAdrSelect->setText(QStringLiteral("10"));
        enter(f->vc->textfieldPgAdrSelect);

        f->vc->pgvalueshow();
        QCOMPARE(tableTexts(), (QStringList{"100", "200", "0", "0", "5", "6", "7", "8", "9", "10", "11", "12",
                                            "13", "14", "15", "-1"}));

        f->traces.clear();
        f->vc->radiobuttonPgTypeHex->click();
        QCOMPARE(f->traces, QStringList{"Hex"});
        f->vc->pgvalueshow();
        QCOMPARE(tableTexts(),
                 (QStringList{"&H00000064", "&H000000C8", "&H00000000", "&H00000000", "&H00000005", "&H00000006",
                              "&H00000007", "&H00000008", "&H00000009", "&H0000000A", "&H0000000B", "&H0000000C",
                              "&H0000000D", "&H0000000E", "&H0000000F", "&HFFFFFFFF"}));
    }

    void failedRefreshKeepsTable()
    {
        for (int row = 0; row < 4; ++row)
            for (int a = 0; a < 4; ++a)
                f->vc->textfieldPgData[row][a]->setText(QStringLiteral("old"));
        const QStringList before = tableTexts();

        // A controller that stops answering: the wait times out at once.
        sim::Options stall = f->sim->options();
        stall.stallAfter = 0;
        f->sim->setOptions(stall);
        f->vc->textFieldTimeOutSec->setText(QStringLiteral("0"));
        f->vc->pgvalueshow();
        QVERIFY(f->waitForCommand(QStringLiteral("PR P(1) P(2) P(3) P(4)")));
        QVERIFY(!f->vc->isConnected());
        QCOMPARE(f->dialogs.alertTexts().size(), 1);
        QVERIFY(f->dialogs.alertTexts().at(0).startsWith(QStringLiteral("Receive Timeout")));
        QCOMPARE(tableTexts(), before);

        // And without a connection nothing is sent.
        f->clearCommands();
        f->vc->pgvalueshow();
        f->settle();
        QVERIFY(f->commands().isEmpty());
        QCOMPARE(tableTexts(), before);
    }

    void jogEndToEnd()
    {
        choose(f->vc->popupbuttonPgPulse, QStringLiteral("1000"));
        choose(f->vc->popupbuttonPgAceel, QStringLiteral("10000"));
        f->selectTab(QStringLiteral("5"));
        pick(f->vc->popupbuttonPgSelect, QStringLiteral("0"));
        QVERIFY(f->waitForCommand(QStringLiteral("MPG 0")));
        QVERIFY(f->waitFor([&] { return f->vc->boxPgCurrentPos->isVisible(); }));
        // The axis signals are being polled.
        QVERIFY(f->waitFor([&] {
            return !f->commands().filter(QRegularExpression(QStringLiteral("^PR LMT\\(0\\)"))).isEmpty();
        }));

        f->clearCommands();
        jog(2)->click();
        QVERIFY(f->waitFor([&] { return f->vc->labelPgCurrentPos[0]->text() == QLatin1String("1000"); }, 10000));
        qint64 x = 0;
        f->sim->withMachine([&](sim::Machine &m) { x = m.position(0, 0); });
        QCOMPARE(x, qint64(1000));
        for (int a = 1; a < 4; ++a)
            QCOMPARE(f->vc->labelPgCurrentPos[a]->text(), QStringLiteral("0"));

        // The move went out right after its acceleration: no poll exchange in between.
        const QStringList sent = f->commands();
        const int accel = sent.indexOf(QStringLiteral("ACCEL ALL_A 10000"));
        QVERIFY(accel >= 0);
        QCOMPARE(sent.value(accel + 1), QStringLiteral("RMVS X_A 1000"));
    }
};

QTEST_MAIN(AxisPanelTest)
#include "test_axispanel.moc"

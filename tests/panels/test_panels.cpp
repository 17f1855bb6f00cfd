// The data panels in the real window, from the user's action to the value
// the poll brings back into the display.
#include "sim/machine.h"
#include "support/fixture.h"
#include "support/widgets.h"
#include "ui/uihelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

namespace {

QString shown(const QLabel *value)
{
    return value->property("plainValue").toString();
}

QStringList texts(QLineEdit *const *fields)
{
    QStringList out;
    for (int r = 0; r < 8; ++r)
        out << fields[r]->text();
    return out;
}

QStringList range(qint64 from, int step = 1)
{
    QStringList out;
    for (int r = 0; r < 8; ++r)
        out << ((step == 2 && r % 2) ? QString() : QString::number(from + r));
    return out;
}

// Types into a field the way a user does: its text is replaced key by key.
void typeInto(QLineEdit *field, const QString &text)
{
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void enter(QLineEdit *field)
{
    QTest::keyClick(field, Qt::Key_Return);
}

void submit(QLineEdit *field, const QString &text)
{
    typeInto(field, text);
    enter(field);
}

} // namespace

class PanelsTest : public QObject
{
    Q_OBJECT

private slots:
    void editFieldsTurnRedUntilReturn()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        ViewController &vc = *f.vc;
        QLineEdit *const fields[] = {
            vc.textfieldVariModName,
            vc.textfieldVariModValue,
            vc.textfieldMbkAdrSelect,
            vc.textfieldMbkModAdr,
            vc.textfieldMbkModData,
            control<QLineEdit>(f.window.get(), QStringLiteral("textfieldPgAdrSelect")),
            control<QLineEdit>(f.window.get(), QStringLiteral("textfieldPgTeachNum")),
            vc.textfieldTaskNoSelect};
        for (QLineEdit *e : fields) {
            QCOMPARE(ui::textColor(e), ui::kBlack);
            QTest::keyClicks(e, QStringLiteral("1"));
            QVERIFY2(ui::textColor(e) == ui::kRed, qPrintable(e->objectName()));
            enter(e);
            QVERIFY2(ui::textColor(e) == ui::kBlack, qPrintable(e->objectName()));
        }
        // Text the program sets is not an edit.
        ui::setTextColor(vc.textfieldMbkModAdr, ui::kBlack);
        vc.textfieldMbkModAdr->setText(QStringLiteral("8"));
        QCOMPARE(ui::textColor(vc.textfieldMbkModAdr), ui::kBlack);

        // A write with an empty value is not taken: the field stays red.
        submit(vc.textfieldMbkModData, QString());
        QCOMPARE(ui::textColor(vc.textfieldMbkModData), ui::kRed);
    }

    void combosAndVariableChecks()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        ViewController &vc = *f.vc;
        for (QComboBox *box : {vc.comboBox1, vc.comboBox2, vc.comboBox3}) {
            box->setEnabled(true);
            box->setEditText(QStringLiteral("\r\nPR A\u2028\n"));
            QCOMPARE(box->currentText(), QStringLiteral("PR A"));
        }

        // Editing a name unchecks its row only.
        for (QCheckBox *c : vc.checkboxVari)
            c->setChecked(true);
        QTest::keyClicks(vc.textfieldVariName[2], QStringLiteral("B"));
        for (int r = 0; r < 8; ++r)
            QCOMPARE(vc.checkboxVari[r]->isChecked(), r != 2);

        // Check-all checks the named rows only, and a second click clears all.
        for (QCheckBox *c : vc.checkboxVari)
            c->setChecked(false);
        vc.textfieldVariName[0]->setText(QStringLiteral("A"));
        vc.textfieldVariName[2]->clear();
        vc.textfieldVariName[3]->setText(QStringLiteral(" S$ "));
        vc.textfieldVariName[5]->setText(QStringLiteral(" \t"));
        vc.checkboxVariAll->click();
        QVERIFY(vc.checkboxVariAll->isChecked());
        for (int r = 0; r < 8; ++r)
            QCOMPARE(vc.checkboxVari[r]->isChecked(), r == 0 || r == 3);
        vc.checkboxVari[6]->setChecked(true); // an empty row checked by hand
        vc.checkboxVariAll->click();
        for (QCheckBox *c : vc.checkboxVari)
            QVERIFY(!c->isChecked());
    }

    void mbkLayoutAcrossSizeChanges()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        ViewController &vc = *f.vc;
        vc.radiobuttonMbkSizeWrd->click();
        submit(vc.textfieldMbkAdrSelect, QStringLiteral("100"));

        // A size change lays out from row 0, not from what the field now holds.
        typeInto(vc.textfieldMbkAdrSelect, QStringLiteral("555"));
        vc.radiobuttonMbkSizeLng->click();
        QCOMPARE(texts(vc.textfieldMbkAdr), range(100, 2));
        vc.radiobuttonMbkSizeInt->click();
        QCOMPARE(texts(vc.textfieldMbkAdr), range(100));

        // The next Return takes the typed address again.
        enter(vc.textfieldMbkAdrSelect);
        QCOMPARE(texts(vc.textfieldMbkAdr), range(555));
        QCOMPARE(vc.stepperMbkAdrSelect->value(), 555);
    }

    // Both panels lay their rows out from a typed number or from the stepper.
    void rowsFromEntryAndStepper_data()
    {
        QTest::addColumn<bool>("mbk");
        QTest::newRow("MBK") << true;
        QTest::newRow("tasks") << false;
    }
    void rowsFromEntryAndStepper()
    {
        QFETCH(bool, mbk);
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        ViewController &vc = *f.vc;
        QLineEdit *select = mbk ? vc.textfieldMbkAdrSelect : vc.textfieldTaskNoSelect;
        QSpinBox *stepper = mbk ? vc.stepperMbkAdrSelect : vc.stepperTaskNoSelect;
        QLineEdit *const *rows = mbk ? vc.textfieldMbkAdr : vc.textfieldTaskNo;
        submit(select, QStringLiteral("30"));
        QCOMPARE(texts(rows), range(30));
        QCOMPARE(stepper->value(), 30);

        // A user step moves the rows; the field is untouched.
        QTest::keyClick(stepper, Qt::Key_Down);
        QCOMPARE(texts(rows), range(29));
        QCOMPARE(select->text(), QStringLiteral("30"));

        // Beyond the stepper's range the rows still follow the typed number.
        submit(select, QStringLiteral("9223372036854775800"));
        QCOMPARE(rows[7]->text(), QStringLiteral("9223372036854775807"));
        QCOMPARE(stepper->value(), stepper->maximum());

        // One more and row 7 would leave 64 bits: refused, the rows stay.
        const QStringList before = texts(rows);
        submit(select, QStringLiteral("9223372036854775801"));
        QCOMPARE(texts(rows), before);
        QCOMPARE(ui::textColor(select), ui::kRed);
    }

    void variablesPollAndAssign()
    {
        MonitorFixture f;
        ViewController &vc = *f.vc;
        f.sim->withMachine([](sim::Machine &m) {
            m.setVariable(QStringLiteral("A"), 25);
            m.setVariable(QStringLiteral("S$"), QStringLiteral("a\tb\rc"));
        });
        const QStringList names = {"A", "S$", "DATA_#4", "DATA_#", "", "", "", ""};
        for (int r = 0; r < 8; ++r)
            vc.textfieldVariName[r]->setText(names.at(r));
        for (int r = 0; r < 4; ++r)
            vc.checkboxVari[r]->setChecked(true);
        vc.checkboxVari[5]->setChecked(true); // checked but empty: unchecked by the refresh
        QVERIFY(f.connectToSim());
        f.selectTab(QStringLiteral("2"));

        QVERIFY(f.waitFor([&] { return shown(vc.textfieldVariValue[0]) == QLatin1String("25"); }));
        QVERIFY(f.waitFor([&] { return shown(vc.textfieldVariValue[1]) == QLatin1String("a\\tb\\rc"); }));
        QCOMPARE(vc.textfieldVariValue[1]->textFormat(), Qt::RichText);
        QCOMPARE(heard(vc.textfieldVariValue[1]), QStringLiteral("a\\tb\\rc"));
        QVERIFY(f.waitForCommand(QStringLiteral("PRA DATA_ 4")));
        QVERIFY(!vc.checkboxVari[3]->isChecked());
        QVERIFY(!vc.checkboxVari[5]->isChecked());
        QVERIFY(!f.commands().contains(QStringLiteral("PRA DATA_ ")));

        // Assign: the command goes out as one line and the poll shows the result.
        typeInto(vc.textfieldVariModName, QStringLiteral("A"));
        submit(vc.textfieldVariModValue, QStringLiteral(" 7 "));
        QVERIFY(f.waitForCommand(QStringLiteral("A=7")));
        QVERIFY(f.waitFor([&] { return shown(vc.textfieldVariValue[0]) == QLatin1String("7"); }));

        typeInto(vc.textfieldVariModName, QStringLiteral("S$"));
        vc.textfieldVariModValue->setText(QString::fromUtf8("日本 ")); // beyond what key clicks can type
        enter(vc.textfieldVariModValue);
        QVERIFY(f.waitForCommand(QString::fromUtf8("S$=\"日本 \"")));
        QVERIFY(f.waitFor([&] { return shown(vc.textfieldVariValue[1]) == QString::fromUtf8("日本 "); }));

        // Hexadecimal: numbers as "&H" words, strings as their Shift-JIS bytes.
        vc.radiobuttonVariTypeHex->click();
        QVERIFY(f.waitFor([&] { return shown(vc.textfieldVariValue[0]) == QLatin1String("&H00000007 "); }));
        QVERIFY(
            f.waitFor([&] { return shown(vc.textfieldVariValue[1]) == QLatin1String("93 FA 96 7B 20 "); }));
        QCOMPARE(vc.textfieldVariValue[1]->textFormat(), Qt::PlainText);

        // A refresh that times out leaves the last values on show.
        sim::Options stall = f.sim->options();
        stall.stallAfter = 0;
        f.sim->setOptions(stall);
        vc.textFieldTimeOutSec->setText(QStringLiteral("0"));
        QVERIFY(f.waitFor([&] { return !vc.isConnected() && !vc.exchangeBusy(); }));
        QCOMPARE(shown(vc.textfieldVariValue[0]) + shown(vc.textfieldVariValue[1]),
                 QStringLiteral("&H00000007 93 FA 96 7B 20 "));
    }

    void mbkWriteIsPolledBack()
    {
        MonitorFixture f;
        ViewController &vc = *f.vc;
        vc.radiobuttonMbkSizeWrd->click();
        submit(vc.textfieldMbkAdrSelect, QStringLiteral("100"));
        QVERIFY(f.connectToSim());
        f.selectTab(QStringLiteral("3"));
        QVERIFY(f.waitForCommand(QStringLiteral("PR MBK(107~Wrd)")));
        QVERIFY(f.waitFor([&] { return vc.textfieldMbkData[1]->text() == QLatin1String("0"); }));

        submit(vc.textfieldMbkModAdr, QStringLiteral("101"));
        submit(vc.textfieldMbkModData, QStringLiteral(" 255 "));
        QVERIFY(f.waitForCommand(QStringLiteral("MBK(101~Wrd)=255")));
        QVERIFY(f.waitFor([&] { return vc.textfieldMbkData[1]->text() == QLatin1String("255"); }));
        QCOMPARE(ui::textColor(vc.textfieldMbkModData), ui::kBlack);

        vc.radiobuttonMbkTypeHex->click();
        QVERIFY(f.waitFor([&] { return vc.textfieldMbkData[1]->text() == QLatin1String("&H000000FF"); }));

        // Long entries: the odd rows are neither shown nor polled.
        vc.radiobuttonMbkSizeLng->click();
        typeInto(vc.textfieldMbkModAdr, QStringLiteral("102"));
        submit(vc.textfieldMbkModData, QStringLiteral("-2"));
        QVERIFY(f.waitForCommand(QStringLiteral("MBK(102~Lng)=-2")));
        QVERIFY(f.waitFor([&] { return vc.textfieldMbkData[2]->text() == QLatin1String("&HFFFFFFFE"); }));
        f.clearCommands();
        QVERIFY(f.waitForCommand(QStringLiteral("PR MBK(106~Lng)")));
        QVERIFY(f.waitForCommand(QStringLiteral("PR MBK(100~Lng)")));
        const QStringList polled = f.commands();
        for (const char *odd : {"PR MBK(~Lng)", "PR MBK(101~Lng)", "PR MBK(103~Lng)"})
            QVERIFY2(!polled.contains(QLatin1String(odd)), odd);
        QCOMPARE(vc.textfieldMbkData[1]->text(), QString());
    }

    void taskAreaClearIsPolledBack()
    {
        MonitorFixture f;
        ViewController &vc = *f.vc;
        // Steps of task 3 and task 33 (the second half of the area).
        f.sim->withMachine([](sim::Machine &m) {
            m.setMbkWord(7842, 12);
            m.setMbkWord(7774, 40);
        });
        submit(vc.textfieldTaskNoSelect, QStringLiteral("30"));
        QVERIFY(f.connectToSim());
        f.selectTab(QStringLiteral("6"));
        QVERIFY(f.waitForCommand(QStringLiteral("PR MBK(7774~Lng) TASK(33|256)")));
        QVERIFY(f.waitFor([&] { return vc.textfieldTaskStep[3]->text() == QLatin1String("40"); }));
        QCOMPARE(vc.textfieldTaskStatus[3]->text(), QStringLiteral("0"));

        submit(vc.textfieldTaskNoSelect, QStringLiteral("0"));
        QVERIFY(f.waitFor([&] { return vc.textfieldTaskStep[3]->text() == QLatin1String("12"); }));

        vc.buttonTaskMbkAreaClear->click();
        QVERIFY(f.waitForCommand(QStringLiteral("FILL MBK(7772) 128 0")));
        QVERIFY(f.waitFor([&] { return vc.textfieldTaskStep[3]->text() == QLatin1String("0"); }));
    }
};

QTEST_MAIN(PanelsTest)
#include "test_panels.moc"

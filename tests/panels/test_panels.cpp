// The data panels in the real window, from the user's action to the value the poll brings back.
#include "link/textutil.h"
#include "sim/machine.h"
#include "support/fixture.h"
#include "support/widgets.h"
#include "ui/uihelpers.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class PanelsTest : public QObject
{
    Q_OBJECT

    static QString shown(const QLabel *value) { return value->property("plainValue").toString(); }
    template <typename T> static QList<T *> rows(const MonitorFixture &f, const QString &prefix)
    {
        QList<T *> out;
        for (int r = 0; r < 8; ++r)
            out << control<T>(f.window.get(), prefix + QString::number(r));
        return out;
    }
    static QStringList texts(const QList<QLineEdit *> &fields)
    {
        QStringList out;
        for (const QLineEdit *field : fields)
            out << field->text();
        return out;
    }
    // The rows' check marks, row 0 first: "10010000".
    static QString ticks(const QList<QCheckBox *> &checks)
    {
        QString out;
        for (const QCheckBox *c : checks)
            out += c->isChecked() ? u'1' : u'0';
        return out;
    }
    // Eight numbers from `from`, or only the even rows' with `step` 2.
    static QStringList range(qint64 from, int step = 1)
    {
        QStringList out;
        for (int r = 0; r < 8; ++r)
            out << (r % step ? QString() : QString::number(from + r));
        return out;
    }
    static void typeInto(QLineEdit *field, const QString &text)
    {
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }
    static void enter(QLineEdit *field) { QTest::keyClick(field, Qt::Key_Return); }
    static void submit(QLineEdit *field, const QString &text)
    {
        typeInto(field, text);
        enter(field);
    }

private slots:
    // Edited fields turn red until Return; names edited or checked by the user.
    void editingWithoutAConnection()
    {
        MonitorFixture f(MonitorFixture::makeOptions(), false);
        const char *const fields[] = {"textfieldVariModName",  "textfieldVariModValue",
                                      "textfieldMbkAdrSelect", "textfieldMbkModAdr",
                                      "textfieldMbkModData",   "textfieldPgAdrSelect",
                                      "textfieldPgTeachNum",   "textfieldTaskNoSelect"};
        for (const char *name : fields) {
            QLineEdit *e = control<QLineEdit>(f.window.get(), QLatin1String(name));
            QVERIFY2(e, name);
            QCOMPARE(ui::textColor(e), ui::kBlack);
            QTest::keyClicks(e, QStringLiteral("1"));
            QVERIFY2(ui::textColor(e) == ui::kRed, qPrintable(e->objectName()));
            enter(e);
            QVERIFY2(ui::textColor(e) == ui::kBlack, qPrintable(e->objectName()));
        }
        // Text the program sets is not an edit; a write with an empty value is not taken.
        auto *modAdr = control<QLineEdit>(f.window.get(), "textfieldMbkModAdr");
        modAdr->setText("8");
        QCOMPARE(ui::textColor(modAdr), ui::kBlack);
        auto *modData = control<QLineEdit>(f.window.get(), "textfieldMbkModData");
        submit(modData, QString());
        QCOMPARE(ui::textColor(modData), ui::kRed);

        // The command boxes keep one line.
        for (QComboBox *box : rows<QComboBox>(f, QStringLiteral("comboBox")).mid(1, 3)) {
            box->setEnabled(true);
            box->setEditText("\r\nPR A\u2028\n");
            QCOMPARE(box->currentText(), QStringLiteral("PR A"));
        }

        // Editing a name unchecks its row only.
        const QList<QCheckBox *> checks = rows<QCheckBox>(f, QStringLiteral("checkboxVari"));
        const QList<QLineEdit *> names = rows<QLineEdit>(f, QStringLiteral("textfieldVariName"));
        auto *all = control<QCheckBox>(f.window.get(), "checkboxVariAll");
        for (QCheckBox *c : checks)
            c->setChecked(true);
        QTest::keyClicks(names[2], "B");
        QCOMPARE(ticks(checks), QStringLiteral("11011111"));

        // Check-all checks the named rows only, and a second click clears all.
        for (QCheckBox *c : checks)
            c->setChecked(false);
        names[0]->setText("A");
        names[2]->clear();
        names[3]->setText(" S$ ");
        names[5]->setText(" \t");
        all->click();
        QVERIFY(all->isChecked());
        QCOMPARE(ticks(checks), QStringLiteral("10010000"));
        checks[6]->setChecked(true); // an empty row checked by hand
        all->click();
        QCOMPARE(ticks(checks), QStringLiteral("00000000"));

        // Both panels lay their rows out from a typed number or from the stepper.
        QWidget *w = f.window.get();
        for (const bool mbk : {true, false}) {
            auto *select = control<QLineEdit>(w, mbk ? "textfieldMbkAdrSelect" : "textfieldTaskNoSelect");
            auto *stepper = control<QAbstractSpinBox>(w, mbk ? "stepperMbkAdrSelect" : "stepperTaskNoSelect");
            const QList<QLineEdit *> lines = rows<QLineEdit>(f, mbk ? "textfieldMbkAdr" : "textfieldTaskNo");
            submit(select, "30");
            QCOMPARE(texts(lines), range(30));
            // A user step moves the rows from the typed number; the field is untouched.
            QTest::keyClick(stepper, Qt::Key_Down);
            QCOMPARE(texts(lines), range(29));
            QCOMPARE(select->text(), "30");
            // Past 32 bits too, a step goes one on from the typed number, either way.
            submit(select, "5000000000");
            QTest::keyClick(stepper, Qt::Key_Down);
            QCOMPARE(texts(lines), range(4999999999));
            QTest::keyClick(stepper, Qt::Key_Up);
            QTest::keyClick(stepper, Qt::Key_Up);
            QCOMPARE(texts(lines), range(5000000001));
            submit(select, "9223372036854775800");
            QCOMPARE(lines[7]->text(), "9223372036854775807");
            // One more and row 7 would leave 64 bits: refused, by a step or typed; the rows stay.
            const QStringList before = texts(lines);
            QTest::keyClick(stepper, Qt::Key_Up);
            QCOMPARE(texts(lines), before);
            QTest::keyClick(stepper, Qt::Key_Down);
            QCOMPARE(texts(lines), range(9223372036854775799));
            submit(select, "9223372036854775800");
            submit(select, "9223372036854775801");
            QCOMPARE(texts(lines), before);
            QCOMPARE(ui::textColor(select), ui::kRed);
        }

        // A size change lays the MBK rows out from row 0, not from the field; Return takes the field.
        auto *start = control<QLineEdit>(w, "textfieldMbkAdrSelect");
        const QList<QLineEdit *> adr = rows<QLineEdit>(f, QStringLiteral("textfieldMbkAdr"));
        control<QRadioButton>(w, "radiobuttonMbkSizeWrd")->click();
        submit(start, "100");
        typeInto(start, "555");
        control<QRadioButton>(w, "radiobuttonMbkSizeLng")->click();
        QCOMPARE(texts(adr), range(100, 2));
        control<QRadioButton>(w, "radiobuttonMbkSizeInt")->click();
        QCOMPARE(texts(adr), range(100));
        enter(start);
        QCOMPARE(texts(adr), range(555));
        QTest::keyClick(control<QAbstractSpinBox>(w, "stepperMbkAdrSelect"), Qt::Key_Up);
        QCOMPARE(texts(adr), range(556));
    }

    // A task the controller has no status for: its refusal is not shown as the task's step and status.
    void refusedTaskReadIsNoStepOrStatus()
    {
        MonitorFixture f;
        QWidget *w = f.window.get();
        // Rows for tasks 60 .. 67; the controller has tasks 0 .. 63.
        submit(control<QLineEdit>(w, "textfieldTaskNoSelect"), "60");
        QCOMPARE(control<QLineEdit>(w, "textfieldTaskNo4")->text(), QStringLiteral("64"));
        QVERIFY(f.connectToSim());
        f.selectTab("6");
        QVERIFY(f.waitForCommand("PR MBK(7836~Lng) TASK(64|256)"));
        const qint64 ticks = f.window->poller().ticks(); // a whole tick after it
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= ticks + 2 && !f.link().busy(); }));
        QCOMPARE(control<QLineEdit>(w, "textfieldTaskStep3")->text(), QStringLiteral("0")); // task 63 is read
        QStringList notNumbers; // what task 64's step and status fields show that is no number
        for (const char *name : {"textfieldTaskStep4", "textfieldTaskStatus4"}) {
            const QString shown = control<QLineEdit>(w, QLatin1String(name))->text();
            if (!shown.isEmpty() && !text::isInt(shown))
                notNumbers << shown;
        }
        QCOMPARE(notNumbers.join(u'|'), QString());
    }

    // Long entries chosen while an odd row's word is being read: that row has no address any more and
    // shows no value either.
    void longEntriesChosenDuringAnOddRowRead()
    {
        MonitorFixture f;
        QWidget *w = f.window.get();
        f.sim->withMachine([](sim::Machine &m) { m.setMbkWord(1, 1234); });
        QVERIFY(f.connectToSim());
        f.slowReplies();
        f.selectTab("3");
        QVERIFY(f.waitForCommand("PR MBK(1~Int)")); // its answer is on its way
        control<QRadioButton>(w, "radiobuttonMbkSizeLng")->click();
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.waitForCommand("PR MBK(0~Lng)"));
        const qint64 ticks = f.window->poller().ticks();
        QVERIFY(f.waitFor([&] { return f.window->poller().ticks() >= ticks + 2 && !f.link().busy(); }));
        QCOMPARE(control<QLineEdit>(w, "textfieldMbkAdr1")->text(), QString());
        QCOMPARE(control<QLineEdit>(w, "textfieldMbkData1")->text(), QString());
    }

    // The first task changed while a row's step is being read: the old task's step never shows beside
    // the new task number.
    void firstTaskChangedDuringARead()
    {
        MonitorFixture f;
        QWidget *w = f.window.get();
        f.sim->withMachine([](sim::Machine &m) {
            m.setMbkWord(7836, 12); // task 0's step
            m.setMbkWord(7896, 77); // task 30's
        });
        auto *step0 = control<QLineEdit>(w, "textfieldTaskStep0");
        QStringList seen;
        connect(step0, &QLineEdit::textChanged, step0, [&seen](const QString &t) { seen << t; });
        QVERIFY(f.connectToSim());
        f.slowReplies();
        f.selectTab("6");
        QVERIFY(f.waitForCommand("PR MBK(7836~Lng) TASK(0|256)")); // its answer is on its way
        submit(control<QLineEdit>(w, "textfieldTaskNoSelect"), "30");
        f.sim->setOptions(MonitorFixture::makeOptions());
        QVERIFY(f.waitFor([&] { return step0->text() == QLatin1String("77"); }));
        QCOMPARE(seen.join(u'|'), QStringLiteral("77"));
    }

    // A watched name retyped while its value is being read: the row is no longer watched and never shows
    // the old variable's value beside the new name.
    void nameRetypedDuringARead()
    {
        MonitorFixture f;
        QWidget *w = f.window.get();
        f.sim->withMachine([](sim::Machine &m) { m.setVariable(QStringLiteral("A"), 25); });
        auto *name = control<QLineEdit>(w, "textfieldVariName0");
        name->setText("A");
        control<QCheckBox>(w, "checkboxVari0")->setChecked(true);
        QVERIFY(f.connectToSim());
        f.slowReplies();
        f.selectTab("2");
        QVERIFY(f.waitForCommand("PR A")); // its answer is on its way
        typeInto(name, "B");
        f.settle();
        QCOMPARE(name->text() + '=' + shown(control<QLabel>(w, "textfieldVariValue0")), QStringLiteral("B="));
    }

    // An MBK write, the task area's clear and variable assignments, each polled back.
    void writesArePolledBack()
    {
        MonitorFixture f;
        QWidget *w = f.window.get();
        f.sim->withMachine([](sim::Machine &m) {
            m.setMbkWord(7842, 12); // task 3's step
            m.setMbkWord(7774, 40); // task 33's, in the second half of the area
            m.setVariable(QStringLiteral("A"), 25);
            m.setVariable(QStringLiteral("S$"), QStringLiteral("a\tb\rc"));
        });
        const QList<QLineEdit *> data = rows<QLineEdit>(f, QStringLiteral("textfieldMbkData"));
        auto *modAdr = control<QLineEdit>(w, "textfieldMbkModAdr");
        auto *modData = control<QLineEdit>(w, "textfieldMbkModData");
        control<QRadioButton>(w, "radiobuttonMbkSizeWrd")->click();
        submit(control<QLineEdit>(w, "textfieldMbkAdrSelect"), "100");
        QVERIFY(f.connectToSim());
        f.selectTab("3");
        QVERIFY(f.waitForCommand("PR MBK(107~Wrd)"));
        QVERIFY(f.waitFor([&] { return data[1]->text() == QLatin1String("0"); }));

        submit(modAdr, "101");
        submit(modData, " 255 ");
        QVERIFY(f.waitForCommand("MBK(101~Wrd)=255"));
        QVERIFY(f.waitFor([&] { return data[1]->text() == QLatin1String("255"); }));
        QCOMPARE(ui::textColor(modData), ui::kBlack);

        control<QRadioButton>(w, "radiobuttonMbkTypeHex")->click();
        QVERIFY(f.waitFor([&] { return data[1]->text() == QLatin1String("&H000000FF"); }));

        // Long entries: the odd rows are neither shown nor polled.
        control<QRadioButton>(w, "radiobuttonMbkSizeLng")->click();
        typeInto(modAdr, "102");
        submit(modData, "-2");
        QVERIFY(f.waitForCommand("MBK(102~Lng)=-2"));
        QVERIFY(f.waitFor([&] { return data[2]->text() == QLatin1String("&HFFFFFFFE"); }));
        f.clearCommands();
        QVERIFY(f.waitForCommand("PR MBK(106~Lng)"));
        QVERIFY(f.waitForCommand("PR MBK(100~Lng)"));
        const QStringList polled = f.commands();
        for (const char *odd : {"PR MBK(~Lng)", "PR MBK(101~Lng)", "PR MBK(103~Lng)"})
            QVERIFY2(!polled.contains(QLatin1String(odd)), odd);
        QCOMPARE(data[1]->text(), QString());

        auto *first = control<QLineEdit>(w, "textfieldTaskNoSelect");
        auto *step3 = control<QLineEdit>(w, "textfieldTaskStep3");
        submit(first, "30");
        f.selectTab("6");
        QVERIFY(f.waitForCommand("PR MBK(7774~Lng) TASK(33|256)"));
        QVERIFY(f.waitFor([&] { return step3->text() == QLatin1String("40"); }));
        QCOMPARE(control<QLineEdit>(w, "textfieldTaskStatus3")->text(), QStringLiteral("0"));

        submit(first, "0");
        QVERIFY(f.waitFor([&] { return step3->text() == QLatin1String("12"); }));

        control<QPushButton>(w, "buttonTaskMbkAreaClear")->click();
        QVERIFY(f.waitForCommand("FILL MBK(7772) 128 0"));
        QVERIFY(f.waitFor([&] { return step3->text() == QLatin1String("0"); }));

        // The variables: names set while the page is not shown, read when it is.
        const QList<QCheckBox *> checks = rows<QCheckBox>(f, QStringLiteral("checkboxVari"));
        const QList<QLabel *> values = rows<QLabel>(f, QStringLiteral("textfieldVariValue"));
        auto *modName = control<QLineEdit>(w, "textfieldVariModName");
        auto *modValue = control<QLineEdit>(w, "textfieldVariModValue");
        const QStringList names = {"A", "S$", "DATA_#4", "DATA_#", "", "", "", ""};
        for (int r = 0; r < 8; ++r) { // row 5 checked but empty: unchecked by the refresh
            control<QLineEdit>(w, QStringLiteral("textfieldVariName%1").arg(r))->setText(names.at(r));
            checks[r]->setChecked(r < 4 || r == 5);
        }
        f.selectTab("2");

        QVERIFY(f.waitFor([&] { return shown(values[0]) == QLatin1String("25"); }));
        QVERIFY(f.waitFor([&] { return shown(values[1]) == QLatin1String("a\\tb\\rc"); }));
        QCOMPARE(values[1]->textFormat(), Qt::RichText);
        QCOMPARE(heard(values[1]), QStringLiteral("a\\tb\\rc"));
        QVERIFY(f.waitForCommand("PRA DATA_ 4"));
        f.settle(); // the rest of that tick
        QCOMPARE(ticks(checks), QStringLiteral("11100000"));
        QVERIFY(!f.commands().contains(QStringLiteral("PRA DATA_ ")));

        // Assign: the command goes out as one line and the poll shows the result.
        typeInto(modName, "A");
        submit(modValue, " 7 ");
        QVERIFY(f.waitForCommand("A=7"));
        QVERIFY(f.waitFor([&] { return shown(values[0]) == QLatin1String("7"); }));

        typeInto(modName, "S$");
        modValue->setText(QString::fromUtf8("日本 ")); // beyond what key clicks can type
        enter(modValue);
        QVERIFY(f.waitForCommand(QString::fromUtf8("S$=\"日本 \"")));
        QVERIFY(f.waitFor([&] { return shown(values[1]) == QString::fromUtf8("日本 "); }));
        // A string wider than its row: the tool tip reads it whole.
        const QString wide = QStringLiteral("<b>%1 end</b>").arg(QString(120, u'x'));
        typeInto(modName, "S$");
        modValue->setText(wide);
        enter(modValue);
        QVERIFY(f.waitFor([&] { return shown(values[1]) == wide; }));
        QVERIFY(values[1]->fontMetrics().horizontalAdvance(wide) > values[1]->width());
        QVERIFY2(values[1]->toolTip().contains(wide.toHtmlEscaped()), qPrintable(values[1]->toolTip()));
        modValue->setText(QString::fromUtf8("日本 "));
        enter(modValue);
        QVERIFY(f.waitFor([&] { return shown(values[1]) == QString::fromUtf8("日本 "); }));
        QCOMPARE(values[1]->toolTip(), QStringLiteral("Variable 1 value"));

        // Hexadecimal: numbers as "&H" words, strings as their Shift-JIS bytes.
        control<QRadioButton>(w, "radiobuttonVariTypeHex")->click();
        QVERIFY(f.waitFor([&] { return shown(values[0]) == QLatin1String("&H00000007 "); }));
        QVERIFY(f.waitFor([&] { return shown(values[1]) == QLatin1String("93 FA 96 7B 20 "); }));
        QCOMPARE(values[1]->textFormat(), Qt::PlainText);

        // A refresh that times out leaves the last values on show.
        sim::Options stall = f.sim->options();
        stall.stallAfter = 0;
        f.sim->setOptions(stall);
        f.timeoutField()->setText("1");
        QVERIFY(f.waitFor([&] { return !wire::isUp(f.link().state()) && !f.link().busy(); }));
        QCOMPARE(shown(values[0]) + shown(values[1]), QStringLiteral("&H00000007 93 FA 96 7B 20 "));
        // Rows moved to other sizes, addresses, tasks and names, with nothing polled: none shows what another
        // one holds.
        control<QRadioButton>(w, "radiobuttonMbkSizeWrd")->click(); // row 2 still at 102, read as Long
        const QString wordShown = data[2]->text();
        submit(control<QLineEdit>(w, "textfieldMbkAdrSelect"), "200");
        submit(first, "30");
        typeInto(control<QLineEdit>(w, "textfieldVariName0"), "B");
        QCOMPARE(wordShown + data[2]->text() + step3->text() + shown(values[0]), QString());
    }
};

QTEST_MAIN(PanelsTest)
#include "test_panels.moc"

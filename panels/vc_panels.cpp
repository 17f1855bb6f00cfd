// ViewController's data panels: the variable, memory block and task rows that
// the poll tick refreshes, their edit fields and the window's text-change
// guard. The rules themselves live in panels/*.h; this is the glue.
#include "app/viewcontroller.h"

#include "link/textutil.h"
#include "panels/mbk.h"
#include "panels/replies.h"
#include "panels/tasks.h"
#include "panels/variables.h"
#include "ui/uihelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {

// Tests read what a value label shows through this property, whichever of
// plain or rich text it holds.
const char *const kPlainValue = "plainValue";

QString toHtml(const StyledText &runs)
{
    // white-space:pre keeps the value's own blanks from collapsing.
    QString html = QStringLiteral("<span style=\"white-space:pre\">");
    for (const StyledRun &run : runs) {
        html += QStringLiteral("<span style=\"color:") + run.color.name(QColor::HexRgb) +
                QStringLiteral("\">") + run.text.toHtmlEscaped() + QStringLiteral("</span>");
    }
    html += QStringLiteral("</span>");
    return html;
}

// A value row is one line wide. A reply buried in megabytes of program output
// would otherwise be laid out whole, freezing the window for seconds; its end,
// where the value stands, is all a row can show.
constexpr qsizetype kMaxShownValue = 256;

void showPlain(QLabel *label, const QString &text)
{
    const QString shown = text.right(kMaxShownValue);
    label->setTextFormat(Qt::PlainText);
    label->setText(shown);
    label->setProperty(kPlainValue, shown);
}

void showStyled(QLabel *label, const StyledText &runs, const QString &plain)
{
    if (plain.size() > kMaxShownValue)
        return showPlain(label, plain);
    label->setTextFormat(Qt::RichText);
    label->setText(toHtml(runs));
    label->setProperty(kPlainValue, plain);
}

// QSpinBox holds an int; a typed start beyond it leaves the stepper at its end.
void setStepper(QSpinBox *stepper, qint64 value)
{
    const QSignalBlocker block(stepper);
    stepper->setValue(
        static_cast<int>(qBound(qint64(stepper->minimum()), value, qint64(stepper->maximum()))));
}

} // namespace

// ---------------------------------------------------------------- variables

void ViewController::variableshow(int row)
{
    if (row < 0 || row >= 8)
        return;
    QCheckBox *check = checkboxVari[row];
    const panels::VariableQuery q = panels::variableQuery(text::trimBlanks(textfieldVariName[row]->text()));
    if (!q.valid || !check->isChecked()) {
        check->setChecked(false);
        return;
    }
    m_lnk->state().setWaitPrompt(true);
    sendString(q.command);
    // A wait that failed (time-out, link gone) brought no reply: the row
    // keeps showing its last value, like the other panels' rows.
    if (!receivePrompt())
        return;
    const QString plain = stringmodify1(q.variname, radiobuttonVariTypeHex->isChecked());
    if (!attributebuff.isEmpty())
        showStyled(textfieldVariValue[row], attributebuff, plain);
    else
        showPlain(textfieldVariValue[row], plain);
}

QString ViewController::stringmodify1(const QString &variname, bool hex)
{
    const panels::VariableDisplay d = panels::formatVariable(m_lnk->state().rcvBuff(), variname, hex);
    attributebuff.clear();
    for (const panels::StyledPiece &piece : d.styled)
        attributebuff.append(StyledRun{piece.text, piece.grey ? ui::kLightGray : ui::kBlack});
    return d.plain;
}

void ViewController::textfieldVariModNameEnter()
{
    ui::setTextColor(textfieldVariModName, ui::kBlack);
}

void ViewController::textfieldVariModValueEnter()
{
    ui::setTextColor(textfieldVariModValue, ui::kBlack);
    const auto command =
        panels::assignmentCommand(textfieldVariModName->text(), textfieldVariModValue->text());
    if (!command)
        return;
    userAction([this, cmd = *command] {
        m_lnk->state().setWaitPrompt(true);
        sendString(cmd);
        receivePrompt();
    });
}

void ViewController::checkboxVariAll_click()
{
    const bool on = checkboxVariAll->isChecked();
    for (int r = 0; r < 8; ++r) {
        if (!on)
            checkboxVari[r]->setChecked(false);
        else if (!text::trimBlanks(textfieldVariName[r]->text()).isEmpty())
            checkboxVari[r]->setChecked(true);
    }
}

void ViewController::radiobuttonVariTypeChanged()
{
    trace(radiobuttonVariTypeDec->isChecked() ? QStringLiteral("Dec") : QStringLiteral("Hex"));
}

void ViewController::controlTextDidChange(QObject *control)
{
    for (int r = 0; r < 8; ++r) {
        if (control == textfieldVariName[r]) {
            checkboxVari[r]->setChecked(false);
            return;
        }
    }

    QLineEdit *const edits[] = {textfieldVariModName, textfieldVariModValue, textfieldMbkAdrSelect,
                                textfieldMbkModAdr, textfieldMbkModData};
    for (QLineEdit *e : edits) {
        if (control == e) {
            ui::setTextColor(e, ui::kRed);
            return;
        }
    }
    for (QComboBox *box : {comboBox1, comboBox2, comboBox3}) {
        if (control == box) {
            const QString trimmed = text::trimNewlines(box->currentText());
            // Only a real change is written back: setting the same text again
            // would move the cursor and re-enter this handler.
            if (trimmed != box->currentText())
                box->setEditText(trimmed);
            return;
        }
    }
    if (control == textfieldTaskNoSelect)
        ui::setTextColor(textfieldTaskNoSelect, ui::kRed);
}

// ---------------------------------------------------------------- memory blocks

namespace {
panels::MbkSize mbkSize(const QRadioButton *i, const QRadioButton *w, const QRadioButton *l)
{
    if (i->isChecked())
        return panels::MbkSize::Int;
    if (w->isChecked())
        return panels::MbkSize::Wrd;
    if (l->isChecked())
        return panels::MbkSize::Lng;
    return panels::MbkSize::None;
}
} // namespace

void ViewController::mbkvalueshow(int row)
{
    if (row < 0 || row >= 8)
        return;
    const panels::MbkSize size = mbkSize(radiobuttonMbkSizeInt, radiobuttonMbkSizeWrd, radiobuttonMbkSizeLng);
    m_lnk->state().setWaitPrompt(true);
    sendString(panels::mbkReadCommand(textfieldMbkAdr[row]->text(), size));
    if (!receivePrompt())
        return;
    textfieldMbkData[row]->setText(
        panels::mbkDisplay(m_lnk->state().rcvBuff(), radiobuttonMbkTypeHex->isChecked()));
}

void ViewController::textfieldMbkAdrSelectEnter()
{
    const panels::MbkSize size = mbkSize(radiobuttonMbkSizeInt, radiobuttonMbkSizeWrd, radiobuttonMbkSizeLng);
    const bool fromTyped = mbkSelectMode == 0;
    mbkSelectMode = 0;
    const QString typed = textfieldMbkAdrSelect->text();
    const qint64 a = text::intOr(fromTyped ? typed : textfieldMbkAdr[0]->text(), 0);
    const auto rows = panels::mbkRowAddresses(a, size);
    if (!rows) {
        // Rows past the 64-bit range cannot be addressed: the entry is not
        // taken, and the field stays marked as not entered.
        ui::setTextColor(textfieldMbkAdrSelect, ui::kRed);
        return;
    }
    ui::setTextColor(textfieldMbkAdrSelect, ui::kBlack);
    for (int r = 0; r < 8; ++r) {
        textfieldMbkAdr[r]->setText(rows->at(static_cast<size_t>(r)));
        if (size == panels::MbkSize::Lng && r % 2 == 1)
            textfieldMbkData[r]->clear();
    }
    setStepper(stepperMbkAdrSelect, fromTyped ? text::intOr(typed, 0) : a);
}

void ViewController::stepperMbkAdrSelect_click()
{
    const panels::MbkSize size = mbkSize(radiobuttonMbkSizeInt, radiobuttonMbkSizeWrd, radiobuttonMbkSizeLng);
    const auto rows = panels::mbkRowAddresses(stepperMbkAdrSelect->value(), size);
    if (!rows)
        return;
    for (int r = 0; r < 8; ++r) {
        textfieldMbkAdr[r]->setText(rows->at(static_cast<size_t>(r)));
        if (size == panels::MbkSize::Lng && r % 2 == 1)
            textfieldMbkData[r]->clear();
    }
}

void ViewController::textfieldMbkModAdrEnter()
{
    ui::setTextColor(textfieldMbkModAdr, ui::kBlack);
}

void ViewController::textfieldMbkModDataEnter()
{
    const panels::MbkSize size = mbkSize(radiobuttonMbkSizeInt, radiobuttonMbkSizeWrd, radiobuttonMbkSizeLng);
    const auto command =
        panels::mbkWriteCommand(textfieldMbkModAdr->text(), textfieldMbkModData->text(), size);
    if (!command)
        return;
    ui::setTextColor(textfieldMbkModData, ui::kBlack);
    userAction([this, cmd = *command] {
        m_lnk->state().setWaitPrompt(true);
        sendString(cmd);
        receivePrompt();
    });
}

void ViewController::radiobuttonMbkTypeChanged()
{
    trace(radiobuttonMbkTypeDec->isChecked() ? QStringLiteral("Dec") : QStringLiteral("Hex"));
}

void ViewController::radiobuttonMbkSizeChanged()
{
    const QString name =
        panels::mbkSizeName(mbkSize(radiobuttonMbkSizeInt, radiobuttonMbkSizeWrd, radiobuttonMbkSizeLng));
    if (!name.isEmpty())
        trace(name);
    mbkSelectMode = 1;
    textfieldMbkAdrSelectEnter();
}

// ---------------------------------------------------------------- tasks

void ViewController::taskvalueshow(int row)
{
    if (row < 0 || row >= 8)
        return;
    const auto command = panels::taskReadCommand(textfieldTaskNo[row]->text());
    if (!command)
        return;
    m_lnk->state().setWaitPrompt(true);
    sendString(*command);
    if (!receivePrompt())
        return;
    const panels::TaskValues v = panels::parseTaskReply(m_lnk->state().rcvBuff());
    if (v.step)
        textfieldTaskStep[row]->setText(*v.step);
    if (v.status)
        textfieldTaskStatus[row]->setText(*v.status);
}

void ViewController::textfieldTaskNoSelectEnter()
{
    const QString typed = textfieldTaskNoSelect->text();
    const auto rows = panels::taskRows(text::intOr(typed, 0));
    if (!rows) {
        ui::setTextColor(textfieldTaskNoSelect, ui::kRed);
        return;
    }
    ui::setTextColor(textfieldTaskNoSelect, ui::kBlack);
    setStepper(stepperTaskNoSelect, text::intOr(typed, 0));
    for (int r = 0; r < 8; ++r)
        textfieldTaskNo[r]->setText(rows->at(static_cast<size_t>(r)));
}

void ViewController::stepperTaskNoSelect_click()
{
    const auto rows = panels::taskRows(stepperTaskNoSelect->value());
    if (!rows)
        return;
    for (int r = 0; r < 8; ++r)
        textfieldTaskNo[r]->setText(rows->at(static_cast<size_t>(r)));
}

void ViewController::buttonTaskMbkAreaClear_click()
{
    userAction([this] {
        m_lnk->state().setWaitPrompt(true);
        sendString(panels::taskAreaClearCommand());
        if (receivePrompt())
            trace(QStringLiteral("TASK MBK Area Cleared"));
    });
}

// ---------------------------------------------------------------- wiring

void ViewController::wirePanels()
{
    // The text-change guard covers the edit fields of every data panel; only
    // typing counts (textEdited), not text the program sets.
    QLineEdit *const guarded[] = {textfieldVariModName, textfieldVariModValue, textfieldMbkAdrSelect,
                                  textfieldMbkModAdr,   textfieldMbkModData,   textfieldTaskNoSelect};

    for (int r = 0; r < 8; ++r) {
        QLineEdit *e = textfieldVariName[r];
        QObject::connect(e, &QLineEdit::textEdited, this, [this, e] { controlTextDidChange(e); });
    }
    for (QLineEdit *e : guarded)
        QObject::connect(e, &QLineEdit::textEdited, this, [this, e] { controlTextDidChange(e); });
    for (QComboBox *box : {comboBox1, comboBox2, comboBox3})
        QObject::connect(box, &QComboBox::editTextChanged, this, [this, box] { controlTextDidChange(box); });

    // Variables
    QObject::connect(checkboxVariAll, &QCheckBox::clicked, this, [this] { checkboxVariAll_click(); });
    for (QRadioButton *r : {radiobuttonVariTypeDec, radiobuttonVariTypeHex})
        QObject::connect(r, &QRadioButton::clicked, this, [this] { radiobuttonVariTypeChanged(); });
    QObject::connect(textfieldVariModName, &QLineEdit::returnPressed, this,
                     [this] { textfieldVariModNameEnter(); });
    QObject::connect(textfieldVariModValue, &QLineEdit::returnPressed, this,
                     [this] { textfieldVariModValueEnter(); });

    // Memory blocks. The steppers act on their arrows, and on a typed value
    // once it is entered, not on every digit.
    stepperMbkAdrSelect->setKeyboardTracking(false);
    stepperTaskNoSelect->setKeyboardTracking(false);
    QObject::connect(textfieldMbkAdrSelect, &QLineEdit::returnPressed, this,
                     [this] { textfieldMbkAdrSelectEnter(); });
    QObject::connect(stepperMbkAdrSelect, &QSpinBox::valueChanged, this,
                     [this] { stepperMbkAdrSelect_click(); });
    QObject::connect(textfieldMbkModAdr, &QLineEdit::returnPressed, this,
                     [this] { textfieldMbkModAdrEnter(); });
    QObject::connect(textfieldMbkModData, &QLineEdit::returnPressed, this,
                     [this] { textfieldMbkModDataEnter(); });
    for (QRadioButton *r : {radiobuttonMbkTypeDec, radiobuttonMbkTypeHex})
        QObject::connect(r, &QRadioButton::clicked, this, [this] { radiobuttonMbkTypeChanged(); });
    for (QRadioButton *r : {radiobuttonMbkSizeInt, radiobuttonMbkSizeWrd, radiobuttonMbkSizeLng})
        QObject::connect(r, &QRadioButton::clicked, this, [this] { radiobuttonMbkSizeChanged(); });

    // Tasks
    QObject::connect(textfieldTaskNoSelect, &QLineEdit::returnPressed, this,
                     [this] { textfieldTaskNoSelectEnter(); });
    QObject::connect(stepperTaskNoSelect, &QSpinBox::valueChanged, this,
                     [this] { stepperTaskNoSelect_click(); });
    QObject::connect(buttonTaskMbkAreaClear, &QPushButton::clicked, this,
                     [this] { buttonTaskMbkAreaClear_click(); });
}

// ViewController's axis panel: the stored-point table, the board choice, and
// the jog, teach and point-set actions.
#include "app/viewcontroller.h"
#include "axis/jog.h"
#include "axis/pointtable.h"
#include "ui/mainwindow.h"
#include "ui/uihelpers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <array>

namespace {
const QString kNoBoard = QStringLiteral("None");

void showRowPoints(QLineEdit *const rows[axis::kTableRows], qint64 first)
{
    const auto numbers = axis::rowPointNumbers(first);
    for (int r = 0; r < axis::kTableRows; ++r)
        rows[r]->setText(numbers[static_cast<size_t>(r)]);
}
} // namespace

void ViewController::pgvalueshow()
{
    std::array<QString, axis::kTableRows> rows;
    for (int r = 0; r < axis::kTableRows; ++r)
        rows[static_cast<size_t>(r)] = textfieldPgAdr[r]->text();

    m_lnk->state().setWaitPrompt(true);
    sendString(axis::pointQuery(rows));
    if (!receivePrompt())
        return;

    const auto fields = axis::tableDisplay(m_lnk->state().rcvBuff(), radiobuttonPgTypeHex->isChecked());
    for (int k = 0; k < axis::kTableFields; ++k) {
        if (fields[k])
            textfieldPgData[k / axis::kAxisCount][k % axis::kAxisCount]->setText(*fields[k]);
    }
}

void ViewController::textfieldPgAdrSelectEnter()
{
    ui::setTextColor(textfieldPgAdrSelect, ui::kBlack);
    const qint64 first = axis::firstPointFromText(textfieldPgAdrSelect->text());
    showRowPoints(textfieldPgAdr, first);
    // The stepper follows silently: its own action would rewrite the rows,
    // clamped to its range.
    const QSignalBlocker block(stepperPgAdrSelect);
    const qint64 lo = stepperPgAdrSelect->minimum();
    const qint64 hi = stepperPgAdrSelect->maximum();
    stepperPgAdrSelect->setValue(static_cast<int>(first < lo ? lo : (first > hi ? hi : first)));
}

void ViewController::stepperPgAdrSelect_click()
{
    showRowPoints(textfieldPgAdr, stepperPgAdrSelect->value());
}

void ViewController::radiobuttonPgTypeChanged()
{
    trace(radiobuttonPgTypeDec->isChecked() ? QStringLiteral("Dec") : QStringLiteral("Hex"));
}

void ViewController::popupbutonPgSelect_click()
{
    // Deferred like a send: a board selection in flight must not clear the
    // flag that this choice sets.
    userAction([this] { pgReSelect = true; });
}

void ViewController::buttonPgJog_click(int tag)
{
    // Everything is read at the moment of the click, even when the action has
    // to wait for a pending exchange.
    if (popupbuttonPgSelect->currentText() == kNoBoard)
        return;
    const QString pulses = popupbuttonPgPulse->currentText();
    const QString acceleration = popupbuttonPgAceel->currentText();
    const axis::JogAction action = axis::jogAction(tag);

    switch (action) {
    case axis::JogAction::Teach: {
        const QString point = textfieldPgTeachNum->text();
        userAction([this, point] {
            if (m_dialogs->confirm(axis::teachMessage(point)))
                commandExec(axis::teachCommand(point));
        });
        return;
    }
    case axis::JogAction::CopyPositions:
    case axis::JogAction::CopyCounters: {
        const bool counters = action == axis::JogAction::CopyCounters;
        std::array<QString, axis::kAxisCount> values;
        for (int a = 0; a < axis::kAxisCount; ++a)
            values[static_cast<size_t>(a)] = (counters ? labelPgCounter[a] : labelPgCurrentPos[a])->text();
        userAction([this, counters, values] {
            textfieldPgPosSetPnum->setText(counters ? axis::kCounterPoint : axis::kCurrentPositionPoint);
            for (int a = 0; a < axis::kAxisCount; ++a)
                textfieldPgPosSet[a]->setText(values[static_cast<size_t>(a)]);
            textfieldPgPosSet[0]->setFocus();
        });
        return;
    }
    case axis::JogAction::ClearCounters:
    case axis::JogAction::ClearPositions: {
        const bool counters = action == axis::JogAction::ClearCounters;
        userAction([this, counters] {
            if (m_dialogs->confirm(counters ? axis::kClearCountersMessage : axis::kClearPositionsMessage))
                commandExec(counters ? axis::kClearCountersCommand : axis::kClearPositionsCommand);
        });
        return;
    }
    case axis::JogAction::PositionSet: {
        const QString c = axis::pointSetCommand(textfieldPgPosSetPnum->text(), textfieldPgPosSet[0]->text(),
                                                textfieldPgPosSet[1]->text(), textfieldPgPosSet[2]->text(),
                                                textfieldPgPosSet[3]->text());
        userAction([this, c] {
            if (checkmsg(c) && m_dialogs->confirm(axis::executeMessage(c)))
                commandExec(c);
        });
        return;
    }
    case axis::JogAction::Move:
    case axis::JogAction::Stop:
    case axis::JogAction::None:
        break;
    }

    const QStringList commands = axis::jogCommands(tag, pulses, acceleration);
    if (commands.isEmpty())
        return;
    // One action: the acceleration is answered before the move goes out,
    // and no poll exchange can come in between.
    userAction([this, commands] {
        for (const QString &c : commands)
            commandExec(c);
    });
}

void ViewController::buttonPgPlistSetp_click()
{
    const QString c = axis::pointSetCommand(textfieldPgModAdr->text(), textfieldPgModData[0]->text(),
                                            textfieldPgModData[1]->text(), textfieldPgModData[2]->text(),
                                            textfieldPgModData[3]->text());
    userAction([this, c] {
        if (checkmsg(c) && m_dialogs->confirm(axis::executeMessage(c)))
            commandExec(c);
    });
}

void ViewController::textfieldPgTeachNumEnter()
{
    ui::setTextColor(textfieldPgTeachNum, ui::kBlack);
    const QString point = textfieldPgTeachNum->text();
    userAction([this, point] {
        if (m_dialogs->confirm(axis::teachMessage(point)))
            commandExec(axis::teachCommand(point));
    });
}

void ViewController::wireAxis()
{
    // The stepper acts on its arrows and on a typed value once it is
    // committed, not on every keystroke.
    stepperPgAdrSelect->setKeyboardTracking(false);
    QObject::connect(stepperPgAdrSelect, &QSpinBox::valueChanged, this,
                     [this](int) { stepperPgAdrSelect_click(); });
    QObject::connect(textfieldPgAdrSelect, &QLineEdit::returnPressed, this,
                     [this] { textfieldPgAdrSelectEnter(); });
    QObject::connect(textfieldPgTeachNum, &QLineEdit::returnPressed, this,
                     [this] { textfieldPgTeachNumEnter(); });
    for (QRadioButton *r : {radiobuttonPgTypeDec, radiobuttonPgTypeHex})
        QObject::connect(r, &QRadioButton::clicked, this, [this] { radiobuttonPgTypeChanged(); });
    // Only the user's choice: the program setting the popup (a refused board
    // falls back to "None") must not ask for a new selection.
    QObject::connect(popupbuttonPgSelect, &QComboBox::activated, this,
                     [this](int) { popupbutonPgSelect_click(); });
    QObject::connect(buttonPgPlistSetp, &QPushButton::clicked, this, [this] { buttonPgPlistSetp_click(); });

    const QString prefix = QStringLiteral("buttonPgJog");
    for (QPushButton *b : root()->findChildren<QPushButton *>()) {
        if (!b->objectName().startsWith(prefix))
            continue;
        const QVariant tag = b->property("tag");
        if (!tag.isValid())
            continue;
        const int t = tag.toInt();
        QObject::connect(b, &QPushButton::clicked, this, [this, t] { buttonPgJog_click(t); });
    }
}

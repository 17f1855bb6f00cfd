// The variables tab. A watched row reads its variable with one print
// exchange per tick; string values show their control characters as grey
// escapes, numbers plain.
#include "panels/variablespage.h"

#include "link/link.h"
#include "link/textutil.h"
#include "panels/replies.h"
#include "panels/variables.h"
#include "ui/controls.h"
#include "ui/freshness.h"
#include "ui/lockedcontrols.h"
#include "ui/uihelpers.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTextDocument>
#include <QVBoxLayout>

using namespace ui;

namespace panels {

namespace {

// Tests read what a value label shows through this property, whichever of
// plain or rich text it holds.
const char *const kPlainValue = "plainValue";

// A value row is one line wide. A reply buried in megabytes of program output
// would otherwise be laid out whole, freezing the window for seconds; its end,
// where the value stands, is all a row can show.
constexpr qsizetype kMaxShownValue = 256;

QString toHtml(const StyledPieces &pieces)
{
    // white-space:pre keeps the value's own blanks from collapsing.
    QString html = QStringLiteral("<span style=\"white-space:pre\">");
    for (const StyledPiece &piece : pieces) {
        const QColor colour = piece.grey ? kLightGray : kBlack;
        html += QStringLiteral("<span style=\"color:") + colour.name(QColor::HexRgb) + QStringLiteral("\">") +
                piece.text.toHtmlEscaped() + QStringLiteral("</span>");
    }
    html += QStringLiteral("</span>");
    return html;
}

void showPlain(QLabel *label, const QString &text)
{
    const QString shown = text.right(kMaxShownValue);
    label->setTextFormat(Qt::PlainText);
    label->setText(shown);
    label->setProperty(kPlainValue, shown);
}

void showStyled(QLabel *label, const StyledPieces &pieces, const QString &plain)
{
    if (plain.size() > kMaxShownValue)
        return showPlain(label, plain);
    label->setTextFormat(Qt::RichText);
    label->setText(toHtml(pieces));
    label->setProperty(kPlainValue, plain);
}

// The caption of row `row`'s value, its tool tip while the value fits.
QString valueCaption(int row)
{
    return QStringLiteral("Variable %1 value").arg(row);
}

// A value wider than its row is cut at the row's edge: the tool tip then
// holds it whole (as far as the row keeps it), else the row's caption.
void tipWholeValue(QLabel *label, int row)
{
    const QString plain = label->property(kPlainValue).toString();
    const int room = label->contentsRect().width() - label->indent();
    if (plain.isEmpty() || label->fontMetrics().horizontalAdvance(plain) <= room) {
        label->setToolTip(valueCaption(row));
        return;
    }
    // A value that looks like markup is shown as the characters it is.
    label->setToolTip(Qt::mightBeRichText(plain) ? QStringLiteral("<span style=\"white-space:pre\">") +
                                                       plain.toHtmlEscaped() + QStringLiteral("</span>")
                                                 : plain);
}

} // namespace

VariablesPage::VariablesPage(wire::Link &link, const WatchLock &lock, QWidget *parent)
    : ui::Page(parent), m_link(link), m_lock(lock)
{
    auto *h = new QHBoxLayout(this);
    h->setSpacing(10);

    auto *watch = new QGroupBox(QStringLiteral("Watched variables"));
    auto *g = new QGridLayout(watch);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(5);
    m_all = named(new QCheckBox(QStringLiteral("All")), QStringLiteral("checkboxVariAll"));
    m_all->setToolTip(QStringLiteral("Watch every row that has a name"));
    g->addWidget(m_all, 0, 0);
    g->addWidget(header(QStringLiteral("Name")), 0, 1);
    g->addWidget(header(QStringLiteral("Value")), 0, 2);
    for (int i = 0; i < kRows; ++i) {
        const QString n = QString::number(i);
        QCheckBox *check = named(new QCheckBox, QStringLiteral("checkboxVari") + n);
        check->setAccessibleName(QStringLiteral("Watch variable ") + n);
        check->setToolTip(QStringLiteral("Watch this row"));
        g->addWidget(check, i + 1, 0);
        QLineEdit *name =
            makeField(QStringLiteral("textfieldVariName") + n, QStringLiteral("Variable %1 name").arg(n), 16);
        name->setMaximumWidth(charWidth(24));
        g->addWidget(name, i + 1, 1);
        QLabel *value = makeReadout(QStringLiteral("textfieldVariValue") + n, valueCaption(i), 24);
        // String values arrive as styled text (grey escapes); numbers plain.
        value->setTextFormat(Qt::AutoText);
        value->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        g->addWidget(value, i + 1, 2);
        m_checks[i] = check;
        m_names[i] = name;
        m_values[i] = value;
        // A renamed row is no longer the variable it was watching, nor does
        // it show that variable's value beside the new name. Only typing
        // counts (textEdited), not text the program sets.
        connect(name, &QLineEdit::textEdited, check, [check, value, i] {
            check->setChecked(false);
            showPlain(value, QString());
            tipWholeValue(value, i);
        });
    }
    g->setColumnStretch(2, 1);

    auto *left = new QVBoxLayout;
    left->addWidget(watch);
    left->addStretch(1);
    h->addLayout(left, 1);

    auto *side = new QVBoxLayout;
    side->setSpacing(8);
    auto *display = new QGroupBox(QStringLiteral("Display"));
    auto *dh = new QHBoxLayout(display);
    m_dec = named(new QRadioButton(QStringLiteral("Decimal")), QStringLiteral("radiobuttonVariTypeDec"));
    m_hex = named(new QRadioButton(QStringLiteral("Hex")), QStringLiteral("radiobuttonVariTypeHex"));
    m_dec->setChecked(true);
    auto *grp = new QButtonGroup(display);
    grp->addButton(m_dec);
    grp->addButton(m_hex);
    dh->addWidget(m_dec);
    dh->addWidget(m_hex);
    dh->addStretch(1);
    side->addWidget(display);

    auto *assign = new QGroupBox(QStringLiteral("Assign"));
    auto *af = new QFormLayout(assign);
    af->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_modName = makeField(QStringLiteral("textfieldVariModName"), QString(), 12);
    m_modValue = makeField(QStringLiteral("textfieldVariModValue"), QString(), 12);
    (new LockedControls(lock, this))->add({m_modName, m_modValue});
    af->addRow(caption(QStringLiteral("Name"), m_modName), m_modName);
    af->addRow(caption(QStringLiteral("Value"), m_modValue), m_modValue);
    af->addRow(hint(QStringLiteral("Return in Value assigns it.")));
    side->addWidget(assign);

    auto *reply = new QGroupBox(QStringLiteral("Last reply"));
    auto *rv = new QVBoxLayout(reply);
    m_lastReply = makeField(QStringLiteral("textFieldVariable"), QStringLiteral("Last reply"), 12);
    m_lastReply->setReadOnly(true);
    rv->addWidget(m_lastReply);
    side->addWidget(reply);
    side->addStretch(1);

    auto *sideWidget = new QWidget;
    sideWidget->setLayout(side);
    side->setContentsMargins(0, 0, 0, 0);
    sideWidget->setFixedWidth(qMax(sideWidget->sizeHint().width(), 300));
    h->addWidget(sideWidget);

    connect(m_all, &QCheckBox::clicked, this, &VariablesPage::onAllClicked);
    for (QRadioButton *r : {m_dec, m_hex})
        connect(r, &QRadioButton::clicked, this, &VariablesPage::onTypeClicked);
    // A field typed into shows red until Return takes it.
    for (QLineEdit *e : {m_modName, m_modValue})
        connect(e, &QLineEdit::textEdited, e, [e] { setTextColor(e, kRed); });
    connect(m_modName, &QLineEdit::returnPressed, this, &VariablesPage::onModNameEntered);
    connect(m_modValue, &QLineEdit::returnPressed, this, &VariablesPage::onModValueEntered);
}

QCoro::Task<> VariablesPage::poll(wire::Link &link)
{
    for (int row = 0; row < kRows; ++row)
        co_await variableshow(link, row);
}

QStringList VariablesPage::variableNames() const
{
    QStringList names;
    for (const QLineEdit *name : m_names)
        names << name->text();
    return names;
}

void VariablesPage::setVariableNames(const QStringList &names)
{
    for (int i = 0; i < kRows; ++i)
        m_names[i]->setText(names.value(i));
}

void VariablesPage::showLastReply(const QString &chunk)
{
    m_lastReply->setText(text::trimNewlines(chunk));
}

QCoro::Task<> VariablesPage::variableshow(wire::Link &link, int row)
{
    QCheckBox *check = m_checks[row];
    const VariableQuery q = variableQuery(text::trimBlanks(m_names[row]->text()));
    if (!q.valid || !check->isChecked()) {
        check->setChecked(false);
        co_return;
    }
    // A wait that failed (time-out, link gone) brought no reply: the row
    // keeps showing its last value, like the other panels' rows.
    const std::optional<QString> reply = co_await link.exchange(q.command);
    if (!reply)
        co_return;
    emit replyRead(q.command, *reply);
    // A name retyped meanwhile (which unchecks the row) shows nothing of the
    // variable read before.
    if (!check->isChecked() || variableQuery(text::trimBlanks(m_names[row]->text())).command != q.command)
        co_return;
    const VariableDisplay d = formatVariable(*reply, q.variname, m_hex->isChecked());
    if (!d.styled.isEmpty())
        showStyled(m_values[row], d.styled, d.plain);
    else
        showPlain(m_values[row], d.plain);
    // Fresh again, a row takes back the tool tip it had before it went
    // stale: its own for this value goes on after.
    ui::Freshness::confirm({m_values[row]});
    tipWholeValue(m_values[row], row);
}

void VariablesPage::onAllClicked()
{
    const bool on = m_all->isChecked();
    for (int r = 0; r < kRows; ++r) {
        if (!on)
            m_checks[r]->setChecked(false);
        else if (!text::trimBlanks(m_names[r]->text()).isEmpty())
            m_checks[r]->setChecked(true);
    }
}

void VariablesPage::onTypeClicked()
{
    wire::trace(m_dec->isChecked() ? QStringLiteral("Dec") : QStringLiteral("Hex"));
}

void VariablesPage::onModNameEntered()
{
    setTextColor(m_modName, kBlack);
}

void VariablesPage::onModValueEntered()
{
    setTextColor(m_modValue, kBlack);
    const std::optional<QString> command = assignmentCommand(m_modName->text(), m_modValue->text());
    if (!command)
        return;
    m_link.enqueue(wire::unlessLocked(
        m_lock, [this, cmd = *command]() -> QCoro::Task<> { co_await m_link.exchange(cmd); }));
}

QList<ui::Plottable> VariablesPage::plottables() const
{
    QList<ui::Plottable> out;
    for (int i = 0; i < kRows; ++i) {
        QLineEdit *name = m_names[static_cast<size_t>(i)];
        out.append({QStringLiteral("Variables"), m_values[static_cast<size_t>(i)],
                    [name] { return variableProbe(text::trimBlanks(name->text())); }});
    }
    return out;
}

} // namespace panels

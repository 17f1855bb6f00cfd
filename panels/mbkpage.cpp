// The MBK tab. The rows follow the start address and the entry size; a long
// entry spans two addresses, so its odd rows stay empty and are not read.
#include "panels/mbkpage.h"

#include "link/link.h"
#include "link/textutil.h"
#include "monitor/bitgroupbox.h"
#include "ui/controls.h"
#include "ui/freshness.h"
#include "ui/lockedcontrols.h"
#include "ui/stepper.h"
#include "ui/uihelpers.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace ui;

namespace panels {

MbkPage::MbkPage(wire::Link &link, const WatchLock &lock, QWidget *parent)
    : ui::Page(parent), m_link(link), m_lock(lock)
{
    auto *v = new QVBoxLayout(this);
    v->setSpacing(10);

    auto *top = new QHBoxLayout;
    top->setSpacing(10);
    auto *words = new QGroupBox(QStringLiteral("Memory block words"));
    auto *g = new QGridLayout(words);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(4);
    m_adrSelect = makeField(QStringLiteral("textfieldMbkAdrSelect"), QString(), 8);
    m_adrSelect->setFixedWidth(charWidth(8));
    m_adrSelect->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *startRow = new QHBoxLayout;
    startRow->setSpacing(6);
    startRow->addWidget(caption(QStringLiteral("Start address"), m_adrSelect));
    startRow->addWidget(m_adrSelect);
    m_stepper = makeStepper(QStringLiteral("stepperMbkAdrSelect"), QStringLiteral("Step the start address"));
    // A step beyond the last start the rows can take is refused.
    m_stepper->setRange(std::numeric_limits<qint64>::min(), kMbkMaxStart);
    startRow->addWidget(m_stepper);
    startRow->addStretch(1);
    g->addLayout(startRow, 0, 0, 1, 2);
    g->addWidget(header(QStringLiteral("Address")), 1, 0);
    g->addWidget(header(QStringLiteral("Value")), 1, 1);
    for (int i = 0; i < kRows; ++i) {
        const QString n = QString::number(i);
        QLineEdit *adr = makeDisplay(QStringLiteral("textfieldMbkAdr") + n,
                                     QStringLiteral("MBK row %1 address").arg(n), 8);
        QLineEdit *data = makeDisplay(QStringLiteral("textfieldMbkData") + n,
                                      QStringLiteral("MBK row %1 value").arg(n), 12);
        adr->setFixedWidth(charWidth(8));
        data->setFixedWidth(charWidth(12));
        g->addWidget(adr, i + 2, 0);
        g->addWidget(data, i + 2, 1);
        m_adr[i] = adr;
        m_data[i] = data;
    }
    top->addWidget(words);

    auto *options = new QVBoxLayout;
    options->setSpacing(8);
    auto *sizeBox = new QGroupBox(QStringLiteral("Entry size"));
    auto *sh = new QHBoxLayout(sizeBox);
    m_sizeInt = named(new QRadioButton(QStringLiteral("Int")), QStringLiteral("radiobuttonMbkSizeInt"));
    m_sizeWrd = named(new QRadioButton(QStringLiteral("Word")), QStringLiteral("radiobuttonMbkSizeWrd"));
    m_sizeLng = named(new QRadioButton(QStringLiteral("Long")), QStringLiteral("radiobuttonMbkSizeLng"));
    m_sizeInt->setToolTip(QStringLiteral("~Int"));
    m_sizeWrd->setToolTip(QStringLiteral("~Wrd"));
    m_sizeLng->setToolTip(QStringLiteral("~Lng: one entry spans two addresses"));
    m_sizeInt->setChecked(true);
    auto *sg = new QButtonGroup(sizeBox);
    for (QRadioButton *r : {m_sizeInt, m_sizeWrd, m_sizeLng}) {
        sg->addButton(r);
        sh->addWidget(r);
    }
    sh->addStretch(1);
    options->addWidget(sizeBox);

    auto *display = new QGroupBox(QStringLiteral("Display"));
    auto *dh = new QHBoxLayout(display);
    m_dec = named(new QRadioButton(QStringLiteral("Decimal")), QStringLiteral("radiobuttonMbkTypeDec"));
    m_hex = named(new QRadioButton(QStringLiteral("Hex")), QStringLiteral("radiobuttonMbkTypeHex"));
    m_dec->setChecked(true);
    auto *tg = new QButtonGroup(display);
    tg->addButton(m_dec);
    tg->addButton(m_hex);
    dh->addWidget(m_dec);
    dh->addWidget(m_hex);
    dh->addStretch(1);
    options->addWidget(display);

    auto *write = new QGroupBox(QStringLiteral("Write"));
    auto *wf = new QFormLayout(write);
    m_modAdr = makeField(QStringLiteral("textfieldMbkModAdr"), QString(), 8);
    m_modData = makeField(QStringLiteral("textfieldMbkModData"), QString(), 12);
    m_modAdr->setFixedWidth(charWidth(8));
    m_modData->setFixedWidth(charWidth(12));
    m_modAdr->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_modData->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    (new LockedControls(lock, this))->add({m_modAdr, m_modData});
    wf->addRow(caption(QStringLiteral("Address"), m_modAdr), m_modAdr);
    wf->addRow(caption(QStringLiteral("Value"), m_modData), m_modData);
    wf->addRow(hint(QStringLiteral("Return in Value writes it with the entry size.")));
    options->addWidget(write);
    options->addStretch(1);

    auto *optionsWidget = new QWidget;
    optionsWidget->setLayout(options);
    options->setContentsMargins(0, 0, 0, 0);
    optionsWidget->setFixedWidth(qMax(optionsWidget->sizeHint().width(), 300));
    top->addWidget(optionsWidget);
    top->addStretch(1);
    v->addLayout(top);

    v->addWidget(buildBitGroup(lock));
    v->addStretch(1);

    // The stepper acts on its arrows, and on a typed value once it is
    // entered, not on every digit.
    m_stepper->setKeyboardTracking(false);
    connect(m_adrSelect, &QLineEdit::returnPressed, this, &MbkPage::onAdrSelectEntered);
    connect(m_stepper, &Stepper::valueChanged, this, &MbkPage::onStepperChanged);
    connect(m_modAdr, &QLineEdit::returnPressed, this, &MbkPage::onModAdrEntered);
    connect(m_modData, &QLineEdit::returnPressed, this, &MbkPage::onModDataEntered);
    for (QRadioButton *r : {m_dec, m_hex})
        connect(r, &QRadioButton::clicked, this, &MbkPage::onTypeClicked);
    for (QRadioButton *r : {m_sizeInt, m_sizeWrd, m_sizeLng})
        connect(r, &QRadioButton::clicked, this, &MbkPage::onSizeClicked);
    // A field typed into shows red until Return takes it; only typing counts
    // (textEdited), not text the program sets.
    for (QLineEdit *e : {m_adrSelect, m_modAdr, m_modData})
        connect(e, &QLineEdit::textEdited, e, [e] { setTextColor(e, kRed); });

    // The rows start at address 0, the write field at MBK(0)=0.
    m_adrSelect->setText(QStringLiteral("0"));
    layOutFrom(true);
    m_modAdr->setText(QStringLiteral("0"));
    m_modData->setText(QStringLiteral("0"));
}

monitor::BitGroupBox *MbkPage::buildBitGroup(const WatchLock &lock)
{
    monitor::BitGroupBox::Spec spec;
    spec.group = monitor::BitGroup::MbkBits;
    spec.title = QStringLiteral("MBK bit word");
    spec.prefix = QStringLiteral("labelMbkIo");
    spec.what = QStringLiteral("MBK");
    spec.popup = QStringLiteral("popupbuttonMbkIoBank");
    spec.stat = QStringLiteral("labelMbkIoStat");
    // The ON buttons are buttonMbkIoOnOff0..15, the OFF buttons 16..31.
    spec.action = QStringLiteral("buttonMbkIoOnOff");
    spec.onBase = 0;
    spec.offBase = 16;
    spec.clearTag = 40;
    spec.clearCaption = QStringLiteral("Clear all MBK bits");
    spec.headerOnTop = true;
    m_bits = new monitor::BitGroupBox(m_link, spec, lock);
    connect(m_bits, &monitor::BitGroupBox::replyRead, this, &ui::Page::replyRead);
    return m_bits;
}

QCoro::Task<> MbkPage::poll(wire::Link &link)
{
    for (int row = 0; row < kRows; row += 2)
        co_await mbkvalueshow(link, row);
    for (int row = 1; row < kRows; row += 2) {
        if (!m_adr[row]->text().isEmpty())
            co_await mbkvalueshow(link, row);
    }
    co_await m_bits->poll(link);
}

MbkSize MbkPage::size() const
{
    if (m_sizeInt->isChecked())
        return MbkSize::Int;
    if (m_sizeWrd->isChecked())
        return MbkSize::Wrd;
    if (m_sizeLng->isChecked())
        return MbkSize::Lng;
    return MbkSize::None;
}

QCoro::Task<> MbkPage::mbkvalueshow(wire::Link &link, int row)
{
    const QString command = mbkReadCommand(m_adr[row]->text(), size());
    const std::optional<QString> reply = co_await link.exchange(command);
    if (!reply)
        co_return;
    emit replyRead(command, *reply);
    // The row may have moved on while the reply came (a new start address,
    // Long entries that leave odd rows empty): the word is not its own then.
    if (mbkReadCommand(m_adr[row]->text(), size()) != command)
        co_return;
    m_data[row]->setText(mbkDisplay(*reply, m_hex->isChecked()));
    ui::Freshness::confirm({m_data[row]});
}

void MbkPage::layOutRows(const std::array<QString, kRows> &rows)
{
    const bool longEntries = size() == MbkSize::Lng;
    // Another entry size reads other entries at the same addresses.
    const bool otherSize = size() != m_rowsSize;
    m_rowsSize = size();
    for (int r = 0; r < kRows; ++r) {
        const QString &address = rows.at(static_cast<size_t>(r));
        // A row moved to another address or entry shows nothing of the one
        // before, however long until the next refresh (none while polling
        // stops).
        if (otherSize || (longEntries && r % 2 == 1) || m_adr[r]->text() != address)
            m_data[r]->clear();
        m_adr[r]->setText(address);
    }
}

void MbkPage::layOutFrom(bool typed)
{
    const QString typedText = m_adrSelect->text();
    const qint64 a = text::intOr(typed ? typedText : m_adr[0]->text(), 0);
    const auto rows = mbkRowAddresses(a, size());
    if (!rows) {
        // Rows past the 64-bit range cannot be addressed: the entry is not
        // taken, and the field stays marked as not entered.
        setTextColor(m_adrSelect, kRed);
        return;
    }
    setTextColor(m_adrSelect, kBlack);
    layOutRows(*rows);
    m_stepper->follow(typed ? text::intOr(typedText, 0) : a);
}

void MbkPage::onAdrSelectEntered()
{
    layOutFrom(true);
}

void MbkPage::onStepperChanged()
{
    const auto rows = mbkRowAddresses(m_stepper->value(), size());
    if (rows)
        layOutRows(*rows);
}

void MbkPage::onModAdrEntered()
{
    setTextColor(m_modAdr, kBlack);
}

void MbkPage::onModDataEntered()
{
    const std::optional<QString> command = mbkWriteCommand(m_modAdr->text(), m_modData->text(), size());
    if (!command)
        return;
    setTextColor(m_modData, kBlack);
    m_link.enqueue(wire::unlessLocked(
        m_lock, [this, cmd = *command]() -> QCoro::Task<> { co_await m_link.exchange(cmd); }));
}

void MbkPage::onTypeClicked()
{
    wire::trace(m_dec->isChecked() ? QStringLiteral("Dec") : QStringLiteral("Hex"));
}

void MbkPage::onSizeClicked()
{
    const QString name = mbkSizeName(size());
    if (!name.isEmpty())
        wire::trace(name);
    layOutFrom(false);
}

QList<ui::Plottable> MbkPage::plottables() const
{
    QList<ui::Plottable> out;
    for (int i = 0; i < kRows; ++i) {
        QLineEdit *adr = m_adr[static_cast<size_t>(i)];
        out.append({QStringLiteral("MBK"), m_data[static_cast<size_t>(i)],
                    [this, adr] { return mbkProbe(adr->text(), size()); }});
    }
    out += m_bits->plottables(QStringLiteral("MBK bits"));
    return out;
}

} // namespace panels

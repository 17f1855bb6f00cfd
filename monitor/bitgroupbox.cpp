#include "monitor/bitgroupbox.h"

#include "link/link.h"
#include "monitor/bits.h"
#include "ui/controls.h"
#include "ui/freshness.h"
#include "ui/lockedcontrols.h"
#include "ui/uihelpers.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace monitor {

namespace {

const QString kNoBit = QStringLiteral("\u2014");

QColor lampColour(BitGroup group)
{
    switch (onColour(group)) {
    case LampColour::Red:
        return ui::kRed;
    case LampColour::Green:
        return ui::kGreen;
    case LampColour::Orange:
        return ui::kOrange;
    }
    return ui::kRed;
}

} // namespace

BitGroupBox::BitGroupBox(wire::Link &link, const Spec &spec, const WatchLock &lock, QWidget *parent)
    : QGroupBox(spec.title, parent), m_link(link), m_lock(lock), m_group(spec.group)
{
    using namespace ui;
    auto *locked = new LockedControls(lock, this);
    const int bits = lampCount(spec.group);

    m_popup =
        makePopup(spec.popup, QStringLiteral("Bank of the %1 area to watch").arg(spec.what.toLower()), 20);
    {
        const QSignalBlocker block(m_popup);
        m_popup->addItems(bankTitles(spec.group));
        m_popup->setCurrentIndex(0);
    }
    // Another bank's bits are not this one's: nothing shows, and no button
    // forces a bit of the bank before, until the chosen bank is read (none
    // while polling stops).
    connect(m_popup, &QComboBox::currentIndexChanged, this, &BitGroupBox::clearShown);
    m_stat = makeReadout(spec.stat, spec.what + QStringLiteral(" value"), bits == 16 ? 7 : 5);
    m_stat->setText(kNoBit);
    m_stat->setAlignment(Qt::AlignCenter);
    m_stat->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    const bool forcing = !spec.action.isEmpty();
    const auto tagName = [&spec](int tag) { return spec.action + QString::number(tag); };
    QPushButton *clear = nullptr;
    if (forcing && spec.clearTag >= 0) {
        clear = makeButton(tagName(spec.clearTag), spec.clearCaption, spec.clearCaption);
        locked->add(clear);
        connect(clear, &QPushButton::clicked, this,
                [this] { m_link.enqueue(wire::unlessLocked(m_lock, [this] { return clearAll(); })); });
    }

    auto *lamps = new QGridLayout;
    lamps->setHorizontalSpacing(4);
    lamps->setVerticalSpacing(2);
    const int bw = buttonWidth({QStringLiteral("OFF"), QStringLiteral("ON")});
    const QString lower = spec.what.toLower();
    for (int k = 0; k < bits; ++k) {
        // Most significant bit on the left, as the bank titles read.
        const int col = bits - 1 - k;
        const QString idx = QString::number(k);
        const QString what = spec.what + QStringLiteral(" bit ") + idx;
        QLabel *lamp = makeLamp(spec.prefix + idx, what, kLampPixelSize);
        m_lamps << lamp;
        lamps->addWidget(lamp, 0, col, Qt::AlignHCenter);
        auto *no = named(new QLabel(kNoBit), spec.prefix + idx + QStringLiteral("BitNo"));
        no->setFont(monoFont());
        no->setAlignment(Qt::AlignCenter);
        m_numbers << no;
        lamps->addWidget(no, 1, col, Qt::AlignHCenter);
        if (forcing) {
            QPushButton *on = makeButton(tagName(spec.onBase + k), QStringLiteral("ON"),
                                         QStringLiteral("Switch %1 %2 on").arg(lower, idx));
            QPushButton *off = makeButton(tagName(spec.offBase + k), QStringLiteral("OFF"),
                                          QStringLiteral("Switch %1 %2 off").arg(lower, idx));
            on->setFixedWidth(bw);
            off->setFixedWidth(bw);
            locked->add({on, off});
            connect(on, &QPushButton::clicked, this, [this, k] { forceClicked(k, true); });
            connect(off, &QPushButton::clicked, this, [this, k] { forceClicked(k, false); });
            lamps->addWidget(on, 2, col, Qt::AlignHCenter);
            lamps->addWidget(off, 3, col, Qt::AlignHCenter);
        }
        lamps->setColumnStretch(col, 1);
        lamps->setColumnMinimumWidth(
            col, qMax(bw, QFontMetrics(monoFont()).horizontalAdvance(QStringLiteral("-00000")) + 4));
    }

    if (spec.headerOnTop) {
        auto *v = new QVBoxLayout(this);
        auto *top = new QHBoxLayout;
        top->addWidget(caption(QStringLiteral("Bank"), m_popup));
        top->addWidget(m_popup);
        top->addSpacing(12);
        top->addWidget(caption(QStringLiteral("Value"), m_stat));
        top->addWidget(m_stat);
        top->addStretch(1);
        if (clear)
            top->addWidget(clear);
        v->addLayout(top);
        v->addLayout(lamps);
    } else {
        auto *h = new QHBoxLayout(this);
        h->setSpacing(16);
        auto *form = new QGridLayout;
        form->setVerticalSpacing(6);
        form->addWidget(caption(QStringLiteral("Bank"), m_popup), 0, 0);
        form->addWidget(m_popup, 0, 1);
        form->addWidget(caption(QStringLiteral("Value"), m_stat), 1, 0);
        form->addWidget(m_stat, 1, 1, Qt::AlignLeft);
        if (clear)
            form->addWidget(clear, 2, 1, Qt::AlignLeft);
        form->setRowStretch(3, 1);
        h->addLayout(form);
        auto *sep = new QFrame;
        sep->setFrameShape(QFrame::VLine);
        sep->setFrameShadow(QFrame::Sunken);
        h->addWidget(sep);
        h->addLayout(lamps, 1);
    }
}

QCoro::Task<> BitGroupBox::poll(wire::Link &link)
{
    const QString bank = bankWord(m_popup->currentText());
    const QString command = bitQuery(bank, bankCast(m_group));
    const std::optional<QString> answered = co_await link.exchange(command);
    // A reply cut short by a failed wait still shows what of it parses.
    const QString reply = answered ? *answered : link.replySoFar();
    // Another bank chosen while this one was read shows nothing of it.
    if (bankWord(m_popup->currentText()) == bank)
        showBits(reply, bank);
    emit replyRead(command, reply);
}

QList<ui::Plottable> BitGroupBox::plottables(const QString &group) const
{
    QList<ui::Plottable> out;
    for (int k = 0; k < m_lamps.size(); ++k) {
        out.append({group, m_lamps[k],
                    [this, k] { return bitProbe(m_group, bankWord(m_popup->currentText()), k); }});
    }
    return out;
}

void BitGroupBox::showBits(const QString &reply, const QString &bankWord)
{
    // Number labels first, then the value, then the lamps.
    const std::optional<BitDisplay> d = bitDisplay(m_group, reply, bankWord);
    if (!d)
        return;
    m_shown = d->numbers;
    for (int k = 0; k < m_numbers.size(); ++k)
        m_numbers[k]->setText(d->numbers.at(k));
    m_stat->setText(d->value);
    const QColor on = lampColour(m_group);
    const QString word = lampWord(m_group) + QLatin1Char(' ');
    for (int k = 0; k < m_lamps.size(); ++k)
        ui::showLamp(m_lamps[k], word + d->numbers.at(k), lampOn(d->bits, k), on);
    ui::Freshness::confirm(m_lamps);
    ui::Freshness::confirm(m_numbers);
    ui::Freshness::confirm({m_stat});
}

void BitGroupBox::clearShown()
{
    m_shown.reset();
    for (QLabel *number : std::as_const(m_numbers))
        number->setText(kNoBit);
    m_stat->setText(kNoBit);
    for (QLabel *lamp : std::as_const(m_lamps))
        ui::showLamp(lamp, lamp->property("lampName").toString(), false, ui::kBlack);
}

void BitGroupBox::forceClicked(int lamp, bool on)
{
    // The operand is the bit the lamp shows at the click, so the command
    // follows the bank on screen then, whatever a tick or another bank shows
    // by its turn; before the first reading there is nothing to send.
    if (!m_shown || lamp >= m_shown->size())
        return;
    const QString command = forceCommand(on, m_shown->at(lamp));
    m_link.enqueue(wire::unlessLocked(m_lock, [this, command] { return force(command); }));
}

QCoro::Task<> BitGroupBox::force(QString command)
{
    co_await m_link.exchange(command);
}

QCoro::Task<> BitGroupBox::clearAll()
{
    const QString line = clearCommand(m_group);
    if (!line.isEmpty())
        co_await m_link.exchange(line);
}

} // namespace monitor

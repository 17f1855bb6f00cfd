#include "monitor/iopage.h"

#include "monitor/bitgroupbox.h"

#include <QVBoxLayout>

namespace monitor {

IoPage::IoPage(wire::Link &link, const WatchLock &lock, QWidget *parent) : ui::Page(parent)
{
    auto *v = new QVBoxLayout(this);
    v->setSpacing(10);

    BitGroupBox::Spec out;
    out.group = BitGroup::Outputs;
    out.title = QStringLiteral("Outputs");
    out.prefix = QStringLiteral("labelOut");
    out.what = QStringLiteral("Output");
    out.popup = QStringLiteral("popupbuttonOutBank");
    out.stat = QStringLiteral("labelOutStat");
    out.action = QStringLiteral("buttonOutOnOff");
    out.onBase = 0;
    out.offBase = 8;
    out.clearTag = 40;
    out.clearCaption = QStringLiteral("Clear all outputs");
    m_outputs = new BitGroupBox(link, out, lock);
    v->addWidget(m_outputs);

    BitGroupBox::Spec inp;
    inp.group = BitGroup::Inputs;
    inp.title = QStringLiteral("Inputs");
    inp.prefix = QStringLiteral("labelInp");
    inp.what = QStringLiteral("Input");
    inp.popup = QStringLiteral("popupbuttonInpBank");
    inp.stat = QStringLiteral("labelInpStat");
    m_inputs = new BitGroupBox(link, inp, lock);
    v->addWidget(m_inputs);

    // The relays share the outputs' button names, with tags of their own.
    BitGroupBox::Spec rel;
    rel.group = BitGroup::Relays;
    rel.title = QStringLiteral("Internal relays");
    rel.prefix = QStringLiteral("labelMemio");
    rel.what = QStringLiteral("Relay");
    rel.popup = QStringLiteral("popupbuttonMemioBank");
    rel.stat = QStringLiteral("labelMemioStat");
    rel.action = QStringLiteral("buttonOutOnOff");
    rel.onBase = 20;
    rel.offBase = 28;
    rel.clearTag = 41;
    rel.clearCaption = QStringLiteral("Clear all relays");
    m_relays = new BitGroupBox(link, rel, lock);
    v->addWidget(m_relays);
    v->addStretch(1);
    for (BitGroupBox *g : {m_outputs, m_inputs, m_relays})
        connect(g, &BitGroupBox::replyRead, this, &ui::Page::replyRead);
}

QCoro::Task<> IoPage::poll(wire::Link &link)
{
    co_await m_outputs->poll(link);
    co_await m_inputs->poll(link);
    co_await m_relays->poll(link);
}

QList<ui::Plottable> IoPage::plottables() const
{
    QList<ui::Plottable> out;
    out += m_outputs->plottables(QStringLiteral("Outputs"));
    out += m_inputs->plottables(QStringLiteral("Inputs"));
    out += m_relays->plottables(QStringLiteral("Internal relays"));
    return out;
}

} // namespace monitor

#include "monitor/cupage.h"

#include "monitor/bitgroupbox.h"

#include <QVBoxLayout>

namespace monitor {

CuPage::CuPage(wire::Link &link, const WatchLock &lock, QWidget *parent) : ui::Page(parent)
{
    auto *v = new QVBoxLayout(this);
    v->setSpacing(10);

    BitGroupBox::Spec out;
    out.group = BitGroup::CuOutputs;
    out.title = QStringLiteral("CU outputs");
    out.prefix = QStringLiteral("labelCuOut");
    out.what = QStringLiteral("CU output");
    out.popup = QStringLiteral("popupbuttonCuOutBank");
    out.stat = QStringLiteral("labelCuOutStat");
    out.action = QStringLiteral("buttonCuOnOff");
    out.onBase = 0;
    out.offBase = 8;
    out.clearTag = 40;
    out.clearCaption = QStringLiteral("Clear all CU outputs");
    m_outputs = new BitGroupBox(link, out, lock);
    v->addWidget(m_outputs);

    BitGroupBox::Spec inp;
    inp.group = BitGroup::CuInputs;
    inp.title = QStringLiteral("CU inputs");
    inp.prefix = QStringLiteral("labelCuInp");
    inp.what = QStringLiteral("CU input");
    inp.popup = QStringLiteral("popupbuttonCuInpBank");
    inp.stat = QStringLiteral("labelCuInpStat");
    m_inputs = new BitGroupBox(link, inp, lock);
    v->addWidget(m_inputs);
    v->addStretch(1);
    for (BitGroupBox *g : {m_outputs, m_inputs})
        connect(g, &BitGroupBox::replyRead, this, &ui::Page::replyRead);
}

QCoro::Task<> CuPage::poll(wire::Link &link)
{
    co_await m_outputs->poll(link);
    co_await m_inputs->poll(link);
}

QList<ui::Plottable> CuPage::plottables() const
{
    QList<ui::Plottable> out;
    out += m_outputs->plottables(QStringLiteral("CU outputs"));
    out += m_inputs->plottables(QStringLiteral("CU inputs"));
    return out;
}

} // namespace monitor

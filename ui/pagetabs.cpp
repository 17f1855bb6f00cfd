#include "ui/pagetabs.h"

#include "ui/page.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace ui {

PageTabs::PageTabs(QTabWidget &tabs, QObject *parent) : QObject(parent), m_tabWidget(tabs) {}

void PageTabs::add(const QString &title, const QString &identifier, Kind kind, Make make)
{
    auto *holder = new QWidget;
    holder->setProperty("identifier", identifier);
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs.push_back(Tab{holder, kind, std::move(make), nullptr});
    m_tabWidget.addTab(holder, title);
}

void PageTabs::add(const QString &title, const QString &identifier, Kind kind, Page *page)
{
    page->setProperty("identifier", identifier);
    m_tabs.push_back(Tab{page, kind, nullptr, page});
    m_tabWidget.addTab(page, title);
}

Page *PageTabs::page(int index)
{
    Tab &tab = m_tabs.at(static_cast<size_t>(index));
    if (!tab.page) {
        tab.page = tab.make();
        tab.make = nullptr;
        tab.holder->layout()->addWidget(tab.page);
        emit built(index, tab.page);
    }
    return tab.page;
}

Page *PageTabs::builtPage(int index) const
{
    return m_tabs.at(static_cast<size_t>(index)).page;
}

QList<Page *> PageTabs::builtPages() const
{
    QList<Page *> out;
    for (const Tab &tab : m_tabs) {
        if (tab.page)
            out.append(tab.page);
    }
    return out;
}

void PageTabs::buildAll()
{
    for (int i = 0; i < count(); ++i)
        page(i);
}

} // namespace ui

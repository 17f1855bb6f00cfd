// The window's tabs, each page made the first time it is asked for: a window
// opens with its first page only, and a page nobody looks at costs nothing.
// The tab widget holds a light holder per tab from the start, so the tabs,
// their titles and their order are there at once. Whoever selects a tab asks
// for its page before the tab is painted (the window does, as the current
// tab changes; it may refuse the change, and then builds nothing).
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QTabWidget;
class QWidget;

namespace ui {

class Page;

class PageTabs : public QObject
{
    Q_OBJECT

public:
    using Make = std::function<Page *()>;
    // Whether the page's poll ticks read values the trend can sample.
    enum class Kind { Console, Monitor };

    explicit PageTabs(QTabWidget &tabs, QObject *parent = nullptr);

    // A tab titled `title`, after those added before; `identifier` is the
    // holder's "identifier" property, as tools outside find the tabs by.
    void add(const QString &title, const QString &identifier, Kind kind, Make make);
    // A tab whose page is built already: the tab holds the page itself.
    void add(const QString &title, const QString &identifier, Kind kind, Page *page);

    int count() const { return static_cast<int>(m_tabs.size()); }
    Kind kind(int index) const { return m_tabs.at(static_cast<size_t>(index)).kind; }
    // The page of tab `index`, built now if it was not yet.
    Page *page(int index);
    // The page of tab `index` if it has been built; nullptr if not.
    Page *builtPage(int index) const;
    // Every page that has been built, in tab order.
    QList<Page *> builtPages() const;
    // Builds every page not built yet.
    void buildAll();

signals:
    // Tab `index` has just got its page.
    void built(int index, ui::Page *page);

private:
    struct Tab
    {
        QWidget *holder = nullptr;
        Kind kind = Kind::Monitor;
        Make make;
        Page *page = nullptr;
    };
    QTabWidget &m_tabWidget;
    std::vector<Tab> m_tabs;
};

} // namespace ui

#include "app/windowset.h"

#include "app/builtinsimulator.h"
#include "app/mainwindow.h"
#include "core/watchlock.h"
#include "link/link.h"
#include "ui/qtdialogs.h"

#include <QScreen>
#include <QTimer>

struct WindowSet::Entry
{
    // Destroyed in reverse: the simulator before the window that talks to
    // it, the window before the dialogs it alerts through.
    std::unique_ptr<Dialogs> dialogs;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<BuiltInSimulator> builtIn;
};

WindowSet::WindowSet(Clock &clock, QSettings *settings, DialogsFactory makeDialogs, QObject *parent)
    : QObject(parent), m_makeDialogs(std::move(makeDialogs)), m_clock(clock), m_settings(settings)
{
}

WindowSet::~WindowSet()
{
    // Newest first, each simulator before its window.
    while (!m_entries.empty())
        m_entries.pop_back();
}

MainWindow *WindowSet::open()
{
    auto entry = std::make_unique<Entry>();
    QtDialogs *desktop = nullptr;
    if (m_makeDialogs) {
        entry->dialogs = m_makeDialogs();
    } else {
        auto owned = std::make_unique<QtDialogs>();
        desktop = owned.get();
        entry->dialogs = std::move(owned);
    }
    entry->window = std::make_unique<MainWindow>(entry->dialogs.get(), &m_clock, m_settings);
    MainWindow *window = entry->window.get();
    // Locked before it shows, so before anything could be sent; its journal
    // notes it as the first window's does.
    if (m_watchOnly)
        window->watchLock().lock();
    if (desktop)
        desktop->setParentWidget(window);
    entry->builtIn = std::make_unique<BuiltInSimulator>(*window);
    const MainWindow *newest = m_entries.empty() ? nullptr : m_entries.back()->window.get();
    if (newest) {
        // Beside the newest rather than on top of it, as long as it stays on
        // the screen (all of it, or its middle when it is larger): a long
        // cascade starts again at the top left rather than walk off.
        window->resize(newest->size());
        QRect next = newest->frameGeometry().translated(32, 32);
        const QRect area = newest->screen()->availableGeometry();
        const bool fits = next.width() <= area.width() && next.height() <= area.height();
        if (fits ? !area.contains(next) : !area.contains(next.center()))
            next.moveTopLeft(area.topLeft());
        window->move(next.topLeft());
    } else {
        window->restoreLayout();
    }
    connect(window, &MainWindow::newWindowRequested, this, [this] { open(); });
    connect(window, &MainWindow::quitRequested, this, [this, window] { closeAll(window); });
    connect(window, &MainWindow::closed, this, [this, window] {
        // Once what the window has begun has ended (a backup may still be
        // writing its files aside, a load may be queued behind it): the
        // window's link runs this after them. Then not from inside the
        // link's slot nor the window's own close handling.
        window->link().enqueue([this, window]() -> QCoro::Task<> {
            QTimer::singleShot(0, this, [this, window] { forget(window); });
            co_return;
        });
    });
    m_entries.push_back(std::move(entry));
    window->show();
    return window;
}

void WindowSet::closeAll(const MainWindow *quitFrom)
{
    // The others may close before or after it (the connected ones after their
    // goodbye): none writes over what the user left in the one in use.
    for (MainWindow *window : windows()) {
        if (window == quitFrom)
            window->close();
        else
            window->closeLeavingSettings();
    }
}

std::vector<MainWindow *> WindowSet::windows() const
{
    std::vector<MainWindow *> out;
    for (const auto &e : m_entries)
        out.push_back(e->window.get());
    return out;
}

BuiltInSimulator *WindowSet::builtInSimulator(const MainWindow *window) const
{
    for (const auto &e : m_entries) {
        if (e->window.get() == window)
            return e->builtIn.get();
    }
    return nullptr;
}

void WindowSet::forget(MainWindow *window)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if ((*it)->window.get() == window) {
            m_entries.erase(it);
            emit windowClosed();
            return;
        }
    }
}

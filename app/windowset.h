// The program's main windows. Each has its own link, poller, pages, trend,
// journal, dialogs and built-in simulator, so two windows may watch two
// controllers side by side; they share the clock and the settings file.
// File > New Window opens another; closing one leaves the others running;
// File > Quit closes them all, each saying goodbye as a single window does,
// and the program ends when the last has closed.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class BuiltInSimulator;
class Clock;
class Dialogs;
class MainWindow;
class QSettings;
class QWidget;

class WindowSet : public QObject
{
    Q_OBJECT
public:
    // Makes the dialogs of a new window; without one each window gets the
    // desktop's dialogs, modal to it.
    using DialogsFactory = std::function<std::unique_ptr<Dialogs>()>;

    WindowSet(Clock &clock, QSettings *settings, DialogsFactory makeDialogs = {}, QObject *parent = nullptr);
    ~WindowSet() override;

    // A new window, shown, with the stored window layout (or cascaded from
    // the newest open window).
    MainWindow *open();
    // Every window asked to close: each disconnects first. What the next start
    // shows is what `quitFrom` (one of windows()) shows as it closes, however
    // the others end.
    void closeAll(const MainWindow *quitFrom);
    // --watch-only: every window opened from now on starts with the watch-only
    // lock on, File > New Window's too; each is unlocked on its own.
    void setWatchOnly(bool on) { m_watchOnly = on; }

    // The open windows, oldest first.
    std::vector<MainWindow *> windows() const;
    // The built-in simulator of `window` (one of windows()).
    BuiltInSimulator *builtInSimulator(const MainWindow *window) const;

signals:
    // A window has closed and is gone.
    void windowClosed();

private:
    struct Entry;
    void forget(MainWindow *window);

    DialogsFactory m_makeDialogs;
    Clock &m_clock;
    QSettings *m_settings;
    bool m_watchOnly = false;
    std::vector<std::unique_ptr<Entry>> m_entries;
};

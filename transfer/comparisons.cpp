#include "transfer/comparisons.h"

#include "console/sidepanel.h"
#include "core/background.h"
#include "core/dialogs.h"
#include "link/link.h"
#include "transfer/compare.h"
#include "transfer/comparewindow.h"
#include "transfer/fileformat.h"
#include "transfer/transfers.h"

#include <QAction>
#include <QCoroTask>
#include <QCryptographicHash>
#include <QFileSystemWatcher>
#include <QMenu>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>

namespace transfer {

namespace {

// What a comparison works with.
struct Context
{
    QWidget *window; // parents the compare windows
    wire::Link *link;
    Transfers *transfers;
    Dialogs *dialogs;
    const WatchLock *lock;
};

// What a comparison was made of: Load may load only that, and only over the
// connection the listing came over.
struct Basis
{
    Kind kind;
    QString path;
    quint64 generation; // the link's, when the listing had arrived
    QByteArray hash;    // of the file's text as compared
};

QByteArray hashOf(const QString &text)
{
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
}

// The file's text now, when it is still the text that was compared.
std::optional<QString> unchanged(const Basis &basis)
{
    const FileText now = readSjisFile(basis.path);
    if (!now.ok || hashOf(now.text) != basis.hash)
        return std::nullopt;
    return now.text;
}

// The same, read away from the window: a file can hold megabytes.
QCoro::Task<std::optional<QString>> unchangedAside(Basis basis)
{
    QCoro::Task<std::optional<QString>> reading =
        core::inBackground<std::optional<QString>>([basis] { return unchanged(basis); });
    const std::optional<QString> text = co_await reading;
    co_return text;
}

// Load goes off once the file no longer holds what was compared.
QCoro::Task<> recheckFile(QPointer<CompareWindow> shown, Basis basis)
{
    QCoro::Task<std::optional<QString>> reading = unchangedAside(basis);
    const std::optional<QString> now = co_await reading;
    if (shown && !now)
        shown->disableLoad(CompareWindow::LoadOff::FileChanged);
}

bool sameConnection(const wire::Link &link, const Basis &basis)
{
    return wire::isUp(link.state()) && link.generation() == basis.generation;
}

// Load goes off for good the moment the comparison stops being the truth:
// whichever way the link ends or is replaced, or when the file changes.
void keepLoadHonest(CompareWindow *shown, wire::Link &link, const Basis &basis)
{
    using LoadOff = CompareWindow::LoadOff;
    // The window is only ever made on a live link: going down, or a new
    // connection starting, ends the one it was made on.
    QObject::connect(&link, &wire::Link::stateChanged, shown, [shown](wire::State state, wire::Reason) {
        if (state == wire::State::Closing || state == wire::State::Disconnected ||
            state == wire::State::Connecting)
            shown->disableLoad(LoadOff::LinkEnded);
    });

    auto *watcher = new QFileSystemWatcher(QStringList{basis.path}, shown);
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, shown, [shown, basis] {
        QCoro::Task<> checking = recheckFile(shown, basis);
        Q_UNUSED(checking); // goes on alone
    });
}

// The comparison proper runs on a thread of its own: a listing can hold a
// hundred thousand lines, and the window must not stand still meanwhile. The
// result comes back under a lock, a hand-over ThreadSanitizer can see (Qt's
// event queue is not instrumented).
class Comparing
{
public:
    using Result = std::variant<TableComparison, ProgramComparison>;

    void put(Result result)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_result = std::move(result);
    }
    std::optional<Result> take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_result, std::nullopt);
    }

private:
    std::mutex m_mutex;
    std::optional<Result> m_result;
};

// The Load of a compare window, when its turn in the link's queue comes: the
// link may have gone, or the file changed, while an exchange held the slot.
QCoro::Task<> loadCompared(wire::Link &link, Transfers &transfers, Basis basis,
                           QPointer<CompareWindow> window)
{
    using LoadOff = CompareWindow::LoadOff;
    if (!sameConnection(link, basis)) {
        if (window)
            window->disableLoad(LoadOff::LinkEnded);
        co_return;
    }
    QCoro::Task<std::optional<QString>> reading = unchangedAside(basis);
    const std::optional<QString> text = co_await reading;
    if (!text) {
        if (window)
            window->disableLoad(LoadOff::FileChanged);
        co_return;
    }
    if (window)
        window->close();
    QCoro::Task<std::optional<int>> load = transfers.loadText(basis.kind, basis.path, *text);
    co_await load;
}

void show(const Context &c, const Basis &basis, const Comparing::Result &result)
{
    wire::Link &link = *c.link;
    Transfers &transfers = *c.transfers;
    CompareWindow *shown =
        std::holds_alternative<ProgramComparison>(result)
            ? new CompareWindow(basis.path, std::get<ProgramComparison>(result), *c.lock, c.window)
            : new CompareWindow(basis.kind, basis.path, std::get<TableComparison>(result), *c.lock, c.window);
    keepLoadHonest(shown, link, basis);
    // The link or the file may have changed while the comparison was made.
    if (!sameConnection(link, basis)) {
        shown->disableLoad(CompareWindow::LoadOff::LinkEnded);
    } else {
        QCoro::Task<> checking = recheckFile(shown, basis);
        Q_UNUSED(checking); // goes on alone
    }
    QObject::connect(
        shown, &CompareWindow::loadRequested, &transfers,
        [&link, &transfers, basis, lock = c.lock, window = QPointer<CompareWindow>(shown)] {
            // Held back by the lock: pressed again once it is off.
            link.enqueue(wire::unlessLocked(
                *lock,
                [&link, &transfers, basis, window] { return loadCompared(link, transfers, basis, window); },
                [window] {
                    if (window)
                        window->loadHeldBack();
                }));
        });
    shown->show();
}

// One comparison of the file chosen at the click, as a link action: the
// listing is read in the action, the comparison made aside, the window shown
// when done.
QCoro::Task<> compare(Context c, Kind kind, QString path)
{
    Transfers &transfers = *c.transfers;
    QCoro::Task<std::optional<QString>> reading = transfers.readLoadFile(path);
    const std::optional<QString> text = co_await reading;
    if (!text)
        co_return;
    const std::optional<QString> listing = co_await transfers.readListing(kind, path);
    if (!listing)
        co_return;
    const quint64 generation = c.link->generation();
    QCoro::Task<QByteArray> hashing = core::inBackground<QByteArray>([all = *text] { return hashOf(all); });
    const QByteArray hash = co_await hashing;
    const Basis basis{kind, path, generation, hash};
    auto comparing = std::make_shared<Comparing>();
    QThread *worker = QThread::create([comparing, kind, listing = *listing, text = *text] {
        const QStringList controller = listedLines(listing, kind);
        const QStringList file = loadedLines(text, kind);
        if (kind == Kind::Program)
            comparing->put(comparePrograms(controller, file));
        else
            comparing->put(compareTables(controller, file));
    });
    QObject::connect(worker, &QThread::finished, c.window, [c, basis, comparing] {
        if (const std::optional<Comparing::Result> result = comparing->take())
            show(c, basis, *result);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

} // namespace

void installCompare(QWidget *window, wire::Link &link, Transfers &transfers, Dialogs &dialogs,
                    const WatchLock &lock, console::SidePanel &panel, QMenu *fileMenu)
{
    const Context c{window, &link, &transfers, &dialogs, &lock};
    // The file is chosen at the click: a dialog open inside the action would
    // stop the tabs' reads while it stands, and behind a running transfer it
    // would open only when that one ended. Cancelled, nothing is queued.
    const auto request = [c](Kind kind) {
        return [c, kind] {
            const QString path = c.transfers->chooseLoadFile(kind);
            if (!path.isEmpty())
                c.link->enqueue([c, kind, path] { return compare(c, kind, path); });
        };
    };
    QObject::connect(&panel, &console::SidePanel::pointCompareRequested, window, request(Kind::Point));
    QObject::connect(&panel, &console::SidePanel::mbkCompareRequested, window, request(Kind::Mbk));

    // Beside "Open Program…", the File menu's first entry.
    const QList<QAction *> actions = fileMenu->actions();
    QAction *before = actions.size() > 1 ? actions.at(1) : nullptr;
    const struct
    {
        const char *name;
        const char *text;
        Kind kind;
    } entries[] = {{"menuComparePoints", "Compare Points\u2026", Kind::Point},
                   {"menuCompareMbk", "Compare MBK\u2026", Kind::Mbk},
                   {"menuCompareProgram", "Compare Program\u2026", Kind::Program}};
    for (const auto &e : entries) {
        auto *action = new QAction(QString::fromUtf8(e.text), window);
        action->setObjectName(QLatin1String(e.name));
        action->setStatusTip(QStringLiteral("Show what loading a file would change on the controller"));
        action->setEnabled(wire::isUp(link.state()));
        QObject::connect(action, &QAction::triggered, window, request(e.kind));
        // On while the link is up; off however it ends (the user's
        // disconnect, a receive time-out, the controller closing) and while a
        // new connection is being made.
        QObject::connect(&link, &wire::Link::stateChanged, action, [action](wire::State state, wire::Reason) {
            action->setEnabled(state == wire::State::LoggingIn || state == wire::State::Ready);
        });
        fileMenu->insertAction(before, action);
    }
}

} // namespace transfer

#include "transfer/comparisons.h"

#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "console/consolepage.h"
#include "console/sidepanel.h"
#include "link/link.h"
#include "transfer/compare.h"
#include "transfer/comparewindow.h"
#include "transfer/fileformat.h"
#include "transfer/transfers.h"

#include <QAction>
#include <QCryptographicHash>
#include <QFileSystemWatcher>
#include <QMenu>
#include <QPointer>
#include <QThread>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>

namespace transfer {

namespace {

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

bool sameConnection(const link::Link &link, const Basis &basis)
{
    return link.isConnected() && !link.peerClosedConnection() && link.generation() == basis.generation;
}

// Load goes off for good the moment the comparison stops being the truth:
// whichever way the link ends or is replaced, or when the file changes.
void keepLoadHonest(CompareWindow *shown, link::Link &link, const Basis &basis)
{
    using LoadOff = CompareWindow::LoadOff;
    const auto linkEnded = [shown] { shown->disableLoad(LoadOff::LinkEnded); };
    for (const auto ended : {&link::Link::aboutToClose, &link::Link::peerClosed, &link::Link::timedOut})
        QObject::connect(&link, ended, shown, linkEnded);
    // The window is only ever made on a live link: any change is another one.
    QObject::connect(&link, &link::Link::connectedChanged, shown, linkEnded);
    QObject::connect(&link, &link::Link::opening, shown, linkEnded);

    auto *watcher = new QFileSystemWatcher(QStringList{basis.path}, shown);
    QObject::connect(watcher, &QFileSystemWatcher::fileChanged, shown, [shown, basis] {
        if (!unchanged(basis))
            shown->disableLoad(LoadOff::FileChanged);
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

void show(MainWindow &window, const Basis &basis, const Comparing::Result &result)
{
    link::Link &link = window.link();
    Transfers &transfers = window.transfers();
    CompareWindow *shown =
        std::holds_alternative<ProgramComparison>(result)
            ? new CompareWindow(basis.path, std::get<ProgramComparison>(result), &window)
            : new CompareWindow(basis.kind, basis.path, std::get<TableComparison>(result), &window);
    keepLoadHonest(shown, link, basis);
    // The link or the file may have changed while the comparison was made.
    if (!sameConnection(link, basis))
        shown->disableLoad(CompareWindow::LoadOff::LinkEnded);
    else if (!unchanged(basis))
        shown->disableLoad(CompareWindow::LoadOff::FileChanged);
    QObject::connect(shown, &CompareWindow::loadRequested, &transfers,
                     [&link, &transfers, basis, window = QPointer<CompareWindow>(shown)] {
                         // Checked again when the load's turn comes: the link
                         // may have gone while an exchange held the slot.
                         link.userAction([&link, &transfers, basis, window] {
                             using LoadOff = CompareWindow::LoadOff;
                             if (!sameConnection(link, basis)) {
                                 if (window)
                                     window->disableLoad(LoadOff::LinkEnded);
                                 return;
                             }
                             const std::optional<QString> text = unchanged(basis);
                             if (!text) {
                                 if (window)
                                     window->disableLoad(LoadOff::FileChanged);
                                 return;
                             }
                             if (window)
                                 window->close();
                             transfers.loadText(basis.kind, basis.path, *text);
                         });
                     });
    shown->show();
}

void compare(MainWindow &window, Kind kind)
{
    Transfers &transfers = window.transfers();
    const QString path = window.dialogs().openFile(transfers.loadDialog(kind));
    if (path.isEmpty())
        return;
    const std::optional<QString> text = transfers.readLoadFile(path);
    if (!text)
        return;
    const std::optional<QString> listing = transfers.readListing(kind, path);
    if (!listing)
        return;
    const Basis basis{kind, path, window.link().generation(), hashOf(*text)};
    auto comparing = std::make_shared<Comparing>();
    QThread *worker = QThread::create([comparing, kind, listing = *listing, text = *text] {
        const QStringList controller = listedLines(listing, kind);
        const QStringList file = loadedLines(text, kind);
        if (kind == Kind::Program)
            comparing->put(comparePrograms(controller, file));
        else
            comparing->put(compareTables(controller, file));
    });
    QObject::connect(worker, &QThread::finished, &window, [&window, basis, comparing] {
        if (const std::optional<Comparing::Result> result = comparing->take())
            show(window, basis, *result);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

} // namespace

void installCompare(MainWindow &window)
{
    const auto request = [&window](Kind kind) {
        return [&window, kind] { window.link().userAction([&window, kind] { compare(window, kind); }); };
    };
    console::SidePanel &panel = window.consolePage().sidePanel();
    QObject::connect(&panel, &console::SidePanel::pointCompareRequested, &window, request(Kind::Point));
    QObject::connect(&panel, &console::SidePanel::mbkCompareRequested, &window, request(Kind::Mbk));

    // Beside "Open Program…", the File menu's first entry.
    QMenu *file = window.fileMenu();
    const QList<QAction *> actions = file->actions();
    QAction *before = actions.size() > 1 ? actions.at(1) : nullptr;
    const struct
    {
        const char *name;
        const char *text;
        Kind kind;
    } entries[] = {{"menuComparePoints", "Compare Points\u2026", Kind::Point},
                   {"menuCompareMbk", "Compare MBK\u2026", Kind::Mbk},
                   {"menuCompareProgram", "Compare Program\u2026", Kind::Program}};
    link::Link &link = window.link();
    for (const auto &e : entries) {
        auto *action = new QAction(QString::fromUtf8(e.text), &window);
        action->setObjectName(QLatin1String(e.name));
        action->setStatusTip(QStringLiteral("Show what loading a file would change on the controller"));
        action->setEnabled(false);
        QObject::connect(action, &QAction::triggered, &window, request(e.kind));
        // On with a new connection; off however the link ends: the user's
        // disconnect, a receive time-out (which does not report the link
        // down) or the controller closing (after which the link still counts
        // as connected until the next exchange finds it gone).
        QObject::connect(&link, &link::Link::connectedChanged, action, &QAction::setEnabled);
        for (const auto ended : {&link::Link::aboutToClose, &link::Link::peerClosed, &link::Link::timedOut})
            QObject::connect(&link, ended, action, [action] { action->setEnabled(false); });
        file->insertAction(before, action);
    }
}

} // namespace transfer

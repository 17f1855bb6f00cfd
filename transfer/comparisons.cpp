#include "transfer/comparisons.h"

#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "console/consolepage.h"
#include "console/sidepanel.h"
#include "link/link.h"
#include "transfer/compare.h"
#include "transfer/comparewindow.h"
#include "transfer/transfers.h"

#include <QAction>
#include <QMenu>

namespace transfer {

namespace {

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
    const QStringList controller = listedLines(*listing, kind);
    const QStringList file = loadedLines(*text, kind);
    CompareWindow *shown = kind == Kind::Program
                               ? new CompareWindow(path, comparePrograms(controller, file), &window)
                               : new CompareWindow(kind, path, compareTables(controller, file), &window);
    link::Link &link = window.link();
    QObject::connect(shown, &CompareWindow::loadRequested, &transfers, [&link, &transfers, kind, path] {
        link.userAction([&transfers, kind, path] { transfers.loadFile(kind, path); });
    });
    shown->show();
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
    for (const auto &e : entries) {
        auto *action = new QAction(QString::fromUtf8(e.text), &window);
        action->setObjectName(QLatin1String(e.name));
        action->setStatusTip(QStringLiteral("Show what loading a file would change on the controller"));
        action->setEnabled(false);
        QObject::connect(action, &QAction::triggered, &window, request(e.kind));
        QObject::connect(&window.link(), &link::Link::connectedChanged, action, &QAction::setEnabled);
        file->insertAction(before, action);
    }
}

} // namespace transfer

// Program, point and MBK files to and from the controller. Each transfer is a
// coroutine that runs to its end inside one link action (the caller enqueues
// it), its waits and pauses awaited on the main thread; the file rules live in
// fileformat.*.
#pragma once

#include "transfer/kinds.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <array>
#include <optional>

class Dialogs;
struct FileDialogSpec;

namespace console {
class ConsoleSink;
}

namespace wire {
class Link;
}

namespace transfer {

class Transfers : public QObject
{
    Q_OBJECT

public:
    Transfers(wire::Link &link, Dialogs &dialogs, QObject *parent = nullptr);

    // Where the transfers write their notes; set before the first transfer.
    void setConsole(console::ConsoleSink &console) { m_console = &console; }

    // The file the last finished load or save of `kind` used: the next file
    // dialog of that direction starts there. Empty until one finished.
    QString lastLoaded(Kind kind) const;
    QString lastSaved(Kind kind) const;

    // The open dialog a load of `kind` shows.
    FileDialogSpec loadDialog(Kind kind) const;
    // The text of a file to load, read away from the window, or nothing
    // after the alert a load shows for a file it cannot read.
    QCoro::Task<std::optional<QString>> readLoadFile(QString path);
    // The load of `kind` (program: line by line) of `text`, the contents of
    // the file at `path` as read beforehand: a comparison's Load loads what it
    // compared, not what the file may hold by then.
    // The number of lines the controller refused, or nothing when the load
    // did not go through to its end. With `numbers` (one per line of `text`),
    // each line goes to the controller with its number in front. A load of
    // several in a row keeps what the ones before it wrote into the console.
    enum class Console { Clear, Keep };
    QCoro::Task<std::optional<int>> loadText(Kind kind, QString path, QString text,
                                             Origin origin = Origin::File, QList<qint64> numbers = {},
                                             Console console = Console::Clear);
    // The controller's current listing of `kind`, read as the save reads it
    // (progress in the status line) but without the attention byte: nothing
    // the controller is doing is interrupted. Nothing when the wait failed
    // (the link has told the user and closed).
    enum class ListingFor { Compare, Backup }; // what the status line says
    QCoro::Task<std::optional<QString>> readListing(Kind kind, QString path,
                                                    ListingFor purpose = ListingFor::Compare);

    // Each runs from its file dialog to its end; the caller runs it as a link
    // action, which holds the exchange slot until the transfer ends.
    // Line by line, each line answered by the controller.
    QCoro::Task<> programLoad();
    // The whole program in blocks, compiled by the controller at the end.
    QCoro::Task<> programLoadHs();
    QCoro::Task<> programSave();
    QCoro::Task<> pointLoad();
    QCoro::Task<> pointSave();
    QCoro::Task<> mbkLoad();
    QCoro::Task<> mbkSave();

signals:
    // The status line's text: progress while a transfer runs, empty at its end.
    void status(const QString &text);
    // A transfer begins and ends (whatever its outcome): what goes to the
    // controller in between is the transfer's.
    void transferStarted();
    void transferEnded();
    // A load went through: `bytes` of the file at `path`, of which the
    // controller refused `refused` lines.
    void loaded(transfer::Kind kind, const QString &path, qint64 bytes, int refused);
    void saved(transfer::Kind kind, const QString &path);

private:
    enum class LoadMode { Lines, Blocks };
    struct Files
    {
        QString loaded;
        QString saved;
    };

    QCoro::Task<> load(Kind kind, LoadMode mode);
    // `text`: the file's contents when already read, else the file is read.
    QCoro::Task<std::optional<int>> loadPath(Kind kind, LoadMode mode, QString path,
                                             std::optional<QString> text, Origin origin,
                                             QList<qint64> numbers = {}, Console console = Console::Clear);
    QCoro::Task<> save(Kind kind);
    Files &filesOf(Kind kind);
    const Files &filesOf(Kind kind) const;

    wire::Link &m_link;
    Dialogs &m_dialogs;
    console::ConsoleSink *m_console = nullptr;
    std::array<Files, 3> m_files; // by Kind
};

} // namespace transfer

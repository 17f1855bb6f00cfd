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

    // The file a load or a save of `kind` goes with, asked at the click: an
    // open dialog inside a link action would stop the tabs' reads for as
    // long as it stands, and behind a running transfer it would open only
    // when the turn came. Empty when the user cancelled.
    QString chooseLoadFile(Kind kind);
    QString chooseSaveFile(Kind kind);
    // The text of a file to load, read away from the window, or nothing
    // for a file it cannot read (its alert opens once the running action has
    // let go of the link).
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

    // Each runs with the file chosen at the click to its end; the caller runs
    // it as a link action, which holds the exchange slot until the transfer
    // ends. An empty `path` (a cancelled choice) does nothing.
    // Line by line, each line answered by the controller.
    QCoro::Task<> programLoad(QString path) { return load(Kind::Program, LoadMode::Lines, path); }
    // The whole program in blocks, compiled by the controller at the end.
    QCoro::Task<> programLoadHs(QString path) { return load(Kind::Program, LoadMode::Blocks, path); }
    QCoro::Task<> programSave(QString path) { return save(Kind::Program, path); }
    QCoro::Task<> pointLoad(QString path) { return load(Kind::Point, LoadMode::Lines, path); }
    QCoro::Task<> pointSave(QString path) { return save(Kind::Point, path); }
    QCoro::Task<> mbkLoad(QString path) { return load(Kind::Mbk, LoadMode::Lines, path); }
    QCoro::Task<> mbkSave(QString path) { return save(Kind::Mbk, path); }

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

    QCoro::Task<> load(Kind kind, LoadMode mode, QString path);
    // `text`: the file's contents when already read, else the file is read.
    QCoro::Task<std::optional<int>> loadPath(Kind kind, LoadMode mode, QString path,
                                             std::optional<QString> text, Origin origin,
                                             QList<qint64> numbers = {}, Console console = Console::Clear);
    QCoro::Task<> save(Kind kind, QString path);
    Files &filesOf(Kind kind);
    const Files &filesOf(Kind kind) const;

    wire::Link &m_link;
    Dialogs &m_dialogs;
    console::ConsoleSink *m_console = nullptr;
    std::array<Files, 3> m_files; // by Kind
};

} // namespace transfer

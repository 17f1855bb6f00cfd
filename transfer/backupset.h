// A controller's backup on disk: one folder holding the program, point and
// MBK files as the saves write them and a manifest.json that names each file
// with its size and SHA-256, so that a restore can tell a complete, unchanged
// set from anything else. Files only: the link side is in backups.*.
#pragma once

#include "transfer/kinds.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace transfer {

inline constexpr std::array<Kind, 3> kBackupKinds = {Kind::Program, Kind::Point, Kind::Mbk};
// A table's place in the arrays below, which are indexed by Kind.
inline constexpr std::size_t indexOf(Kind kind)
{
    return static_cast<std::size_t>(kind);
}

// The file a backup keeps the table of `kind` in: "program.f2k",
// "points.p2k", "mbk.mbk".
QString backupFileName(Kind kind);

// The first line of a listing that is not part of the table `kind` lists, or
// nothing when every line is: program lines are numbered, a TAB after the
// number, the numbers rising; point lines are "SETP n x y u z", MBK lines
// "MBK(a~Wrd)=v"; the listing ends with the prompt. Anything else (a running
// program printing, an error, which starts with a TAB) is not the table.
std::optional<QString> strayListingLine(Kind kind, const QString &listing);

// "<controller>_<yyyy-MM-dd_HH-mm-ss>", the controller's name or address
// made safe for a folder name on every system.
QString backupFolderName(const QString &controller, const QDateTime &time);

struct BackupMeta
{
    QString controller; // its name or address
    QDateTime time;
    QString monitorVersion;
};

struct WrittenBackup
{
    QString folder; // the backup's path; empty when nothing was written
    QString error;  // why not, for the user
};

// Writes the three listings (indexed by Kind) as a new backup folder in
// `parentDir`. Everything goes into a hidden folder first, renamed to its
// name only when complete: a failed write leaves nothing that looks like a
// backup. A name already taken (a backup in the same second) gets "_2",
// "_3" after it.
WrittenBackup writeBackup(const QString &parentDir, const BackupMeta &meta,
                          const std::array<QString, 3> &listings);

struct BackupSet
{
    QString folder;
    BackupMeta meta;
    std::array<QString, 3> texts; // each file's text, indexed by Kind
    std::array<QString, 3> paths;
    // The number of each line of the program file, as the controller listed
    // it: a restore stores every line at its own number, so that a jump to a
    // number still lands on its line. Empty for a backup that does not say.
    QList<qint64> programNumbers;
};

struct ReadBackup
{
    std::optional<BackupSet> set;
    QString error; // why the folder is not a usable backup, naming the file

    // The folder still holds what `compared` was read from: the same texts
    // and line numbers.
    bool holds(const BackupSet &compared) const
    {
        return set && set->texts == compared.texts && set->programNumbers == compared.programNumbers;
    }
};

// Reads a backup folder, refusing it when the manifest is missing or
// unreadable, any file it names is missing, another size or another hash, or
// the program's line numbers do not number the program file's lines.
ReadBackup readBackup(const QString &folder);

} // namespace transfer

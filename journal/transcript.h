// The session file's rules, as plain functions: how a chunk of the wire is
// written on one line, what a line says, the files' names, and which old files
// go.
//
// A session file is UTF-8 text, one entry a line:
//   09:05:03.127 > PR IN(0)\r          a chunk the monitor sent
//   09:05:03.129 < \r\n &H00\r\n#      a chunk the controller sent
//   09:05:04.310 ! I/O | Output 19 ON  a command the operator caused
//   09:05:04.500 # 4,096 bytes not recorded   what did not fit in the buffer
//   # New day, 2026-12-08 00:00:00           the entries after it are of that day
// Control bytes and backslashes are escaped (\r \n \t \e \\ \xHH); Shift-JIS
// text is written as the characters it stands for, and every other byte as
// \xHH, so that a line reads back to exactly the bytes of its chunk. The
// login answers are written as ***.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace journal {

enum class Direction { Sent, Received };

QString escapeChunk(const QByteArray &bytes);
// The same, as UTF-8 at the end of `out`: what the file gets, without a
// string in between.
void appendEscaped(QByteArray &out, const char *data, qsizetype size);
// The bytes escapeChunk() was given.
QByteArray unescapeChunk(const QString &text);

inline const QString kSecret = QStringLiteral("***");

// One wire line, without the line end.
QString wireLine(const QTime &time, Direction direction, const QString &escapedText);
// "HH:mm:ss.zzz" of a time of day in milliseconds, at the end of `out`.
void appendTime(QByteArray &out, int msecsOfDay);
// What follows the time on the line that says how much of the wire a
// transcript left out.
QString droppedLine(qint64 bytes);
// One operator line, without the line end.
QString operatorLine(const QTime &time, const QString &page, const QString &what);
// The line before the first entry of another day than the one before it: the
// times of day alone cannot tell a connection idle overnight.
QString dayLine(const QDate &day);

struct Entry
{
    enum class Kind { Sent, Received, Operator } kind = Kind::Sent;
    QTime time;
    QString text; // escaped chunk, or what the operator did
    QString page; // operator lines only
};
// Reads one line of a session file; nothing for headers and lines that are
// not entries.
std::optional<Entry> parseLine(const QString &line);

// "2026-12-07_09-05-03_127.0.0.1_23.txt": sorts by time, and says where to.
QString sessionFileName(const QDateTime &start, const QString &address);
// How a header names the controller: "press-4 (10.0.0.5:23)" when it was
// reached by its address-book `name`, the address alone otherwise.
QString headerTarget(const QString &address, const QString &name);
// "# QuorinMonitor session with <target>, 2026-12-07 09:05:03".
QString sessionHeader(const QDateTime &start, const QString &target);
// The name of a session's file number `part` (the first is part 1):
// "2026-12-07_09-05-03_127.0.0.1_23~002.txt". A session goes on in another
// file when one is full, or when another monitor writes the one it would take.
QString continuedFileName(const QString &firstName, int part);
// A continuation's first line: its own date, so that it reads on its own.
QString continuedHeader(const QDateTime &at, const QString &target, int part);
// The controller a session's or a continuation's header names: the
// address-book name when it has one, else the address; nothing for any other
// line.
std::optional<QString> headerController(const QString &line);
// Whether a file in the sessions folder is a transcript: nothing else there
// is ever removed.
bool isTranscriptName(const QString &name);

struct StoredFile
{
    QString name;
    qint64 size = 0;
    QDateTime modified;
    // Being written, by this monitor or another: counted, never removed.
    bool inUse = false;
};
inline constexpr qint64 kMaxSessionAgeDays = 30;
inline constexpr qint64 kMaxSessionBytes = 200LL * 1024 * 1024;
// One file's share: a session that goes on past it continues in a new file.
inline constexpr qint64 kMaxSessionFileBytes = 50LL * 1024 * 1024;

struct StorageLimits
{
    qint64 fileBytes = kMaxSessionFileBytes;
    qint64 totalBytes = kMaxSessionBytes;
    qint64 ageDays = kMaxSessionAgeDays;
};
// The files to remove: those older than maxAgeDays, then the oldest of the
// rest until they hold no more than maxBytes together; a file in use counts
// but never goes.
QStringList filesToRemove(QList<StoredFile> files, const QDateTime &now,
                          qint64 maxAgeDays = kMaxSessionAgeDays, qint64 maxBytes = kMaxSessionBytes);

} // namespace journal

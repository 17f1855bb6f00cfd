// The transcript of each connection: every chunk sent and received, with its
// time and direction, and the operator's commands, in a file of its own under
// the sessions folder. Chunks are taken from any thread into a buffer; the
// file is written from the main thread by a timer and when the session ends,
// so the poll tick never waits for the disk. A folder or file that cannot be
// written turns recording off, with one message.
//
// The folder and its files are the owner's alone. A file that reaches its
// size cap goes on in a numbered continuation; at every new session and every
// continuation the old transcripts are tidied by age and total size. The file
// being written is held by a lock file beside it, so that no other monitor
// writes to it or removes it; the lock of a monitor that died is taken over.
#pragma once

#include "journal/transcript.h"
#include "link/wiretap.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QLockFile;
class QTimer;

namespace journal {

class SessionJournal : public QObject, public wire::WireTap
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFlushInterval{250};
    // A transcript that piles up while the disk is slow is cut, not held
    // without bound: the monitor outranks its record.
    static constexpr qsizetype kMaxBuffered = 8 * 1024 * 1024;

    explicit SessionJournal(QObject *parent = nullptr);
    ~SessionJournal() override;

    // The folder the session files go to (created on the first session).
    void setDirectory(const QString &path);
    QString directory() const { return m_directory; }
    // The default: "sessions" under the application's local data folder.
    static QString defaultDirectory();

    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }

    // A new connection to `address` began at `start`: a new file. A
    // controller connected to by its address-book `name` has the name in the
    // file's name and in its first line.
    void beginSession(const QDateTime &start, const QString &address, const QString &name = QString());
    // The connection ended: the rest is written and the file closed.
    void endSession();
    // The file of the current session; empty when none.
    QString currentFile() const { return m_file.isOpen() ? m_file.fileName() : QString(); }

    // A command the operator caused, on the main thread.
    void addOperatorLine(const QString &page, const QString &what);
    // Writes what is buffered now.
    void flush();
    // How large a file, and all of them, may grow, and how old they may get.
    void setLimits(const StorageLimits &limits) { m_limits = limits; }
    // How much may wait for the next flush before chunks are left out.
    void setBufferCap(qsizetype bytes) { m_bufferCap = bytes; }
    // Where the entries' times come from, in milliseconds since the epoch, on
    // any thread: the system's clock unless set. Set before a session.
    void setTimeSource(std::function<qint64()> nowMs) { m_nowMs = std::move(nowMs); }

    // Removes the transcripts older than the age limit, then the oldest
    // until they hold no more than the total limit together; a file that this
    // or another monitor is writing counts but stays. Returns how many went.
    int rotate(const QDateTime &now);

    // wire::WireTap; any thread.
    void sent(const QByteArray &bytes, bool secret) override;
    void received(const QByteArray &bytes) override;

signals:
    // Recording stopped because the disk refused: `message` says why, once.
    void failed(const QString &message);
    // A command went out from the main thread (a login answer never shows).
    void commandSent(const QByteArray &bytes);

private:
    // What went by, packed one record after the other into one buffer: a
    // Record, then its bytes (an operator line as UTF-8). The sending and
    // receiving threads only take a time and copy the bytes in; escaping and
    // the local time wait for flush(). The buffer keeps its memory from one
    // flush to the next, so a chunk costs no allocation of its own.
    enum class Kind : quint8 { Sent, Received, Secret, Operator };
    struct Record
    {
        qint64 atMs;
        qint32 size;
        Kind kind;
    };
    void push(Kind kind, const char *data, qsizetype size);
    // Forgets what waits to be written.
    void discardBuffered();
    // The timer's turn: a slice of what is buffered, so that a flood never
    // holds the window for long; the next turn comes at once while more waits.
    void writeSlice();
    // Writes about `budget` bytes of records, taking the buffer when the
    // last one is done; true while some of the one taken is left.
    bool writeSome(size_t budget);
    void fail(const QString &why);
    bool makeFolder();
    // Opens file number `part` of the session, or the first after it that no
    // other monitor holds.
    bool openPart(int part);
    void closeFile();
    // Writes `out` to the file; false when the disk refused.
    bool write(const QByteArray &out);
    // The line at `lineStart` of `out` would take the file past its cap: what
    // comes before goes to this file, the line to the next one.
    bool continueIfFull(QByteArray &out, qsizetype lineStart, qint64 atMs);

    QString m_directory;
    bool m_enabled = true;
    QFile m_file;
    std::unique_ptr<QLockFile> m_lock;
    QString m_address;
    QString m_firstName;
    int m_part = 0;
    // What the file holds, and where in the flush's output its entries
    // begin (after a header that the output starts with).
    qint64 m_fileBytes = 0;
    bool m_fileHasEntries = false;
    qsizetype m_entriesStart = 0;
    QTimer *m_timer = nullptr;
    // Guards m_pending, which the connection thread writes.
    std::mutex m_mutex;
    std::vector<char> m_pending;
    // The buffer being written, swapped with m_pending, and how far it is;
    // what was left out before it was taken, and the local time's offset for
    // its records (one serves all unless the clocks changed in between).
    std::vector<char> m_flushing;
    size_t m_flushAt = 0;
    qint64 m_flushDropped = 0;
    qint64 m_flushDroppedAtMs = 0;
    qint64 m_offsetMs = 0;
    bool m_oneOffset = false;
    // The local day of the last entry written (a Julian day; 0 before the
    // first): an entry of another day goes after a line that says so.
    qint64 m_day = 0;
    QByteArray m_header;
    QByteArray m_out;
    // Bytes left out since the last flush, and when the first of them came.
    qint64 m_dropped = 0;
    qint64 m_droppedAtMs = 0;
    qsizetype m_bufferCap = kMaxBuffered;
    StorageLimits m_limits;
    std::function<qint64()> m_nowMs;
    std::atomic<bool> m_recording{false};
};

} // namespace journal

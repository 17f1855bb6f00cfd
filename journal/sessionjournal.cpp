#include "journal/sessionjournal.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <utility>

namespace journal {

namespace {

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                       QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
// Names tried past a part that other monitors hold, before giving up.
constexpr int kMaxPartsTried = 100;

QString lockName(const QString &path)
{
    return path + QStringLiteral(".lock");
}

// A lock is stale only when its process is gone: how long it was held says
// nothing, as a session runs for hours.
std::unique_ptr<QLockFile> lockFor(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(lockName(path));
    lock->setStaleLockTime(0);
    return lock;
}

} // namespace

SessionJournal::SessionJournal(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("sessionJournal"));
    m_directory = defaultDirectory();
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &SessionJournal::writeSlice);
}

SessionJournal::~SessionJournal()
{
    endSession();
}

QString SessionJournal::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/sessions");
}

void SessionJournal::setDirectory(const QString &path)
{
    m_directory = path;
}

void SessionJournal::setEnabled(bool on)
{
    m_enabled = on;
    if (!on)
        endSession();
}

bool SessionJournal::makeFolder()
{
    const QFileInfo info(m_directory);
    if (!info.exists() && QDir().mkpath(info.absolutePath()))
        QDir().mkdir(m_directory, kOwnerOnly | QFile::ExeOwner);
    const QFileInfo made(m_directory);
    if (!made.isDir())
        return false;
    // A folder that an earlier version made is closed to others too.
    if (!made.isSymLink() && (made.permissions() & kOthers))
        QFile::setPermissions(m_directory, kOwnerOnly | QFile::ExeOwner);
    return true;
}

bool SessionJournal::openPart(int part)
{
    const QDir dir(m_directory);
    for (int n = part; n < part + kMaxPartsTried; ++n) {
        const QString path = dir.filePath(continuedFileName(m_firstName, n));
        std::unique_ptr<QLockFile> lock = lockFor(path);
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::LockFailedError)
                continue; // another monitor writes it
            fail(QStringLiteral("the file %1 cannot be locked").arg(QDir::toNativeSeparators(path)));
            return false;
        }
        m_file.setFileName(path);
        // Unbuffered: what the disk took is what was written, so that a line it
        // took only part of can go.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered,
                         kOwnerOnly)) {
            fail(m_file.errorString());
            return false;
        }
        m_lock = std::move(lock);
        m_part = n;
        m_fileBytes = m_file.size();
        m_fileHasEntries = m_fileBytes > 0;
        return true;
    }
    fail(QStringLiteral("other monitors hold every file name of this session"));
    return false;
}

void SessionJournal::closeFile()
{
    if (m_file.isOpen())
        m_file.close();
    m_lock.reset();
}

void SessionJournal::beginSession(const QDateTime &start, const QString &address, const QString &name)
{
    endSession();
    if (!m_enabled)
        return;
    if (!makeFolder()) {
        fail(QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(m_directory)));
        return;
    }
    m_address = headerTarget(address, name);
    m_firstName = sessionFileName(start, name.isEmpty() ? address : name + QLatin1Char('_') + address);
    if (!openPart(1))
        return;
    m_header = sessionHeader(start, m_address).toUtf8() + '\n';
    discardBuffered();
    m_day = 0;
    m_recording = true;
    m_timer->start(kFlushInterval);
    rotate(start);
}

void SessionJournal::discardBuffered()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.clear();
        m_dropped = 0;
    }
    m_flushing.clear();
    m_flushAt = 0;
    m_flushDropped = 0;
}

void SessionJournal::endSession()
{
    if (!m_file.isOpen())
        return;
    flush();
    m_recording = false;
    discardBuffered();
    m_timer->stop();
    closeFile();
}

void SessionJournal::push(Kind kind, const char *data, qsizetype size)
{
    const qint64 now = m_nowMs ? m_nowMs() : QDateTime::currentMSecsSinceEpoch();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (qsizetype(m_pending.size()) > m_bufferCap) {
        if (m_dropped == 0)
            m_droppedAtMs = now;
        m_dropped += size;
        return;
    }
    const Record record{now, static_cast<qint32>(size), kind};
    const size_t at = m_pending.size();
    m_pending.resize(at + sizeof(Record) + size_t(size));
    std::memcpy(m_pending.data() + at, &record, sizeof(Record));
    if (size > 0)
        std::memcpy(m_pending.data() + at + sizeof(Record), data, size_t(size));
}

void SessionJournal::sent(const QByteArray &bytes, bool secret)
{
    if (!secret && QThread::currentThread() == thread())
        emit commandSent(bytes);
    if (!m_recording.load(std::memory_order_relaxed))
        return;
    if (secret) {
        // Only whether it ended the line is kept.
        push(Kind::Secret, bytes.endsWith('\r') ? "\r" : "", bytes.endsWith('\r') ? 1 : 0);
    } else {
        push(Kind::Sent, bytes.constData(), bytes.size());
    }
}

void SessionJournal::received(const QByteArray &bytes)
{
    if (m_recording.load(std::memory_order_relaxed))
        push(Kind::Received, bytes.constData(), bytes.size());
}

void SessionJournal::addOperatorLine(const QString &page, const QString &what)
{
    if (!m_recording)
        return;
    // Made with an empty time; the stamp goes in front at the flush.
    const QByteArray line = operatorLine(QTime(), page, what).toUtf8();
    push(Kind::Operator, line.constData(), line.size());
}

void SessionJournal::flush()
{
    // The rest of the buffer being written, then what came since.
    writeSome(SIZE_MAX);
    writeSome(SIZE_MAX);
}

void SessionJournal::writeSlice()
{
    // About a millisecond's work: a chunk of the output a quarter of a
    // second of a flood makes.
    constexpr size_t kSliceBytes = 256 * 1024;
    const bool more = writeSome(kSliceBytes);
    if (m_recording)
        m_timer->start(more ? std::chrono::milliseconds(0) : kFlushInterval);
}

bool SessionJournal::writeSome(size_t budget)
{
    const auto recordAt = [this](size_t at) {
        Record r;
        std::memcpy(&r, m_flushing.data() + at, sizeof(Record));
        return r;
    };
    if (m_flushAt >= m_flushing.size()) {
        m_flushing.clear();
        m_flushAt = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pending.swap(m_flushing);
            m_flushDropped = std::exchange(m_dropped, 0);
            m_flushDroppedAtMs = m_droppedAtMs;
        }
        // A local time costs a look at the time zone (a file check in the C
        // library); a buffer covers a quarter of a second, so one offset
        // serves every record unless the clocks changed in between.
        if (!m_flushing.empty()) {
            qint64 lastMs = 0;
            for (size_t at = 0; at < m_flushing.size();) {
                const Record r = recordAt(at);
                lastMs = r.atMs;
                at += sizeof(Record) + size_t(r.size);
            }
            m_offsetMs = QDateTime::fromMSecsSinceEpoch(recordAt(0).atMs).offsetFromUtc() * 1000LL;
            m_oneOffset = QDateTime::fromMSecsSinceEpoch(lastMs).offsetFromUtc() * 1000LL == m_offsetMs;
        }
    }
    if (!m_file.isOpen() || (m_flushing.empty() && m_header.isEmpty() && m_flushDropped == 0))
        return false;
    // The output keeps its memory from one write to the next, as the buffers
    // do: a large one then costs no fresh pages.
    QByteArray &out = m_out;
    out.resize(0);
    out += m_header;
    m_header.clear();
    m_entriesStart = out.size();
    constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
    const auto timeOfDay = [&](qint64 atMs) {
        return m_oneOffset ? int(((atMs + m_offsetMs) % kDayMs + kDayMs) % kDayMs)
                           : QDateTime::fromMSecsSinceEpoch(atMs).time().msecsSinceStartOfDay();
    };
    static const qint64 kEpochDay = QDate(1970, 1, 1).toJulianDay();
    const auto dayOf = [&](qint64 atMs) {
        const qint64 local = atMs + m_offsetMs;
        return m_oneOffset ? kEpochDay + (local >= 0 ? local : local - kDayMs + 1) / kDayMs
                           : QDateTime::fromMSecsSinceEpoch(atMs).date().toJulianDay();
    };
    while (m_flushAt < m_flushing.size() && size_t(out.size()) < budget) {
        const Record r = recordAt(m_flushAt);
        const char *data = m_flushing.data() + m_flushAt + sizeof(Record);
        m_flushAt += sizeof(Record) + size_t(r.size);
        const qsizetype lineStart = out.size();
        // A connection idle overnight steps back by less than half a day.
        if (const qint64 day = dayOf(r.atMs); day != m_day) {
            if (m_day != 0)
                out += dayLine(QDate::fromJulianDay(day)).toUtf8() + '\n';
            m_day = day;
        }
        appendTime(out, timeOfDay(r.atMs));
        switch (r.kind) {
        case Kind::Operator:
            out.append(data, r.size);
            break;
        case Kind::Secret:
            out += " > ";
            out += kSecret.toUtf8();
            if (r.size > 0)
                out += "\\r";
            break;
        case Kind::Sent:
        case Kind::Received:
            out += r.kind == Kind::Sent ? " > " : " < ";
            appendEscaped(out, data, r.size);
            break;
        }
        out += '\n';
        if (!continueIfFull(out, lineStart, r.atMs))
            return false;
    }
    const bool more = m_flushAt < m_flushing.size();
    // What did not fit in the buffer went by after what did.
    if (!more && m_flushDropped > 0) {
        const qint64 dropped = std::exchange(m_flushDropped, 0);
        const qsizetype lineStart = out.size();
        appendTime(out, QDateTime::fromMSecsSinceEpoch(m_flushDroppedAtMs).time().msecsSinceStartOfDay());
        out += droppedLine(dropped).toUtf8();
        out += '\n';
        if (!continueIfFull(out, lineStart, m_flushDroppedAtMs))
            return false;
    }
    if (!write(out))
        return false;
    // The buffers keep their memory for the next write, so that a burst
    // costs no fresh pages at every turn; once it is over, its memory goes.
    constexpr size_t kKept = 1024 * 1024;
    if (!more && m_flushing.size() < kKept && m_flushing.capacity() > kKept) {
        std::vector<char>().swap(m_flushing);
        m_flushAt = 0;
    }
    if (size_t(out.size()) < kKept && size_t(out.capacity()) > 4 * kKept)
        out = QByteArray();
    return more;
}

bool SessionJournal::write(const QByteArray &out)
{
    if (out.isEmpty())
        return true;
    if (m_file.write(out) != out.size() || !m_file.flush()) {
        fail(m_file.errorString());
        return false;
    }
    m_fileBytes += out.size();
    m_fileHasEntries = m_fileHasEntries || out.size() > m_entriesStart;
    return true;
}

bool SessionJournal::continueIfFull(QByteArray &out, qsizetype lineStart, qint64 atMs)
{
    // A line alone in its file stays, however long.
    if (m_fileBytes + out.size() <= m_limits.fileBytes || (!m_fileHasEntries && lineStart <= m_entriesStart))
        return true;
    const QByteArray line = out.mid(lineStart);
    out.truncate(lineStart);
    if (!write(out))
        return false;
    closeFile();
    if (!openPart(m_part + 1))
        return false;
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(atMs);
    out = continuedHeader(at, m_address, m_part).toUtf8() + '\n';
    m_entriesStart = out.size();
    out += line;
    rotate(at);
    return true;
}

void SessionJournal::fail(const QString &why)
{
    // A line the disk took only part of could read as another: the file
    // ends with its last whole line.
    if (m_file.isOpen() && m_file.size() > m_fileBytes)
        m_file.resize(m_fileBytes);
    m_recording = false;
    discardBuffered();
    m_timer->stop();
    closeFile();
    const bool wasOn = m_enabled;
    m_enabled = false;
    if (wasOn)
        emit failed(QStringLiteral("Session recording turned off: ") + why);
}

int SessionJournal::rotate(const QDateTime &now)
{
    const QDir dir(m_directory);
    const QString current = m_file.isOpen() ? QFileInfo(m_file.fileName()).fileName() : QString();
    QList<StoredFile> files;
    // A link is neither followed nor counted: what it points to is not ours.
    for (const QFileInfo &fi : dir.entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::Hidden)) {
        const QString name = fi.fileName();
        if (isTranscriptName(name)) {
            files << StoredFile{name, fi.size(), fi.lastModified(), name == current};
        } else if (name.endsWith(QLatin1String(".lock")) && isTranscriptName(name.chopped(5)) &&
                   !QFileInfo::exists(dir.filePath(name.chopped(5)))) {
            // The lock of a transcript removed by hand: gone once its monitor
            // is.
            if (std::unique_ptr<QLockFile> lock = lockFor(dir.filePath(name.chopped(5))); lock->tryLock(0))
                lock->unlock();
        }
    }
    int removed = 0;
    for (bool again = true; again;) {
        again = false;
        for (const QString &name : filesToRemove(files, now, m_limits.ageDays, m_limits.totalBytes)) {
            const auto it =
                std::find_if(files.begin(), files.end(), [&](const StoredFile &f) { return f.name == name; });
            // A file another monitor holds, or one that will not go, stays and
            // counts: the rest are weighed again without it.
            const QString path = dir.filePath(name);
            std::unique_ptr<QLockFile> lock = lockFor(path);
            if (!lock->tryLock(0) || !QFile::remove(path)) {
                it->inUse = true;
                again = true;
                break;
            }
            files.erase(it);
            ++removed;
        }
    }
    return removed;
}

} // namespace journal

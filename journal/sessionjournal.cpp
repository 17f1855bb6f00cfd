#include "journal/sessionjournal.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <cstring>

namespace journal {

namespace {
// A transcript that piles up while the disk is slow is cut, not held without
// bound: the monitor outranks its record.
constexpr qsizetype kMaxBuffered = 8 * 1024 * 1024;
} // namespace

SessionJournal::SessionJournal(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("sessionJournal"));
    m_directory = defaultDirectory();
    m_timer->setInterval(kFlushInterval);
    connect(m_timer, &QTimer::timeout, this, &SessionJournal::flush);
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

void SessionJournal::beginSession(const QDateTime &start, const QString &address)
{
    endSession();
    if (!m_enabled)
        return;
    if (!QDir().mkpath(m_directory)) {
        fail(QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(m_directory)));
        return;
    }
    m_file.setFileName(QDir(m_directory).filePath(sessionFileName(start, address)));
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        fail(m_file.errorString());
        return;
    }
    m_header = sessionHeader(start, address).toUtf8() + '\n';
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.clear();
    }
    m_recording = true;
    m_timer->start();
}

void SessionJournal::endSession()
{
    if (!m_file.isOpen())
        return;
    flush();
    m_recording = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.clear();
    }
    m_timer->stop();
    if (m_file.isOpen())
        m_file.close();
}

void SessionJournal::push(Kind kind, const char *data, qsizetype size)
{
    const Record record{QDateTime::currentMSecsSinceEpoch(), static_cast<qint32>(size), kind};
    std::lock_guard<std::mutex> lock(m_mutex);
    if (qsizetype(m_pending.size()) > kMaxBuffered)
        return;
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
    m_flushing.clear();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.swap(m_flushing);
    }
    if (!m_file.isOpen() || (m_flushing.empty() && m_header.isEmpty()))
        return;
    const auto recordAt = [this](size_t at) {
        Record r;
        std::memcpy(&r, m_flushing.data() + at, sizeof(Record));
        return r;
    };
    QByteArray out;
    out.swap(m_header);
    // A local time costs a look at the time zone (a file check in the C
    // library); a flush covers a quarter of a second, so one offset serves
    // every record unless the clocks changed in between.
    qint64 offsetMs = 0;
    bool oneOffset = false;
    if (!m_flushing.empty()) {
        qint64 lastMs = 0;
        for (size_t at = 0; at < m_flushing.size();) {
            const Record r = recordAt(at);
            lastMs = r.atMs;
            at += sizeof(Record) + size_t(r.size);
        }
        offsetMs = QDateTime::fromMSecsSinceEpoch(recordAt(0).atMs).offsetFromUtc() * 1000LL;
        oneOffset = QDateTime::fromMSecsSinceEpoch(lastMs).offsetFromUtc() * 1000LL == offsetMs;
    }
    constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
    for (size_t at = 0; at < m_flushing.size();) {
        const Record r = recordAt(at);
        const char *data = m_flushing.data() + at + sizeof(Record);
        at += sizeof(Record) + size_t(r.size);
        const QTime time = oneOffset ? QTime::fromMSecsSinceStartOfDay(
                                           static_cast<int>(((r.atMs + offsetMs) % kDayMs + kDayMs) % kDayMs))
                                     : QDateTime::fromMSecsSinceEpoch(r.atMs).time();
        QString line;
        switch (r.kind) {
        case Kind::Operator:
            line = time.toString(QStringLiteral("HH:mm:ss.zzz")) + QString::fromUtf8(data, r.size);
            break;
        case Kind::Secret:
            line =
                wireLine(time, Direction::Sent, kSecret + (r.size > 0 ? QStringLiteral("\\r") : QString()));
            break;
        case Kind::Sent:
        case Kind::Received:
            line = wireLine(time, r.kind == Kind::Sent ? Direction::Sent : Direction::Received,
                            escapeChunk(QByteArray::fromRawData(data, r.size)));
            break;
        }
        out += line.toUtf8() + '\n';
    }
    // The buffer's memory is kept for the next swap; a burst's is let go.
    if (m_flushing.capacity() > size_t(1024 * 1024))
        std::vector<char>().swap(m_flushing);
    if (m_file.write(out) != out.size() || !m_file.flush())
        fail(m_file.errorString());
}

void SessionJournal::fail(const QString &why)
{
    m_recording = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.clear();
    }
    m_timer->stop();
    if (m_file.isOpen())
        m_file.close();
    const bool wasOn = m_enabled;
    m_enabled = false;
    if (wasOn)
        emit failed(QStringLiteral("Session recording turned off: ") + why);
}

int SessionJournal::rotate(const QDateTime &now)
{
    const QDir dir(m_directory);
    QList<StoredFile> files;
    for (const QFileInfo &fi : dir.entryInfoList({QStringLiteral("*.txt")}, QDir::Files))
        files << StoredFile{fi.fileName(), fi.size(), fi.lastModified()};
    const QStringList gone = filesToRemove(files, now);
    int removed = 0;
    for (const QString &name : gone)
        removed += QFile::remove(dir.filePath(name)) ? 1 : 0;
    return removed;
}

} // namespace journal

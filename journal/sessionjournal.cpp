#include "journal/sessionjournal.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <cstring>
#include <utility>

namespace journal {

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
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
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
    m_flushing.clear();
    qint64 dropped = 0;
    qint64 droppedAtMs = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.swap(m_flushing);
        dropped = std::exchange(m_dropped, 0);
        droppedAtMs = m_droppedAtMs;
    }
    if (!m_file.isOpen() || (m_flushing.empty() && m_header.isEmpty() && dropped == 0))
        return;
    const auto recordAt = [this](size_t at) {
        Record r;
        std::memcpy(&r, m_flushing.data() + at, sizeof(Record));
        return r;
    };
    // The output keeps its memory from one flush to the next, as the buffers
    // do: a large flush then costs no fresh pages.
    QByteArray &out = m_out;
    out.resize(0);
    out += m_header;
    m_header.clear();
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
    const auto timeOfDay = [&](qint64 atMs) {
        constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
        return oneOffset ? int(((atMs + offsetMs) % kDayMs + kDayMs) % kDayMs)
                         : QDateTime::fromMSecsSinceEpoch(atMs).time().msecsSinceStartOfDay();
    };
    for (size_t at = 0; at < m_flushing.size();) {
        const Record r = recordAt(at);
        const char *data = m_flushing.data() + at + sizeof(Record);
        at += sizeof(Record) + size_t(r.size);
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
    }
    // What did not fit in the buffer went by after what did.
    if (dropped > 0) {
        appendTime(out, QDateTime::fromMSecsSinceEpoch(droppedAtMs).time().msecsSinceStartOfDay());
        out += droppedLine(dropped).toUtf8();
        out += '\n';
    }
    if (m_file.write(out) != out.size() || !m_file.flush())
        fail(m_file.errorString());
    // The buffers keep their memory for the next flush, so that a burst
    // costs no fresh pages at every turn; once it is over, its memory goes.
    constexpr size_t kKept = 1024 * 1024;
    if (m_flushing.size() < kKept && m_flushing.capacity() > kKept)
        std::vector<char>().swap(m_flushing);
    if (size_t(out.size()) < kKept && size_t(out.capacity()) > 4 * kKept)
        out = QByteArray();
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

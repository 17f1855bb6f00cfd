#include "journal/sessionjournal.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

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
        m_events.clear();
        m_eventBytes = 0;
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
        m_events.clear();
        m_eventBytes = 0;
    }
    m_timer->stop();
    if (m_file.isOpen())
        m_file.close();
}

void SessionJournal::push(Event &&event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_eventBytes > kMaxBuffered)
        return;
    m_eventBytes += event.bytes.size() + 32;
    m_events.push_back(std::move(event));
}

void SessionJournal::sent(const QByteArray &bytes, bool secret)
{
    if (!secret && QThread::currentThread() == thread())
        emit commandSent(bytes);
    if (m_recording.load(std::memory_order_relaxed))
        push({QDateTime::currentMSecsSinceEpoch(), Direction::Sent, secret, bytes, QString()});
}

void SessionJournal::received(const QByteArray &bytes)
{
    // A copy of just the bytes: a received chunk shares a buffer sized for
    // the largest read, and thousands of those held until the next flush
    // would cost the process more than the copy.
    if (m_recording.load(std::memory_order_relaxed))
        push({QDateTime::currentMSecsSinceEpoch(), Direction::Received, false,
              QByteArray(bytes.constData(), bytes.size()), QString()});
}

void SessionJournal::addOperatorLine(const QString &page, const QString &what)
{
    if (!m_recording)
        return;
    push({QDateTime::currentMSecsSinceEpoch(), Direction::Sent, false, QByteArray(),
          operatorLine(QTime(), page, what)});
}

void SessionJournal::flush()
{
    std::vector<Event> events;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        events.swap(m_events);
        m_eventBytes = 0;
    }
    if (!m_file.isOpen() || (events.empty() && m_header.isEmpty()))
        return;
    QByteArray out;
    out.swap(m_header);
    for (const Event &e : events) {
        const QTime at = QDateTime::fromMSecsSinceEpoch(e.atMs).time();
        QString line;
        if (!e.operatorLine.isEmpty()) {
            // Made with an empty time; the stamp goes in front now.
            line = at.toString(QStringLiteral("HH:mm:ss.zzz")) + e.operatorLine;
        } else if (e.secret) {
            line = wireLine(at, e.direction,
                            kSecret + (e.bytes.endsWith('\r') ? QStringLiteral("\\r") : QString()));
        } else {
            line = wireLine(at, e.direction, escapeChunk(e.bytes));
        }
        out += line.toUtf8() + '\n';
    }
    if (m_file.write(out) != out.size() || !m_file.flush())
        fail(m_file.errorString());
}

void SessionJournal::fail(const QString &why)
{
    m_recording = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.clear();
        m_eventBytes = 0;
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

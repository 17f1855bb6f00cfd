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
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_buffer = sessionHeader(start, address).toUtf8() + '\n';
        m_recording = true;
    }
    m_timer->start();
}

void SessionJournal::endSession()
{
    if (!m_file.isOpen())
        return;
    flush();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_recording = false;
        m_buffer.clear();
    }
    m_timer->stop();
    m_file.close();
}

void SessionJournal::append(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_recording || m_buffer.size() > kMaxBuffered)
        return;
    m_buffer += bytes;
}

void SessionJournal::sent(const QByteArray &bytes, bool secret)
{
    // The wire's stamps are the system's: this runs on the connection thread
    // too, where the window's clock is not to be read.
    if (!m_recording.load(std::memory_order_relaxed)) {
        if (!secret && QThread::currentThread() == thread())
            emit commandSent(bytes);
        return;
    }
    const QTime now = QTime::currentTime();
    QString text = secret ? kSecret : escapeChunk(bytes);
    if (secret && bytes.endsWith('\r'))
        text += QStringLiteral("\\r");
    append(wireLine(now, Direction::Sent, text));
    if (!secret && QThread::currentThread() == thread())
        emit commandSent(bytes);
}

void SessionJournal::received(const QByteArray &bytes)
{
    if (!m_recording.load(std::memory_order_relaxed))
        return;
    append(wireLine(QTime::currentTime(), Direction::Received, escapeChunk(bytes)));
}

void SessionJournal::addOperatorLine(const QString &page, const QString &what)
{
    append(operatorLine(QTime::currentTime(), page, what));
}

void SessionJournal::flush()
{
    QByteArray out;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        out.swap(m_buffer);
    }
    if (out.isEmpty() || !m_file.isOpen())
        return;
    if (m_file.write(out) != out.size() || !m_file.flush())
        fail(m_file.errorString());
}

void SessionJournal::fail(const QString &why)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_recording = false;
        m_buffer.clear();
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

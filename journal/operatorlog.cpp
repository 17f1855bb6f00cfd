#include "journal/operatorlog.h"

#include "core/csv.h"
#include "journal/transcript.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace journal {

namespace {

// How far back the time of day must step between two entries to be read as
// the next day.
constexpr int kMidnightStepMs = 12 * 60 * 60 * 1000;

} // namespace

QString toCsv(const QList<OperatorEntry> &entries)
{
    using core::CsvField;
    QString out =
        core::csvRecord({CsvField::text(QStringLiteral("Time")), CsvField::text(QStringLiteral("Controller")),
                         CsvField::text(QStringLiteral("Page")), CsvField::text(QStringLiteral("Action"))});
    for (const OperatorEntry &e : entries) {
        out +=
            core::csvRecord({CsvField::text(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))),
                             CsvField::text(e.controller), CsvField::text(e.page), CsvField::text(e.what)});
    }
    return out;
}

QList<OperatorEntry> filtered(const QList<OperatorEntry> &entries, const QString &filter)
{
    const QString f = filter.trimmed();
    if (f.isEmpty())
        return entries;
    QList<OperatorEntry> out;
    for (const OperatorEntry &e : entries) {
        if (e.what.contains(f, Qt::CaseInsensitive) || e.page.contains(f, Qt::CaseInsensitive) ||
            e.controller.contains(f, Qt::CaseInsensitive))
            out << e;
    }
    return out;
}

std::optional<OperatorEntry> OperatorLines::read(const QString &line)
{
    static const QRegularExpression header(
        QStringLiteral("^# .*, (\\d{4}-\\d\\d-\\d\\d) \\d\\d:\\d\\d:\\d\\d$"));
    if (line.startsWith(QLatin1Char('#'))) {
        // The entries after a dated line are of its day.
        if (const auto m = header.match(line); m.hasMatch()) {
            m_date = QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd"));
            m_last = QTime();
        }
        if (std::optional<QString> controller = headerController(line))
            m_controller = std::move(*controller);
        return std::nullopt;
    }
    const auto e = parseLine(line);
    if (!e)
        return std::nullopt;
    // A session that runs past midnight. Records a moment out of order, a
    // clock set back by the network or the autumn change of the clocks
    // step back too, but by far less than a day.
    if (m_last.isValid() && e->time.msecsTo(m_last) > kMidnightStepMs)
        m_date = m_date.addDays(1);
    m_last = e->time;
    if (e->kind != Entry::Kind::Operator)
        return std::nullopt;
    return OperatorEntry{QDateTime(m_date, e->time), e->page, e->text, m_controller};
}

QList<OperatorEntry> operatorEntries(const QString &fileText, const QDate &fallbackDate)
{
    OperatorLines lines(fallbackDate);
    QList<OperatorEntry> out;
    for (const QString &raw : fileText.split(QLatin1Char('\n'))) {
        if (auto e = lines.read(raw.endsWith(QLatin1Char('\r')) ? raw.chopped(1) : raw))
            out << std::move(*e);
    }
    return out;
}

QString notASessionFile()
{
    return QStringLiteral("Only a session file can be opened.");
}

OperatorFile readOperatorFile(const QString &path, const QDate &fallbackDate, int maxEntries,
                              const std::function<bool()> &cancelled)
{
    OperatorFile result;
    QFile file;
#ifdef Q_OS_UNIX
    // Opened without waiting, and looked at before it is read: a FIFO put in
    // the file's place since it was chosen would otherwise hold the open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    struct stat st;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (!regular) {
        result.error = notASessionFile();
        return result;
    }
#else
    file.setFileName(path);
    if (!QFileInfo(path).isFile()) {
        result.error = notASessionFile();
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
#endif
    OperatorLines lines(fallbackDate);
    while (!file.atEnd() && !cancelled()) {
        QByteArray line = file.readLine(kMaxLineBytes);
        if (line.isEmpty() && file.error() != QFileDevice::NoError) {
            result.error = file.errorString();
            return result;
        }
        if (line.endsWith('\n')) {
            line.chop(line.endsWith("\r\n") ? 2 : 1);
        } else {
            // Too long for a line of this file: its start is all it says.
            while (!file.atEnd() && !file.readLine(kMaxLineBytes).endsWith('\n')) {
            }
        }
        auto e = lines.read(QString::fromUtf8(line));
        if (!e)
            continue;
        if (result.entries.size() >= maxEntries) {
            result.capped = true;
            break;
        }
        result.entries << std::move(*e);
    }
    return result;
}

} // namespace journal

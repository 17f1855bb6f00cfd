#include "journal/transcript.h"

#include "link/sjis.h"

#include <QRegularExpression>
#include <algorithm>

namespace journal {

namespace {

const QString kTimeFormat = QStringLiteral("HH:mm:ss.zzz");

QString hexByte(unsigned char b)
{
    return QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// The character that 1 or 2 bytes of Shift-JIS at `at` stand for, and how many
// bytes it took; nothing when they are not valid.
std::optional<std::pair<QString, int>> sjisAt(const QByteArray &bytes, qsizetype at)
{
    const auto b = static_cast<unsigned char>(bytes.at(at));
    const int width = link::isSjisLeadByte(b) ? 2 : 1;
    if (at + width > bytes.size())
        return std::nullopt;
    bool ok = false;
    const QString s = link::sjisDecode(bytes.mid(at, width), &ok);
    if (!ok || s.isEmpty() || s.contains(QChar::ReplacementCharacter))
        return std::nullopt;
    return std::make_pair(s, width);
}

} // namespace

QString escapeChunk(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size() + 8);
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (b >= 0x80) {
            if (const auto c = sjisAt(bytes, i)) {
                out += c->first;
                i += c->second;
            } else {
                out += hexByte(b);
                ++i;
            }
            continue;
        }
        switch (b) {
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case 0x1B:
            out += QStringLiteral("\\e");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        default:
            if (b < 0x20 || b == 0x7F)
                out += hexByte(b);
            else
                out += QLatin1Char(static_cast<char>(b));
        }
        ++i;
    }
    return out;
}

QByteArray unescapeChunk(const QString &text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= text.size()) {
            if (c.unicode() < 0x80)
                out += static_cast<char>(c.unicode());
            else
                out += link::sjisEncode(QString(c));
            continue;
        }
        const QChar e = text.at(++i);
        if (e == QLatin1Char('r'))
            out += '\r';
        else if (e == QLatin1Char('n'))
            out += '\n';
        else if (e == QLatin1Char('t'))
            out += '\t';
        else if (e == QLatin1Char('e'))
            out += '\x1B';
        else if (e == QLatin1Char('x') && i + 2 < text.size()) {
            bool ok = false;
            const int v = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += static_cast<char>(v);
                i += 2;
            }
        } else
            out += static_cast<char>(e.unicode());
    }
    return out;
}

QString wireLine(const QTime &time, Direction direction, const QString &escapedText)
{
    return time.toString(kTimeFormat) +
           (direction == Direction::Sent ? QStringLiteral(" > ") : QStringLiteral(" < ")) + escapedText;
}

QString operatorLine(const QTime &time, const QString &page, const QString &what)
{
    // The page name never holds the separator; the text may.
    QString p = page;
    p.replace(QLatin1Char('|'), QLatin1Char('/'));
    QString w = what;
    w.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return time.toString(kTimeFormat) + QStringLiteral(" ! ") + p + QStringLiteral(" | ") + w;
}

std::optional<Entry> parseLine(const QString &line)
{
    static const QRegularExpression re(QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d) ([<>!]) (.*)$"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    Entry e;
    e.time = QTime::fromString(m.captured(1), kTimeFormat);
    if (!e.time.isValid())
        return std::nullopt;
    const QString kind = m.captured(2);
    const QString rest = m.captured(3);
    if (kind == QLatin1String(">")) {
        e.kind = Entry::Kind::Sent;
        e.text = rest;
    } else if (kind == QLatin1String("<")) {
        e.kind = Entry::Kind::Received;
        e.text = rest;
    } else {
        const qsizetype bar = rest.indexOf(QStringLiteral(" | "));
        if (bar < 0)
            return std::nullopt;
        e.kind = Entry::Kind::Operator;
        e.page = rest.left(bar);
        e.text = rest.mid(bar + 3);
    }
    return e;
}

QString sessionFileName(const QDateTime &start, const QString &address)
{
    QString where = address.trimmed();
    // Nothing that a file system could read as a folder or a drive.
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    where.replace(unsafe, QStringLiteral("_"));
    if (where.isEmpty())
        where = QStringLiteral("unknown");
    return start.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + QLatin1Char('_') + where +
           QStringLiteral(".txt");
}

QString sessionHeader(const QDateTime &start, const QString &address)
{
    return QStringLiteral("# QuorinMonitor session with %1, %2")
        .arg(address, start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QStringList filesToRemove(QList<StoredFile> files, const QDateTime &now, qint64 maxAgeDays, qint64 maxBytes)
{
    QStringList gone;
    const QDateTime oldest = now.addDays(-maxAgeDays);
    std::sort(files.begin(), files.end(),
              [](const StoredFile &a, const StoredFile &b) { return a.modified < b.modified; });
    qint64 total = 0;
    QList<StoredFile> kept;
    for (const StoredFile &f : files) {
        if (f.modified < oldest) {
            gone << f.name;
        } else {
            kept << f;
            total += f.size;
        }
    }
    for (const StoredFile &f : kept) {
        if (total <= maxBytes)
            break;
        gone << f.name;
        total -= f.size;
    }
    return gone;
}

} // namespace journal

#include "journal/transcript.h"

#include "link/sjis.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace journal {

namespace {

const QString kTimeFormat = QStringLiteral("HH:mm:ss.zzz");

// How each byte, and each Shift-JIS byte pair, is written, and which bytes a
// character read back from a file stands for, worked out once from the codec
// so that a chunk costs a table look-up per byte rather than a conversion.
// Only a character that converts back to the very same bytes is written as
// itself: cp932 gives some characters two codes (the NEC and IBM rows), and a
// pair cut by a chunk boundary can make such a code of a trail byte and the
// next byte.
class Spellings
{
public:
    // What a byte or a byte pair is written as, in UTF-8: up to four bytes,
    // and how many of them count.
    struct Text
    {
        std::array<char, 4> bytes{};
        quint8 size = 0;
    };

    static const Spellings &get()
    {
        static const Spellings s;
        return s;
    }

    bool isLead(unsigned char b) const { return m_lead[b]; }
    // A byte on its own: its character, its escape or \xHH.
    const Text &single(unsigned char b) const { return m_single[b]; }
    // A lead byte and the byte after it; size 0 when they are not written
    // as one character.
    const Text &pair(unsigned char lead, unsigned char trail) const
    {
        return m_pair[size_t(lead) << 8 | trail];
    }
    // The bytes a character stands for: (lead << 8 | trail), a single byte,
    // or 0 when no byte sequence reads back as it.
    quint16 bytesOf(char16_t c) const { return m_bytesOf[c]; }

private:
    Spellings()
    {
        for (unsigned b = 0; b < 0x100; ++b) {
            m_lead[b] = wire::isSjisLeadByte(uchar(b));
            switch (b) {
            case '\r':
                m_single[b] = ascii("\\r");
                break;
            case '\n':
                m_single[b] = ascii("\\n");
                break;
            case '\t':
                m_single[b] = ascii("\\t");
                break;
            case 0x1B:
                m_single[b] = ascii("\\e");
                break;
            case '\\':
                m_single[b] = ascii("\\\\");
                break;
            default:
                if (b >= 0x20 && b < 0x7F) {
                    const char one[2] = {char(b), 0};
                    m_single[b] = ascii(one);
                } else {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", b);
                    m_single[b] = ascii(hex);
                }
            }
        }
        // Each code on its own: an error, more than one character or a
        // different code on the way back leaves it to \xHH.
        const auto roundTrip = [](const QByteArray &code) -> char16_t {
            bool ok = false;
            const QString s = wire::sjisDecode(code, &ok);
            if (!ok || s.size() != 1 || s.at(0) == QChar::ReplacementCharacter)
                return 0;
            return wire::sjisEncode(s) == code ? s.at(0).unicode() : char16_t(0);
        };
        for (unsigned b = 0x80; b < 0x100; ++b) {
            if (m_lead[b])
                continue;
            if (const char16_t c = roundTrip(QByteArray(1, char(b)))) {
                m_bytesOf[c] = quint16(b);
                if (readable(c))
                    m_single[b] = utf8(c);
            }
        }
        for (unsigned lead = 0x81; lead < 0x100; ++lead) {
            if (!m_lead[lead])
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                const char code[2] = {char(lead), char(trail)};
                if (const char16_t c = roundTrip(QByteArray(code, 2))) {
                    m_bytesOf[c] = quint16(lead << 8 | trail);
                    if (readable(c))
                        m_pair[lead << 8 | trail] = utf8(c);
                }
            }
        }
    }

    static Text ascii(const char *text)
    {
        Text t;
        t.size = quint8(std::strlen(text));
        std::memcpy(t.bytes.data(), text, t.size);
        return t;
    }

    static Text utf8(char16_t c)
    {
        Text t;
        if (c >= 0x800) {
            t.bytes = {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F)), 0};
            t.size = 3;
        } else {
            t.bytes = {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F)), 0, 0};
            t.size = 2;
        }
        return t;
    }

    // Whether a character can stand in a line of text as itself: controls,
    // private-use characters and surrogates are written as their bytes.
    static bool readable(char16_t c)
    {
        return c >= 0xA0 && !(c >= 0xD800 && c <= 0xF8FF) && c != 0x2028 && c != 0x2029 && c != 0xFEFF &&
               c != 0xFFFD;
    }

    std::array<bool, 256> m_lead{};
    std::array<Text, 256> m_single{};
    std::array<Text, 65536> m_pair{};
    std::array<quint16, 65536> m_bytesOf{};
};

int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

void appendEscaped(QByteArray &out, const char *data, qsizetype size)
{
    const Spellings &sp = Spellings::get();
    const auto *in = reinterpret_cast<const unsigned char *>(data);
    // No byte takes more than four bytes of UTF-8 (\xHH; a pair written as
    // one character takes three), so every spelling is copied whole, four
    // bytes at a time, and the end moves by its size.
    const qsizetype at = out.size();
    out.resize(at + size * 4);
    char *const begin = out.data() + at;
    char *o = begin;
    for (qsizetype i = 0; i < size;) {
        const unsigned char b = in[i];
        if (sp.isLead(b) && i + 1 < size) {
            const Spellings::Text &t = sp.pair(b, in[i + 1]);
            if (t.size > 0) {
                std::memcpy(o, t.bytes.data(), 4);
                o += t.size;
                i += 2;
                continue;
            }
        }
        const Spellings::Text &t = sp.single(b);
        std::memcpy(o, t.bytes.data(), 4);
        o += t.size;
        ++i;
    }
    out.resize(at + (o - begin));
}

QString escapeChunk(const QByteArray &bytes)
{
    QByteArray utf8;
    appendEscaped(utf8, bytes.constData(), bytes.size());
    return QString::fromUtf8(utf8);
}

QByteArray unescapeChunk(const QString &text)
{
    const Spellings &sp = Spellings::get();
    const auto *in = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype n = text.size();
    QByteArray out;
    out.reserve(n * 2);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c == u'\\' && i + 1 < n) {
            const char16_t e = in[++i];
            if (e == u'r')
                out += '\r';
            else if (e == u'n')
                out += '\n';
            else if (e == u't')
                out += '\t';
            else if (e == u'e')
                out += '\x1B';
            else if (e == u'x' && i + 2 < n && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
                out += char(hexValue(in[i + 1]) << 4 | hexValue(in[i + 2]));
                i += 2;
            } else if (e < 0x80)
                out += char(e);
            continue;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (const quint16 code = sp.bytesOf(c); code > 0xFF) {
            out += char(code >> 8);
            out += char(code & 0xFF);
        } else if (code) {
            out += char(code);
        } else {
            out += wire::sjisEncode(QString(QChar(c)));
        }
    }
    return out;
}

QString wireLine(const QTime &time, Direction direction, const QString &escapedText)
{
    return time.toString(kTimeFormat) +
           (direction == Direction::Sent ? QStringLiteral(" > ") : QStringLiteral(" < ")) + escapedText;
}

void appendTime(QByteArray &out, int msecsOfDay)
{
    const int ms = msecsOfDay % 1000;
    const int secs = msecsOfDay / 1000;
    const char text[12] = {char('0' + secs / 36000),      char('0' + secs / 3600 % 10), ':',
                           char('0' + secs % 3600 / 600), char('0' + secs / 60 % 10),   ':',
                           char('0' + secs % 60 / 10),    char('0' + secs % 10),        '.',
                           char('0' + ms / 100),          char('0' + ms / 10 % 10),     char('0' + ms % 10)};
    out.append(text, sizeof text);
}

QString droppedLine(qint64 bytes)
{
    return QStringLiteral(" # %1 %2 not recorded")
        .arg(QLocale(QLocale::English).toString(bytes),
             bytes == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"));
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

QString dayLine(const QDate &day)
{
    return QStringLiteral("# New day, %1 00:00:00").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
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
    // A file system takes 255 bytes a name; the time, a part's number and a
    // lock file's ending need room too.
    where.truncate(150);
    return start.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) + QLatin1Char('_') + where +
           QStringLiteral(".txt");
}

QString headerTarget(const QString &address, const QString &name)
{
    return name.isEmpty() ? address : QStringLiteral("%1 (%2)").arg(name, address);
}

QString sessionHeader(const QDateTime &start, const QString &target)
{
    return QStringLiteral("# QuorinMonitor session with %1, %2")
        .arg(target, start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString continuedFileName(const QString &firstName, int part)
{
    if (part <= 1)
        return firstName;
    // "~" is in no address part of a name, so a continuation is never taken
    // for another controller's file; three digits keep the parts in order.
    return firstName.chopped(4) + QLatin1Char('~') +
           QString::number(part).rightJustified(3, QLatin1Char('0')) + QStringLiteral(".txt");
}

QString continuedHeader(const QDateTime &at, const QString &target, int part)
{
    return QStringLiteral("# QuorinMonitor session with %1, part %2, %3")
        .arg(target, QString::number(part), at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

std::optional<QString> headerController(const QString &line)
{
    // The shortest target that leaves a well-formed end: a name may itself
    // hold ", part 2", but the date is always last.
    static const QRegularExpression header(QStringLiteral(
        "^# QuorinMonitor session with (.*?)(?:, part \\d+)?, \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    const QRegularExpressionMatch m = header.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    const QString target = m.captured(1);
    // An address never holds a bracket (an IPv6 one is in square brackets),
    // so the last " (" is where the name ends, whatever brackets it holds.
    const qsizetype at = target.lastIndexOf(QStringLiteral(" ("));
    if (at > 0 && target.endsWith(QLatin1Char(')')))
        return target.left(at);
    return target;
}

bool isTranscriptName(const QString &name)
{
    static const QRegularExpression re(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_[A-Za-z0-9._-]+(~\\d+)?\\.txt$"));
    return re.match(name).hasMatch();
}

QStringList filesToRemove(QList<StoredFile> files, const QDateTime &now, qint64 maxAgeDays, qint64 maxBytes)
{
    QStringList gone;
    const QDateTime oldest = now.addDays(-maxAgeDays);
    std::stable_sort(files.begin(), files.end(),
                     [](const StoredFile &a, const StoredFile &b) { return a.modified < b.modified; });
    qint64 total = 0;
    QList<StoredFile> kept;
    for (const StoredFile &f : files) {
        if (f.modified < oldest && !f.inUse) {
            gone << f.name;
        } else {
            kept << f;
            total += f.size;
        }
    }
    for (const StoredFile &f : kept) {
        if (total <= maxBytes)
            break;
        if (f.inUse)
            continue;
        gone << f.name;
        total -= f.size;
    }
    return gone;
}

} // namespace journal

// Program, point and MBK files: a file that decodes writes back as the same
// text, and the lines a load sends come back unchanged when the controller
// lists them and a save writes the listing. A program's block load carries
// exactly the file's bytes. A file that does not decode names a real line.
#include "fuzzinput.h"

#include "link/sjis.h"
#include "link/textutil.h"
#include "transfer/fileformat.h"
#include "transfer/kinds.h"

using namespace transfer;

namespace {

void checkRefusal(const QByteArray &bytes, const FileText &f)
{
    fuzz::check(!f.error.isEmpty(), "refused without a reason");
    const qsizetype at = f.error.indexOf(QStringLiteral("Line "));
    if (at < 0)
        return;
    const auto line = text::parseInt(f.error.mid(at + 5).section(QLatin1Char(' '), 0, 0));
    fuzz::check(line && *line >= 1 && *line <= bytes.count('\n') + 1, "named line out of range", f.error);
}

QString escaped(const QString &s)
{
    QString out;
    for (const QChar c : s)
        out +=
            c.unicode() < 32 ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')) : QString(c);
    return out;
}

// A line with a line break of its own (a lone CR, a vertical tab, ...)
// reaches the controller as more than one line, and which of them it keeps
// is the controller's business: such files are left out of the round trip.
bool oneLine(const QString &line)
{
    for (const QChar c : line) {
        if (text::isNewline(c))
            return false;
    }
    return true;
}

void checkRoundTrip(Kind kind, const QString &text)
{
    const Traits &t = traits(kind);
    QStringList sent;
    for (const QString &raw : splitLines(text)) {
        const LoadLine l = cleanLoadLine(raw, t);
        fuzz::check(l.count == raw.size(), "progress count");
        if (l.action != LineAction::Send)
            continue;
        if (!oneLine(l.text))
            return;
        sent << l.text;
    }
    const QStringList &stored = sent;
    QString listing = QStringLiteral("\r\n");
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (t.dropBeforeTab)
            listing += QString::number(i + 1) + QLatin1Char('\t');
        listing += stored.at(i) + QStringLiteral("\r\n");
    }
    listing += QLatin1Char('#');
    QString expected;
    for (const QString &line : stored) {
        // A line that is a lone "#" or "#?" reads as a prompt in any listing
        // (the second while a program stands at a breakpoint); the controller
        // refuses such a line anyway.
        if (line != QLatin1String("#") && line != QLatin1String("#?"))
            expected += line + QLatin1Char('\n');
    }
    const QString written = listingFileText(listing, t.dropBeforeTab);
    fuzz::check(written == expected, "save does not write what was loaded",
                QStringLiteral("wrote %1\nloaded %2").arg(escaped(written), escaped(expected)));
}

void checkBlocks(const QString &text)
{
    const BlockText b = blockLoadBytes(text);
    fuzz::check(b.ok, "decoded text not encodable for the block load", b.failure);
    QString sent = text;
    const qsizetype end = sent.indexOf(kEndOfLoad);
    if (end >= 0)
        sent.truncate(end);
    bool ok = false;
    fuzz::check(wire::sjisDecode(b.bytes, &ok) == sent + QLatin1Char('\n') && ok, "block bytes");
    QByteArray joined;
    for (const QByteArray &block : programBlocks(b.bytes)) {
        fuzz::check(block.size() >= 2 && block.size() <= kBlockSize + 1 && block.at(0) == '\x02',
                    "block shape");
        joined += block.mid(1);
    }
    fuzz::check(joined == b.bytes, "blocks do not carry the bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const auto kind = static_cast<Kind>(in.byte() % 3);
    const QByteArray bytes = in.restBytes();
    const FileText f = decodeFileBytes(bytes);
    if (!f.ok) {
        checkRefusal(bytes, f);
        return 0;
    }
    bool ok = false;
    const QByteArray again = wire::sjisEncode(f.text, &ok);
    fuzz::check(ok, "a file that reads does not write", f.text);
    fuzz::check(wire::sjisDecode(again) == f.text, "written text reads differently", f.text);
    checkRoundTrip(kind, f.text);
    if (kind == Kind::Program)
        checkBlocks(f.text);
    return 0;
}

// Program, point and MBK files: a decoded file writes back as the same text; the
// lines a load sends, listed and saved, come back unchanged; a block load carries
// exactly the file's bytes; a file that does not decode names a real line.
#include "fuzzinput.h"

#include "link/sjis.h"
#include "transfer/fileformat.h"
#include "transfer/kinds.h"

#include <algorithm>

using namespace transfer;

namespace {

void checkRefusal(const QByteArray &bytes, const FileText &f)
{
    fuzz::check(!f.error.isEmpty(), "refused without a reason");
    const qsizetype at = f.error.indexOf(QStringLiteral("Line "));
    if (at < 0)
        return;
    const auto line = text::parseInt(f.error.mid(at + 5).section(QLatin1Char(' '), 0, 0));
    fuzz::check(line && *line >= 1 && *line <= bytes.count('\n') + bytes.count('\r') + 1,
                "named line out of range", f.error);
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
        // A line with a break of its own (lone CR, vertical tab) reaches the controller as
        // several lines; which it keeps is its business: such files are left out.
        if (std::any_of(l.text.cbegin(), l.text.cend(), text::isNewline))
            return;
        sent << l.text;
    }
    QString listing = QStringLiteral("\r\n");
    for (qsizetype i = 0; i < sent.size(); ++i)
        listing +=
            (t.dropBeforeTab ? QString::number(i + 1) + QLatin1Char('\t') : QString()) + sent.at(i) + "\r\n";
    listing += QLatin1Char('#');
    QString expected;
    for (const QString &line : sent) // a lone "#" or "#?" reads as a prompt; the controller refuses it anyway
        if (line != QLatin1String("#") && line != QLatin1String("#?"))
            expected += line + QLatin1Char('\n');
    const QString written = listingFileText(listing, t.dropBeforeTab);
    fuzz::check(
        written == expected, "save does not write what was loaded",
        QStringLiteral("wrote %1\nloaded %2").arg(written.toUtf8().toHex(' '), expected.toUtf8().toHex(' ')));
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

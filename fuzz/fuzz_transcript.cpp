// A session file's wire lines: any chunk, written as the transcript writes it and read
// back as a reopened file reads it, gives back exactly its bytes, on one line.
#include "journal/transcript.h"

#include "fuzzinput.h"

#include <QTime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QTime time(23, 59, 59, 999);
    fuzz::Input in(data, size);
    while (!in.empty()) {
        const uint8_t len = in.byte();
        const QByteArray chunk = in.bytes(len);
        const auto direction = (len & 1) ? journal::Direction::Sent : journal::Direction::Received;
        QByteArray fast;
        journal::appendEscaped(fast, chunk.constData(), chunk.size());
        const QString escaped = journal::escapeChunk(chunk);
        fuzz::check(fast == escaped.toUtf8(), "appendEscaped and escapeChunk differ", escaped);

        const QByteArray line = journal::wireLine(time, direction, escaped).toUtf8();
        fuzz::check(!line.contains('\n') && !line.contains('\r'), "a chunk spans more than one line",
                    escaped);
        const auto entry = journal::parseLine(QString::fromUtf8(line));
        fuzz::check(entry.has_value(), "the line does not read back", escaped);
        fuzz::check(entry->kind == (direction == journal::Direction::Sent ? journal::Entry::Kind::Sent
                                                                          : journal::Entry::Kind::Received),
                    "the direction changed", escaped);
        fuzz::check(entry->time == time, "the time changed", escaped);
        const QByteArray back = journal::unescapeChunk(entry->text);
        fuzz::check(back == chunk, "the bytes changed",
                    QString::fromLatin1(chunk.toHex(' ') + " -> " + back.toHex(' ')));
    }
    return 0;
}

// Shift-JIS (cp932) text on the wire and in files.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace wire {

// Strict encoding: ok is false (and the result empty) when any character has no
// cp932 mapping. A yen sign is NOT translated here; the send path does that.
QByteArray sjisEncode(const QString &text, bool *ok = nullptr);

// Whole-buffer decoding for files: ok is false when the bytes are not valid cp932.
QString sjisDecode(const QByteArray &bytes, bool *ok = nullptr);

// Stream decoder for the receive path: a lead byte that ends a chunk is kept
// for the next chunk, and invalid bytes decode to U+FFFD instead of dropping
// the whole chunk.
class SjisStreamDecoder
{
public:
    SjisStreamDecoder();
    ~SjisStreamDecoder();
    SjisStreamDecoder(const SjisStreamDecoder &) = delete;
    SjisStreamDecoder &operator=(const SjisStreamDecoder &) = delete;

    QString decode(const QByteArray &chunk);
    void reset();

private:
    QByteArray m_pending;
};

// Whether this build's Qt can convert cp932 at all (a Qt built without ICU
// cannot).
bool sjisAvailable();

// True for a cp932 lead byte (first byte of a double-byte character).
bool isSjisLeadByte(unsigned char b);

} // namespace wire

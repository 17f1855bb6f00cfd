// cp932 through Qt's ICU-backed string converters.
#include "link/sjis.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>

namespace wire {

namespace {
constexpr const char *kCodecName = "windows-31j";

// Opening an ICU converter costs far more than a short conversion, so each
// thread keeps one of each. A converter that reported an error is replaced:
// resetting it does not reliably clear the error with the ICU back end.
thread_local std::optional<QStringEncoder> t_encoder;
thread_local std::optional<QStringDecoder> t_decoder;

QStringEncoder &encoder()
{
    if (!t_encoder || t_encoder->hasError())
        t_encoder.emplace(kCodecName, QStringConverter::Flag::Stateless);
    return *t_encoder;
}

QStringDecoder &decoder()
{
    if (!t_decoder || t_decoder->hasError())
        t_decoder.emplace(kCodecName, QStringConverter::Flag::Stateless);
    return *t_decoder;
}
// Below 0x80 the code page is ASCII but for three control codes that its
// table swaps (0x1A, 0x1C, 0x7F). Text of only the others, which is nearly
// all a controller says and all a command is, converts byte for character
// without a converter.
constexpr bool plain(char16_t c)
{
    return c < 0x80 && c != 0x1A && c != 0x1C && c != 0x7F;
}

bool allPlain(QStringView text)
{
    for (const QChar c : text)
        if (!plain(c.unicode()))
            return false;
    return true;
}

bool allPlain(QByteArrayView bytes)
{
    for (const char b : bytes)
        if (!plain(static_cast<unsigned char>(b)))
            return false;
    return true;
}
} // namespace

QByteArray sjisEncode(const QString &text, bool *ok)
{
    if (allPlain(QStringView(text))) {
        if (ok)
            *ok = true;
        return text.toLatin1();
    }
    QStringEncoder &enc = encoder();
    QByteArray out = enc.encode(text);
    const bool good = enc.isValid() && !enc.hasError();
    if (ok)
        *ok = good;
    return good ? out : QByteArray();
}

QString sjisDecode(const QByteArray &bytes, bool *ok)
{
    if (allPlain(QByteArrayView(bytes))) {
        if (ok)
            *ok = true;
        return QString::fromLatin1(bytes);
    }
    QStringDecoder &dec = decoder();
    QString out = dec.decode(bytes);
    const bool good = dec.isValid() && !dec.hasError();
    if (ok)
        *ok = good;
    return out;
}

bool sjisAvailable()
{
    return QStringEncoder(kCodecName).isValid() && QStringDecoder(kCodecName).isValid();
}

bool isSjisLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

SjisStreamDecoder::SjisStreamDecoder() = default;
SjisStreamDecoder::~SjisStreamDecoder() = default;

void SjisStreamDecoder::reset()
{
    m_pending.clear();
}

QString SjisStreamDecoder::decode(const QByteArray &chunk)
{
    QByteArray bytes = m_pending.isEmpty() ? chunk : m_pending + chunk;
    m_pending.clear();
    // Find whether the last byte is a lone lead byte: walk the buffer pairwise
    // from the start, since a trail byte can look like a lead byte. The same
    // walk tells whether the converter is needed at all.
    bool allPlainBytes = true;
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (isSjisLeadByte(b)) {
            allPlainBytes = false;
            if (i + 1 >= n) {
                m_pending = bytes.right(1);
                bytes.chop(1);
                break;
            }
            i += 2;
        } else {
            allPlainBytes = allPlainBytes && plain(b);
            ++i;
        }
    }
    return allPlainBytes ? QString::fromLatin1(bytes) : decoder().decode(bytes);
}

} // namespace wire

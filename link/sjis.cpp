// cp932 through Qt's ICU-backed string converters.
#include "link/sjis.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace link {

namespace {
constexpr const char *kCodecName = "windows-31j";
}

QByteArray sjisEncode(const QString &text, bool *ok)
{
    QStringEncoder enc(kCodecName, QStringConverter::Flag::Stateless);
    QByteArray out = enc.encode(text);
    const bool good = enc.isValid() && !enc.hasError();
    if (ok)
        *ok = good;
    return good ? out : QByteArray();
}

QString sjisDecode(const QByteArray &bytes, bool *ok)
{
    QStringDecoder dec(kCodecName, QStringConverter::Flag::Stateless);
    QString out = dec.decode(bytes);
    const bool good = dec.isValid() && !dec.hasError();
    if (ok)
        *ok = good;
    return out;
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
    QByteArray bytes = m_pending + chunk;
    m_pending.clear();
    // Find whether the last byte is a lone lead byte: walk the buffer pairwise
    // from the start, since a trail byte can look like a lead byte.
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (isSjisLeadByte(b)) {
            if (i + 1 >= n) {
                m_pending = bytes.right(1);
                bytes.chop(1);
                break;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    QStringDecoder dec(kCodecName, QStringConverter::Flag::Stateless);
    QString out = dec.decode(bytes);
    return out;
}

} // namespace link

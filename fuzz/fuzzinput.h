// Helpers shared by the fuzz targets: carving typed values out of the input
// and stopping loudly when an invariant does not hold.
#pragma once

#include "link/textutil.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    qint64 int64()
    {
        quint64 v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 8) | byte();
        return static_cast<qint64>(v);
    }

    // Text up to the next 0x00 byte (or the end), as UTF-8: digits, blanks and
    // line breaks are as easy to reach as wide characters and surrogate pairs.
    QString text()
    {
        const size_t start = m_pos;
        while (m_pos < m_size && m_data[m_pos] != 0)
            ++m_pos;
        const QString s = QString::fromUtf8(reinterpret_cast<const char *>(m_data + start),
                                            static_cast<qsizetype>(m_pos - start));
        if (m_pos < m_size)
            ++m_pos;
        return s;
    }

    // The next n bytes, or what is left.
    QByteArray bytes(size_t n)
    {
        const size_t start = m_pos;
        m_pos += std::min(n, m_size - m_pos);
        return QByteArray(reinterpret_cast<const char *>(m_data + start),
                          static_cast<qsizetype>(m_pos - start));
    }
    QByteArray restBytes() { return bytes(m_size); }
    QString rest() { return QString::fromUtf8(restBytes()); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

inline void check(bool ok, const char *what, const QString &detail = QString())
{
    if (ok)
        return;
    std::fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

// The low 32 bits as the "&H" displays show them.
inline quint32 low32(qint64 v)
{
    return static_cast<quint32>(static_cast<quint64>(v) & 0xFFFFFFFFu);
}

// A shown "&H" word: eight digits that read back as the low 32 bits of `value`.
inline void checkHexWord(const QString &shown, qint64 value, const char *what)
{
    const auto back = text::parseHex(shown.mid(2));
    check(shown.size() == 10 && shown.startsWith(QStringLiteral("&H")) && back && *back == low32(value), what,
          shown);
}

} // namespace fuzz

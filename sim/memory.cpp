// The memory spaces and their addressing rules.
#include "sim/memory.h"

#include <algorithm>
#include <limits>

namespace sim {

namespace {

constexpr qint64 kMbkBitFirst = 70000;
constexpr qint64 kMbkBitLast = 79999;
constexpr qint64 kCuFirst = 2000;
constexpr qint64 kCuLast = 6095;
constexpr qint64 kRelayLast = -8192;
constexpr qint64 kInputOffset = 192; // an output's input: three banks of 64 bits up

} // namespace

Memory::Memory(const qint64 &now)
    : m_now(now), m_general(128, 0), m_relays(static_cast<size_t>(-kRelayLast), false),
      m_cu(static_cast<size_t>(kCuLast - kCuFirst + 1), false), m_mbk(static_cast<size_t>(kMbkWords), 0)
{
}

// ---------------------------------------------------------------------------
// Bits

Memory::BitKind Memory::bitKind(qint64 n)
{
    if (n >= 0 && n < 1024) {
        const qint64 b = n / 8;
        if (b <= 23 || (b >= 48 && b <= 71) || b == 96)
            return BitKind::Output;
        if ((b >= 24 && b <= 47) || (b >= 72 && b <= 95) || b == 120)
            return BitKind::Input;
        return BitKind::OtherGeneral;
    }
    if (n < 0 && n >= kRelayLast)
        return BitKind::Relay;
    if (n >= kCuFirst && n <= kCuLast)
        return BitKind::Cu;
    if (n >= kMbkBitFirst && n <= kMbkBitLast)
        return BitKind::Mbk;
    return BitKind::None;
}

bool Memory::bit(qint64 n) const
{
    switch (bitKind(n)) {
    case BitKind::Output:
    case BitKind::Input:
    case BitKind::OtherGeneral:
        return (m_general[static_cast<size_t>(n / 8)] >> (n % 8)) & 1;
    case BitKind::Relay:
        return m_relays[static_cast<size_t>(-n - 1)];
    case BitKind::Cu:
        return m_cu[static_cast<size_t>(n - kCuFirst)];
    case BitKind::Mbk:
        return (m_mbk[static_cast<size_t>(n / 16)] >> (n % 16)) & 1;
    case BitKind::None:
        break;
    }
    return false;
}

void Memory::setBit(qint64 n, bool on)
{
    const BitKind kind = bitKind(n);
    switch (kind) {
    case BitKind::Output:
    case BitKind::Input:
    case BitKind::OtherGeneral: {
        quint8 &byte = m_general[static_cast<size_t>(n / 8)];
        const quint8 mask = static_cast<quint8>(1u << (n % 8));
        const bool was = byte & mask;
        byte = on ? (byte | mask) : (byte & ~mask);
        // The wiring loops every output back to the input three banks up.
        if (kind == BitKind::Output && was != on)
            m_follows.push_back({m_now + kInputFollowMs, n + kInputOffset, on});
        break;
    }
    case BitKind::Relay:
        m_relays[static_cast<size_t>(-n - 1)] = on;
        break;
    case BitKind::Cu:
        m_cu[static_cast<size_t>(n - kCuFirst)] = on;
        break;
    case BitKind::Mbk: {
        quint16 &w = m_mbk[static_cast<size_t>(n / 16)];
        const quint16 mask = static_cast<quint16>(1u << (n % 16));
        w = on ? (w | mask) : (w & ~mask);
        break;
    }
    case BitKind::None:
        break;
    }
}

Err Memory::forceBit(qint64 n, bool on)
{
    switch (bitKind(n)) {
    case BitKind::None:
    case BitKind::OtherGeneral:
        return Err::Range;
    case BitKind::Input:
        return Err::InputForce;
    default:
        setBit(n, on);
        return Err::None;
    }
}

Err Memory::readInByte(qint64 n, bool word, qint64 &v) const
{
    v = 0;
    if (n >= kMbkBitFirst && n <= kMbkBitLast) {
        const int count = word ? 16 : 8;
        if (n + count - 1 > kMbkBitLast)
            return Err::Range;
        for (int k = 0; k < count; ++k)
            v |= static_cast<qint64>(bit(n + k)) << k;
        return Err::None;
    }
    if (word) {
        qint64 lo = 0;
        qint64 hi = 0;
        Err e = readInByte(n, false, lo);
        if (e == Err::None)
            e = readInByte(n + 1, false, hi);
        v = lo | (hi << 8);
        return e;
    }
    if (n >= 0 && n < 128) {
        v = m_general[static_cast<size_t>(n)];
        return Err::None;
    }
    if (n < 0 && n >= kRelayLast / 8) {
        for (int k = 0; k < 8; ++k)
            v |= static_cast<qint64>(bit(8 * n + 7 - k)) << k;
        return Err::None;
    }
    if (n >= kCuFirst && n <= kCuFirst + (kCuLast - kCuFirst) / 8) {
        for (int k = 0; k < 8; ++k)
            v |= static_cast<qint64>(bit(kCuFirst + 8 * (n - kCuFirst) + k)) << k;
        return Err::None;
    }
    return Err::Range;
}

void Memory::clearSpaces(qint64 mask)
{
    if (mask & 1) {
        for (qint64 n = 0; n < 1024; ++n) {
            if (bitKind(n) == BitKind::Output && bit(n))
                setBit(n, false);
        }
    }
    if (mask & 2)
        std::fill(m_cu.begin(), m_cu.end(), false);
    if (mask & 4) {
        for (qint64 a = kMbkBitFirst / 16; a <= kMbkBitLast / 16; ++a)
            m_mbk[static_cast<size_t>(a)] = 0;
    }
    if (mask & 8)
        std::fill(m_relays.begin(), m_relays.end(), false);
}

void Memory::applyFollows()
{
    while (!m_follows.empty() && m_follows.front().at <= m_now) {
        const Follow f = m_follows.front();
        m_follows.pop_front();
        setBit(f.bit, f.on);
    }
}

qint64 Memory::nextFollowAt() const
{
    return m_follows.empty() ? std::numeric_limits<qint64>::max() : m_follows.front().at;
}

// ---------------------------------------------------------------------------
// MBK words

quint16 Memory::mbkWord(qint64 a) const
{
    return a >= 0 && a < kMbkWords ? m_mbk[static_cast<size_t>(a)] : 0;
}

void Memory::setMbkWord(qint64 a, quint16 v)
{
    if (a >= 0 && a < kMbkWords)
        m_mbk[static_cast<size_t>(a)] = v;
}

bool Memory::readMbk(qint64 a, const QString &cast, qint64 &v) const
{
    const bool lng = cast == QLatin1String("LNG");
    if (a < 0 || a > kMbkWords - 1 - (lng ? 1 : 0))
        return false;
    const quint16 w = m_mbk[static_cast<size_t>(a)];
    if (lng) {
        const quint32 both = w | (static_cast<quint32>(m_mbk[static_cast<size_t>(a + 1)]) << 16);
        v = static_cast<qint32>(both);
    } else if (cast == QLatin1String("WRD")) {
        v = w;
    } else {
        v = static_cast<qint16>(w);
    }
    return true;
}

Err Memory::writeMbk(qint64 a, const QString &cast, qint64 v)
{
    const bool lng = cast == QLatin1String("LNG");
    if (a < 0 || a > kMbkWords - 1 - (lng ? 1 : 0))
        return Err::Range;
    if (lng) {
        if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<quint32>::max())
            return Err::Range;
        const quint32 both = static_cast<quint32>(v);
        m_mbk[static_cast<size_t>(a)] = static_cast<quint16>(both & 0xFFFF);
        m_mbk[static_cast<size_t>(a + 1)] = static_cast<quint16>(both >> 16);
    } else {
        if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<quint16>::max())
            return Err::Range;
        m_mbk[static_cast<size_t>(a)] = static_cast<quint16>(v & 0xFFFF);
    }
    return Err::None;
}

Err Memory::fillMbk(qint64 a, qint64 count, qint64 v)
{
    if (a < 0 || count < 0 || count > kMbkWords - a)
        return Err::Range;
    if (v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<quint16>::max())
        return Err::Range;
    std::fill_n(m_mbk.begin() + a, count, static_cast<quint16>(v & 0xFFFF));
    return Err::None;
}

void Memory::clearMbk()
{
    std::fill(m_mbk.begin(), m_mbk.end(), quint16(0));
}

// ---------------------------------------------------------------------------
// Variables

Value Memory::variable(const QString &name) const
{
    const auto it = m_vars.constFind(name);
    if (it != m_vars.constEnd())
        return *it;
    Value v;
    v.isString = name.endsWith(QLatin1Char('$'));
    return v;
}

qsizetype Memory::cost(const QString &name, const Value &v)
{
    return 32 + name.size() + v.str.size();
}

Err Memory::charge(qsizetype before, qsizetype after)
{
    // A hostile client could otherwise fill the host's memory with names
    // and long strings (A1=S$ : A2=S$ ...) until the simulator dies.
    constexpr qsizetype kValuesCap = 16 * 1024 * 1024;
    const qsizetype size = m_valueSize - before + after;
    if (after > before && size > kValuesCap)
        return Err::Memory;
    m_valueSize = size;
    return Err::None;
}

Err Memory::setVariable(const QString &name, const Value &v)
{
    const auto it = m_vars.constFind(name);
    const Err e = charge(it == m_vars.constEnd() ? 0 : cost(name, *it), cost(name, v));
    if (e == Err::None)
        m_vars.insert(name, v);
    return e;
}

Value Memory::arrayItem(const QString &name, qint64 i) const
{
    return m_arrays.value(name).value(i);
}

Err Memory::setArrayItem(const QString &name, qint64 i, const Value &v)
{
    const auto array = m_arrays.constFind(name);
    const bool had = array != m_arrays.constEnd() && array->contains(i);
    const Err e = charge(had ? cost(name, array->value(i)) : 0, cost(name, v));
    if (e == Err::None)
        m_arrays[name].insert(i, v);
    return e;
}

} // namespace sim

// The calendar clock and SET_RTC's BCD words.
#include "sim/rtc.h"

#include <QTimeZone>

namespace sim {

namespace {

int bcd(qint64 byte, bool &ok)
{
    const int hi = static_cast<int>((byte >> 4) & 0xF);
    const int lo = static_cast<int>(byte & 0xF);
    if (hi > 9 || lo > 9)
        ok = false;
    return hi * 10 + lo;
}

} // namespace

Rtc::Rtc(const qint64 &now) : m_now(now)
{
    setClock(QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
}

QDateTime Rtc::clock() const
{
    const QDateTime naive = m_base.addMSecs(m_now - m_setAt);
    return QDateTime(naive.date(), naive.time());
}

void Rtc::setClock(const QDateTime &localTime)
{
    m_base = QDateTime(localTime.date(), localTime.time(), QTimeZone::utc());
    m_setAt = m_now;
}

Err Rtc::setFromBcd(qint64 v)
{
    if (v < 0 || v > 0xFFFFFFFFLL)
        return Err::BadClock;
    bool ok = true;
    const QDateTime now = clock();
    if (v > 0xFFFFFF) {
        const int year = bcd(v >> 24, ok) * 100 + bcd((v >> 16) & 0xFF, ok);
        const QDate date(year, bcd((v >> 8) & 0xFF, ok), bcd(v & 0xFF, ok));
        if (!ok || !date.isValid())
            return Err::BadClock;
        setClock(QDateTime(date, now.time()));
    } else {
        const int h = bcd((v >> 16) & 0xFF, ok);
        const int m = bcd((v >> 8) & 0xFF, ok);
        const int s = bcd(v & 0xFF, ok);
        if (!ok || h > 23 || m > 59 || s > 59)
            return Err::BadClock;
        setClock(QDateTime(now.date(), QTime(h, m, s)));
    }
    return Err::None;
}

} // namespace sim

// The controller's calendar clock: set with SET_RTC, read by DATE$ and TIME$,
// running on the machine's own time so that tests can step it.
#pragma once

#include "sim/error.h"

#include <QDateTime>

namespace sim {

class Rtc
{
public:
    explicit Rtc(const qint64 &now);

    QDateTime clock() const; // naive local time
    void setClock(const QDateTime &localTime);
    // SET_RTC's BCD word: &HYYYYMMDD sets the date, &HHHMMSS the time of day.
    Err setFromBcd(qint64 v);

private:
    const qint64 &m_now;
    QDateTime m_base; // naive local time, held as UTC so no zone applies
    qint64 m_setAt = 0;
};

} // namespace sim

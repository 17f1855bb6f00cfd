#pragma once

#include "core/clock.h"

class FakeClock : public Clock
{
public:
    QDateTime now() const override { return value; }
    QDateTime value = QDateTime(QDate(2026, 12, 5), QTime(9, 5, 3));
};

// The time of day comes through here so that time markers and clock commands
// can be tested at fixed times.
#pragma once

#include <QDateTime>
#include <functional>

class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
};

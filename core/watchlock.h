// The watch-only lock: while it is on, the monitor watches the controller and
// changes nothing on it. Whoever offers a control that changes the machine is
// given the lock and keeps that control off while it is on; turning it off
// takes a reason, which the operator journal keeps.
#pragma once

#include <QObject>
#include <QString>

class WatchLock : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    bool locked() const { return m_locked; }
    // Why the lock was last turned off; empty before the first time.
    QString reason() const { return m_reason; }

    void lock();
    // Turns the lock off for `reason`; a reason that is empty once trimmed
    // leaves it on. True when the lock is off afterwards.
    bool unlock(const QString &reason);

signals:
    // On every change, after locked() and reason() tell the new state.
    void changed(bool locked);

private:
    bool m_locked = false;
    QString m_reason;
};

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

    // Whether an action that changes the controller may go out now. It was
    // offered while the lock was off, but it may have waited its turn behind
    // another; when the lock came on meanwhile it is held back, and
    // heldBack() says so.
    bool allows() const;

signals:
    // On every change, after locked() and reason() tell the new state.
    void changed(bool locked);
    // An action offered before the lock came on was not sent.
    void heldBack() const;

private:
    bool m_locked = false;
    QString m_reason;
};

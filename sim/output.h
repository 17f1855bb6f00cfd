// Where the controller's text goes: into the reply to the command line being
// run, or, for what a running program prints, into the asynchronous output that
// the server sends whenever it comes. Everything is encoded as cp932 here.
#pragma once

#include "sim/error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace sim {

class Output
{
public:
    static constexpr int kPrWidth = 78;

    // Text as cp932 bytes; characters cp932 cannot carry become '?'.
    static QByteArray encode(const QString &text);
    // CR LF, TAB and the error's message.
    static QByteArray errorReply(Err e);

    // Sends what follows into target (nullptr: nowhere); returns the target
    // before, for the caller to restore.
    QByteArray *divert(QByteArray *target);
    QByteArray *async() { return &m_async; }

    // One output line: CR LF, then the text.
    void line(const QString &text);
    // PR's items, blank-separated and wrapped at kPrWidth.
    void pr(const QStringList &items);
    // Bytes as they are, into the current target.
    void raw(const QByteArray &bytes);
    // Bytes into the asynchronous output, whatever the current target.
    void appendAsync(const QByteArray &bytes);
    // The asynchronous output so far; cleared by the call.
    QByteArray takeAsync();

private:
    QByteArray *m_target = nullptr;
    QByteArray m_async;
};

} // namespace sim

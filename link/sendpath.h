// The word rules of console lines and the argument check of axis commands.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace wire {

struct ConsoleLine
{
    QString trimmed;   // line breaks then blanks trimmed, tabs made blanks
    QStringList words; // split at single blanks (empty words kept)
    bool firstIsLineNumber = false;
};

ConsoleLine prepareConsoleLine(const QString &line);

// The wire form of a command line: CR appended, yen signs sent as backslash.
QString wireLine(const QString &command);

// The bytes of a line from wireLine, or ok false (and nothing) when it cannot
// go out as one command line: a character Shift-JIS lacks, or a line break or
// another control character (a tab passes) before its CR.
QByteArray commandBytes(const QString &line, bool *ok);

// True when every word after the first is a decimal or "&H" hexadecimal integer.
bool argumentsAreNumbers(const QString &msg);

// "host", "host:port", "[v6]:port" or a bare IPv6 address; a missing port is `defaultPort`.
struct Address
{
    QString host;
    quint16 port = 0;
    bool ok = false;
};
// The controller's console port, taken when an address names none.
inline constexpr quint16 kControllerPort = 23;
Address parseAddress(const QString &text, quint16 defaultPort);

} // namespace wire

// What a command the operator caused did, in words, for the operator
// journal: "ON 19" is "Output 19 ON", "RMVS X_A 10000" is "Jog X+ 10000
// pulses". Pure functions; the journal decides which commands are the
// operator's.
#pragma once

#include <QString>
#include <optional>

namespace journal {

// The words for one command line (statements joined by " : " are read
// together); nothing for lines that only keep the session going ("CMD$",
// "CMD$ 0", an empty line).
std::optional<QString> describeCommand(const QString &line);

// The controller's error text in `reply` (its lines that begin with a TAB,
// without the TAB); empty when the reply is no error.
QString replyError(const QString &reply);

// "Program loaded from robot.f2k, 12,345 bytes, 2 lines refused".
QString loadWords(const QString &what, const QString &fileName, qint64 bytes, int refused);

} // namespace journal

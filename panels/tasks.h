// The task panel's rules: where a task's step lives in the memory block
// area, the per-row print command and the reading of its reply.
#pragma once

#include "ui/plotprobe.h"

#include <QString>
#include <array>
#include <limits>
#include <optional>

namespace panels {

// Tasks 0..31 keep their step at 7836 + 2n, tasks 32..63 at 7772 + 2(n-32):
// 128 words from 7772 in all, cleared by one FILL.
constexpr qint64 kTaskAreaStart = 7772;
constexpr qint64 kTaskAreaWords = 128;
QString taskAreaClearCommand(); // "FILL MBK(7772) 128 0"

// The task's entry address. Numbers outside 0..63 are not refused (they read
// outside the task area, as the controller allows); none only when the
// address does not fit in 64 bits.
std::optional<qint64> taskAddress(qint64 n);

// "PR MBK(a~Lng) TASK(" + the number text as shown + "|256)", the address
// from the text's value (0 when it is not an integer); none when that
// address does not fit in 64 bits.
std::optional<QString> taskReadCommand(const QString &taskNoText);

// The highest first task number: eight rows from it stay within 64 bits.
constexpr qint64 kTaskMaxFirst = std::numeric_limits<qint64>::max() - 7;
// n .. n+7 in decimal; none above kTaskMaxFirst.
std::optional<std::array<QString, 8>> taskRows(qint64 first);

// Step and status from the second line of the reply; a field that the reply
// does not provide stays unset (the row keeps what it shows).
struct TaskValues
{
    std::optional<QString> step;
    std::optional<QString> status;
};
TaskValues parseTaskReply(const QString &reply);

// The step of a task row, by its task number text; nothing for an empty
// field or a number the row would not read.
std::optional<ui::PlotProbe> taskProbe(const QString &taskNoText);

} // namespace panels

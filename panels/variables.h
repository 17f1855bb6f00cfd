// Variable names as the variables panel reads them, and the commands it
// builds from them: "S$" is a string, "DATA_#4" element 4 of array "DATA_".
#pragma once

#include "ui/plotprobe.h"

#include <QString>
#include <optional>

namespace panels {

bool isStringName(const QString &name);
// Contains "_#": an array name ending in "_", "#", then the argument.
bool isArrayRef(const QString &name);

struct ArrayRef
{
    QString array;    // keeps its trailing "_"
    QString argument; // may be empty (nothing can be read or written then)
};
// Split at every "#": first piece, second piece; further pieces are ignored.
ArrayRef splitArrayRef(const QString &name);

// The print exchange of one watched row for a (blank-trimmed) name.
struct VariableQuery
{
    bool valid = false; // false: the row is unchecked and nothing is sent
    QString command;    // "PR A" or "PRA DATA_ 4"
    QString variname;   // the name the reply is formatted for
};
VariableQuery variableQuery(const QString &name);

// The assignment line for the name field and the value field as typed; none
// when nothing is to be sent (an empty numeric value, an array reference
// without argument).
std::optional<QString> assignmentCommand(const QString &nameText, const QString &rawValue);

// A numeric variable row's value, by its name blank-trimmed; nothing for a
// string variable or a name the row would not read.
std::optional<ui::PlotProbe> variableProbe(const QString &name);

} // namespace panels

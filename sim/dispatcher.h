// The table from command word to handler, and the running of one statement:
// an assignment, or a command looked up in the table. Each group of commands
// adds its words with add().
#pragma once

#include "sim/error.h"

#include <QHash>
#include <QString>

#include <functional>

namespace sim {

class Interpreter;

class Dispatcher
{
public:
    using Handler = std::function<Err(const QString &args)>;

    explicit Dispatcher(Interpreter &interpreter);

    // inProgram false: the command is ignored inside a running program.
    void add(const char *word, bool inProgram, Handler handler);

    // One statement from the console (inProgram false) or a program line.
    // known becomes false for something that is no statement at all, which a
    // program line skips rather than stops at.
    Err run(const QString &stmt, bool inProgram, bool *known = nullptr);

private:
    struct Entry
    {
        Handler handler;
        bool inProgram = true;
    };
    Interpreter &m_interpreter;
    QHash<QString, Entry> m_table;
};

} // namespace sim

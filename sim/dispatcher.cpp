// Statements: assignments first, then the command table.
#include "sim/dispatcher.h"

#include "sim/interpreter.h"
#include "sim/syntax.h"

namespace sim {

using namespace syntax;

Dispatcher::Dispatcher(Interpreter &interpreter) : m_interpreter(interpreter) {}

void Dispatcher::add(const char *word, bool inProgram, Handler handler)
{
    m_table.insert(QLatin1String(word), Entry{std::move(handler), inProgram});
}

Err Dispatcher::run(const QString &stmtIn, bool inProgram, bool *known)
{
    if (known)
        *known = true;
    const QString stmt = stmtIn.trimmed();
    if (stmt.isEmpty())
        return Err::None;
    if (stmt.startsWith(QLatin1String("MBK("), Qt::CaseInsensitive))
        return m_interpreter.assignMbk(stmt);
    int end = 0;
    if (!isIdentStart(stmt.at(0))) {
        if (known)
            *known = false;
        return Err::Syntax;
    }
    while (end < stmt.size() && isIdentChar(stmt.at(end)))
        ++end;
    if (end < stmt.size() && stmt.at(end) == QLatin1Char('$'))
        ++end;
    const QString ident = stmt.left(end).toUpper();
    const QString rest = stmt.mid(end).trimmed();
    if (rest.startsWith(QLatin1Char('=')))
        return m_interpreter.assign(ident, rest.mid(1));
    const auto it = m_table.constFind(ident);
    if (it != m_table.constEnd()) {
        if (inProgram && !it->inProgram)
            return Err::None;
        return it->handler(rest);
    }
    if (known)
        *known = false;
    return Err::Syntax;
}

} // namespace sim

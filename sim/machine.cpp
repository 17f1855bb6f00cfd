// The façade: the wire (lines, attention, program blocks), the passing of
// time, and the wiring of the parts into one machine.
#include "sim/machine.h"

#include "link/protocol.h"
#include "link/sjis.h"
#include "sim/syntax.h"

#include <algorithm>

namespace sim {

using namespace syntax;

Machine::Machine()
{
    m_memoryCommands.install(m_dispatcher);
    m_axisCommands.install(m_dispatcher);
    m_runner.install(m_dispatcher);
    m_dispatcher.add(protocol::kMachineModeWord, true,
                     [this](const QString &a) { return machineModeCommand(a); });
    m_dispatcher.add("SET_RTC", true, [this](const QString &a) {
        qint64 v = 0;
        const Err e = m_interpreter.evalNumber(a, v);
        return e != Err::None ? e : m_rtc.setFromBcd(v);
    });
}

Err Machine::machineModeCommand(const QString &args)
{
    qint64 n = 1;
    if (!args.isEmpty()) {
        const Err e = m_interpreter.evalNumber(args, n);
        if (e != Err::None)
            return e;
    }
    m_machineMode = n != 0;
    return Err::None;
}

QByteArray Machine::prompt() const
{
    return QByteArray(atBreakpoint() ? protocol::kBreakPromptLine : protocol::kPromptLine);
}

// ---------------------------------------------------------------------------
// The wire

QByteArray Machine::handleLine(Stream &stream, const QString &rawLine)
{
    m_program.setLoadMode(stream.loadMode);
    QByteArray reply;
    QByteArray *const saved = m_output.divert(&reply);
    const QString line = rawLine.trimmed();
    Err err = Err::None;
    bool bare = false;
    if (m_program.loadMode() && firstWord(line).toUpper() != QLatin1String(protocol::kLoadModeWord) &&
        !line.isEmpty()) {
        err = m_program.store(line, true);
        bare = err == Err::None;
    } else if (!line.isEmpty()) {
        err = runLine(line);
    }
    m_output.divert(saved);
    stream.loadMode = m_program.loadMode();
    if (err != Err::None)
        reply += Output::errorReply(err);
    if (bare)
        reply += prompt().mid(2);
    else
        reply += prompt();
    return reply;
}

QByteArray Machine::attention(Stream &stream)
{
    m_program.interrupt();
    stream.loadMode = m_program.loadMode();
    return prompt();
}

QByteArray Machine::endQuietBlock(Stream &stream)
{
    QByteArray answer;
    if (stream.inBlock && m_now - stream.blockLastByteAt >= kBlockQuietMs)
        finishBlock(stream, &answer);
    return answer;
}

void Machine::finishBlock(Stream &stream, QByteArray *reply)
{
    stream.inBlock = false;
    QByteArray answer;
    if (m_program.appendBlock(stream.blockPiece) != Err::None)
        answer = Output::errorReply(Err::Memory);
    stream.blockPiece.clear();
    answer += prompt();
    if (reply)
        *reply = answer;
    else
        m_output.appendAsync(answer);
}

void Machine::feed(Stream &stream, const QByteArray &bytes, const InputSink &sink)
{
    const char *const data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        if (stream.inBlock) {
            const qsizetype take = std::min<qsizetype>(size - i, kBlockSize - stream.blockPiece.size());
            stream.blockPiece.append(data + i, take);
            i += take;
            stream.blockLastByteAt = m_now;
            if (stream.blockPiece.size() >= kBlockSize) {
                Input in;
                in.kind = Input::Kind::Block;
                finishBlock(stream, &in.reply);
                if (!sink(in))
                    return;
            }
            continue;
        }
        const char c = data[i++];
        if ((c == '\n' || c == '\0') && stream.lastCr) {
            stream.lastCr = false;
            continue;
        }
        stream.lastCr = false;
        if (c == protocol::kAttention) {
            stream.line.clear();
            stream.lineOverflow = false;
            Input in;
            in.kind = Input::Kind::Attention;
            in.reply = attention(stream);
            if (!sink(in))
                return;
        } else if (c == protocol::kBlockStart) {
            stream.line.clear();
            stream.lineOverflow = false;
            stream.inBlock = true;
            stream.blockPiece.clear();
            stream.blockLastByteAt = m_now;
        } else if (c == '\r' || c == '\n') {
            stream.lastCr = c == '\r';
            Input in;
            in.kind = Input::Kind::Line;
            bool ok = false;
            in.line = wire::sjisDecode(stream.line, &ok);
            if (stream.lineOverflow)
                in.reply = Output::errorReply(Err::LineTooLong) + prompt();
            else if (!ok)
                in.reply = Output::errorReply(Err::BadChar) + prompt();
            else
                in.reply = handleLine(stream, in.line);
            stream.line.clear();
            stream.lineOverflow = false;
            if (!sink(in))
                return;
        } else {
            // Take the whole run of ordinary bytes at once: a flood of text
            // without line ends must stay cheap.
            qsizetype end = i;
            while (end < size && data[end] != '\r' && data[end] != '\n' &&
                   data[end] != protocol::kAttention && data[end] != protocol::kBlockStart)
                ++end;
            const qsizetype run = end - (i - 1);
            const qsizetype room = kMaxLine - stream.line.size();
            stream.line.append(data + i - 1, std::min(run, room));
            if (run > room)
                stream.lineOverflow = true;
            i = end;
        }
    }
}

QByteArray Machine::feed(const QByteArray &bytes)
{
    QByteArray all;
    feed(bytes, [&all](const Input &in) {
        all += in.reply;
        return true;
    });
    return all;
}

Err Machine::runLine(const QString &line)
{
    qint64 n = 0;
    if (parseInteger(firstWord(line), n))
        return m_program.store(line, false);
    for (const QString &stmt : splitStatements(line)) {
        const Err e = m_dispatcher.run(stmt, false);
        if (e != Err::None)
            return e;
    }
    return Err::None;
}

// ---------------------------------------------------------------------------
// Time

qint64 Machine::nextEventAt() const
{
    qint64 next = std::min(m_memory.nextFollowAt(), m_program.nextTaskDue());
    if (m_stream.inBlock)
        next = std::min(next, m_stream.blockLastByteAt + kBlockQuietMs);
    return next;
}

void Machine::advance(qint64 ms)
{
    if (ms <= 0)
        return;
    const qint64 end = m_now + ms;
    for (;;) {
        m_memory.applyFollows();
        if (m_stream.inBlock && m_now - m_stream.blockLastByteAt >= kBlockQuietMs)
            finishBlock(m_stream, nullptr);
        m_runner.runTasks();
        if (m_now >= end)
            break;
        if (m_axes.anyMoving()) {
            ++m_now;
            m_axes.step(0.001);
        } else {
            m_now = std::min(end, std::max(nextEventAt(), m_now + 1));
        }
    }
}

// ---------------------------------------------------------------------------
// Variables

QString Machine::variable(const QString &name) const
{
    return m_memory.variable(name.trimmed().toUpper()).text();
}

void Machine::setVariable(const QString &name, const QString &text)
{
    const QString key = name.trimmed().toUpper();
    Value v;
    if (key.endsWith(QLatin1Char('$'))) {
        v.isString = true;
        v.str = text;
    } else {
        v.num = text.trimmed().toLongLong();
    }
    m_memory.setVariable(key, v);
}

void Machine::setVariable(const QString &name, qint64 value)
{
    Value v;
    v.num = value;
    m_memory.setVariable(name.trimmed().toUpper(), v);
}

} // namespace sim

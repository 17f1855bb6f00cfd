// Encoding and routing of the controller's output.
#include "sim/output.h"

#include "link/protocol.h"
#include "link/sjis.h"

namespace sim {

namespace {

// Nobody may be collecting the asynchronous output: past this, drop rather
// than grow without bound.
constexpr int kAsyncCap = 4 * 1024 * 1024;

} // namespace

QByteArray Output::encode(const QString &text)
{
    bool ok = false;
    QByteArray bytes = wire::sjisEncode(text, &ok);
    if (ok)
        return bytes;
    // A test may hand us text that cp932 cannot carry; send what it can.
    bytes.clear();
    for (const QChar c : text) {
        const QByteArray one = wire::sjisEncode(QString(c), &ok);
        bytes += ok ? one : QByteArray("?");
    }
    return bytes;
}

QByteArray Output::errorReply(Err e)
{
    return protocol::kNewLine + QByteArray("\t") + encode(errorText(e));
}

QByteArray *Output::divert(QByteArray *target)
{
    QByteArray *const before = m_target;
    m_target = target;
    return before;
}

void Output::line(const QString &text)
{
    if (!m_target)
        return;
    if (m_target == &m_async && m_async.size() > kAsyncCap)
        return;
    *m_target += protocol::kNewLine;
    *m_target += encode(text);
}

void Output::pr(const QStringList &items)
{
    // The first line holds kPrWidth characters of the text, each one after
    // it a blank and kPrWidth - 1 more.
    const QString text = QLatin1Char(' ') + items.join(QLatin1Char(' '));
    line(text.left(kPrWidth));
    for (qsizetype at = kPrWidth; at < text.size(); at += kPrWidth - 1)
        line(QLatin1Char(' ') + text.mid(at, kPrWidth - 1));
}

void Output::raw(const QByteArray &bytes)
{
    if (m_target)
        *m_target += bytes;
}

void Output::appendAsync(const QByteArray &bytes)
{
    if (m_async.size() <= kAsyncCap)
        m_async += bytes;
}

QByteArray Output::takeAsync()
{
    QByteArray o;
    o.swap(m_async);
    return o;
}

} // namespace sim

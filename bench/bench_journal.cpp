// The session transcript's escaping on the main thread, side by side in one
// run: 1 MiB of bytes that are not Shift-JIS (a flood of garbage, the worst
// case: every byte becomes \xHH) escaped by the table the transcript uses,
// by a conversion per character through the codec (how it was escaped
// before, kept here to compare), and copied by a plain memcpy; the same for
// 1 MiB of Japanese text; then what a flush of 1 MiB received costs the main
// thread, writing to a file. Milliseconds, medians of several runs.
#include "journal/sessionjournal.h"
#include "journal/transcript.h"
#include "link/sjis.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace {

// The first run apart: it also pays for the output's fresh memory, which a
// flush keeps from one turn to the next while a burst lasts.
struct Timing
{
    double first = 0;
    double median = 0;
    double slowest = 0;
};

Timing timeRuns(int runs, const std::function<void()> &run)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double first = ms.front();
    if (ms.size() > 1)
        ms.erase(ms.begin());
    std::sort(ms.begin(), ms.end());
    return {first, ms[ms.size() / 2], ms.back()};
}

// The escaping as it was: the codec asked about every byte at or above 0x80.
QString codecPerCharacter(const QByteArray &bytes)
{
    const auto hex = [](unsigned char b) {
        return QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    };
    QString out;
    out.reserve(bytes.size() + 8);
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (b >= 0x80) {
            const int width = wire::isSjisLeadByte(b) ? 2 : 1;
            bool ok = false;
            const QString s =
                i + width <= bytes.size() ? wire::sjisDecode(bytes.mid(i, width), &ok) : QString();
            if (ok && !s.isEmpty() && !s.contains(QChar::ReplacementCharacter)) {
                out += s;
                i += width;
            } else {
                out += hex(b);
                ++i;
            }
            continue;
        }
        switch (b) {
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case 0x1B:
            out += QStringLiteral("\\e");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        default:
            if (b < 0x20 || b == 0x7F)
                out += hex(b);
            else
                out += QLatin1Char(char(b));
        }
        ++i;
    }
    return out;
}

void compare(const char *what, const QByteArray &mib, int oldRuns)
{
    QByteArray out;
    const Timing table = timeRuns(21, [&] {
        out.resize(0);
        journal::appendEscaped(out, mib.constData(), mib.size());
    });
    QByteArray old;
    const Timing codec = timeRuns(oldRuns, [&] { old = codecPerCharacter(mib).toUtf8(); });
    QByteArray copy(mib.size(), Qt::Uninitialized);
    const Timing memcpyRun =
        timeRuns(21, [&] { std::memcpy(copy.data(), mib.constData(), size_t(mib.size())); });
    std::printf("%s, 1 MiB:\n", what);
    std::printf("  escaped by table: %.2f ms (target < 20 ms; slowest of 20 runs %.2f ms, first run into "
                "fresh memory "
                "%.2f ms), %.1f MiB written\n",
                table.median, table.slowest, table.first, double(out.size()) / (1024 * 1024));
    std::printf("  codec per character (as before): %.1f ms; table / codec: %.4f\n", codec.median,
                table.median / codec.median);
    std::printf("  plain memcpy: %.3f ms; table / memcpy: %.0f\n", memcpyRun.median,
                table.median / memcpyRun.median);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!wire::sjisAvailable()) {
        std::printf("this Qt has no Shift-JIS codec: nothing to measure\n");
        return 1;
    }
    // The table is made on first use; that is not what a flush costs.
    QElapsedTimer made;
    made.start();
    journal::escapeChunk(QByteArray("\x82\xa0"));
    std::printf("escaping table made in %.1f ms, once per run of the monitor\n",
                double(made.nsecsElapsed()) / 1e6);

    const qsizetype mib = 1024 * 1024;
    compare("bytes that are not Shift-JIS (0xFF)", QByteArray(mib, char(0xFF)), 3);
    // "構文エラー (Syntax Error)" and a line end, over and over.
    const QByteArray line("\x8d\x5c\x95\xb6\x83\x47\x83\x89\x81\x5b (Syntax Error)\r\n");
    QByteArray japanese;
    while (japanese.size() < mib)
        japanese += line;
    japanese.truncate(mib);
    compare("Japanese text", japanese, 5);

    // A whole flush: 1 MiB received in 64 KiB chunks, written to a file.
    QTemporaryDir dir;
    journal::SessionJournal session;
    session.setDirectory(dir.path());
    session.beginSession(QDateTime::currentDateTime(), QStringLiteral("127.0.0.1:23"));
    const QByteArray chunk(64 * 1024, char(0xFF));
    const Timing flush = timeRuns(21, [&] {
        for (int i = 0; i < 16; ++i)
            session.received(chunk);
        session.flush();
    });
    session.endSession();
    std::printf("flush of 1 MiB received (0xFF, 16 chunks of 64 KiB) to a file: %.2f ms (slowest of 20 runs "
                "%.2f ms, first %.2f ms)\n",
                flush.median, flush.slowest, flush.first);
    return 0;
}

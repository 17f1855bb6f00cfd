// quorin-sim: a stand-in controller on 127.0.0.1 for demonstrations and tests.
#include "sim/server.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <limits>

namespace {

bool intOption(const QCommandLineParser &parser, const QString &name, qint64 min, qint64 max, qint64 &value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const qint64 v = parser.value(name).toLongLong(&ok);
    if (!ok || v < min || v > max) {
        std::fprintf(stderr, "quorin-sim: invalid value for --%s\n", qPrintable(name));
        return false;
    }
    value = v;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorin-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated controller for QuorinMonitor (listens on 127.0.0.1 only)."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("TCP port (0 picks a free one)."), QStringLiteral("N"),
         QStringLiteral("2323")},
        {QStringLiteral("delay-ms"), QStringLiteral("Delay every reply by N ms."), QStringLiteral("N")},
        {QStringLiteral("stall-after"), QStringLiteral("Stop answering after N command lines."),
         QStringLiteral("N")},
        {QStringLiteral("drop-after"), QStringLiteral("Close the connection after N command lines."),
         QStringLiteral("N")},
        {QStringLiteral("stall-mid"), QStringLiteral("Half a reply to line N+1, then stop."),
         QStringLiteral("N")},
        {QStringLiteral("drop-mid"), QStringLiteral("Half a reply to line N+1, then close."),
         QStringLiteral("N")},
        {QStringLiteral("chunk"), QStringLiteral("Send output in N-byte pieces."), QStringLiteral("N")},
        {QStringLiteral("slow-bps"), QStringLiteral("Send replies at about N bytes per second."),
         QStringLiteral("N")},
        {QStringLiteral("garbage"), QStringLiteral("Mix invalid Shift-JIS bytes into the output.")},
        {QStringLiteral("flood"), QStringLiteral("Send BYTES of program output right after login."),
         QStringLiteral("BYTES")},
    });
    parser.process(app);
    // The simulator takes options only: a stray word is most likely a
    // mistyped option, and running on without it would hide the mistake.
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "quorin-sim: unexpected argument '%s'\n\n%s",
                     qPrintable(parser.positionalArguments().constFirst()), qPrintable(parser.helpText()));
        return 1;
    }

    sim::Options opt;
    qint64 port = 2323;
    qint64 delay = 0;
    qint64 stall = -1;
    qint64 drop = -1;
    qint64 stallMid = -1;
    qint64 dropMid = -1;
    qint64 chunk = 0;
    qint64 slow = 0;
    qint64 flood = 0;
    const qint64 intMax = std::numeric_limits<int>::max();
    if (!intOption(parser, QStringLiteral("port"), 0, 65535, port) ||
        !intOption(parser, QStringLiteral("delay-ms"), 0, intMax, delay) ||
        !intOption(parser, QStringLiteral("stall-after"), -1, intMax, stall) ||
        !intOption(parser, QStringLiteral("drop-after"), -1, intMax, drop) ||
        !intOption(parser, QStringLiteral("stall-mid"), -1, intMax, stallMid) ||
        !intOption(parser, QStringLiteral("drop-mid"), -1, intMax, dropMid) ||
        !intOption(parser, QStringLiteral("chunk"), 0, intMax, chunk) ||
        !intOption(parser, QStringLiteral("slow-bps"), 0, intMax, slow) ||
        !intOption(parser, QStringLiteral("flood"), 0, std::numeric_limits<qint64>::max(), flood))
        return 2;
    opt.port = static_cast<quint16>(port);
    opt.delayMs = static_cast<int>(delay);
    opt.stallAfter = static_cast<int>(stall);
    opt.dropAfter = static_cast<int>(drop);
    opt.stallMid = static_cast<int>(stallMid);
    opt.dropMid = static_cast<int>(dropMid);
    opt.chunk = static_cast<int>(chunk);
    opt.slowBps = static_cast<int>(slow);
    opt.garbage = parser.isSet(QStringLiteral("garbage"));
    opt.flood = flood;

    sim::Server server(opt);
    server.setRecording(false);
    if (!server.start()) {
        std::fprintf(stderr, "quorin-sim: cannot listen on 127.0.0.1:%d\n", static_cast<int>(port));
        return 1;
    }
    std::printf("quorin-sim listening on 127.0.0.1:%d\n", static_cast<int>(server.port()));
    std::fflush(stdout);
    return app.exec();
}

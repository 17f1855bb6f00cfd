// The console: bytes in any chunks decode as in one piece (no double-byte character
// split); each clean-up keeps at most 100 line-feed-separated pieces, the newest unchanged.
#include "fuzzinput.h"

#include "console/console.h"
#include "link/sjis.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    bool beginConnect = in.byte() & 1;
    wire::SjisStreamDecoder decoder;
    QString console;
    QByteArray all;
    QString decoded;
    while (!in.empty()) {
        const QByteArray chunk = in.bytes(1 + in.byte() % 48);
        all += chunk;
        const QString piece = decoder.decode(chunk);
        decoded += piece;
        console += piece;
        const console::Cleaned c = console::cleanup(console, beginConnect);
        fuzz::check(c.text.count(QLatin1Char('\n')) < console::kMaxLines, "more than 100 pieces");
        fuzz::check(c.changed == (c.text != console), "changed flag", c.text);
        if (!beginConnect)
            fuzz::check(!c.consumedBeginConnect, "login state consumed twice");
        // Without a breakpoint mark or a doubled login prompt only whole pieces go, from the top.
        const bool marked = console.contains(QStringLiteral("[7m")) ||
                            console.contains(QStringLiteral("[0m")) ||
                            (beginConnect && (console.contains(QStringLiteral("\r\n#?\r\n#?")) ||
                                              console.contains(QStringLiteral("\r\n#\r\n#"))));
        if (!marked) {
            fuzz::check(console.endsWith(c.text), "text other than old pieces removed", c.text);
            fuzz::check(c.text.count(QLatin1Char('\n')) ==
                            std::min<qsizetype>(console.count(QLatin1Char('\n')), console::kMaxLines - 1),
                        "more pieces dropped than needed", c.text);
        }
        if (c.consumedBeginConnect)
            beginConnect = false;
        console = c.text;
    }
    // A final line break flushes a lead byte that ended the stream.
    decoded += decoder.decode(QByteArray("\r\n"));
    all += "\r\n";
    fuzz::check(decoded == wire::sjisDecode(all), "chunked decoding differs", decoded);
    return 0;
}

// Feeds the receive handler arbitrary chunk sequences: nothing may crash, the
// decoded text is whole (a prompt that arrives at the end is seen at the end),
// and the login is answered at most once per prompt that arrived.
#include "link/receivehandler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    wire::ReceiveHandler handler;
    // First byte: whether a wait is pending; the rest is cut into chunks whose
    // lengths come from the data itself.
    const bool waiting = data[0] & 1;
    QByteArray all;
    qsizetype answers = 0;
    size_t i = 1;
    while (i < size) {
        const size_t len = 1 + data[i] % 64;
        ++i;
        const size_t n = len < size - i ? len : size - i;
        const QByteArray chunk(reinterpret_cast<const char *>(data + i), static_cast<qsizetype>(n));
        all += chunk;
        answers += handler.onChunk(chunk, waiting).answers.size();
        i += n;
    }
    if (waiting && answers != 0)
        std::abort();
    // Every name answer needs a login prompt, every password answer (three
    // lines) a password prompt, in what arrived.
    if (answers > 3 * (all.count("Login    :") + all.count("Password :")))
        std::abort();
    // Whatever came before, a complete prompt line is seen whole.
    if (!handler.onChunk(QByteArray("\r\n#"), true).text.endsWith(QLatin1String("\r\n#")))
        std::abort();
    return 0;
}

// Feeds the receive handler arbitrary chunk sequences: nothing may crash, and
// a prompt that arrives at the end always ends a pending wait.
#include "link/linkstate.h"
#include "link/receivehandler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    link::LinkState state;
    int sends = 0;
    link::ReceiveHandler handler(state, [&](const QString &) {
        state.clearRcv();
        ++sends;
    });
    // First byte: which wait is pending; the rest is cut into chunks whose
    // lengths come from the data itself.
    const uint8_t mode = data[0];
    state.setWaitPrompt(mode & 1);
    state.setWaitSharp(mode & 2);
    size_t i = 1;
    while (i < size) {
        const size_t len = 1 + data[i] % 64;
        ++i;
        const size_t n = len < size - i ? len : size - i;
        handler.onChunk(QByteArray(reinterpret_cast<const char *>(data + i), static_cast<qsizetype>(n)));
        i += n;
    }
    // Whatever came before, a complete prompt line ends the wait.
    state.setWaitPrompt(true);
    handler.onChunk(QByteArray("\r\n#"));
    if (state.waitPrompt())
        std::abort();
    return 0;
}

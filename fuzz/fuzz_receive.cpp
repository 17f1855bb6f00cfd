// Feeds the receive handler arbitrary chunk sequences: nothing may crash, the
// decoded text is whole (a prompt that arrives at the end is seen at the end),
// and the login is answered at most once per prompt that arrived.
#include "fuzzinput.h"

#include "link/receivehandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    wire::ReceiveHandler handler;
    // First byte: whether a wait is pending; then chunks, each after its length byte.
    const bool waiting = in.byte() & 1;
    QByteArray all;
    qsizetype answers = 0;
    while (!in.empty()) {
        const QByteArray chunk = in.bytes(1 + in.byte() % 64);
        all += chunk;
        answers += handler.onChunk(chunk, waiting).answers.size();
    }
    fuzz::check(!waiting || answers == 0, "login answered during a wait");
    // Every name answer needs a login prompt, every password answer (three
    // lines) a password prompt, in what arrived.
    fuzz::check(answers <= 3 * (all.count("Login    :") + all.count("Password :")), "answer without prompt");
    // Whatever came before, a complete prompt line is seen whole.
    fuzz::check(handler.onChunk(QByteArray("\r\n#"), true).text.endsWith(QLatin1String("\r\n#")), "prompt");
    return 0;
}

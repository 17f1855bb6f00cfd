// The receive handler on any chunks: a prompt arriving last is seen last, and the
// login is answered at most once per prompt that arrived, never during a wait.
#include "fuzzinput.h"

#include "link/receivehandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    wire::ReceiveHandler handler;
    const bool waiting = in.byte() & 1;
    QByteArray all;
    qsizetype answers = 0;
    while (!in.empty()) {
        const QByteArray chunk = in.bytes(1 + in.byte() % 64);
        all += chunk;
        answers += handler.onChunk(chunk, waiting).answers.size();
    }
    fuzz::check(!waiting || answers == 0, "login answered during a wait");
    // A name answer needs a login prompt, a password answer (three lines) a password prompt.
    fuzz::check(answers <= 3 * (all.count("Login    :") + all.count("Password :")), "answer without prompt");
    fuzz::check(handler.onChunk(QByteArray("\r\n#"), true).text.endsWith(QLatin1String("\r\n#")), "prompt");
    return 0;
}

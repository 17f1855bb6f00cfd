// The argument check of axis commands: a command word alone passes; one more
// number keeps the verdict; a trailing blank, bare "&H" or "12X" fails.
#include "fuzzinput.h"

#include "link/sendpath.h"

using wire::argumentsAreNumbers;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const QString msg = in.rest();
    const bool ok = argumentsAreNumbers(msg);
    if (!msg.contains(QLatin1Char(' ')))
        fuzz::check(ok, "a command word alone was refused", msg);
    for (const char *bad : {" ", " &H", " 12X"})
        fuzz::check(!argumentsAreNumbers(msg + QLatin1String(bad)), "a bad last word accepted", msg + bad);
    for (const char *number : {" -12", " &HfF"})
        fuzz::check(argumentsAreNumbers(msg + QLatin1String(number)) == ok, "a number changed the verdict",
                    msg + number);
    const qsizetype blank = msg.lastIndexOf(QLatin1Char(' '));
    if (ok && blank >= 0)
        fuzz::check(argumentsAreNumbers(msg.left(blank)), "a passing line failed without its last word", msg);
    return 0;
}

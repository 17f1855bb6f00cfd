// Checks the program makes before it shows its window.
#pragma once

#include <functional>

class Dialogs;

namespace app {

// The controller's character set must be convertible; without it every send
// and reply would fail. Says so in a critical alert and returns false: the
// program must not go on.
bool codecUsable(Dialogs &dialogs, const std::function<bool()> &available);

} // namespace app

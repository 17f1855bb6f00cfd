// What one platform needs beyond Qt, behind one name each.
#pragma once

namespace platform {

// Keeps the poll timer on its 0.3 s grid while the window is in the
// background: macOS otherwise slows the timers of an application nobody looks
// at. Nothing to do elsewhere.
#ifdef __APPLE__
void beginUserActivity();
#else
inline void beginUserActivity() {}
#endif

} // namespace platform

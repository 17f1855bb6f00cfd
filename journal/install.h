// The session journal in the window: one call from the window's constructor
// taps the link, adds "Record sessions" to the View menu and tidies old files.
#pragma once

class MainWindow;

namespace journal {

void install(MainWindow &window);

} // namespace journal

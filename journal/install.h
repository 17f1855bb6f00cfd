// The session journal in the window: one call from the window's constructor
// taps the link, adds "Record sessions" to the View menu and tidies old files.
#pragma once

#include "journal/operatorjournal.h"

class Dialogs;
class QMainWindow;
class QMenu;

namespace journal {

// Docks the operator journal in `window` and adds its entries to `viewMenu`.
void install(QMainWindow &window, QMenu &viewMenu, Dialogs &dialogs, Sources sources);

} // namespace journal

// The session journal in the window: one call from the window's constructor
// taps the link, adds "Record sessions" to the View menu and tidies old files.
#pragma once

#include "journal/operatorjournal.h"

class Dialogs;
class QMainWindow;
class QMenu;
class QSettings;

namespace journal {

// Docks the operator journal in `window` and adds its entries to `viewMenu`.
// The "Record sessions" choice is kept in `settings` (none: this run only).
void install(QMainWindow &window, QMenu &viewMenu, Dialogs &dialogs, QSettings *settings, Sources sources);

} // namespace journal

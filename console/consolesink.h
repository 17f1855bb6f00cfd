// What the file transfers and the debug tools show in the console and ask of
// it. They write their notes and listings through this and never reach the
// console's widgets themselves.
#pragma once

#include <QString>

namespace console {

class ConsoleSink
{
public:
    virtual ~ConsoleSink() = default;

    // Appends the monitor's own text (a note, a listing) and scrolls to it.
    virtual void consoleAppendScroll(const QString &text) = 0;
    // Appends text the way received text is appended: cleaned up, trimmed to
    // the console's length, the view following the end.
    virtual void consoleAppendFollow(const QString &text) = 0;
    virtual void consoleReplace(const QString &text) = 0;
    // Received text, appended as the live display appends it (while it is on).
    virtual void receiveDisplay(const QString &text) = 0;
    // The console selection up to its first line break.
    virtual QString consoleSelection() const = 0;
    // Echoes `line` into the console like a typed command and sends it;
    // false when nothing went out (the line is kept back, or not a command).
    virtual bool echoAndSend(const QString &line) = 0;
    // Turns the live display of received text on, so that a reply shows.
    virtual void liveDisplayOn() = 0;
    // A listing the console started can no longer be continued.
    virtual void listNextOff() = 0;
    virtual void focusConsole() = 0;

protected:
    ConsoleSink() = default;
    ConsoleSink(const ConsoleSink &) = default;
    ConsoleSink &operator=(const ConsoleSink &) = default;
};

} // namespace console

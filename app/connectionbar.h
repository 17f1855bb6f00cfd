// The window's top bar: the controller's address (offering the address
// book's names as it is typed), Connect and a stop button, the receive
// time-out, polling's Start and Stop with the activity star, the status
// line, the watch-only switch and Close; and the status bar's watch-only
// sign. It builds and lays out the controls; the window wires them.
#pragma once

#include <QtGlobal>

class QCompleter;
class QLabel;
class QLineEdit;
class QObject;
class QPushButton;
class QWidget;

namespace app {

struct ConnectionBar
{
    // `owner` parents the completer; the widgets go to whoever places them.
    explicit ConnectionBar(QObject *owner);
    // The switch stands out in the sign's amber while the lock is on, and
    // the sign shows only then.
    void showWatchLock(bool locked);
    // The star counts the seconds a reply has been waited for.
    void showWaitSeconds(qint64 seconds);

    QWidget *bar = nullptr;          // above the pages
    QLabel *watchOnlySign = nullptr; // in the status bar
    QLineEdit *address = nullptr;
    QCompleter *addressCompleter = nullptr;
    QPushButton *connect = nullptr;
    QPushButton *disconnect = nullptr;
    QLineEdit *timeout = nullptr;
    QPushButton *startPolling = nullptr;
    QPushButton *stopPolling = nullptr;
    QLabel *activity = nullptr;
    QLineEdit *status = nullptr;
    QPushButton *watchOnly = nullptr;
    QPushButton *windowClose = nullptr;
};

} // namespace app

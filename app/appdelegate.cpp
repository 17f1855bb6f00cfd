#include "app/appdelegate.h"

#include "app/dialogs.h"
#include "app/viewcontroller.h"

#include <QAction>
#include <QCloseEvent>
#include <QWidget>

AppDelegate::AppDelegate(QObject *parent) : QObject(parent) {}

bool AppDelegate::codecUsable(Dialogs *dialogs, const std::function<bool()> &available)
{
    if (available())
        return true;
    dialogs->alert(QStringLiteral("Shift-JIS Not Available\n\nThis build has no Shift-JIS (cp932) "
                                  "converter, so it cannot talk to the controller. The program ends."),
                   QString(), Dialogs::Style::Critical);
    return false;
}

void AppDelegate::attach(QWidget *window, QAction *openFile, QAction *about)
{
    m_window = window;
    window->installEventFilter(this);
    menuOpenFile = openFile;
    if (openFile) {
        QObject::connect(openFile, &QAction::triggered, this, [this] {
            if (viewController)
                viewController->userAction([vc = viewController] { vc->programLoad(); });
        });
    }
    if (about) {
        QObject::connect(about, &QAction::triggered, this, [this] {
            if (viewController)
                viewController->showHelp();
        });
    }
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // Closing the window ends the program: disconnect, then save the settings.
    if (watched == m_window && event->type() == QEvent::Close && !m_terminated) {
        m_terminated = true;
        if (viewController)
            viewController->applicationShouldTerminate();
    }
    return QObject::eventFilter(watched, event);
}

#include "app/appdelegate.h"

#include "app/viewcontroller.h"

#include <QAction>
#include <QCloseEvent>
#include <QWidget>

AppDelegate::AppDelegate(QObject *parent) : QObject(parent) {}

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

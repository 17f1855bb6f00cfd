// quorin-monitor: the window, its controller and the application hooks.
#include "app/appdelegate.h"
#include "app/clock.h"
#include "app/viewcontroller.h"
#include "link/sjis.h"
#include "ui/mainwindow.h"
#include "ui/qtdialogs.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QuorinMonitor"));
    QApplication::setApplicationName(QStringLiteral("QuorinMonitor"));
    QApplication::setQuitOnLastWindowClosed(true);

    QSettings settings;
    MainWindow window;
    QtDialogs dialogs(&window);
    if (!AppDelegate::codecUsable(&dialogs, link::sjisAvailable))
        return 1;
    SystemClock clock;
    AppDelegate delegate;
    ViewController vc(&window, &dialogs, &settings, &clock, &delegate);
    delegate.attach(&window, window.menuOpenFile(), window.menuAbout());
    vc.viewDidLoad();
    window.show();
    return app.exec();
}

// Application-level hooks: the File menu's open command, the About box and
// the orderly end of the program when the window closes.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QWidget;
class Dialogs;
class ViewController;

class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(QObject *parent = nullptr);

    // The start-up check that the controller's character set can be
    // converted; without it every send and reply would fail. Says so in a
    // critical alert and returns false: the program must not go on.
    static bool codecUsable(Dialogs *dialogs, const std::function<bool()> &available);

    // Watches `window` for its close and wires the two menu actions.
    void attach(QWidget *window, QAction *openFile, QAction *about);

    QPointer<QAction> menuOpenFile;
    ViewController *viewController = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window = nullptr;
    bool m_terminated = false;
};

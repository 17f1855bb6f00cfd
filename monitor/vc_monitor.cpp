// ViewController's monitor members until the window takes them: the tab
// change and what the poller shows in the top bar and the console.
#include "app/viewcontroller.h"
#include "axis/axispage.h"
#include "monitor/poller.h"
#include "ui/mainwindow.h"
#include "ui/page.h"
#include "ui/uihelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>

void ViewController::timerStart()
{
    m_poller->timerStart();
}

void ViewController::timerStop()
{
    m_poller->timerStop();
}

void ViewController::tabViewDidSelect(int index)
{
    if (!isConnected()) {
        // Without a controller only the console makes sense; the change of
        // tab made here is not a second selection.
        const QSignalBlocker block(tabview);
        tabview->setCurrentIndex(0);
        index = 0;
        selectTabId = QStringLiteral("0");
    }
    QWidget *page = tabview->widget(index);
    if (!page)
        return;
    trace(QStringLiteral("tabview label: ") + tabview->tabText(index));
    selectTabId = page->property("identifier").toString();
    m_poller->setPage(qobject_cast<ui::Page *>(page));
    trace(QStringLiteral("tabview identifier: ") + selectTabId);
    m_root->axisPage().reselectBoard();
    // Starting and stopping talk to the controller, so they wait for the
    // exchange slot; by then the user may have moved on to another tab.
    if (selectTabId != QLatin1String("0")) {
        if (!m_poller->isRunning()) {
            userAction([this] {
                if (!m_poller->isRunning() && selectTabId != QLatin1String("0"))
                    timerStart();
            });
        }
    } else {
        userAction([this] {
            if (selectTabId == QLatin1String("0"))
                timerStop();
        });
    }
}

void ViewController::wireMonitor()
{
    QObject::connect(buttonTimerStart, &QPushButton::clicked, this,
                     [this] { userAction([this] { m_poller->timerStart(); }); });
    QObject::connect(buttonTimerStop, &QPushButton::clicked, this,
                     [this] { userAction([this] { m_poller->timerStop(); }); });
    // What the poller shows lives in the top bar and the console.
    QObject::connect(m_poller, &monitor::Poller::statusCleared, this,
                     [this] { textField2->setText(QString()); });
    QObject::connect(m_poller, &monitor::Poller::indicatorShown, this, [this](const QString &text) {
        labelindicator->setVisible(true);
        labelindicator->setText(text);
    });
    QObject::connect(m_poller, &monitor::Poller::indicatorHidden, this,
                     [this] { labelindicator->setVisible(false); });
    QObject::connect(m_poller, &monitor::Poller::indicatorColourChanged, this,
                     [this](const QColor &colour) { ui::setTextColor(labelindicator, colour); });
    QObject::connect(m_poller, &monitor::Poller::stopMarker, this,
                     [this](const QString &marker) { consoleAppendScroll(marker); });
    QObject::connect(tabview, &QTabWidget::currentChanged, this,
                     [this](int index) { tabViewDidSelect(index); });
}

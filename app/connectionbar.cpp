#include "app/connectionbar.h"

#include "ui/controls.h"
#include "ui/uihelpers.h"

#include <QCompleter>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStringListModel>
#include <QStyle>

using namespace ui;

namespace app {

namespace {
const QString kIndicatorStar = QStringLiteral("\u2605");
const QString kWatchOnlyOff = QStringLiteral("Watch only: lock every control that changes the controller");
const QString kWatchOnlyOn = QStringLiteral(
    "Watch only is on: controls that change the controller are off. Click to unlock (asks for a reason).");
const QColor kWatchOnlyText{26, 26, 26};
} // namespace

ConnectionBar::ConnectionBar(QObject *owner)
{
    bar = new QWidget;
    auto *h = new QHBoxLayout(bar);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);
    const auto gap = [h] {
        h->addSpacing(4);
        h->addWidget(separator());
        h->addSpacing(4);
    };

    address = named(new QLineEdit, QStringLiteral("textFieldIpAddress"));
    address->setPlaceholderText(QStringLiteral("host or host:port"));
    address->setMinimumWidth(charWidth(14, false));
    address->setMaximumWidth(charWidth(28, false));
    // The address book's names and addresses, as the field is typed in.
    addressCompleter = new QCompleter(new QStringListModel(owner), owner);
    addressCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    address->setCompleter(addressCompleter);
    h->addWidget(caption(QStringLiteral("Controller"), address));
    h->addWidget(address, 1);
    connect = makeButton(QStringLiteral("buttonConnect"), QStringLiteral("Connect"));
    h->addWidget(connect);
    // The connect button itself reads "Disconnect" while connected; this one
    // is a plain stop button, so the bar never shows the same word twice.
    disconnect = makeButton(QStringLiteral("buttonDisconnect"), QString(), QStringLiteral("Disconnect"));
    disconnect->setIcon(bar->style()->standardIcon(QStyle::SP_BrowserStop));
    disconnect->setAccessibleName(QStringLiteral("Disconnect"));
    disconnect->setMinimumWidth(disconnect->sizeHint().height() + 8);
    disconnect->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    h->addWidget(disconnect);
    gap();

    timeout = named(new QLineEdit, QStringLiteral("textFieldTimeOutSec"));
    timeout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    timeout->setFixedWidth(charWidth(4, false));
    timeout->setToolTip(QStringLiteral("Seconds to wait for the controller's prompt"));
    h->addWidget(caption(QStringLiteral("Timeout (s)"), timeout));
    h->addWidget(timeout);
    gap();

    h->addWidget(new QLabel(QStringLiteral("Monitoring")));
    startPolling = makeButton(QStringLiteral("buttonTimerStart"), QStringLiteral("Start"),
                              QStringLiteral("Start polling the selected page"));
    stopPolling =
        makeButton(QStringLiteral("buttonTimerStop"), QStringLiteral("Stop"), QStringLiteral("Stop polling"));
    h->addWidget(startPolling);
    h->addWidget(stopPolling);
    activity = named(new QLabel(kIndicatorStar), QStringLiteral("labelindicator"));
    QFont sf = activity->font();
    sf.setPixelSize(20);
    activity->setFont(sf);
    activity->setAlignment(Qt::AlignCenter);
    // Room for the star and a wait's seconds up to the default timeout, so the
    // bar holds still as they count; a longer count widens it.
    activity->setMinimumWidth(QFontMetrics(sf).horizontalAdvance(kIndicatorStar + QStringLiteral("00")) + 8);
    activity->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    activity->setToolTip(QStringLiteral("Polling activity")); // heard as what it shows, "★3"
    retainSpaceWhenHidden(activity);
    activity->setVisible(false);
    setTextColor(activity, kLightGray);
    h->addWidget(activity);

    status = named(new QLineEdit, QStringLiteral("textField2"));
    status->setAccessibleName(QStringLiteral("Status"));
    QPalette sp = status->palette();
    sp.setColor(QPalette::Base, Qt::transparent);
    status->setPalette(sp);
    status->setMinimumWidth(charWidth(8, false));
    // The status line only reports.
    status->setFocusPolicy(Qt::NoFocus);
    status->setFrame(false);
    status->setReadOnly(true);
    // A report longer than the line (a backup's folder, a long file name) is
    // cut, and the line takes no focus to scroll it: the pointer reads it whole.
    QObject::connect(status, &QLineEdit::textChanged, status,
                     [line = status](const QString &text) { line->setToolTip(text); });
    h->addWidget(status, 2);

    watchOnly = makeButton(QStringLiteral("buttonWatchOnly"), QStringLiteral("Watch only"));
    watchOnly->setCheckable(true);
    h->addWidget(watchOnly);
    gap();

    windowClose = makeButton(QStringLiteral("buttonWindowClose"), QStringLiteral("Close"),
                             QStringLiteral("Close the window and end the program"));
    h->addWidget(windowClose);

    // In the status bar: seen from anywhere in the window, whatever the tab.
    watchOnlySign = named(new QLabel(QStringLiteral("WATCH ONLY")), QStringLiteral("labelWatchOnly"));
    watchOnlySign->setToolTip(QStringLiteral(
        "Controls that change the controller are off; Watch only in the top bar unlocks them"));
    QFont lf = watchOnlySign->font();
    lf.setBold(true);
    watchOnlySign->setFont(lf);
    watchOnlySign->setAlignment(Qt::AlignCenter);
    watchOnlySign->setContentsMargins(10, 1, 10, 1);
    watchOnlySign->setAutoFillBackground(true);
    QPalette lp = watchOnlySign->palette();
    lp.setColor(QPalette::Window, kAmber);
    lp.setColor(QPalette::WindowText, kWatchOnlyText);
    watchOnlySign->setPalette(lp);
}

void ConnectionBar::showWaitSeconds(qint64 seconds)
{
    activity->setVisible(true);
    activity->setText(kIndicatorStar + QString::number(seconds));
    setTextColor(activity, kLightGray);
}

void ConnectionBar::showWatchLock(bool locked)
{
    watchOnly->setChecked(locked);
    watchOnly->setToolTip(locked ? kWatchOnlyOn : kWatchOnlyOff);
    QPalette p;
    if (locked) {
        p.setColor(QPalette::Button, kAmber);
        p.setColor(QPalette::ButtonText, kWatchOnlyText);
    }
    watchOnly->setPalette(p);
    watchOnlySign->setVisible(locked);
}

} // namespace app

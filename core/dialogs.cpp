#include "core/dialogs.h"

#include <QTimer>

void alertAfterAction(QObject *context, Dialogs &dialogs, const QString &message, const QString &informative,
                      Dialogs::Style style)
{
    QTimer::singleShot(0, context, [dialogs = &dialogs, message, informative, style] {
        dialogs->alert(message, informative, style);
    });
}

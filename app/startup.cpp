#include "app/startup.h"

#include "core/dialogs.h"

namespace app {

bool codecUsable(Dialogs &dialogs, const std::function<bool()> &available)
{
    if (available())
        return true;
    dialogs.alert(QStringLiteral("Shift-JIS Not Available\n\nThis build has no Shift-JIS (cp932) "
                                 "converter, so it cannot talk to the controller. The program ends."),
                  QString(), Dialogs::Style::Critical);
    return false;
}

} // namespace app

// ViewController's text-change guard for the edit fields that still belong
// to it (the axis page's and the console's command boxes); the data pages
// guard their own fields.
#include "app/viewcontroller.h"

#include "link/textutil.h"
#include "ui/uihelpers.h"

#include <QComboBox>
#include <QLineEdit>

void ViewController::controlTextDidChange(QObject *control)
{
    for (QLineEdit *e : {textfieldPgAdrSelect, textfieldPgTeachNum}) {
        if (control == e) {
            ui::setTextColor(e, ui::kRed);
            return;
        }
    }
}

void ViewController::wirePanels()
{
    // Only typing counts (textEdited), not text the program sets.
    for (QLineEdit *e : {textfieldPgAdrSelect, textfieldPgTeachNum})
        QObject::connect(e, &QLineEdit::textEdited, this, [this, e] { controlTextDidChange(e); });
}

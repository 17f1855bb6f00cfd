// Palette-based text colours for labels, lamps and edit fields.
#include "ui/uihelpers.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

namespace ui {

QPalette::ColorRole textRole(const QWidget *widget)
{
    if (qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget) ||
        qobject_cast<const QComboBox *>(widget) || qobject_cast<const QAbstractScrollArea *>(widget))
        return QPalette::Text;
    if (qobject_cast<const QPushButton *>(widget) || qobject_cast<const QToolButton *>(widget))
        return QPalette::ButtonText;
    return QPalette::WindowText;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    if (!widget)
        return;
    const QPalette::ColorRole role = textRole(widget);
    QPalette pal = widget->palette();
    if (pal.color(QPalette::Active, role) == color && pal.color(QPalette::Inactive, role) == color &&
        widget->testAttribute(Qt::WA_SetPalette))
        return;
    pal.setColor(QPalette::Active, role, color);
    pal.setColor(QPalette::Inactive, role, color);
    widget->setPalette(pal);
}

void showLamp(QWidget *lamp, const QString &what, bool on, const QColor &onColour)
{
    if (!lamp)
        return;
    setTextColor(lamp, on ? onColour : kBlack);
    const QString name = what + (on ? QStringLiteral(" on") : QStringLiteral(" off"));
    // Every change of the name is announced; the poll repeats it every tick.
    if (lamp->accessibleName() != name)
        lamp->setAccessibleName(name);
}

QColor textColor(const QWidget *widget)
{
    if (!widget)
        return {};
    return widget->palette().color(QPalette::Active, textRole(widget));
}

} // namespace ui

// Small readers of widget state shared by the integration suites.
#pragma once

#include <QAccessible>
#include <QComboBox>
#include <QStringList>

// What a screen reader says for a widget: its accessible name.
inline QString heard(QObject *widget)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(widget);
    return a ? a->text(QAccessible::Name) : QString();
}

inline QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// Small readers of widget state shared by the integration suites.
#pragma once

#include <QComboBox>
#include <QStringList>

inline QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

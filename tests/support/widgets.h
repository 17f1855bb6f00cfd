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

// The control of that name under `root`, as the tests and outside tools find
// it; a missing one fails the calling test's QVERIFY on the null it returns.
template <typename T> T *control(const QObject *root, const QString &name)
{
    return root->findChild<T *>(name);
}

inline QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

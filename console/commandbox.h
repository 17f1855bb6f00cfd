// A command box of the console: an editable line with its history, most
// recent first and without duplicates, kept by the program.
#pragma once

#include <QComboBox>
#include <QStringList>

namespace console {

class CommandBox : public QComboBox
{
    Q_OBJECT

public:
    explicit CommandBox(const QString &name, QWidget *parent = nullptr);

    QStringList items() const;
    // Puts `entry` at the top of the history and in the edit text.
    void remember(const QString &entry);
    // A stored history, to pick from: nothing stands in the edit text.
    void restore(const QStringList &items);
    // Forgets the history; the line being typed stays.
    void forget();

private:
    void onEditTextChanged();
};

} // namespace console

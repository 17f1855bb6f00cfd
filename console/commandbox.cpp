// The console's command boxes and their history rule.
#include "console/commandbox.h"

#include "console/console.h"
#include "link/textutil.h"
#include "ui/controls.h"

#include <QSignalBlocker>

namespace console {

CommandBox::CommandBox(const QString &name, QWidget *parent) : QComboBox(parent)
{
    ui::named(this, name);
    setEditable(true);
    // The history is kept by the program (most recent first, no duplicates),
    // and Escape must not open completions.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(16);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMaxVisibleItems(12);
    setFont(ui::monoFont());
    connect(this, &QComboBox::editTextChanged, this, &CommandBox::onEditTextChanged);
}

QStringList CommandBox::items() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemText(i);
    return out;
}

void CommandBox::remember(const QString &entry)
{
    const QStringList list = applyHistory(items(), entry);
    const QSignalBlocker block(this);
    clear();
    addItems(list);
    setCurrentIndex(0);
    setEditText(entry);
}

void CommandBox::restore(const QStringList &list)
{
    addItems(list);
    // Yesterday's last line standing in the edit text would go out again
    // with one Return.
    setCurrentIndex(-1);
}

void CommandBox::forget()
{
    // Removing the items would empty the edit text with them.
    const QString typed = currentText();
    clear();
    setEditText(typed);
}

void CommandBox::onEditTextChanged()
{
    const QString trimmed = text::trimNewlines(currentText());
    // Only a real change is written back: setting the same text again would
    // move the cursor and re-enter this handler.
    if (trimmed != currentText())
        setEditText(trimmed);
}

} // namespace console

// Alerts, confirmations and file choices, behind one small interface so that
// every user-facing text can be checked by tests.
#pragma once

#include <QString>

struct FileDialogSpec
{
    QString title;
    QString message;
    QString extension; // without the dot, e.g. "f2k"
    QString startDir;  // may be empty
    QString nameField; // preset file name (save dialogs)
};

class Dialogs
{
public:
    enum class Style { Informational, Critical };

    virtual ~Dialogs() = default;
    // Modal alert with one "Ok" button.
    virtual void alert(const QString &message, const QString &informative = QString(),
                       Style style = Style::Informational) = 0;
    // Modal confirmation with "Cancel" then "Ok"; true only for "Ok".
    virtual bool confirm(const QString &message) = 0;
    // Empty result: the user cancelled.
    virtual QString openFile(const FileDialogSpec &spec) = 0;
    virtual QString saveFile(const FileDialogSpec &spec) = 0;
    // An existing folder (title, message and startDir of `spec`).
    virtual QString chooseFolder(const FileDialogSpec &spec) = 0;
    // A line of text typed in answer to `label`, with "Cancel" then "Ok";
    // empty when the user cancelled.
    virtual QString askText(const QString &title, const QString &label) = 0;
};

class QObject;

// The alert of something found inside a queued link action, opened at the
// event loop's next turn, once the action has let go of the exchange slot: no
// modal box opens while an action holds it. Nothing opens if `context` is
// gone by then.
void alertAfterAction(QObject *context, Dialogs &dialogs, const QString &message,
                      const QString &informative = QString(),
                      Dialogs::Style style = Dialogs::Style::Informational);

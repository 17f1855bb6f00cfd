// Dialogs for tests: records every text and answers as told.
#pragma once

#include "core/dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <functional>

class ScriptedDialogs : public Dialogs
{
public:
    struct Entry
    {
        QString kind; // "alert", "confirm", "open", "save", "folder", "text"
        QString text;
        QString informative;
        Style style = Style::Informational;
        FileDialogSpec spec;
    };

    void alert(const QString &message, const QString &informative, Style style) override;
    bool confirm(const QString &message) override;
    QString openFile(const FileDialogSpec &spec) override { return file(QStringLiteral("open"), spec); }
    QString saveFile(const FileDialogSpec &spec) override { return file(QStringLiteral("save"), spec); }
    QString chooseFolder(const FileDialogSpec &spec) override { return file(QStringLiteral("folder"), spec); }
    // Recorded with the title as text and the label as informative.
    QString askText(const QString &title, const QString &label) override;

    void setNextAnswer(bool ok) { m_answers.enqueue(ok); }
    void setNextFileName(const QString &path) { m_files.enqueue(path); }
    // What the next askText() returns; without one it answers as Cancel does.
    void setNextText(const QString &text) { m_texts.enqueue(text); }
    // Called inside every alert (e.g. to check state while the alert shows).
    std::function<void(const Entry &)> onShow;
    // Called inside every file or folder choice.
    std::function<void(const Entry &)> onChoose;

    QList<Entry> entries;
    QStringList alertTexts() const;
    void clear() { entries.clear(); }

private:
    void record(const Entry &e, bool shown); // shown: onShow sees it
    QString file(const QString &kind, const FileDialogSpec &spec);
    QQueue<bool> m_answers;
    QQueue<QString> m_files;
    QQueue<QString> m_texts;
};

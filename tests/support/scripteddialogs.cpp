#include "support/scripteddialogs.h"

void ScriptedDialogs::alert(const QString &message, const QString &informative, Style style)
{
    Entry e{QStringLiteral("alert"), message, informative, style, {}};
    entries << e;
    if (onShow)
        onShow(e);
}

bool ScriptedDialogs::confirm(const QString &message)
{
    Entry e{QStringLiteral("confirm"), message, QString(), Style::Informational, {}};
    entries << e;
    if (onShow)
        onShow(e);
    return m_answers.isEmpty() ? false : m_answers.dequeue();
}

QString ScriptedDialogs::openFile(const FileDialogSpec &spec)
{
    entries << Entry{QStringLiteral("open"), spec.title, spec.message, Style::Informational, spec};
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString ScriptedDialogs::saveFile(const FileDialogSpec &spec)
{
    entries << Entry{QStringLiteral("save"), spec.title, spec.message, Style::Informational, spec};
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString ScriptedDialogs::chooseFolder(const FileDialogSpec &spec)
{
    entries << Entry{QStringLiteral("folder"), spec.title, spec.message, Style::Informational, spec};
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString ScriptedDialogs::askText(const QString &title, const QString &label)
{
    Entry e{QStringLiteral("text"), title, label, Style::Informational, {}};
    entries << e;
    if (onShow)
        onShow(e);
    return m_texts.isEmpty() ? QString() : m_texts.dequeue();
}

QStringList ScriptedDialogs::alertTexts() const
{
    QStringList out;
    for (const Entry &e : entries) {
        if (e.kind == QLatin1String("alert"))
            out << e.text;
    }
    return out;
}

#include "support/scripteddialogs.h"

void ScriptedDialogs::record(const Entry &e, bool shown)
{
    entries << e;
    if (shown && onShow)
        onShow(e);
}

void ScriptedDialogs::alert(const QString &message, const QString &informative, Style style)
{
    record({QStringLiteral("alert"), message, informative, style, {}}, true);
}

bool ScriptedDialogs::confirm(const QString &message)
{
    record({QStringLiteral("confirm"), message, QString(), Style::Informational, {}}, true);
    return !m_answers.isEmpty() && m_answers.dequeue();
}

QString ScriptedDialogs::file(const QString &kind, const FileDialogSpec &spec)
{
    record({kind, spec.title, spec.message, Style::Informational, spec}, false);
    if (onChoose)
        onChoose(entries.last());
    return m_files.isEmpty() ? QString() : m_files.dequeue();
}

QString ScriptedDialogs::askText(const QString &title, const QString &label)
{
    record({QStringLiteral("text"), title, label, Style::Informational, {}}, true);
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

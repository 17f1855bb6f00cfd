#include "ui/qtdialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

void QtDialogs::alert(const QString &message, const QString &informative, Style style)
{
    QMessageBox box(m_parent);
    box.setIcon(style == Style::Critical ? QMessageBox::Critical : QMessageBox::Information);
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    if (!informative.isEmpty())
        box.setInformativeText(informative);
    box.addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
    box.exec();
}

bool QtDialogs::confirm(const QString &message)
{
    QMessageBox box(m_parent);
    box.setIcon(QMessageBox::Information);
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    QPushButton *cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    QPushButton *ok = box.addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
    // Return answers the first button: a Return typed ahead (or a held key)
    // into the field behind must never confirm a change to stored data.
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok;
}

namespace {
QString filterFor(const FileDialogSpec &spec)
{
    return QStringLiteral("%1 (*.%2)").arg(spec.title, spec.extension);
}
} // namespace

QString QtDialogs::openFile(const FileDialogSpec &spec)
{
    QFileDialog dlg(m_parent, spec.title, spec.startDir, filterFor(spec));
    dlg.setLabelText(QFileDialog::LookIn, spec.message);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setOption(QFileDialog::ReadOnly, true);
    dlg.setWindowTitle(spec.title + QStringLiteral(" — ") + spec.message);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

QString QtDialogs::saveFile(const FileDialogSpec &spec)
{
    QFileDialog dlg(m_parent, spec.title, spec.startDir, filterFor(spec));
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(spec.extension);
    dlg.setWindowTitle(spec.title + QStringLiteral(" — ") + spec.message);
    if (!spec.nameField.isEmpty())
        dlg.selectFile(spec.nameField);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

QString QtDialogs::chooseFolder(const FileDialogSpec &spec)
{
    QFileDialog dlg(m_parent, spec.title, spec.startDir);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setWindowTitle(spec.message.isEmpty() ? spec.title
                                              : spec.title + QStringLiteral(" — ") + spec.message);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

QString QtDialogs::askText(const QString &title, const QString &label)
{
    QInputDialog dlg(m_parent);
    dlg.setInputMode(QInputDialog::TextInput);
    dlg.setWindowTitle(title);
    dlg.setLabelText(label);
    dlg.setOkButtonText(QStringLiteral("Ok"));
    dlg.setCancelButtonText(QStringLiteral("Cancel"));
    if (dlg.exec() != QDialog::Accepted)
        return QString();
    return dlg.textValue();
}

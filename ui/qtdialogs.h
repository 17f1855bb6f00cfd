// Dialogs shown with QMessageBox and QFileDialog.
#pragma once

#include "core/dialogs.h"

class QWidget;

class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    // The window the dialogs are modal to (it is built after them).
    void setParentWidget(QWidget *parent) { m_parent = parent; }
    void alert(const QString &message, const QString &informative, Style style) override;
    bool confirm(const QString &message) override;
    QString openFile(const FileDialogSpec &spec) override;
    QString saveFile(const FileDialogSpec &spec) override;
    QString chooseFolder(const FileDialogSpec &spec) override;
    QString askText(const QString &title, const QString &label) override;

private:
    QWidget *m_parent = nullptr;
};

// The window that shows what loading a file would change on the controller,
// with "Load" (the ordinary load of that file) and "Close".
#pragma once

#include "transfer/compare.h"

#include <QDialog>

class QLabel;
class QTreeWidget;

namespace transfer {

class CompareWindow : public QDialog
{
    Q_OBJECT

public:
    CompareWindow(Kind kind, const QString &path, const TableComparison &c, QWidget *parent = nullptr);
    CompareWindow(const QString &path, const ProgramComparison &c, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    QString path() const { return m_path; }

signals:
    // The user pressed "Load"; the window has closed.
    void loadRequested();

private:
    void build(const QString &summary);

    Kind m_kind;
    QString m_path;
    QLabel *m_summary = nullptr;
    QTreeWidget *m_tree = nullptr;
};

} // namespace transfer

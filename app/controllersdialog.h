// File > Controllers…: edits the address book, one row per controller (name,
// address, note, watched only by default). OK takes the list only when every
// name is present and different and every address is one; until then the
// dialog says what is wrong and stays open.
#pragma once

#include "app/addressbook.h"

#include <QDialog>

#include <utility>

class QLabel;
class QPushButton;
class QTableWidget;

class ControllersDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ControllersDialog(const QList<app::NamedController> &controllers, QWidget *parent = nullptr);

    // The rows as they stand, in order.
    QList<app::NamedController> controllers() const;
    // The rows whose name was changed here: the name before, the name now.
    QList<std::pair<QString, QString>> renamed() const;

    void accept() override;

private:
    enum Column { Name, Address, Note, WatchOnly, ColumnCount };

    void addRow(const app::NamedController &controller);
    void onAddClicked();
    void onRemoveClicked();

    QTableWidget *m_table = nullptr;
    QPushButton *m_buttonAdd = nullptr;
    QPushButton *m_buttonRemove = nullptr;
    QLabel *m_problem = nullptr;
};

#include "app/controllersdialog.h"

#include "ui/controls.h"

#include <QAbstractItemDelegate>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ControllersDialog::ControllersDialog(const QList<app::NamedController> &controllers, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("controllersDialog"));
    setWindowTitle(QStringLiteral("Controllers"));

    m_table = ui::named(new QTableWidget(0, ColumnCount), QStringLiteral("tableControllers"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Address"),
                                        QStringLiteral("Note"), QStringLiteral("Watch only")});
    m_table->horizontalHeader()->setSectionResizeMode(Note, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(WatchOnly, QHeaderView::ResizeToContents);
    m_table->setColumnWidth(Name, ui::charWidth(16, false));
    m_table->setColumnWidth(Address, ui::charWidth(22, false));
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeaderItem(WatchOnly)->setToolTip(
        QStringLiteral("Connecting by this name turns the watch-only lock on"));
    for (const app::NamedController &c : controllers)
        addRow(c);

    m_buttonAdd = ui::makeButton(QStringLiteral("buttonControllerAdd"), QStringLiteral("Add"),
                                 QStringLiteral("Add a controller"));
    m_buttonRemove = ui::makeButton(QStringLiteral("buttonControllerRemove"), QStringLiteral("Remove"),
                                    QStringLiteral("Remove the selected controller"));
    m_problem = ui::named(new QLabel, QStringLiteral("labelControllersProblem"));
    m_problem->setWordWrap(true);
    m_problem->setVisible(false);
    QPalette p = m_problem->palette();
    p.setColor(QPalette::WindowText, QColor(176, 0, 32));
    m_problem->setPalette(p);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *row = new QHBoxLayout;
    row->addWidget(m_buttonAdd);
    row->addWidget(m_buttonRemove);
    row->addStretch(1);
    row->addWidget(buttons);
    auto *v = new QVBoxLayout(this);
    v->addWidget(
        new QLabel(QStringLiteral("Type a name in the address field to connect to its controller.")));
    v->addWidget(m_table, 1);
    v->addWidget(m_problem);
    v->addLayout(row);
    resize(ui::charWidth(80, false), 360);

    connect(m_buttonAdd, &QPushButton::clicked, this, &ControllersDialog::onAddClicked);
    connect(m_buttonRemove, &QPushButton::clicked, this, &ControllersDialog::onRemoveClicked);
    connect(buttons, &QDialogButtonBox::accepted, this, &ControllersDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ControllersDialog::reject);
    // A problem once shown goes when the rows change.
    connect(m_table, &QTableWidget::itemChanged, m_problem, &QWidget::hide);
    const auto removable = [this] { m_buttonRemove->setEnabled(m_table->currentRow() >= 0); };
    connect(m_table, &QTableWidget::itemSelectionChanged, this, removable);
    removable();
}

void ControllersDialog::addRow(const app::NamedController &controller)
{
    const int r = m_table->rowCount();
    m_table->insertRow(r);
    auto *name = new QTableWidgetItem(controller.name);
    name->setData(Qt::UserRole, controller.name); // what it was called before this edit
    m_table->setItem(r, Name, name);
    m_table->setItem(r, Address, new QTableWidgetItem(controller.address));
    m_table->setItem(r, Note, new QTableWidgetItem(controller.note));
    auto *watch = new QTableWidgetItem;
    watch->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    watch->setCheckState(controller.watchOnly ? Qt::Checked : Qt::Unchecked);
    m_table->setItem(r, WatchOnly, watch);
}

QList<app::NamedController> ControllersDialog::controllers() const
{
    QList<app::NamedController> out;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const auto text = [this, r](int column) {
            const QTableWidgetItem *item = m_table->item(r, column);
            return item ? item->text().trimmed() : QString();
        };
        const QTableWidgetItem *watch = m_table->item(r, WatchOnly);
        out << app::NamedController{text(Name), text(Address), text(Note),
                                    watch && watch->checkState() == Qt::Checked};
    }
    return out;
}

QList<std::pair<QString, QString>> ControllersDialog::renamed() const
{
    QList<std::pair<QString, QString>> out;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const QTableWidgetItem *item = m_table->item(r, Name);
        const QString before = item ? item->data(Qt::UserRole).toString().trimmed() : QString();
        const QString now = item ? item->text().trimmed() : QString();
        if (!before.isEmpty() && before != now)
            out.append({before, now});
    }
    return out;
}

void ControllersDialog::accept()
{
    // A cell still open takes what was typed into it: a click on OK need not
    // take the focus from it (buttons on macOS do not), and it would be lost.
    if (QWidget *editor = m_table->indexWidget(m_table->currentIndex()))
        emit m_table->itemDelegate()->commitData(editor);
    const QString problem = app::AddressBook::problem(controllers());
    if (!problem.isEmpty()) {
        m_problem->setText(problem);
        m_problem->setAccessibleName(problem);
        m_problem->setVisible(true);
        return;
    }
    QDialog::accept();
}

void ControllersDialog::onAddClicked()
{
    addRow(app::NamedController{});
    const int r = m_table->rowCount() - 1;
    m_table->setCurrentCell(r, Name);
    m_table->editItem(m_table->item(r, Name));
}

void ControllersDialog::onRemoveClicked()
{
    const int r = m_table->currentRow();
    if (r >= 0)
        m_table->removeRow(r);
    m_problem->hide();
}

#include "transfer/comparewindow.h"

#include "transfer/texts.h"
#include "ui/controls.h"
#include "ui/lockedcontrols.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace transfer {

namespace {

const QColor kAddedColour(0, 130, 0);
const QColor kRemovedColour(200, 0, 0);
const QColor kChangedColour(170, 90, 0);

QString what(Kind kind)
{
    switch (kind) {
    case Kind::Program:
        return QStringLiteral("program");
    case Kind::Point:
        return QStringLiteral("points");
    case Kind::Mbk:
        break;
    }
    return QStringLiteral("MBK words");
}

QString title(Kind kind)
{
    switch (kind) {
    case Kind::Program:
        return QStringLiteral("Compare Program");
    case Kind::Point:
        return QStringLiteral("Compare Points");
    case Kind::Mbk:
        break;
    }
    return QStringLiteral("Compare MBK");
}

QString identicalText(Kind kind, const QString &name)
{
    return QLatin1Char('"') + name + QStringLiteral("\" and the controller hold the same ") + what(kind) +
           QStringLiteral(": the contents are identical.");
}

QString loadOffText(CompareWindow::LoadOff why, const QString &name)
{
    switch (why) {
    case CompareWindow::LoadOff::FileChanged:
        return QLatin1Char('"') + name +
               QStringLiteral("\" has changed since the comparison: compare again to load it.");
    case CompareWindow::LoadOff::LinkEnded:
        break;
    }
    return QStringLiteral(
        "The connection the comparison was read on has ended: compare again to load the file.");
}

// The rows of a comparison as the view asks for them: a listing can hold a
// hundred thousand entries, too many for an item each.
class CompareRows : public QAbstractTableModel
{
public:
    struct Row
    {
        QStringList cells;
        QColor colour; // invalid: the text's own
    };

    CompareRows(const QStringList &headers, QVector<Row> rows, QObject *parent)
        : QAbstractTableModel(parent), m_headers(headers), m_rows(std::move(rows))
    {
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        const Row &row = m_rows.at(index.row());
        if (role == Qt::DisplayRole)
            return row.cells.value(index.column());
        if (role == Qt::ForegroundRole && row.colour.isValid())
            return row.colour;
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_headers.value(section);
        return {};
    }

private:
    QStringList m_headers;
    QVector<Row> m_rows;
};

} // namespace

ComparePane::ComparePane(Kind kind, const QString &path, const TableComparison &c, const QString &fileSide,
                         QWidget *parent)
    : QWidget(parent)
{
    const QString name = fileNameOf(path);
    build(c.identical() ? identicalText(kind, name)
                        : QStringLiteral("\"%1\" against the controller: %2 added, %3 removed, %4 changed.")
                              .arg(name)
                              .arg(c.added)
                              .arg(c.removed)
                              .arg(c.changed));
    QVector<CompareRows::Row> rows;
    rows.reserve(c.changes.size());
    for (const EntryChange &e : c.changes) {
        QString change;
        QColor colour;
        switch (e.kind) {
        case EntryChange::Kind::Added:
            change = QStringLiteral("added");
            colour = kAddedColour;
            break;
        case EntryChange::Kind::Removed:
            change = QStringLiteral("removed");
            colour = kRemovedColour;
            break;
        case EntryChange::Kind::Changed:
            change = QStringLiteral("changed");
            colour = kChangedColour;
            break;
        }
        rows.append({{e.key, change, e.controllerValue, e.fileValue}, colour});
    }
    m_tree->setModel(new CompareRows(
        {QStringLiteral("Entry"), QStringLiteral("Change"), QStringLiteral("Controller"), fileSide},
        std::move(rows), this));
    // A little air between the columns of numbers.
    for (int col = 0; col < 3; ++col) {
        m_tree->resizeColumnToContents(col);
        m_tree->setColumnWidth(col, m_tree->columnWidth(col) + 24);
    }
}

ComparePane::ComparePane(const QString &path, const ProgramComparison &c, QWidget *parent) : QWidget(parent)
{
    const QString name = fileNameOf(path);
    build(c.identical()
              ? identicalText(Kind::Program, name)
              : QStringLiteral("\"%1\" against the controller: %2 added, %3 removed.")
                    .arg(name, countText(c.added, QStringLiteral("statement"), QStringLiteral("statements")),
                         QString::number(c.removed)));
    QVector<CompareRows::Row> rows;
    rows.reserve(c.lines.size());
    for (const LineChange &l : c.lines) {
        QString mark;
        QColor colour;
        if (l.kind == LineChange::Kind::Added) {
            mark = QStringLiteral("+");
            colour = kAddedColour;
        } else if (l.kind == LineChange::Kind::Removed) {
            mark = QStringLiteral("\u2212");
            colour = kRemovedColour;
        }
        // The blanks a comment leaves at a line's end are sent, but not seen.
        QString text = l.text;
        while (text.endsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char('\t')))
            text.chop(1);
        rows.append({{mark, text}, colour});
    }
    m_tree->setModel(new CompareRows({QString(), QStringLiteral("Statement")}, std::move(rows), this));
    m_tree->resizeColumnToContents(0);
    // A statement wider than the window scrolls rather than ending in "…":
    // two versions that differ near their end must not look alike.
    m_tree->resizeColumnToContents(1);
}

void ComparePane::build(const QString &summary)
{
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    m_summary = ui::named(new QLabel(summary), QStringLiteral("labelCompareSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(m_summary);
    m_tree = ui::named(new QTreeView, QStringLiteral("treeCompare"));
    m_tree->setRootIsDecorated(false);
    m_tree->setUniformRowHeights(true);
    m_tree->setAlternatingRowColors(true);
    m_tree->setFont(ui::monoFont());
    m_tree->header()->setStretchLastSection(true);
    v->addWidget(m_tree, 1);
}

CompareWindow::CompareWindow(Kind kind, const QString &path, const TableComparison &c, const WatchLock &lock,
                             QWidget *parent)
    : QDialog(parent), m_kind(kind), m_path(path)
{
    build(new ComparePane(kind, path, c), lock);
}

CompareWindow::CompareWindow(const QString &path, const ProgramComparison &c, const WatchLock &lock,
                             QWidget *parent)
    : QDialog(parent), m_kind(Kind::Program), m_path(path)
{
    build(new ComparePane(path, c), lock);
}

void CompareWindow::build(ComparePane *pane, const WatchLock &lock)
{
    setObjectName(QStringLiteral("compareWindow"));
    setWindowTitle(title(m_kind));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *v = new QVBoxLayout(this);
    v->addWidget(pane, 1);
    m_loadOff = ui::named(new QLabel, QStringLiteral("labelCompareLoadOff"));
    m_loadOff->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_loadOff->setVisible(false);
    v->addWidget(m_loadOff);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton *load = m_load =
        ui::makeButton(QStringLiteral("buttonCompareLoad"), QStringLiteral("Load"),
                       QStringLiteral("Load this file into the controller, as the load does"));
    QPushButton *closeButton = ui::makeButton(QStringLiteral("buttonCompareClose"), QStringLiteral("Close"));
    closeButton->setDefault(true);
    m_locked = new ui::LockedControls(lock, this);
    m_locked->add(load);
    buttons->addWidget(load);
    buttons->addWidget(closeButton);
    v->addLayout(buttons);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(load, &QPushButton::clicked, this, [this] {
        // Off while the request waits for its turn: a second press would
        // queue a second load.
        m_locked->setEnabled(m_load, false);
        emit loadRequested();
    });
    resize(720, 480);
}

void CompareWindow::loadHeldBack()
{
    m_locked->setEnabled(m_load, !m_loadIsOff);
}

void CompareWindow::disableLoad(LoadOff why)
{
    m_locked->setEnabled(m_load, false);
    if (m_loadIsOff)
        return;
    m_loadIsOff = true;
    m_loadOff->setText(loadOffText(why, fileNameOf(m_path)));
    m_loadOff->setVisible(true);
}

} // namespace transfer

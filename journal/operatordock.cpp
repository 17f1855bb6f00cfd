#include "journal/operatordock.h"

#include "core/background.h"
#include "core/dialogs.h"
#include "core/savefile.h"
#include "journal/operatorjournal.h"
#include "journal/sessionjournal.h"
#include "ui/controls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPromise>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace journal {

OperatorDock::OperatorDock(OperatorJournal &journal, SessionJournal &session, Dialogs &dialogs,
                           QWidget *parent)
    : QDockWidget(QStringLiteral("Operator journal"), parent), m_journal(journal), m_session(session),
      m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("dockOperatorJournal"));
    m_read = new QFutureWatcher<OperatorFile>(this);
    connect(m_read, &QFutureWatcherBase::finished, this, &OperatorDock::onFileRead);
    m_midnight = new QTimer(this);
    m_midnight->setSingleShot(true);
    m_midnight->setTimerType(Qt::PreciseTimer);
    connect(m_midnight, &QTimer::timeout, this, &OperatorDock::onWatch);
    connect(&m_journal, &OperatorJournal::added, this, [this](const OperatorEntry &e) {
        if (!m_today)
            return;
        // A hidden list is brought up to date when it is shown.
        if (!m_list || !isVisible()) {
            m_stale = true;
            return;
        }
        // The first line of a new day: yesterday's go.
        if (m_journal.now().date() != m_day) {
            showToday();
            return;
        }
        watchTheDay();
        m_entries << e;
        if (!filtered({e}, m_filter->text()).isEmpty()) {
            m_shown << e;
            m_list->addTopLevelItem(item(e));
            m_list->scrollToBottom();
        }
    });
}

void OperatorDock::ensureBody()
{
    // Built as the dock first shows: most windows never open it.
    if (m_list)
        return;
    auto *body = new QWidget;
    auto *v = new QVBoxLayout(body);
    v->setContentsMargins(6, 4, 6, 6);
    v->setSpacing(4);

    auto *top = new QHBoxLayout;
    m_source = ui::named(new QLabel, QStringLiteral("labelJournalSource"));
    top->addWidget(m_source, 1);
    m_todayButton = ui::makeButton(QStringLiteral("buttonJournalToday"), QStringLiteral("Today"),
                                   QStringLiteral("Show this session's lines of today"));
    QPushButton *open = ui::makeButton(QStringLiteral("buttonJournalOpen"), QStringLiteral("Open\u2026"),
                                       QStringLiteral("Show the operator lines of an earlier session file"));
    QPushButton *csv =
        ui::makeButton(QStringLiteral("buttonJournalExport"), QStringLiteral("Export CSV\u2026"),
                       QStringLiteral("Save the lines shown as a CSV file"));
    // The filter on the buttons' line: on a small screen the pages leave
    // the dock little more height than a line and a few rows of the list.
    m_filter = ui::makeField(QStringLiteral("textFieldJournalFilter"), QStringLiteral("Filter"), 20);
    m_filter->setPlaceholderText(QStringLiteral("Filter by text or controller"));
    m_filter->setClearButtonEnabled(true);
    top->addWidget(m_filter, 1);
    top->addWidget(m_todayButton);
    top->addWidget(open);
    top->addWidget(csv);
    v->addLayout(top);

    m_list = ui::named(new QTreeWidget, QStringLiteral("listOperatorJournal"));
    m_list->setAccessibleName(QStringLiteral("Operator journal"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Controller"), QStringLiteral("Page"),
                             QStringLiteral("Action")});
    // Fixed widths: sizing to the contents would measure every row at
    // every line added.
    const QFontMetrics fm(m_list->font());
    m_list->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
    m_list->setColumnWidth(1, fm.horizontalAdvance(QStringLiteral("000.000.000.000:00000")) + 16);
    m_list->setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("Variables")) + 16);
    m_list->header()->setStretchLastSection(true);
    v->addWidget(m_list, 1);
    // The header and a line or two; the user makes the dock taller.
    m_list->setMinimumHeight(fontMetrics().height() * 3);
    setWidget(body);

    connect(m_filter, &QLineEdit::textChanged, this, &OperatorDock::refill);
    connect(m_todayButton, &QPushButton::clicked, this, &OperatorDock::showToday);
    connect(csv, &QPushButton::clicked, this, &OperatorDock::exportCsv);
    connect(open, &QPushButton::clicked, this, [this] {
        FileDialogSpec spec;
        spec.title = QStringLiteral("Open Session");
        spec.message = QStringLiteral("Show the operator lines of a session file");
        spec.extension = QStringLiteral("txt");
        spec.startDir = m_session.directory();
        const QString path = m_dialogs.openFile(spec);
        if (!path.isEmpty())
            showFile(path);
    });
    showToday();
}

OperatorDock::~OperatorDock()
{
    stopReading();
}

void OperatorDock::showEvent(QShowEvent *event)
{
    ensureBody();
    QDockWidget::showEvent(event);
    if (m_stale && m_today)
        showToday();
}

void OperatorDock::stopReading()
{
    // The reader sees it at its next line and ends; what it read is dropped.
    m_read->future().cancel();
    m_reading.clear();
}

void OperatorDock::showToday()
{
    ensureBody();
    stopReading();
    m_stale = false;
    m_today = true;
    m_entries = m_journal.today();
    m_day = m_journal.now().date();
    watchTheDay();
    m_source->setText(QStringLiteral("Today"));
    m_todayButton->setEnabled(false);
    refill();
}

void OperatorDock::watchTheDay()
{
    const QDateTime now = m_journal.now();
    const qint64 ms = now.msecsTo(now.date().addDays(1).startOfDay());
    m_midnight->start(int(std::clamp<qint64>(ms, 0, 60 * 60 * 1000)));
}

void OperatorDock::onWatch()
{
    if (!m_today)
        return;
    if (m_journal.now().date() == m_day)
        watchTheDay();
    else if (m_list && isVisible())
        showToday();
    else
        m_stale = true;
}

bool OperatorDock::showFile(const QString &path)
{
    // Refused before it is opened: opening a FIFO waits for a writer, and
    // reading a device may never end.
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        QString why = notASessionFile();
        if (!info.exists() || info.isFile()) {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            why = file.errorString();
        }
        m_dialogs.alert(QStringLiteral("Read Error\n\n\"") + path + QLatin1Char('"'), why,
                        Dialogs::Style::Critical);
        return false;
    }
    ensureBody();
    stopReading();
    m_reading = path;
    m_source->setText(QStringLiteral("Reading %1\u2026").arg(info.fileName()));
    auto promise = std::make_shared<QPromise<OperatorFile>>();
    m_read->setFuture(promise->future());
    promise->start();
    const QDate fallback = info.lastModified().date();
    const int cap = m_entryCap;
    m_promise = promise;
    core::startInPool([promise, path, fallback, cap] {
        OperatorFile file =
            readOperatorFile(path, fallback, cap, [&promise] { return promise->isCanceled(); });
        core::handOffToPool(); // before the window may read it
        promise->addResult(std::move(file));
        promise->finish();
    });
    return true;
}

void OperatorDock::onFileRead()
{
    const QFuture<OperatorFile> future = m_read->future();
    if (m_reading.isEmpty() || future.isCanceled() || future.resultCount() == 0)
        return;
    core::takeOverInPool();
    const OperatorFile file = future.result();
    const QString name = QFileInfo(m_reading).fileName();
    m_reading.clear();
    m_today = false;
    m_entries = file.entries;
    // An error here means the file went or changed since it was chosen: the
    // dock says so rather than raise an alert in the middle of other work.
    if (!file.error.isEmpty())
        m_source->setText(QStringLiteral("%1: %2").arg(name, file.error));
    else if (file.capped)
        m_source->setText(QStringLiteral("%1: only its first %2 operator lines")
                              .arg(name, QLocale(QLocale::English).toString(m_entryCap)));
    else
        m_source->setText(name);
    m_todayButton->setEnabled(true);
    refill();
    emit fileShown();
}

QTreeWidgetItem *OperatorDock::item(const OperatorEntry &e) const
{
    const QString when =
        e.time.toString(m_today ? QStringLiteral("HH:mm:ss") : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return new QTreeWidgetItem({when, e.controller, e.page, e.what});
}

void OperatorDock::refill()
{
    m_shown = filtered(m_entries, m_filter->text());
    m_list->clear();
    QList<QTreeWidgetItem *> items;
    for (const OperatorEntry &e : m_shown)
        items << item(e);
    m_list->addTopLevelItems(items);
    m_list->scrollToBottom();
}

void OperatorDock::exportCsv()
{
    FileDialogSpec spec;
    spec.title = QStringLiteral("Export Operator Journal");
    spec.message = QStringLiteral("Save the lines shown as CSV");
    spec.extension = QStringLiteral("csv");
    spec.nameField = QStringLiteral("operator-journal.csv");
    ensureBody();
    const QString path = m_dialogs.saveFile(spec);
    if (path.isEmpty())
        return;
    const QString why = core::saveWhole(path, toCsv(m_shown).toUtf8());
    if (!why.isEmpty())
        m_dialogs.alert(QStringLiteral("Write Error\n\n\"") + path + QLatin1Char('"'), why,
                        Dialogs::Style::Critical);
}

} // namespace journal

#include "journal/operatorjournal.h"

#include "core/clock.h"
#include "core/watchlock.h"
#include "journal/operatorwords.h"
#include "journal/sessionjournal.h"
#include "link/link.h"
#include "link/sjis.h"
#include "monitor/poller.h"
#include "transfer/backups.h"
#include "transfer/transfers.h"

#include <QFileInfo>
#include <QTimer>
#include <utility>

namespace journal {

namespace {

QString kindWord(transfer::Kind kind)
{
    switch (kind) {
    case transfer::Kind::Program:
        return QStringLiteral("Program");
    case transfer::Kind::Point:
        return QStringLiteral("Points");
    case transfer::Kind::Mbk:
        return QStringLiteral("MBK");
    }
    return QString();
}

// A reply is whole once its prompt has come.
bool complete(const QString &reply)
{
    return reply.contains(QStringLiteral("\n#"));
}

} // namespace

OperatorJournal::OperatorJournal(Sources sources, SessionJournal &session, QObject *parent)
    : QObject(parent), m_sources(std::move(sources)), m_session(session)
{
    setObjectName(QStringLiteral("operatorJournal"));
    m_unanswered = new QTimer(this);
    m_unanswered->setSingleShot(true);
    m_unanswered->setInterval(2000);
    connect(m_unanswered, &QTimer::timeout, this, [this] {
        if (m_pending)
            settle(QString());
    });
    wire::Link &link = m_sources.link;
    connect(&session, &SessionJournal::commandSent, this, [this](const QByteArray &bytes) {
        // Command lines only (keys and blocks are raw bytes), and none of the
        // poll's or a transfer's.
        if (m_transfers > 0 || !bytes.endsWith('\r') || pollTraffic())
            return;
        note({Event::Kind::Command, m_sources.clock.now(), m_sources.pageTitle(), bytes, QString(),
              controller()});
    });
    // The exchange that a command started ended: its reply is whole.
    connect(&link, &wire::Link::replied, this, [this](const QString &reply) {
        if ((!m_events.isEmpty() || m_pending) && !pollTraffic())
            note({Event::Kind::Reply, QDateTime(), QString(), QByteArray(), reply, QString()});
    });
    // A command typed in the console is not waited for: its reply comes as
    // display text.
    connect(&link, &wire::Link::received, this, [this](const QString &text, const QString &) {
        if (!m_events.isEmpty() || m_pending)
            note({Event::Kind::Display, QDateTime(), QString(), QByteArray(), text, QString()});
    });
    connect(&link, &wire::Link::stateChanged, this, [this](wire::State state, wire::Reason reason) {
        // Timed out or hung up on: the command's answer never came.
        if (state == wire::State::Disconnected &&
            (reason == wire::Reason::TimedOut || reason == wire::Reason::PeerClosed))
            note({Event::Kind::End, QDateTime(), QString(), QByteArray(), QStringLiteral("no answer"),
                  QString()});
        else if (state == wire::State::LoggingIn || state == wire::State::Disconnected)
            note({Event::Kind::End, QDateTime(), QString(), QByteArray(), QString(), QString()});
        // The session's transcript closes right after: a command still
        // waiting for its answer gets its line in it first.
        if (state == wire::State::Disconnected)
            process();
    });

    transfer::Transfers &transfers = m_sources.transfers;
    connect(&transfers, &transfer::Transfers::transferStarted, this, &OperatorJournal::beginTransfer);
    connect(&transfers, &transfer::Transfers::transferEnded, this, &OperatorJournal::endTransfer);
    connect(&transfers, &transfer::Transfers::loaded, this,
            [this](transfer::Kind kind, const QString &path, qint64 bytes, int refused) {
                add(loadWords(kindWord(kind), QFileInfo(path).fileName(), bytes, refused));
            });
    connect(&transfers, &transfer::Transfers::saved, this, [this](transfer::Kind kind, const QString &path) {
        add(QStringLiteral("%1 saved to %2").arg(kindWord(kind), QFileInfo(path).fileName()));
    });
    // A backup, and the comparison before a restore, read their listings as
    // a save does: one line for the whole, none per listing command.
    transfer::Backups &backups = m_sources.backups;
    connect(&backups, &transfer::Backups::started, this, &OperatorJournal::beginTransfer);
    connect(&backups, &transfer::Backups::ended, this, &OperatorJournal::endTransfer);
    connect(&backups, &transfer::Backups::backedUp, this, [this](const QString &folder) {
        add(QStringLiteral("Controller backed up to %1").arg(QFileInfo(folder).fileName()));
    });
    const WatchLock &lock = m_sources.watchLock;
    connect(&lock, &WatchLock::changed, this, [this, &lock](bool locked) {
        add(locked ? QStringLiteral("Watch-only lock on")
                   : QStringLiteral("Watch-only lock off: ") + lock.reason());
    });
}

void OperatorJournal::beginTransfer()
{
    process();
    if (m_pending)
        settle(QString());
    ++m_transfers;
}

void OperatorJournal::endTransfer()
{
    m_transfers = qMax(0, m_transfers - 1);
}

bool OperatorJournal::pollTraffic()
{
    return m_sources.poller.inTick();
}

QString OperatorJournal::controller() const
{
    // The name stands from the click on Connect until the connection ends:
    // the watch-only lock that connecting by a name turns on carries it too.
    const QString name = m_sources.controllerName ? m_sources.controllerName() : QString();
    if (!name.isEmpty())
        return name;
    const wire::Link &link = m_sources.link;
    return link.state() == wire::State::Disconnected ? QString() : link.address();
}

void OperatorJournal::note(Event &&event)
{
    m_events << std::move(event);
    if (!m_processPosted) {
        m_processPosted = true;
        QMetaObject::invokeMethod(this, &OperatorJournal::process, Qt::QueuedConnection);
    }
}

void OperatorJournal::process()
{
    m_processPosted = false;
    const QList<Event> events = std::exchange(m_events, {});
    for (const Event &e : events) {
        switch (e.kind) {
        case Event::Kind::Command:
            onCommand(e);
            break;
        case Event::Kind::Reply:
            if (m_pending)
                settle(replyError(e.text));
            break;
        case Event::Kind::Display:
            if (m_pending) {
                m_pendingReply += e.text;
                if (complete(m_pendingReply))
                    settle(replyError(m_pendingReply));
            }
            break;
        case Event::Kind::End:
            if (m_pending)
                settle(e.text);
            break;
        }
    }
}

void OperatorJournal::onCommand(const Event &event)
{
    if (m_pending)
        settle(QString());
    const std::optional<QString> words = describeCommand(wire::sjisDecode(event.bytes).trimmed());
    if (!words)
        return;
    m_pending = OperatorEntry{event.time, event.page, *words, event.controller};
    m_pendingReply.clear();
    // A command nobody waits for and that the controller does not answer
    // still gets its line.
    m_unanswered->start();
}

void OperatorJournal::settle(const QString &error)
{
    m_unanswered->stop();
    OperatorEntry e = *m_pending;
    m_pending.reset();
    m_pendingReply.clear();
    if (!error.isEmpty())
        e.what += QStringLiteral(" \u2014 controller: ") + error;
    append(e);
}

void OperatorJournal::append(const OperatorEntry &entry)
{
    const QDate day = now().date();
    if (!m_entries.isEmpty() && m_entries.first().time.date() < day)
        m_entries.removeIf([&day](const OperatorEntry &e) { return e.time.date() < day; });
    m_entries << entry;
    m_session.addOperatorLine(entry.page, entry.what);
    emit added(entry);
}

void OperatorJournal::add(const QString &what)
{
    process();
    if (m_pending)
        settle(QString());
    append({now(), m_sources.pageTitle(), what, controller()});
}

QDateTime OperatorJournal::now() const
{
    return m_sources.clock.now();
}

QList<OperatorEntry> OperatorJournal::today() const
{
    const QDate day = now().date();
    QList<OperatorEntry> out;
    for (const OperatorEntry &e : m_entries) {
        if (e.time.date() == day)
            out << e;
    }
    return out;
}

} // namespace journal

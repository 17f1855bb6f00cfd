#include "app/headless.h"

#include "console/consolesink.h"
#include "core/dialogs.h"
#include "link/link.h"
#include "link/wiretap.h"
#include "sim/server.h"
#include "transfer/backups.h"
#include "transfer/backupset.h"
#include "transfer/fileformat.h"
#include "transfer/texts.h"
#include "transfer/transfers.h"

#include <QCoreApplication>
#include <QCoroSignal>
#include <QCoroTask>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <utility>

namespace app {

namespace {

const QString kProgramName = QStringLiteral("quorin-monitor");
constexpr std::chrono::milliseconds kLoginTime{3000};

// Set once a result could not be written out (a full disk, a closed pipe):
// the run is then not done, whatever else it did.
bool outputLost = false;

void printOut(const QString &text)
{
    if (std::fputs(text.toLocal8Bit().constData(), stdout) < 0 || std::fflush(stdout) != 0)
        outputLost = true;
}

// Counts the login's moment of quiet from the last byte either way.
struct LoginQuiet : wire::WireTap
{
    QDeadlineTimer deadline{kLoginTime};
    void sent(const QByteArray &, bool) override { deadline.setRemainingTime(kLoginTime); }
    void received(const QByteArray &) override { deadline.setRemainingTime(kLoginTime); }
};

void printError(const QString &message)
{
    std::fputs((kProgramName + QStringLiteral(": ") + message + QLatin1Char('\n')).toLocal8Bit().constData(),
               stderr);
    std::fflush(stderr);
}

// Nobody is there to answer: alerts are kept (the first explains a failure
// nothing else explains), questions are answered No.
class NoDialogs : public Dialogs
{
public:
    void alert(const QString &message, const QString &informative, Style) override
    {
        if (m_first.isEmpty())
            m_first = (message + QLatin1Char(' ') + informative).simplified();
    }
    bool confirm(const QString &) override { return false; }
    QString openFile(const FileDialogSpec &) override { return QString(); }
    QString saveFile(const FileDialogSpec &) override { return QString(); }
    QString chooseFolder(const FileDialogSpec &) override { return QString(); }
    QString askText(const QString &, const QString &) override { return QString(); }
    QString first() const { return m_first; }

private:
    QString m_first;
};

// The transfers' notes have no console to go to; the lines a load had
// refused are kept, as "(n) " and the controller's answer, until taken.
class NoConsole : public console::ConsoleSink
{
public:
    void consoleAppendScroll(const QString &text) override
    {
        static const QRegularExpression refusal(QStringLiteral("^\\((\\d+)\\) "));
        const QRegularExpressionMatch m = refusal.match(text);
        if (m.hasMatch())
            m_refused.append({m.captured(1).toLongLong(), text.mid(m.capturedLength())});
    }
    // The lines refused since the last take: their numbers from 1, the controller's answers.
    QList<std::pair<qint64, QString>> takeRefused() { return std::exchange(m_refused, {}); }
    void consoleAppendFollow(const QString &) override {}
    void consoleReplace(const QString &) override {}
    void receiveDisplay(const QString &) override {}
    QString consoleSelection() const override { return QString(); }
    bool echoAndSend(const QString &) override { return false; }
    void liveDisplayOn() override {}
    void listNextOff() override {}
    void focusConsole() override {}

private:
    QList<std::pair<qint64, QString>> m_refused;
};

struct Result
{
    int status = kExitOk;
    QString error; // for standard error; empty when the link's end says it
};

// A reply as a terminal shows it: its lines without the final prompt.
QString replyText(const QString &reply)
{
    QStringList lines = QString(reply)
                            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                            .replace(QLatin1Char('\r'), QLatin1Char('\n'))
                            .split(QLatin1Char('\n'));
    while (!lines.isEmpty() && (lines.last().isEmpty() || lines.last() == QLatin1String("#") ||
                                lines.last() == QLatin1String("#?")))
        lines.removeLast();
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QStringList tableReport(const QString &name, const transfer::TableComparison &c)
{
    if (c.identical())
        return {name + QStringLiteral(": identical")};
    QStringList out{QStringLiteral("%1: %2 added, %3 removed, %4 changed")
                        .arg(name)
                        .arg(c.added)
                        .arg(c.removed)
                        .arg(c.changed)};
    for (const transfer::EntryChange &e : c.changes) {
        switch (e.kind) {
        case transfer::EntryChange::Kind::Added:
            out << QStringLiteral("  + %1  backup %2").arg(e.key, e.fileValue);
            break;
        case transfer::EntryChange::Kind::Removed:
            out << QStringLiteral("  - %1  controller %2").arg(e.key, e.controllerValue);
            break;
        case transfer::EntryChange::Kind::Changed:
            out << QStringLiteral("  ~ %1  controller %2, backup %3")
                       .arg(e.key, e.controllerValue, e.fileValue);
            break;
        }
    }
    return out;
}

// What restoring the backup would change, "+" for what only the backup has.
QStringList planReport(const transfer::Backups::Plan &plan)
{
    using transfer::backupFileName;
    using transfer::Kind;
    QStringList out;
    const transfer::ProgramComparison &p = plan.program;
    if (p.identical()) {
        out << backupFileName(Kind::Program) + QStringLiteral(": identical");
    } else {
        out << QStringLiteral("%1: %2 added, %3 removed")
                   .arg(backupFileName(Kind::Program),
                        transfer::countText(p.added, QStringLiteral("statement"),
                                            QStringLiteral("statements")),
                        QString::number(p.removed));
        for (const transfer::LineChange &l : p.lines) {
            if (l.kind != transfer::LineChange::Kind::Same)
                out << (l.kind == transfer::LineChange::Kind::Added ? QStringLiteral("  + ")
                                                                    : QStringLiteral("  - ")) +
                           l.text;
        }
    }
    out << tableReport(backupFileName(Kind::Point), plan.points);
    out << tableReport(backupFileName(Kind::Mbk), plan.mbk);
    return out;
}

class HeadlessRun
{
public:
    HeadlessRun(const CommandLine &commandLine) : m_commandLine(commandLine)
    {
        m_transfers.setConsole(m_console);
        QObject::connect(
            &m_link, &wire::Link::stateChanged, &m_link, [this](wire::State state, wire::Reason reason) {
                if (state != wire::State::Disconnected || !m_lostWhy.isEmpty())
                    return;
                if (reason == wire::Reason::TimedOut)
                    m_lostWhy = QStringLiteral("%1 did not answer within %2 s.")
                                    .arg(m_link.address())
                                    .arg(m_link.timing().receive.count());
                else if (reason == wire::Reason::PeerClosed)
                    m_lostWhy = QStringLiteral("%1 closed the connection.").arg(m_link.address());
                else if (reason == wire::Reason::LoginRefused)
                    m_lostWhy = QStringLiteral("%1 refused the login.").arg(m_link.address());
                m_loginRefused = reason == wire::Reason::LoginRefused;
            });
        // A restore's refused lines, under the file each came from.
        QObject::connect(&m_transfers, &transfer::Transfers::loaded, &m_link,
                         [this](transfer::Kind kind, const QString &, qint64, int) {
                             for (const auto &[number, answer] : m_console.takeRefused())
                                 m_refusedLines << refusedLine(kind, number, answer);
                         });
    }

    QCoro::Task<> run()
    {
        const Result connected = co_await connect();
        if (connected.status != kExitOk) {
            finish(connected);
            co_return;
        }
        // The task runs as the link's one action, after the login.
        m_link.enqueue([this]() -> QCoro::Task<> {
            Result result = co_await doTask();
            if (m_loginRefused) // no connection could be made after all
                result = Result{kExitNoConnection, QString()};
            if (wire::isUp(m_link.state()))
                co_await m_link.close();
            finish(result);
        });
    }

private:
    // "  mbk.mbk line 2 "MBK(6~Wrd)=": 構文エラー (Syntax Error)": the line as
    // the backup holds it, then what the controller answered, on one line.
    QString refusedLine(transfer::Kind kind, qint64 number, const QString &answer) const
    {
        const QString line = transfer::splitLines(m_restoring.at(transfer::indexOf(kind))).value(number - 1);
        QStringList said =
            QString(answer).replace(QLatin1Char('\t'), QLatin1Char(' ')).simplified().split(u' ');
        if (!said.isEmpty() && (said.last() == QLatin1String("#") || said.last() == QLatin1String("#?")))
            said.removeLast(); // the prompt after the answer
        QString why = said.join(QLatin1Char(' '));
        if (why.startsWith(line.simplified())) // the controller's echo of the line
            why = why.mid(line.simplified().size()).trimmed();
        return QStringLiteral("  %1 line %2 \"%3\": %4")
            .arg(transfer::backupFileName(kind))
            .arg(number)
            .arg(line, why.isEmpty() ? QStringLiteral("refused") : why);
    }

    void finish(Result result)
    {
        if (outputLost && (result.status == kExitOk || result.status == kExitDifferences))
            result = Result{kExitBadBackup,
                            QStringLiteral("the results could not be written to standard output.")};
        if (result.status != kExitOk && result.status != kExitDifferences) {
            QString why = result.error;
            if (why.isEmpty())
                why = !m_lostWhy.isEmpty() ? m_lostWhy : m_dialogs.first();
            printError(why.isEmpty() ? QStringLiteral("the task failed.") : why);
        }
        QCoreApplication::exit(result.status);
    }

    QCoro::Task<Result> connect()
    {
        QString address = m_commandLine.connectTo;
        if (m_commandLine.simulator) {
            sim::Options options;
            options.port = 0;
            options.thisProcessOnly = true;
            m_simulator = std::make_unique<sim::Server>(options);
            m_simulator->setRecording(false);
            if (!m_simulator->start())
                co_return Result{kExitNoConnection,
                                 QStringLiteral("the built-in simulator could not start: no "
                                                "loopback port was free.")};
            address = QStringLiteral("127.0.0.1:%1").arg(m_simulator->port());
        }
        const bool opened = co_await m_link.open(address);
        if (!opened)
            co_return Result{kExitNoConnection, QStringLiteral("cannot connect to %1.").arg(address)};
        // The login answers the controller's prompts as they come, as long as
        // nothing waits for a reply; a controller that asks for no login is
        // used as it is once the wire has been quiet for a moment. A slow one
        // still logging in is waited for: the task's first command would
        // otherwise go out as its password. One that never falls quiet (a
        // program printing on and on) is used after the receive time-out.
        LoginQuiet quiet;
        const QDeadlineTimer atMost(m_link.timing().receive);
        m_link.setWireTap(&quiet);
        while (m_link.state() == wire::State::LoggingIn && !quiet.deadline.hasExpired() &&
               !atMost.hasExpired()) {
            const std::chrono::milliseconds left(
                std::min(quiet.deadline.remainingTime(), atMost.remainingTime()));
            const auto changed = co_await qCoro(&m_link, &wire::Link::stateChanged, left);
            Q_UNUSED(changed);
        }
        m_link.setWireTap(nullptr);
        if (!wire::isUp(m_link.state()))
            co_return Result{kExitLinkLost, QString()};
        co_return Result{};
    }

    QCoro::Task<Result> doTask()
    {
        switch (m_commandLine.task) {
        case CommandLine::Task::Exec:
            co_return co_await exec();
        case CommandLine::Task::Backup:
            co_return co_await backUp();
        case CommandLine::Task::Compare:
        case CommandLine::Task::Restore:
            co_return co_await compareOrRestore();
        case CommandLine::Task::None:
            break;
        }
        co_return Result{};
    }

    QCoro::Task<Result> exec()
    {
        // A reply goes to standard output whole, however long (a script may
        // list a large program). The time-out still counts from the send: a
        // controller that never ends its reply cannot hold a script for ever.
        wire::Wait whole;
        whole.keep = wire::Wait::Keep::Whole;
        const QStringList &commands = m_commandLine.commands;
        for (qsizetype i = 0; i < commands.size(); ++i) {
            const std::optional<QString> reply = co_await m_link.exchange(commands.at(i), whole);
            if (!reply)
                co_return Result{kExitLinkLost, QString()};
            const QString shown = replyText(*reply);
            printOut(shown);
            // The controller's errors are TAB-led lines. A command after a
            // refused one may rely on it (a point set before a run): the
            // script ends there, as a shell script under "set -e" would.
            if (shown.startsWith(QLatin1Char('\t')) || shown.contains(QStringLiteral("\n\t")))
                co_return Result{kExitRefused,
                                 QStringLiteral("the controller refused \"%1\"%2")
                                     .arg(commands.at(i), i + 1 < commands.size()
                                                              ? QStringLiteral("; nothing after it was sent.")
                                                              : QStringLiteral("."))};
        }
        co_return Result{};
    }

    QCoro::Task<Result> backUp()
    {
        // A local: the backup holds on to the name while it waits.
        const QString controller =
            m_commandLine.connectName.isEmpty() ? m_link.address() : m_commandLine.connectName;
        const transfer::Backups::BackupOutcome outcome =
            co_await m_backups.backUp(m_commandLine.folder, controller);
        switch (outcome.failure) {
        case transfer::Backups::Failure::None:
            printOut(outcome.folder + QLatin1Char('\n'));
            co_return Result{};
        case transfer::Backups::Failure::LinkLost:
            co_return Result{kExitLinkLost, QString()};
        default:
            co_return Result{kExitBadBackup, outcome.error};
        }
    }

    QCoro::Task<Result> compareOrRestore()
    {
        using Failure = transfer::Backups::Failure;
        transfer::Backups::Plan plan = co_await m_backups.planRestore(m_commandLine.folder);
        if (plan.failure == Failure::LinkLost)
            co_return Result{kExitLinkLost, QString()};
        if (plan.failure != Failure::None)
            co_return Result{kExitBadBackup, plan.error};
        if (m_commandLine.task == CommandLine::Task::Compare) {
            if (!plan.notATable.isEmpty())
                co_return Result{kExitBadBackup, plan.notATable};
            printOut(planReport(plan).join(QLatin1Char('\n')) + QLatin1Char('\n'));
            co_return Result{plan.identical() ? kExitOk : kExitDifferences, QString()};
        }
        m_restoring = plan.set.texts;
        const transfer::Backups::RestoreOutcome outcome = co_await m_backups.restore(std::move(plan));
        // What was loaded, also when the link went down before the rest was.
        const QStringList report = transfer::Backups::restoreReport(outcome);
        if (!report.isEmpty())
            printOut(report.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        if (outcome.failure == Failure::LinkLost)
            co_return Result{kExitLinkLost, QString()};
        if (outcome.failure != Failure::None)
            co_return Result{kExitBadBackup, outcome.error};
        if (const int refused = outcome.refusedTotal(); refused > 0)
            co_return Result{
                kExitRefused,
                QStringLiteral("the controller refused %1 of the backup")
                        .arg(transfer::countText(refused, QStringLiteral("line"), QStringLiteral("lines"))) +
                    (m_refusedLines.isEmpty()
                         ? QStringLiteral(".")
                         : QStringLiteral(":\n") + m_refusedLines.join(QLatin1Char('\n')))};
        co_return Result{};
    }

    const CommandLine &m_commandLine;
    NoDialogs m_dialogs;
    NoConsole m_console;
    std::unique_ptr<sim::Server> m_simulator;
    wire::Link m_link{&m_dialogs};
    transfer::Transfers m_transfers{m_link, m_dialogs};
    transfer::Backups m_backups{m_link, m_transfers};
    std::array<QString, 3> m_restoring; // the texts of the backup being restored, by Kind
    QStringList m_refusedLines;
    QString m_lostWhy;
    bool m_loginRefused = false;
};

} // namespace

int runHeadless(const CommandLine &commandLine, int &argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("QuorinMonitor"));
    QCoreApplication::setApplicationName(QStringLiteral("QuorinMonitor"));
    // Standard output carries the results and standard error one line of
    // failure: the link's trace words and log lines would be in the way.
    wire::setTraceSink([](const QString &) {});
    QLoggingCategory::setFilterRules(
        QStringLiteral("quorin.*.debug=false\nquorin.*.info=false\nquorin.*.warning=false"));
    HeadlessRun run(commandLine);
    QTimer::singleShot(0, &app, [&run] { run.run(); });
    return QCoreApplication::exec();
}

} // namespace app

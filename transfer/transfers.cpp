// The file transfers: each runs with the file chosen at the click to its
// end, one coroutine inside one link action.
#include "transfer/transfers.h"

#include "console/consolesink.h"
#include "core/background.h"
#include "core/dialogs.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/sendpath.h"
#include "link/textutil.h"
#include "transfer/fileformat.h"
#include "transfer/texts.h"

#include <QCoroFuture>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>

Q_LOGGING_CATEGORY(lcTransfer, "quorin.transfer")

namespace transfer {

namespace {

const QByteArray kAttention(1, protocol::kAttention);
constexpr std::chrono::milliseconds kSaveProgressEvery{100};
// The short turn the window gets between the steps of a transfer.
constexpr std::chrono::milliseconds kTurn{5};
// The pause between the block load's attention byte and its first block.
constexpr std::chrono::milliseconds kAfterAttention{1000};
// From this many characters on, a listing is written to its file aside.
constexpr qsizetype kWriteAsideFrom = 256 * 1024;

// The prompt, the time-out counted from the last byte received: the answer to
// the attention byte, which may first end a running listing.
constexpr wire::Wait kAfterLastByte{wire::Wait::Until::Prompt, wire::Wait::Count::FromLastByte};
// A loaded line's answer: up to the first "#".
constexpr wire::Wait kHash{wire::Wait::Until::Hash, wire::Wait::Count::FromLastByte};
// A listing or the compiler's report, kept whole however long.
constexpr wire::Wait kWhole{wire::Wait::Until::Prompt, wire::Wait::Count::FromLastByte,
                            wire::Wait::Keep::Whole};
// A listing read with no attention byte before it (a backup, a compare): a
// program stopped at a breakpoint stays stopped there, and the monitor knows.
constexpr wire::Wait kWholeInPlace{wire::Wait::Until::Prompt, wire::Wait::Count::FromLastByte,
                                   wire::Wait::Keep::Whole, wire::Wait::AtBreakpoint::Stay};

QString writeListingFile(const QString &path, const QString &listing, bool dropBeforeTab)
{
    return writeSjisFile(path, listingFileText(listing, dropBeforeTab));
}

QString startDirOf(const QString &remembered)
{
    return remembered.isEmpty() ? QString() : QFileInfo(remembered).absolutePath();
}

FileDialogSpec openDialogFor(Kind kind, const QString &remembered)
{
    const Traits &t = traits(kind);
    return FileDialogSpec{t.loadTitle, t.loadMessage, t.extension, startDirOf(remembered), QString()};
}

FileDialogSpec saveDialogFor(Kind kind, const QString &remembered)
{
    const Traits &t = traits(kind);
    return FileDialogSpec{t.saveTitle, t.saveMessage, t.extension, startDirOf(remembered),
                          remembered.isEmpty() ? QString() : QFileInfo(remembered).fileName()};
}

// One transfer from its chosen file to its end. Every wait is bounded by
// the receive time-out; a wait that gives up (time-out, the link down,
// Disconnect) has been dealt with by the link, and the transfer stops there,
// as it does when a pause finds the link gone.
class TransferRun
{
public:
    using Status = std::function<void(const QString &)>;

    TransferRun(wire::Link &link, Dialogs &dialogs, console::ConsoleSink &console, Status status, Kind kind,
                const QString &path, Origin origin = Origin::File)
        : m_link(link), m_dialogs(dialogs), m_console(console), m_status(std::move(status)), m_kind(kind),
          m_traits(traits(kind, origin)), m_path(path), m_name(fileNameOf(path))
    {
    }

    // Each ends with true when the transfer went through to its end. A line
    // load given the file's text does not read the file.
    QCoro::Task<bool> lineLoad(std::optional<QString> given, QList<qint64> numbers = {});
    QCoro::Task<bool> blockLoad();
    QCoro::Task<bool> listingSave();
    // The listing command and its wait, the status line counting what has
    // arrived in `progressText`; the listing, or nothing when the wait failed.
    using ProgressText = QString (*)(const QString &fileName, qint64 chars);
    QCoro::Task<std::optional<QString>> readListing(ProgressText progressText, wire::Wait wait);
    // A line load that leaves the console as it is rather than emptying it.
    void keepConsole(bool keep) { m_keepConsole = keep; }
    // Lines of the last load that the controller (or the file rules) refused.
    int refused() const { return m_refused; }

private:
    QCoro::Task<std::optional<QString>> readFile();
    QCoro::Task<bool> opening();
    // A short turn for the window between steps; false when the link went.
    QCoro::Task<bool> breathe();
    QCoro::Task<bool> breatheShowing(QString text);
    QCoro::Task<bool> exchange(QString command);
    QCoro::Task<> blockRefused(qsizetype index, qsizetype count, QString reply);
    QCoro::Task<QString> writeListing(QString listing);
    void status(const QString &text) { m_status(text); }

    wire::Link &m_link;
    Dialogs &m_dialogs;
    console::ConsoleSink &m_console;
    Status m_status;
    Kind m_kind;
    Traits m_traits;
    QString m_path;
    QString m_name;
    int m_refused = 0;
    bool m_keepConsole = false;
};

// A file of megabytes takes a while to read and decode: it is done away from
// the window.
QCoro::Task<std::optional<QString>> readOrAlert(wire::Link &link, Dialogs &dialogs, QString path)
{
    QCoro::Task<FileText> reading = core::inBackground<FileText>([path] { return readSjisFile(path); });
    const FileText f = co_await reading;
    if (!f.ok) {
        alertAfterAction(&link, dialogs, QStringLiteral("Read Error\n\n\"") + path + QLatin1Char('"'),
                         f.error, Dialogs::Style::Critical);
        co_return std::nullopt;
    }
    co_return f.text;
}

// The file's text, or nothing after its alert or when the link went (or
// another connection came) while it was read.
QCoro::Task<std::optional<QString>> TransferRun::readFile()
{
    const quint64 generation = m_link.generation();
    QCoro::Task<std::optional<QString>> reading = readOrAlert(m_link, m_dialogs, m_path);
    std::optional<QString> text = co_await reading;
    if (m_link.generation() != generation || !wire::isUp(m_link.state()))
        text.reset();
    co_return text;
}

QCoro::Task<bool> TransferRun::breathe()
{
    const bool up = co_await m_link.pause(kTurn);
    co_return up;
}

// The progress text is drawn while the turn's pause runs, not before it: the
// controller waits no longer for the next line or block than the pause.
QCoro::Task<bool> TransferRun::breatheShowing(QString text)
{
    QCoro::Task<bool> turn = breathe(); // the pause starts here
    status(text);
    const bool up = co_await turn;
    co_return up;
}

// A command and its prompt, the time-out counted from the send.
QCoro::Task<bool> TransferRun::exchange(QString command)
{
    const std::optional<QString> reply = co_await m_link.exchange(command);
    co_return reply.has_value();
}

// The controller drops whatever it was doing (a running listing, a half
// block) on the attention byte, so every line load and listing starts clean.
QCoro::Task<bool> TransferRun::opening()
{
    m_link.sendRaw(kAttention);
    const std::optional<QString> prompt = co_await m_link.answer(kAfterLastByte);
    if (!prompt)
        co_return false;
    if (!m_keepConsole)
        m_console.consoleReplace(QString());
    const bool up = co_await breathe();
    co_return up;
}

QCoro::Task<bool> TransferRun::lineLoad(std::optional<QString> given, QList<qint64> numbers)
{
    std::optional<QString> text = std::move(given);
    if (!text) {
        QCoro::Task<std::optional<QString>> reading = readFile();
        text = co_await reading;
        if (!text)
            co_return false;
    }
    // Millions of lines are split aside too.
    QCoro::Task<QStringList> splitting =
        core::inBackground<QStringList>([all = *text] { return splitLines(all); });
    const QStringList lines = co_await splitting;
    const bool opened = co_await opening();
    if (!opened)
        co_return false;
    for (const QString &command : m_traits.clearCommands) {
        const bool ok = co_await exchange(command);
        if (!ok)
            co_return false;
    }

    qint64 total = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LoadLine line = cleanLoadLine(lines.at(i), m_traits);
        total += line.count;
        // A numbered line is stored at its number.
        const QString command =
            i < numbers.size() ? QString::number(numbers.at(i)) + QLatin1Char(' ') + line.text : line.text;
        // A line no command can carry (a control character, a character
        // Shift-JIS lacks) would go as a bare CR: it is refused here.
        bool sendable = true;
        if (line.action == LineAction::Send)
            wire::commandBytes(wire::wireLine(command), &sendable);
        if (line.action == LineAction::Refuse || !sendable) {
            ++m_refused;
            m_console.consoleAppendScroll(syntaxErrorText(
                i, line.text, sendable ? QStringLiteral("Syntax Error") : QStringLiteral("Encode Error")));
            const bool up = co_await breathe();
            if (!up)
                co_return false;
        } else if (line.action == LineAction::Send) {
            // The hash wait ends on the first "#": a program line in load mode
            // is answered by a bare "#", a refusal by an error line and CR LF
            // "#". The time-out counts from the last byte received.
            m_link.sendString(command);
            const std::optional<QString> reply = co_await m_link.answer(kHash);
            if (!reply)
                co_return false;
            if (const auto rejection = lineRejection(*reply, m_traits.replyRule)) {
                ++m_refused;
                m_console.consoleAppendScroll(lineErrorText(i, *rejection));
                const bool up = co_await breathe();
                if (!up)
                    co_return false;
            }
        }
        if (i % 100 == 0) {
            const QString progress = loadProgressText(m_name, total);
            const bool up = co_await breatheShowing(progress);
            if (!up)
                co_return false;
        }
    }

    for (const QString &command : m_traits.finishCommands) {
        // Lines stored at their own numbers keep them.
        if (!numbers.isEmpty() && command == QLatin1String(protocol::kRenumber))
            continue;
        const bool ok = co_await exchange(command);
        if (!ok)
            co_return false;
    }
    m_console.consoleAppendScroll(loadedText(m_kind, m_path));
    status(QString());
    co_return true;
}

QCoro::Task<bool> TransferRun::blockLoad()
{
    QCoro::Task<std::optional<QString>> reading = readFile();
    const std::optional<QString> text = co_await reading;
    if (!text)
        co_return false;
    // Encoding is settled before the first byte goes out: a load that stopped
    // half-way would leave the controller with a truncated program. A large
    // text is encoded aside too; the link may go down meanwhile.
    QCoro::Task<BlockText> encoding =
        core::inBackground<BlockText>([all = *text] { return blockLoadBytes(all); });
    const BlockText bytes = co_await encoding;
    const bool sameConnection = co_await m_link.pause(wire::Link::ms(0));
    if (!sameConnection)
        co_return false;
    if (!bytes.ok) {
        alertAfterAction(&m_link, m_dialogs, QStringLiteral("Encode Error\n\n") + bytes.failure, QString(),
                         Dialogs::Style::Informational);
        co_return false;
    }

    m_console.consoleReplace(QString());
    status(blockStartText(m_name));
    bool up = co_await breathe();
    if (!up)
        co_return false;
    m_link.sendRaw(kAttention);
    const std::optional<QString> prompt = co_await m_link.answer();
    if (!prompt)
        co_return false;
    // The controller needs this second after the attention byte before the
    // first block.
    up = co_await m_link.pause(kAfterAttention);
    if (!up)
        co_return false;
    m_console.consoleReplace(QString());
    up = co_await breathe();
    if (!up)
        co_return false;

    qint64 sent = 0;
    const QList<QByteArray> blocks = programBlocks(bytes.bytes);
    for (qsizetype b = 0; b < blocks.size(); ++b) {
        if (!m_link.sendRaw(blocks.at(b)))
            qCWarning(lcTransfer) << "program load: the connection is not open";
        const std::optional<QString> accepted = co_await m_link.answer();
        if (!accepted)
            co_return false;
        // An error line instead of the bare prompt: compiling what the
        // controller holds would replace its program by part of the file.
        if (accepted->contains(QLatin1Char('\t'))) {
            co_await blockRefused(b, blocks.size(), *accepted);
            co_return false;
        }
        sent += kBlockSize;
        const QString progress = loadProgressText(m_name, sent);
        up = co_await breatheShowing(progress);
        if (!up)
            co_return false;
    }

    status(kFileProcessing);
    up = co_await breathe();
    if (!up)
        co_return false;
    // Compiling takes a while; its report is kept whole however long.
    const std::optional<QString> compiled =
        co_await m_link.exchange(QLatin1String(protocol::kLoadBlocks), kWhole);
    if (!compiled)
        co_return false;

    m_console.consoleReplace(QString());
    const QString reply = text::trimNewlines(*compiled);
    // The controller names each line it could not compile on a line of its own.
    for (const QString &l : reply.split(QLatin1Char('\n')))
        m_refused += l.startsWith(QLatin1Char('\t')) ? 1 : 0;
    if (reply.size() >= 2)
        m_console.consoleReplace(reply + QStringLiteral("\r\n"));

    m_console.consoleAppendScroll(loadedText(m_kind, m_path));
    status(QString());
    co_return true;
}

// The controller's answer in the console, its blocks dropped by the attention
// byte, and an alert once the transfer has ended.
QCoro::Task<> TransferRun::blockRefused(qsizetype index, qsizetype count, QString reply)
{
    const QString shown = text::trimNewlines(reply);
    m_console.consoleReplace(shown + QStringLiteral("\r\n"));
    status(QString());
    QStringList errors;
    for (const QString &l : shown.split(QLatin1Char('\n')))
        if (l.contains(QLatin1Char('\t')))
            errors << text::trimAll(l);
    const QString message = QStringLiteral("Load Error\n\n\"") + m_path + QLatin1Char('"');
    const QString why = QStringLiteral("The controller refused block %1 of %2, so the load stopped before "
                                       "compiling the program:\n%3")
                            .arg(QString::number(index + 1), QString::number(count), errors.join(u'\n'));
    m_link.sendRaw(kAttention);
    co_await m_link.answer(kAfterLastByte); // a failed wait has been dealt with by the link
    alertAfterAction(&m_link, m_dialogs, message, why, Dialogs::Style::Critical);
}

QCoro::Task<std::optional<QString>> TransferRun::readListing(ProgressText progressText, wire::Wait wait)
{
    m_link.sendString(m_traits.listCommand);
    // A long listing takes a while; the status line counts what has arrived.
    const auto showProgress = [this, progressText] {
        status(progressText(m_name, m_link.replySoFar().size()));
    };
    // Shown at least once, so that a save that fails to write leaves its
    // progress text behind however fast the listing came.
    showProgress();
    QTimer progress;
    progress.setInterval(kSaveProgressEvery);
    QObject::connect(&progress, &QTimer::timeout, &progress, showProgress);
    progress.start();
    const std::optional<QString> listing = co_await m_link.answer(wait);
    progress.stop();
    co_return listing;
}

// The file text made and written; the reason for the user when the write
// failed, else empty. A large listing is written on a worker thread, so that
// the window does not stand still meanwhile.
QCoro::Task<QString> TransferRun::writeListing(QString listing)
{
    if (listing.size() < kWriteAsideFrom) {
        co_return writeSjisFile(m_path, listingFileText(listing, m_traits.dropBeforeTab));
    }
    const QString path = m_path;
    const bool drop = m_traits.dropBeforeTab;
    QCoro::Task<QString> written =
        core::inBackground<QString>([path, listing, drop] { return writeListingFile(path, listing, drop); });
    const QString why = co_await written;
    co_return why;
}

QCoro::Task<bool> TransferRun::listingSave()
{
    const bool opened = co_await opening();
    if (!opened)
        co_return false;
    const std::optional<QString> listing = co_await readListing(saveProgressText, kWhole);
    if (!listing)
        co_return false;
    const QString why = co_await writeListing(*listing);
    if (!why.isEmpty()) {
        qCWarning(lcTransfer).noquote()
            << QStringLiteral("Save Error, ") + m_path + QStringLiteral(", ") + why;
        alertAfterAction(&m_link, m_dialogs, QStringLiteral("Save Error\n\n\"") + m_path + QLatin1Char('"'),
                         why, Dialogs::Style::Critical);
        co_return false;
    }
    m_console.consoleAppendScroll(savedText(m_kind, m_path));
    status(QString());
    co_return true;
}

} // namespace

Transfers::Transfers(wire::Link &link, Dialogs &dialogs, QObject *parent)
    : QObject(parent), m_link(link), m_dialogs(dialogs)
{
}

Transfers::Files &Transfers::filesOf(Kind kind)
{
    return m_files.at(static_cast<std::size_t>(kind));
}

const Transfers::Files &Transfers::filesOf(Kind kind) const
{
    return m_files.at(static_cast<std::size_t>(kind));
}

QString Transfers::lastLoaded(Kind kind) const
{
    return filesOf(kind).loaded;
}

QString Transfers::lastSaved(Kind kind) const
{
    return filesOf(kind).saved;
}

QString Transfers::chooseLoadFile(Kind kind)
{
    return m_dialogs.openFile(openDialogFor(kind, filesOf(kind).loaded));
}

QString Transfers::chooseSaveFile(Kind kind)
{
    return m_dialogs.saveFile(saveDialogFor(kind, filesOf(kind).saved));
}

QCoro::Task<std::optional<QString>> Transfers::readLoadFile(QString path)
{
    return readOrAlert(m_link, m_dialogs, path);
}

QCoro::Task<std::optional<int>> Transfers::loadText(Kind kind, QString path, QString text, Origin origin,
                                                    QList<qint64> numbers, Console console)
{
    QCoro::Task<std::optional<int>> load =
        loadPath(kind, LoadMode::Lines, path, text, origin, numbers, console);
    const std::optional<int> refused = co_await load;
    co_return refused;
}

QCoro::Task<std::optional<QString>> Transfers::readListing(Kind kind, QString path, ListingFor purpose)
{
    Q_ASSERT(m_console);
    TransferRun run(
        m_link, m_dialogs, *m_console, [this](const QString &text) { emit status(text); }, kind, path);
    // A load cut off by a dropped connection leaves the controller storing
    // every line it is sent as a program line, until the attention byte or
    // the end of load mode. A listing read in place sends no attention byte,
    // so it ends load mode itself (a controller not in it just answers).
    // Its commands, like a save's, are the transfer's and not the operator's.
    emit transferStarted();
    // The user's Disconnect ends the read, and its progress text with it. (A
    // time-out leaves it beside its alert; the controller closing puts its
    // own note there.)
    const auto userClosed = std::make_shared<bool>(false); // outlives this frame, if it is dropped
    const QMetaObject::Connection watch =
        connect(&m_link, &wire::Link::stateChanged, this, [userClosed](wire::State s, wire::Reason r) {
            *userClosed = *userClosed || (r == wire::Reason::User && !wire::isUp(s));
        });
    const std::optional<QString> loadModeOff =
        co_await m_link.exchange(QLatin1String(protocol::kLoadModeWord), wire::kInPlace);
    const TransferRun::ProgressText progress =
        purpose == ListingFor::Backup ? backupProgressText : compareProgressText;
    std::optional<QString> listing;
    if (loadModeOff)
        listing = co_await run.readListing(progress, kWholeInPlace);
    disconnect(watch);
    emit transferEnded();
    if (listing || *userClosed)
        emit status(QString());
    co_return listing;
}

QCoro::Task<> Transfers::load(Kind kind, LoadMode mode, QString path)
{
    if (path.isEmpty())
        co_return;
    QCoro::Task<std::optional<int>> load = loadPath(kind, mode, path, std::nullopt, Origin::File);
    co_await load;
}

QCoro::Task<std::optional<int>> Transfers::loadPath(Kind kind, LoadMode mode, QString path,
                                                    std::optional<QString> text, Origin origin,
                                                    QList<qint64> numbers, Console console)
{
    Q_ASSERT(m_console);
    TransferRun run(
        m_link, m_dialogs, *m_console, [this](const QString &text) { emit status(text); }, kind, path,
        origin);
    run.keepConsole(console == Console::Keep);
    emit transferStarted();
    bool ok = false;
    if (mode == LoadMode::Blocks)
        ok = co_await run.blockLoad();
    else
        ok = co_await run.lineLoad(text, numbers);
    if (ok) {
        filesOf(kind).loaded = path;
        emit loaded(kind, path, QFileInfo(path).size(), run.refused());
    }
    emit transferEnded();
    co_return ok ? std::optional<int>(run.refused()) : std::nullopt;
}

QCoro::Task<> Transfers::save(Kind kind, QString path)
{
    Q_ASSERT(m_console);
    if (path.isEmpty())
        co_return;
    TransferRun run(
        m_link, m_dialogs, *m_console, [this](const QString &text) { emit status(text); }, kind, path);
    emit transferStarted();
    const bool ok = co_await run.listingSave();
    if (ok) {
        filesOf(kind).saved = path;
        emit saved(kind, path);
    }
    emit transferEnded();
}

} // namespace transfer

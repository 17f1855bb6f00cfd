// The file transfers: each runs from its confirmed file dialog to its end.
#include "transfer/transfers.h"

#include "app/dialogs.h"
#include "console/consolesink.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/textutil.h"
#include "transfer/fileformat.h"
#include "transfer/texts.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>
#include <functional>
#include <utility>

Q_LOGGING_CATEGORY(lcTransfer, "quorin.transfer")

namespace transfer {

namespace {

const QByteArray kAttention(1, protocol::kAttention);
constexpr std::chrono::milliseconds kSaveProgressEvery{100};

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

// One transfer from its confirmed dialog to its end. Every wait is bounded by
// the receive time-out; a wait that gives up has closed the link, told the
// user and cleared its flag, and the transfer stops there.
class TransferRun
{
public:
    using Status = std::function<void(const QString &)>;

    TransferRun(link::Link &link, Dialogs &dialogs, console::ConsoleSink &console, Status status, Kind kind,
                const QString &path)
        : m_link(link), m_state(link.state()), m_dialogs(dialogs), m_console(console),
          m_status(std::move(status)), m_kind(kind), m_traits(traits(kind)), m_path(path),
          m_name(fileNameOf(path))
    {
    }

    // Each returns true when the transfer went through to its end. A line
    // load given the file's text does not read the file.
    bool lineLoad(const std::optional<QString> &given);
    bool blockLoad();
    bool listingSave();
    // The listing command and its wait, the status line counting what has
    // arrived in `progressText`; `listing` gets the reply.
    using ProgressText = QString (*)(const QString &fileName, qint64 chars);
    bool readListing(QString *listing, ProgressText progressText);
    // Lines of the last load that the controller (or the file rules) refused.
    int refused() const { return m_refused; }

private:
    bool readFile(QString *text);
    bool opening();
    bool promptWait(bool pump);
    bool hashWait();
    bool exchange(const QString &command);
    void status(const QString &text) { m_status(text); }

    link::Link &m_link;
    link::LinkState &m_state;
    Dialogs &m_dialogs;
    console::ConsoleSink &m_console;
    Status m_status;
    Kind m_kind;
    const Traits &m_traits;
    QString m_path;
    QString m_name;
    int m_refused = 0;
};

std::optional<QString> readOrAlert(Dialogs &dialogs, const QString &path)
{
    const FileText f = readSjisFile(path);
    if (!f.ok) {
        dialogs.alert(QStringLiteral("Read Error\n\n\"") + path + QLatin1Char('"'), f.error,
                      Dialogs::Style::Critical);
        return std::nullopt;
    }
    return f.text;
}

bool TransferRun::readFile(QString *text)
{
    const std::optional<QString> read = readOrAlert(m_dialogs, m_path);
    if (read)
        *text = *read;
    return read.has_value();
}

bool TransferRun::promptWait(bool pump)
{
    // A flag left set would make the receive path treat the next login
    // prompts as a reply, so every way out of the wait clears it.
    bool ok = false;
    if (pump) {
        ok = m_link.waitFlagCleared(link::LinkState::Flag::WaitPrompt, true);
    } else {
        // The prompt wait proper: it sleeps on the slot until the prompt
        // comes, turning the run loop only once the reply is overdue.
        ok = m_link.receivePrompt();
    }
    if (!ok)
        m_state.setWaitPrompt(false);
    return ok;
}

bool TransferRun::hashWait()
{
    // Sleeps on the slot until the receive path sees a "#"; every other way
    // out clears the flag itself.
    return m_link.waitFlagCleared(link::LinkState::Flag::WaitSharp, false);
}

bool TransferRun::exchange(const QString &command)
{
    m_state.setWaitPrompt(true);
    m_link.sendString(command);
    return promptWait(false);
}

// The controller drops whatever it was doing (a running listing, a half
// block) on the attention byte, so every line load and listing starts clean.
bool TransferRun::opening()
{
    m_state.setWaitPrompt(true);
    m_link.sendB(kAttention);
    if (!promptWait(true))
        return false;
    m_console.consoleReplace(QString());
    link::doEvents();
    return true;
}

bool TransferRun::lineLoad(const std::optional<QString> &given)
{
    QString text = given.value_or(QString());
    if ((!given && !readFile(&text)) || !opening())
        return false;
    for (const QString &command : m_traits.clearCommands) {
        if (!exchange(command))
            return false;
    }

    const QStringList lines = splitLines(text);
    qint64 total = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LoadLine line = cleanLoadLine(lines.at(i), m_traits);
        total += line.count;
        if (line.action == LineAction::Refuse) {
            ++m_refused;
            m_console.consoleAppendScroll(syntaxErrorText(i, line.text));
            link::doEvents();
        } else if (line.action == LineAction::Send) {
            // The hash wait ends on the first "#": a program line in load mode
            // is answered by a bare "#", a refusal by an error line and CR LF "#".
            m_state.setWaitSharp(true);
            m_link.sendString(line.text);
            if (!hashWait())
                return false;
            if (const auto reply = lineRejection(m_state.rcvBuff(), m_traits.replyRule)) {
                ++m_refused;
                m_console.consoleAppendScroll(lineErrorText(i, *reply));
                link::doEvents();
            }
        }
        if (i % 100 == 0) {
            status(loadProgressText(m_name, total));
            link::doEvents();
        }
    }

    for (const QString &command : m_traits.finishCommands) {
        if (!exchange(command))
            return false;
    }
    m_console.consoleAppendScroll(loadedText(m_kind, m_path));
    status(QString());
    return true;
}

bool TransferRun::blockLoad()
{
    QString text;
    if (!readFile(&text))
        return false;
    // Encoding is settled before the first byte goes out: a load that stopped
    // half-way would leave the controller with a truncated program.
    const BlockText bytes = blockLoadBytes(text);
    if (!bytes.ok) {
        m_dialogs.alert(QStringLiteral("Encode Error\n\n") + bytes.failure);
        return false;
    }

    m_console.consoleReplace(QString());
    status(blockStartText(m_name));
    link::doEvents();
    m_state.setWaitPrompt(true);
    m_link.sendB(kAttention);
    if (!promptWait(false))
        return false;
    link::delay(1.0);
    m_console.consoleReplace(QString());
    link::doEvents();

    qint64 sent = 0;
    for (const QByteArray &block : programBlocks(bytes.bytes)) {
        m_state.clearRcv();
        m_state.setWaitPrompt(true);
        if (!m_link.sendRaw(block))
            qCWarning(lcTransfer) << "programLoadHs(), the connection is not open";
        if (!promptWait(false))
            return false;
        sent += kBlockSize;
        status(loadProgressText(m_name, sent));
        link::doEvents();
    }

    status(kFileProcessing);
    link::doEvents();
    m_state.setWaitPrompt(true);
    m_link.sendString(QLatin1String(protocol::kLoadBlocks));
    if (!promptWait(true))
        return false;

    m_console.consoleReplace(QString());
    const QString reply = text::trimNewlines(m_state.rcvBuff());
    // The controller names each line it could not compile on a line of its own.
    for (const QString &l : reply.split(QLatin1Char('\n')))
        m_refused += l.startsWith(QLatin1Char('\t')) ? 1 : 0;
    if (reply.size() >= 2)
        m_console.consoleReplace(reply + QStringLiteral("\r\n"));
    m_state.clearRcv();

    m_console.consoleAppendScroll(loadedText(m_kind, m_path));
    status(QString());
    return true;
}

bool TransferRun::readListing(QString *listing, ProgressText progressText)
{
    m_state.setWaitPrompt(true);
    m_link.sendString(m_traits.listCommand);
    // A long listing takes a while; the status line counts what has arrived.
    const auto showProgress = [this, progressText] {
        status(progressText(m_name, m_state.rcvBuff().size()));
    };
    // Shown at least once, so that a save that fails to write leaves its
    // progress text behind however fast the listing came.
    showProgress();
    QTimer progress;
    progress.setInterval(kSaveProgressEvery);
    QObject::connect(&progress, &QTimer::timeout, &progress, showProgress);
    progress.start();
    const bool ok = promptWait(true);
    progress.stop();
    if (!ok)
        return false;
    *listing = m_state.rcvBuff();
    return true;
}

bool TransferRun::listingSave()
{
    QString listing;
    if (!opening() || !readListing(&listing, saveProgressText))
        return false;
    const QString fileText = listingFileText(listing, m_traits.dropBeforeTab);
    const QString why = writeSjisFile(m_path, fileText);
    if (!why.isEmpty()) {
        qCWarning(lcTransfer).noquote()
            << QStringLiteral("Save Error, ") + m_path + QStringLiteral(", ") + why;
        m_dialogs.alert(QStringLiteral("Save Error\n\n\"") + m_path + QLatin1Char('"'), why,
                        Dialogs::Style::Critical);
        return false;
    }
    m_console.consoleAppendScroll(savedText(m_kind, m_path));
    status(QString());
    return true;
}

} // namespace

Transfers::Transfers(link::Link &link, Dialogs &dialogs, QObject *parent)
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

FileDialogSpec Transfers::loadDialog(Kind kind) const
{
    return openDialogFor(kind, filesOf(kind).loaded);
}

std::optional<QString> Transfers::readLoadFile(const QString &path)
{
    return readOrAlert(m_dialogs, path);
}

void Transfers::loadText(Kind kind, const QString &path, const QString &text)
{
    loadPath(kind, LoadMode::Lines, path, text);
}

std::optional<QString> Transfers::readListing(Kind kind, const QString &path)
{
    link::Link::BusyScope busy(m_link);
    Q_ASSERT(m_console);
    TransferRun run(
        m_link, m_dialogs, *m_console, [this](const QString &text) { emit status(text); }, kind, path);
    QString listing;
    if (!run.readListing(&listing, compareProgressText))
        return std::nullopt;
    emit status(QString());
    return listing;
}

void Transfers::load(Kind kind, LoadMode mode)
{
    const QString path = m_dialogs.openFile(openDialogFor(kind, filesOf(kind).loaded));
    if (path.isEmpty())
        return;
    loadPath(kind, mode, path);
}

void Transfers::loadPath(Kind kind, LoadMode mode, const QString &path, const std::optional<QString> &text)
{
    Q_ASSERT(m_console);
    link::Link::BusyScope busy(m_link);
    TransferRun run(
        m_link, m_dialogs, *m_console, [this](const QString &text) { emit status(text); }, kind, path);
    emit transferStarted();
    if (mode == LoadMode::Blocks ? run.blockLoad() : run.lineLoad(text)) {
        filesOf(kind).loaded = path;
        emit loaded(kind, path, QFileInfo(path).size(), run.refused());
    }
    emit transferEnded();
}

void Transfers::save(Kind kind)
{
    Q_ASSERT(m_console);
    const QString path = m_dialogs.saveFile(saveDialogFor(kind, filesOf(kind).saved));
    if (path.isEmpty())
        return;
    link::Link::BusyScope busy(m_link);
    TransferRun run(
        m_link, m_dialogs, *m_console, [this](const QString &text) { emit status(text); }, kind, path);
    emit transferStarted();
    if (run.listingSave()) {
        filesOf(kind).saved = path;
        emit saved(kind, path);
    }
    emit transferEnded();
}

void Transfers::programLoad()
{
    load(Kind::Program, LoadMode::Lines);
}

void Transfers::programLoadHs()
{
    load(Kind::Program, LoadMode::Blocks);
}

void Transfers::programSave()
{
    save(Kind::Program);
}

void Transfers::pointLoad()
{
    load(Kind::Point, LoadMode::Lines);
}

void Transfers::pointSave()
{
    save(Kind::Point);
}

void Transfers::mbkLoad()
{
    load(Kind::Mbk, LoadMode::Lines);
}

void Transfers::mbkSave()
{
    save(Kind::Mbk);
}

} // namespace transfer

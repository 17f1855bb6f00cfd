// ViewController's file transfers: program, point and MBK files to and from
// the controller. Each runs to its end inside the button action, on the main
// thread, keeping the window alive with short run-loop turns; the file rules
// themselves live in transfer/fileformat.*.
#include "app/viewcontroller.h"
#include "link/connection.h"
#include "link/textutil.h"
#include "transfer/fileformat.h"
#include "transfer/kinds.h"
#include "transfer/texts.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>

Q_LOGGING_CATEGORY(lcTransfer, "quorin.transfer")

using transfer::Kind;

namespace {

const QByteArray kAttention("\x01", 1);
constexpr std::chrono::milliseconds kSaveProgressEvery{100};

QString startDirOf(const QString &remembered)
{
    return remembered.isEmpty() ? QString() : QFileInfo(remembered).absolutePath();
}

FileDialogSpec openDialogFor(Kind kind, const QString &remembered)
{
    const transfer::Traits &t = transfer::traits(kind);
    return FileDialogSpec{t.loadTitle, t.loadMessage, t.extension, startDirOf(remembered), QString()};
}

FileDialogSpec saveDialogFor(Kind kind, const QString &remembered)
{
    const transfer::Traits &t = transfer::traits(kind);
    return FileDialogSpec{t.saveTitle, t.saveMessage, t.extension, startDirOf(remembered),
                          remembered.isEmpty() ? QString() : QFileInfo(remembered).fileName()};
}

// One transfer from its confirmed dialog to its end. Every wait is bounded by
// the receive time-out; a wait that gives up has closed the link, told the
// user and cleared its flag, and the transfer stops there.
class TransferRun
{
public:
    TransferRun(ViewController &vc, Kind kind, const QString &path)
        : m_vc(vc), m_link(vc.linkState()), m_kind(kind), m_traits(transfer::traits(kind)), m_path(path),
          m_name(transfer::fileNameOf(path))
    {
    }

    void lineLoad();
    void blockLoad();
    void listingSave();

private:
    bool readFile(QString *text);
    bool opening();
    bool promptWait(bool pump);
    bool hashWait();
    bool exchange(const QString &command);
    void status(const QString &text) { m_vc.textField2->setText(text); }
    QString &rememberedLoad();
    QString &rememberedSave();

    ViewController &m_vc;
    link::LinkState &m_link;
    Kind m_kind;
    const transfer::Traits &m_traits;
    QString m_path;
    QString m_name;
};

QString &TransferRun::rememberedLoad()
{
    switch (m_kind) {
    case Kind::Program:
        return m_vc.programLoadFile;
    case Kind::Point:
        return m_vc.pointLoadFile;
    case Kind::Mbk:
        break;
    }
    return m_vc.mbkLoadFile;
}

QString &TransferRun::rememberedSave()
{
    switch (m_kind) {
    case Kind::Program:
        return m_vc.programSaveFile;
    case Kind::Point:
        return m_vc.pointSaveFile;
    case Kind::Mbk:
        break;
    }
    return m_vc.mbkSaveFile;
}

bool TransferRun::readFile(QString *text)
{
    const transfer::FileText f = transfer::readSjisFile(m_path);
    if (!f.ok) {
        m_vc.dialogs()->alert(QStringLiteral("Read Error\n\n\"") + m_path + QLatin1Char('"'), f.error,
                              Dialogs::Style::Critical);
        return false;
    }
    *text = f.text;
    return true;
}

bool TransferRun::promptWait(bool pump)
{
    // A flag left set would make the receive path treat the next login
    // prompts as a reply, so every way out of the wait clears it.
    bool ok = false;
    if (pump) {
        ok = m_vc.waitFlagCleared(link::LinkState::Flag::WaitPrompt, true);
    } else {
        // The prompt wait proper: it sleeps on the slot until the prompt
        // comes, turning the run loop only once the reply is overdue.
        ok = m_vc.receivePrompt();
    }
    if (!ok)
        m_link.setWaitPrompt(false);
    return ok;
}

bool TransferRun::hashWait()
{
    // Sleeps on the slot until the receive path sees a "#"; every other way
    // out clears the flag itself.
    return m_vc.waitFlagCleared(link::LinkState::Flag::WaitSharp, false);
}

bool TransferRun::exchange(const QString &command)
{
    m_link.setWaitPrompt(true);
    m_vc.sendString(command);
    return promptWait(false);
}

// The controller drops whatever it was doing (a running listing, a half
// block) on the attention byte, so every line load and listing starts clean.
bool TransferRun::opening()
{
    m_link.setWaitPrompt(true);
    m_vc.sendB(kAttention);
    if (!promptWait(true))
        return false;
    m_vc.consoleReplace(QString());
    m_vc.doEvents();
    return true;
}

void TransferRun::lineLoad()
{
    QString text;
    if (!readFile(&text) || !opening())
        return;
    for (const QString &command : m_traits.clearCommands) {
        if (!exchange(command))
            return;
    }

    const QStringList lines = transfer::splitLines(text);
    qint64 total = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const transfer::LoadLine line = transfer::cleanLoadLine(lines.at(i), m_traits);
        total += line.count;
        if (line.action == transfer::LineAction::Refuse) {
            m_vc.consoleAppendScroll(transfer::syntaxErrorText(i, line.text));
            m_vc.doEvents();
        } else if (line.action == transfer::LineAction::Send) {
            // The hash wait ends on the first "#": a program line in load mode
            // is answered by a bare "#", a refusal by an error line and CR LF "#".
            m_link.setWaitSharp(true);
            m_vc.sendString(line.text);
            if (!hashWait())
                return;
            if (const auto reply = transfer::lineRejection(m_link.rcvBuff(), m_traits.replyRule)) {
                m_vc.consoleAppendScroll(transfer::lineErrorText(i, *reply));
                m_vc.doEvents();
            }
        }
        if (i % 100 == 0) {
            status(transfer::loadProgressText(m_name, total));
            m_vc.doEvents();
        }
    }

    for (const QString &command : m_traits.finishCommands) {
        if (!exchange(command))
            return;
    }
    m_vc.consoleAppendScroll(transfer::loadedText(m_kind, m_path));
    status(QString());
    rememberedLoad() = m_path;
}

void TransferRun::blockLoad()
{
    QString text;
    if (!readFile(&text))
        return;
    // Encoding is settled before the first byte goes out: a load that stopped
    // half-way would leave the controller with a truncated program.
    const transfer::BlockText bytes = transfer::blockLoadBytes(text);
    if (!bytes.ok) {
        m_vc.dialogs()->alert(QStringLiteral("Encode Error\n\n") + bytes.failure);
        return;
    }

    m_vc.consoleReplace(QString());
    status(transfer::blockStartText(m_name));
    m_vc.doEvents();
    m_link.setWaitPrompt(true);
    m_vc.sendB(kAttention);
    if (!promptWait(false))
        return;
    m_vc.delay(1.0);
    m_vc.consoleReplace(QString());
    m_vc.doEvents();

    qint64 sent = 0;
    for (const QByteArray &block : transfer::programBlocks(bytes.bytes)) {
        m_link.clearRcv();
        m_link.setWaitPrompt(true);
        if (!m_vc.link().sendRaw(block))
            qCWarning(lcTransfer) << "programLoadHs(), the connection is not open";
        if (!promptWait(false))
            return;
        sent += transfer::kBlockSize;
        status(transfer::loadProgressText(m_name, sent));
        m_vc.doEvents();
    }

    status(transfer::kFileProcessing);
    m_vc.doEvents();
    m_link.setWaitPrompt(true);
    m_vc.sendString(QStringLiteral("MMC_LOAD MMC_LOAD$"));
    if (!promptWait(true))
        return;

    m_vc.consoleReplace(QString());
    const QString reply = text::trimNewlines(m_link.rcvBuff());
    if (reply.size() >= 2)
        m_vc.consoleReplace(reply + QStringLiteral("\r\n"));
    m_link.clearRcv();

    m_vc.consoleAppendScroll(transfer::loadedText(m_kind, m_path));
    status(QString());
    rememberedLoad() = m_path;
}

void TransferRun::listingSave()
{
    if (!opening())
        return;
    m_link.setWaitPrompt(true);
    m_vc.sendString(m_traits.listCommand);
    // A long listing takes a while; the status line counts what has arrived.
    const auto showProgress = [this] { status(transfer::saveProgressText(m_name, m_link.rcvBuff().size())); };
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
        return;

    const QString fileText = transfer::listingFileText(m_link.rcvBuff(), m_traits.dropBeforeTab);
    const QString why = transfer::writeSjisFile(m_path, fileText);
    if (!why.isEmpty()) {
        qCWarning(lcTransfer).noquote()
            << QStringLiteral("Save Error, ") + m_path + QStringLiteral(", ") + why;
        m_vc.dialogs()->alert(QStringLiteral("Save Error\n\n\"") + m_path + QLatin1Char('"'), why,
                              Dialogs::Style::Critical);
        return;
    }
    m_vc.consoleAppendScroll(transfer::savedText(m_kind, m_path));
    status(QString());
    rememberedSave() = m_path;
}

} // namespace

void ViewController::programLoad()
{
    const QString path = m_dialogs->openFile(openDialogFor(Kind::Program, programLoadFile));
    if (path.isEmpty())
        return;
    link::Link::BusyScope busy(*m_lnk);
    TransferRun(*this, Kind::Program, path).lineLoad();
}

void ViewController::programLoadHs()
{
    const QString path = m_dialogs->openFile(openDialogFor(Kind::Program, programLoadFile));
    if (path.isEmpty())
        return;
    link::Link::BusyScope busy(*m_lnk);
    TransferRun(*this, Kind::Program, path).blockLoad();
}

void ViewController::programSave()
{
    const QString path = m_dialogs->saveFile(saveDialogFor(Kind::Program, programSaveFile));
    if (path.isEmpty())
        return;
    link::Link::BusyScope busy(*m_lnk);
    TransferRun(*this, Kind::Program, path).listingSave();
}

void ViewController::pointLoad()
{
    const QString path = m_dialogs->openFile(openDialogFor(Kind::Point, pointLoadFile));
    if (path.isEmpty())
        return;
    link::Link::BusyScope busy(*m_lnk);
    TransferRun(*this, Kind::Point, path).lineLoad();
}

void ViewController::pointSave()
{
    const QString path = m_dialogs->saveFile(saveDialogFor(Kind::Point, pointSaveFile));
    if (path.isEmpty())
        return;
    link::Link::BusyScope busy(*m_lnk);
    TransferRun(*this, Kind::Point, path).listingSave();
}

void ViewController::mbkLoad()
{
    const QString path = m_dialogs->openFile(openDialogFor(Kind::Mbk, mbkLoadFile));
    if (path.isEmpty())
        return;
    link::Link::BusyScope busy(*m_lnk);
    TransferRun(*this, Kind::Mbk, path).lineLoad();
}

void ViewController::mbkSave()
{
    const QString path = m_dialogs->saveFile(saveDialogFor(Kind::Mbk, mbkSaveFile));
    if (path.isEmpty())
        return;
    link::Link::BusyScope busy(*m_lnk);
    TransferRun(*this, Kind::Mbk, path).listingSave();
}

// ViewController's side of the link: connect and disconnect, the receive
// handler's hand-over to the main thread, the send path and the prompt wait.
#include "app/viewcontroller.h"
#include "link/connection.h"
#include "link/sendpath.h"
#include "link/sjis.h"
#include "link/textutil.h"
#include "ui/uihelpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QWidget>

Q_DECLARE_LOGGING_CATEGORY(lcLink)

namespace {
const QString kConnected = QStringLiteral("*** Connected to the QUORIN. ***\r");
const QString kConnectTimeout = QStringLiteral("*** Connection Timeout. ***\r");
const QString kDisconnected = QStringLiteral("\r*** Disconnected. ***\r");
const QString kPeerClosed = QStringLiteral("The controller closed the connection.");
// The time-out alert shows the end of what arrived: a half-received listing
// in full would not fit on the screen.
constexpr qsizetype kTimeoutTextLimit = 2000;
} // namespace

bool ViewController::isConnected() const
{
    // After a connect time-out the abandoned connection object stays in Conn,
    // but nothing can be waited for on it.
    return Conn != nullptr && !Conn->wasCancelled();
}

void ViewController::buttonConnect_click()
{
    // A disconnect is never deferred (a pending wait gives up at its next
    // turn); a connect waits for the exchange slot like any other action, so
    // that it never runs inside a pending wait.
    if (isConnected()) {
        disconnect();
    } else if (!m_connectQueued) {
        m_connectQueued = true;
        userAction([this] {
            m_connectQueued = false;
            connect();
        });
    }
    focusConsole();
}

void ViewController::buttonDisconnect_click()
{
    disconnect();
}

void ViewController::buttonWindowClose_click()
{
    if (m_root)
        m_root->window()->close();
}

void ViewController::connect()
{
    tabview->setCurrentIndex(0);
    selectTabId = QStringLiteral("0");
    consoleReplace(QString());
    delay(0.005);
    m_link.setWaitPrompt(false);
    m_link.setWaitSharp(false);
    m_link.setBkpMode(false);
    disconnectflg = false;
    m_peerGone = false;
    if (textField2->text() == kPeerClosed)
        textField2->clear();
    const quint64 generation = ++m_linkGeneration;
    buttonConnect->setChecked(false);

    Host = textFieldIpAddress->text();
    const link::Address addr = link::parseAddress(Host, static_cast<quint16>(Port.toUInt()));

    // The previous connection (if any) goes first: its thread is joined, so no
    // chunk of it can still be on its way into the new receive state.
    Conn.reset();
    m_link.clearRcv();
    auto conn = std::make_unique<link::Connection>();
    link::Connection *raw = conn.get();
    // Login answers are sent from the connection thread straight to this
    // connection, as sendString would send them.
    m_receiver = std::make_unique<link::ReceiveHandler>(m_link, [this, raw](const QString &line) {
        m_link.clearRcv();
        bool ok = false;
        const QByteArray bytes = link::sjisEncode(link::wireLine(line), &ok);
        if (!raw->send(bytes))
            qCWarning(lcLink) << "sendString(sendstring:), not connected";
    });
    raw->setChunkHandler([this](const QByteArray &bytes) { onChunk(bytes); });
    raw->setEndHandler([this, generation](const QString &reason) { onStreamEnd(reason, generation); });
    Conn = std::move(conn);

    bool ok = false;
    if (addr.ok) {
        ok = Conn->open(addr.host, addr.port, connectTimeout);
    } else {
        // Nothing to connect to: the same fixed wait as an unreachable host.
        QThread::msleep(static_cast<unsigned long>(connectTimeout.count()));
    }
    if (ok) {
        qCInfo(lcLink) << "Success";
        consoleReplace(kConnected);
        objectsEnable(true);
        buttonConnect->setText(QStringLiteral("Disconnect"));
        emit connectedChanged(true);
        rcv();
    } else {
        qCInfo(lcLink) << "Timeout";
        consoleReplace(kConnectTimeout);
        Conn->close(); // the cancelled object stays in Conn
    }
}

void ViewController::disconnect()
{
    ++m_linkGeneration;
    m_link.setBkpMode(false);
    objectsEnable(false);
    buttonConnect->setText(QStringLiteral("Connect"));
    disconnectflg = true;
    m_link.notifyAll();
    timerStop();
    qCInfo(lcLink) << "disconnect()";
    if (!Conn)
        return;
    sendString(QStringLiteral("CMD$ 0"));
    QThread::msleep(static_cast<unsigned long>(disconnectPause.count()));
    Conn->close();
    Conn.reset();
    m_link.setBkpMode(false);
    objectsEnable(false);
    buttonConnect->setText(QStringLiteral("Connect"));
    consoleAppendScroll(kDisconnected);
    emit connectedChanged(false);
}

void ViewController::rcv()
{
    if (Conn)
        Conn->startReceiving();
}

void ViewController::onChunk(const QByteArray &bytes)
{
    if (!m_receiver)
        return;
    const link::ChunkResult r = m_receiver->onChunk(bytes);
    for (const QString &line : r.trace)
        trace(line);
    if (!r.scheduleDisplay)
        return;
    // Chunks that queue up while the main thread is busy are shown together:
    // the console clean-up works on the whole text, so the result is the same
    // as showing them one by one, at a fraction of the cost.
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(m_displayMutex);
        m_displayBacklog += r.display;
        m_lastChunk = r.display;
        if (!m_displayPosted) {
            m_displayPosted = true;
            post = true;
        }
    }
    if (post) {
        ++m_pendingDisplays;
        QMetaObject::invokeMethod(
            this,
            [this] {
                QString text;
                QString last;
                {
                    std::lock_guard<std::mutex> lock(m_displayMutex);
                    text.swap(m_displayBacklog);
                    last.swap(m_lastChunk);
                    m_displayPosted = false;
                }
                receiveDisplay(text);
                if (selectTabId == QLatin1String("2") && textFieldVariable)
                    textFieldVariable->setText(text::trimNewlines(last));
                updateBkpControls();
                --m_pendingDisplays;
            },
            Qt::QueuedConnection);
    }
}

void ViewController::onStreamEnd(const QString &reason, quint64 generation)
{
    qCInfo(lcLink).noquote() << " did receive, " + reason;
    if (generation != m_linkGeneration)
        return;
    // A pending wait ends at once; the wake-up goes through the slot's lock so
    // that a waiter about to sleep cannot miss it.
    m_peerGone = true;
    m_link.locked([](QString &, bool &, bool &, bool &, bool &) { return 0; });
    m_link.notifyAll();
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_linkGeneration && !exchangeBusy())
                textField2->setText(kPeerClosed);
        },
        Qt::QueuedConnection);
}

void ViewController::sendString(const QString &sendstring)
{
    if (!Conn)
        return;
    m_link.clearRcv();
    const QString line = link::wireLine(sendstring);
    bool ok = false;
    QByteArray bytes = link::sjisEncode(line, &ok);
    if (!ok) {
        m_dialogs->alert(QStringLiteral("Encode Error\n\n") + line);
        bytes = QByteArray("\r");
    }
    if (!Conn || !Conn->send(bytes))
        qCWarning(lcLink) << "sendString(sendstring:), the connection is not open";
}

void ViewController::sendString1(const QString &sendstring)
{
    m_link.clearRcv();
    const link::ConsoleLine c = link::prepareConsoleLine(sendstring);
    if (c.firstIsLineNumber) {
        m_dialogs->alert(QStringLiteral("Not Command"));
        return;
    }
    consoleAppendScroll(QStringLiteral("\r\n") + c.trimmed);
    removeTop1();
    sendString(c.trimmed);
}

int ViewController::sendProgram(const QString &sendstring)
{
    m_link.clearRcv();
    const link::ConsoleLine c = link::prepareConsoleLine(sendstring);
    if (!c.firstIsLineNumber) {
        m_dialogs->alert(QStringLiteral("Not Program"));
        return -1;
    }
    m_link.setWaitPrompt(true);
    sendString(c.words.first());
    if (!receivePrompt())
        return -2;
    consoleAppendScroll(QStringLiteral("\r\n") + c.trimmed);
    removeTop1();
    sendString(c.trimmed);
    return 0;
}

void ViewController::sendB(const QByteArray &bytes)
{
    m_link.clearRcv();
    if (!Conn)
        return;
    if (!Conn->send(bytes))
        qCWarning(lcLink) << "sendB(bytes:), the connection is not open";
}

qint64 ViewController::receiveTimeoutSeconds() const
{
    return text::intOr(textFieldTimeOutSec->text(), 30);
}

bool ViewController::receivePrompt()
{
    if (!isConnected())
        return false;
    BusyScope busy(this);
    // A wait belongs to the connection its command went out on.
    const quint64 generation = m_linkGeneration;
    QElapsedTimer started;
    started.start();
    while (m_link.waitPrompt()) {
        if (disconnectflg || generation != m_linkGeneration)
            return false;
        if (m_peerGone) {
            receiveTimeout();
            return false;
        }
        const qint64 elapsed = started.elapsed() / 1000;
        if (elapsed > 1) {
            labelindicator->setVisible(true);
            labelindicator->setText(QStringLiteral("★") + QString::number(elapsed));
            ui::setTextColor(labelindicator, ui::kLightGray);
            delay(0.01);
        }
        const qint64 timeout = receiveTimeoutSeconds();
        if (elapsed >= timeout) {
            receiveTimeout();
            return false;
        }
        if (elapsed <= 1) {
            // The first two seconds sleep on the slot's condition variable
            // until the next whole second; the receive handler wakes us.
            const qint64 untilNextSecond = 1000 - started.elapsed() % 1000;
            m_link.sleepWhileWaitPrompt(ms(untilNextSecond),
                                        [this] { return disconnectflg.load() || m_peerGone.load(); });
        }
    }
    if (generation != m_linkGeneration)
        return false;
    if (selectTabId == QLatin1String("0"))
        labelindicator->setVisible(false);
    m_link.rewriteBreakpointPrompt();
    return true;
}

void ViewController::receiveTimeout()
{
    // Taken first: stopping the polling sends a command, which empties it.
    const QString arrived = m_link.rcvBuff().right(kTimeoutTextLimit);
    timerStop();
    if (Conn) {
        Conn->close();
        Conn.reset();
    }
    disconnect();
    m_dialogs->alert(QStringLiteral("Receive Timeout\n\n") + arrived);
}

bool ViewController::waitFlagCleared(link::LinkState::Flag flag, bool pump)
{
    if (!isConnected()) {
        m_link.clear(flag);
        return false;
    }
    if (m_peerGone) {
        m_link.clear(flag);
        receiveTimeout();
        return false;
    }
    BusyScope busy(this);
    const quint64 generation = m_linkGeneration;
    // The time-out counts from the last byte received: a long listing or a
    // slow load is not given up while the controller is still sending.
    QElapsedTimer started;
    started.start();
    quint64 arrivals = m_link.arrivals();
    while (m_link.isSet(flag)) {
        if (disconnectflg || generation != m_linkGeneration) {
            m_link.clear(flag);
            return false;
        }
        if (m_peerGone) {
            m_link.clear(flag);
            receiveTimeout();
            return false;
        }
        if (m_link.arrivals() != arrivals) {
            arrivals = m_link.arrivals();
            started.restart();
        }
        const qint64 elapsed = started.elapsed() / 1000;
        if (elapsed >= receiveTimeoutSeconds()) {
            m_link.clear(flag);
            receiveTimeout();
            return false;
        }
        if (pump)
            doEvents();
        else // short naps: a byte that comes during one restarts the count at most 0.1 s late
            m_link.sleepWhileSet(flag, ms(100 - started.elapsed() % 100),
                                 [this] { return disconnectflg.load() || m_peerGone.load(); });
    }
    return generation == m_linkGeneration;
}

void ViewController::commandExec(const QString &command)
{
    m_link.setWaitPrompt(true);
    sendString(command);
    receivePrompt();
}

void ViewController::delay(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000.0 + 0.5), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
}

void ViewController::doEvents()
{
    delay(0.005);
}

bool ViewController::checkmsg(const QString &msg)
{
    if (link::argumentsAreNumbers(msg))
        return true;
    m_dialogs->alert(msg + QStringLiteral("\n不正な内容です。"), QString(), Dialogs::Style::Critical);
    return false;
}

void ViewController::userAction(const std::function<void()> &action)
{
    if (m_busyDepth > 0) {
        m_deferred.push_back(action);
        return;
    }
    BusyScope busy(this);
    action();
}

void ViewController::runDeferredActions()
{
    m_deferredPosted = false;
    while (m_busyDepth == 0 && !m_deferred.empty()) {
        auto action = std::move(m_deferred.front());
        m_deferred.pop_front();
        BusyScope busy(this);
        action();
    }
}

ViewController::BusyScope::~BusyScope()
{
    if (--m_vc->m_busyDepth == 0 && !m_vc->m_deferred.empty() && !m_vc->m_deferredPosted) {
        m_vc->m_deferredPosted = true;
        QTimer::singleShot(0, m_vc, [vc = m_vc] { vc->runDeferredActions(); });
    }
}

void ViewController::wireLink()
{
    QObject::connect(buttonConnect, &QPushButton::clicked, this, [this] { buttonConnect_click(); });
    QObject::connect(buttonDisconnect, &QPushButton::clicked, this,
                     [this] { buttonDisconnect_click(); });
    QObject::connect(buttonWindowClose, &QPushButton::clicked, this,
                     [this] { buttonWindowClose_click(); });
}

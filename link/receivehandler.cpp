#include "link/receivehandler.h"

#include "link/protocol.h"

namespace link {

ReceiveHandler::ReceiveHandler(LinkState &state, std::function<void(const QString &)> send)
    : m_state(state), m_send(std::move(send))
{
}

ChunkResult ReceiveHandler::onChunk(const QByteArray &bytes)
{
    ChunkResult r;
    if (bytes.isEmpty())
        return r;
    m_state.noteArrival();

    QString text;
    // The controller's bare prompt after certain replies arrives as a short
    // packet with a blank and 0x80 at fixed places; it reads as "\n#".
    if (bytes.size() >= 4 && static_cast<unsigned char>(bytes.at(3)) == 0x80 && bytes.at(2) == ' ') {
        text = QStringLiteral("\n#");
        m_decoder.reset();
    } else {
        text = m_decoder.decode(bytes);
    }

    const bool nobodyWaits =
        m_state.locked([&](QString &rcv, bool &waitPrompt, bool &waitSharp, bool &, bool &) {
            rcv += text;
            return !waitPrompt && !waitSharp;
        });

    if (nobodyWaits) {
        if (text.contains(kLoginPrompt)) {
            m_send(kLoginName);
            r.trace << text + QStringLiteral("<-") + kLoginName;
            text.clear();
        }
        if (text.contains(kPasswordPrompt)) {
            m_send(kPassword);
            r.trace << text + QStringLiteral("<-") + kPassword;
            text.clear();
            m_send(QLatin1String(protocol::kMachineModeOff));
            r.trace << QLatin1String(protocol::kMachineModeOff);
            m_state.setBeginConnect(true);
            r.loggedIn = true;
        }
        r.scheduleDisplay = true;
    }

    if (text.contains(QStringLiteral("\n#?"))) {
        m_state.setBkpMode(true);
        r.trace << QStringLiteral("bkpmode");
    }

    const bool cleared =
        m_state.locked([](QString &rcv, bool &waitPrompt, bool &waitSharp, bool &bkpMode, bool &) {
            bool any = false;
            if (waitPrompt && rcv.contains(QStringLiteral("\n#"))) {
                waitPrompt = false;
                bkpMode = false;
                any = true;
            }
            if (waitSharp && rcv.contains(QLatin1Char('#'))) {
                waitSharp = false;
                any = true;
            }
            return any;
        });
    // Only a cleared flag ends a wait; a reply's earlier chunks leave the
    // waiter watching.
    if (cleared)
        m_state.notifyAll();

    r.display = text;
    return r;
}

} // namespace link

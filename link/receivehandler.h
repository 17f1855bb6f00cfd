// What happens to each chunk the controller sends: decode, append to rcvBuff,
// answer the login prompts, notice the breakpoint prompt, end the waits.
// Runs on the connection thread; it knows nothing of widgets.
#pragma once

#include "link/linkstate.h"
#include "link/sjis.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace link {

inline const QString kLoginPrompt = QStringLiteral("Login    :");
inline const QString kPasswordPrompt = QStringLiteral("Password :");
inline const QString kLoginName = QStringLiteral("KDW4721");
inline const QString kPassword = QStringLiteral("QVRNT");

struct ChunkResult
{
    QString display; // the chunk's text as the console should get it
    bool scheduleDisplay = false;
    bool loggedIn = false; // the password was answered
    QStringList trace;     // lines for standard output
};

class ReceiveHandler
{
public:
    // `send` sends one command line (the send path's sendString); it is called
    // from within onChunk, in protocol order.
    ReceiveHandler(LinkState &state, std::function<void(const QString &)> send);

    ChunkResult onChunk(const QByteArray &bytes);

private:
    LinkState &m_state;
    std::function<void(const QString &)> m_send;
    SjisStreamDecoder m_decoder;
};

} // namespace link

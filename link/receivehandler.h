// What happens to each chunk the controller sends: decode, append to rcvBuff,
// answer the login prompts, notice the breakpoint prompt, end the waits.
// Runs on the connection thread; it knows nothing of widgets.
#pragma once

#include "link/linkstate.h"
#include "link/protocol.h"
#include "link/sjis.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace link {

inline const QString kLoginPrompt = QString::fromLatin1(protocol::kLoginPrompt);
inline const QString kPasswordPrompt = QString::fromLatin1(protocol::kPasswordPrompt);
inline const QString kLoginName = QString::fromLatin1(protocol::kLoginName);
inline const QString kPassword = QString::fromLatin1(protocol::kPassword);

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

// What happens to each chunk the controller sends: decode it, answer the
// login prompts (also when a prompt arrives in pieces), notice the
// breakpoint prompt. Pure: it owns no socket and sends nothing itself.
#pragma once

#include "link/protocol.h"
#include "link/sjis.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace wire {

inline const QString kLoginPrompt = QString::fromLatin1(protocol::kLoginPrompt);
inline const QString kPasswordPrompt = QString::fromLatin1(protocol::kPasswordPrompt);
inline const QString kLoginName = QString::fromLatin1(protocol::kLoginName);
inline const QString kPassword = QString::fromLatin1(protocol::kPassword);

struct ChunkResult
{
    QString text;              // the chunk decoded: what a reply collects
    QString display;           // what the console should get of it (login answered: nothing)
    QStringList answers;       // command lines to send now, in order (the login)
    bool loggedIn = false;     // the password was answered
    bool loginRefused = false; // asked for the login again after the password
    bool breakpoint = false;   // a "#?" prompt arrived
    QStringList trace;         // lines for standard output
};

class ReceiveHandler
{
public:
    // `waiting`: a wait is pending, so the chunk is a reply and no login
    // prompt is looked for in it.
    ChunkResult onChunk(const QByteArray &bytes, bool waiting);
    // A new connection: nothing of the last one is carried over.
    void reset();

private:
    SjisStreamDecoder m_decoder;
    // The end of the text that arrived while nobody waited and answered no
    // prompt yet: a prompt split across packets is found when its rest comes.
    QString m_unanswered;
    QString m_lastChars; // the end of the chunk before, for a prompt split across reads
    bool m_passwordGiven = false;
};

} // namespace wire

#include "link/receivehandler.h"

namespace wire {

namespace {
// Long enough to hold all but the last character of either prompt.
const qsizetype kPromptTail = std::max(kLoginPrompt.size(), kPasswordPrompt.size()) - 1;

// A prompt asks only as the last thing that arrived: the controller waits for
// the answer. The same words inside a reply (a string printed, a program line
// listed) are text.
bool asks(const QString &seen, const QString &prompt)
{
    qsizetype end = seen.size();
    while (end > 0 && seen.at(end - 1) == QLatin1Char(' '))
        --end;
    return QStringView(seen).first(end).endsWith(prompt);
}
} // namespace

void ReceiveHandler::reset()
{
    m_decoder.reset();
    m_unanswered.clear();
    m_lastChars.clear();
    m_passwordGiven = false;
}

ChunkResult ReceiveHandler::onChunk(const QByteArray &bytes, bool waiting)
{
    ChunkResult r;
    if (bytes.isEmpty())
        return r;

    // The controller's bare prompt after certain replies arrives as a short
    // packet with a blank and 0x80 at fixed places; it reads as "\n#".
    if (bytes.size() >= 4 && static_cast<unsigned char>(bytes.at(3)) == 0x80 && bytes.at(2) == ' ') {
        r.text = QStringLiteral("\n#");
        m_decoder.reset();
    } else {
        r.text = m_decoder.decode(bytes);
    }
    r.display = r.text;

    if (!waiting) {
        const QString seen = m_unanswered + r.text;
        bool answered = false;
        if (asks(seen, kLoginPrompt) && m_passwordGiven) {
            // The controller took neither: answering again would go on for
            // ever, and anything sent next would be read as a login name.
            r.loginRefused = true;
            m_unanswered.clear();
            return r;
        }
        if (asks(seen, kLoginPrompt)) {
            r.answers << kLoginName;
            r.trace << r.text + QStringLiteral("<-") + kLoginName;
            answered = true;
        }
        if (asks(seen, kPasswordPrompt)) {
            m_passwordGiven = true;
            r.answers << kPassword << QString::fromLatin1(protocol::kMachineModeOff);
            r.trace << r.text + QStringLiteral("<-") + kPassword
                    << QString::fromLatin1(protocol::kMachineModeOff);
            r.loggedIn = true;
            answered = true;
        }
        if (answered) {
            r.display.clear();
            m_unanswered.clear();
        } else {
            m_unanswered = seen.right(kPromptTail);
        }
    } else {
        m_unanswered.clear();
    }

    // A slow controller's "\n#?" may come a character a read: the last two
    // characters before this read are looked at with its first two.
    const QString edge = m_lastChars + r.text.left(2);
    m_lastChars = r.text.size() >= 2 ? r.text.right(2) : edge.right(2);
    if (r.text.contains(QStringLiteral("\n#?")) || edge.contains(QStringLiteral("\n#?"))) {
        r.breakpoint = true;
        r.trace << QStringLiteral("bkpmode");
    }
    return r;
}

} // namespace wire

// The three kinds of file the monitor moves to and from the controller, and
// everything in which their transfers differ, in one table.
#pragma once

#include <QString>
#include <QStringList>

namespace transfer {

enum class Kind { Program, Point, Mbk };

// How the reply to one loaded line tells that the controller refused it.
enum class ReplyRule {
    // A program line in load mode is answered by a bare "#"; a refusal carries
    // a full error line and therefore a prompt after a line feed.
    TextBeforePrompt,
    // Point and MBK lines are answered by CR LF "#"; anything longer is an error.
    MoreThanTwoPieces,
};

struct Traits
{
    QString loadTitle;
    QString loadMessage;
    QString saveTitle;
    QString saveMessage;
    QString extension;          // without the dot
    QStringList clearCommands;  // sent before the first line of a load
    QStringList finishCommands; // sent after the last line of a load
    bool cutComments = false;   // "/*" starts a comment to the end of the line
    bool refuseHash = false;    // a line starting with "#" is not sent
    ReplyRule replyRule = ReplyRule::MoreThanTwoPieces;
    QString listCommand;        // the listing a save writes to its file
    bool dropBeforeTab = false; // listing lines lose their number (up to the TAB)
    QString loadedWord;         // first piece of the completion texts
    QString savedWord;
};

const Traits &traits(Kind kind);

// Where a text to load comes from: a file someone may have written ("/*"
// starts a comment), or a listing kept as the controller gave it (a backup,
// whose hashes prove it untouched), where every character is the line's own.
enum class Origin { File, Listing };
// The traits of `kind` for a text of `origin`.
Traits traits(Kind kind, Origin origin);

} // namespace transfer

// The files' side of the transfers: reading Shift-JIS files, cleaning the
// lines a load sends, the byte blocks of the block load, the text a listing
// save writes, and writing that text so that a failure never leaves half a file.
#pragma once

#include "transfer/kinds.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace transfer {

// A program block carries at most this many bytes of text after its 0x02.
constexpr qsizetype kBlockSize = 1400;
inline const QString kEndOfLoad = QStringLiteral("END_OF_LOAD");

struct FileText
{
    bool ok = false;
    QString text;
    QString error; // why there is no text, for the user
};

// Strict cp932: a file with any byte sequence that is not Shift-JIS gives no
// text at all, so that nothing garbled reaches the controller.
FileText decodeFileBytes(const QByteArray &bytes);
FileText readSjisFile(const QString &path);

// The lines of a line load: split at every LF and at every CR that no LF
// follows, empty pieces kept, so that a line's index is its position in the
// file as an editor numbers it.
QStringList splitLines(const QString &text);

enum class LineAction { Skip, Send, Refuse };

struct LoadLine
{
    qint64 count = 0; // characters as read (CR included), for the progress total
    LineAction action = LineAction::Skip;
    QString text; // what is sent (Send) or shown (Refuse)
};

LoadLine cleanLoadLine(const QString &raw, const Traits &t);

// The reply text to report for a loaded line, or nothing when the controller
// accepted it. `reply` is everything received up to the first "#".
std::optional<QString> lineRejection(const QString &reply, ReplyRule rule);

struct BlockText
{
    bool ok = false;
    QByteArray bytes;
    QString failure; // the first line that Shift-JIS cannot represent, numbered
};

// The program text as the block load sends it: up to END_OF_LOAD, one LF
// appended, strict Shift-JIS.
BlockText blockLoadBytes(const QString &text);
// 0x02 in front of every kBlockSize bytes (the last block may be shorter).
QList<QByteArray> programBlocks(const QByteArray &bytes);

// The file text of a listing save: one LF-terminated line per listing line,
// without empty lines and the prompt line ("#" or "#?"); program listings lose everything
// up to and including the first TAB (the controller's line number). With
// `numbers`, each line written adds the number it lost there (-1 for none).
QString listingFileText(const QString &listing, bool dropBeforeTab, QList<qint64> *numbers = nullptr);

// Writes `text` as Shift-JIS, replacing any existing file as a whole. Returns
// an empty string on success, otherwise the reason for the user.
QString writeSjisFile(const QString &path, const QString &text);

} // namespace transfer

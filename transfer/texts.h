// What the transfers write into the status line and the console.
#pragma once

#include "transfer/kinds.h"

#include <QString>

namespace transfer {

inline const QString kFileProcessing = QStringLiteral("File Processing...");

// `n` and the noun for that many: "1 line", "2 lines".
QString countText(qint64 n, const QString &one, const QString &many);

// The file name as the texts show it: the last component of the path.
QString fileNameOf(const QString &path);

// Q name Q " Loading..." total/1000 "(KB)": `total` characters or bytes so far.
QString loadProgressText(const QString &fileName, qint64 total);
// Q name Q " Loading": the block load before its first block.
QString blockStartText(const QString &fileName);
// Q name Q " Saving..." chars/1000 "(KB)": `chars` of the listing received so far.
QString saveProgressText(const QString &fileName, qint64 chars);
// Q name Q " Comparing..." chars/1000 "(KB)": the listing a comparison reads.
QString compareProgressText(const QString &fileName, qint64 chars);
// Q name Q " Backing up..." chars/1000 "(KB)": a table a backup reads.
QString backupProgressText(const QString &fileName, qint64 chars);
// "(" i+1 ") " reply: `index` counts the file's lines from 0.
QString lineErrorText(qint64 index, const QString &reply);
// "(" i+1 ") " line CR TAB message CR: a line refused before it was sent.
QString syntaxErrorText(qint64 index, const QString &line, const QString &message);
// e.g. "Program Loaded " Q path Q "\r#".
QString loadedText(Kind kind, const QString &path);
QString savedText(Kind kind, const QString &path);

} // namespace transfer

#include "transfer/fileformat.h"

#include "core/savefile.h"
#include "link/protocol.h"
#include "link/sjis.h"
#include "link/textutil.h"

#include <QFile>
#include <QFileInfo>

namespace transfer {

namespace {
QString numbered(qsizetype index, const QString &line)
{
    return QLatin1Char('(') + QString::number(index + 1) + QStringLiteral(") ") + text::trimNewlines(line);
}
} // namespace

FileText decodeFileBytes(const QByteArray &bytes)
{
    FileText r;
    bool ok = false;
    r.text = wire::sjisDecode(bytes, &ok);
    if (ok) {
        r.ok = true;
        return r;
    }
    r.text.clear();
    // Name the first bad line, counted as splitLines counts them (a CR not
    // followed by a LF ends a line too): neither byte ever occurs inside a
    // double-byte character, so the lines can be decoded one by one.
    qsizetype number = 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        const bool end = i == bytes.size() || bytes.at(i) == '\n' ||
                         (bytes.at(i) == '\r' && (i + 1 == bytes.size() || bytes.at(i + 1) != '\n'));
        if (!end)
            continue;
        bool lineOk = false;
        wire::sjisDecode(bytes.mid(start, i - start), &lineOk);
        if (!lineOk) {
            r.error = QStringLiteral("Line %1 is not valid Shift-JIS text.").arg(number);
            return r;
        }
        ++number;
        start = i + 1;
    }
    // Every line decodes alone, so the whole must have failed at its very end.
    r.error = QStringLiteral("The file is not valid Shift-JIS text.");
    return r;
}

FileText readSjisFile(const QString &path)
{
    // A pipe or a device would be read on the window's thread until its
    // writer ends, which may be never.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        FileText r;
        r.error = QStringLiteral("Not a regular file.");
        return r;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        FileText r;
        r.error = file.errorString();
        return r;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        FileText r;
        r.error = file.errorString();
        return r;
    }
    return decodeFileBytes(bytes);
}

QStringList splitLines(const QString &text)
{
    // A CR not followed by LF ends a line too: sent inside one line it would
    // reach the controller as two lines behind one wait, and the line
    // numbers of the error reports would drift. The CR stays with its line
    // (it counts in the progress total and is trimmed before sending).
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n')) {
            lines << text.mid(start, i - start);
            start = i + 1;
        } else if (c == QLatin1Char('\r') && (i + 1 == text.size() || text.at(i + 1) != QLatin1Char('\n'))) {
            lines << text.mid(start, i + 1 - start);
            start = i + 1;
        }
    }
    lines << text.mid(start);
    return lines;
}

LoadLine cleanLoadLine(const QString &raw, const Traits &t)
{
    LoadLine r;
    if (raw.isEmpty())
        return r;
    r.count = raw.size();
    QString line = text::trimBlanks(text::trimNewlines(raw));
    if (t.cutComments) {
        const qsizetype comment = line.indexOf(QStringLiteral("/*"));
        if (comment >= 0)
            line.truncate(comment);
    }
    if (line.isEmpty())
        return r;
    r.text = line;
    r.action = (t.refuseHash && line.startsWith(QLatin1Char('#'))) ? LineAction::Refuse : LineAction::Send;
    return r;
}

std::optional<QString> lineRejection(const QString &reply, ReplyRule rule)
{
    switch (rule) {
    case ReplyRule::TextBeforePrompt: {
        const qsizetype prompt = reply.indexOf(QStringLiteral("\n#"));
        if (prompt < 0)
            return std::nullopt;
        return reply.left(prompt);
    }
    case ReplyRule::MoreThanTwoPieces: {
        const QStringList pieces = reply.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
        if (pieces.size() <= 2)
            return std::nullopt;
        return pieces.at(1) + QLatin1Char('\n') + pieces.at(2);
    }
    }
    return std::nullopt;
}

BlockText blockLoadBytes(const QString &text)
{
    BlockText r;
    QString sent = text;
    const qsizetype end = sent.indexOf(kEndOfLoad);
    if (end >= 0)
        sent.truncate(end);
    sent += QLatin1Char('\n');
    bool ok = false;
    r.bytes = wire::sjisEncode(sent, &ok);
    if (ok) {
        r.ok = true;
        return r;
    }
    r.bytes.clear();
    const QStringList lines = splitLines(sent);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        bool lineOk = false;
        wire::sjisEncode(lines.at(i), &lineOk);
        if (!lineOk) {
            r.failure = numbered(i, lines.at(i));
            return r;
        }
    }
    r.failure = text::trimNewlines(sent);
    return r;
}

QList<QByteArray> programBlocks(const QByteArray &bytes)
{
    QList<QByteArray> blocks;
    blocks.reserve(bytes.size() / kBlockSize + 1);
    for (qsizetype offset = 0; offset < bytes.size(); offset += kBlockSize) {
        QByteArray block;
        const QByteArray piece = bytes.mid(offset, kBlockSize);
        block.reserve(piece.size() + 1);
        block.append(protocol::kBlockStart);
        block.append(piece);
        blocks.append(block);
    }
    return blocks;
}

QString listingFileText(const QString &listing, bool dropBeforeTab, QList<qint64> *numbers)
{
    QString out;
    const QStringList pieces = listing.split(QLatin1Char('\r'), Qt::KeepEmptyParts);
    for (const QString &piece : pieces) {
        QString line = text::trimNewlines(piece);
        qint64 number = -1;
        if (dropBeforeTab) {
            const qsizetype tab = line.indexOf(QLatin1Char('\t'));
            if (tab >= 0) {
                bool ok = false;
                number = line.left(tab).toLongLong(&ok);
                number = ok && number >= 0 ? number : -1;
                line = line.mid(tab + 1);
            }
        }
        // The prompt line, also in its breakpoint form, is no program text.
        if (line.isEmpty() || line == QLatin1String(protocol::kPrompt) ||
            line == QLatin1String(protocol::kBreakPrompt))
            continue;
        out += line;
        out += QLatin1Char('\n');
        if (numbers)
            numbers->append(number);
    }
    return out;
}

QString writeSjisFile(const QString &path, const QString &text)
{
    bool ok = false;
    const QByteArray bytes = wire::sjisEncode(text, &ok);
    if (!ok) {
        const QStringList lines = splitLines(text);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            bool lineOk = false;
            wire::sjisEncode(lines.at(i), &lineOk);
            if (!lineOk)
                return QStringLiteral("Shift-JIS cannot represent this line: ") + numbered(i, lines.at(i));
        }
        return QStringLiteral("Shift-JIS cannot represent the text.");
    }
    return core::saveWhole(path, bytes);
}

} // namespace transfer

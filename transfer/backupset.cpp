#include "transfer/backupset.h"

#include "core/savefile.h"
#include "link/protocol.h"
#include "link/sjis.h"
#include "link/textutil.h"
#include "transfer/fileformat.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace transfer {

namespace {

const QString kManifest = QStringLiteral("manifest.json");
constexpr int kManifestFormat = 1;

QString tableWord(Kind kind)
{
    switch (kind) {
    case Kind::Program:
        return QStringLiteral("program");
    case Kind::Point:
        return QStringLiteral("points");
    case Kind::Mbk:
        break;
    }
    return QStringLiteral("mbk");
}

bool isPrompt(const QString &line)
{
    return line == QLatin1String(protocol::kPrompt) || line == QLatin1String(protocol::kBreakPrompt);
}

QString hexHash(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString quotedName(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// A manifest's line numbers for `text`: one whole number per line as a load
// splits the text, rising; nothing when they are not that.
std::optional<QList<qint64>> lineNumbersOf(const QJsonValue &value, const QString &text)
{
    QStringList lines = splitLines(text);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != lines.size())
        return std::nullopt;
    QList<qint64> numbers;
    for (const QJsonValue &v : array) {
        const qint64 n = v.toInteger(-1);
        if (!v.isDouble() || double(n) != v.toDouble() || n < 0 ||
            (!numbers.isEmpty() && n <= numbers.last()))
            return std::nullopt;
        numbers.append(n);
    }
    return numbers;
}

} // namespace

QString backupFileName(Kind kind)
{
    return tableWord(kind) + QLatin1Char('.') + traits(kind).extension;
}

std::optional<QString> strayListingLine(Kind kind, const QString &listing)
{
    static const QRegularExpression programLine(QStringLiteral("^(\\d+)\\t"));
    static const QRegularExpression pointLine(
        QStringLiteral("^SETP[ ]+-?\\d+([ ]+[-+]?(\\d+\\.?\\d*|\\.\\d+)){4}[ ]*$"));
    static const QRegularExpression mbkLine(QStringLiteral("^MBK\\(\\d+~(Wrd|Int|Lng)\\)=[-+]?\\d+[ ]*$"));

    const QStringList pieces = listing.split(QLatin1Char('\r'), Qt::KeepEmptyParts);
    QStringList lines;
    for (const QString &piece : pieces) {
        const QString line = text::trimNewlines(piece);
        if (!line.isEmpty())
            lines << line;
    }
    if (lines.isEmpty() || !isPrompt(lines.last()))
        return lines.isEmpty() ? QString() : lines.last();
    lines.removeLast();

    qint64 lastNumber = -1;
    for (const QString &line : std::as_const(lines)) {
        if (kind == Kind::Program) {
            const QRegularExpressionMatch m = programLine.match(line);
            bool ok = false;
            const qint64 number = m.hasMatch() ? m.captured(1).toLongLong(&ok) : -1;
            if (!ok || number <= lastNumber)
                return line;
            lastNumber = number;
            continue;
        }
        const QRegularExpression &form = kind == Kind::Point ? pointLine : mbkLine;
        if (!form.match(line).hasMatch())
            return line;
    }
    return std::nullopt;
}

QString backupFolderName(const QString &controller, const QDateTime &time)
{
    // Letters and digits of any script stay (a controller named in Japanese
    // keeps its name); blanks and whatever a file system may refuse go.
    static const QRegularExpression unsafe(QStringLiteral("[^\\p{L}\\p{M}\\p{N}._-]+"));
    QString name = controller.trimmed();
    name.replace(unsafe, QStringLiteral("-"));
    // A leading dot would hide the folder, as the unfinished ones are hidden.
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("controller");
    // A file system takes 255 bytes a name: the hidden folder's mark and the
    // time need room too, whatever script the name is in.
    constexpr qsizetype kMaxNameBytes = 150;
    while (name.toUtf8().size() > kMaxNameBytes)
        name.chop(name.back().isLowSurrogate() ? 2 : 1);
    return name + QLatin1Char('_') + time.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
}

WrittenBackup writeBackup(const QString &parentDir, const BackupMeta &meta,
                          const std::array<QString, 3> &listings)
{
    const QFileInfo parent(parentDir);
    if (!parent.isDir())
        return {QString(), quotedName(parentDir) + QStringLiteral(" is not a folder.")};
    const QString name = backupFolderName(meta.controller, meta.time);

    QTemporaryDir partial(
        QDir(parent.absoluteFilePath()).filePath(QLatin1Char('.') + name + QStringLiteral("-XXXXXX")));
    if (!partial.isValid())
        return {QString(), QStringLiteral("Cannot write into ") + quotedName(parentDir) +
                               QStringLiteral(": ") + partial.errorString()};

    QJsonArray files;
    for (const Kind kind : kBackupKinds) {
        QList<qint64> numbers;
        const QString text =
            listingFileText(listings.at(indexOf(kind)), traits(kind).dropBeforeTab, &numbers);
        bool ok = false;
        const QByteArray bytes = wire::sjisEncode(text, &ok);
        const QString fileName = backupFileName(kind);
        if (!ok)
            return {QString(),
                    QStringLiteral("The controller's %1 holds text that Shift-JIS cannot represent.")
                        .arg(tableWord(kind))};
        const QString why = core::saveWhole(partial.filePath(fileName), bytes);
        if (!why.isEmpty())
            return {QString(), quotedName(fileName) + QStringLiteral(": ") + why};
        QJsonObject entry{{QStringLiteral("table"), tableWord(kind)},
                          {QStringLiteral("name"), fileName},
                          {QStringLiteral("size"), static_cast<qint64>(bytes.size())},
                          {QStringLiteral("sha256"), hexHash(bytes)}};
        // The program file keeps no numbers (it is the save's format); the
        // manifest keeps them, when every line had one.
        if (kind == Kind::Program && !numbers.contains(-1)) {
            QJsonArray lineNumbers;
            for (const qint64 n : std::as_const(numbers))
                lineNumbers.append(n);
            entry.insert(QStringLiteral("lineNumbers"), lineNumbers);
        }
        files.append(entry);
    }
    const QJsonObject manifest{
        {QStringLiteral("format"), kManifestFormat},
        {QStringLiteral("controller"), meta.controller},
        {QStringLiteral("time"), meta.time.toOffsetFromUtc(meta.time.offsetFromUtc()).toString(Qt::ISODate)},
        {QStringLiteral("monitorVersion"), meta.monitorVersion},
        {QStringLiteral("files"), files},
    };
    const QString why = core::saveWhole(partial.filePath(kManifest), QJsonDocument(manifest).toJson());
    if (!why.isEmpty())
        return {QString(), quotedName(kManifest) + QStringLiteral(": ") + why};
    // A backup of the same controller in the same second (Backup pressed
    // twice, a script run twice) goes beside the first, its name ending "_2", "_3": a
    // backup is never refused, nor one put over another, for its name.
    const QDir into(parent.absoluteFilePath());
    constexpr int kMostInOneSecond = 100;
    for (int n = 1; n <= kMostInOneSecond; ++n) {
        const QString final = into.filePath(n == 1 ? name : name + QLatin1Char('_') + QString::number(n));
        if (QFileInfo::exists(final))
            continue;
        if (!QDir().rename(partial.path(), final)) {
            if (QFileInfo::exists(final))
                continue; // taken meanwhile
            return {QString(),
                    QStringLiteral("Cannot name the backup ") + quotedName(final) + QLatin1Char('.')};
        }
        partial.setAutoRemove(false);
        return {final, QString()};
    }
    return {QString(),
            QStringLiteral("Cannot name the backup: ") + quotedName(into.filePath(name)) +
                QStringLiteral(" and the next %1 names after it exist.").arg(kMostInOneSecond - 1)};
}

ReadBackup readBackup(const QString &folder)
{
    const QDir dir(folder);
    const auto refused = [](const QString &why) { return ReadBackup{std::nullopt, why}; };
    if (!QFileInfo(folder).isDir())
        return refused(quotedName(folder) + QStringLiteral(" is not a folder."));
    QFile manifestFile(dir.filePath(kManifest));
    if (!manifestFile.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("The backup has no readable manifest.json."));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(manifestFile.readAll(), &parseError);
    const QJsonObject manifest = doc.object();
    if (parseError.error != QJsonParseError::NoError || !doc.isObject() ||
        manifest.value(QStringLiteral("format")).toInt() != kManifestFormat)
        return refused(QStringLiteral("manifest.json is not a backup manifest this monitor reads."));

    BackupSet set;
    set.folder = dir.absolutePath();
    set.meta.controller = manifest.value(QStringLiteral("controller")).toString();
    set.meta.time = QDateTime::fromString(manifest.value(QStringLiteral("time")).toString(), Qt::ISODate);
    set.meta.monitorVersion = manifest.value(QStringLiteral("monitorVersion")).toString();
    const QJsonArray files = manifest.value(QStringLiteral("files")).toArray();
    for (const Kind kind : kBackupKinds) {
        QJsonObject entry;
        for (const QJsonValue &v : files)
            if (v.toObject().value(QStringLiteral("table")).toString() == tableWord(kind))
                entry = v.toObject();
        const QString name = entry.value(QStringLiteral("name")).toString();
        // Only a plain name in the folder itself: a manifest must not send the
        // restore to read files elsewhere.
        if (entry.isEmpty() || name.isEmpty() || name != QFileInfo(name).fileName() ||
            name == QLatin1String("..") || name == QLatin1String("."))
            return refused(QStringLiteral("manifest.json names no %1 file.").arg(tableWord(kind)));
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return refused(quotedName(name) + QStringLiteral(" is missing from the backup."));
        const QByteArray bytes = file.readAll();
        if (bytes.size() != entry.value(QStringLiteral("size")).toInteger(-1) ||
            hexHash(bytes).compare(entry.value(QStringLiteral("sha256")).toString(), Qt::CaseInsensitive) !=
                0)
            return refused(quotedName(name) + QStringLiteral(" has changed since the backup was made."));
        const FileText text = decodeFileBytes(bytes);
        if (!text.ok)
            return refused(quotedName(name) + QStringLiteral(": ") + text.error);
        set.texts.at(indexOf(kind)) = text.text;
        set.paths.at(indexOf(kind)) = dir.absoluteFilePath(name);
        if (kind == Kind::Program && entry.contains(QStringLiteral("lineNumbers"))) {
            const std::optional<QList<qint64>> numbers =
                lineNumbersOf(entry.value(QStringLiteral("lineNumbers")), text.text);
            if (!numbers)
                return refused(QStringLiteral("manifest.json does not number the lines of ") +
                               quotedName(name) + QLatin1Char('.'));
            set.programNumbers = *numbers;
        }
    }
    return {std::move(set), QString()};
}

} // namespace transfer

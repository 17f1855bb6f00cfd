#include "transfer/backups.h"

#include "core/background.h"
#include "link/link.h"
#include "link/textutil.h"
#include "transfer/fileformat.h"
#include "transfer/texts.h"
#include "transfer/transfers.h"

#include <QDateTime>
#include <QDir>
#include <algorithm>
#include <memory>

namespace transfer {

namespace {

QString tableText(Kind kind)
{
    switch (kind) {
    case Kind::Program:
        return QStringLiteral("program");
    case Kind::Point:
        return QStringLiteral("point table");
    case Kind::Mbk:
        break;
    }
    return QStringLiteral("MBK table");
}

// A line quoted with its control characters (an undecodable byte arrives as
// one) made visible.
QString visible(const QString &line)
{
    QString shown;
    for (const QChar c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown +=
                QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
        else
            shown += c;
    }
    return shown;
}

// Why a listing is no table.
QString strayLineError(Kind kind, const QString &stray, const QString &consequence)
{
    return QStringLiteral("The controller's %1 listing holds a line that is not part of it: \"%2\". %3")
        .arg(tableText(kind), visible(stray), consequence);
}

// The first line of a listing that a restore could not send back: a control
// character other than TAB cannot go out inside a command line. Quoted as the
// restore would send it, with its number.
std::optional<QString> unsendableLine(Kind kind, const QString &listing)
{
    const auto breaksLine = [](QChar c) {
        return c != u'\r' && c != u'\n' && !text::isOneLine(QStringView(&c, 1));
    };
    if (std::none_of(listing.cbegin(), listing.cend(), breaksLine))
        return std::nullopt;
    QList<qint64> numbers;
    const QStringList lines =
        listingFileText(listing, traits(kind).dropBeforeTab, &numbers).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (!text::isOneLine(lines.at(i)))
            return numbers.at(i) < 0 ? lines.at(i)
                                     : QString::number(numbers.at(i)) + QLatin1Char(' ') + lines.at(i);
    }
    return std::nullopt;
}

// The three comparisons of a plan, made away from the window: a listing can
// hold a hundred thousand lines.
struct Comparisons
{
    ProgramComparison program;
    TableComparison points;
    TableComparison mbk;
};

// A program's lines as "number statement", as they are typed: the listing, and
// the backup's file with the numbers its manifest keeps.
QStringList numberedListing(const QString &listing)
{
    QList<qint64> numbers;
    const QStringList lines = listingFileText(listing, true, &numbers).split(QLatin1Char('\n'));
    QStringList out;
    for (qsizetype i = 0; i < numbers.size(); ++i) // the text ends with a line feed
        out << QString::number(numbers.at(i)) + QLatin1Char(' ') + lines.at(i);
    return out;
}

QStringList numberedBackup(const QString &text, const QList<qint64> &numbers)
{
    const Traits rules = traits(Kind::Program, Origin::Listing);
    const QStringList raw = splitLines(text);
    QStringList out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const LoadLine line = cleanLoadLine(raw.at(i), rules);
        if (line.action == LineAction::Send)
            out << QString::number(numbers.value(i, -1)) + QLatin1Char(' ') + line.text;
    }
    return out;
}

Comparisons compareAll(const std::array<QString, 3> &listings, const std::array<QString, 3> &texts,
                       const QList<qint64> &programNumbers)
{
    const auto sides = [&](Kind kind) {
        return std::pair{listedLines(listings.at(indexOf(kind)), kind),
                         loadedLines(texts.at(indexOf(kind)), kind, Origin::Listing)};
    };
    Comparisons c;
    // A backup that keeps its program's line numbers puts each line back at
    // its number: a line the controller holds at another number (where a
    // jump no longer lands) is a change.
    const auto [programNow, programThen] =
        programNumbers.isEmpty()
            ? sides(Kind::Program)
            : std::pair{numberedListing(listings.at(indexOf(Kind::Program))),
                        numberedBackup(texts.at(indexOf(Kind::Program)), programNumbers)};
    c.program = comparePrograms(programNow, programThen);
    const auto [pointsNow, pointsThen] = sides(Kind::Point);
    c.points = compareTables(pointsNow, pointsThen);
    const auto [mbkNow, mbkThen] = sides(Kind::Mbk);
    c.mbk = compareTables(mbkNow, mbkThen);
    return c;
}

} // namespace

int Backups::RestoreOutcome::refusedTotal() const
{
    int total = 0;
    for (const int r : refused)
        total += r > 0 ? r : 0;
    return total;
}

QStringList Backups::restoreReport(const RestoreOutcome &outcome)
{
    QStringList lines;
    for (const Kind kind : {Kind::Point, Kind::Mbk, Kind::Program}) {
        const int refused = outcome.refused.at(indexOf(kind));
        if (refused < 0)
            continue;
        lines << backupFileName(kind) + QStringLiteral(": ") +
                     (refused == 0
                          ? QStringLiteral("loaded, no line refused")
                          : QStringLiteral("loaded, %1 refused")
                                .arg(countText(refused, QStringLiteral("line"), QStringLiteral("lines"))));
    }
    return lines;
}

Backups::Backups(wire::Link &link, Transfers &transfers, QObject *parent)
    : QObject(parent), m_link(link), m_transfers(transfers)
{
}

QCoro::Task<Backups::BackupOutcome> Backups::backUp(QString parentDir, QString controller)
{
    emit started();
    BackupOutcome outcome = co_await readAndWrite(parentDir, controller);
    emit ended();
    co_return outcome;
}

QCoro::Task<Backups::Plan> Backups::planRestore(QString folder)
{
    emit started();
    Plan plan = co_await readAndCompare(folder);
    emit ended();
    co_return plan;
}

QCoro::Task<Backups::BackupOutcome> Backups::readAndWrite(QString parentDir, QString controller)
{
    const QDateTime started = QDateTime::currentDateTime();
    std::array<QString, 3> listings;
    for (const Kind kind : kBackupKinds) {
        const std::optional<QString> listing =
            co_await m_transfers.readListing(kind, backupFileName(kind), Transfers::ListingFor::Backup);
        // The reading has left the status line as the link's end wants it:
        // the controller closing has its note there.
        if (!listing)
            co_return BackupOutcome{Failure::LinkLost, QString(), QString()};
        if (const std::optional<QString> stray = strayListingLine(kind, *listing)) {
            emit status(QString());
            co_return BackupOutcome{Failure::NotATable, QString(),
                                    strayLineError(kind, *stray, QStringLiteral("Nothing was written."))};
        }
        // A backup that could not be restored whole is refused while the
        // program can still be mended.
        if (const std::optional<QString> line = unsendableLine(kind, *listing)) {
            emit status(QString());
            co_return BackupOutcome{
                Failure::Unsendable, QString(),
                QStringLiteral("The controller's %1 holds a line with a control character, which a restore "
                               "cannot send back: \"%2\". Nothing was written.")
                    .arg(tableText(kind), visible(*line))};
        }
        listings.at(indexOf(kind)) = *listing;
    }

    const BackupMeta meta{controller, started, QStringLiteral(QUORIN_VERSION)};
    // Writing megabytes of listings and hashing them is done aside.
    // (The task is named: GCC 12 destroys a lambda temporary inside a
    // co_await expression too early.)
    QCoro::Task<WrittenBackup> writing = core::inBackground<WrittenBackup>(
        [parentDir, meta, listings] { return writeBackup(parentDir, meta, listings); });
    const WrittenBackup written = co_await writing;
    if (written.folder.isEmpty()) {
        emit status(QString());
        co_return BackupOutcome{Failure::Files, QString(), written.error};
    }
    emit status(QStringLiteral("Backed up to \"%1\"").arg(QDir::toNativeSeparators(written.folder)));
    emit backedUp(written.folder);
    co_return BackupOutcome{Failure::None, written.folder, QString()};
}

QCoro::Task<Backups::Plan> Backups::readAndCompare(QString folder)
{
    Plan plan;
    QCoro::Task<ReadBackup> reading = core::inBackground<ReadBackup>([folder] { return readBackup(folder); });
    ReadBackup read = co_await reading;
    if (!read.set) {
        plan.failure = Failure::Files;
        plan.error = read.error;
        co_return plan;
    }
    plan.set = std::move(*read.set);

    std::array<QString, 3> listings;
    for (const Kind kind : kBackupKinds) {
        const std::optional<QString> listing =
            co_await m_transfers.readListing(kind, plan.set.paths.at(indexOf(kind)));
        if (!listing) {
            plan.failure = Failure::LinkLost;
            co_return plan;
        }
        // Output of a running program, or bytes the code page lacks, show
        // as entries the controller does not hold.
        if (const std::optional<QString> stray = strayListingLine(kind, *listing);
            stray && plan.notATable.isEmpty())
            plan.notATable = strayLineError(kind, *stray, QStringLiteral("Nothing was compared."));
        listings.at(indexOf(kind)) = *listing;
    }
    plan.generation = m_link.generation();
    const std::array<QString, 3> texts = plan.set.texts;
    const QList<qint64> numbers = plan.set.programNumbers;
    QCoro::Task<Comparisons> comparing = core::inBackground<Comparisons>(
        [listings, texts, numbers] { return compareAll(listings, texts, numbers); });
    Comparisons c = co_await comparing;
    plan.program = std::move(c.program);
    plan.points = std::move(c.points);
    plan.mbk = std::move(c.mbk);
    co_return plan;
}

QCoro::Task<Backups::RestoreOutcome> Backups::restore(Plan plan)
{
    RestoreOutcome outcome;
    if (!wire::isUp(m_link.state()) || m_link.generation() != plan.generation) {
        outcome.failure = Failure::ConnectionChanged;
        outcome.error = QStringLiteral(
            "The connection the backup was compared on has ended: compare again to restore it.");
        co_return outcome;
    }
    // What is loaded is what was compared, or nothing.
    const QString folder = plan.set.folder;
    QCoro::Task<ReadBackup> rereading =
        core::inBackground<ReadBackup>([folder] { return readBackup(folder); });
    const ReadBackup now = co_await rereading;
    if (!now.holds(plan.set)) {
        outcome.failure = Failure::Files;
        outcome.error = now.set
                            ? QStringLiteral("The backup has changed since the comparison: compare again to "
                                             "restore it.")
                            : now.error;
        co_return outcome;
    }
    // The data first, the program last.
    for (const Kind kind : {Kind::Point, Kind::Mbk, Kind::Program}) {
        const std::size_t i = indexOf(kind);
        const QList<qint64> numbers = kind == Kind::Program ? plan.set.programNumbers : QList<qint64>();
        // The first load empties the console; what each refused stays in view.
        const Transfers::Console console =
            kind == Kind::Point ? Transfers::Console::Clear : Transfers::Console::Keep;
        const std::optional<int> refused = co_await m_transfers.loadText(
            kind, plan.set.paths.at(i), plan.set.texts.at(i), Origin::Listing, numbers, console);
        if (!refused) {
            outcome.failure = Failure::LinkLost;
            co_return outcome;
        }
        outcome.refused.at(i) = *refused;
    }
    emit status(QStringLiteral("Restored from \"%1\"").arg(QDir::toNativeSeparators(folder)));
    co_return outcome;
}

} // namespace transfer

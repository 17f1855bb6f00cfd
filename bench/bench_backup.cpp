// What a whole-controller backup costs against doing it by hand. One
// in-process simulator holds a 5,000-line program, 1,000 points and 4,000 MBK
// words; rounds alternate, side by side, between
//   - the backup (Backups::backUp: LIST 0 0, PLS -1, S_MBK -1, each listing
//     checked, then the folder, its three files and manifest.json written
//     and hashed on a worker thread), one link action;
//   - the program, point and MBK saves one after the other, each its own
//     link action as three menu clicks run them (attention byte, a run-loop
//     turn, the listing, the file written).
// Every round writes into fresh folders; the first round is not counted.
// The backup should take at most 1.05x the three saves.
#include "sim/machine.h"
#include "support/fixture.h"
#include "transfer/backups.h"
#include "transfer/backupset.h"
#include "transfer/fileformat.h"
#include "transfer/kinds.h"
#include "transfer/transfers.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr int kProgramLines = 5000;
constexpr int kPoints = 1000;
constexpr int kMbkWords = 4000;
constexpr int kRuns = 31;
constexpr int kWarmUps = 1;
constexpr int kTimeoutMs = 60000;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double millis(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// A controller that has been worked on: every value non-zero, so that
// nothing is left out of a listing.
void fill(sim::Machine &m)
{
    for (int i = 1; i <= kProgramLines; ++i)
        m.handleLine(QStringLiteral("%1 PRINT \"step %2\" : A=A+%2 : B=B*2-%2").arg(i * 10).arg(i));
    for (int p = 1; p <= kPoints; ++p)
        m.handleLine(QStringLiteral("SETP %1 %2 %3 %4 %5")
                         .arg(p)
                         .arg(p * 13 + 1)
                         .arg(-p * 7 - 1)
                         .arg(p + 500)
                         .arg(90000 - p));
    for (int a = 0; a < kMbkWords; ++a)
        m.handleLine(QStringLiteral("MBK(%1~Wrd)=%2").arg(a).arg(a * 31 % 65535 + 1));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The path a save writes the table of `kind` to in `dir`.
QString savePath(const QString &dir, transfer::Kind kind)
{
    return QDir(dir).filePath(transfer::backupFileName(kind));
}

// One backup into `dir`; the new folder, or empty when it failed.
QString backUp(MonitorFixture &f, transfer::Backups &backups, const QString &dir, double &ms)
{
    transfer::Backups::BackupOutcome outcome;
    QElapsedTimer t;
    t.start();
    const bool ended = f.run(
        [&backups, &outcome, dir]() -> QCoro::Task<> {
            outcome = co_await backups.backUp(dir, QStringLiteral("127.0.0.1"));
        },
        kTimeoutMs);
    ms = millis(t);
    if (!ended || outcome.failure != transfer::Backups::Failure::None) {
        std::fprintf(stderr, "the backup failed: %s\n", qPrintable(outcome.error));
        return QString();
    }
    return outcome.folder;
}

// The three saves into `dir`, one link action each; false when one failed.
bool saveAll(MonitorFixture &f, const QString &dir, double &ms)
{
    transfer::Transfers *transfers = &f.window->transfers();
    using Save = QCoro::Task<> (transfer::Transfers::*)(QString);
    const std::array<std::pair<transfer::Kind, Save>, 3> saves{{
        {transfer::Kind::Program, &transfer::Transfers::programSave},
        {transfer::Kind::Point, &transfer::Transfers::pointSave},
        {transfer::Kind::Mbk, &transfer::Transfers::mbkSave},
    }};
    QElapsedTimer t;
    t.start();
    for (const auto &[kind, save] : saves) {
        if (!f.run([transfers, save, path = savePath(dir, kind)] { return (transfers->*save)(path); },
                   kTimeoutMs) ||
            transfers->lastSaved(kind) != savePath(dir, kind)) {
            std::fprintf(stderr, "the save of %s did not go through\n",
                         qPrintable(transfer::backupFileName(kind)));
            return false;
        }
    }
    ms = millis(t);
    return true;
}

// Both ways must have written the same tables, else the comparison is moot.
bool sameFiles(const QString &backupFolder, const QString &saveDir)
{
    for (const transfer::Kind kind : transfer::kBackupKinds) {
        const QByteArray backedUp = readFile(QDir(backupFolder).filePath(transfer::backupFileName(kind)));
        const QByteArray saved = readFile(savePath(saveDir, kind));
        if (saved.isEmpty() || backedUp != saved) {
            std::fprintf(stderr, "%s: the backup wrote %lld bytes, the save %lld\n",
                         qPrintable(transfer::backupFileName(kind)), static_cast<long long>(backedUp.size()),
                         static_cast<long long>(saved.size()));
            return false;
        }
    }
    return QFileInfo::exists(QDir(backupFolder).filePath(QStringLiteral("manifest.json")));
}

// The backup's steps one by one, each timed on its own: the three listings
// read through the link (one link action), their check, and the folder
// written and hashed (here on the main thread); beside them the three files
// written as the saves write them.
struct Parts
{
    std::vector<double> read, check, write, saveWrite;
};

bool timeParts(MonitorFixture &f, const QString &dir, Parts &parts)
{
    transfer::Transfers *transfers = &f.window->transfers();
    std::array<std::optional<QString>, 3> listings;
    QElapsedTimer t;
    t.start();
    const bool ended = f.run(
        [transfers, &listings]() -> QCoro::Task<> {
            for (const transfer::Kind kind : transfer::kBackupKinds)
                listings.at(static_cast<std::size_t>(kind)) = co_await transfers->readListing(
                    kind, transfer::backupFileName(kind), transfer::Transfers::ListingFor::Backup);
        },
        kTimeoutMs);
    parts.read.push_back(millis(t));
    std::array<QString, 3> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (!ended || !listings.at(i)) {
            std::fprintf(stderr, "a listing did not arrive\n");
            return false;
        }
        texts.at(i) = *listings.at(i);
    }

    t.restart();
    bool stray = false;
    for (const transfer::Kind kind : transfer::kBackupKinds)
        stray =
            transfer::strayListingLine(kind, texts.at(static_cast<std::size_t>(kind))).has_value() || stray;
    parts.check.push_back(millis(t));

    const QString backupDir = dir + QStringLiteral("/backup");
    const QString saveDir = dir + QStringLiteral("/saves");
    QDir().mkpath(backupDir);
    QDir().mkpath(saveDir);
    t.restart();
    const transfer::WrittenBackup written = transfer::writeBackup(
        backupDir, transfer::BackupMeta{QStringLiteral("127.0.0.1"), QDateTime::currentDateTime(), QString()},
        texts);
    parts.write.push_back(millis(t));

    t.restart();
    bool saved = true;
    for (const transfer::Kind kind : transfer::kBackupKinds) {
        const QString text = transfer::listingFileText(texts.at(static_cast<std::size_t>(kind)),
                                                       transfer::traits(kind).dropBeforeTab);
        saved = transfer::writeSjisFile(savePath(saveDir, kind), text).isEmpty() && saved;
    }
    parts.saveWrite.push_back(millis(t));

    if (stray || written.folder.isEmpty() || !saved || !sameFiles(written.folder, saveDir)) {
        std::fprintf(stderr, "the backup's steps did not write what the backup writes\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "quorin.*.debug=false;quorin.*.info=false");
    QApplication app(argc, argv);

    MonitorFixture f;
    if (!f.connectToSim()) {
        std::fprintf(stderr, "could not log in to the simulator\n");
        return 1;
    }
    f.sim->withMachine(fill);
    // The window's backups run the same way: one Backups over its link and
    // transfers.
    transfer::Backups backups(f.link(), f.window->transfers());

    std::vector<double> backupMs;
    std::vector<double> saveMs;
    std::vector<double> pairedRatios; // each round's backup / its saves
    std::array<qint64, 3> bytes{};
    for (int run = 0; run < kWarmUps + kRuns; ++run) {
        const QString round = f.tempDir.filePath(QStringLiteral("round-%1").arg(run));
        const QString backupDir = round + QStringLiteral("/backup");
        const QString saveDir = round + QStringLiteral("/saves");
        if (!QDir().mkpath(backupDir) || !QDir().mkpath(saveDir)) {
            std::fprintf(stderr, "could not make the round's folders\n");
            return 1;
        }
        // Each goes first in every other round.
        double backupTime = 0;
        double saveTime = 0;
        QString folder;
        bool saved = false;
        if (run % 2 == 0) {
            folder = backUp(f, backups, backupDir, backupTime);
            saved = !folder.isEmpty() && saveAll(f, saveDir, saveTime);
        } else {
            saved = saveAll(f, saveDir, saveTime);
            folder = saved ? backUp(f, backups, backupDir, backupTime) : QString();
        }
        if (folder.isEmpty() || !saved || !sameFiles(folder, saveDir))
            return 1;
        if (run == 0) {
            for (const transfer::Kind kind : transfer::kBackupKinds)
                bytes.at(static_cast<std::size_t>(kind)) = QFileInfo(savePath(saveDir, kind)).size();
        }
        if (run >= kWarmUps) {
            backupMs.push_back(backupTime);
            saveMs.push_back(saveTime);
            pairedRatios.push_back(backupTime / saveTime);
        }
    }

    Parts parts;
    for (int run = 0; run < kRuns; ++run) {
        if (!timeParts(f, f.tempDir.filePath(QStringLiteral("parts-%1").arg(run)), parts))
            return 1;
    }

    const double backup = median(backupMs);
    const double saves = median(saveMs);
    std::printf("backup benchmark (medians of %d alternating rounds after %d warm-up; loopback, in-process "
                "simulator; %d program lines, %d points, %d MBK words; files of %lld, %lld and %lld bytes)\n",
                kRuns, kWarmUps, kProgramLines, kPoints, kMbkWords, static_cast<long long>(bytes[0]),
                static_cast<long long>(bytes[1]), static_cast<long long>(bytes[2]));
    const auto [backupLow, backupHigh] = std::minmax_element(backupMs.begin(), backupMs.end());
    const auto [savesLow, savesHigh] = std::minmax_element(saveMs.begin(), saveMs.end());
    std::printf("    rounds: backup %.0f-%.0f ms, saves %.0f-%.0f ms\n", *backupLow, *backupHigh, *savesLow,
                *savesHigh);
    std::printf("backup vs three saves: %.2fx (backup %.0f ms, saves %.0f ms; target <= 1.05)\n",
                backup / saves, backup, saves);
    // Load from elsewhere on the machine comes and goes between rounds; the
    // two halves of one round see much the same.
    std::printf("    median of the rounds' own ratios: %.2fx\n", median(pairedRatios));
    std::printf("where the backup's time goes (medians): three listings read %.1f ms, checked %.1f ms, "
                "folder written and hashed %.1f ms (off the main thread in the backup); the saves' three "
                "file writes %.1f ms\n",
                median(parts.read), median(parts.check), median(parts.write), median(parts.saveWrite));
    return 0;
}

// The session file's rules: chunks written and read back, operator lines, file names, which old files go.
#include "journal/operatorlog.h"
#include "journal/operatorwords.h"
#include "journal/sessionjournal.h"
#include "journal/transcript.h"
#include "support/files.h"
#include "support/stallprobe.h"

#include <QtCore>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace journal;
using namespace Qt::StringLiterals;

namespace {

QStringList linesOf(const QString &path)
{
    return QString::fromUtf8(bytesOf(path)).split(u'\n', Qt::SkipEmptyParts);
}

QByteArray receivedIn(const QString &path)
{
    QByteArray bytes;
    for (const QString &line : linesOf(path)) {
        if (const auto e = parseLine(line); e && e->kind == Entry::Kind::Received)
            bytes += unescapeChunk(e->text);
    }
    return bytes;
}

bool ownerOnly(const QString &path)
{
    const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                        QFile::WriteOther | QFile::ExeOther;
    const QFile::Permissions p = QFileInfo(path).permissions();
    return !(p & others) && (p & QFile::ReadOwner) && (p & QFile::WriteOwner);
}

} // namespace

class TestTranscript : public QObject
{
    Q_OBJECT

private slots:
    // An output, a jog, teaching, MBK, an assignment, the morning clock: test_journal's operatorLines.
    void commandsInWords()
    {
        const char *const cases[][3] = {
            {"relay off", "OFF -3", "Relay -3 OFF"},
            {"mbk bit", "ON 70003", "MBK bit 70003 ON"},
            {"cu output", "OFF 2005", "CU output 2005 OFF"},
            {"clear outputs", "CLR_OUTP 1", "All outputs cleared"},
            {"jog minus", "RMVS U_A -250", "Jog U- 250 pulses"},
            {"stop", "STOP Z_A STP_I", "Stop Z"},
            {"point set", "SETP 7 100 -20 &H1F 0", "Point 7 set to 100 -20 &H1F 0"},
            {"counters set", "SETP -1 1 2 3 4", "Counters set to 1 2 3 4"},
            {"clear counters", "CLRPOS -1", "Counters cleared"},
            {"clock, afternoon", "SET_RTC &H20261207 : SET_RTC &H00135210",
             "Clock set to 2026-12-07 13:52:10"},
            {"general output", "H_ON 2", "General output 2 ON"},
            {"two statements", "ON 1 : OFF 2", "Output 1 ON; Output 2 OFF"},
            // Keeping the session going is nobody's action.
            {"keep-alive", "CMD$", "<none>"},
            {"keep-alive with argument", "CMD$ 0", "<none>"},
            {"blank", "  ", "<none>"},
            {"setting", "ACCEL ALL_A 5000", "<none>"},
        };
        for (const auto &[name, line, words] : cases) {
            const QString got = describeCommand(QString::fromLatin1(line)).value_or(u"<none>"_s);
            QVERIFY2(got == QLatin1String(words), qPrintable(QLatin1String(name) + u": "_s + got));
        }
    }

    // The date is only in the header: a day passes when the clock goes back more than half a day.
    void reopenedDates()
    {
        const char *const cases[][3] = {
            // The times of the entries, and their days of December 2026.
            {"past midnight", "23:59:59.000 00:00:01.000 09:00:00.000", "7 8 8"},
            {"a millisecond out of order", "10:00:00.005 10:00:00.004 10:00:01.000", "7 7 7"},
            {"clock set back by the network", "10:00:30.000 10:00:02.000 11:00:00.000", "7 7 7"},
            {"autumn clock change", "02:59:59.000 02:00:00.000 23:59:00.000", "7 7 7"},
            {"two midnights", "22:00:00.000 01:00:00.000 23:00:00.000 00:30:00.000", "7 8 8 9"},
        };
        for (const auto &[name, times, days] : cases) {
            QString file = sessionHeader(QDateTime(QDate(2026, 12, 7), QTime(21, 0)), u"h"_s) + u'\n';
            for (const QString &t : QString::fromLatin1(times).split(u' '))
                file += t + u" ! I/O | Output 1 ON\n"_s + t + u" > x\\r\n"_s;
            QStringList got;
            for (const OperatorEntry &e : operatorEntries(file, QDate()))
                got << QString::number(QDate(2026, 11, 30).daysTo(e.time.date()));
            QVERIFY2(got.join(u' ') == QLatin1String(days),
                     qPrintable(QLatin1String(name) + u": "_s + got.join(u' ')));
        }
        // A connection idle overnight, less than half a day between its lines: the file says the day changed.
        QTemporaryDir dir;
        SessionJournal journal;
        journal.setDirectory(dir.path());
        const QDateTime start(QDate(2026, 12, 7), QTime(17, 0));
        qint64 nowMs = start.toMSecsSinceEpoch();
        journal.setTimeSource([&nowMs] { return nowMs; });
        journal.beginSession(start, u"h"_s);
        const QString path = journal.currentFile();
        journal.addOperatorLine(u"I/O"_s, u"Output 1 ON"_s);
        nowMs = start.addSecs(15 * 3600).toMSecsSinceEpoch();
        journal.addOperatorLine(u"I/O"_s, u"Output 2 ON"_s);
        journal.endSession();
        QStringList got;
        for (const OperatorEntry &e : operatorEntries(QString::fromUtf8(bytesOf(path)), QDate()))
            got << e.time.toString(u"yyyy-MM-dd HH:mm"_s);
        QCOMPARE(got, (QStringList{u"2026-12-07 17:00"_s, u"2026-12-08 08:00"_s}));
    }

    // Chunks cut anywhere read back to the bytes received: fuzz_transcript_replay.
    void escaping()
    {
        const std::tuple<const char *, QByteArray, QString> cases[] = {
            {"attention byte and tab", "\x01\t", u"\\x01\\t"_s},
            {"backslash stays readable", "A\\B", u"A\\\\B"_s},
            {"escape sequence", "\x1b[7m BREAK 10 \x1b[0m", u"\\e[7m BREAK 10 \\e[0m"_s},
            {"invalid shift-jis", "ok\xff\r", u"ok\\xFF\\r"_s},
            {"lead byte cut off at the end", "x\x8d", u"x\\x8D"_s},
            {"delete", "\x7f", u"\\x7F"_s},
            // Of a character's two codes, the one that reads back to itself is written as the character.
            {"two codes, the common one", "\x81\xe0", u"\u2252"_s},
            {"two codes, the NEC one", "\x87\x90", u"\\x87\\x90"_s},
            {"two codes, NEC-selected IBM", "\xed\x40", u"\\xED@"_s},
            // Cut after its first byte, 逸's second byte and the @ are a character.
            {"second byte starts another character", "\x88\xed\x40", u"逸@"_s},
            {"half-width katakana and invalid bytes", "\xb1\xff\x80\xa0\xfd\x81",
             u"ｱ\\xFF\\x80\\xA0\\xFD\\x81"_s},
            // "\t構文エラー" in Shift-JIS: the text, not its bytes.
            {"error message", "\r\n\t\x8d\x5c\x95\xb6\x83\x47\x83\x89\x81\x5b (Syntax Error)\r\n#",
             u"\\r\\n\\t構文エラー (Syntax Error)\\r\\n#"_s},
        };
        for (const auto &[name, bytes, written] : cases)
            QVERIFY2(escapeChunk(bytes) == written,
                     qPrintable(QLatin1String(name) + u": "_s + escapeChunk(bytes)));
    }

    // Operator lines filtered and read back, headers, load words, and file names safe for any address.
    void linesAndNames()
    {
        const QDateTime t(QDate(2026, 12, 7), QTime(9, 5, 3));
        const QList<OperatorEntry> entries = {{t, u"Axis"_s, u"Point 7 set to 1"_s, u"press-4"_s},
                                              {t, u"I/O"_s, u"Output 3 ON"_s, u"10.0.0.5"_s}};
        // By page, words or controller, whatever the case.
        const auto only = [&entries](const char *filter) {
            const QList<OperatorEntry> hit = filtered(entries, QString::fromLatin1(filter));
            return hit.size() == 1 ? hit.first().what : QString();
        };
        QCOMPARE(only("i/o"), u"Output 3 ON"_s);
        QCOMPARE(only("PRESS-4"), u"Point 7 set to 1"_s);
        QCOMPARE(only("10.0.0.5"), u"Output 3 ON"_s);
        QCOMPARE(filtered(entries, QString()).size(), 2);
        // Without its header, a file does not say which controller it was.
        const QList<OperatorEntry> headless =
            operatorEntries(u"09:00:00.000 ! I/O | a\n00:00:01.000 > x\\r\n"_s, QDate());
        QCOMPARE(headless.size(), 1);
        QCOMPARE(headless.first().controller, QString());
        // Operator text may hold the separator; the page may not.
        const QString op = operatorLine(QTime(9, 5, 3, 127), u"I/O"_s, u"PR A | B\nC"_s);
        QCOMPARE(op, u"09:05:03.127 ! I/O | PR A | B C"_s);
        const auto back = parseLine(op);
        QVERIFY(back && back->kind == Entry::Kind::Operator);
        QCOMPARE(back->page, u"I/O"_s);
        QCOMPARE(back->text, u"PR A | B C"_s);
        QCOMPARE(droppedLine(1) + u'|' + droppedLine(4096),
                 u" # 1 byte not recorded| # 4,096 bytes not recorded"_s);
        QVERIFY(!parseLine(sessionHeader(t, u"h"_s)));
        QVERIFY(!parseLine(u"25:00:00.000 > x"_s));
        QVERIFY(!parseLine(QString()));
        // With lines refused: test_journal's operatorLines.
        QCOMPARE(loadWords(u"Points"_s, u"p.pnt"_s, 12345, 0), u"Points loaded from p.pnt, 12,345 bytes"_s);

        QCOMPARE(sessionFileName(t, u"127.0.0.1:2323"_s), u"2026-12-07_09-05-03_127.0.0.1_2323.txt"_s);
        const QString odd = sessionFileName(t, u"../x\\y:[::1]"_s);
        QVERIFY2(!odd.contains(QRegularExpression(u"[/\\\\:]"_s)), qPrintable(odd));
        QCOMPARE(sessionFileName(t, QString()), u"2026-12-07_09-05-03_unknown.txt"_s);
        // A long controller name still gives a file a file system takes, a later part's lock file too.
        QTemporaryDir dir;
        QFile file(dir.filePath(continuedFileName(sessionFileName(t, QString(300, u'n')), 100) + u".lock"_s));
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    }

    // More than the buffer holds between two writes: the file says where, and how many bytes, are missing.
    void overflowIsCounted()
    {
        QTemporaryDir dir;
        SessionJournal journal;
        journal.setDirectory(dir.path());
        journal.setBufferCap(1000);
        journal.beginSession(QDateTime::currentDateTime(), u"127.0.0.1:23"_s);
        const QString path = journal.currentFile();
        for (int i = 0; i < 10; ++i)
            journal.received(QByteArray(300, char('a' + i)));
        journal.flush();
        journal.received("after");
        journal.endSession();

        // "<" a chunk recorded before, "#<bytes>" the note, ">" the chunk after.
        static const QRegularExpression said(
            u"^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} # ([\\d,]+) bytes not recorded$"_s);
        QString shape;
        for (const QString &line : linesOf(path)) {
            if (const auto e = parseLine(line); e && e->kind == Entry::Kind::Received)
                shape += e->text == QLatin1String("after") ? u'>' : u'<';
            else if (const auto m = said.match(line); m.hasMatch())
                shape += u'#' + m.captured(1).remove(u',');
        }
        const qsizetype recorded = receivedIn(path).size() - 5;
        QVERIFY2(recorded > 0 && recorded < 3000, qPrintable(shape));
        QVERIFY2(QRegularExpression(u"^<+#%1>$"_s.arg(3000 - recorded)).match(shape).hasMatch(),
                 qPrintable(shape));
#ifdef Q_OS_UNIX
        // A disk that fills in the middle of a line: one message, and the file ends with its last whole
        // line, not with one that reads as another ("Output 1").
        QSignalSpy failed(&journal, &SessionJournal::failed);
        journal.beginSession(QDateTime::currentDateTime().addSecs(-60), u"127.0.0.1:23"_s);
        const QString full = journal.currentFile();
        journal.addOperatorLine(u"I/O"_s, u"Output 2 ON"_s);
        journal.flush();
        const QByteArray whole = bytesOf(full);
        journal.addOperatorLine(u"I/O"_s, u"Output 19 ON"_s);
        const QString room = dir.filePath(u"room"_s); // twice the room: the file's and half a line
        QVERIFY(put(room, QByteArray(2 * (whole.size() + 29), 'x')));
        withHalfTheRoom(room, [&] { journal.flush(); });
        QCOMPARE(failed.size(), 1);
        QCOMPARE(bytesOf(full), whole);
#endif
    }

    // A flood's worth of chunks goes to the file a little at a time: the window never waits on one long
    // write, and every byte arrives, in order.
    void aBurstIsWrittenInShortTurns()
    {
        QTemporaryDir dir;
        SessionJournal journal;
        journal.setDirectory(dir.path());
        journal.setBufferCap(32 * 1024 * 1024);
        journal.beginSession(QDateTime::currentDateTime(), u"127.0.0.1:23"_s);
        const QString path = journal.currentFile();
        QByteArray sent;
        for (int i = 0; i < 12000; ++i) {
            QByteArray chunk = "\r\nFLOOD " + QByteArray::number(i).rightJustified(8, '0') + ' ';
            chunk += QByteArray(2000 - chunk.size(), char('a' + i % 26));
            journal.received(chunk);
            sent += chunk;
        }
        // Each record takes its raw bytes and more in the file: once it is that long, all went out.
        const qint64 leastWhole = sent.size() + 12000 * qint64(sizeof "00:00:00.000 < \n" - 1);
        StallProbe stalls;
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() >= leastWhole, 20000);
        stalls.stop();
        journal.endSession();
        QVERIFY(receivedIn(path) == sent);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        QVERIFY2(stalls.longestMs() < 50, qPrintable(QString::number(stalls.longestMs())));
#endif
    }

    // Past the size cap a session goes on in a new file that reads on its own; the oldest go; owner only.
    // (A controller named in the header: test_journal's linesNameTheirController.)
    void continuesPastTheFileCap_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("by address") << u"10.0.0.5:23"_s;
        QTest::newRow("by IPv6 address") << u"[fe80::1]:23"_s;
    }

    void continuesPastTheFileCap()
    {
        QFETCH(QString, address);
#ifdef Q_OS_UNIX
        // Files and folders as an ordinary login makes them, open to others' reading.
        struct Mask
        {
            mode_t old = ::umask(022);
            ~Mask() { ::umask(old); }
        } mask;
#endif
        QTemporaryDir tmp;
        const QString folder = tmp.filePath(u"sessions"_s);
        SessionJournal journal;
        journal.setDirectory(folder);
        const StorageLimits limits{.fileBytes = 2000, .totalBytes = 9000};
        journal.setLimits(limits);
        journal.beginSession(QDateTime::currentDateTime(), address);
        const QString first = journal.currentFile();
        QByteArray sent;
        for (int i = 0; i < 100; ++i) {
            const QByteArray chunk =
                QByteArray::number(i).rightJustified(3, '0') + QByteArray(190, 'x') + "\r\n";
            journal.received(chunk);
            sent += chunk;
            journal.addOperatorLine(u"I/O"_s, u"Output %1 ON"_s.arg(i));
            if (i % 7 == 6) {
                journal.flush();
                QVERIFY(QFile::exists(journal.currentFile()));
            }
        }
        journal.flush();
        const QString last = journal.currentFile();
        journal.endSession();

        QVERIFY(ownerOnly(folder));
        const QStringList files = QDir(folder).entryList({u"*.txt"_s}, QDir::Files, QDir::Name);
        QVERIFY2(files.size() >= 3, qPrintable(files.join(u' ')));
        QVERIFY(!files.contains(QFileInfo(first).fileName()));
        QCOMPARE(files.last(), QFileInfo(last).fileName());
        QByteArray back;
        QStringList actions;
        qint64 total = 0;
        for (const QString &file : files) {
            const QString path = QDir(folder).filePath(file);
            QVERIFY(file.startsWith(QFileInfo(first).completeBaseName()));
            QVERIFY2(QFileInfo(path).size() <= limits.fileBytes, qPrintable(file));
            QVERIFY(ownerOnly(path));
            total += QFileInfo(path).size();
            back += receivedIn(path);
            // A file's own header gives its entries their date and controller.
            const OperatorFile read = readOperatorFile(path, QDate(), 1000, [] { return false; });
            QVERIFY2(read.error.isEmpty() && !read.entries.isEmpty(), qPrintable(read.error));
            for (const OperatorEntry &e : read.entries) {
                QVERIFY2(e.time.isValid(), qPrintable(file));
                QCOMPARE(e.controller, address);
                actions << e.what;
            }
        }
        QVERIFY(total <= limits.totalBytes + limits.fileBytes);
        QVERIFY(!back.isEmpty() && back.size() < sent.size() && sent.endsWith(back));
        // The operator lines left are the last ones, none missing.
        const int from = 100 - actions.size();
        for (int i = 0; i < actions.size(); ++i)
            QCOMPARE(actions.at(i), u"Output %1 ON"_s.arg(from + i));
    }

    // Two monitors in one folder, same controller and second: neither takes or removes the other's file.
    void secondMonitorInTheSameFolder()
    {
        QTemporaryDir dir;
        const QDateTime start = QDateTime::currentDateTime();
        SessionJournal first;
        SessionJournal second;
        second.setLimits({.totalBytes = 1});
        for (auto [journal, bytes] : {std::pair{&first, "\r\n#"}, std::pair{&second, "\r\nLogin    :"}}) {
            journal->setDirectory(dir.path());
            journal->beginSession(start, u"127.0.0.1:23"_s);
            journal->received(bytes);
            journal->flush();
        }
        const QString firstFile = first.currentFile();
        QVERIFY(!firstFile.isEmpty() && !second.currentFile().isEmpty() && firstFile != second.currentFile());
        second.rotate(QDateTime::currentDateTime());
        QVERIFY(QFile::exists(firstFile) && QFile::exists(second.currentFile()));

        first.received("more");
        first.endSession();
        QCOMPARE(receivedIn(firstFile), QByteArray("\r\n#more"));
        second.rotate(QDateTime::currentDateTime());
        QVERIFY(!QFile::exists(firstFile) && QFile::exists(second.currentFile()));
        second.endSession();
    }

    // Age and size rules on transcripts only; a link neither followed nor counted; a dead lock no lock.
    void cleanUpAtANewSession()
    {
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        const QDateTime now = QDateTime::currentDateTime();
        const auto make = [&](const QString &name, int daysAgo, qint64 size) {
            QFile file(dir.filePath(name));
            return file.open(QIODevice::WriteOnly) && file.resize(size) &&
                   file.setFileTime(now.addDays(-daysAgo), QFileDevice::FileModificationTime);
        };
        QVERIFY(make(u"2026-10-02_10-00-00_127.0.0.1_23.txt"_s, 39, 10));
        QVERIFY(make(u"notes.txt"_s, 90, 10));
        QVERIFY(make(u"2026-12-01_10-00-00_127.0.0.1_23.txt"_s, 3, 600));
        QVERIFY(make(u"2026-12-02_10-00-00_127.0.0.1_23.txt"_s, 2, 300));
        // A link named like a transcript, to a large file elsewhere.
        const QString target = elsewhere.filePath(u"keep.txt"_s);
        QVERIFY(put(target, QByteArray(100000, 'x')));
        QVERIFY(QFile::link(target, dir.filePath(u"2026-12-03_10-00-00_127.0.0.1_23.txt"_s)));
        // Old, and locked by a monitor that has since died.
        QProcess gone;
        gone.start(u"true"_s, QStringList());
        const qint64 deadPid = gone.waitForStarted() ? gone.processId() : 0;
        QVERIFY(deadPid > 0 && gone.waitForFinished());
        QVERIFY(put(dir.filePath(u"2026-10-02_10-00-00_127.0.0.1_23.txt.lock"_s),
                    QByteArray::number(deadPid) + "\nquorin-monitor\n" +
                        QSysInfo::machineHostName().toUtf8() + "\n"));

        SessionJournal journal;
        journal.setDirectory(dir.path());
        journal.setLimits({.totalBytes = 1000});
        journal.beginSession(now, u"127.0.0.1:23"_s);
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
        left.removeOne(QFileInfo(journal.currentFile()).fileName());
        left.removeOne(QFileInfo(journal.currentFile()).fileName() + u".lock"_s);
        journal.endSession();
        QCOMPARE(left,
                 (QStringList{"2026-12-01_10-00-00_127.0.0.1_23.txt", "2026-12-02_10-00-00_127.0.0.1_23.txt",
                              "2026-12-03_10-00-00_127.0.0.1_23.txt", "notes.txt"}));
        QCOMPARE(QFileInfo(target).size(), 100000);
    }

    // Old first, then the oldest until the rest fits in 200 MB (as at start-up: test_journal's
    // startUpThenASession); a file being written stays, however old, and its size counts.
    void rotationByAgeThenSize()
    {
        const QDateTime now(QDate(2026, 12, 7), QTime(9, 0));
        const qint64 mb = 1024 * 1024;
        QList<StoredFile> files = {
            {u"old"_s, 1, now.addDays(-31)},
            {u"month"_s, 1, now.addDays(-29)},
            {u"big-older"_s, 120 * mb, now.addDays(-3)},
            {u"big-newer"_s, 100 * mb, now.addDays(-2)},
            {u"today"_s, 1, now},
        };
        QCOMPARE(filesToRemove(files, now), (QStringList{"old", "month", "big-older"}));
        files[0].inUse = true;
        files[2].inUse = true;
        QCOMPARE(filesToRemove(files, now), (QStringList{"month", "big-newer"}));
    }
};

QTEST_GUILESS_MAIN(TestTranscript)
#include "test_transcript.moc"

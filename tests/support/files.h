// Whole files for the suites that check what the monitor wrote or read.
#pragma once

#include <QFile>
#include <QTest>

// A file's bytes; "<missing>" when it cannot be read, which no expected content equals.
inline QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes `bytes` over `path`. A file that cannot be written fails the calling test.
inline bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    const bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    if (!ok)
        QTest::qFail(qPrintable(QStringLiteral("cannot write ") + path), __FILE__, __LINE__);
    return ok;
}

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>

// Runs `save` while the disk has room for no more than half of what `path` holds now: a full disk.
template <typename Save> void withHalfTheRoom(const QString &path, Save save)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit half{rlim_t(QFile(path).size() / 2), limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &half);
    save();
    setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

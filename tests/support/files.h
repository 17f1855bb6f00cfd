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

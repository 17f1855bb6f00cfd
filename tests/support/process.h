// A program run to its end as a script runs it: its exit status, standard output and standard error.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProcessRun
{
    int status = -1; // -2: it crashed; -1 with err "did not finish": killed after a minute
    QString out;
    QString err;
};

inline ProcessRun runProcess(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    ProcessRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not finish");
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

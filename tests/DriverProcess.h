#pragma once

// Runs the command-line driver (tests/crashdriver.cpp) as a child process.
#include <QProcess>
#include <QString>
#include <QStringList>

struct DriverRun {
    bool finished = false;   // ended on its own, not killed or timed out
    int exitCode = -1;
    QString out;             // "ok" and the result, or "error: ..."
    QStringList steps;       // the file-system call of each step, in order
};

inline QString driverPath()
{
    return QStringLiteral(VORTEDA_CRASHDRIVER);
}

// `program` and `prefix` let a caller run the driver through another program,
// such as one that drops privileges.
inline DriverRun runDriver(const QStringList &args, int timeoutMs = 60000, const QStringList &prefix = {})
{
    QProcess process;
    const QStringList all = prefix.isEmpty() ? args : QStringList(prefix.mid(1)) << driverPath() << args;
    process.start(prefix.isEmpty() ? driverPath() : prefix.first(), all);
    DriverRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.out = QStringLiteral("timed out");
        return run;
    }
    run.finished = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString &line : QString::fromUtf8(process.readAllStandardError()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("step ")))
            run.steps << line.section(QLatin1Char(' '), 2, 2);
    }
    return run;
}

#include "tests/support/notasprocess.h"

#include <QProcess>
#include <QProcessEnvironment>

NotasRun runNotasProcess(const QString& program, const QString& folder, const QStringList& arguments, int timeoutMs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    NotasRun run;
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = p.exitCode();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

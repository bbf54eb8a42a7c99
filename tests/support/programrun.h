#pragma once
// Runs a program of the project (or a tool it is compared with) to its end, as the tests of the
// command line do: its status (-1 when it crashed or did not end in time) and what it printed.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

struct ProgramRun {
    int status = -1;
    QString out, err;
};

inline ProgramRun runProgram(const QString& program, const QStringList& args, int timeoutMs = 120000) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

#ifdef SNAPLORE_CLI_PATH
inline ProgramRun runCli(const QStringList& args) { return runProgram(QStringLiteral(SNAPLORE_CLI_PATH), args); }
#endif

}  // namespace testsupport

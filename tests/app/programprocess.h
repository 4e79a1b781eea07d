#pragma once

#include <QProcess>
#include <QStringList>

// The real program run as a process in the test's profile (the environment that
// TARNWICK_TEST_MAIN set up), for the tests that start it as a user would.
namespace ProgramProcess {

// Starts program with its standard error passed through; the test fails when it does not start.
void start(QProcess &process, const QString &program);
// Kills the process and waits for it.
void stop(QProcess &process);
// The process id written into the instance lock in the profile's runtime directory, or 0
// unless exactly one lock is there.
qint64 lockOwner();
// Removes the locks that killed instances leave behind.
void removeLocks();
// The files that the running process has mapped into memory (Qt maps the catalogues it
// loads), as the kernel lists them.
QStringList mappedFiles(qint64 processId);

} // namespace ProgramProcess

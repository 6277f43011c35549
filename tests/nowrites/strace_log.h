#pragma once
// Reading `strace -ff -y` logs: which system calls changed which files.
//
// The logs are expected from
//   strace -f -ff -y -qq -s 0 -e trace=<straceWriteTraceSet()> -o PREFIX program
// so that every thread has its own file (no interleaved lines) and every file
// descriptor is printed with the path it refers to.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace nowrites {

struct SyscallRecord
{
    QString name;
    // Every path the call names as a string, resolved against the directory
    // descriptor or working directory it was relative to.
    QStringList paths;
    // The files its descriptor arguments refer to (absolute paths only;
    // sockets, pipes and the like are left out).
    QStringList descriptorPaths;
    // Its flag and mode arguments, as printed.
    QStringList flags;
    // The path the call's result refers to (the descriptor an open returned).
    QString resultPath;
    // Whether strace saw the call return, and whether it returned success.
    bool finished = true;
    bool succeeded = false;
    QString line;
    QString logFile;
};

// The -e trace= set that records every way of changing a file by path or by
// descriptor.
QString straceWriteTraceSet();

// Decodes a string the way strace prints it: \ooo, \xhh and the C escapes.
QString unescapeStrace(QStringView text);

// Parses one log line of a single thread. `cwd` is the working directory to
// resolve relative paths against when the line itself does not say; it is
// updated from the AT_FDCWD<...> decorations the line carries. Lines that are
// no system call (signals, exits) give nothing.
std::optional<SyscallRecord> parseStraceLine(const QString &line, QString &cwd);

// Whether the call, if it succeeded, created, changed, renamed or removed a
// file or folder, or opened one so that it could be written.
bool changesFiles(const SyscallRecord &call);

// The paths a file-changing call changes: for opens the path and the file
// opened, for descriptor calls the descriptor's file, otherwise the paths.
QStringList changedPaths(const SyscallRecord &call);

// All calls in the per-thread logs PREFIX.<tid> in `folder`. An unfinished
// call at the end of a thread's log is kept with finished = false.
QList<SyscallRecord> readStraceLogs(const QString &folder, const QString &prefix, const QString &initialCwd);

// Whether `path` is `root` or lies below it.
bool isInside(const QString &path, const QString &root);

} // namespace nowrites

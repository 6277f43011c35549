// The readers behind the no-writes session: a reader that misses a kind of
// write would let the session pass whatever the program does.

#include "folder_snapshot.h"
#include "inotify_log.h"
#include "platform_writes.h"
#include "strace_log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace nowrites;

namespace {

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

class WriteLogsTest : public QObject
{
    Q_OBJECT
private slots:
    void straceLine_data();
    void straceLine();
    void relativePathsFollowTheWorkingDirectory();
    void threadLogsJoinResumedCalls();
    void traceSetCoversDescriptorWrites();
    void inotifyLine_data();
    void inotifyLine();
    void snapshotDiffListsChangedEntriesOnly();
    void platformWrites_data();
    void platformWrites();
};

void WriteLogsTest::straceLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("isCall");
    QTest::addColumn<QStringList>("changed");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<bool>("succeeded");

    QTest::newRow("read-only open changes nothing")
        << R"(openat(AT_FDCWD</r/run>, "/h/.cache/x", O_RDONLY|O_CLOEXEC) = 5</h/.cache/x>)" << true << QStringList{}
        << true << true;
    QTest::newRow("open for writing")
        << R"(openat(AT_FDCWD</r/run>, "/h/.cache/mesa/index", O_RDWR|O_CREAT|O_CLOEXEC, 0644) = 6</h/.cache/mesa/index>)"
        << true << QStringList{"/h/.cache/mesa/index"} << true << true;
    QTest::newRow("relative open against the working directory")
        << R"(openat(AT_FDCWD</r/run>, "notes.txt", O_WRONLY|O_CREAT|O_TRUNC, 0666) = 3</r/run/notes.txt>)" << true
        << QStringList{"/r/run/notes.txt"} << true << true;
    QTest::newRow("append only")
        << R"(open("/h/log", O_WRONLY|O_APPEND) = 3</h/log>)" << true << QStringList{"/h/log"} << true << true;
    QTest::newRow("relative to a directory descriptor")
        << R"(mkdirat(7</h/.config>, "Vennali", 0777) = 0)" << true << QStringList{"/h/.config/Vennali"} << true
        << true;
    QTest::newRow("unnamed temporary file")
        << R"(openat(AT_FDCWD</r/run>, "/h/.cache/q", O_RDWR|O_CLOEXEC|O_TMPFILE, 0666) = 51</h/.cache/q/#10961322>(deleted))"
        << true << QStringList{"/h/.cache/q", "/h/.cache/q/#10961322"} << true << true;
    QTest::newRow("temporary file linked into place")
        << R"(linkat(AT_FDCWD</r/run>, "/proc/self/fd/51", AT_FDCWD</r/run>, "/h/.cache/q/0123", AT_SYMLINK_FOLLOW) = 0)"
        << true << QStringList{"/proc/self/fd/51", "/h/.cache/q/0123"} << true << true;
    QTest::newRow("rename names both paths")
        << R"(rename("/h/.cache/a.tmp", "/h/.cache/a") = 0)" << true << QStringList{"/h/.cache/a.tmp", "/h/.cache/a"}
        << true << true;
    QTest::newRow("write through a descriptor")
        << R"(write(51</h/.cache/q/#109>(deleted), ""..., 5261) = 5261)" << true << QStringList{"/h/.cache/q/#109"}
        << true << true;
    QTest::newRow("write to a socket names no file")
        << R"(writev(3<socket:[184602]>, [...], 1)    = 48)" << true << QStringList{} << true << true;
    QTest::newRow("non-ASCII path")
        << R"(unlink("/r/run/\344\275\277\347\224\250\350\257\264\346\230\216.txt") = 0)" << true
        << QStringList{QStringLiteral("/r/run/使用说明.txt")} << true << true;
    QTest::newRow("descriptor path with an escaped bracket")
        << R"(ftruncate(6</h/a\76b c>, 0) = 0)" << true << QStringList{"/h/a>b c"} << true << true;
    QTest::newRow("path with a comma, parenthesis and equals sign")
        << R"(unlink("/h/a, b) = c") = 0)" << true << QStringList{"/h/a, b) = c"} << true << true;
    QTest::newRow("failed call")
        << R"(mkdir("/h/.runtime", 0700) = -1 EEXIST (File exists))" << true << QStringList{"/h/.runtime"} << true
        << false;
    QTest::newRow("unfinished call")
        << R"(openat(AT_FDCWD</r/run>, "/h/x", O_WRONLY|O_CREAT, 0644 <unfinished ...>)" << true
        << QStringList{"/h/x"} << false << false;
    QTest::newRow("thread died in the call")
        << R"(unlinkat(AT_FDCWD</r/run>, "/r/run/songci.idb", 0) = ?)" << true << QStringList{"/r/run/songci.idb"}
        << false << false;
    QTest::newRow("pid prefix")
        << R"([pid 123] creat("/h/out", 0644) = 3</h/out>)" << true << QStringList{"/h/out"} << true << true;
    QTest::newRow("times set through a descriptor")
        << R"(utimensat(5</h/f>, NULL, NULL, 0) = 0)" << true << QStringList{"/h/f"} << true << true;
    QTest::newRow("open with a flags structure")
        << R"(openat2(AT_FDCWD</r/run>, "/h/y", {flags=O_WRONLY|O_CREAT, mode=0644, resolve=0}, 24) = 3</h/y>)"
        << true << QStringList{"/h/y"} << true << true;
    QTest::newRow("stat changes nothing")
        << R"(newfstatat(AT_FDCWD</r/run>, "/h/.cache", {st_mode=S_IFDIR|0755, st_size=4096, ...}, 0) = 0)" << true
        << QStringList{} << true << true;
    QTest::newRow("signal")
        << R"(--- SIGCHLD {si_signo=SIGCHLD, si_code=CLD_EXITED, si_pid=18612} ---)" << false << QStringList{} << false
        << false;
    QTest::newRow("exit") << "+++ exited with 0 +++" << false << QStringList{} << false << false;
}

void WriteLogsTest::straceLine()
{
    QFETCH(QString, line);
    QFETCH(bool, isCall);
    QFETCH(QStringList, changed);
    QFETCH(bool, finished);
    QFETCH(bool, succeeded);

    QString cwd = QStringLiteral("/r/run");
    const std::optional<SyscallRecord> call = parseStraceLine(line, cwd);
    QCOMPARE(call.has_value(), isCall);
    if (!call)
        return;
    QCOMPARE(changedPaths(*call), changed);
    QCOMPARE(call->finished, finished);
    QCOMPARE(call->succeeded, succeeded);
}

void WriteLogsTest::relativePathsFollowTheWorkingDirectory()
{
    QString cwd = QStringLiteral("/r/run");
    QVERIFY(parseStraceLine(QStringLiteral(R"(chdir("/h/.config") = 0)"), cwd));
    QCOMPARE(cwd, QStringLiteral("/h/.config"));
    std::optional<SyscallRecord> call =
        parseStraceLine(QStringLiteral(R"(open("settings.ini", O_WRONLY|O_CREAT, 0644) = 3</h/.config/settings.ini>)"), cwd);
    QVERIFY(call);
    QCOMPARE(call->paths, QStringList{"/h/.config/settings.ini"});

    // A failed chdir leaves it where it was; an AT_FDCWD decoration says where it is.
    QVERIFY(parseStraceLine(QStringLiteral(R"(chdir("/nowhere") = -1 ENOENT (No such file or directory))"), cwd));
    QCOMPARE(cwd, QStringLiteral("/h/.config"));
    QVERIFY(parseStraceLine(QStringLiteral(R"(openat(AT_FDCWD</r/run>, "a", O_RDONLY) = 3</r/run/a>)"), cwd));
    call = parseStraceLine(QStringLiteral(R"(unlink("b") = 0)"), cwd);
    QVERIFY(call);
    QCOMPARE(changedPaths(*call), QStringList{"/r/run/b"});
}

void WriteLogsTest::threadLogsJoinResumedCalls()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("trace.100"),
                      "openat(AT_FDCWD</r/run>, \"/h/.cache/x\", O_WRONLY|O_CREAT, 0644 <unfinished ...>\n"
                      "--- SIGALRM {si_signo=SIGALRM} ---\n"
                      "<... openat resumed>) = 7</h/.cache/x>\n"
                      "unlink(\"/h/gone\" <unfinished ...>\n"));
    QVERIFY(writeFile(dir.filePath("trace.101"), "mkdir(\"rel\", 0755) = 0\n"));
    QVERIFY(writeFile(dir.filePath("program.log"), "unlink(\"/h/not-a-trace\") = 0\n"));

    const QList<SyscallRecord> calls = readStraceLogs(dir.path(), QStringLiteral("trace"), QStringLiteral("/r/run"));
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls.at(0).name, QStringLiteral("openat"));
    QVERIFY(calls.at(0).finished);
    QVERIFY(calls.at(0).succeeded);
    QCOMPARE(changedPaths(calls.at(0)), QStringList{"/h/.cache/x"});
    QCOMPARE(calls.at(0).logFile, QStringLiteral("trace.100"));
    // The thread ended inside unlink: whether it took effect is unknown.
    QCOMPARE(calls.at(1).name, QStringLiteral("unlink"));
    QVERIFY(!calls.at(1).finished);
    QCOMPARE(changedPaths(calls.at(1)), QStringList{"/h/gone"});
    QCOMPARE(changedPaths(calls.at(2)), QStringList{"/r/run/rel"});
}

void WriteLogsTest::traceSetCoversDescriptorWrites()
{
    const QStringList set = straceWriteTraceSet().split(u',');
    for (const char *name : {"%file", "write", "pwrite64", "writev", "pwritev", "pwritev2", "ftruncate", "fallocate",
                             "copy_file_range", "sendfile", "splice", "fchmod", "fchown", "fsetxattr"})
        QVERIFY2(set.contains(QString::fromLatin1(name)), name);
}

void WriteLogsTest::inotifyLine_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("paths");

    QTest::newRow("folder created") << QByteArray("CREATE,ISDIR /h/.cache/x\n") << QStringList{"CREATE,ISDIR"}
                                    << QStringList{"/h/.cache/x"};
    QTest::newRow("path with spaces and non-ASCII")
        << QStringLiteral("MODIFY /r/run/使用 说明.txt\n").toUtf8() << QStringList{"MODIFY"}
        << QStringList{QStringLiteral("/r/run/使用 说明.txt")};
    QTest::newRow("several, last without newline")
        << QByteArray("CREATE /h/a\nCLOSE_WRITE,CLOSE /h/a") << QStringList{"CREATE", "CLOSE_WRITE,CLOSE"}
        << QStringList{"/h/a", "/h/a"};
    QTest::newRow("nothing") << QByteArray("\n") << QStringList{} << QStringList{};
}

void WriteLogsTest::inotifyLine()
{
    QFETCH(QByteArray, log);
    QFETCH(QStringList, events);
    QFETCH(QStringList, paths);

    QStringList seenEvents, seenPaths;
    for (const FileEvent &event : parseInotifyLog(log)) {
        seenEvents.append(event.events);
        seenPaths.append(event.path);
    }
    QCOMPARE(seenEvents, events);
    QCOMPARE(seenPaths, paths);
}

void WriteLogsTest::snapshotDiffListsChangedEntriesOnly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("a/b"));
    QVERIFY(QDir(dir.path()).mkpath("kept"));
    QVERIFY(writeFile(dir.filePath("a/same.txt"), "same"));
    QVERIFY(writeFile(dir.filePath("a/rewritten.txt"), "1234"));
    QVERIFY(writeFile(dir.filePath("a/removed.txt"), "x"));
    QVERIFY(writeFile(dir.filePath("a/chmodded.txt"), "x"));
    QVERIFY(writeFile(dir.filePath(".hidden"), "x"));
    const QDateTime past = QDateTime::currentDateTime().addSecs(-3600);
    for (const char *name : {"a/same.txt", "a/rewritten.txt", "a/removed.txt", "a/chmodded.txt", ".hidden"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
    }

    const FolderSnapshot before = takeSnapshot(dir.path());
    QCOMPARE(changedEntries(before, takeSnapshot(dir.path())), QStringList{});

    // Same size, new contents.
    QVERIFY(writeFile(dir.filePath("a/rewritten.txt"), "5678"));
    QVERIFY(QFile::remove(dir.filePath("a/removed.txt")));
    QVERIFY(writeFile(dir.filePath("a/b/new.txt"), ""));
    QVERIFY(QDir(dir.path()).mkpath("a/newdir"));
    QVERIFY(::chmod(QFile::encodeName(dir.filePath("a/chmodded.txt")).constData(), 0600) == 0);
    QVERIFY(writeFile(dir.filePath(".hidden"), "xy"));

    const QStringList expected{".hidden", "a/b/new.txt", "a/chmodded.txt", "a/newdir", "a/removed.txt",
                               "a/rewritten.txt"};
    QCOMPARE(changedEntries(before, takeSnapshot(dir.path())), expected);
}

void WriteLogsTest::platformWrites_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("platform");

    QTest::newRow("Mesa's cache folder") << ".cache/mesa_shader_cache" << true;
    QTest::newRow("Mesa's cache index") << ".cache/mesa_shader_cache/index" << true;
    QTest::newRow("Mesa's single-file cache") << ".cache/mesa_shader_cache_db/part0/mesa_cache.db" << true;
    QTest::newRow("fontconfig") << ".cache/fontconfig/9b89f8e3-le64.cache-8" << true;
    QTest::newRow("fontconfig, old place") << ".fontconfig/x.cache-8" << true;
    QTest::newRow("name that only starts like Mesa's") << ".cache/mesa_shader_cachex/f" << false;
    QTest::newRow("Qt's shader cache") << ".cache/qtshadercache-x86_64-little_endian-lp64/4367d8fe" << false;
    QTest::newRow("web engine profile") << ".local/share/Vennali/QtWebEngine/Default/Cookies" << false;
    QTest::newRow("web engine cache") << ".cache/Vennali/QtWebEngine/Default/Cache" << false;
    QTest::newRow("settings") << ".config/Vennali/Vennali.conf" << false;
    QTest::newRow("the cache folder itself") << ".cache" << false;
}

void WriteLogsTest::platformWrites()
{
    QFETCH(QString, path);
    QFETCH(bool, platform);
    QCOMPARE(!platformWriteReason(path).isEmpty(), platform);
}

QTEST_GUILESS_MAIN(WriteLogsTest)
#include "tst_write_logs.moc"

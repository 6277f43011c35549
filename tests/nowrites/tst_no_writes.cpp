// A whole session of the real program, driven like a user on an X server of
// its own, with HOME and every XDG folder in an empty temporary folder and
// the program run from a copy of its run folder. The system calls of the
// program and of the web engine's helper processes (strace -f) must show no
// file written in either place; inotify and a before/after listing of both
// folders check the same from outside.
//
// Root proves nothing with file permissions, so only the calls count.

#include "folder_snapshot.h"
#include "inotify_log.h"
#include "platform_writes.h"
#include "strace_log.h"
#include "x_session.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/types.h>

using namespace std::chrono_literals;
using namespace nowrites;

namespace {

const QString kMainTitle = QStringLiteral("^《Vennali全集》");
const QString kAboutTitle = QStringLiteral("^Vennali 真人语音朗读版$");
const QString kWarningTitle = QStringLiteral("^警告$");

// Places in the main window (its client area; there is no window manager, so
// no frame) and in the About dialog, from app/tangshi.ui and about/Unit3.ui.
const QPoint kAuthorRadio(204, 31);     // r3 "作者" in GroupBox3
const QPoint kSearchEdit(204, 62);      // eso
const QPoint kSearchButton(360, 59);    // Button1 "查找"
const QPoint kFirstPoemRow(76, 168);    // first row of DBGridEh1, under its header
const QRect kListArea(20, 150, 200, 400);
const QRect kPaneArea(280, 130, 480, 420);
const int kAboutLabelX = 630;           // Label5 "关于Vennali" in the status panel
const int kStatusPanelHeight = 20;
const QPoint kAboutReturnButton(508, 472); // Button1 "返回"

const QString kAuthor = QStringLiteral("苏轼");

// The link-list fetch starts five seconds after the first paint; the session
// lasts longer than that so the fetch is part of it.
constexpr auto kShortestSession = 10s;

bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    do {
        if (condition())
            return true;
        QThread::msleep(200);
    } while (!deadline.hasExpired());
    return condition();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool makeFolder(const QString &path, QFile::Permissions permissions = {})
{
    if (!QDir().mkpath(path))
        return false;
    return !permissions || QFile::setPermissions(path, permissions);
}

} // namespace

class NoWritesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void sessionStepsHappened_data();
    void sessionStepsHappened();
    void traceCoversTheProgramAndItsWebEngine();
    void noWriteInTheSystemCalls();
    void noWriteSeenByInotify();
    void foldersUnchanged();

private:
    void runSession();
    void driveSession(const XDriver &x, XWindow mainWindow);
    void stopProgram(std::chrono::milliseconds timeout);
    QStringList networkIsolation() const;
    // The program's own write at `path`, described; empty when the path is
    // outside the watched folders or a platform library's (noted then).
    QString ownWrite(const QString &path, const QString &how);

    QTemporaryDir m_root;
    QString m_home;
    QString m_run;
    QString m_logs;
    QString m_runDir;
    std::unique_ptr<VirtualScreen> m_screen;
    QProcess m_program;
    QProcess m_inotify;
    std::optional<qint64> m_programPid;

    QMap<QString, bool> m_steps;
    QByteArray m_programOutput;
    FolderSnapshot m_homeBefore, m_homeAfter, m_runBefore, m_runAfter;
    QList<SyscallRecord> m_calls;
    QList<FileEvent> m_events;
    QMap<QString, QString> m_platformWrites; // path in home -> writer
};

void NoWritesTest::initTestCase()
{
    QStringList missing;
    for (const char *tool : {"strace", "Xvfb", "xdotool", "inotifywait", "unshare"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            missing.append(QString::fromLatin1(tool));
    }
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("missing tools (scripts/install-deps.sh): ") + missing.join(u' ')));

    m_runDir = qEnvironmentVariable("VENNALI_RUN_DIR");
    QVERIFY2(!m_runDir.isEmpty(), "VENNALI_RUN_DIR is not set");
    QVERIFY(m_root.isValid());
    // strace prints the real paths of descriptors; compare like with like.
    const QString root = QFileInfo(m_root.path()).canonicalFilePath();
    m_home = root + QStringLiteral("/home");
    m_run = root + QStringLiteral("/run");
    m_logs = root + QStringLiteral("/strace");
    for (const QString &folder : {m_home + QStringLiteral("/.config"), m_home + QStringLiteral("/.cache"),
                                  m_home + QStringLiteral("/.local/share"), m_home + QStringLiteral("/.local/state"),
                                  m_run, m_logs})
        QVERIFY(makeFolder(folder));
    // Qt wants its runtime folder private, or it makes one of its own in /tmp.
    QVERIFY(makeFolder(m_home + QStringLiteral("/.runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    for (const QString &name : {QStringLiteral("vennali"), QStringLiteral("songci.idb"), QStringLiteral("使用说明.txt")}) {
        const QString source = m_runDir + u'/' + name;
        QVERIFY2(QFile::copy(source, m_run + u'/' + name), qPrintable(QStringLiteral("cannot copy ") + source));
    }

    m_screen = std::make_unique<VirtualScreen>();
    QString error;
    QVERIFY2(m_screen->start(QSize(1280, 1024), 20s, &error), qPrintable(error));

    runSession();
}

void NoWritesTest::cleanupTestCase()
{
    stopProgram(1s);
    if (m_inotify.state() != QProcess::NotRunning) {
        m_inotify.kill();
        m_inotify.waitForFinished(5000);
    }
    m_screen.reset();
}

QStringList NoWritesTest::networkIsolation() const
{
    // The program asks the maker's site for pages and a link list; a network
    // namespace of its own with only loopback keeps the session off the
    // network. Without privileges a user namespace makes one.
    for (const QStringList &options : {QStringList{QStringLiteral("--net")},
                                       QStringList{QStringLiteral("--map-root-user"), QStringLiteral("--net")}}) {
        QProcess probe;
        probe.start(QStringLiteral("unshare"), options + QStringList{QStringLiteral("true")});
        if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            return options;
        probe.kill();
        probe.waitForFinished(1000);
    }
    return {};
}

void NoWritesTest::runSession()
{
    const QStringList isolation = networkIsolation();
    QVERIFY2(!isolation.isEmpty(), "cannot give the program a network namespace of its own (unshare --net)");

    m_homeBefore = takeSnapshot(m_home);
    m_runBefore = takeSnapshot(m_run);

    // Output goes to files: nobody reads the pipes while the session runs.
    m_inotify.setStandardOutputFile(m_logs + QStringLiteral("/inotify.log"));
    m_inotify.setReadChannel(QProcess::StandardError);
    m_inotify.start(QStringLiteral("inotifywait"),
                    {QStringLiteral("-m"), QStringLiteral("-r"), QStringLiteral("-e"), inotifyWriteEvents(),
                     QStringLiteral("--format"), QStringLiteral("%e %w%f"), m_home, m_run});
    QByteArray inotifyMessages;
    QVERIFY2(waitFor([&] {
                 m_inotify.waitForReadyRead(100);
                 inotifyMessages += m_inotify.readAllStandardError();
                 return inotifyMessages.contains("Watches established");
             }, 20s),
             inotifyMessages.constData());

    const XDriver x(m_screen->display());
    QVERIFY2(x.isOpen(), "cannot connect to the virtual X server");
    QVERIFY(x.bindCharacters(kAuthor));

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("HOME"), m_home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), m_home + QStringLiteral("/.local/state"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home + QStringLiteral("/.runtime"));
    environment.insert(QStringLiteral("DISPLAY"), m_screen->display());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), qEnvironmentVariable("QTWEBENGINE_DISABLE_SANDBOX"));
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(name))
            environment.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    }
    // LeakSanitizer stops the world with ptrace, which strace already holds;
    // in a sanitizer build the leak check would end the program in error.
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       asan.isEmpty() ? QStringLiteral("detect_leaks=0") : asan + QStringLiteral(":detect_leaks=0"));
    m_program.setProcessEnvironment(environment);
    m_program.setWorkingDirectory(m_run);
    m_program.setProcessChannelMode(QProcess::MergedChannels);
    m_program.setStandardOutputFile(m_logs + QStringLiteral("/program.log"));
    // -ff: one log per thread, so no call is split by another's; -y: every
    // descriptor with its path.
    m_program.start(QStringLiteral("unshare"),
                    isolation
                        + QStringList{QStringLiteral("--"), QStringLiteral("strace"), QStringLiteral("-f"),
                                      QStringLiteral("-ff"), QStringLiteral("-y"), QStringLiteral("-qq"),
                                      QStringLiteral("-s"), QStringLiteral("0"), QStringLiteral("-e"),
                                      QStringLiteral("trace=") + straceWriteTraceSet(), QStringLiteral("-o"),
                                      m_logs + QStringLiteral("/trace"), QStringLiteral("--"),
                                      m_run + QStringLiteral("/vennali")});
    QVERIFY2(m_program.waitForStarted(10000), qPrintable(m_program.errorString()));
    const std::optional<XWindow> mainWindow = x.waitForWindow(kMainTitle, 90s);
    if (!mainWindow) {
        stopProgram(5s);
        QFAIL(qPrintable(QStringLiteral("the main window never appeared; the program said:\n")
                         + QString::fromLocal8Bit(readFile(m_logs + QStringLiteral("/program.log")))));
    }
    m_programPid = x.windowPid(*mainWindow);
    QElapsedTimer sessionClock;
    sessionClock.start();

    driveSession(x, *mainWindow);

    // Let the link-list fetch happen, then close the window as a user would.
    const auto elapsed = std::chrono::milliseconds(sessionClock.elapsed());
    if (elapsed < kShortestSession)
        QThread::sleep(std::chrono::duration_cast<std::chrono::seconds>(kShortestSession - elapsed).count() + 1);
    m_steps[QStringLiteral("close request sent")] = x.requestClose(*mainWindow);
    const bool ended = m_program.waitForFinished(90000);
    m_steps[QStringLiteral("program ended after its window was closed")] = ended;
    if (!ended)
        stopProgram(5s);
    m_steps[QStringLiteral("program exited normally with code 0")] =
        ended && m_program.exitStatus() == QProcess::NormalExit && m_program.exitCode() == 0;

    // Give inotify a moment for the last events, then read them.
    QThread::msleep(500);
    m_inotify.terminate();
    if (!m_inotify.waitForFinished(5000)) {
        m_inotify.kill();
        m_inotify.waitForFinished(5000);
    }
    m_events = parseInotifyLog(readFile(m_logs + QStringLiteral("/inotify.log")));
    m_programOutput = readFile(m_logs + QStringLiteral("/program.log"));

    m_homeAfter = takeSnapshot(m_home);
    m_runAfter = takeSnapshot(m_run);
    m_calls = readStraceLogs(m_logs, QStringLiteral("trace"), m_run);
}

void NoWritesTest::driveSession(const XDriver &x, XWindow mainWindow)
{
    // A picture that stays the same twice in a row: the window is done painting.
    const auto settledGrab = [&](const QRect &area) {
        QImage previous = x.grab(mainWindow, area);
        waitFor([&] {
            const QImage now = x.grab(mainWindow, area);
            const bool same = !now.isNull() && now == previous;
            previous = now;
            return same;
        }, 10s);
        return previous;
    };

    const QImage instructions = settledGrab(kPaneArea);

    // Quick search by author.
    x.focus(mainWindow);
    x.click(mainWindow, kAuthorRadio);
    x.click(mainWindow, kSearchEdit);
    x.type(kAuthor);
    const QImage allPoems = settledGrab(kListArea);
    x.click(mainWindow, kSearchButton);
    m_steps[QStringLiteral("search changed the list")] =
        waitFor([&] { return x.grab(mainWindow, kListArea) != allPoems; }, 20s);

    // Show a poem of the result.
    settledGrab(kListArea);
    x.click(mainWindow, kFirstPoemRow);
    m_steps[QStringLiteral("a poem replaced the instructions")] =
        waitFor([&] { return x.grab(mainWindow, kPaneArea) != instructions; }, 20s);

    // Open About from the status bar. The dialog is created after the main
    // window's first paint: until then the click finds none, so click again.
    const QPoint aboutLabel(kAboutLabelX, x.windowSize(mainWindow).height() - kStatusPanelHeight / 2 - 2);
    std::optional<XWindow> about;
    for (int attempt = 0; attempt < 12 && !about; ++attempt) {
        x.click(mainWindow, aboutLabel);
        about = x.waitForWindow(kAboutTitle, 5s);
    }
    m_steps[QStringLiteral("About dialog opened")] = about.has_value();
    if (about) {
        // Leave the page time to draw (its engine writes what it writes now).
        QThread::sleep(3);
        bool closed = false;
        for (int attempt = 0; attempt < 4 && !closed; ++attempt) {
            x.click(*about, kAboutReturnButton);
            closed = waitFor([&] { return !x.visibleWindow(kAboutTitle); }, 5s);
        }
        m_steps[QStringLiteral("About dialog closed")] = closed;
    }

    // Activating the main window again puts the instructions back.
    m_steps[QStringLiteral("instructions shown again")] =
        waitFor([&] { return x.grab(mainWindow, kPaneArea) == instructions; }, 20s);

    // A warning left open by a step that went wrong would keep the window
    // from closing.
    while (const std::optional<XWindow> warning = x.visibleWindow(kWarningTitle)) {
        x.requestClose(*warning);
        if (!waitFor([&] { return x.visibleWindow(kWarningTitle) != warning; }, 5s))
            break;
    }
}

void NoWritesTest::stopProgram(std::chrono::milliseconds timeout)
{
    if (m_program.state() == QProcess::NotRunning)
        return;
    // Ending strace would leave the program running untraced: end the program
    // (its web engine helpers follow their browser process), then strace.
    if (m_programPid)
        ::kill(pid_t(*m_programPid), SIGKILL);
    if (!m_program.waitForFinished(int(timeout.count()))) {
        m_program.kill();
        m_program.waitForFinished(int(timeout.count()));
    }
}

QString NoWritesTest::ownWrite(const QString &path, const QString &how)
{
    if (isInside(path, m_run))
        return QStringLiteral("%1 (%2)").arg(path, how);
    if (!isInside(path, m_home))
        return QString();
    const QString inHome = QDir(m_home).relativeFilePath(path);
    const QString reason = platformWriteReason(inHome);
    if (!reason.isEmpty()) {
        m_platformWrites.insert(inHome.section(u'/', 0, 1), reason);
        return QString();
    }
    return QStringLiteral("%1 (%2)").arg(path, how);
}

void NoWritesTest::sessionStepsHappened_data()
{
    QTest::addColumn<QString>("step");
    for (const char *step : {"search changed the list", "a poem replaced the instructions", "About dialog opened",
                             "About dialog closed", "instructions shown again", "close request sent",
                             "program ended after its window was closed", "program exited normally with code 0"})
        QTest::newRow(step) << QString::fromUtf8(step);
}

void NoWritesTest::sessionStepsHappened()
{
    QFETCH(QString, step);
    QVERIFY2(m_steps.value(step),
             qPrintable(QStringLiteral("not seen: %1; the program said:\n%2")
                            .arg(step, QString::fromLocal8Bit(m_programOutput.right(4000)))));
}

void NoWritesTest::traceCoversTheProgramAndItsWebEngine()
{
    bool openedCollection = false;
    bool readInstructions = false;
    bool startedHelper = false;
    QSet<QString> threads;
    for (const SyscallRecord &call : std::as_const(m_calls)) {
        threads.insert(call.logFile);
        if (!call.succeeded)
            continue;
        if (call.name.startsWith(QStringLiteral("open")) && call.paths.contains(m_run + QStringLiteral("/songci.idb")))
            openedCollection = true;
        if (call.name.startsWith(QStringLiteral("open")) && call.paths.contains(m_run + QStringLiteral("/使用说明.txt")))
            readInstructions = true;
        if (call.name == u"execve" && !call.paths.isEmpty() && call.paths.first().endsWith(QStringLiteral("/QtWebEngineProcess")))
            startedHelper = true;
    }
    QVERIFY2(openedCollection, "the trace shows no open of songci.idb");
    QVERIFY2(readInstructions, "the trace shows no open of 使用说明.txt");
    QVERIFY2(startedHelper, "the trace shows no web engine helper process");
    qInfo("%lld calls traced in %lld threads", qlonglong(m_calls.size()), qlonglong(threads.size()));
}

void NoWritesTest::noWriteInTheSystemCalls()
{
    QStringList own;
    QMap<QString, int> elsewhere;
    for (const SyscallRecord &call : std::as_const(m_calls)) {
        // A call that failed changed nothing; one cut off may have.
        if (!changesFiles(call) || (call.finished && !call.succeeded))
            continue;
        for (const QString &path : changedPaths(call)) {
            const QString write = ownWrite(path, call.name + QStringLiteral(" in ") + call.logFile);
            if (!write.isEmpty())
                own.append(write + QStringLiteral(": ") + call.line);
            else if (!isInside(path, m_home) && !isInside(path, m_logs) && !path.startsWith(QStringLiteral("/proc/"))
                     && path != QStringLiteral("/dev/null"))
                ++elsewhere[QFileInfo(path).path()];
        }
    }
    for (auto it = m_platformWrites.cbegin(); it != m_platformWrites.cend(); ++it)
        qInfo("written by the platform: ~/%s (%s)", qPrintable(it.key()), qPrintable(it.value()));
    for (auto it = elsewhere.cbegin(); it != elsewhere.cend(); ++it)
        qInfo("outside the watched folders: %d change(s) in %s", it.value(), qPrintable(it.key()));
    QVERIFY2(own.isEmpty(), qPrintable(QStringLiteral("the program wrote:\n") + own.join(u'\n')));
}

void NoWritesTest::noWriteSeenByInotify()
{
    QStringList own;
    for (const FileEvent &event : std::as_const(m_events)) {
        const QString write = ownWrite(event.path, event.events);
        if (!write.isEmpty())
            own.append(write);
    }
    QVERIFY2(own.isEmpty(), qPrintable(QStringLiteral("inotify saw:\n") + own.join(u'\n')));
}

void NoWritesTest::foldersUnchanged()
{
    QStringList own;
    for (const QString &entry : changedEntries(m_homeBefore, m_homeAfter)) {
        const QString write = ownWrite(m_home + u'/' + entry, QStringLiteral("home"));
        if (!write.isEmpty())
            own.append(write);
    }
    for (const QString &entry : changedEntries(m_runBefore, m_runAfter))
        own.append(ownWrite(m_run + u'/' + entry, QStringLiteral("run folder")));
    QVERIFY2(own.isEmpty(), qPrintable(QStringLiteral("changed after the session:\n") + own.join(u'\n')));
}

QTEST_GUILESS_MAIN(NoWritesTest)
#include "tst_no_writes.moc"

// The real program, started under an X server of the test's own, on damaged
// or foreign collection files. Each run ends one of two ways: the start-up
// error box and exit code 1, or the main window (where a poem that cannot be
// shown gives the general error box and the program goes on). Never a crash,
// never a hang, and nothing in the working folder is created or changed.
#include "fixture_database.h"
#include "virtual_display.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <optional>
#include <stdexcept>

namespace {

enum class Outcome {
    StartupError,   // the error box, then exit code 1
    Runs,           // the main window; showing a poem works
    ShowingFails,   // the main window; showing a poem gives the general error box
};

const QString kBoxTitle = QStringLiteral("^Vennali$");
const QString kMainWindowTitle = QStringLiteral("^《Vennali全集》");
// Inside the result list, below its headings: with the fixtures' forty rows
// every point there is on a row.
const QPoint kPointInList(100, 300);

constexpr int kWindowWaitMs = 20000;
constexpr int kExitWaitMs = 10000;

QString runDir()
{
    return qEnvironmentVariable("VENNALI_RUN_DIR");
}

// Polls until `done` holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(100);
    }
    return true;
}

// Every file under `dir` with its size, modification time and content hash.
QStringList snapshot(const QString &dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString hash;
        if (info.isFile()) {
            QFile file(info.filePath());
            QCryptographicHash sha(QCryptographicHash::Sha256);
            if (file.open(QIODevice::ReadOnly) && sha.addData(&file))
                hash = QString::fromLatin1(sha.result().toHex());
        }
        entries.append(QStringLiteral("%1 %2 %3 %4")
                           .arg(QDir(dir).relativeFilePath(info.filePath()))
                           .arg(info.size())
                           .arg(info.lastModified().toMSecsSinceEpoch())
                           .arg(hash));
    }
    entries.sort();
    return entries;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// Forty rows, so that a click anywhere in the list lands on one.
QStringList rows(const QString &valuesTemplate)
{
    QStringList statements;
    for (int id = 1; id <= 40; ++id)
        statements.append(QStringLiteral("insert into shi values (%1, %2)").arg(id).arg(valuesTemplate));
    return statements;
}

// Writes the collection file of one kind into `dir` (nothing for "missing").
void writeCollection(const QString &kind, const QString &dir)
{
    const QString path = dir + QStringLiteral("/songci.idb");
    const std::vector<fixture::Poem> poems{
        {QStringLiteral("如梦令"), QStringLiteral("李清照"), QStringLiteral("昨夜雨疏风骤。"), QStringLiteral("如梦令")}};
    if (kind == QLatin1String("missing")) {
        return;
    } else if (kind == QLatin1String("empty")) {
        writeFile(path, {});
    } else if (kind == QLatin1String("random")) {
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(20240611);
        for (char &byte : noise)
            byte = char(generator.bounded(256));
        writeFile(path, noise);
    } else if (kind == QLatin1String("truncated")) {
        QFile real(runDir() + QStringLiteral("/songci.idb"));
        if (!real.open(QIODevice::ReadOnly))
            throw std::runtime_error("no songci.idb in the run folder");
        writeFile(path, real.read(1024 * 1024));
    } else if (kind == QLatin1String("plain")) {
        fixture::writeDatabase(path, poems, QByteArray());
    } else if (kind == QLatin1String("wrongkey")) {
        fixture::writeDatabase(path, poems, "mirv2031460L");
    } else if (kind == QLatin1String("notable")) {
        fixture::writeRawDatabase(path, {QStringLiteral("create table poems (id integer primary key, title text)")},
                                  fixture::kKey);
    } else if (kind == QLatin1String("nonr")) {
        fixture::writeRawDatabase(path,
                                  QStringList{QStringLiteral("create table shi (id integer primary key, title text, zz text, sort text)")}
                                      + rows(QStringLiteral("'菩萨蛮·小山', '温庭筠', '菩萨蛮'")),
                                  fixture::kKey);
    } else if (kind == QLatin1String("badgbk")) {
        // 月 then 0xFF then A; a lead byte before a blank; 明, a lone 0x80, 月 and
        // a lead byte cut off at the end.
        fixture::writeRawDatabase(path,
                                  QStringList{QStringLiteral("create table shi (id integer primary key, title text, zz text, nr text, sort text)")}
                                      + rows(QStringLiteral("cast(X'D4C2FF41' as text), cast(X'C320' as text), "
                                                            "cast(X'C3F780D4C281' as text), 'x'")),
                                  fixture::kKey);
    } else {
        throw std::runtime_error("unknown kind " + kind.toStdString());
    }
}

// One run of the program, killed if it is still running when this ends.
class ProgramRun
{
public:
    ProgramRun(const VirtualDisplay &display, const QString &workDir, const QString &homeDir)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display.name());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        // Whatever the program writes outside its working folder lands here.
        environment.insert(QStringLiteral("HOME"), homeDir);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), homeDir);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), homeDir + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), homeDir + QStringLiteral("/cache"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), homeDir + QStringLiteral("/data"));
        // The web views ask a proxy on a loopback port where nothing listens,
        // so no request leaves the machine.
        environment.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"),
                           QStringLiteral("--proxy-server=127.0.0.1:9"));
        // The box probe: every message box's title and text on stderr.
        environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(VENNALI_BOX_PROBE_DIR));
        environment.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("vennaliboxprobe"));
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(workDir);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_process, &QProcess::readyRead, &m_process,
                         [this] { m_output += m_process.readAll(); });
        m_process.start(QStringLiteral(VENNALI_PROGRAM), {});
    }

    ~ProgramRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QProcess &process() { return m_process; }
    bool running() const { return m_process.state() == QProcess::Running; }

    // The boxes the probe reported so far: "icon\ttitle\ttext".
    QStringList boxes()
    {
        m_output += m_process.readAll();
        QStringList found;
        for (const QByteArray &line : m_output.split('\n')) {
            if (line.startsWith("box-probe\t"))
                found.append(QString::fromUtf8(line.mid(10)));
        }
        return found;
    }

    QString output()
    {
        m_output += m_process.readAll();
        return QString::fromUtf8(m_output);
    }

    // "still running", or how it ended.
    QString state() const
    {
        if (m_process.state() != QProcess::NotRunning)
            return QStringLiteral("still running");
        if (m_process.exitStatus() == QProcess::CrashExit)
            return QStringLiteral("crashed");
        return QStringLiteral("ended with exit code %1").arg(m_process.exitCode());
    }

    bool waitForExit(int timeoutMs)
    {
        return waitUntil([this] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

} // namespace

class DatabaseFaultsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void eachDamagedCollection_data();
    void eachDamagedCollection();

private:
    // Waits for one visible window of the title while the program runs.
    std::optional<quint32> waitForWindow(ProgramRun &run, const QString &title);
    // Waits for the error box, checks what it says and presses Return in it.
    void answerErrorBox(ProgramRun &run, int boxesBefore, const QString &messagePart);

    VirtualDisplay m_display;
};

void DatabaseFaultsTest::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(VENNALI_PROGRAM)).isExecutable(), VENNALI_PROGRAM);
    for (const char *tool : {"Xvfb", "xdotool"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    QString error;
    QVERIFY2(m_display.start(&error), qPrintable(error));
}

void DatabaseFaultsTest::cleanupTestCase()
{
    m_display.stop();
}

void DatabaseFaultsTest::eachDamagedCollection_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("missing file") << "missing" << Outcome::StartupError << "cannot open songci.idb: no such file";
    // SQLite takes an empty file for an empty database.
    QTest::newRow("empty file") << "empty" << Outcome::StartupError << "no such table: shi";
    QTest::newRow("random bytes") << "random" << Outcome::StartupError << "cannot open songci.idb: file is encrypted or is not a database";
    QTest::newRow("first MiB of the real collection") << "truncated" << Outcome::StartupError << "malformed";
    QTest::newRow("plain unencrypted SQLite") << "plain" << Outcome::StartupError << "cannot open songci.idb: file is encrypted or is not a database";
    QTest::newRow("another key") << "wrongkey" << Outcome::StartupError << "cannot open songci.idb: file is encrypted or is not a database";
    QTest::newRow("no table shi") << "notable" << Outcome::StartupError << "no such table: shi";
    QTest::newRow("table shi without nr") << "nonr" << Outcome::ShowingFails << "no field named nr";
    QTest::newRow("text that is not valid GBK") << "badgbk" << Outcome::Runs << QString();
}

std::optional<quint32> DatabaseFaultsTest::waitForWindow(ProgramRun &run, const QString &title)
{
    QList<quint32> windows;
    waitUntil([&] {
        windows = m_display.visibleWindows(title);
        return !windows.isEmpty() || !run.running();
    }, kWindowWaitMs);
    if (windows.isEmpty())
        return std::nullopt;
    return windows.first();
}

void DatabaseFaultsTest::answerErrorBox(ProgramRun &run, int boxesBefore, const QString &messagePart)
{
    const std::optional<quint32> box = waitForWindow(run, kBoxTitle);
    QVERIFY2(box, qPrintable(QStringLiteral("no error box; %1; the program said:\n%2").arg(run.state(), run.output())));
    QCOMPARE(m_display.windowTitle(*box), QStringLiteral("Vennali"));
    QCOMPARE(m_display.windowType(*box), QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG"));
    // What the box says, as the probe inside the program read it; its line
    // may come through the pipe a moment after the window.
    waitUntil([&] { return run.boxes().size() > boxesBefore; }, kExitWaitMs);
    const QStringList boxes = run.boxes();
    QCOMPARE(boxes.size(), boxesBefore + 1);
    const QStringList fields = boxes.last().split(QLatin1Char('\t'));
    QCOMPARE(fields.size(), 3);
    QCOMPARE(fields[0].toInt(), int(QMessageBox::Critical));
    QCOMPARE(fields[1], QStringLiteral("Vennali"));
    QVERIFY2(fields[2].contains(messagePart), qPrintable(fields[2]));

    // A key sent the moment the box is mapped may come before the box has
    // its focus and go nowhere, so it is pressed again while the box stays.
    bool answered = false;
    for (int attempt = 0; attempt < 5 && !answered; ++attempt) {
        m_display.pressKey(*box, QStringLiteral("Return"));
        answered = waitUntil([&] { return !m_display.visibleWindows(kBoxTitle).contains(*box) || !run.running(); },
                             kExitWaitMs / 5);
    }
    QVERIFY2(answered, "the error box stays open after Return");
}

void DatabaseFaultsTest::eachDamagedCollection()
{
    QFETCH(QString, kind);
    QFETCH(Outcome, outcome);
    QFETCH(QString, messagePart);
    if (kind == QLatin1String("truncated") && !QFileInfo::exists(runDir() + QStringLiteral("/songci.idb")))
        QSKIP("no songci.idb in the run folder: build the target database");

    QTemporaryDir work;
    QTemporaryDir home;
    QVERIFY(work.isValid() && home.isValid());
    writeCollection(kind, work.path());
    const QString instructions = runDir() + QStringLiteral("/使用说明.txt");
    if (QFileInfo::exists(instructions))
        QVERIFY(QFile::copy(instructions, work.filePath(QStringLiteral("使用说明.txt"))));
    const QStringList before = snapshot(work.path());

    ProgramRun run(m_display, work.path(), home.path());
    QVERIFY2(run.process().waitForStarted(10000), qPrintable(run.process().errorString()));

    if (outcome == Outcome::StartupError) {
        answerErrorBox(run, 0, messagePart);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(m_display.visibleWindows(kMainWindowTitle).isEmpty(), "the main window came up as well");
        QVERIFY2(run.waitForExit(kExitWaitMs), "the program did not end after the error box");
        QVERIFY2(run.process().exitStatus() == QProcess::NormalExit, qPrintable(run.output()));
        QCOMPARE(run.process().exitCode(), 1);
    } else {
        const std::optional<quint32> main = waitForWindow(run, kMainWindowTitle);
        QVERIFY2(main, qPrintable(QStringLiteral("no main window; %1; the program said:\n%2").arg(run.state(), run.output())));
        QCOMPARE(run.boxes(), QStringList());

        // Show a poem, twice: after an error box the program must answer the
        // next click as it did the first.
        for (int attempt = 0; attempt < 2; ++attempt) {
            QVERIFY(m_display.click(*main, kPointInList));
            if (outcome == Outcome::ShowingFails) {
                answerErrorBox(run, attempt, messagePart);
                if (QTest::currentTestFailed())
                    return;
            } else {
                // No box comes: give it a moment to.
                QTest::qWait(500);
                QCOMPARE(run.boxes(), QStringList());
            }
            QVERIFY2(run.running(), qPrintable(run.output()));
            QCOMPARE(m_display.visibleWindows(kMainWindowTitle), QList<quint32>{*main});
        }

        // The close button ends the program normally.
        bool ended = false;
        for (int attempt = 0; attempt < 5 && !ended; ++attempt) {
            QVERIFY(m_display.requestClose(*main));
            ended = run.waitForExit(kExitWaitMs / 5);
        }
        QVERIFY2(ended, "the program did not end when its window was closed");
        QVERIFY2(run.process().exitStatus() == QProcess::NormalExit, qPrintable(run.output()));
        QCOMPARE(run.process().exitCode(), 0);
    }

    QCOMPARE(snapshot(work.path()), before);
}

QTEST_GUILESS_MAIN(DatabaseFaultsTest)
#include "tst_database_faults.moc"

// Memory of the whole program, its web engine helper processes included,
// against a bare window with one web view loading an unreachable page, in
// the same run. Each sample is a fresh process that measures its own
// process tree from /proc at two moments:
//
//   start-up  every page has been requested and has finished (failed) loading
//   About     the program's About dialog is open and its page has painted;
//             for the bare window, the same time later
//
// Figures per moment, each summed over the tree: PSS (shared pages divided
// among the processes sharing them; it moves with whatever else on the
// machine maps the same libraries), RSS (shared pages counted in every
// process), anonymous memory (heaps and stacks: the part the program's own
// data drives, unaffected by other processes) and each process's peak RSS
// (VmHWM).
//
//   bench_memory [runs]   (any folder; the collection is found in the run folder)

#include "about/Unit3.h"
#include "app/hidden_web_view.h"
#include "app/startup.h"
#include "app/tangshi.h"
#include "app/vennali_application.h"
#include "ui_Unit3.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

struct TreeMemory
{
    double pssMiB = 0;
    double rssMiB = 0;
    double anonMiB = 0;
    double peakMiB = 0;
    int processes = 0;
};

// "Key:   1234 kB" from a /proc file, in KiB; 0 when absent.
qint64 kibField(const QByteArray &text, const QByteArray &key)
{
    const QByteArray prefix = key + ':';
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

QByteArray readProcFile(const QString &path)
{
    QFile file(path);
    // /proc files report size 0: read until the end.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// This process and all its descendants (the web engine's zygote and the
// renderers it forks are grandchildren).
std::vector<pid_t> processTree()
{
    std::map<pid_t, std::vector<pid_t>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        const QByteArray stat = readProcFile(QStringLiteral("/proc/%1/stat").arg(pid));
        // The command name may hold spaces and parentheses: fields follow the last ')'.
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1)
            children[pid_t(fields.at(1).toInt())].push_back(pid);
    }
    std::vector<pid_t> tree{getpid()};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        for (pid_t child : children[tree[i]])
            tree.push_back(child);
    }
    return tree;
}

TreeMemory measureTree()
{
    TreeMemory memory;
    for (pid_t pid : processTree()) {
        const QByteArray rollup = readProcFile(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        const QByteArray status = readProcFile(QStringLiteral("/proc/%1/status").arg(pid));
        if (status.isEmpty())
            continue;
        memory.pssMiB += kibField(rollup, "Pss") / 1024.0;
        memory.rssMiB += kibField(status, "VmRSS") / 1024.0;
        memory.anonMiB += kibField(rollup, "Anonymous") / 1024.0;
        memory.peakMiB += kibField(status, "VmHWM") / 1024.0;
        ++memory.processes;
    }
    return memory;
}

void report(const char *moment)
{
    const TreeMemory memory = measureTree();
    std::printf("%s %.2f %.2f %.2f %.2f %d\n", moment, memory.pssMiB, memory.rssMiB, memory.anonMiB, memory.peakMiB,
                memory.processes);
    std::fflush(stdout);
}

bool pagesSettled(const std::vector<QWebEnginePage *> &pages)
{
    return !pages.empty() && std::all_of(pages.begin(), pages.end(), [](QWebEnginePage *page) {
        return page && !page->isLoading();
    });
}

// After a page finishes, the renderer still paints and settles for a moment.
constexpr int kGraceMs = 1500;
constexpr int kPollMs = 100;
constexpr int kGiveUpMs = 90000;

// Polls the program's windows: waits for start-up to settle, opens About,
// waits for its page, then closes everything.
class ProgramDriver : public QObject
{
public:
    ProgramDriver()
    {
        m_poll.setInterval(kPollMs);
        connect(&m_poll, &QTimer::timeout, this, &ProgramDriver::step);
        m_poll.start();
        QTimer::singleShot(kGiveUpMs, this, [] {
            std::fprintf(stderr, "the program did not settle in time\n");
            std::exit(2);
        });
    }

private:
    void step()
    {
        if (!m_main) {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (auto *main = qobject_cast<Tftangshi *>(window))
                    m_main = main;
            }
            return;
        }
        if (!m_about)
            m_about = m_main->findChild<TForm3 *>();
        if (!m_about)
            return;
        auto *hidden = m_main->findChild<HiddenWebView *>();
        const std::vector<QWebEnginePage *> pages{hidden ? hidden->page() : nullptr,
                                                  m_about->form().WebBrowser1->page()};
        switch (m_stage) {
        case Stage::StartUp:
            if (!pagesSettled(pages))
                return;
            m_stage = Stage::Waiting;
            QTimer::singleShot(kGraceMs, this, [this] {
                report("startup");
                m_stage = Stage::About;
                // Blocks in the dialog's own loop; polling goes on inside it.
                QTimer::singleShot(0, m_main, [this] { m_main->Label5Click(); });
            });
            return;
        case Stage::About:
            if (!m_about->isVisible() || !pagesSettled(pages))
                return;
            m_stage = Stage::Waiting;
            QTimer::singleShot(kGraceMs, this, [this] {
                report("about");
                m_stage = Stage::Done;
                m_about->Button1Click();
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            });
            return;
        case Stage::Waiting:
        case Stage::Done:
            return;
        }
    }

    enum class Stage { StartUp, Waiting, About, Done };
    QTimer m_poll;
    QPointer<Tftangshi> m_main;
    QPointer<TForm3> m_about;
    Stage m_stage = Stage::StartUp;
};

int programChild(int argc, char **argv)
{
    VennaliApplication app(argc, argv);
    ProgramDriver driver;
    return runVennali(app);
}

// The same timeline for one window with one web view on an off-the-record
// profile (as the program's are), loading a page nobody answers.
int baselineChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWebEngineProfile profile;
    QWidget window;
    window.resize(809, 612);
    QWebEngineView view(&window);
    view.setPage(new QWebEnginePage(&profile, &view));
    view.setGeometry(16, 280, 529, 169);
    window.show();
    view.load(QUrl(QStringLiteral("http://127.0.0.1:9/")));

    QTimer poll;
    bool waiting = false;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (waiting || view.page()->isLoading())
            return;
        waiting = true;
        QTimer::singleShot(kGraceMs, &app, [&] {
            report("startup");
            QTimer::singleShot(kGraceMs, &app, [&] {
                report("about");
                app.quit();
            });
        });
    });
    poll.start(kPollMs);
    QTimer::singleShot(kGiveUpMs, &app, [] {
        std::fprintf(stderr, "the bare window did not settle in time\n");
        std::exit(2);
    });
    const int result = app.exec();
    // The page must go before the profile it lives on.
    delete view.page();
    return result;
}

struct Sample
{
    TreeMemory startup;
    TreeMemory about;
};

Sample runChild(const QString &self, const char *mode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(self, {QStringLiteral("--child"), QString::fromLatin1(mode)});
    if (!process.waitForFinished(kGiveUpMs + 30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        std::fprintf(stderr, "child %s failed\n", mode);
        process.kill();
        process.waitForFinished(5000);
        std::exit(1);
    }
    Sample sample;
    int moments = 0;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() != 6)
            continue;
        TreeMemory memory{fields[1].toDouble(), fields[2].toDouble(), fields[3].toDouble(), fields[4].toDouble(),
                          fields[5].toInt()};
        if (fields[0] == "startup") {
            sample.startup = memory;
            ++moments;
        } else if (fields[0] == "about") {
            sample.about = memory;
            ++moments;
        }
    }
    if (moments != 2) {
        std::fprintf(stderr, "child %s reported %d of 2 moments\n", mode, moments);
        std::exit(1);
    }
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Series
{
    std::vector<double> pss, rss, anon, peak, processes;
    void add(const TreeMemory &memory)
    {
        pss.push_back(memory.pssMiB);
        rss.push_back(memory.rssMiB);
        anon.push_back(memory.anonMiB);
        peak.push_back(memory.peakMiB);
        processes.push_back(memory.processes);
    }
};

void printMoment(const char *moment, const Series &bare, const Series &program)
{
    std::printf("%-16s bare web view  %5.0f %8.1f %8.1f %8.1f %8.1f\n", moment, median(bare.processes),
                median(bare.pss), median(bare.rss), median(bare.anon), median(bare.peak));
    std::printf("%-16s program        %5.0f %8.1f %8.1f %8.1f %8.1f\n", "", median(program.processes),
                median(program.pss), median(program.rss), median(program.anon), median(program.peak));
    std::printf("%-16s ratio                %8.2f %8.2f %8.2f %8.2f\n", "", median(program.pss) / median(bare.pss),
                median(program.rss) / median(bare.rss), median(program.anon) / median(bare.anon),
                median(program.peak) / median(bare.peak));
}

} // namespace

int main(int argc, char **argv)
{
    // As the program's own main does.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        if (std::strcmp(argv[2], "program") == 0)
            return programChild(argc, argv);
        return baselineChild(argc, argv);
    }

    QCoreApplication app(argc, argv);
    // The program looks for its collection in the current folder.
    if (!QFile::exists(QStringLiteral("songci.idb")))
        QDir::setCurrent(QStringLiteral(VENNALI_DEFAULT_RUN_DIR));
    if (!QFile::exists(QStringLiteral("songci.idb"))) {
        std::fprintf(stderr, "no songci.idb here or in %s: build the 'database' target\n", VENNALI_DEFAULT_RUN_DIR);
        return 1;
    }
    const int runs = argc >= 2 ? std::max(3, std::atoi(argv[1])) : 5;
    const QString self = QCoreApplication::applicationFilePath();
    // Warm the file cache for both.
    runChild(self, "bare");
    runChild(self, "program");
    Series bareStartup, bareAbout, programStartup, programAbout;
    for (int i = 0; i < runs; ++i) {
        const Sample bare = runChild(self, "bare");
        const Sample program = runChild(self, "program");
        bareStartup.add(bare.startup);
        bareAbout.add(bare.about);
        programStartup.add(program.startup);
        programAbout.add(program.about);
    }
    std::printf("memory of the whole process tree, MiB, median of %d runs each\n", runs);
    std::printf("%-16s %-14s %5s %8s %8s %8s %8s\n", "moment", "", "procs", "PSS", "RSS", "anon", "peak");
    printMoment("after start-up", bareStartup, programStartup);
    printMoment("with About open", bareAbout, programAbout);
    return 0;
}

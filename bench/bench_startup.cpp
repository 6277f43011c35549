// Start-up cost: from constructing the application object to the main
// window's first paint with the whole list, against a bare QWidget shown the
// same way, each in a fresh process, alternating, in the same run. Also the
// peak resident memory of each process at that moment.
//
//   bench_startup [runs]          (run from the folder holding songci.idb)

#include "app/startup.h"
#include "app/tangshi.h"
#include "app/vennali_application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Reports the first paint of a window and quits.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(const QElapsedTimer &clock) : m_clock(clock) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow()) {
            m_done = true;
            const qint64 ns = m_clock.nsecsElapsed();
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("%lld %ld\n", static_cast<long long>(ns), usage.ru_maxrss);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &m_clock;
    bool m_done = false;
};

int child(const char *mode, int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    VennaliApplication app(argc, argv);
    FirstPaint probe(clock);
    // Watches every window: the program creates its own.
    app.installEventFilter(&probe);
    if (std::strcmp(mode, "program") == 0)
        return runVennali(app);
    std::unique_ptr<QWidget> window;
    if (std::strcmp(mode, "bare") == 0)
        window = std::make_unique<QWidget>();
    else
        window = std::make_unique<Tftangshi>();
    window->resize(809, 612);
    window->show();
    return app.exec();
}

struct Sample
{
    double ms = 0;
    double peakMiB = 0;
};

Sample runChild(const QString &self, const char *mode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(self, {QStringLiteral("--child"), QString::fromLatin1(mode)});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        std::fprintf(stderr, "child %s failed\n", mode);
        std::exit(1);
    }
    const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 2) {
        std::fprintf(stderr, "child %s printed nothing\n", mode);
        std::exit(1);
    }
    return {fields[0].toDouble() / 1e6, fields[1].toDouble() / 1024.0};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return child(argv[2], argc, argv);

    QCoreApplication app(argc, argv);
    const int runs = argc >= 2 ? std::max(3, std::atoi(argv[1])) : 9;
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> bareMs, mainMs, programMs, bareMem, mainMem, programMem;
    // Warm the file cache for all three.
    runChild(self, "bare");
    runChild(self, "main");
    runChild(self, "program");
    for (int i = 0; i < runs; ++i) {
        const Sample bare = runChild(self, "bare");
        const Sample main = runChild(self, "main");
        const Sample program = runChild(self, "program");
        bareMs.push_back(bare.ms);
        mainMs.push_back(main.ms);
        programMs.push_back(program.ms);
        bareMem.push_back(bare.peakMiB);
        mainMem.push_back(main.peakMiB);
        programMem.push_back(program.peakMiB);
    }
    std::printf("first paint, median of %d: bare QWidget %.1f ms; main window with the whole list %.1f ms "
                "(ratio %.2f); the whole program's start-up %.1f ms (ratio %.2f)\n",
                runs, median(bareMs), median(mainMs), median(mainMs) / median(bareMs),
                median(programMs), median(programMs) / median(bareMs));
    std::printf("peak memory of the process at first paint: bare %.1f MiB; main window %.1f MiB (ratio %.2f); "
                "the program %.1f MiB (ratio %.2f)\n",
                median(bareMem), median(mainMem), median(mainMem) / median(bareMem),
                median(programMem), median(programMem) / median(bareMem));
    return 0;
}

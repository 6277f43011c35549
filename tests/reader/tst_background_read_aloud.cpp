#include "fake_speech_engine.h"
#include "reader/background_read_aloud.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>

using reader::BackgroundReadAloud;

namespace {

const QString kPoem = QStringLiteral("明月几时有？把酒问青天。");
const QString kSecondPoem = QStringLiteral("大江东去，浪淘尽，千古风流人物。");
const QString kThirdPoem = QStringLiteral("寻寻觅觅，冷冷清清，凄凄惨惨戚戚。");

QStringList readingOf(const QString &text)
{
    return {QStringLiteral("rate -3"), QStringLiteral("purge"), QStringLiteral("speak ") + text};
}

// Holds every engine start until the test opens the gate, as a speech service
// does that is slow to start or stuck.
struct StartGate
{
    QSemaphore entered;
    QSemaphore open;
    std::atomic<bool> timedOut{false};
    std::atomic<QThread *> thread{nullptr};
};

reader::SpeechEngineFactory heldStart(reader::SpeechEngineFactory factory, std::shared_ptr<StartGate> gate)
{
    return [factory = std::move(factory), gate] {
        gate->thread = QThread::currentThread();
        gate->entered.release();
        // Bounded, so that a test that fails before opening does not leave a
        // thread stuck for good.
        if (!gate->open.tryAcquire(1, 30000))
            gate->timedOut = true;
        return factory();
    };
}

// Keeps the gate from holding anything once the test is over, however it ends.
auto openOnExit(const std::shared_ptr<StartGate> &gate)
{
    return qScopeGuard([gate] { gate->open.release(1000); });
}

struct FailureLog
{
    QStringList messages;
    QList<QThread *> threads;

    // Direct, so the thread seen is the one that emitted the signal.
    void watch(BackgroundReadAloud &reading)
    {
        QObject::connect(
            &reading, &BackgroundReadAloud::failed, &reading,
            [this](const QString &message) {
                messages << message;
                threads << QThread::currentThread();
            },
            Qt::DirectConnection);
    }
};

bool lastCallIs(FakeSpeechService &service, const QString &call)
{
    const QStringList calls = service.callsMade();
    return !calls.isEmpty() && calls.last() == call;
}

} // namespace

class BackgroundReadAloudTest : public QObject
{
    Q_OBJECT
private slots:
    void callerKeepsRunningWhileTheEngineStarts();
    void newerRequestsReplaceWaitingOnes_data();
    void newerRequestsReplaceWaitingOnes();
    void failuresArriveOnTheOwnersThread_data();
    void failuresArriveOnTheOwnersThread();
    void failedStopIsReported();
    void failedVoiceChoiceIsSilentAndRetried_data();
    void failedVoiceChoiceIsSilentAndRetried();
    void engineLivesAndDiesOnTheWorkerThread();
    void stuckEngineDoesNotHoldUpDestruction_data();
    void stuckEngineDoesNotHoldUpDestruction();
};

void BackgroundReadAloudTest::callerKeepsRunningWhileTheEngineStarts()
{
    auto service = std::make_shared<FakeSpeechService>();
    auto gate = std::make_shared<StartGate>();
    const auto opener = openOnExit(gate);
    BackgroundReadAloud reading(heldStart(fakeSpeechFactory(service), gate));

    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, &timer, [&ticks] { ++ticks; });
    timer.start(10);

    reading.readAloud(kPoem);
    QVERIFY(gate->entered.tryAcquire(1, 5000));
    QVERIFY(!gate->timedOut);
    QTRY_VERIFY(ticks >= 10);

    // Asking again, or to stop, does not wait for the start either.
    reading.readAloud(kPoem);
    reading.stop();
    reading.readAloud(kSecondPoem);
    const int ticksBefore = ticks;
    QTRY_VERIFY(ticks >= ticksBefore + 10);
    QVERIFY(service->callsMade().isEmpty());

    gate->open.release();
    const QStringList overtaken{QStringLiteral("voices"), QStringLiteral("rate -3"), QStringLiteral("purge")};
    QTRY_COMPARE(service->callsMade(), overtaken + readingOf(kSecondPoem));
    QVERIFY(!gate->timedOut);
}

void BackgroundReadAloudTest::newerRequestsReplaceWaitingOnes_data()
{
    // Each step is "read:<pane text>" or "stop"; all are asked for while the
    // first reading waits for the engine to start.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("calls");

    const QString read = QStringLiteral("read:");
    const QString stop = QStringLiteral("stop");
    // The first reading, overtaken before it could speak.
    const QStringList overtaken{QStringLiteral("voices"), QStringLiteral("rate -3"), QStringLiteral("purge")};

    QTest::newRow("one reading") << QStringList{read + kPoem} << QStringList{QStringLiteral("voices")} + readingOf(kPoem);
    QTest::newRow("five clicks during the start read once")
        << QStringList(5, read + kPoem) << overtaken + readingOf(kPoem);
    QTest::newRow("the newest text is read")
        << QStringList{read + kPoem, read + kSecondPoem, read + kThirdPoem} << overtaken + readingOf(kThirdPoem);
    QTest::newRow("a stop cancels the waiting reading")
        << QStringList{read + kPoem, read + kSecondPoem, stop} << overtaken + QStringList{QStringLiteral("purge")};
    QTest::newRow("reading after a stop")
        << QStringList{read + kPoem, stop, read + kSecondPoem} << overtaken + readingOf(kSecondPoem);
    QTest::newRow("a stop before any reading starts nothing")
        << QStringList{stop, read + kPoem} << QStringList{QStringLiteral("voices")} + readingOf(kPoem);
}

void BackgroundReadAloudTest::newerRequestsReplaceWaitingOnes()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);

    auto service = std::make_shared<FakeSpeechService>();
    auto gate = std::make_shared<StartGate>();
    const auto opener = openOnExit(gate);
    FailureLog failures;
    auto reading = std::make_unique<BackgroundReadAloud>(heldStart(fakeSpeechFactory(service), gate));
    failures.watch(*reading);

    bool starting = false;
    for (const QString &step : std::as_const(steps)) {
        if (step == QLatin1String("stop")) {
            reading->stop();
            continue;
        }
        reading->readAloud(step.mid(QStringLiteral("read:").size()));
        if (!starting) {
            QVERIFY(gate->entered.tryAcquire(1, 5000));
            starting = true;
        }
    }
    gate->open.release();

    QTRY_VERIFY(service->callsMade().size() >= calls.size());
    QCOMPARE(service->callsMade(), calls);
    // Nothing more was waiting: the worker is joined with nothing dropped.
    reading.reset();
    QCOMPARE(service->callsMade(), calls);
    const QMutexLocker lock(&service->mutex);
    QCOMPARE(service->enginesMade, 1);
    QVERIFY(failures.messages.isEmpty());
}

void BackgroundReadAloudTest::failuresArriveOnTheOwnersThread_data()
{
    // "fake", "none" (no factory at all) or "odd" (one that throws what is
    // no std::exception).
    QTest::addColumn<QString>("factory");
    QTest::addColumn<int>("startFailures");
    QTest::addColumn<QString>("failingCall");
    QTest::addColumn<QString>("message");

    const QString fake = QStringLiteral("fake");
    QTest::newRow("no speech service configured")
        << "none" << 0 << QString() << QStringLiteral("no text-to-speech service is configured");
    QTest::newRow("engine start throws no std::exception")
        << "odd" << 0 << QString() << QStringLiteral("the text-to-speech service failed for an unknown reason");
    QTest::newRow("engine cannot start") << fake << 1 << QString() << QStringLiteral("no speech service");
    QTest::newRow("rate refused") << fake << 0 << QStringLiteral("rate") << QStringLiteral("rate failed");
    QTest::newRow("purge refused") << fake << 0 << QStringLiteral("purge") << QStringLiteral("purge failed");
    QTest::newRow("speech refused") << fake << 0 << QStringLiteral("speak") << QStringLiteral("speak failed");
}

void BackgroundReadAloudTest::failuresArriveOnTheOwnersThread()
{
    QFETCH(QString, factory);
    QFETCH(int, startFailures);
    QFETCH(QString, failingCall);
    QFETCH(QString, message);

    auto service = std::make_shared<FakeSpeechService>();
    service->startFailures = startFailures;
    service->failingCall = failingCall;
    reader::SpeechEngineFactory make;
    if (factory == QLatin1String("fake"))
        make = fakeSpeechFactory(service);
    else if (factory == QLatin1String("odd"))
        make = []() -> std::unique_ptr<reader::SpeechEngine> { throw 42; };
    FailureLog failures;
    BackgroundReadAloud reading(make);
    failures.watch(reading);

    reading.readAloud(kPoem);
    QTRY_COMPARE(failures.messages, QStringList{message});
    QCOMPARE(failures.threads, QList<QThread *>{QThread::currentThread()});

    // The next request tries again.
    {
        const QMutexLocker lock(&service->mutex);
        service->failingCall.clear();
        service->calls.clear();
    }
    reading.readAloud(kPoem);
    if (factory != QLatin1String("fake")) {
        QTRY_COMPARE(failures.messages, QStringList(2, message));
        return;
    }
    QTRY_VERIFY(lastCallIs(*service, QStringLiteral("speak ") + kPoem));
    QCoreApplication::processEvents();
    QCOMPARE(failures.messages, QStringList{message});
    const QMutexLocker lock(&service->mutex);
    QCOMPARE(service->enginesMade, 1);
}

void BackgroundReadAloudTest::failedStopIsReported()
{
    auto service = std::make_shared<FakeSpeechService>();
    FailureLog failures;
    BackgroundReadAloud reading(fakeSpeechFactory(service));
    failures.watch(reading);

    reading.readAloud(kPoem);
    QTRY_VERIFY(lastCallIs(*service, QStringLiteral("speak ") + kPoem));
    {
        const QMutexLocker lock(&service->mutex);
        service->failingCall = QStringLiteral("purge");
    }
    reading.stop();
    QTRY_COMPARE(failures.messages, QStringList{QStringLiteral("purge failed")});
    QCOMPARE(failures.threads, QList<QThread *>{QThread::currentThread()});
}

void BackgroundReadAloudTest::failedVoiceChoiceIsSilentAndRetried_data()
{
    QTest::addColumn<int>("voiceListFailures");
    QTest::addColumn<bool>("refuseVoice");

    QTest::newRow("voice list fails") << 1 << false;
    QTest::newRow("voice refused") << 0 << true;
}

void BackgroundReadAloudTest::failedVoiceChoiceIsSilentAndRetried()
{
    QFETCH(int, voiceListFailures);
    QFETCH(bool, refuseVoice);

    const reader::VoiceEntry mandarin{QStringLiteral("Chinese (Mandarin)"), QLocale(QLocale::C),
                                      QStringLiteral("Chinese (Mandarin)")};
    auto service = std::make_shared<FakeSpeechService>();
    service->voices = {mandarin};
    service->voiceListFailures = voiceListFailures;
    service->refuseVoice = refuseVoice;
    FailureLog failures;
    BackgroundReadAloud reading(fakeSpeechFactory(service));
    failures.watch(reading);
    QVERIFY(!reading.voiceChosen());

    reading.readAloud(kPoem);
    QTRY_VERIFY(lastCallIs(*service, QStringLiteral("speak ") + kPoem));
    QVERIFY(!reading.voiceChosen());

    {
        const QMutexLocker lock(&service->mutex);
        service->refuseVoice = false;
        service->calls.clear();
    }
    reading.readAloud(kPoem);
    const QStringList choiceAndReading =
        QStringList{QStringLiteral("voices"), QStringLiteral("voice ") + mandarin.name} + readingOf(kPoem);
    QTRY_COMPARE(service->callsMade(), choiceAndReading);
    QTRY_VERIFY(reading.voiceChosen());
    // A failure of the first request would have been posted before the
    // second one began.
    QCoreApplication::processEvents();
    QVERIFY(failures.messages.isEmpty());
}

void BackgroundReadAloudTest::engineLivesAndDiesOnTheWorkerThread()
{
    auto service = std::make_shared<FakeSpeechService>();
    auto reading = std::make_unique<BackgroundReadAloud>(fakeSpeechFactory(service));

    reading->readAloud(kPoem);
    QTRY_VERIFY(lastCallIs(*service, QStringLiteral("speak ") + kPoem));
    reading->stop();
    QTRY_VERIFY(lastCallIs(*service, QStringLiteral("purge")));

    QElapsedTimer clock;
    clock.start();
    reading.reset();
    const std::chrono::milliseconds waited(clock.elapsed());
    QVERIFY2(waited < BackgroundReadAloud::kShutdownWait, qPrintable(QStringLiteral("%1 ms").arg(waited.count())));

    const QMutexLocker lock(&service->mutex);
    // Destroyed before the destructor returned: the worker was joined.
    QCOMPARE(service->enginesMade, 1);
    QCOMPARE(service->enginesDestroyed, 1);
    QCOMPARE(service->threads.size(), 1);
    QVERIFY(!service->threads.contains(QThread::currentThread()));
}

void BackgroundReadAloudTest::stuckEngineDoesNotHoldUpDestruction_data()
{
    QTest::addColumn<bool>("readingWaits");
    QTest::addColumn<int>("startFailures");
    QTest::addColumn<QStringList>("calls");

    // Whatever the engine does once it comes back, the window has gone: it
    // speaks nothing, and a request that waited behind it is dropped.
    const QStringList unspoken{QStringLiteral("voices"), QStringLiteral("rate -3"), QStringLiteral("purge")};
    QTest::newRow("engine starts late") << false << 0 << unspoken;
    QTest::newRow("engine starts late, a reading waiting") << true << 0 << unspoken;
    QTest::newRow("engine fails late, a reading waiting") << true << 1 << QStringList();
}

void BackgroundReadAloudTest::stuckEngineDoesNotHoldUpDestruction()
{
    QFETCH(bool, readingWaits);
    QFETCH(int, startFailures);
    QFETCH(QStringList, calls);

    auto service = std::make_shared<FakeSpeechService>();
    service->startFailures = startFailures;
    auto gate = std::make_shared<StartGate>();
    const auto opener = openOnExit(gate);
    auto reading = std::make_unique<BackgroundReadAloud>(heldStart(fakeSpeechFactory(service), gate));

    reading->readAloud(kPoem);
    QVERIFY(gate->entered.tryAcquire(1, 5000));
    if (readingWaits)
        reading->readAloud(kSecondPoem);

    QElapsedTimer clock;
    clock.start();
    reading.reset();
    const std::chrono::milliseconds waited(clock.elapsed());
    QVERIFY2(waited < BackgroundReadAloud::kShutdownWait + std::chrono::seconds(2),
             qPrintable(QStringLiteral("%1 ms").arg(waited.count())));
    QVERIFY(!gate->timedOut);

    // The thread left behind ends by itself once the engine comes back. Its
    // QThread is kept alive for the rest of the run, so it can be watched.
    gate->open.release();
    QTRY_VERIFY(gate->thread.load()->isFinished());
    QCOMPARE(service->callsMade(), calls);
    const QMutexLocker lock(&service->mutex);
    QCOMPARE(service->enginesDestroyed, service->enginesMade);
    QCOMPARE(service->threads, QSet<QThread *>{gate->thread.load()});
}

QTEST_GUILESS_MAIN(BackgroundReadAloudTest)
#include "tst_background_read_aloud.moc"

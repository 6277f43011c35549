// The speech layer over the real Qt speech engine. On Linux that is
// speech-dispatcher: the test runs a private one that plays into ALSA's null
// device, because a daemon that fails to open a sound server stops answering
// after its first utterance.

#include "reader/background_read_aloud.h"
#include "reader/read_aloud.h"
#include "reader/speech_qt_engine.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextToSpeech>
#include <QTimer>
#include <QtTest>

#include <atomic>

using reader::BackgroundReadAloud;
using reader::QtSpeechEngine;
using reader::ReadAloud;

namespace {

const QString kSystemConfig = QStringLiteral("/etc/speech-dispatcher");
const QString kEspeakModule = QStringLiteral("/usr/lib/speech-dispatcher-modules/sd_espeak-ng");

bool copyTree(const QString &from, const QString &to)
{
    QDir target;
    if (!target.mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString copy = to + path.mid(from.size());
        const bool ok = it.fileInfo().isDir() ? target.mkpath(copy) : QFile::copy(path, copy);
        if (!ok)
            return false;
    }
    return true;
}

QString longPoem()
{
    return QStringLiteral("明月几时有？把酒问青天。不知天上宫阙，今夕是何年。我欲乘风归去，"
                          "又恐琼楼玉宇，高处不胜寒。起舞弄清影，何似在人间。")
        .repeated(20);
}

} // namespace

class SpeechEngineTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void listsTheVoicesOfEveryLocale();
    void readAloudChoosesMandarinAndSpeaks();
    void stopEndsSpeech();
    void unreachableServiceThrows();
    void readsInTheBackground();
    void backgroundReadingReportsAnUnreachableService();
    void serviceThatNeverAnswersFreezesNothing();

private:
    // Makes the engine ReadAloud owns and remembers it for watching.
    reader::SpeechEngineFactory watchedFactory(QtSpeechEngine **made);

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QByteArray m_address;
};

void SpeechEngineTest::initTestCase()
{
    if (!QTextToSpeech::availableEngines().contains(QLatin1String("speechd")))
        QSKIP("Qt's speech-dispatcher plugin (qt6-speech-speechd-plugin) is not installed");
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("speech-dispatcher"));
    if (daemon.isEmpty())
        QSKIP("speech-dispatcher is not installed");
    if (!QFileInfo::exists(kEspeakModule))
        QSKIP("speech-dispatcher's espeak-ng module (speech-dispatcher-espeak-ng) is not installed");

    QVERIFY(m_dir.isValid());
    const QString config = m_dir.filePath(QStringLiteral("config"));
    QVERIFY(copyTree(kSystemConfig, config));
    QFile settings(config + QStringLiteral("/speechd.conf"));
    QVERIFY(settings.open(QIODevice::Append | QIODevice::Text));
    settings.write("\nAudioOutputMethod \"alsa\"\nAudioALSADevice \"null\"\nLogLevel 1\n");
    settings.close();

    const QString socket = m_dir.filePath(QStringLiteral("speechd.sock"));
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The timeout ends the daemon by itself should this test die.
    m_daemon.start(daemon, {QStringLiteral("--run-single"), QStringLiteral("--config-dir"), config,
                            QStringLiteral("--communication-method"), QStringLiteral("unix_socket"),
                            QStringLiteral("--socket-path"), socket,
                            QStringLiteral("--pid-file"), m_dir.filePath(QStringLiteral("speechd.pid")),
                            QStringLiteral("--log-dir"), m_dir.path(),
                            QStringLiteral("--timeout"), QStringLiteral("60")});
    QVERIFY2(m_daemon.waitForStarted(), qPrintable(m_daemon.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 20000);
    m_address = "unix_socket:" + QFile::encodeName(socket);
    qputenv("SPEECHD_ADDRESS", m_address);
}

void SpeechEngineTest::cleanupTestCase()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

reader::SpeechEngineFactory SpeechEngineTest::watchedFactory(QtSpeechEngine **made)
{
    return [made]() -> std::unique_ptr<reader::SpeechEngine> {
        auto engine = std::make_unique<QtSpeechEngine>();
        *made = engine.get();
        return engine;
    };
}

void SpeechEngineTest::listsTheVoicesOfEveryLocale()
{
    QtSpeechEngine engine;
    const QTextToSpeech &speech = engine.textToSpeech();
    const QLocale localeBefore = speech.locale();
    const QVoice voiceBefore = speech.voice();

    const QList<reader::VoiceEntry> voices = engine.voices();
    QSet<QString> localesWithVoices;
    for (const reader::VoiceEntry &voice : voices) {
        localesWithVoices.insert(voice.locale.bcp47Name());
        QVERIFY2(voice.description.startsWith(voice.name), qPrintable(voice.description));
        if (voice.locale.language() != QLocale::C) {
            const QString language = QStringLiteral(" - ") + QLocale::languageToString(voice.locale.language());
            QVERIFY2(voice.description.contains(language), qPrintable(voice.description));
        }
    }
    const QList<QLocale> locales = speech.availableLocales();
    QVERIFY(locales.size() > 1);
    for (const QLocale &locale : locales)
        QVERIFY2(localesWithVoices.contains(locale.bcp47Name()), qPrintable(locale.bcp47Name()));

    // Listing must not change how the engine speaks.
    QCOMPARE(speech.locale(), localeBefore);
    QCOMPARE(speech.voice(), voiceBefore);
}

void SpeechEngineTest::readAloudChoosesMandarinAndSpeaks()
{
    QtSpeechEngine *engine = nullptr;
    ReadAloud reading(watchedFactory(&engine));
    reading.readAloud(QStringLiteral("你好，世界。"));
    QVERIFY(engine);
    QVERIFY(reading.voiceChosen());

    const QTextToSpeech &speech = engine->textToSpeech();
    QVERIFY2(speech.voice().name().contains(QLatin1String("Mandarin")), qPrintable(speech.voice().name()));
    QCOMPARE(speech.rate(), -0.3);

    QSignalSpy states(&speech, &QTextToSpeech::stateChanged);
    QTRY_VERIFY_WITH_TIMEOUT(speech.state() == QTextToSpeech::Speaking
                                 || states.contains({QVariant::fromValue(QTextToSpeech::Speaking)}),
                             15000);
    QTRY_COMPARE_WITH_TIMEOUT(speech.state(), QTextToSpeech::Ready, 30000);
}

void SpeechEngineTest::stopEndsSpeech()
{
    QtSpeechEngine *engine = nullptr;
    ReadAloud reading(watchedFactory(&engine));
    reading.readAloud(longPoem());
    QVERIFY(engine);
    const QTextToSpeech &speech = engine->textToSpeech();
    QTRY_COMPARE_WITH_TIMEOUT(speech.state(), QTextToSpeech::Speaking, 15000);

    // The poem takes minutes to read; stopping ends it at once.
    reading.stop();
    QTRY_COMPARE_WITH_TIMEOUT(speech.state(), QTextToSpeech::Ready, 5000);
}

void SpeechEngineTest::unreachableServiceThrows()
{
    const QByteArray nowhere = "unix_socket:" + QFile::encodeName(m_dir.filePath(QStringLiteral("missing.sock")));
    qputenv("SPEECHD_ADDRESS", nowhere);
    auto restore = qScopeGuard([this] { qputenv("SPEECHD_ADDRESS", m_address); });

    try {
        QtSpeechEngine engine;
        QFAIL("an engine without a service was made");
    } catch (const reader::SpeechError &error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(QLatin1String("speech-dispatcher")), error.what());
    }

    // Reading aloud reports it, and stopping before any reading stays quiet.
    ReadAloud reading(reader::qtSpeechEngineFactory());
    reading.stop();
    QVERIFY_THROWS_EXCEPTION(reader::SpeechError, reading.readAloud(QStringLiteral("你好")));
}

void SpeechEngineTest::readsInTheBackground()
{
    // The engine lives on the reading's own thread: its state is watched
    // through queued signals, and read there.
    QList<QTextToSpeech::State> states;
    QStringList failures;
    std::atomic<QTextToSpeech *> made{nullptr};
    QObject watcher;
    BackgroundReadAloud reading([&made, &watcher, &states]() -> std::unique_ptr<reader::SpeechEngine> {
        auto engine = std::make_unique<QtSpeechEngine>();
        const QTextToSpeech &speech = engine->textToSpeech();
        connect(&speech, &QTextToSpeech::stateChanged, &watcher,
                [&states](QTextToSpeech::State state) { states << state; });
        // Not to change it: a queued call needs the object to run on its thread.
        made = const_cast<QTextToSpeech *>(&speech);
        return engine;
    });
    connect(&reading, &BackgroundReadAloud::failed, &watcher, [&failures](const QString &message) { failures << message; });

    reading.readAloud(longPoem());
    QTRY_VERIFY_WITH_TIMEOUT(states.contains(QTextToSpeech::Speaking), 15000);
    QTRY_VERIFY(reading.voiceChosen());
    QTextToSpeech *speech = made;
    QVERIFY(speech);
    QVERIFY(speech->thread() != QThread::currentThread());
    QString voice;
    double rate = 0;
    QVERIFY(QMetaObject::invokeMethod(
        speech,
        [speech, &voice, &rate] {
            voice = speech->voice().name();
            rate = speech->rate();
        },
        Qt::BlockingQueuedConnection));
    QVERIFY2(voice.contains(QLatin1String("Mandarin")), qPrintable(voice));
    QCOMPARE(rate, -0.3);

    reading.stop();
    QTRY_COMPARE_WITH_TIMEOUT(states.last(), QTextToSpeech::Ready, 5000);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
}

void SpeechEngineTest::backgroundReadingReportsAnUnreachableService()
{
    const QByteArray nowhere = "unix_socket:" + QFile::encodeName(m_dir.filePath(QStringLiteral("missing.sock")));
    qputenv("SPEECHD_ADDRESS", nowhere);
    auto restore = qScopeGuard([this] { qputenv("SPEECHD_ADDRESS", m_address); });

    QStringList failures;
    QList<QThread *> threads;
    QObject watcher;
    BackgroundReadAloud reading(reader::qtSpeechEngineFactory());
    connect(&reading, &BackgroundReadAloud::failed, &watcher, [&failures, &threads](const QString &message) {
        failures << message;
        threads << QThread::currentThread();
    });

    reading.readAloud(QStringLiteral("你好"));
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, 15000);
    QVERIFY2(failures.first().contains(QLatin1String("speech-dispatcher")), qPrintable(failures.first()));
    QCOMPARE(threads.first(), QThread::currentThread());
}

void SpeechEngineTest::serviceThatNeverAnswersFreezesNothing()
{
    // A daemon that takes connections and never answers, like one stuck
    // without its sound server.
    QLocalServer stuck;
    QVERIFY2(stuck.listen(m_dir.filePath(QStringLiteral("stuck.sock"))), qPrintable(stuck.errorString()));
    qputenv("SPEECHD_ADDRESS", "unix_socket:" + QFile::encodeName(stuck.fullServerName()));
    auto restore = qScopeGuard([this] { qputenv("SPEECHD_ADDRESS", m_address); });

    std::atomic<QThread *> worker{nullptr};
    auto reading = std::make_unique<BackgroundReadAloud>([&worker]() -> std::unique_ptr<reader::SpeechEngine> {
        worker = QThread::currentThread();
        return std::make_unique<QtSpeechEngine>();
    });
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, &timer, [&ticks] { ++ticks; });
    timer.start(10);

    reading->readAloud(QStringLiteral("你好"));
    QTRY_VERIFY_WITH_TIMEOUT(stuck.hasPendingConnections(), 15000);
    QTRY_VERIFY(ticks >= 20);
    reading->stop();

    QElapsedTimer clock;
    clock.start();
    reading.reset();
    QVERIFY2(clock.elapsed() < std::chrono::milliseconds(BackgroundReadAloud::kShutdownWait).count() + 2000,
             qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));

    // Hanging up on the thread left behind lets it end. Its QThread is kept
    // for the rest of the run, so it can be watched.
    QThread *left = worker;
    QVERIFY(left);
    QVERIFY(!left->isFinished());
    while (QLocalSocket *connection = stuck.nextPendingConnection())
        connection->abort();
    stuck.close();
    QTRY_VERIFY_WITH_TIMEOUT(left->isFinished(), 15000);
}

QTEST_GUILESS_MAIN(SpeechEngineTest)
#include "tst_speech_engine.moc"

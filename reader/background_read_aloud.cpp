#include "reader/background_read_aloud.h"

#include "reader/read_aloud.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

namespace reader {

struct ReadAloudRequest
{
    enum class Kind { Read, Stop };
    Kind kind;
    QString text;
};

struct ReadAloudQueue
{
    // Stores `request` in place of any that still waits. Returns true when
    // nothing was waiting: only then must the worker be woken, as a waiting
    // request has its wake-up queued already.
    bool put(ReadAloudRequest request)
    {
        const QMutexLocker lock(&mutex);
        const bool wasEmpty = !waiting;
        waiting = std::move(request);
        return wasEmpty;
    }

    std::optional<ReadAloudRequest> take()
    {
        const QMutexLocker lock(&mutex);
        if (closed)
            return std::nullopt;
        return std::exchange(waiting, std::nullopt);
    }

    // The request being worked on has been overtaken by a newer one, or the
    // owner has gone.
    bool overtaken()
    {
        const QMutexLocker lock(&mutex);
        return closed || waiting;
    }

    void close()
    {
        const QMutexLocker lock(&mutex);
        closed = true;
        waiting.reset();
    }

    QMutex mutex;
    std::optional<ReadAloudRequest> waiting;
    bool closed = false;
    std::atomic<bool> voiceChosen{false};
};

namespace {

// Speaks only for the newest request. A request overtaken while the service
// was starting would otherwise put out the first syllables of a text that the
// next request purges at once, or that a stop or closing the window asked to
// silence.
class NewestRequestSpeaks final : public SpeechEngine
{
public:
    NewestRequestSpeaks(std::unique_ptr<SpeechEngine> engine, std::shared_ptr<ReadAloudQueue> queue)
        : m_engine(std::move(engine))
        , m_queue(std::move(queue))
    {
    }

    QList<VoiceEntry> voices() override { return m_engine->voices(); }
    void useVoice(qsizetype index) override { m_engine->useVoice(index); }
    void setRate(int rate) override { m_engine->setRate(rate); }
    void purge() override { m_engine->purge(); }

    void speak(const QString &text) override
    {
        if (!m_queue->overtaken())
            m_engine->speak(text);
    }

private:
    std::unique_ptr<SpeechEngine> m_engine;
    std::shared_ptr<ReadAloudQueue> m_queue;
};

SpeechEngineFactory newestRequestSpeaks(SpeechEngineFactory factory, std::shared_ptr<ReadAloudQueue> queue)
{
    // An empty factory stays empty, so that ReadAloud reports that no service
    // is configured.
    if (!factory)
        return {};
    return [factory = std::move(factory), queue = std::move(queue)]() -> std::unique_ptr<SpeechEngine> {
        std::unique_ptr<SpeechEngine> engine = factory();
        if (!engine)
            return nullptr;
        return std::make_unique<NewestRequestSpeaks>(std::move(engine), queue);
    };
}

const QString kUnknownFailure = QStringLiteral("the text-to-speech service failed for an unknown reason");

QBasicMutex keptThreadsMutex;

// Qt aborts the process when a running QThread is destroyed, and a thread
// stuck inside the speech service may never come back. Such a thread is kept
// for the rest of the process, in a list that is deliberately never freed:
// static destructors must not destroy it under a thread that still runs at
// exit, and being reachable from a global, it is no leak to a leak checker.
void keepUntilExit(std::unique_ptr<QThread> thread)
{
    static auto *const kept = new std::vector<std::unique_ptr<QThread>>;
    const QMutexLocker lock(&keptThreadsMutex);
    // Threads that came back since then have finished, and can go.
    std::erase_if(*kept, [](const std::unique_ptr<QThread> &old) { return old->isFinished(); });
    kept->push_back(std::move(thread));
}

} // namespace

// Owns the reading, and with it the engine; lives on the worker thread.
class ReadAloudWorker : public QObject
{
    Q_OBJECT
public:
    ReadAloudWorker(SpeechEngineFactory factory, std::shared_ptr<ReadAloudQueue> queue)
        : m_queue(std::move(queue))
        , m_reading(newestRequestSpeaks(std::move(factory), m_queue))
    {
    }

    void runNext()
    {
        const std::optional<ReadAloudRequest> request = m_queue->take();
        if (!request)
            return;
        QString failure;
        try {
            if (request->kind == ReadAloudRequest::Kind::Read)
                m_reading.readAloud(request->text);
            else
                m_reading.stop();
        } catch (const std::exception &error) {
            failure = QString::fromUtf8(error.what());
            if (failure.isEmpty())
                failure = kUnknownFailure;
        } catch (...) {
            // Nothing may escape into this thread's event loop.
            failure = kUnknownFailure;
        }
        m_queue->voiceChosen.store(m_reading.voiceChosen());
        if (!failure.isEmpty())
            emit failed(failure);
    }

signals:
    void failed(const QString &message);

private:
    std::shared_ptr<ReadAloudQueue> m_queue;
    ReadAloud m_reading;
};

BackgroundReadAloud::BackgroundReadAloud(SpeechEngineFactory factory, QObject *parent)
    : QObject(parent)
    , m_queue(std::make_shared<ReadAloudQueue>())
    , m_thread(std::make_unique<QThread>())
{
    m_thread->setObjectName(QStringLiteral("read aloud"));
    auto worker = std::make_unique<ReadAloudWorker>(std::move(factory), m_queue);
    worker->moveToThread(m_thread.get());
    connect(worker.get(), &ReadAloudWorker::failed, this, &BackgroundReadAloud::failed, Qt::QueuedConnection);
    // The engine belongs to the worker thread, so it is destroyed there too:
    // deferred deletions run as the thread finishes.
    connect(m_thread.get(), &QThread::finished, worker.get(), &QObject::deleteLater);
    m_worker = worker.release();
    m_thread->start();
}

BackgroundReadAloud::~BackgroundReadAloud()
{
    // Nothing that still waits is read, nor what is under way once the
    // service comes back.
    m_queue->close();
    m_thread->quit();
    if (!m_thread->wait(QDeadlineTimer(kShutdownWait)))
        keepUntilExit(std::move(m_thread));
}

void BackgroundReadAloud::readAloud(const QString &paneText)
{
    if (m_queue->put({ReadAloudRequest::Kind::Read, paneText}))
        QMetaObject::invokeMethod(m_worker, &ReadAloudWorker::runNext, Qt::QueuedConnection);
}

void BackgroundReadAloud::stop()
{
    if (m_queue->put({ReadAloudRequest::Kind::Stop, {}}))
        QMetaObject::invokeMethod(m_worker, &ReadAloudWorker::runNext, Qt::QueuedConnection);
}

bool BackgroundReadAloud::voiceChosen() const
{
    return m_queue->voiceChosen.load();
}

} // namespace reader

#include "background_read_aloud.moc"

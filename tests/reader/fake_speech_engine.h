#pragma once
// A speech engine that records what it is asked to do, for tests of the
// reading commands.

#include "reader/speech_engine.h"

#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QThread>

#include <memory>
#include <utility>

// What the fake engines of one test share: the voices on offer, which calls
// fail, and a log of the calls made. Engines may be made and used on another
// thread: they hold `mutex` while they read or write any of it, and so must a
// test that looks while they may run.
struct FakeSpeechService
{
    QMutex mutex;

    QList<reader::VoiceEntry> voices;
    // The next this many calls of voices() fail.
    int voiceListFailures = 0;
    bool refuseVoice = false;
    // "rate", "purge" or "speak": that call fails.
    QString failingCall;
    // The next this many engines fail to start.
    int startFailures = 0;

    int enginesMade = 0;
    int enginesDestroyed = 0;
    // "voices", "voice <name>", "rate <n>", "purge", "speak <text>".
    QStringList calls;
    // Every thread that made, used or destroyed an engine.
    QSet<QThread *> threads;

    QStringList callsMade()
    {
        const QMutexLocker lock(&mutex);
        return calls;
    }

    // Under `mutex`.
    void record(const QString &call)
    {
        calls << call;
        threads << QThread::currentThread();
    }
};

class FakeSpeechEngine final : public reader::SpeechEngine
{
public:
    explicit FakeSpeechEngine(std::shared_ptr<FakeSpeechService> service)
        : m_service(std::move(service))
    {
    }

    ~FakeSpeechEngine() override
    {
        const QMutexLocker lock(&m_service->mutex);
        ++m_service->enginesDestroyed;
        m_service->threads << QThread::currentThread();
    }

    QList<reader::VoiceEntry> voices() override
    {
        const QMutexLocker lock(&m_service->mutex);
        m_service->record(QStringLiteral("voices"));
        if (m_service->voiceListFailures > 0) {
            --m_service->voiceListFailures;
            throw reader::SpeechError(QStringLiteral("the voice list is not available"));
        }
        return m_service->voices;
    }

    void useVoice(qsizetype index) override
    {
        const QMutexLocker lock(&m_service->mutex);
        m_service->record(QStringLiteral("voice ") + m_service->voices.at(index).name);
        if (m_service->refuseVoice)
            throw reader::SpeechError(QStringLiteral("the voice is not available"));
    }

    void setRate(int rate) override
    {
        const QMutexLocker lock(&m_service->mutex);
        m_service->record(QStringLiteral("rate %1").arg(rate));
        failIf(QStringLiteral("rate"));
    }

    void speak(const QString &text) override
    {
        const QMutexLocker lock(&m_service->mutex);
        m_service->record(QStringLiteral("speak ") + text);
        failIf(QStringLiteral("speak"));
    }

    void purge() override
    {
        const QMutexLocker lock(&m_service->mutex);
        m_service->record(QStringLiteral("purge"));
        failIf(QStringLiteral("purge"));
    }

private:
    void failIf(const QString &call) const
    {
        if (m_service->failingCall == call)
            throw reader::SpeechError(call + QStringLiteral(" failed"));
    }

    std::shared_ptr<FakeSpeechService> m_service;
};

inline reader::SpeechEngineFactory fakeSpeechFactory(std::shared_ptr<FakeSpeechService> service)
{
    return [service]() -> std::unique_ptr<reader::SpeechEngine> {
        const QMutexLocker lock(&service->mutex);
        service->threads << QThread::currentThread();
        if (service->startFailures > 0) {
            --service->startFailures;
            throw reader::SpeechError(QStringLiteral("no speech service"));
        }
        ++service->enginesMade;
        return std::make_unique<FakeSpeechEngine>(service);
    };
}

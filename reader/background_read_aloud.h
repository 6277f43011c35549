#pragma once
// Reading aloud on a thread of its own, so that a speech service that is slow
// to start, or stuck, never freezes the window.

#include "reader/speech_engine.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QThread;

namespace reader {

class ReadAloudWorker;
struct ReadAloudQueue;

class BackgroundReadAloud : public QObject
{
    Q_OBJECT
public:
    // The engine is made by `factory` on the worker thread, on the first
    // request to read, and lives and dies there.
    explicit BackgroundReadAloud(SpeechEngineFactory factory, QObject *parent = nullptr);
    // Waits at most kShutdownWait for the worker; a worker stuck inside the
    // speech service is left behind for the process exit.
    ~BackgroundReadAloud() override;

    // Both return at once. A request still waiting for the worker is replaced
    // by the next one: clicking "read" five times while the service starts
    // reads the pane once, and a stop cancels a reading that has not begun.
    void readAloud(const QString &paneText);
    void stop();

    // Whether the voice choice has run to its end in this run; safe from any
    // thread.
    bool voiceChosen() const;

    // How long destruction waits for the worker to finish.
    static constexpr std::chrono::milliseconds kShutdownWait{2000};

signals:
    // The service cannot be started, or refused to set the rate, stop or
    // speak. Delivered on the thread that owns this object.
    void failed(const QString &message);

private:
    // Shared with the worker, which may outlive this object.
    std::shared_ptr<ReadAloudQueue> m_queue;
    std::unique_ptr<QThread> m_thread;
    ReadAloudWorker *m_worker = nullptr; // lives on m_thread, deleted as it finishes
};

} // namespace reader

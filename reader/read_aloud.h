#pragma once
// Reading the pane's text aloud, and stopping it.

#include "reader/speech_engine.h"

#include <QString>

#include <memory>

namespace reader {

class ReadAloud
{
public:
    // The engine is made by `factory` on the first request to read, so a
    // missing speech service costs nothing until then.
    explicit ReadAloud(SpeechEngineFactory factory);
    ~ReadAloud();

    ReadAloud(const ReadAloud &) = delete;
    ReadAloud &operator=(const ReadAloud &) = delete;

    // Chooses a Chinese voice on the first request of the run, then stops
    // whatever is being spoken and speaks `paneText` from its beginning.
    // Failures of the choice are dropped (the next request tries again);
    // anything else the engine refuses throws SpeechError.
    void readAloud(const QString &paneText);
    // Stops speaking; there is no resuming.
    void stop();

    // Whether the voice choice has run to its end in this run.
    bool voiceChosen() const { return m_voiceChosen; }

    // The speaking rate, on the engine's −10…10 scale.
    static constexpr int kRate = -3;

private:
    SpeechEngine &engine();
    void chooseVoiceQuietly(SpeechEngine &engine);

    SpeechEngineFactory m_factory;
    std::unique_ptr<SpeechEngine> m_engine;
    bool m_voiceChosen = false;
};

} // namespace reader

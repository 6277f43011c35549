#pragma once
// What reading aloud needs from a text-to-speech service.

#include "reader/voice_choice.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

namespace reader {

// The speech service is missing, cannot be reached or refused a request.
class SpeechError : public std::runtime_error
{
public:
    explicit SpeechError(const QString &message)
        : std::runtime_error(message.toStdString())
    {
    }
};

// Every call may throw SpeechError.
class SpeechEngine
{
public:
    virtual ~SpeechEngine() = default;

    // All installed voices, of every language.
    virtual QList<VoiceEntry> voices() = 0;
    // Speaks with the voice at `index` in the list the last voices() returned.
    virtual void useVoice(qsizetype index) = 0;
    // −10 (slowest) … 10 (fastest), 0 being the normal rate.
    virtual void setRate(int rate) = 0;
    // Starts speaking and returns at once.
    virtual void speak(const QString &text) = 0;
    // Drops everything queued or being spoken.
    virtual void purge() = 0;
};

// Makes the engine when it is first needed; may throw SpeechError.
using SpeechEngineFactory = std::function<std::unique_ptr<SpeechEngine>()>;

} // namespace reader

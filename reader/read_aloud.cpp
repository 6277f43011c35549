#include "reader/read_aloud.h"

#include <exception>
#include <utility>

namespace reader {

ReadAloud::ReadAloud(SpeechEngineFactory factory)
    : m_factory(std::move(factory))
{
}

ReadAloud::~ReadAloud() = default;

void ReadAloud::readAloud(const QString &paneText)
{
    SpeechEngine &speech = engine();
    if (!m_voiceChosen)
        chooseVoiceQuietly(speech);
    speech.setRate(kRate);
    speech.purge();
    if (!paneText.isEmpty())
        speech.speak(paneText);
}

void ReadAloud::stop()
{
    // Before the first request nothing can be speaking, and starting the
    // service only to silence it would keep the user waiting.
    if (m_engine)
        m_engine->purge();
}

SpeechEngine &ReadAloud::engine()
{
    if (!m_engine) {
        if (!m_factory)
            throw SpeechError(QStringLiteral("no text-to-speech service is configured"));
        m_engine = m_factory();
        if (!m_engine)
            throw SpeechError(QStringLiteral("the text-to-speech service could not be started"));
    }
    return *m_engine;
}

void ReadAloud::chooseVoiceQuietly(SpeechEngine &speech)
{
    try {
        const QList<VoiceEntry> voices = speech.voices();
        if (const std::optional<qsizetype> chosen = chooseVoice(voices))
            speech.useVoice(*chosen);
        m_voiceChosen = true;
    } catch (const std::exception &) {
        // A voice list that cannot be had is no reason to keep quiet: the
        // default voice reads, and the next request tries to choose again.
    }
}

} // namespace reader

#pragma once
// The speech engine over Qt TextToSpeech (speech-dispatcher on Linux, SAPI on
// Windows).

#include "reader/speech_engine.h"

#include <QList>
#include <QString>
#include <QVoice>

#include <memory>

class QTextToSpeech;

namespace reader {

class QtSpeechEngine final : public SpeechEngine
{
public:
    // Connects to the named Qt speech engine, or to the platform's default
    // one when `engineName` is empty. Throws SpeechError when no engine is
    // installed or the one asked for cannot start.
    explicit QtSpeechEngine(const QString &engineName = {});
    ~QtSpeechEngine() override;

    QtSpeechEngine(const QtSpeechEngine &) = delete;
    QtSpeechEngine &operator=(const QtSpeechEngine &) = delete;

    QList<VoiceEntry> voices() override;
    void useVoice(qsizetype index) override;
    void setRate(int rate) override;
    void speak(const QString &text) override;
    void purge() override;

    // For watching what the service does with the requests.
    const QTextToSpeech &textToSpeech() const { return *m_speech; }

private:
    void throwOnError(const QString &doing) const;

    std::unique_ptr<QTextToSpeech> m_speech;
    QList<QVoice> m_voices;
};

// Makes a QtSpeechEngine on the platform's default Qt speech engine.
SpeechEngineFactory qtSpeechEngineFactory();

} // namespace reader

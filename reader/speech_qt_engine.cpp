#include "reader/speech_qt_engine.h"

#include <QTextToSpeech>

#include <algorithm>

namespace reader {

namespace {

VoiceGender genderOf(const QVoice &voice)
{
    switch (voice.gender()) {
    case QVoice::Male:
        return VoiceGender::Male;
    case QVoice::Female:
        return VoiceGender::Female;
    case QVoice::Unknown:
        break;
    }
    return VoiceGender::Unknown;
}

} // namespace

QtSpeechEngine::QtSpeechEngine(const QString &engineName)
{
    const QStringList engines = QTextToSpeech::availableEngines();
    if (engines.isEmpty())
        throw SpeechError(QStringLiteral("no text-to-speech engine is installed"));
    if (!engineName.isEmpty() && !engines.contains(engineName))
        throw SpeechError(QStringLiteral("the text-to-speech engine \"%1\" is not installed")
                              .arg(engineName));
    m_speech = engineName.isEmpty() ? std::make_unique<QTextToSpeech>()
                                    : std::make_unique<QTextToSpeech>(engineName);
    throwOnError(QStringLiteral("start the text-to-speech engine \"%1\"").arg(m_speech->engine()));
}

QtSpeechEngine::~QtSpeechEngine() = default;

QList<VoiceEntry> QtSpeechEngine::voices()
{
    // Qt lists the voices of one locale at a time, and switching the locale
    // also switches the voice: put both back afterwards.
    const QLocale savedLocale = m_speech->locale();
    const QVoice savedVoice = m_speech->voice();

    QList<QVoice> found;
    QList<VoiceEntry> entries;
    const QList<QLocale> locales = m_speech->availableLocales();
    for (const QLocale &locale : locales) {
        m_speech->setLocale(locale);
        for (const QVoice &voice : m_speech->availableVoices()) {
            found.append(voice);
            entries.append({voice.name(), voice.locale(),
                            describeVoice(voice.name(), voice.locale(), genderOf(voice))});
        }
    }
    m_speech->setLocale(savedLocale);
    if (!savedVoice.name().isEmpty())
        m_speech->setVoice(savedVoice);
    throwOnError(QStringLiteral("list the installed voices"));

    m_voices = std::move(found);
    return entries;
}

void QtSpeechEngine::useVoice(qsizetype index)
{
    if (index < 0 || index >= m_voices.size())
        throw SpeechError(QStringLiteral("there is no voice number %1").arg(index));
    const QVoice &voice = m_voices[index];
    if (m_speech->locale() != voice.locale())
        m_speech->setLocale(voice.locale());
    m_speech->setVoice(voice);
    throwOnError(QStringLiteral("choose the voice \"%1\"").arg(voice.name()));
    if (m_speech->voice() != voice)
        throw SpeechError(QStringLiteral("the text-to-speech engine did not take the voice \"%1\"")
                              .arg(voice.name()));
}

void QtSpeechEngine::setRate(int rate)
{
    m_speech->setRate(std::clamp(rate, -10, 10) / 10.0);
    throwOnError(QStringLiteral("set the speaking rate"));
}

void QtSpeechEngine::speak(const QString &text)
{
    m_speech->say(text);
    throwOnError(QStringLiteral("speak"));
}

void QtSpeechEngine::purge()
{
    m_speech->stop(QTextToSpeech::BoundaryHint::Immediate);
    throwOnError(QStringLiteral("stop speaking"));
}

void QtSpeechEngine::throwOnError(const QString &doing) const
{
    if (m_speech->state() != QTextToSpeech::Error)
        return;
    QString reason = m_speech->errorString();
    if (reason.isEmpty())
        reason = QStringLiteral("the engine reports an error");
    throw SpeechError(QStringLiteral("cannot %1: %2").arg(doing, reason));
}

SpeechEngineFactory qtSpeechEngineFactory()
{
    return [] { return std::make_unique<QtSpeechEngine>(); };
}

} // namespace reader

#include "reader/voice_choice.h"

#include <QStringList>

namespace reader {

namespace {

// The keys are plain ASCII, so only ASCII letters are folded.
QString asciiLower(const QString &text)
{
    QString lowered = text;
    for (QChar &c : lowered) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return lowered;
}

bool isMandarin(const VoiceEntry &voice)
{
    // Qt has no locale for "cmn", so speech-dispatcher's Mandarin voices come
    // without one and only their name tells.
    return asciiLower(voice.name).contains(u"mandarin")
           || (voice.locale.language() == QLocale::Chinese
               && voice.locale.territory() == QLocale::China);
}

bool isChinese(const VoiceEntry &voice)
{
    const QLocale::Language language = voice.locale.language();
    return language == QLocale::Chinese || language == QLocale::Cantonese || isMandarin(voice)
           || asciiLower(voice.name).contains(u"chinese");
}

QString genderName(VoiceGender gender)
{
    switch (gender) {
    case VoiceGender::Male:
        return QStringLiteral("Male");
    case VoiceGender::Female:
        return QStringLiteral("Female");
    case VoiceGender::Unknown:
        break;
    }
    return {};
}

} // namespace

QString describeVoice(const QString &name, const QLocale &locale, VoiceGender gender)
{
    QString description = name;
    const QLocale::Language language = locale.language();
    if (language != QLocale::C && language != QLocale::AnyLanguage) {
        description += QStringLiteral(" - ") + QLocale::languageToString(language);
        QStringList details;
        if (locale.script() != QLocale::AnyScript)
            details << QLocale::scriptToString(locale.script());
        if (locale.territory() != QLocale::AnyTerritory)
            details << QLocale::territoryToString(locale.territory());
        if (!details.isEmpty())
            description += QStringLiteral(" (") + details.join(QStringLiteral(", ")) + u')';
    }
    const QString genderText = genderName(gender);
    if (!genderText.isEmpty())
        description += u' ' + genderText;
    return description;
}

std::optional<qsizetype> chooseVoice(const QList<VoiceEntry> &voices)
{
    for (qsizetype i = 0; i < voices.size(); ++i) {
        const QString d = asciiLower(voices[i].description);
        if (d.contains(u"microsoft lili") || d.contains(u"chinese female"))
            return i;
    }
    for (qsizetype i = 0; i < voices.size(); ++i) {
        if (asciiLower(voices[i].description).contains(u"simplified chinese"))
            return i;
    }
    std::optional<qsizetype> firstChinese;
    for (qsizetype i = 0; i < voices.size(); ++i) {
        if (isMandarin(voices[i]))
            return i;
        if (!firstChinese && isChinese(voices[i]))
            firstChinese = i;
    }
    return firstChinese;
}

} // namespace reader

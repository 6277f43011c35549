#pragma once
// Which installed voice reads the poems aloud.

#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

namespace reader {

enum class VoiceGender { Unknown, Male, Female };

struct VoiceEntry
{
    QString name;
    // QLocale::c() when the engine does not say which language the voice speaks.
    QLocale locale = QLocale::c();
    // What the voice is offered as: its name followed by what is known of its
    // language, script, region and gender, e.g.
    // "Microsoft Lili - Chinese (Simplified Han, China) Female".
    QString description;
};

// The description of a voice in the form above; parts the engine does not
// know are left out.
QString describeVoice(const QString &name, const QLocale &locale, VoiceGender gender);

// The voice to read Chinese text with, as an index into `voices`, or nothing
// when the engine's default voice should stay.
//
// Descriptions are compared lower-cased in ASCII letters only. The first voice
// whose description holds "microsoft lili" or "chinese female" wins; else the
// first holding "simplified chinese". Engines outside Windows describe their
// voices otherwise (speech-dispatcher calls one "Chinese (Mandarin, latin as
// Pinyin)" and its default voice cannot read Chinese), so failing both, the
// first Mandarin voice is taken, else the first other Chinese one.
std::optional<qsizetype> chooseVoice(const QList<VoiceEntry> &voices);

} // namespace reader

#include "reader/voice_choice.h"

#include <QtTest>

using reader::VoiceEntry;
using reader::VoiceGender;

Q_DECLARE_METATYPE(QList<VoiceEntry>)
Q_DECLARE_METATYPE(VoiceGender)

namespace {

VoiceEntry voice(const QString &name, const QString &locale = QStringLiteral("C"),
                 VoiceGender gender = VoiceGender::Unknown)
{
    const QLocale loc(locale);
    return {name, loc, reader::describeVoice(name, loc, gender)};
}

// A voice whose engine-given description is taken as it is.
VoiceEntry described(const QString &description)
{
    return {description, QLocale::c(), description};
}

} // namespace

class VoiceChoiceTest : public QObject
{
    Q_OBJECT
private slots:
    void describesVoices_data();
    void describesVoices();
    void choosesVoice_data();
    void choosesVoice();
};

void VoiceChoiceTest::describesVoices_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<VoiceGender>("gender");
    QTest::addColumn<QString>("description");

    QTest::newRow("language, script, region and gender")
        << "Microsoft Lili" << "zh_CN" << VoiceGender::Female
        << "Microsoft Lili - Chinese (Simplified Han, China) Female";
    QTest::newRow("male")
        << "Brian" << "en_GB" << VoiceGender::Male << "Brian - English (Latin, United Kingdom) Male";
    QTest::newRow("gender unknown")
        << "Chinese (Cantonese)" << "yue_HK" << VoiceGender::Unknown
        << "Chinese (Cantonese) - Cantonese (Traditional Han, Hong Kong)";
    // Qt has no locale for speech-dispatcher's "cmn" and hands over "C".
    QTest::newRow("no language known")
        << "Chinese (Mandarin, latin as Pinyin)" << "C" << VoiceGender::Unknown
        << "Chinese (Mandarin, latin as Pinyin)";
    QTest::newRow("only gender known")
        << "Chinese" << "C" << VoiceGender::Female << "Chinese Female";
}

void VoiceChoiceTest::describesVoices()
{
    QFETCH(QString, name);
    QFETCH(QString, locale);
    QFETCH(VoiceGender, gender);
    QFETCH(QString, description);
    QCOMPARE(reader::describeVoice(name, QLocale(locale), gender), description);
}

void VoiceChoiceTest::choosesVoice_data()
{
    QTest::addColumn<QList<VoiceEntry>>("voices");
    QTest::addColumn<int>("chosen"); // -1: keep the default voice

    const VoiceEntry english = voice(QStringLiteral("English (Great Britain)"), QStringLiteral("en_GB"));
    const VoiceEntry german = voice(QStringLiteral("German"), QStringLiteral("de_DE"));
    const VoiceEntry cantonese = voice(QStringLiteral("Chinese (Cantonese)"), QStringLiteral("yue_HK"));
    const VoiceEntry mandarin = voice(QStringLiteral("Chinese (Mandarin, latin as Pinyin)"));
    const VoiceEntry hakka = voice(QStringLiteral("Hakka Chinese"));
    const VoiceEntry taiwan = voice(QStringLiteral("Hanhan"), QStringLiteral("zh_TW"), VoiceGender::Female);
    const VoiceEntry huihui = voice(QStringLiteral("Huihui"), QStringLiteral("zh_CN"));

    QTest::newRow("no voices") << QList<VoiceEntry>{} << -1;
    QTest::newRow("no Chinese voice") << QList<VoiceEntry>{english, german} << -1;
    QTest::newRow("key in capitals")
        << QList<VoiceEntry>{english, described(QStringLiteral("MICROSOFT LILI"))} << 1;
    QTest::newRow("chinese female anywhere in the description")
        << QList<VoiceEntry>{english, described(QStringLiteral("ScanSoft Chinese Female_Full_22kHz"))} << 1;
    QTest::newRow("first pass wins over an earlier second-pass voice")
        << QList<VoiceEntry>{described(QStringLiteral("Microsoft Simplified Chinese")),
                             described(QStringLiteral("VW Chinese Female"))}
        << 1;
    QTest::newRow("second pass wins over an earlier Mandarin voice")
        << QList<VoiceEntry>{mandarin, described(QStringLiteral("Microsoft Simplified Chinese"))} << 1;
    QTest::newRow("Mandarin preferred to Cantonese listed first")
        << QList<VoiceEntry>{english, cantonese, hakka, mandarin} << 3;
    QTest::newRow("Mandarin by its zh_CN locale")
        << QList<VoiceEntry>{taiwan, cantonese, huihui} << 2;
    QTest::newRow("Mandarin preferred to a zh_TW voice") << QList<VoiceEntry>{taiwan, mandarin} << 1;
    QTest::newRow("first Chinese voice without Mandarin")
        << QList<VoiceEntry>{english, taiwan, cantonese} << 1;
    QTest::newRow("Cantonese rather than the default") << QList<VoiceEntry>{english, cantonese} << 1;
    QTest::newRow("Chinese only by name") << QList<VoiceEntry>{german, hakka} << 1;
}

void VoiceChoiceTest::choosesVoice()
{
    QFETCH(QList<VoiceEntry>, voices);
    QFETCH(int, chosen);
    const std::optional<qsizetype> choice = reader::chooseVoice(voices);
    QCOMPARE(choice.has_value() ? int(*choice) : -1, chosen);
}

QTEST_GUILESS_MAIN(VoiceChoiceTest)
#include "tst_voice_choice.moc"

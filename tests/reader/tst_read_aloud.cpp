#include "fake_speech_engine.h"
#include "reader/read_aloud.h"

#include <QtTest>

using reader::ReadAloud;
using reader::VoiceEntry;
using reader::VoiceGender;

Q_DECLARE_METATYPE(QList<VoiceEntry>)

namespace {

VoiceEntry voice(const QString &name, const QString &locale = QStringLiteral("C"),
                 VoiceGender gender = VoiceGender::Unknown)
{
    const QLocale loc(locale);
    return {name, loc, reader::describeVoice(name, loc, gender)};
}

const VoiceEntry kEnglish = voice(QStringLiteral("English (Great Britain)"), QStringLiteral("en_GB"));
const VoiceEntry kLili = voice(QStringLiteral("Microsoft Lili"), QStringLiteral("zh_CN"), VoiceGender::Female);
const VoiceEntry kChineseFemale = voice(QStringLiteral("VW Chinese Female"));
const VoiceEntry kSimplified = voice(QStringLiteral("Microsoft Simplified Chinese"));
const VoiceEntry kCantonese = voice(QStringLiteral("Chinese (Cantonese)"), QStringLiteral("yue_HK"));
const VoiceEntry kMandarin = voice(QStringLiteral("Chinese (Mandarin, latin as Pinyin)"));

const QString kPoem = QStringLiteral("明月几时有？把酒问青天。");

QStringList readingOf(const QString &text)
{
    return {QStringLiteral("rate -3"), QStringLiteral("purge"), QStringLiteral("speak ") + text};
}

} // namespace

class ReadAloudTest : public QObject
{
    Q_OBJECT
private slots:
    void choosesVoiceOncePerRun_data();
    void choosesVoiceOncePerRun();
    void failedChoiceIsSilentAndRetried_data();
    void failedChoiceIsSilentAndRetried();
    void readsAndStops_data();
    void readsAndStops();
    void engineIsMadeOnFirstReading();
    void failuresAfterTheChoiceReachTheCaller_data();
    void failuresAfterTheChoiceReachTheCaller();
    void engineThatCannotStartIsTriedAgain();
};

void ReadAloudTest::choosesVoiceOncePerRun_data()
{
    QTest::addColumn<QList<VoiceEntry>>("voices");
    QTest::addColumn<QString>("chosen"); // empty: the default voice reads

    QTest::newRow("Lili listed before a Chinese Female voice")
        << QList<VoiceEntry>{kEnglish, kLili, kChineseFemale} << kLili.name;
    QTest::newRow("Chinese Female voice listed before Lili")
        << QList<VoiceEntry>{kEnglish, kChineseFemale, kLili} << kChineseFemale.name;
    QTest::newRow("only a Simplified Chinese voice")
        << QList<VoiceEntry>{kEnglish, kSimplified} << kSimplified.name;
    QTest::newRow("only a Mandarin voice, after Cantonese")
        << QList<VoiceEntry>{kEnglish, kCantonese, kMandarin} << kMandarin.name;
    QTest::newRow("no Chinese voice") << QList<VoiceEntry>{kEnglish} << QString();
    QTest::newRow("no voices at all") << QList<VoiceEntry>{} << QString();
}

void ReadAloudTest::choosesVoiceOncePerRun()
{
    QFETCH(QList<VoiceEntry>, voices);
    QFETCH(QString, chosen);

    auto service = std::make_shared<FakeSpeechService>();
    service->voices = voices;
    ReadAloud reading(fakeSpeechFactory(service));
    QVERIFY(!reading.voiceChosen());

    reading.readAloud(kPoem);
    QStringList expected{QStringLiteral("voices")};
    if (!chosen.isEmpty())
        expected << QStringLiteral("voice ") + chosen;
    expected << readingOf(kPoem);
    QCOMPARE(service->calls, expected);
    QVERIFY(reading.voiceChosen());

    // Whatever the first request found, later ones only speak.
    service->calls.clear();
    reading.readAloud(kPoem);
    QCOMPARE(service->calls, readingOf(kPoem));
}

void ReadAloudTest::failedChoiceIsSilentAndRetried_data()
{
    QTest::addColumn<int>("voiceListFailures");
    QTest::addColumn<bool>("refuseVoice");
    QTest::addColumn<QStringList>("firstChoice");

    QTest::newRow("voice list fails") << 1 << false << QStringList{QStringLiteral("voices")};
    QTest::newRow("voice refused")
        << 0 << true << QStringList{QStringLiteral("voices"), QStringLiteral("voice ") + kMandarin.name};
}

void ReadAloudTest::failedChoiceIsSilentAndRetried()
{
    QFETCH(int, voiceListFailures);
    QFETCH(bool, refuseVoice);
    QFETCH(QStringList, firstChoice);

    auto service = std::make_shared<FakeSpeechService>();
    service->voices = {kEnglish, kMandarin};
    service->voiceListFailures = voiceListFailures;
    service->refuseVoice = refuseVoice;
    ReadAloud reading(fakeSpeechFactory(service));

    reading.readAloud(kPoem); // must not throw
    QCOMPARE(service->calls, firstChoice + readingOf(kPoem));
    QVERIFY(!reading.voiceChosen());

    service->refuseVoice = false;
    service->calls.clear();
    reading.readAloud(kPoem);
    QCOMPARE(service->calls, QStringList({QStringLiteral("voices"), QStringLiteral("voice ") + kMandarin.name})
                                 + readingOf(kPoem));
    QVERIFY(reading.voiceChosen());
}

void ReadAloudTest::readsAndStops_data()
{
    // Each step is "read:<pane text>" or "stop".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("calls");

    const QString secondPoem = QStringLiteral("大江东去，浪淘尽，千古风流人物。");
    QTest::newRow("one poem") << QStringList{QStringLiteral("read:") + kPoem} << readingOf(kPoem);
    QTest::newRow("empty pane only stops")
        << QStringList{QStringLiteral("read:")} << QStringList{QStringLiteral("rate -3"), QStringLiteral("purge")};
    QTest::newRow("reading again restarts from the top")
        << QStringList{QStringLiteral("read:") + kPoem, QStringLiteral("read:") + kPoem}
        << readingOf(kPoem) + readingOf(kPoem);
    QTest::newRow("reading another text")
        << QStringList{QStringLiteral("read:") + kPoem, QStringLiteral("read:") + secondPoem}
        << readingOf(kPoem) + readingOf(secondPoem);
    QTest::newRow("stop purges")
        << QStringList{QStringLiteral("read:") + kPoem, QStringLiteral("stop")}
        << readingOf(kPoem) + QStringList{QStringLiteral("purge")};
    QTest::newRow("reading after stop starts again")
        << QStringList{QStringLiteral("read:") + kPoem, QStringLiteral("stop"), QStringLiteral("read:") + kPoem}
        << readingOf(kPoem) + QStringList{QStringLiteral("purge")} + readingOf(kPoem);
    QTest::newRow("whitespace is spoken as it is")
        << QStringList{QStringLiteral("read: ")} << readingOf(QStringLiteral(" "));
}

void ReadAloudTest::readsAndStops()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);

    auto service = std::make_shared<FakeSpeechService>();
    service->voices = {kEnglish};
    ReadAloud reading(fakeSpeechFactory(service));
    for (const QString &step : steps) {
        if (step == QLatin1String("stop"))
            reading.stop();
        else
            reading.readAloud(step.mid(QStringLiteral("read:").size()));
    }
    service->calls.removeOne(QStringLiteral("voices"));
    QCOMPARE(service->calls, calls);
}

void ReadAloudTest::engineIsMadeOnFirstReading()
{
    auto service = std::make_shared<FakeSpeechService>();
    ReadAloud reading(fakeSpeechFactory(service));
    QCOMPARE(service->enginesMade, 0);

    // Nothing can be speaking yet: stopping must not start the service.
    reading.stop();
    QCOMPARE(service->enginesMade, 0);
    QVERIFY(service->calls.isEmpty());

    reading.readAloud(kPoem);
    reading.stop();
    reading.readAloud(QString());
    QCOMPARE(service->enginesMade, 1);
}

void ReadAloudTest::failuresAfterTheChoiceReachTheCaller_data()
{
    QTest::addColumn<QString>("failingCall");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("rate") << "rate" << QStringList{QStringLiteral("rate -3")};
    QTest::newRow("purge") << "purge" << QStringList{QStringLiteral("rate -3"), QStringLiteral("purge")};
    QTest::newRow("speak") << "speak" << readingOf(kPoem);
}

void ReadAloudTest::failuresAfterTheChoiceReachTheCaller()
{
    QFETCH(QString, failingCall);
    QFETCH(QStringList, calls);

    auto service = std::make_shared<FakeSpeechService>();
    service->voices = {kMandarin};
    service->failingCall = failingCall;
    ReadAloud reading(fakeSpeechFactory(service));

    QVERIFY_THROWS_EXCEPTION(reader::SpeechError, reading.readAloud(kPoem));
    QCOMPARE(service->calls,
             QStringList({QStringLiteral("voices"), QStringLiteral("voice ") + kMandarin.name}) + calls);
    // The voice was chosen before the failure and stays chosen.
    QVERIFY(reading.voiceChosen());
}

void ReadAloudTest::engineThatCannotStartIsTriedAgain()
{
    auto service = std::make_shared<FakeSpeechService>();
    service->voices = {kMandarin};
    service->startFailures = 1;
    ReadAloud reading(fakeSpeechFactory(service));

    QVERIFY_THROWS_EXCEPTION(reader::SpeechError, reading.readAloud(kPoem));
    QVERIFY(!reading.voiceChosen());
    reading.stop(); // still nothing to stop

    reading.readAloud(kPoem);
    QCOMPARE(service->enginesMade, 1);
    QCOMPARE(service->calls, QStringList({QStringLiteral("voices"), QStringLiteral("voice ") + kMandarin.name})
                                 + readingOf(kPoem));
}

QTEST_GUILESS_MAIN(ReadAloudTest)
#include "tst_read_aloud.moc"

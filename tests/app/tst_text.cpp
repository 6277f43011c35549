// GBK conversion, byte lengths, trimming, the instructions file and the poem
// text the reading pane shows.
#include "app/gbk_text.h"
#include "app/instructions_file.h"
#include "reader/poem_text.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TextTest : public QObject
{
    Q_OBJECT
private slots:
    void trimRemovesOnlyCodesUpTo32_data();
    void trimRemovesOnlyCodesUpTo32();
    void gbkByteLength_data();
    void gbkByteLength();
    void gbkRoundTripKeepsEveryCharacter_data();
    void gbkRoundTripKeepsEveryCharacter();
    void malformedGbkDecodesToReplacementCharacters();
    void charLengthWalksWholeCharacters();
    void instructionsFileIsReadAsGbk();
    void missingInstructionsFileIsNotAnError();
    void composedPoem_data();
    void composedPoem();
};

void TextTest::trimRemovesOnlyCodesUpTo32_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks") << QStringLiteral("  李清照  ") << QStringLiteral("李清照");
    QTest::newRow("tabs and line breaks") << QStringLiteral("\t\r\n明月\r\n") << QStringLiteral("明月");
    QTest::newRow("control characters") << QStringLiteral("\x01\x1f" "abc\x7f") << QStringLiteral("abc\x7f");
    QTest::newRow("ideographic space kept") << QStringLiteral("\u3000明月\u3000") << QStringLiteral("\u3000明月\u3000");
    QTest::newRow("inner blanks kept") << QStringLiteral(" a b ") << QStringLiteral("a b");
    QTest::newRow("only blanks") << QStringLiteral(" \t ") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("no-break space kept") << QStringLiteral("\u00a0x\u00a0") << QStringLiteral("\u00a0x\u00a0");
}

void TextTest::trimRemovesOnlyCodesUpTo32()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(text::trimControls(input), expected);
    QCOMPARE(text::trimControls(QByteArrayView(gbk::encode(input))), QByteArrayView(gbk::encode(expected)));
}

void TextTest::gbkByteLength_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<qsizetype>("bytes");
    QTest::newRow("one Chinese character") << QStringLiteral("月") << qsizetype(2);
    QTest::newRow("two Chinese characters") << QStringLiteral("明月") << qsizetype(4);
    QTest::newRow("four Latin letters") << QStringLiteral("abcd") << qsizetype(4);
    QTest::newRow("three Latin letters") << QStringLiteral("abc") << qsizetype(3);
    QTest::newRow("ideographic space") << QStringLiteral("\u3000") << qsizetype(2);
    QTest::newRow("outside GBK, four bytes in GB18030") << QStringLiteral("\U0001F600") << qsizetype(4);
    QTest::newRow("empty") << QString() << qsizetype(0);
}

void TextTest::gbkByteLength()
{
    QFETCH(QString, input);
    QFETCH(qsizetype, bytes);
    QCOMPARE(gbk::byteLength(input), bytes);
}

void TextTest::gbkRoundTripKeepsEveryCharacter_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("simplified") << QStringLiteral("大江东去，浪淘尽，千古风流人物。");
    QTest::newRow("traditional") << QStringLiteral("夢魂尋遍。忽向尊前見。");
    QTest::newRow("tune alias dot") << QStringLiteral("念奴娇·赤壁怀古");
    QTest::newRow("rare CJK extension B") << QStringLiteral("\U00020000\U0002A6D6");
    QTest::newRow("emoji") << QStringLiteral("\U0001F338");
    QTest::newRow("mixed ASCII") << QStringLiteral("A|u1|\"B C\"");
}

void TextTest::gbkRoundTripKeepsEveryCharacter()
{
    QFETCH(QString, input);
    QCOMPARE(gbk::decode(gbk::encode(input)), input);
}

void TextTest::malformedGbkDecodesToReplacementCharacters()
{
    // A lead byte cut off at the end must not vanish.
    QCOMPARE(gbk::decode(QByteArray("\xD4\xC2\x81", 3)), QStringLiteral("月\uFFFD"));
    QVERIFY(gbk::decode(QByteArray("\xFF" "A", 2)).contains(QChar::ReplacementCharacter));
    QVERIFY(gbk::decode(QByteArray("\xFF" "A", 2)).endsWith(QLatin1Char('A')));
}

void TextTest::charLengthWalksWholeCharacters()
{
    // 'a', a two-byte character, a four-byte GB18030 sequence, then a lone
    // lead byte at the end that must count as one byte.
    const QByteArray bytes = QByteArray("a") + gbk::encode(QStringLiteral("月"))
                             + gbk::encode(QStringLiteral("\U0001F600")) + QByteArray("\x81", 1);
    QCOMPARE(gbk::charLength(bytes, 0), 1);
    QCOMPARE(gbk::charLength(bytes, 1), 2);
    QCOMPARE(gbk::charLength(bytes, 3), 4);
    QCOMPARE(gbk::charLength(bytes, 7), 1);
    // A lead byte followed by a byte that cannot trail it is one byte.
    QCOMPARE(gbk::charLength(QByteArray("\x81\x20", 2), 0), 1);
}

void TextTest::instructionsFileIsReadAsGbk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(instructions::kFileName);
    const QString text = QStringLiteral("　　使用说明：点击列表中的一首词。\r\n第二行");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(gbk::encode(text));
    file.close();
    QCOMPARE(instructions::load(path), std::optional<QString>(text));
}

void TextTest::missingInstructionsFileIsNotAnError()
{
    QTemporaryDir dir;
    QCOMPARE(instructions::load(dir.filePath(QStringLiteral("none.txt"))), std::nullopt);
}

void TextTest::composedPoem_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected");
    const QString head = QStringLiteral("\u3000\u3000");
    QTest::newRow("plain") << QStringLiteral("如梦令") << QStringLiteral("李清照") << QStringLiteral("昨夜雨疏风骤。")
                           << head + QStringLiteral("如梦令") + head + QStringLiteral("【作者】：李清照\r\n\r\n昨夜雨疏风骤。");
    QTest::newRow("quote entity everywhere") << QStringLiteral("&quot;题&quot;") << QStringLiteral("无名氏")
                                             << QStringLiteral("他说&quot;归&quot;。")
                                             << head + QStringLiteral("\"题\"") + head + QStringLiteral("【作者】：无名氏\r\n\r\n他说\"归\"。");
    QTest::newRow("trailing blank lines removed") << QStringLiteral("t") << QStringLiteral("a") << QStringLiteral("句。\r\n\r\n  \r\n")
                                                  << head + QStringLiteral("t") + head + QStringLiteral("【作者】：a\r\n\r\n句。");
    QTest::newRow("leading blank lines of the body kept") << QStringLiteral("t") << QStringLiteral("a") << QStringLiteral("\r\n\r\n句。")
                                                          << head + QStringLiteral("t") + head + QStringLiteral("【作者】：a\r\n\r\n\r\n\r\n句。");
    QTest::newRow("entity split across fields stays") << QStringLiteral("&quo") << QStringLiteral("t;") << QString()
                                                      << head + QStringLiteral("&quo") + head + QStringLiteral("【作者】：t;");
}

void TextTest::composedPoem()
{
    QFETCH(QString, title);
    QFETCH(QString, author);
    QFETCH(QString, body);
    QFETCH(QString, expected);
    QCOMPARE(reader::composePoemText(title, author, body), expected);
}

QTEST_GUILESS_MAIN(TextTest)
#include "tst_text.moc"

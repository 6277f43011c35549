#include "app/gbk_text.h"
#include "promo/link_list.h"

#include <QTest>

class TestLinkList : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void gbkTrailByteIsNotADelimiter();
};

namespace {
// Keeps embedded NUL bytes, which a plain QByteArray(const char *) would cut.
template <qsizetype N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}
}

void TestLinkList::parse_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<qsizetype>("pairs");

    using L = QStringList;
    QTest::newRow("quoted caption with blank")
        << QByteArray(R"(A|u1|"B C"|u2)") << L{"A", "u1", "B C", "u2"} << qsizetype(2);
    QTest::newRow("three pairs")
        << QByteArray("A|u1|B|u2|C|u3") << L{"A", "u1", "B", "u2", "C", "u3"} << qsizetype(3);
    QTest::newRow("odd last item")
        << QByteArray("A|u1|B") << L{"A", "u1", "B"} << qsizetype(1);
    QTest::newRow("blank ends an unquoted caption")
        << QByteArray("A B|u1|C|u2") << L{"A", "B", "u1", "C", "u2"} << qsizetype(2);
    QTest::newRow("line breaks separate items")
        << QByteArray("A\r\nu1\r\nB\tu2") << L{"A", "u1", "B", "u2"} << qsizetype(2);

    QTest::newRow("empty item at start")
        << QByteArray("|A|u1") << L{"", "A", "u1"} << qsizetype(1);
    QTest::newRow("empty item in the middle")
        << QByteArray("A||u1") << L{"A", "", "u1"} << qsizetype(1);
    QTest::newRow("empty item at end")
        << QByteArray("A|u1|") << L{"A", "u1", ""} << qsizetype(1);
    QTest::newRow("lone delimiter")
        << QByteArray("|") << L{"", ""} << qsizetype(1);
    QTest::newRow("only blanks between delimiters")
        << QByteArray("A| \t |u1") << L{"A", "", "u1"} << qsizetype(1);

    QTest::newRow("blanks around delimiters")
        << QByteArray("A \t| u1 \r\n|  B  |u2") << L{"A", "u1", "B", "u2"} << qsizetype(2);
    QTest::newRow("body trimmed of blanks and controls")
        << bytes("\0 \r\n\tA|u1\r\n\x01\x1f\0") << L{"A", "u1"} << qsizetype(1);
    QTest::newRow("empty body") << QByteArray() << L{} << qsizetype(0);
    QTest::newRow("blank body") << QByteArray(" \r\n\t ") << L{} << qsizetype(0);
    QTest::newRow("NUL inside separates like a blank")
        << bytes("A\0u1|B|u2") << L{"A", "u1", "B", "u2"} << qsizetype(2);

    QTest::newRow("doubled quotes stand for one")
        << QByteArray(R"("say ""hi"""|u1)") << L{R"(say "hi")", "u1"} << qsizetype(1);
    QTest::newRow("delimiter and blanks inside quotes")
        << QByteArray(R"("A | B"|u1)") << L{"A | B", "u1"} << qsizetype(1);
    QTest::newRow("empty quoted item")
        << QByteArray(R"(""|u1)") << L{"", "u1"} << qsizetype(1);
    QTest::newRow("text right after closing quote starts an item")
        << QByteArray(R"("A"B|u1)") << L{"A", "B", "u1"} << qsizetype(1);
    QTest::newRow("quote inside an unquoted item is plain")
        << QByteArray(R"(A"B"|u1)") << L{R"(A"B")", "u1"} << qsizetype(1);

    QTest::newRow("unclosed quote runs to the end")
        << QByteArray(R"(A|"B C|u2)") << L{"A", "B C|u2"} << qsizetype(1);
    QTest::newRow("unclosed quote keeps its last character and doubled quotes")
        << QByteArray(R"(A|"B ""x"" C)") << L{"A", R"(B "x" C)"} << qsizetype(1);
    QTest::newRow("lone opening quote")
        << QByteArray(R"(")") << L{""} << qsizetype(0);
    QTest::newRow("unclosed quote ending in a doubled quote")
        << QByteArray(R"(A|"B"")") << L{"A", R"(B")"} << qsizetype(1);
}

void TestLinkList::parse()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, items);
    QFETCH(qsizetype, pairs);

    const QStringList parsed = promo::parseLinkList(QByteArrayView(body));
    QCOMPARE(parsed, items);
    QCOMPARE(promo::linkPairCount(parsed), pairs);
}

void TestLinkList::gbkTrailByteIsNotADelimiter()
{
    // 東 and 遼 are 0x96 0x7C and 0xDF 0x7C in GBK: their second byte is "|".
    const QString dong = QStringLiteral("東");
    const QString liao = QStringLiteral("遼");
    QCOMPARE(gbk::encode(dong).back(), '|');
    QCOMPARE(gbk::encode(liao).back(), '|');

    const QString body = dong + QStringLiteral("坡|http://a/1|") + liao
                         + QStringLiteral("|http://a/2|\"") + dong + QStringLiteral("|\"|x");
    const QStringList expected{dong + QStringLiteral("坡"), "http://a/1", liao, "http://a/2",
                               dong + QStringLiteral("|"), "x"};
    QCOMPARE(promo::parseLinkList(QByteArrayView(gbk::encode(body))), expected);
}

QTEST_GUILESS_MAIN(TestLinkList)
#include "tst_link_list.moc"

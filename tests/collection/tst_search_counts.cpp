// Searches over the real collection return exactly the poems whose field holds
// the term. The expected counts come from decoding every field to QString and
// matching there, which shares nothing with the GBK byte matcher.

#include "app/gbk_text.h"
#include "collection/collection_file.h"
#include "collection/sqlite_connection.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <optional>
#include <vector>

using collection::SqliteConnection;
using namespace Qt::StringLiterals;

namespace {

struct Poem
{
    QString title;
    QString zz;
    QString nr;
};

// LIKE folds ASCII letters only, so the reference must not fold more.
QString foldAscii(QString text)
{
    for (QChar &c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return text;
}

// '%' any run, '_' one character (one code point: PCRE works on code points),
// everything else literal.
QRegularExpression likeExpression(const QString &pattern)
{
    QString expression;
    const QList<uint> codePoints = foldAscii(pattern).toUcs4();
    for (const uint c : codePoints) {
        if (c == '%')
            expression += QStringLiteral(".*");
        else if (c == '_')
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1));
    }
    return QRegularExpression(QStringLiteral("\\A(?:%1)\\z").arg(expression),
                              QRegularExpression::DotMatchesEverythingOption);
}

const QString &fieldOf(const Poem &poem, const QByteArray &column)
{
    if (column == "title")
        return poem.title;
    if (column == "zz")
        return poem.zz;
    return poem.nr;
}

} // namespace

class TestSearchCounts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void counts_data();
    void counts();

private:
    std::optional<SqliteConnection> m_connection;
    std::vector<Poem> m_poems;
};

void TestSearchCounts::initTestCase()
{
    const QString database =
        QDir(qEnvironmentVariable("VENNALI_RUN_DIR")).filePath(collection::kCollectionFileName);
    if (!QFileInfo(database).isFile())
        QSKIP(qPrintable(QStringLiteral("%1 is missing: build the 'database' target first").arg(database)));

    m_connection.emplace(database, collection::kCollectionKey);
    auto all = m_connection->prepare("select title, zz, nr from shi");
    while (all.step())
        m_poems.push_back({gbk::decode(all.columnView(0)), gbk::decode(all.columnView(1)),
                           gbk::decode(all.columnView(2))});
    QVERIFY2(m_poems.size() > 20000, "the collection looks incomplete");
}

void TestSearchCounts::counts_data()
{
    QTest::addColumn<QByteArray>("column");
    QTest::addColumn<QString>("term");
    // Whether the collection is known to hold the term, so that an empty
    // result on both sides cannot pass unnoticed.
    QTest::addColumn<bool>("found");

    const QByteArray nr("nr"), title("title"), zz("zz");
    QTest::newRow("text 明月") << nr << u"明月"_s << true;
    QTest::newRow("text 东风") << nr << u"东风"_s << true;
    QTest::newRow("text 黄昏") << nr << u"黄昏"_s << true;
    QTest::newRow("text 月") << nr << u"月"_s << true;
    QTest::newRow("text latin") << nr << u"Moon"_s << false;
    QTest::newRow("text quote") << nr << u"明月'"_s << false;
    QTest::newRow("text percent") << nr << u"春%秋"_s << true;
    QTest::newRow("text percents") << nr << u"风%雨%花"_s << true;
    QTest::newRow("text one") << nr << u"明_月"_s << true;
    QTest::newRow("text one twice") << nr << u"人_人"_s << true;
    QTest::newRow("title 水调歌头") << title << u"水调歌头"_s << true;
    QTest::newRow("title 明月") << title << u"明月"_s << true;
    QTest::newRow("title one") << title << u"江_子"_s << true;
    QTest::newRow("author 苏轼") << zz << u"苏轼"_s << true;
    QTest::newRow("author 辛弃疾") << zz << u"辛弃疾"_s << true;
    QTest::newRow("author 李") << zz << u"李"_s << true;
    QTest::newRow("author percent") << zz << u"苏%"_s << true;
    QTest::newRow("author quote") << zz << u"'"_s << false;
}

void TestSearchCounts::counts()
{
    QFETCH(QByteArray, column);
    QFETCH(QString, term);
    QFETCH(bool, found);

    auto statement = m_connection->prepare(gbk::encode(u"select id,title as 作品,zz as 作者 from shi where ")
                                        + column + " like ?");
    statement.bind(1, gbk::encode(QString(u'%' + term + u'%')));
    qsizetype rows = 0;
    while (statement.step()) {
        QVERIFY(!statement.columnView(0).isEmpty());
        ++rows;
    }

    qsizetype expected = 0;
    if (term.contains(u'%') || term.contains(u'_')) {
        const QRegularExpression expression = likeExpression(u'%' + term + u'%');
        QVERIFY2(expression.isValid(), qPrintable(expression.errorString()));
        for (const Poem &poem : m_poems)
            expected += expression.match(foldAscii(fieldOf(poem, column))).hasMatch() ? 1 : 0;
    } else {
        const QString folded = foldAscii(term);
        for (const Poem &poem : m_poems)
            expected += foldAscii(fieldOf(poem, column)).contains(folded) ? 1 : 0;
    }

    QCOMPARE(rows, expected);
    QCOMPARE(expected > 0, found);
}

QTEST_GUILESS_MAIN(TestSearchCounts)
#include "tst_search_counts.moc"
